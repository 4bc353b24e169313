// The confirmation window before a run: the findings of the check under the counts,
// errors holding "Start Posting!" back until "Post anyway" is ticked, the sites that
// already got this version with "Send again", and the Sites page's "Sent" column.
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <regex>

#include "demo_run.h"
#include "gui_driver.h"
#include "run_support.h"
#include "run_worker.h"
#include "steps.h"
#include "submit_page.h"
#include "ui_tests.h"

namespace vendrix::test {
namespace fs = std::filesystem;

namespace {

// The demo tree with its download sites on free ports and only "Demo Form Post" marked.
struct ConfirmProgram {
  ConfirmProgram() : sites(p.Path("received")) {
    AimAtDemoSites(p, sites);
    Session& s = p.main->Core();
    for (AppSiteRow& r : s.Table().MutableRows()) r.post = r.site == kSite ? "Y" : "N";
    page = p.main->findChild<ui::SubmitPage*>("SubmitSheet");
    p.ShowPage(3);
  }
  bool Logged(const QString& prefix) const {
    for (const QString& line : page->LogLines())
      if (line.startsWith(prefix)) return true;
    return false;
  }
  // Presses "Save/Submit", lets the window's act decide, answers "View Report?" No
  // when the run started, and waits for the run to end.
  void Submit(std::function<void(QWidget*)> act, bool starts) {
    // A run rewraps the long description as an edit would; saved, the next run does
    // not ask to save it.
    p.main->Core().App().SaveApp();
    Steps steps;
    steps.Window("TSubmissionVerifyFrm", [act = std::move(act)](QWidget* w) {
      act(w);
      // A failed check leaves the window open: closed, the test ends instead of waiting.
      if (QTest::currentTestFailed() && w->isVisible()) static_cast<QDialog*>(w)->reject();
    });
    if (starts) steps.Box(QMessageBox::No);
    QTest::mouseClick(p.main->findChild<QPushButton*>("submitBtn"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(steps.Done() && !page->Worker().Running(), 60000);
  }
  int Runs() const {
    std::error_code ec;
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(p.Path("reports/Tidy Notes"), ec))
      ++n;
    return n;
  }

  static constexpr const char* kSite = "Demo Form Post";
  Program p;
  DemoSites sites;
  ui::SubmitPage* page = nullptr;
};

template <typename T>
T* In(QWidget* w, const char* name) {
  T* child = w->findChild<T*>(name);
  if (!child) qFatal("no %s", name);
  return child;
}

// Clicks a check box where a person would: on its box.
void Tick(QCheckBox* box) {
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->height() / 2, box->height() / 2));
}

// The rows of the findings list as "severity|where|field".
QStringList FindingRows(QWidget* w) {
  QStringList rows;
  auto* list = In<QTreeWidget>(w, "FindingsList");
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = list->topLevelItem(i);
    rows << item->text(0) + "|" + item->text(1) + "|" + item->text(2);
  }
  return rows;
}

}  // namespace

class RunConfirmationTest : public QObject {
  Q_OBJECT
 private slots:
  void errorsHoldStartBackUntilPostAnyway();
  void sitesAlreadySentAreOfferedAgainAndShownOnSitesPage();
};

void RunConfirmationTest::errorsHoldStartBackUntilPostAnyway() {
  ConfirmProgram r;
  Session& s = r.p.main->Core();
  QVERIFY(s.App().SetField("SIZE32", "1"));
  QVERIFY(s.App().SetField("SHORTDESC", "TODO say what it does"));
  s.App().SaveApp();

  // Refused as it stands: "Start Posting!" does nothing, "Cancel Posting" ends it.
  r.Submit(
      [](QWidget* w) {
        const QStringList rows = FindingRows(w);
        QVERIFY2(rows.contains("Error|application|SIZE32"), qPrintable(rows.join("; ")));
        QVERIFY2(rows.contains("Warning|application|SHORTDESC"), qPrintable(rows.join("; ")));
        QVERIFY(In<QLabel>(w, "FindingsLbl")->text().startsWith("Found 1 error and "));
        QVERIFY(!w->findChild<QWidget*>("AlreadySentBox"));
        auto* start = In<QPushButton>(w, "StartBtn");
        auto* anyway = In<QCheckBox>(w, "PostAnywayChk");
        QVERIFY(!anyway->isChecked());
        QVERIFY(!start->isEnabled());
        QTest::mouseClick(start, Qt::LeftButton);
        QVERIFY(w->isVisible());
        Tick(anyway);
        QVERIFY(start->isEnabled());
        Screenshot(w, "submission-verification-findings");
        Tick(anyway);
        QVERIFY(!start->isEnabled());
        QTest::mouseClick(In<QPushButton>(w, "CancelBtn"), Qt::LeftButton);
      },
      false);
  QCOMPARE(r.Runs(), 0);
  QVERIFY(!r.Logged("Completed HTTP Post to: "));

  // "Post anyway" lets the run go.
  r.Submit(
      [](QWidget* w) {
        Tick(In<QCheckBox>(w, "PostAnywayChk"));
        QTest::mouseClick(In<QPushButton>(w, "StartBtn"), Qt::LeftButton);
      },
      true);
  QCOMPARE(r.Runs(), 1);
  QVERIFY(r.Logged("Completed HTTP Post to: Demo Form Post"));

  // Warnings alone never hold the run back.
  QVERIFY(s.App().SetField("SIZE32", "2048"));
  s.App().SaveApp();
  r.Submit(
      [](QWidget* w) {
        QCOMPARE(FindingRows(w).filter("Error|").size(), 0);
        QVERIFY(!w->findChild<QCheckBox*>("PostAnywayChk"));
        QVERIFY(In<QPushButton>(w, "StartBtn")->isEnabled());
        QTest::mouseClick(In<QPushButton>(w, "CancelBtn"), Qt::LeftButton);
      },
      false);
}

void RunConfirmationTest::sitesAlreadySentAreOfferedAgainAndShownOnSitesPage() {
  ConfirmProgram r;
  auto* grid = r.p.Find<QTableView>("SiteGrid");
  QAbstractItemModel* model = grid->model();
  QCOMPARE(model->headerData(11, Qt::Horizontal).toString(), QString("Sent"));
  int row = -1;
  for (int i = 0; i < model->rowCount(); ++i)
    if (model->index(i, 0).data().toString() == ConfirmProgram::kSite) row = i;
  QVERIFY(row >= 0);
  QCOMPARE(model->index(row, 11).data().toString(), QString());

  r.Submit(
      [](QWidget* w) {
        QVERIFY(!w->findChild<QWidget*>("AlreadySentBox"));
        QTest::mouseClick(In<QPushButton>(w, "StartBtn"), Qt::LeftButton);
      },
      true);
  QVERIFY(r.Logged("Completed HTTP Post to: Demo Form Post"));
  // The Sites page shows the version the site got; the others got nothing.
  QCOMPARE(model->index(row, 11).data().toString(), QString("2.1"));
  QVERIFY(model->index(row, 11).data(Qt::ToolTipRole).toString().startsWith("2.1 on "));
  for (int i = 0; i < model->rowCount(); ++i)
    if (i != row) QCOMPARE(model->index(i, 11).data().toString(), QString());

  // The same run again: the site is listed and, left as it is, not sent again.
  r.Submit(
      [](QWidget* w) {
        auto* list = In<QListWidget>(w, "AlreadySentList");
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->item(0)->text(), QString("Demo Form Post"));
        QVERIFY(In<QLabel>(w, "AlreadySentLbl")->text().contains("version 2.1"));
        QVERIFY(!In<QCheckBox>(w, "SendAgainChk")->isChecked());
        QVERIFY(In<QPushButton>(w, "StartBtn")->isEnabled());
        // The counts are of what will be posted: the site counts only to be sent again.
        QCOMPARE(In<QLabel>(w, "PostTotalLbl")->text(), "0");
        Tick(In<QCheckBox>(w, "SendAgainChk"));
        QCOMPARE(In<QLabel>(w, "PostTotalLbl")->text(), "1");
        Tick(In<QCheckBox>(w, "SendAgainChk"));
        Screenshot(w, "submission-verification-already-sent");
        QTest::mouseClick(In<QPushButton>(w, "StartBtn"), Qt::LeftButton);
      },
      true);
  QVERIFY(r.Logged("Demo Form Post: already sent version 2.1 on "));
  QVERIFY(!r.Logged("Completed HTTP Post to: Demo Form Post"));

  // "Send again" sends it.
  r.Submit(
      [](QWidget* w) {
        Tick(In<QCheckBox>(w, "SendAgainChk"));
        QTest::mouseClick(In<QPushButton>(w, "StartBtn"), Qt::LeftButton);
      },
      true);
  QVERIFY(r.Logged("Completed HTTP Post to: Demo Form Post"));
  QVERIFY(!r.Logged("Demo Form Post: already sent"));

  // A new version: nothing is listed, and the column shows the old one until it is sent.
  Session& s = r.p.main->Core();
  QVERIFY(s.App().SetField("VERSION", "2.2"));
  s.App().SaveApp();
  r.Submit(
      [](QWidget* w) {
        QVERIFY(!w->findChild<QWidget*>("AlreadySentBox"));
        QTest::mouseClick(In<QPushButton>(w, "StartBtn"), Qt::LeftButton);
      },
      true);
  QVERIFY(r.Logged("Completed HTTP Post to: Demo Form Post"));
  QCOMPARE(model->index(row, 11).data().toString(), QString("2.2"));
  r.p.ShowPage(2);
  Screenshot(r.p.main.get(), "sites-page-sent-column");
}

namespace {
RegisterTest<RunConfirmationTest> reg("RunConfirmationTest");
}

}  // namespace vendrix::test

#include "run_confirmation_test.moc"
