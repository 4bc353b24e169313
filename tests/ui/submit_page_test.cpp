// The Submit page: whole runs against the demo download sites with the run on its
// worker thread, Skip and Cancel while a peer stalls, posting mode, the reports list
// and Print Log.
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLCDNumber>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <filesystem>
#include <regex>

#include "demo_run.h"
#include "gui_driver.h"
#include "lamp.h"
#include "reports_list_frm.h"
#include "run_support.h"
#include "run_worker.h"
#include "steps.h"
#include "submit_page.h"
#include "support/peer_process.h"
#include "ui_tests.h"

namespace vendrix::test {
namespace fs = std::filesystem;

class SubmitPageTest : public QObject {
  Q_OBJECT
 private slots:
  void wholeRunAgainstDemoSites();
  void skipDuringStalledFtpGoesOnWithNextSite();
  void cancelDuringStalledHttpStopsRunAndPostingLocksScreens();
  void cancelQuestionLeftOpenUntilRunEnds();
  void refusedRunLeavesEverythingAsItWas();
  void reportsListLevelsAndDelete();
  void printLogToPdf();
};

void SubmitPageTest::wholeRunAgainstDemoSites() {
  RunProgram r;
  auto* bar = r.W<QProgressBar>("PostStatus");
  auto* processed = r.W<QLCDNumber>("SitesProcesseddgt");
  auto* toPost = r.W<QLCDNumber>("SitesToPostdgt");
  int total = -1, maxPosition = 0, maxProcessed = 0, minToPost = 999, barMax = 0;
  QObject::connect(bar, &QProgressBar::valueChanged, [&](int v) {
    maxPosition = std::max(maxPosition, v);
    barMax = std::max(barMax, bar->maximum());
    maxProcessed = std::max(maxProcessed, static_cast<int>(processed->value()));
    if (v > 0) minToPost = std::min(minToPost, static_cast<int>(toPost->value()));
  });
  QSet<QString> blinking;
  for (const char* n : {"httpled", "ftpled", "mailled"}) {
    QObject::connect(r.W<ui::Lamp>(n), &ui::Lamp::StateChanged, [&blinking, n](LampState s) {
      if (s == LampState::Blinking) blinking << n;
    });
  }
  bool shotDuring = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (!shotDuring && !r.W<QLabel>("currentsite")->text().isEmpty() &&
        r.W<QListWidget>("log")->count() > 2) {
      shotDuring = true;
      Screenshot(r.p.main.get(), "submit-during-run");
    }
  });
  watch.start(10);

  Steps steps;
  steps.Window("TSubmissionVerifyFrm", [&](QWidget* w) {
    total = w->findChild<QLabel*>("PostTotalLbl")->text().toInt();
    Screenshot(w, "submission-verification");
    w->findChild<QPushButton*>("StartBtn")->click();
  });
  steps.Box(QMessageBox::Yes);  // View Report?
  QTest::mouseClick(r.W<QPushButton>("submitBtn"), Qt::LeftButton);
  QVERIFY(r.page->Worker().Running());
  QTRY_VERIFY_WITH_TIMEOUT(!r.page->Worker().Running(), 60000);
  watch.stop();
  QVERIFY(steps.Done());
  QCOMPARE(steps.seen.size(), 1);
  // The end question says how the run went.
  const QRegularExpression done(
      "^Confirm: Submission Process Done: (\\d+) succeeded, (\\d+) failed, 0 not sent\\. "
      "View Report\\?$");
  const QRegularExpressionMatch m = done.match(steps.seen.front());
  QVERIFY2(m.hasMatch(), qPrintable(steps.seen.front()));
  QVERIFY(m.captured(2).toInt() >= 1);  // "Demo All Three" refuses
  Screenshot(r.p.main.get(), "submit-after-run");

  QVERIFY(total >= 5);
  QCOMPARE(barMax, total);
  QCOMPARE(maxPosition, total);
  QCOMPARE(maxProcessed, total);
  QCOMPARE(minToPost, 0);
  QCOMPARE(m.captured(1).toInt() + m.captured(2).toInt(), total);
  // At the end: idle texts, lamps out, counters and bar keep the run's figures until the
  // next run, buttons as before.
  QCOMPARE(r.W<QLabel>("currentsite")->text(), QString());
  QCOMPARE(r.W<QLabel>("httpstatus")->text(), QString("Idle"));
  for (const char* n : {"httpled", "ftpled", "mailled"})
    QCOMPARE(r.W<ui::Lamp>(n)->State(), LampState::Off);
  QVERIFY(blinking.contains("httpled") && blinking.contains("ftpled"));
  QCOMPARE(static_cast<int>(processed->value()), total);
  QCOMPARE(static_cast<int>(toPost->value()), 0);
  QCOMPARE(bar->value(), total);
  QVERIFY(r.W<QPushButton>("submitBtn")->isEnabled());
  QVERIFY(!r.W<QPushButton>("skip")->isEnabled());
  QVERIFY(r.p.main->menuBar()->actions().front()->isEnabled());
  QVERIFY(!r.p.main->Core().Flags().Posting);

  QVERIFY(r.Logged("Completed HTTP Post to: Demo Form Post"));
  QVERIFY(r.Logged("Demo Mail E-Mailed Information."));
  QVERIFY(r.W<QListWidget>("ftplist")->count() > 0);
  // What the demo sites received: the upload, the form and the mail.
  QVERIFY(!fs::is_empty(r.p.Path("received/mail")));
  QVERIFY(!fs::is_empty(r.p.Path("received/ftp")));
  // The report was written and offered.
  const auto runs = r.Runs();
  QCOMPARE(runs.size(), std::size_t{1});
  QVERIFY(fs::exists(runs.front() / "MainReport.htm"));
  QVERIFY(fs::exists(runs.front() / "Demo Form Post _HTTP.htm"));
  QCOMPARE(r.p.opened.size(), 1);
  QVERIFY(r.p.opened.front().startsWith("file://"));
  QVERIFY(r.p.opened.front().endsWith("MainReport.htm"));
  // Accepted sites are marked for their next update; the refusing one is not.
  QCOMPARE(r.Row("Demo Form Post").submit, std::string("Update"));
  QVERIFY(!r.Row("Demo Form Post").lastPost.empty());
  QCOMPARE(r.Row("Demo All Three").submit, std::string("New"));
  QCOMPARE(r.Row("Demo FTP Upload").submit, std::string("Update"));
}

void SubmitPageTest::skipDuringStalledFtpGoesOnWithNextSite() {
  RunProgram r;
  TempDir peerDir;
  WriteFile(peerDir / "script.json", R"({"greeting": ["220 hello"], "USER": "SILENT"})");
  PeerProcess silent({PeerScript("line_peer.py"), "--script", peerDir / "script.json"});
  r.SetSiteKey("Demo FTP Upload", "FTP_SERVER", "127.0.0.1:" + std::to_string(silent.port()));
  r.PostOnly({"Demo FTP Upload", "Demo Form Post"});

  auto* ftpLed = r.W<ui::Lamp>("ftpled");
  int toggles = 0;
  bool lastShown = true;
  QElapsedTimer skipped;
  qint64 skipTook = -1;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (ftpLed->State() == LampState::Blinking && ftpLed->ShownLit() != lastShown) {
      lastShown = ftpLed->ShownLit();
      ++toggles;
    }
    if (skipped.isValid() && skipTook < 0 && r.Logged("SKIPPED -> Demo FTP Upload"))
      skipTook = skipped.elapsed();
  });
  watch.start(10);

  Steps steps;
  steps.Window("TSubmissionVerifyFrm",
               [](QWidget* w) { w->findChild<QPushButton*>("StartBtn")->click(); });
  steps.When([&] { return r.W<QLabel>("ftpstatus")->text() == "logging on to Demo FTP Upload"; },
             [&] {
               // The server says nothing; the window lives on and the lamp blinks.
               QTest::qWait(1200);
               QVERIFY(r.page->Worker().Running());
               QVERIFY(r.W<QPushButton>("skip")->isEnabled());
               skipped.start();
               QTest::mouseClick(r.W<QPushButton>("skip"), Qt::LeftButton);
             });
  steps.Box(QMessageBox::No);
  QTest::mouseClick(r.W<QPushButton>("submitBtn"), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(!r.page->Worker().Running(), 60000);
  QVERIFY(steps.Done());
  QVERIFY2(toggles >= 3, qPrintable(QString::number(toggles)));
  QVERIFY(skipTook >= 0 && skipTook < 2000);
  QVERIFY(r.Logged("Completed HTTP Post to: Demo Form Post"));
  QCOMPARE(r.Row("Demo FTP Upload").submit, std::string("New"));
  QCOMPARE(r.Row("Demo Form Post").submit, std::string("Update"));
  QVERIFY(r.p.opened.isEmpty());
}

void SubmitPageTest::cancelDuringStalledHttpStopsRunAndPostingLocksScreens() {
  RunProgram r;
  // One site after another: the second never starts. The form the stalled site has
  // read ends at its time-out: a cancel never cuts a request already written.
  r.AddSettings("PostAtOnce=1\r\nHTTPTimeOut=10\r\n");
  r.SetSiteKey("Demo Form Get", "HTTP_NEW_SCRIPT_URL",
               "http://127.0.0.1:" + std::to_string(r.sites.http) + "/silent/x");
  r.PostOnly({"Demo Form Get", "Demo Form Post"});
  auto* pages = r.W<QTabWidget>("PageControl1");

  Steps steps;
  steps.Window("TSubmissionVerifyFrm",
               [](QWidget* w) { w->findChild<QPushButton*>("StartBtn")->click(); });
  steps.When([&] { return r.W<QLabel>("httpstatus")->text() == "HTTP Posting: Demo Form Get"; },
             [&] {
               // Posting mode: the other pages, the menus and the run buttons are locked.
               QVERIFY(!r.p.main->menuBar()->actions().front()->isEnabled());
               QVERIFY(!r.W<QPushButton>("exitb")->isEnabled());
               QVERIFY(!r.W<QPushButton>("submitBtn")->isEnabled());
               QTabBar* tabs = pages->tabBar();
               QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
             });
  steps.Box(QMessageBox::Ok);  // Tab Change Not Allowed While Posting!
  steps.When([&] { return !QApplication::activeModalWidget(); },
             [&] {
               QCOMPARE(pages->currentIndex(), 3);
               r.p.main->close();  // asks to cancel the run; No keeps both
               QVERIFY(r.p.main->isVisible());
               QTest::mouseClick(r.W<QPushButton>("cancel"), Qt::LeftButton);
             });
  steps.Box(QMessageBox::No);  // Sure you want to cancel all posts? (the close)
  steps.Box(QMessageBox::No);  // Sure you want to cancel all posts? (the button)
  steps.When([&] { return !QApplication::activeModalWidget(); },
             [&] {
               QTest::qWait(200);
               QVERIFY(r.page->Worker().Running());
               QTest::mouseClick(r.W<QPushButton>("cancel"), Qt::LeftButton);
             });
  steps.Box(QMessageBox::Yes);
  steps.Box(QMessageBox::Yes);  // View Report?
  QTest::mouseClick(r.W<QPushButton>("submitBtn"), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(!r.page->Worker().Running(), 60000);
  QVERIFY(steps.Done());
  QVERIFY(r.Logged("Posting Error - TIMED OUT!(Demo Form Get)"));
  QCOMPARE(steps.seen.mid(0, 4), QStringList({"Error: Tab Change Not Allowed While Posting!",
                                              "Confirm: Sure you want to cancel all posts?",
                                              "Confirm: Sure you want to cancel all posts?",
                                              "Confirm: Sure you want to cancel all posts?"}));
  QVERIFY(steps.seen.value(4).startsWith("Confirm: Submission Process Done: "));
  QVERIFY(!r.Logged("Completed HTTP Post to: Demo Form Post"));
  QCOMPARE(r.Row("Demo Form Post").submit, std::string("Update"));  // as it was
  QCOMPARE(r.Row("Demo Form Get").submit, std::string("New"));
  const auto runs = r.Runs();
  QCOMPARE(runs.size(), std::size_t{1});
  QVERIFY(fs::exists(runs.front() / "MainReport.htm"));
  QCOMPARE(r.p.opened.size(), 1);
  // The screens are free again.
  QVERIFY(r.W<QPushButton>("submitBtn")->isEnabled());
  r.p.ShowPage(2);
  QCOMPARE(pages->currentIndex(), 2);
}

// The cancel question stays open while the stalled post times out: the run ends, the
// question closes by itself, "View Report?" is answered, and nothing touches the run
// afterwards (the ASan build catches a late touch).
void SubmitPageTest::cancelQuestionLeftOpenUntilRunEnds() {
  RunProgram r;
  WriteFile(r.p.Path("settings.dat"),
            "[SETTINGS]\r\nSMTP=127.0.0.1:" + std::to_string(r.sites.smtp) +
                "\r\nEMAIL=mira@brightfield.example\r\nNAME=Mira Holt\r\nFTPRetries=0\r\n"
                "HTTPTimeOut=10\r\n");
  r.SetSiteKey("Demo Form Get", "HTTP_NEW_SCRIPT_URL",
               "http://127.0.0.1:" + std::to_string(r.sites.http) + "/silent/x");
  r.PostOnly({"Demo Form Get"});
  auto question = [] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    return box && box->text() == "Sure you want to cancel all posts?" ? box : nullptr;
  };
  QPointer<QMessageBox> stale;
  bool cancelled = true;
  Steps steps;
  steps.Window("TSubmissionVerifyFrm",
               [](QWidget* w) { w->findChild<QPushButton*>("StartBtn")->click(); });
  steps.When([&] { return r.W<QLabel>("httpstatus")->text() == "HTTP Posting: Demo Form Get"; },
             [&] { cancelled = r.page->Worker().CancelClick(); });
  steps.When([&] { return question() != nullptr; },
             [&] {
               stale = question();
               QVERIFY(r.page->Worker().Asking());
             });
  // Left unanswered: the post times out and the run ends.
  steps.When(
      [] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        return box && box->text().startsWith("Submission Process Done: ");
      },
      [&] {
        QVERIFY(!stale);  // the cancel question was closed first
        qobject_cast<QMessageBox*>(QApplication::activeModalWidget())
            ->button(QMessageBox::No)
            ->click();
      });
  QTest::mouseClick(r.W<QPushButton>("submitBtn"), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(steps.Done() && !r.page->Worker().Running(), 60000);
  QVERIFY(!cancelled);  // the closed question cancelled nothing
  QVERIFY(!r.page->Worker().Asking());
  QVERIFY(!r.page->Worker().Run());
  // A late Cancel after the run finds nothing to cancel and asks nothing.
  QVERIFY(!r.page->Worker().CancelClick());
  QCOMPARE(r.Runs().size(), std::size_t{1});
  QVERIFY(r.p.opened.isEmpty());
  QVERIFY(r.W<QPushButton>("submitBtn")->isEnabled());
  QVERIFY(!r.p.main->Core().Flags().Posting);
}

void SubmitPageTest::refusedRunLeavesEverythingAsItWas() {
  RunProgram r;
  // A category still to be chosen: the run is refused and the row shown.
  std::vector<AppSiteRow>& rows = r.p.main->Core().Table().MutableRows();
  int notSet = -1;
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    if (rows[i].site == "Demo Form Get") {
      rows[i].cat1 = kNotSet;
      notSet = i;
    }
  }
  Steps steps;
  steps.Box(QMessageBox::Ok);
  QTest::mouseClick(r.W<QPushButton>("submitBtn"), Qt::LeftButton);
  QTRY_VERIFY(!r.page->Worker().Running());
  QVERIFY(steps.Done());
  // The refusal names the first site without its category.
  QCOMPARE(steps.seen.size(), 1);
  QVERIFY(
      steps.seen[0].startsWith("Error: You have a site set to post against that needs a "
                               "category set. Please set before posting! ("));
  QCOMPARE(r.W<QTabWidget>("PageControl1")->currentIndex(), 2);
  QCOMPARE(r.p.main->Core().Table().Selected(), notSet);
  QVERIFY(r.Runs().empty());
  QVERIFY(r.W<QPushButton>("submitBtn")->isEnabled());
  QVERIFY(r.p.main->menuBar()->actions().front()->isEnabled());

  // Mail settings missing: the person is told which before Settings opens; closing it
  // refuses the run.
  WriteFile(r.p.Path("settings.dat"),
            "[SETTINGS]\r\nSMTP=127.0.0.1:" + std::to_string(r.sites.smtp) + "\r\n");
  Steps missing;
  missing.Box(QMessageBox::Ok);
  missing.Window("TSettingsForm", [](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
  QTest::mouseClick(r.W<QPushButton>("submitBtn"), Qt::LeftButton);
  QTRY_VERIFY(missing.Done() && !r.page->Worker().Running());
  QCOMPARE(missing.seen, QStringList({"Information: Before submitting, fill in your e-mail "
                                      "address and your name on the Settings window: the "
                                      "sites' e-mails are sent with them."}));
  QVERIFY(r.Runs().empty());
}

void SubmitPageTest::reportsListLevelsAndDelete() {
  Program p;
  p.ShowPage(3);
  auto* view = p.Find<QPushButton>("ViewReport");
  {
    // No reports at all: a message instead of the window.
    Steps steps;
    steps.Box(QMessageBox::Ok);
    QTest::mouseClick(view, Qt::LeftButton);
    QTRY_VERIFY(steps.Done());
    QCOMPARE(steps.seen, QStringList({"Information: No Reports Found"}));
  }
  for (const char* run : {"Alpha/2026-01-02-10-00-00-100", "Alpha/2026-01-03-10-00-00-100",
                          "Beta/2026-02-01-09-30-00-05"}) {
    fs::create_directories(p.Path(std::string("reports/") + run));
    WriteFile(p.Path(std::string("reports/") + run + "/MainReport.htm"), "<html></html>");
  }
  QStringList levels;
  auto items = [](QWidget* w) {
    QStringList l;
    auto* list = w->findChild<QListWidget*>("RepListBox");
    for (int i = 0; i < list->count(); ++i) l << list->item(i)->text();
    return l.join(",");
  };
  auto click = [](QWidget* w, const char* name) { w->findChild<QPushButton*>(name)->click(); };
  Steps steps;
  steps.Window("TReportsListFrm", [&](QWidget* w) {
    levels << items(w);
    QVERIFY(!w->findChild<QPushButton*>("UpBtn")->isEnabled());
    Screenshot(w, "submission-reports");
    click(w, "GoBtn");
    levels << items(w);
    QVERIFY(w->findChild<QPushButton*>("UpBtn")->isEnabled());
    click(w, "DeleteBtn");
  });
  // Delete asks with No as the default, and then the keyboard is back on the list.
  QStringList defaults;
  auto deleteQuestion = [&] {
    steps.When([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); },
               [&] {
                 auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                 steps.seen << box->windowTitle() + ": " + box->text();
                 defaults << box->defaultButton()->text();
                 box->button(QMessageBox::Yes)->click();
               });
  };
  deleteQuestion();
  steps.Window("TReportsListFrm", [&](QWidget* w) {
    // The window manager may take a moment to give the window back its activation.
    QTRY_VERIFY_WITH_TIMEOUT(w->findChild<QListWidget*>("RepListBox")->hasFocus(), 10000);
    levels << items(w);
    click(w, "UpBtn");
    levels << items(w);
    auto* list = w->findChild<QListWidget*>("RepListBox");
    list->setCurrentRow(1);
    click(w, "DeleteBtn");
  });
  deleteQuestion();  // Delete all reports for selected site?
  steps.Window("TReportsListFrm", [&](QWidget* w) {
    levels << items(w);
    auto* list = w->findChild<QListWidget*>("RepListBox");
    // A double click goes down a level; GO on a run opens its main report.
    const QPoint at = list->visualItemRect(list->item(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    levels << items(w);
    click(w, "GoBtn");
  });
  QTest::mouseClick(view, Qt::LeftButton);
  QTRY_VERIFY(steps.Done());
  // Runs show as the locale's dates and times, newest first and selected; Delete took
  // the newest.
  const QString older = ui::TReportsListFrmWindow::RunText("2026-01-02-10-00-00-100"),
                newer = ui::TReportsListFrmWindow::RunText("2026-01-03-10-00-00-100");
  QVERIFY(older != newer && !older.contains("2026-01-02-10"));
  QCOMPARE(levels,
           QStringList({"Alpha,Beta", newer + "," + older, older, "Alpha,Beta", "Alpha", older}));
  QCOMPARE(defaults, QStringList({"&No", "&No"}));
  QCOMPARE(steps.seen, QStringList({"Confirm: Delete the selected report?",
                                    "Confirm: Delete all reports for selected site?"}));
  QVERIFY(!fs::exists(p.Path("reports/Beta")));
  QVERIFY(!fs::exists(p.Path("reports/Alpha/2026-01-03-10-00-00-100")));
  QCOMPARE(p.opened.size(), 1);
  QVERIFY(p.opened.front().endsWith("Alpha/2026-01-02-10-00-00-100/MainReport.htm"));
}

void SubmitPageTest::printLogToPdf() {
  Program p;
  p.ShowPage(3);
  auto* page = p.main->findChild<ui::SubmitPage*>("SubmitSheet");
  const QString pdf = QString::fromStdString(p.Path("log.pdf"));
  int dialogs = 0;
  page->SetPrintDialog([&](QPrinter& printer) {
    ++dialogs;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    return true;
  });
  {
    Steps steps;
    steps.Box(QMessageBox::Ok);
    QTest::mouseClick(p.Find<QPushButton>("print"), Qt::LeftButton);
    QTRY_VERIFY(steps.Done());
    QCOMPARE(steps.seen, QStringList({"Information: You do not have a log to print."}));
    QCOMPARE(dialogs, 0);
    QVERIFY(!QFileInfo::exists(pdf));
  }
  QStringList lines;
  for (int i = 1; i <= 120; ++i)
    lines << QString("Line %1 of the run log -> Demo Form Post").arg(i);
  lines << QString::fromUtf8("Caf\u00e9 Software accepted the upload");
  for (const QString& l : lines) page->AddLogLine(l);
  QTest::mouseClick(p.Find<QPushButton>("print"), Qt::LeftButton);
  QCOMPARE(dialogs, 1);
  QVERIFY(QFileInfo::exists(pdf));
  QProcess text;
  text.start("pdftotext", {"-layout", pdf, "-"});
  QVERIFY(text.waitForFinished(20000));
  const QString out = QString::fromUtf8(text.readAllStandardOutput());
  QStringList printed;
  for (const QString& l : out.split('\n')) {
    const QString t = l.trimmed().remove('\f');
    if (!t.isEmpty()) printed << t;
  }
  QCOMPARE(printed, lines);
  QVERIFY(out.count('\f') >= 2);  // more than one page
}

namespace {
RegisterTest<SubmitPageTest> reg("SubmitPageTest");
}

}  // namespace vendrix::test

#include "submit_page_test.moc"
