// The Submit page with several sites posted at once: the list of sites in flight and
// the lamps while slow sites answer, and Skip of the site selected in that list.
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "demo_run.h"
#include "gui_driver.h"
#include "lamp.h"
#include "run_worker.h"
#include "steps.h"
#include "submit_page.h"
#include "support/peer_process.h"
#include "ui_tests.h"

namespace vendrix::test {

namespace {

// Form sites whose server waits before it answers, each on a loopback address of its
// own so that no host limit holds them back.
struct SlowSites {
  explicit SlowSites(RunProgram& r)
      : peer({PeerScript("flaky_http_peer.py"), "--folder", folder.path(), "--delay", "3", "--also",
              "127.0.0.2", "127.0.0.3"}),
        r_(r) {}
  // The site's form goes to this server at host (127.0.0.1 to .3; the other addresses
  // take the first one's port, which is free there).
  void Aim(const std::string& site, const std::string& host) {
    const std::string url = "http://" + host + ":" + std::to_string(peer.port()) + "/form";
    r_.SetSiteKey(site, "HTTP_NEW_SCRIPT_URL", url);
    r_.SetSiteKey(site, "HTTP_UPDATE_SCRIPT_URL", url);
  }
  int Connections() const {
    auto log = ReadFile(folder / "connections.log");
    return log ? static_cast<int>(std::count(log->begin(), log->end(), '\n')) : 0;
  }
  TempDir folder;
  PeerProcess peer;

 private:
  RunProgram& r_;
};

QTreeWidgetItem* FlightRow(QTreeWidget* list, const QString& site) {
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    if (list->topLevelItem(i)->text(0) == site) return list->topLevelItem(i);
  return nullptr;
}

}  // namespace

class InFlightTest : public QObject {
  Q_OBJECT
 private slots:
  void slowSitesShowInFlightWithTheirLamps();
  void skipTheSelectedSiteAlone();
};

void InFlightTest::slowSitesShowInFlightWithTheirLamps() {
  RunProgram r;
  r.AddSettings("PostAtOnce=4\r\n");
  SlowSites slow(r);
  slow.Aim("Demo Form Get", "127.0.0.1");
  slow.Aim("Demo Form Post", "127.0.0.2");
  slow.Aim("Demo All Three", "127.0.0.3");
  const std::vector<std::string> posted = {"Demo Form Get", "Demo Form Post", "Demo All Three",
                                           "Demo FTP Upload", "Demo Mail"};
  r.PostOnly(posted);
  auto* list = r.W<QTreeWidget>("inFlightList");
  const std::pair<QString, ui::Lamp*> lamps[] = {{"FTP", r.W<ui::Lamp>("ftpled")},
                                                 {"HTTP", r.W<ui::Lamp>("httpled")},
                                                 {"EMAIL", r.W<ui::Lamp>("mailled")}};
  int most = 0;
  QStringList dark;  // a site in a step whose lamp did not blink
  bool shot = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    most = std::max(most, list->topLevelItemCount());
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
      const QTreeWidgetItem* row = list->topLevelItem(i);
      for (const auto& [step, lamp] : lamps) {
        if (row->text(1) == step && lamp->State() != LampState::Blinking)
          dark << row->text(0) + " " + step;
      }
    }
    if (!shot && list->topLevelItemCount() >= 3) {
      shot = true;
      Screenshot(r.p.main.get(), "submit-sites-in-flight");
    }
  });
  watch.start(10);

  Steps steps;
  steps.Window("TSubmissionVerifyFrm",
               [](QWidget* w) { w->findChild<QPushButton*>("StartBtn")->click(); });
  steps.Box(QMessageBox::No);  // View Report?
  QTest::mouseClick(r.W<QPushButton>("submitBtn"), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(steps.Done() && !r.page->Worker().Running(), 60000);
  watch.stop();

  // The three slow sites were in flight together, each lit its step's lamp.
  QVERIFY2(most >= 3, qPrintable(QString::number(most)));
  QVERIFY2(dark.isEmpty(), qPrintable(dark.join(", ")));
  // Every form went out once and every site was accepted.
  QCOMPARE(slow.Connections(), 3);
  for (const std::string& site : posted) QCOMPARE(r.Row(site).submit, std::string("Update"));
  QVERIFY(r.Logged("Completed HTTP Post to: Demo Form Post"));
  // At the end no site is in flight and every lamp is out.
  QCOMPARE(list->topLevelItemCount(), 0);
  for (const auto& [step, lamp] : lamps) QCOMPARE(lamp->State(), LampState::Off);
  QCOMPARE(r.W<QLabel>("currentsite")->text(), QString());
}

void InFlightTest::skipTheSelectedSiteAlone() {
  RunProgram r;
  r.AddSettings("PostAtOnce=4\r\n");
  SlowSites slow(r);
  r.SetSiteKey("Demo Form Get", "HTTP_NEW_SCRIPT_URL", r.sites.Url("/silent/new"));
  r.SetSiteKey("Demo Form Get", "HTTP_UPDATE_SCRIPT_URL", r.sites.Url("/silent/update"));
  slow.Aim("Demo Form Post", "127.0.0.2");
  r.PostOnly({"Demo Form Get", "Demo Form Post"});
  auto* list = r.W<QTreeWidget>("inFlightList");
  auto inHttp = [list](const char* site) {
    QTreeWidgetItem* row = FlightRow(list, site);
    return row && row->text(1) == "HTTP";
  };

  Steps steps;
  steps.Window("TSubmissionVerifyFrm",
               [](QWidget* w) { w->findChild<QPushButton*>("StartBtn")->click(); });
  steps.When([&] { return inHttp("Demo Form Get") && inHttp("Demo Form Post"); },
             [&] {
               QTreeWidgetItem* row = FlightRow(list, "Demo Form Get");
               QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                                 list->visualItemRect(row).center());
               QCOMPARE(r.page->SelectedInFlight(), std::string("Demo Form Get"));
               QTest::mouseClick(r.W<QPushButton>("skip"), Qt::LeftButton);
             });
  steps.Box(QMessageBox::No);  // View Report?
  QTest::mouseClick(r.W<QPushButton>("submitBtn"), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(steps.Done() && !r.page->Worker().Running(), 60000);

  // The stalled site ended as skipped; the other went on to its answer.
  QVERIFY(r.Logged("SKIPPED -> Demo Form Get"));
  QVERIFY(!r.Logged("SKIPPED -> Demo Form Post"));
  QVERIFY(r.Logged("Completed HTTP Post to: Demo Form Post"));
  QCOMPARE(r.Row("Demo Form Get").submit, std::string("New"));
  QCOMPARE(r.Row("Demo Form Post").submit, std::string("Update"));
  QCOMPARE(slow.Connections(), 1);
}

namespace {
RegisterTest<InFlightTest> reg("InFlightTest");
}

}  // namespace vendrix::test

#include "in_flight_test.moc"
