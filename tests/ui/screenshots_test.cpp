// Every page and window on the demo tree: nothing cut off (each label and button has
// at least the room its text needs), and a screenshot of each for the reviewer.
#include <QAbstractButton>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QTabWidget>
#include <QTest>

#include "engine_check_frm.h"
#include "exchange/pad_plan.h"
#include "gui_driver.h"
#include "pad_import_frm.h"
#include "settings_form.h"
#include "small_windows.h"
#include "ui_tests.h"
#include "variables_frm.h"

namespace vendrix::test {

class ScreenshotsTest : public QObject {
  Q_OBJECT
 private slots:
  void everyPageAndWindow();

 private:
  void Check(QWidget* w, const QString& name);
  QStringList cut_;
};

void ScreenshotsTest::Check(QWidget* w, const QString& name) {
  QTest::qWait(50);
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

  QVERIFY2(cut_.isEmpty(), qPrintable(cut_.join("\n")));
}

namespace {
RegisterTest<ScreenshotsTest> reg("ScreenshotsTest");
}

}  // namespace vendrix::test

#include "screenshots_test.moc"
