#include "gui_driver.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QDialog>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <algorithm>
#include <filesystem>

namespace vendrix::test {

Dialogs::Dialogs() {
  timer_.setInterval(20);
  connect(&timer_, &QTimer::timeout, this, &Dialogs::Poll);
  timer_.start();
}

Dialogs::~Dialogs() = default;

void Dialogs::Then(std::function<void(QWidget*)> handler) {
  handlers_.push_back(std::move(handler));
}

void Dialogs::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  // A window whose handler is still at work (it opened a window that closed again) is
  // not a new one, nor one left open.
  if (modal && std::find(busy_.begin(), busy_.end(), modal) != busy_.end()) return;
  if (modal && modal == last_ && since_.elapsed() > kLeftOpenMs) {
    // A handler gave up half way (a failed check): close the window so the test ends.
    unexpected << "left open: " + modal->windowTitle();
    if (auto* d = qobject_cast<QDialog*>(modal)) d->done(QDialog::Rejected);
    since_.restart();
    return;
  }
  if (!modal || modal == last_ || !modal->isVisible()) return;
  last_ = modal;
  since_.start();
  if (handlers_.empty()) {
    QString what = modal->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) what += ": " + box->text();
    unexpected << what;
    QPointer<QWidget> w = modal;
    QTimer::singleShot(0, [w] {
      if (auto* d = qobject_cast<QDialog*>(w.data())) d->reject();
    });
    return;
  }
  auto handler = std::move(handlers_.front());
  handlers_.pop_front();
  QPointer<QWidget> w = modal;
  // Run from the window's event loop, not from this timer, so that windows the
  // handler opens are answered too.
  QTimer::singleShot(0, this, [this, w, handler = std::move(handler)] {
    if (!w) return;
    busy_.push_back(w.data());
    handler(w);
    busy_.pop_back();
    since_.restart();  // a window still open counts as left open from here
  });
}

void Dialogs::Press(QMessageBox::StandardButton button) {
  Then([this, button](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (!box) {
      seen << "not a message box: " + w->windowTitle();
      if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
      return;
    }
    seen << box->windowTitle() + ": " + box->text();
    if (QAbstractButton* b = box->button(button)) {
      b->click();
    } else {
      seen << "no such button";
      box->reject();
    }
  });
}

void Dialogs::Name(const std::optional<QString>& name) {
  Then([this, name](QWidget* w) {
    seen << "name: " + w->windowTitle();
    auto* edit = w->findChild<QLineEdit*>("NameEdit");
    if (!edit) {
      seen << "not a name entry: " + w->windowTitle();
      if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
      return;
    }
    if (name) {
      QTest::keyClicks(edit, *name);
      w->findChild<QPushButton*>("OkBtn")->click();
    } else {
      w->findChild<QPushButton*>("CancelBtn")->click();
    }
  });
}

void Dialogs::ErrorOk() {
  Then([this](QWidget* w) {
    auto* title = w->findChild<QLabel*>("TitleLbl");
    auto* text = w->findChild<QLabel*>("TextLbl");
    seen << w->windowTitle() + ": " + (title ? title->text() : "?") + " | " +
                (text ? text->text() : "?");
    if (auto* ok = w->findChild<QPushButton*>("OkBtn")) ok->click();
  });
}

Program::Program(bool demo) {
  if (demo) {
    std::filesystem::copy(VENDRIX_DEMO_DIR, dir.path(),
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::overwrite_existing);
  }
  main = std::make_unique<ui::TMainFrm>(dir.path());
  main->SetUrlOpener([this](const QString& url) {
    opened << url;
    return true;
  });
  if (!main->Initialise()) qFatal("the main window did not initialise");
  main->show();
  if (!QTest::qWaitForWindowExposed(main.get())) qWarning("the main window was not exposed");
  // Focus moves (and the rules that run when a field is left) need an active window.
  main->activateWindow();
  if (!QTest::qWaitForWindowActive(main.get())) qWarning("the main window is not active");
  // The site table is built once the window has appeared.
  if (!QTest::qWaitFor([this] { return !main->Core().SiteTablePending(); })) {
    qWarning("the site table was not built");
  }
}

Program::~Program() {
  // Closing would ask the close questions; the tests that want them close themselves.
  main->hide();
}

void Program::ShowPage(int index) {
  auto* pages = Find<QTabWidget>("PageControl1");
  QTabBar* bar = pages->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

void Choose(QComboBox* combo, const QString& text) {
  const int index = combo->findText(text);
  if (index < 0) qFatal("no entry %s", qPrintable(text));
  combo->showPopup();
  QAbstractItemView* view = combo->view();
  QTRY_VERIFY_WITH_TIMEOUT(view->isVisible(), 10000);
  view->scrollTo(view->model()->index(index, 0));
  const QRect rect = view->visualRect(view->model()->index(index, 0));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
  QTRY_VERIFY_WITH_TIMEOUT(!view->isVisible(), 10000);
}

void ClickRow(QAbstractItemView* view, int row, int column) {
  const QModelIndex index = view->model()->index(row, column);
  view->scrollTo(index);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

void TypeInto(QWidget* field, const QString& text) {
  // After a message box the window gets the keyboard back a moment later.
  if (!QTest::qWaitForWindowActive(field->window())) qWarning("window not active");
  QTest::mouseClick(field, Qt::LeftButton);
  if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->end(false);
  QTest::keyClicks(field, text);
}

void Tab(QWidget* field) {
  if (!QTest::qWaitForWindowActive(field->window())) qWarning("window not active");
  QTest::keyClick(field, Qt::Key_Tab);
  QTest::qWait(30);
}

namespace {

QSet<QString>& ScreenNames() {
  static QSet<QString> names;
  return names;
}

void NoteName(const QString& kind, QString text) {
  text.remove(QRegularExpression("&(?!&)"));
  text = text.simplified();
  if (text.endsWith(':')) text.chop(1);
  if (!text.isEmpty()) ScreenNames().insert(kind + "\t" + text);
}

void NoteMenu(const QString& path, QMenu* menu) {
  for (QAction* a : menu->actions()) {
    if (a->isSeparator()) continue;
    QString item = a->text();
    item.remove(QRegularExpression("&(?!&)"));
    const QString here = path.isEmpty() ? item.simplified() : path + " > " + item.simplified();
    if (a->menu()) {
      NoteMenu(here, a->menu());
    } else {
      NoteName("menu", here);
    }
  }
}

}  // namespace

void NoteScreenNames(QWidget* window) {
  NoteName("window", window->windowTitle());
  if (auto* main = qobject_cast<QMainWindow*>(window)) {
    for (QAction* m : main->menuBar()->actions()) {
      QString title = m->text();
      title.remove(QRegularExpression("&(?!&)"));
      if (m->menu()) NoteMenu(title.simplified(), m->menu());
    }
  }
  // Hidden ones too: a panel shown only in some states still names its controls.
  for (QWidget* child : window->findChildren<QWidget*>()) {
    if (auto* label = qobject_cast<QLabel*>(child); label && !label->wordWrap()) {
      NoteName("control", label->text());
    } else if (auto* button = qobject_cast<QAbstractButton*>(child)) {
      NoteName("control", button->text());
    } else if (auto* group = qobject_cast<QGroupBox*>(child)) {
      NoteName("control", group->title());
    } else if (auto* table = qobject_cast<QTableView*>(child)) {
      for (int c = 0; c < table->model()->columnCount(); ++c) {
        NoteName("column", table->model()->headerData(c, Qt::Horizontal).toString());
      }
    } else if (auto* tabs = qobject_cast<QTabWidget*>(child)) {
      for (int t = 0; t < tabs->count(); ++t) NoteName("tab", tabs->tabText(t));
    }
  }
  if (auto* menu = qobject_cast<QMenu*>(window)) NoteMenu("", menu);
  for (QMenu* menu : window->findChildren<QMenu*>()) NoteMenu("", menu);
}

void WriteScreenNames() {
  if (ScreenNames().isEmpty()) return;
  QStringList lines(ScreenNames().begin(), ScreenNames().end());
  lines.sort();
  QDir().mkpath(VENDRIX_SCREENSHOT_DIR);
  QSaveFile out(QString(VENDRIX_SCREENSHOT_DIR) + "/facts-" + QGuiApplication::platformName() +
                ".tsv");
  if (out.open(QIODevice::WriteOnly)) {
    out.write(lines.join("\n").toUtf8() + "\n");
    out.commit();
  }
}

}  // namespace vendrix::test
