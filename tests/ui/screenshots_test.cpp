// Every page and window on the demo tree: nothing cut off (each label and button has
// at least the room its text needs), every window fits a 1024x640 screen, and a
// screenshot of each for the reviewer; and what the windows show where it once was
// not true: a category the site's list lacks, counters past 200, a site's answer in
// the report viewer on a dark desktop.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLCDNumber>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QUrl>

#include "demo_run.h"
#include "engine_check_frm.h"
#include "exchange/pad_plan.h"
#include "gui_driver.h"
#include "help_frm.h"
#include "lamp.h"
#include "manifest_export_frm.h"
#include "pad_import_frm.h"
#include "report_viewer.h"
#include "run_worker.h"
#include "settings_form.h"
#include "small_windows.h"
#include "steps.h"
#include "submit_page.h"
#include "ui_tests.h"
#include "variables_frm.h"

namespace vendrix::test {

class ScreenshotsTest : public QObject {
  Q_OBJECT
 private slots:
  void everyPageAndWindow();
  void categoryTheListLacksIsShownAndStopsTheRun();
  void countersShowEveryCount();
  void reportViewerShowsTheAnswerOnADarkDesktop();

 private:
  void Check(QWidget* w, const QString& name);
  QStringList cut_;
};

namespace {
// A 1024x640 screen less a panel and the window's frame.
const QSize kSmallScreen(1024 - 8, 640 - 32 - 40);
}  // namespace

void ScreenshotsTest::Check(QWidget* w, const QString& name) {
  QTest::qWait(50);
  NoteScreenNames(w);
  // Every window fits a small screen.
  const QSize least = w->minimumSize().expandedTo(w->minimumSizeHint());
  if (least.width() > kSmallScreen.width() || least.height() > kSmallScreen.height()) {
    cut_
        << QString("%1 needs %2x%3 of the screen").arg(name).arg(least.width()).arg(least.height());
  }
  for (QWidget* child : w->findChildren<QWidget*>()) {
    if (!child->isVisible()) continue;
    const bool text = qobject_cast<QLabel*>(child) || qobject_cast<QAbstractButton*>(child);
    if (!text) continue;
    if (auto* label = qobject_cast<QLabel*>(child); label && label->wordWrap()) continue;
    if (child->width() < child->minimumSizeHint().width()) {
      cut_ << name + ": " + child->objectName() + " '" +
                  (qobject_cast<QLabel*>(child) ? qobject_cast<QLabel*>(child)->text()
                                                : qobject_cast<QAbstractButton*>(child)->text()) +
                  "'";
    }
  }
  if (QGuiApplication::platformName() != "xcb") return;  // real screens only
  QDir().mkpath(VENDRIX_SCREENSHOT_DIR);
  const QString path = QString(VENDRIX_SCREENSHOT_DIR) + "/" + name + ".png";
  QVERIFY(w->grab().save(path));
}

void ScreenshotsTest::everyPageAndWindow() {
  Program p;
  auto* pages = p.Find<QTabWidget>("PageControl1");
  const char* names[] = {"1-company-info", "2-app-info", "3-sites", "4-submit", "5-site-builder"};
  for (int i = 0; i < pages->count(); ++i) {
    p.ShowPage(i);
    QCOMPARE(pages->currentIndex(), i);
    if (i == 1 || i == 4) {
      auto* sub = pages->currentWidget()->findChild<QTabWidget*>();
      for (int j = 0; j < sub->count(); ++j) {
        sub->setCurrentIndex(j);
        Check(p.main.get(), QString("%1-%2").arg(names[i]).arg(j + 1));
      }
    } else {
      Check(p.main.get(), names[i]);
    }
  }

  ui::TSettingsForm settings(*p.main);
  settings.show();
  QVERIFY(QTest::qWaitForWindowExposed(&settings));
  Check(&settings, "settings");
  settings.close();

  ui::TMatchUpFrm matchUps(p.main->Core().Builder(), p.main.get());
  matchUps.show();
  QVERIFY(QTest::qWaitForWindowExposed(&matchUps));
  Check(&matchUps, "field-translations");
  matchUps.close();

  ui::TEngineCheckFrm engine(*p.main);
  engine.show();
  QVERIFY(QTest::qWaitForWindowExposed(&engine));
  Check(&engine, "engine-checker");
  engine.findChild<QAbstractButton*>("ExitBtn")->click();

  ui::TMassChangeFrm mass(p.main.get());
  mass.show();
  QVERIFY(QTest::qWaitForWindowExposed(&mass));
  Check(&mass, "mass-change");
  mass.close();

  ui::TAboutBox about(p.main.get());
  about.show();
  QVERIFY(QTest::qWaitForWindowExposed(&about));
  Check(&about, "about");
  about.close();

  p.main->ShowVariables();
  auto* variables = p.main->findChild<ui::TVariablesFrm*>();
  QVERIFY(QTest::qWaitForWindowExposed(variables));
  Check(variables, "variables");
  variables->close();

  const std::string page = p.Path("page.htm");
  WriteFile(page, "<html><body><p>Report</p></body></html>");
  ui::TReportViewer viewer(QUrl::fromLocalFile(QString::fromStdString(page)), p.main.get());
  viewer.setAttribute(Qt::WA_DeleteOnClose, false);
  viewer.show();
  QVERIFY(QTest::qWaitForWindowExposed(&viewer));
  Check(&viewer, "report-viewer");
  viewer.close();
  ui::THelpFrm help(ui::ManualDir(), p.main.get());
  help.setAttribute(Qt::WA_DeleteOnClose, false);
  help.show();
  QVERIFY(QTest::qWaitForWindowExposed(&help));
  Check(&help, "help-window");
  help.close();

  // A new application from a PAD file, with one value that is not stored.
  const PadContent content = PadImport(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><XML_DIZ_INFO><Company_Info>"
      "<Company_Name>Kiwi Software</Company_Name></Company_Info><Program_Info>"
      "<Program_Name>Tidy Tool</Program_Name><Program_Version>3.2.1</Program_Version>"
      "<Program_Release_Month>7</Program_Release_Month><Program_Release_Day>4</Program_Release_Day>"
      "<Program_Release_Year>2026</Program_Release_Year><Program_Type>Shareware</Program_Type>"
      "<Program_Cost_Dollars>24.95</Program_Cost_Dollars><Program_OS_Support>Win7,Win8,Win10"
      "</Program_OS_Support><File_Info><File_Size_Bytes>1048576</File_Size_Bytes></File_Info>"
      "</Program_Info><Program_Descriptions><English><Char_Desc_45>Keeps every folder of your "
      "disk tidy, every single day</Char_Desc_45><Char_Desc_250>Keeps your files tidy: sorts "
      "downloads, removes duplicates and empties old folders.</Char_Desc_250></English>"
      "</Program_Descriptions><Web_Info><Download_URLs><Primary_Download_URL>"
      "https://kiwi.example/dl/tidytool.zip</Primary_Download_URL></Download_URLs></Web_Info>"
      "</XML_DIZ_INFO>");
  Session& core = p.main->Core();
  const PadPlan plan =
      PlanPadImport(core.Wide(), core.Company().Names(), content, std::nullopt, false);
  QVERIFY(!plan.findings.empty());
  ui::TPadImportFrm import(plan, p.main.get());
  import.show();
  QVERIFY(QTest::qWaitForWindowExposed(&import));
  Check(&import, "import-pad");
  import.close();

  // The demo application's manifests, one rule broken.
  AppProfile app = core.App().Profile();
  app.tags += ",a,b,c,d,f,g,h,i,j,k,l,m";
  ui::TManifestExportFrm manifests(
      "Tidy Notes",
      [&](unsigned channels, bool pack) {
        return PlanManifests(core.Company().Profile(), app, channels, pack, core.Wide().ProgramDir);
      },
      p.main.get());
  manifests.show();
  QVERIFY(QTest::qWaitForWindowExposed(&manifests));
  Check(&manifests, "export-manifests");
  manifests.close();

  QVERIFY2(cut_.isEmpty(), qPrintable(cut_.join("\n")));
}

namespace {

// A dark desktop, as a dark theme gives it, for the life of the object.
struct DarkDesktop {
  DarkDesktop() : old(QApplication::palette()) {
    QApplication::setPalette(QPalette(QColor(45, 45, 48)));
  }
  ~DarkDesktop() { QApplication::setPalette(old); }
  QPalette old;
};

}  // namespace

// A stored label that the site's category list no longer holds: the Selected Site box
// shows it as the row does (and as a run would send it), and the run stops at the
// confirmation, which names the site, the label and the list.
void ScreenshotsTest::categoryTheListLacksIsShownAndStopsTheRun() {
  RunProgram r;
  ui::TMainFrm& main = *r.p.main;
  r.PostOnly({"Demo Form Post"});
  const int row = 2;
  QCOMPARE(main.Core().Table().Rows()[row].site, "Demo Form Post");
  main.Core().Table().MutableRows()[row].cat1 = "Office Tools";
  r.p.ShowPage(2);
  main.RefreshSites();
  ClickRow(r.W<QTableView>("SiteGrid"), row);
  auto* cat1 = r.W<QComboBox>("CatCombo1");
  QCOMPARE(cat1->count(), 4);
  QCOMPARE(cat1->currentIndex(), -1);
  QCOMPARE(cat1->placeholderText(), "Office Tools");
  main.resize(kSmallScreen);
  Check(&main, "sites-missing-category");

  Steps steps;
  QString finding;
  bool mayStart = true;
  steps.Window("TSubmissionVerifyFrm", [&](QWidget* w) {
    auto* list = w->findChild<QTreeWidget*>("FindingsList");
    for (int i = 0; list && i < list->topLevelItemCount(); ++i) {
      if (list->topLevelItem(i)->text(2) == "category 1") finding = list->topLevelItem(i)->text(3);
    }
    mayStart = w->findChild<QPushButton*>("StartBtn")->isEnabled();
    Check(w, "confirmation-missing-category");
    w->findChild<QPushButton*>("CancelBtn")->click();
  });
  r.p.ShowPage(3);
  QTest::mouseClick(r.W<QPushButton>("submitBtn"), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(steps.Done() && !r.page->Worker().Running(), 30000);
  QCOMPARE(finding, "Demo Form Post: category Office Tools is not in Demo Form Post Cat1.cat");
  QVERIFY(!mayStart);
  QVERIFY(r.Runs().empty());  // refused before anything was sent
}

// Counters show every count a run has, widening past three digits; the bar agrees.
void ScreenshotsTest::countersShowEveryCount() {
  Program p;
  auto* page = p.main->findChild<ui::SubmitPage*>("SubmitSheet");
  p.ShowPage(3);
  auto* toPost = page->findChild<QLCDNumber*>("SitesToPostdgt");
  auto* processed = page->findChild<QLCDNumber*>("SitesProcesseddgt");
  page->ShowCounters(305, 12345);  // past three digits: wider, never cut to 200
  QCOMPARE(static_cast<int>(toPost->value()), 305);
  QCOMPARE(static_cast<int>(processed->value()), 12345);
  QVERIFY(!processed->checkOverflow(12345));
  page->ShowCounters(82, 223);
  page->ShowProgress(223, 305);
  p.main->resize(kSmallScreen);
  Check(p.main.get(), "submit-305-sites");
  {
    DarkDesktop dark;
    page->ShowLamp(RunStep::Http, LampState::Lit);
    Check(p.main.get(), "submit-dark");
  }
}

// The viewer cannot show the frame a report keeps the site's answer in: it shows the
// answer as text, on the report's own white page whatever the desktop's colours.
void ScreenshotsTest::reportViewerShowsTheAnswerOnADarkDesktop() {
  DarkDesktop dark;
  TempDir dir;
  const std::string page = dir / "Demo Form Post _HTTP.htm";
  // The lines a report page holds around a site's answer.
  WriteFile(page,
            "<html><body bgcolor=\"#FFFFFF\"><p><font color=\"#000080\">[10:00:00] - Completed "
            "HTTP Post to: Demo Form Post</font></p>\r\n<iframe sandbox srcdoc=\"&lt;h1&gt;Thank "
            "you &amp;amp; welcome&lt;/h1&gt;&lt;script&gt;alert(1)&lt;/script&gt;\" "
            "width=\"581\" height=\"400\"></iframe>\r\n</body></html>\r\n");
  ui::TReportViewer viewer(QUrl::fromLocalFile(QString::fromStdString(page)), nullptr);
  viewer.setAttribute(Qt::WA_DeleteOnClose, false);
  viewer.show();
  QVERIFY(QTest::qWaitForWindowExposed(&viewer));
  QTextBrowser* browser = viewer.Browser();
  const QString text = browser->toPlainText();
  QVERIFY2(text.contains("The site's answer, as text:"), qPrintable(text));
  QVERIFY2(text.contains("<h1>Thank you &amp; welcome</h1>"), qPrintable(text));
  QVERIFY(text.contains("<script>alert(1)</script>"));  // shown, never run
  QCOMPARE(browser->palette().color(QPalette::Base), QColor(Qt::white));
  QCOMPARE(browser->palette().color(QPalette::Text), QColor(Qt::black));
  Check(&viewer, "report-viewer-dark");
}

namespace {
RegisterTest<ScreenshotsTest> reg("ScreenshotsTest");
}

}  // namespace vendrix::test

#include "screenshots_test.moc"
