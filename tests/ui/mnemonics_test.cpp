// Keyboard reach: in every window the "&" letters of the menus, tabs, buttons and
// captions that can be reached at one time are all different, every page tab and
// button has one, and Alt+F opens the File menu at once. Tab walks every window's
// controls and comes back to where it began, and every control it reaches has a name
// a screen reader announces.
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QUrl>

#include "bhs_frm.h"
#include "bhs_new_account_frm.h"
#include "contribute_frm.h"
#include "engine_check_frm.h"
#include "geteng_frm.h"
#include "gui_driver.h"
#include "help_frm.h"
#include "report_viewer.h"
#include "reports_list_frm.h"
#include "settings_form.h"
#include "small_windows.h"
#include "submission_verify_frm.h"
#include "ui_tests.h"
#include "variables_frm.h"

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

QString Describe(QWidget* w) {
  return QString(w->metaObject()->className()) + " '" + w->objectName() + "'";
}

// Presses Tab from the window's first control until the focus comes back to it. Each
// control on the way needs a name (its own, its caption's as buddy, its text); the
// chain must come back within one press per control the window could focus.
QStringList WalkFocus(QWidget* window, const QString& where) {
  QStringList faults;
  window->activateWindow();
  if (!QTest::qWaitForWindowActive(window)) return {where + ": the window never became active"};
  // The window's first control, once the window really has the keyboard.
  for (int tries = 0; tries < 100; ++tries) {
    QWidget* now = QApplication::focusWidget();
    if (now && now->window() == window) break;
    for (QWidget* w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain()) {
      if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
        w->setFocus(Qt::TabFocusReason);
        break;
      }
    }
    QTest::qWait(20);
  }
  QWidget* start = QApplication::focusWidget();
  if (!start) return {where + ": nothing takes the focus"};
  int focusable = 0;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) ++focusable;
  }
  QWidget* at = start;
  for (int step = 0; step <= focusable + 2; ++step) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(at);
    if (!a || a->text(QAccessible::Name).trimmed().isEmpty()) {
      faults << where + ": no name for " + Describe(at);
    }
    QTest::keyClick(at, Qt::Key_Tab);
    // A page's links take Tab one by one, as in a browser, and then let it go on.
    for (int link = 0;
         link < 500 && qobject_cast<QTextBrowser*>(at) && QApplication::focusWidget() == at;
         ++link) {
      QTest::keyClick(at, Qt::Key_Tab);
    }
    QWidget* next = QApplication::focusWidget();
    if (next == start) return faults;
    if (!next || next == at || next->window() != window) {
      faults << where + ": Tab stays in " + Describe(at);
      return faults;
    }
    at = next;
  }
  faults << where + ": Tab does not come back to " + Describe(start);
  return faults;
}

QStringList MnemonicFaults(QWidget* window, const QString& where) {
  QStringList faults;
  const Keys keys = Collect(window);
  for (const QString& c : keys.Clashes()) faults << where + " clash " + c;
  for (const QString& m : keys.missing) faults << where + " no letter: " + m;
  return faults;
}

// A sender that sends nothing: the contribution window is only looked at.
class NoSender : public ContributionSender {
 public:
  void Send(const ContributionMessage&) override {}
  void Cancel() override {}
};

}  // namespace

class MnemonicsTest : public QObject {
  Q_OBJECT
 private slots:
  void uniquePerPageAndWindow();
  void focusChainAndNamesInEveryWindow();
  void altFOpensTheFileMenu();
};

void MnemonicsTest::focusChainAndNamesInEveryWindow() {
  Program p;
  QStringList faults;
  auto* pages = p.Find<QTabWidget>("PageControl1");
  for (int i = 0; i < pages->count(); ++i) {
    p.ShowPage(i);
    QTRY_COMPARE(pages->currentIndex(), i);
    QList<QTabWidget*> inner = pages->currentWidget()->findChildren<QTabWidget*>();
    const int turns = inner.isEmpty() ? 1 : inner.front()->count();
    for (int j = 0; j < turns; ++j) {
      if (!inner.isEmpty()) inner.front()->setCurrentIndex(j);
      QTest::qWait(20);
      faults << WalkFocus(p.main.get(), pages->tabText(i) + QString("/%1").arg(j));
    }
  }
  p.ShowPage(0);

  // Every other window, shown as the program shows it.
  ui::TMainFrm& main = *p.main;
  RunConfirmation confirmation;
  confirmation.counts.total = 3;
  confirmation.findings.push_back({FindingSeverity::Error, "Demo", "category 1", "x"});
  confirmation.alreadySent = {"Demo Mail"};
  NoSender sender;
  const QString report = QString::fromStdString(p.Path("report.htm"));
  WriteFile(report.toStdString(), "<html><body><p>Report</p></body></html>");
  const std::vector<std::pair<QString, std::function<QWidget*()>>> windows = {
      {"Settings", [&] { return new ui::TSettingsForm(main); }},
      {"Field Translations", [&] { return new ui::TMatchUpFrm(main.Core().Builder(), &main); }},
      {"Engine Checker", [&] { return new ui::TEngineCheckFrm(main); }},
      {"Mass Change", [&] { return new ui::TMassChangeFrm(&main); }},
      {"About", [&] { return new ui::TAboutBox(&main); }},
      {"Default Script", [&] { return new ui::TDefaultScriptFrm(main, DefaultScript::Ftp); }},
      {"Script Check", [&] { return new ui::TScriptCheckFrm("name=Tidy Notes", &main); }},
      {"BHS", [&] { return new ui::TBHSFrmWindow(main); }},
      {"BHS New Account",
       [&] {
         return new ui::TBHSNewAccountFrmWindow(BhsServer{}, main.Core().Company().Profile(),
                                                &main);
       }},
      {"Contribute", [&] { return new ui::TContributeFrmWindow(main, sender); }},
      {"Update Data Files", [&] { return new ui::TgetengWindow(main); }},
      {"Reports", [&] { return new ui::TReportsListFrmWindow(main); }},
      {"Submission Verification",
       [&] { return new ui::TSubmissionVerifyFrm(confirmation, &main); }},
      {"Report Viewer", [&] { return new ui::TReportViewer(QUrl::fromLocalFile(report), &main); }},
      {"Help", [&] { return new ui::THelpFrm(ui::ManualDir(), &main); }},
  };
  for (const auto& [where, make] : windows) {
    QPointer<QWidget> w = make();
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    faults << MnemonicFaults(w, where) << WalkFocus(w, where);
    delete w;
  }
  faults.removeDuplicates();
  for (const QString& f : faults) qWarning("%s", qPrintable(f));
  QVERIFY2(faults.isEmpty(), qPrintable(QString("%1 faults (listed above)").arg(faults.size())));
}

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
