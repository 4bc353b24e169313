// Keyboard reach: in every window the "&" letters of the menus, tabs, buttons and
// captions that can be reached at one time are all different, every page tab and
// button has one, and Alt+F opens the File menu at once.
#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "gui_driver.h"
#include "settings_form.h"
#include "small_windows.h"
#include "ui_tests.h"

namespace vendrix::test {

namespace {

// The mnemonic letter of a caption ("E&xit" -> 'x'), or 0.
QChar Mnemonic(const QString& text) {
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    return text[i + 1].toLower();
  }
  return {};
}

// What reaches the keyboard in root now: its menu bar, its tab bars and the visible
// buttons, group boxes and captions with a buddy. Captions missing a letter are
// listed in missing (tabs and push buttons only).
struct Keys {
  QMap<QChar, QStringList> owners;
  QStringList missing;
  void Add(const QString& where, const QString& text, bool needed) {
    const QChar key = Mnemonic(text);
    if (key.isNull()) {
      if (needed && !text.isEmpty() && text != "...") missing << where + " '" + text + "'";
      return;
    }
    owners[key] << where + " '" + text + "'";
  }
  QStringList Clashes() const {
    QStringList clashes;
    for (auto it = owners.begin(); it != owners.end(); ++it) {
      if (it->size() > 1) clashes << QString(it.key()) + ": " + it->join(", ");
    }
    return clashes;
  }
};

Keys Collect(QWidget* root) {
  Keys keys;
  if (auto* main = qobject_cast<QMainWindow*>(root)) {
    for (QAction* a : main->menuBar()->actions()) keys.Add("menu", a->text(), true);
  }
  for (QTabBar* bar : root->findChildren<QTabBar*>()) {
    if (!bar->isVisible()) continue;
    for (int i = 0; i < bar->count(); ++i) keys.Add("tab", bar->tabText(i), true);
  }
  for (QWidget* w : root->findChildren<QWidget*>()) {
    if (!w->isVisible() || w->window() != root) continue;
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
      // Push buttons need a letter; check boxes and radio buttons may have one.
      keys.Add(w->objectName(), b->text(), qobject_cast<QPushButton*>(w) != nullptr);
    } else if (auto* g = qobject_cast<QGroupBox*>(w); g && g->isCheckable()) {
      keys.Add(w->objectName(), g->title(), false);
    } else if (auto* l = qobject_cast<QLabel*>(w); l && l->buddy()) {
      keys.Add(w->objectName(), l->text(), false);
    }
  }
  return keys;
}

}  // namespace

class MnemonicsTest : public QObject {
  Q_OBJECT
 private slots:
  void uniquePerPageAndWindow();
  void altFOpensTheFileMenu();
};

void MnemonicsTest::uniquePerPageAndWindow() {
  Program p;
  auto* pages = p.Find<QTabWidget>("PageControl1");
  QStringList faults;
  for (int i = 0; i < pages->count(); ++i) {
    p.ShowPage(i);
    QTRY_COMPARE(pages->currentIndex(), i);
    // The pages with tabs of their own: each of their tabs in turn.
    QList<QTabWidget*> inner = pages->currentWidget()->findChildren<QTabWidget*>();
    const int turns = inner.isEmpty() ? 1 : inner.front()->count();
    for (int j = 0; j < turns; ++j) {
      if (!inner.isEmpty()) inner.front()->setCurrentIndex(j);
      QTest::qWait(20);
      const Keys keys = Collect(p.main.get());
      const QString where = pages->tabText(i) + (inner.isEmpty() ? "" : QString("/%1").arg(j));
      if (qEnvironmentVariableIsSet("VENDRIX_MNEMONIC_DUMP")) {
        for (const QStringList& o : keys.owners)
          qInfo("%s| %s", qPrintable(where), qPrintable(o.join(" | ")));
        for (const QString& m : keys.missing) qInfo("%s| %s", qPrintable(where), qPrintable(m));
      }
      for (const QString& c : keys.Clashes()) faults << where + " clash " + c;
      for (const QString& m : keys.missing) faults << where + " no letter: " + m;
    }
  }
  ui::TSettingsForm settings(*p.main);
  settings.show();
  QVERIFY(QTest::qWaitForWindowExposed(&settings));
  const Keys keys = Collect(&settings);
  for (const QString& c : keys.Clashes()) faults << "Settings clash " + c;
  for (const QString& m : keys.missing) faults << "Settings no letter: " + m;
  settings.close();
  faults.removeDuplicates();
  QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
}

void MnemonicsTest::altFOpensTheFileMenu() {
  Program p;
  p.ShowPage(1);  // a page whose fields once took Alt+F for themselves
  auto* file = p.Find<QMenu>("FileMenu");
  QTest::keyClick(p.main.get(), Qt::Key_F, Qt::AltModifier);
  QTRY_VERIFY(file->isVisible());
  file->close();
}

namespace {
RegisterTest<MnemonicsTest> reg("MnemonicsTest");
}

}  // namespace vendrix::test

#include "mnemonics_test.moc"
