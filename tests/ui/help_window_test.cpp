// The help window: Help -> Help and F1 open the manual at the page of the window they
// came from, the search lists the pages holding every word, Back and Forward walk the
// pages read, and a missing manual is said in words, never as a missing help file.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>

#include "gui_driver.h"
#include "help_frm.h"
#include "settings_form.h"
#include "ui_tests.h"

namespace vendrix::test {

namespace {
QString Shown(ui::THelpFrm* help) {
  return help->Browser()->source().fileName() + (help->Browser()->source().hasFragment()
                                                     ? "#" + help->Browser()->source().fragment()
                                                     : QString());
}

ui::THelpFrm* OpenHelpWindow() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* help = qobject_cast<ui::THelpFrm*>(w); help && help->isVisible()) return help;
  }
  return nullptr;
}

void CloseHelpWindows() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (qobject_cast<ui::THelpFrm*>(w)) w->close();
  }
  QTest::qWait(20);
}
}  // namespace

class HelpWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    const bool needsManual = QTest::currentTestFunction() != QString("missingManualIsSaidInWords");
    if (needsManual && ui::ManualDir().isEmpty()) QSKIP("the manual is not built (pandoc missing)");
  }
  void cleanup() { CloseHelpWindows(); }
  void helpMenuOpensThePageOfTheCurrentTab();
  void f1InADialogOpensItsSection();
  void searchListsPagesHoldingEveryWord();
  void backAndForwardWalkThePagesRead();
  void contentsLeadToEveryPage();
  void missingManualIsSaidInWords();
};

void HelpWindowTest::helpMenuOpensThePageOfTheCurrentTab() {
  Program p;
  auto* item = p.main->findChild<QAction*>("HelpItem");
  QVERIFY(item);
  const QStringList expected = {"company.html", "application.html#general", "sites.html",
                                "submit.html", "site-builder.html#details"};
  auto* pages = p.Find<QTabWidget>("PageControl1");
  QCOMPARE(pages->count(), expected.size());
  for (int i = 0; i < pages->count(); ++i) {
    p.ShowPage(i);
    item->trigger();
    ui::THelpFrm* help = OpenHelpWindow();
    QVERIFY(help);
    QCOMPARE(Shown(help), expected[i]);
    QVERIFY(!help->Browser()->toPlainText().contains("was not found"));
  }
  // A page's own tabs lead to their sections.
  p.ShowPage(1);
  auto* appTabs = pages->currentWidget()->findChild<QTabWidget*>();
  appTabs->setCurrentIndex(2);
  item->trigger();
  QCOMPARE(Shown(OpenHelpWindow()), QString("application.html#description"));
  p.ShowPage(4);
  pages->currentWidget()->findChild<QTabWidget*>()->setCurrentIndex(3);
  item->trigger();
  QCOMPARE(Shown(OpenHelpWindow()), QString("site-builder.html#e-mail"));

  // One help window serves the program.
  int windows = 0;
  for (QWidget* w : QApplication::topLevelWidgets())
    windows += qobject_cast<ui::THelpFrm*>(w) != nullptr;
  QCOMPARE(windows, 1);
  // It belongs to the main window, and Escape or Ctrl+W close it as a dialog closes.
  QCOMPARE(OpenHelpWindow()->parentWidget(), p.main.get());
  for (const QKeySequence& key : {QKeySequence(Qt::Key_Escape), QKeySequence("Ctrl+W")}) {
    QPointer<ui::THelpFrm> shown = OpenHelpWindow();
    shown->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(shown));
    QTest::keySequence(shown, key);
    QTRY_VERIFY(!shown || !shown->isVisible());  // closed
    item->trigger();
  }

  // The first page, for the reviewer's screenshot.
  ui::THelpFrm* help = OpenHelpWindow();
  help->findChild<QPushButton*>("HomeBtn")->click();
  QCOMPARE(Shown(help), QString("index.html"));
  QVERIFY(help->Browser()->toPlainText().contains("Vendrix user manual"));
  NoteScreenNames(help);
  if (QGuiApplication::platformName() == "xcb") {
    QVERIFY(QTest::qWaitForWindowExposed(help));
    QTest::qWait(50);
    QDir().mkpath(VENDRIX_SCREENSHOT_DIR);
    QVERIFY(help->grab().save(QString(VENDRIX_SCREENSHOT_DIR) + "/help.png"));
  }
}

void HelpWindowTest::f1InADialogOpensItsSection() {
  Program p;
  ui::TSettingsForm settings(*p.main);
  settings.show();
  settings.activateWindow();
  QVERIFY(QTest::qWaitForWindowExposed(&settings));
  if (QGuiApplication::platformName() == "xcb") QVERIFY(QTest::qWaitForWindowActive(&settings));
  QWidget* field = settings.focusWidget() ? settings.focusWidget() : &settings;
  QTest::keyClick(field, Qt::Key_F1);
  ui::THelpFrm* help = OpenHelpWindow();
  QVERIFY(help);
  QCOMPARE(Shown(help), QString("settings.html"));

  // F1 in the dialog while the system still has the main window active (focus moves
  // late under a window manager): the dialog's page all the same, not the main
  // window's through its Help shortcut. F1 in the main window opens its current page.
  help->close();
  QApplication::setActiveWindow(p.main.get());
  QTest::keyClick(field, Qt::Key_F1);
  QVERIFY(OpenHelpWindow());
  QCOMPARE(Shown(OpenHelpWindow()), QString("settings.html"));
  settings.close();
  OpenHelpWindow()->close();
  p.ShowPage(2);
  QTest::keyClick(p.Find<QTabWidget>("PageControl1"), Qt::Key_F1);
  QVERIFY(OpenHelpWindow());
  QCOMPARE(Shown(OpenHelpWindow()), QString("sites.html"));
  help = OpenHelpWindow();

  // A section, not only a page: the browser is at the anchor's heading.
  QCOMPARE(ui::HelpPageFor(&settings), QString("settings.html"));
  help->OpenPage("tools.html#mass-change");
  QCOMPARE(Shown(help), QString("tools.html#mass-change"));
}

void HelpWindowTest::searchListsPagesHoldingEveryWord() {
  ui::THelpFrm help(ui::ManualDir());
  // The variable table is generated into the scripts page.
  QVERIFY(help.Search("%CONTCOUNTRY%").contains("scripts.html"));
  // Every word must be on the page, in any case.
  const QStringList both = help.Search("smtp STARTTLS");
  QVERIFY(both.contains("settings.html"));
  QVERIFY(both.size() <= help.Search("smtp").size());
  QVERIFY(help.Search("STARTTLS zzqqxx").isEmpty());
  QVERIFY(help.Search("   ").isEmpty());

  // Through the window: typing lists the pages, choosing one opens it.
  auto* edit = help.findChild<QLineEdit*>("SearchEdit");
  auto* results = help.findChild<QListWidget*>("SearchResults");
  edit->setText("mass change");
  QVERIFY(results->count() > 0);
  QTest::mouseClick(results->viewport(), Qt::LeftButton, {},
                    results->visualItemRect(results->item(0)).center());
  QCOMPARE(Shown(&help), results->item(0)->data(Qt::UserRole).toString());
  QVERIFY(help.Browser()->toPlainText().toLower().contains("mass"));
  edit->setText("zzqqxx");
  QCOMPARE(results->count(), 1);
  QCOMPARE(results->item(0)->flags(), Qt::NoItemFlags);
}

void HelpWindowTest::backAndForwardWalkThePagesRead() {
  ui::THelpFrm help(ui::ManualDir());
  auto* back = help.findChild<QPushButton*>("BackBtn");
  auto* forward = help.findChild<QPushButton*>("ForwardBtn");
  QVERIFY(!back->isEnabled());
  help.OpenPage("sites.html");
  help.OpenPage("reports.html");
  QVERIFY(back->isEnabled());
  back->click();
  QCOMPARE(Shown(&help), QString("sites.html"));
  QVERIFY(forward->isEnabled());
  forward->click();
  QCOMPARE(Shown(&help), QString("reports.html"));
  QVERIFY(!forward->isEnabled());
}

void HelpWindowTest::contentsLeadToEveryPage() {
  ui::THelpFrm help(ui::ManualDir());
  auto* tree = help.findChild<QTreeWidget*>("ContentsTree");
  QVERIFY(tree->topLevelItemCount() >= 10);
  for (int i = 0; i < tree->topLevelItemCount(); ++i) {
    QTreeWidgetItem* page = tree->topLevelItem(i);
    emit tree->itemClicked(page, 0);
    QCOMPARE(Shown(&help), page->data(0, Qt::UserRole).toString());
    // The page's title heading is what the browser shows.
    QVERIFY2(help.Browser()->toPlainText().contains(page->text(0)), qPrintable(page->text(0)));
  }
}

void HelpWindowTest::missingManualIsSaidInWords() {
  ui::THelpFrm help(QString{});
  const QString text = help.Browser()->toPlainText();
  QVERIFY(text.contains("not installed"));
  QVERIFY(text.contains("README"));
  QVERIFY(!text.contains("was not found"));
  QVERIFY(help.Search("vendrix").isEmpty());
}

namespace {
RegisterTest<HelpWindowTest> reg("HelpWindowTest");
}

}  // namespace vendrix::test

#include "help_window_test.moc"
