// Every page and window on the demo tree: nothing cut off (each label and button has
// at least the room its text needs), and a screenshot of each for the reviewer.
#include <QAbstractButton>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QTabWidget>
#include <QTest>

#include "engine_check_frm.h"
#include "gui_driver.h"
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

  QVERIFY2(cut_.isEmpty(), qPrintable(cut_.join("\n")));
}

namespace {
RegisterTest<ScreenshotsTest> reg("ScreenshotsTest");
}

}  // namespace vendrix::test

#include "screenshots_test.moc"
