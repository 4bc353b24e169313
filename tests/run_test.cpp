// The submission run end to end, against the demo download sites and scripted peers.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include <nlohmann/json.hpp>

#include "app/session_run.h"
#include "run/reports_list.h"
#include "run/submission_run.h"
#include "run_fixture.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;
using test::DemoSites;
using test::LinesStarting;
using test::ParsePage;
using test::PeerProcess;
using test::PeerScript;
using test::ReadFile;
using test::RecordingView;
using test::RunTest;
using test::WriteFile;

constexpr const char* kFtpPassword = "pw-Zebra-42";

TEST_F(RunTest, PostsEveryMethodMarksAcceptedRowsAndWritesTheReports) {
  HttpSite("Form Post", "/submit/new");
  HttpSite("Form Get", "/get/add", true);
  FtpSite("Upload", sites.ftp, "demo", "demo", "USE_ZIP_FILE=1\r\n");
  HttpSite("Closed", "/closed/new");
  Site("No Method", "");
  Load();
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);

  EXPECT_EQ(view.verified.total, 5);
  EXPECT_EQ(view.verified.http, 3);
  EXPECT_EQ(view.verified.ftp, 1);
  EXPECT_EQ(view.verified.ftpZip, 1);
  const std::string today = ShortDate(clock.Now());
  for (const char* ok : {"Form Post", "Form Get", "Upload"}) {
    EXPECT_EQ(Row(ok).submit, "Update") << ok;
    EXPECT_EQ(Row(ok).lastPost, today) << ok;
  }
  for (const char* failed : {"Closed", "No Method"}) {
    EXPECT_EQ(Row(failed).submit, "New") << failed;
    EXPECT_EQ(Row(failed).lastPost, "Unknown") << failed;
  }
  EXPECT_EQ(run->Report().SuccessCount, 3);
  EXPECT_EQ(run->Report().FailureCount, 2);

  EXPECT_TRUE(view.Logged("Completed HTTP Post to: Form Post"));
  EXPECT_FALSE(view.Logged("Completed HTTP Post to: Form Get"));  // a 302 has a line of its own
  EXPECT_TRUE(std::any_of(view.log.begin(), view.log.end(), [](const std::string& l) {
    return l.rfind("Accepted HTTP Post to: Form Get (302", 0) == 0;
  })) << ::testing::PrintToString(view.log);
  EXPECT_TRUE(view.Logged("Posting Error - 151: 500 Internal Server Error(Closed)"));
  EXPECT_TRUE(view.Logged("Uploaded prog.zip to Upload"));
  EXPECT_TRUE(view.Logged("Uploaded prog.txt to Upload"));
  EXPECT_EQ(Received("ftp/incoming"), (std::vector<std::string>{"prog.txt", "prog.zip"}));

  // The GET request carries the data after the URL.
  bool sawGet = false;
  for (const auto& r : Received("http")) {
    auto text = ReadFile(dir / ("received/http/" + r)).value_or("");
    if (text.rfind("GET /get/add?program=Prog&version=1.5", 0) == 0) sawGet = true;
  }
  EXPECT_TRUE(sawGet);

  // The table file holds the marks.
  auto table = ReadFile(Data("data/Prog_SITES.dat")).value_or("");
  EXPECT_NE(table.find("Form Post\xB1Update\xB1N/A\xB1N/A\xB1" + today), std::string::npos);
  EXPECT_NE(table.find("Closed\xB1New\xB1N/A\xB1N/A\xB1Unknown"), std::string::npos);

  // The reports: the layout, the stamp, the pages in the order written, the figures.
  EXPECT_TRUE(std::regex_match(run->Report().Stamp(),
                               std::regex(R"(\d{4}-\d\d-\d\d-\d\d-\d\d-\d\d-\d{2,3})")));
  EXPECT_EQ(fs::path(RunDir()).parent_path(), fs::path(Data("reports/Prog")));
  EXPECT_EQ(SiteResponses(), (std::vector<std::string>{"Closed HTTP", "Form Get HTTP",
                                                       "Form Post HTTP", "Upload FTP"}));
  // Every link leads to a page of this run, relative to the report (a moved tree keeps them).
  auto main = ParsePage(RunDir() + "/MainReport.htm");
  for (const auto& [label, href] : main.links) {
    ASSERT_EQ(href.find(':'), std::string::npos) << href;
    EXPECT_TRUE(fs::exists(test::UrlPath(href, RunDir()))) << href;
  }
  EXPECT_EQ(main.title, "Submission Report");
  auto cell = [&](const std::string& label) {
    for (std::size_t i = 0; i + 1 < main.cells.size(); ++i) {
      if (main.cells[i] == label) return main.cells[i + 1];
    }
    return std::string("?");
  };
  EXPECT_EQ(cell("Application:"), "Prog");
  EXPECT_EQ(cell("# of Successful Submissions"), "3");
  EXPECT_EQ(cell("# of Failed Submissions"), "2");
  auto log = ParsePage(RunDir() + "/LogReport.htm");
  EXPECT_EQ(log.title, "Prog Log File");
  EXPECT_TRUE(log.Mentions("Completed HTTP Post to: Form Post"));
  EXPECT_TRUE(prompt.Saw(
      "confirm: Submission Process Done: 3 succeeded, 2 failed, 0 not sent. View Report?"));
  ASSERT_EQ(view.opened.size(), 1u);
  EXPECT_EQ(view.opened[0], run->Report().MainReportUrl);
}

TEST_F(RunTest, OnlyTheLampsOfStepsThatRanAreLit) {
  Settings("FTPRetries=0\r\nHTTPTimeOut=10\r\nPostAtOnce=1\r\n");
  HttpSite("Form Post", "/submit/new");
  Load();
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  bool httpBlinked = false, httpLit = false;
  for (const auto& [step, state] : view.lamps) {
    if (step != RunStep::Http) {
      EXPECT_EQ(state, LampState::Off) << "a step that did not run lit its lamp";
    } else if (state == LampState::Blinking) {
      httpBlinked = true;
    } else if (state == LampState::Lit) {
      httpLit = httpBlinked;
    }
  }
  EXPECT_TRUE(httpLit);
}

TEST_F(RunTest, MailGoesToTheSiteAndACopyToTheContact) {
  Site("Mail Site",
       "USE_EMAIL=1\r\nEMAIL_SEND_COPY=1\r\nEMAIL_TONAME=submit@example.com\r\n"
       "EMAIL_SUBJECT=New: %APPNAME%\r\n",
       {{"EMAIL_NEW", "Please list %APPNAME% %APPVERSION%."}});
  Site("No Script", "USE_EMAIL=1\r\nEMAIL_TONAME=other@example.com\r\n");
  Load();
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  EXPECT_TRUE(view.Logged("Mail Site E-Mailed Information."));
  EXPECT_TRUE(view.Logged("jo@acme.example E-Mailed Copy."));
  EXPECT_TRUE(view.Logged("No Engine Script For EMAIL Post For: No Script"));
  EXPECT_TRUE(view.Logged("No Script EMail ERROR!!!"));
  EXPECT_EQ(Row("Mail Site").submit, "Update");
  EXPECT_EQ(Row("No Script").submit, "New");
  auto mails = Received("mail");
  ASSERT_EQ(mails.size(), 2u);
  std::string all;
  for (const auto& m : mails) all += ReadFile(dir / ("received/mail/" + m)).value_or("");
  EXPECT_NE(all.find("X-Envelope-To: submit@example.com"), std::string::npos);
  EXPECT_NE(all.find("X-Envelope-To: jo@acme.example"), std::string::npos);
  EXPECT_NE(all.find("New: Prog (Mail Site)"), std::string::npos) << all;
  EXPECT_TRUE(fs::exists(Page("Mail Site", "EMAIL")));
}

TEST_F(RunTest, HttpAnswersAreJudgedByStatus) {
  HttpSite("Found", "/get/x");
  HttpSite("See Other", "/see-other/x");
  HttpSite("Moved", "/moved/x");
  HttpSite("Refused", "/closed/x");
  HttpSite("Missing", "/nothing-here");
  Load();
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  EXPECT_EQ(Row("Found").submit, "Update");
  EXPECT_EQ(Row("See Other").submit, "Update");
  EXPECT_EQ(Row("Moved").submit, "New");
  EXPECT_EQ(Row("Refused").submit, "New");
  EXPECT_EQ(Row("Missing").submit, "New");
  EXPECT_TRUE(view.Logged("Posting Error - 151: 301 Moved Permanently(Moved)"));
  EXPECT_TRUE(view.Logged("Posting Error - 151: 404 Not Found(Missing)"));
  EXPECT_EQ(run->Report().FailureCount, 3);
}

TEST_F(RunTest, ReplyCutShortIsSaidInPlainWords) {
  WriteFile(dir / "peer/script.json",
            R"({"greeting": [], "POST": {"lines": ["HTTP/1.0 200 OK", "Content-Length: 100",
                                                     "", "short"], "then": "close"}})");
  PeerProcess cut({PeerScript("line_peer.py"), "--script", dir / "peer/script.json"});
  Site("Cut",
       "USE_HTTP_POST=1\r\nHTTP_POST_TYPE=1\r\nHTTP_NEW_SCRIPT_URL=http://127.0.0.1:" +
           std::to_string(cut.port()) + "/x\r\n",
       {{"HTTP_NEW", "a=1"}});
  Load();
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  EXPECT_TRUE(view.Logged(
      "Posting Error - 10054: the server closed the connection before the reply was complete(Cut)"))
      << ::testing::PrintToString(view.log);
  EXPECT_EQ(Row("Cut").submit, "New");
}

TEST_F(RunTest, SilentServerTimesOutAfterHttpTimeOut) {
  HttpSite("Silent", "/silent/x");
  HttpSite("Next", "/submit/x");
  Load();
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  EXPECT_TRUE(view.Logged("Posting Error - TIMED OUT!(Silent)"));
  EXPECT_TRUE(ParsePage(Page("Silent", "HTTP")).Mentions("Posting Error - TIMED OUT!(Silent)"));
  EXPECT_EQ(Row("Silent").submit, "New");
  EXPECT_EQ(Row("Next").submit, "Update");
}

TEST_F(RunTest, FtpRetriesRepeatTheWholeAttemptAndKeepEveryLine) {
  Settings("FTPRetries=2\r\nHTTPTimeOut=10\r\n");
  FtpSite("Refusing", sites.ftp, "refuse", "refuse");
  HttpSite("Form", "/submit/x");
  Load();
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  int errors = 0, logons = 0;
  for (const auto& l : run->FtpList()) {
    if (l.rfind("ERROR SENDING FILE -> /incoming/prog.exe", 0) == 0) ++errors;
    if (l == "CLIENT: PASS ****") ++logons;
  }
  EXPECT_EQ(errors, 3);
  EXPECT_EQ(logons, 3);
  // A pause, longer each time, before each attempt after the first.
  EXPECT_EQ(LinesStarting(run->Log(), "Trying Refusing by FTP again in "), 2);
  EXPECT_EQ(LinesStarting(run->FtpList(), "Trying Refusing by FTP again in "), 2);
  auto page = ParsePage(Page("Refusing", "FTP"));
  int pageErrors = 0;
  for (const auto& p : page.paragraphs) {
    if (p.find("ERROR SENDING FILE -> /incoming/prog.exe") != std::string::npos) ++pageErrors;
  }
  EXPECT_EQ(pageErrors, 3);
  EXPECT_EQ(Row("Refusing").submit, "New");
  EXPECT_EQ(Row("Form").submit, "Update");
  EXPECT_EQ(run->Report().FailureCount, 1);
}

TEST_F(RunTest, ServerClosingTheControlConnectionFailsOnlyThatSite) {
  // A server whose idle time-out struck: it answers the next command with "421" and
  // closes. Each attempt fails on its own; the run goes on and writes its reports.
  Settings("FTPRetries=1\r\nHTTPTimeOut=10\r\n");
  WriteFile(dir / "peer/script.json",
            R"({"USER": "331 Password", "PASS": "230 In", "QUIT": "221 Bye",
                "TYPE": {"lines": ["421 Timeout"], "then": "close"}})");
  PeerProcess closer({PeerScript("line_peer.py"), "--script", dir / "peer/script.json"});
  FtpSite("Closer", closer.port(), "demo", "demo", "USE_ZIP_FILE=1\r\n");
  HttpSite("Form", "/submit/x");
  Load();
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  EXPECT_EQ(Row("Closer").submit, "New");
  EXPECT_EQ(Row("Form").submit, "Update");
  EXPECT_EQ(run->Report().FailureCount, 1);
  EXPECT_TRUE(fs::exists(RunDir() + "/MainReport.htm"));
  EXPECT_TRUE(view.Logged("Closer -> FTP error: 141: 421 Timeout"));
  auto commands = ReadFile(dir / "peer/commands.log").value_or("");
  int users = 0;
  for (std::size_t at = 0; (at = commands.find("USER demo", at)) != std::string::npos; ++at)
    ++users;
  EXPECT_EQ(users, 2) << commands;  // FTPRetries 1: a second attempt
  // The archive is made before the server is contacted.
  const auto& lines = run->FtpList();
  auto zipping = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.rfind("Zipping File:", 0) == 0;
  });
  auto user = std::find(lines.begin(), lines.end(), "CLIENT: USER demo");
  ASSERT_NE(zipping, lines.end());
  EXPECT_LT(zipping, user);
}

TEST_F(RunTest, SentFilesCarryTheirDigestAndAShortUploadFails) {
  // 4096 bytes of "x": the program the fixture writes.
  const std::string kDigest = "a2e659dacb4691e887ac0139f8893d04764ee197d70fb73d3190d56113d18e3e";
  fs::create_directories(dir / "short/incoming");
  PeerProcess shortFtp({PeerScript("ftp_peer.py"), "--root", dir / "short", "--user", "demo",
                        "--password", "demo", "--short-size"});
  FtpSite("Upload", sites.ftp, "demo", "demo");
  FtpSite("Short", shortFtp.port(), "demo", "demo");
  Site("Mail Site",
       "USE_EMAIL=1\r\nEMAIL_ATTACH_APPLICATION=1\r\nEMAIL_TONAME=submit@example.com\r\n",
       {{"EMAIL_NEW", "Please list %APPNAME%."}});
  Load();
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);

  EXPECT_EQ(Row("Upload").submit, "Update");
  EXPECT_EQ(Row("Short").submit, "New");
  EXPECT_TRUE(view.Logged("Short -> FTP error: 146: the server holds 4095 bytes, 4096 were sent"))
      << ::testing::PrintToString(view.log);
  EXPECT_TRUE(ParsePage(Page("Upload", "FTP"))
                  .Mentions("SHA-256 of /incoming/prog.exe: " + kDigest +
                            " (4096 bytes, the server holds as many)"));
  EXPECT_TRUE(ParsePage(Page("Mail Site", "EMAIL"))
                  .Mentions("SHA-256 of prog.exe: " + kDigest + " (4096 bytes)"));

  auto json = nlohmann::json::parse(ReadFile(RunDir() + "/run.json").value_or("{}"));
  std::map<std::string, nlohmann::json> bySite;
  for (const auto& site : json["sites"]) bySite[site["site"]] = site;
  const auto& upload = bySite["Upload"]["files"];
  ASSERT_EQ(upload.size(), 2u) << upload.dump();  // the program and the text file
  EXPECT_EQ(upload[0]["file"], "/incoming/prog.exe");
  EXPECT_EQ(upload[0]["sha256"], kDigest);
  EXPECT_EQ(upload[0]["bytes"], 4096);
  EXPECT_EQ(upload[0]["confirmed"], true);
  EXPECT_EQ(upload[1]["file"], "prog.txt");
  EXPECT_EQ(upload[1]["confirmed"], false);       // sent as text: its size is the server's affair
  EXPECT_TRUE(bySite["Short"]["files"].empty());  // nothing the server holds whole
  const auto& mail = bySite["Mail Site"]["files"];
  ASSERT_EQ(mail.size(), 1u);
  EXPECT_EQ(mail[0]["step"], "email");
  EXPECT_EQ(mail[0]["sha256"], kDigest);
}

TEST_F(RunTest, TheInFlightListCountsAnUploadsBytesAndStartsAgainAtTheNextStep) {
  Settings("FTPRetries=0\r\nHTTPTimeOut=10\r\nPostAtOnce=1\r\n");
  FtpSite("Both", sites.ftp, "demo", "demo",
          "USE_HTTP_POST=1\r\nHTTP_POST_TYPE=1\r\nHTTP_NEW_SCRIPT_URL=" + sites.Url("/submit/b") +
              "\r\n");
  WriteFile(Data("sites/Both HTTP_NEW.scp"), "program=%APPNAME%\r\n");
  Load();
  long long mostFtp = 0;
  std::vector<long long> httpBytes;
  view.onFlight = [&](const std::vector<SiteInFlight>& sites) {
    for (const auto& s : sites) {
      if (s.step == RunStep::Ftp) mostFtp = std::max(mostFtp, s.bytes);
      if (s.step == RunStep::Http) httpBytes.push_back(s.bytes);
    }
  };
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  EXPECT_EQ(Row("Both").submit, "Update");
  EXPECT_EQ(mostFtp, 4096);  // the program the fixture writes
  ASSERT_FALSE(httpBytes.empty());
  EXPECT_EQ(httpBytes.front(), 0);
}

TEST_F(RunTest, HttpStepIsTriedAgainOnlyWhenNothingReachedTheSite) {
  Settings("FTPRetries=0\r\nHTTPTimeOut=10\r\nPostRetries=2\r\n");
  struct Case {
    std::string site;
    std::vector<std::string> peer;
    int connections;  // what the peer saw
    bool posted;
    int retries;  // "Trying ... again" lines
  };
  const std::vector<Case> cases = {
      // Reset before reading, twice: the request never got through.
      {"Resets Twice", {"--reset-first", "2"}, 3, true, 2},
      // Answers: the site had the form.
      {"Error 500", {"--answer", "500"}, 1, false, 0},
      // Reads the whole form, then resets: it may have registered it.
      {"Read Then Reset", {"--answer", "reset"}, 1, false, 0},
      // 503 with Retry-After 1 (leading zeros are no part of it): waited for once.
      {"Busy", {"--answer", "busy", "--retry-after", "001"}, 2, true, 1},
  };
  // A form larger than the buffers between the two ends: a peer that resets before
  // reading stops the writing of the request.
  const std::string form = "a=" + std::string(6 << 20, 'y');
  std::vector<std::unique_ptr<PeerProcess>> peers;
  for (const auto& c : cases) {
    const std::string folder = dir / ("peer-" + std::to_string(peers.size()));
    fs::create_directories(folder);
    std::vector<std::string> args{PeerScript("flaky_http_peer.py"), "--folder", folder};
    args.insert(args.end(), c.peer.begin(), c.peer.end());
    peers.push_back(std::make_unique<PeerProcess>(args));
    Site(c.site,
         "USE_HTTP_POST=1\r\nHTTP_POST_TYPE=1\r\nHTTP_NEW_SCRIPT_URL=http://127.0.0.1:" +
             std::to_string(peers.back()->port()) + "/submit\r\n",
         {{"HTTP_NEW", c.peer[0] == "--reset-first" ? form : "a=1"}});
  }
  Load();
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    auto connections = ReadFile(dir / ("peer-" + std::to_string(i) + "/connections.log"));
    EXPECT_EQ(std::count(connections->begin(), connections->end(), '\n'), c.connections) << c.site;
    EXPECT_EQ(Row(c.site).submit, c.posted ? "Update" : "New") << c.site;
    EXPECT_EQ(LinesStarting(run->Log(), "Trying " + c.site + " again in "), c.retries) << c.site;
  }
  EXPECT_TRUE(view.Logged("Trying Busy again in 1 s (attempt 2): the server asked to wait 1 s"))
      << ::testing::PrintToString(view.log);
  EXPECT_TRUE(ParsePage(Page("Resets Twice", "HTTP")).Mentions("Trying Resets Twice again in "));
}

TEST_F(RunTest, MailIsTriedAgainOnlyBeforeTheMessageWasSent) {
  Settings("FTPRetries=0\r\nHTTPTimeOut=10\r\nPostRetries=1\r\n");
  // The first MAIL is put off ("451"), the later ones taken; the first content is
  // taken, the second refused after it was sent.
  WriteFile(dir / "smtp/script.json",
            R"({"greeting": "220 hi", "replies": {"MAIL": ["451 Try later", "250 OK"],
                "DATA": "354 go", ".": ["250 Queued", "451 Not now"]}})");
  PeerProcess smtp({PeerScript("smtp_peer.py"), "script", "--script", dir / "smtp/script.json"});
  // One site after another: the peer's replies are in the sites' order.
  WriteFile(Data("settings.dat"), "[SETTINGS]\r\nSMTP=127.0.0.1:" + std::to_string(smtp.port()) +
                                      "\r\nEMAIL=jo@acme.example\r\nNAME=Jo\r\nPostRetries=1"
                                      "\r\nPostAtOnce=1\r\n");
  Site("A Later", "USE_EMAIL=1\r\nEMAIL_TONAME=a@example.com\r\n", {{"EMAIL_NEW", "Hello"}});
  Site("B Refused", "USE_EMAIL=1\r\nEMAIL_TONAME=b@example.com\r\n", {{"EMAIL_NEW", "Hello"}});
  Load();
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  EXPECT_EQ(Row("A Later").submit, "Update");
  EXPECT_EQ(Row("B Refused").submit, "New");
  EXPECT_EQ(LinesStarting(run->Log(), "Trying A Later by e-mail again in "), 1);
  EXPECT_EQ(LinesStarting(run->Log(), "Trying B Refused by e-mail again in "), 0);
  auto commands = ReadFile(dir / "smtp/commands.log").value_or("");
  int mails = 0;
  for (std::size_t at = 0; (at = commands.find("MAIL FROM", at)) != std::string::npos; ++at)
    ++mails;
  EXPECT_EQ(mails, 3) << commands;  // A twice, B once
}

TEST_F(RunTest, MailRefusedBeforeAnyConnectionIsNotTriedAgain) {
  // An address list the mail window refuses: no server was asked, and none will be.
  Site("Bad Box", "USE_EMAIL=1\r\nEMAIL_TONAME=Bad Box@example.com\r\n", {{"EMAIL_NEW", "Hello"}});
  Load();
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  EXPECT_EQ(Row("Bad Box").submit, "New");
  EXPECT_TRUE(run->Log().size() > 0);
  EXPECT_EQ(LinesStarting(run->Log(), "Trying Bad Box by e-mail again in "), 0)
      << ::testing::PrintToString(run->Log());
}

TEST_F(RunTest, PasswordsReachNoLogNoListAndNoPage) {
  FtpSite("Secret", sites.ftp, "nobody", kFtpPassword);  // refused logon
  Load();
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  ASSERT_FALSE(run->FtpList().empty());
  // A failed logon has its line in the run log.
  EXPECT_TRUE(std::any_of(run->Log().begin(), run->Log().end(), [](const std::string& l) {
    return l.rfind("Secret -> FTP logon failed: ", 0) == 0;
  })) << ::testing::PrintToString(run->Log());
  for (const auto& l : run->Log()) EXPECT_EQ(l.find(kFtpPassword), std::string::npos) << l;
  for (const auto& l : run->FtpList()) EXPECT_EQ(l.find(kFtpPassword), std::string::npos) << l;
  for (const auto& e : fs::directory_iterator(RunDir())) {
    EXPECT_EQ(ReadFile(e.path().string()).value_or("").find(kFtpPassword), std::string::npos)
        << e.path();
  }
}

TEST_F(RunTest, MaskingHidesThePasswordNotTheWordsThatEqualIt) {
  // The demo server's user "refuse" (password "refuse") may log on but not upload.
  FtpSite("FR refuse", sites.ftp, "refuse", "refuse");
  Load();
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  const auto& ftp = run->FtpList();
  EXPECT_NE(std::find(ftp.begin(), ftp.end(), "CLIENT: USER refuse"), ftp.end());
  EXPECT_NE(std::find(ftp.begin(), ftp.end(), "CLIENT: PASS ****"), ftp.end());
  EXPECT_TRUE(std::any_of(run->Log().begin(), run->Log().end(), [](const std::string& l) {
    return l.rfind("FR refuse -> FTP error: ", 0) == 0;
  })) << ::testing::PrintToString(run->Log());
  for (const auto& l : run->Log()) EXPECT_EQ(l.find("FR ****"), std::string::npos) << l;
}

TEST_F(RunTest, CancelWhileTheMailServerTakesTheMessageSaysWhatItWaitsFor) {
  // A mail server that takes the content and never answers the final ".".
  WriteFile(dir / "smtp/script.json",
            R"({"greeting": "220 hi", "replies": {"DATA": "354 go", ".": "SILENT"}})");
  PeerProcess smtp({PeerScript("smtp_peer.py"), "script", "--script", dir / "smtp/script.json"});
  WriteFile(Data("settings.dat"), "[SETTINGS]\r\nSMTP=127.0.0.1:" + std::to_string(smtp.port()) +
                                      "\r\nEMAIL=jo@acme.example\r\nNAME=Jo\r\n");
  Site("Mail Site", "USE_EMAIL=1\r\nEMAIL_TONAME=submit@example.com\r\n",
       {{"EMAIL_NEW", "Please list %APPNAME%."}});
  Load();
  test::ScriptedPrompt cancelPrompt;
  cancelPrompt.answers = {Answer::Yes};
  std::thread canceller;
  view.onStatus = [&](RunStep step, const std::string& text) {
    if (step == RunStep::Mail && text == "Sending Mail..." && !canceller.joinable()) {
      canceller = std::thread([&] {
        // Once the server has the message.
        for (int i = 0; i < 200; ++i) {
          auto log = test::ReadFile(dir / "smtp/commands.log");
          if (run->MailInProgress() && log && log->find("DATA") != std::string::npos) break;
          std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        run->CancelClick(cancelPrompt);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        run->Skip();  // a message being handed over is not cut off: the skip waits too
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        smtp.Stop();  // the server goes away
      });
    }
  };
  EXPECT_EQ(Run(), SubmissionRun::Outcome::Cancelled);
  canceller.join();
  EXPECT_NE(std::find(view.events.begin(), view.events.end(), SubmissionRun::kMailWaitText),
            view.events.end())
      << ::testing::PrintToString(view.events);
  // The server had the message and said nothing: it may have it.
  ASSERT_EQ(run->Results().size(), 1u);
  EXPECT_EQ(run->Results()[0].outcome, "skipped") << ::testing::PrintToString(run->Log());
  ASSERT_EQ(run->Results()[0].steps.size(), 1u);
  EXPECT_EQ(run->Results()[0].steps[0].status, "uncertain");
}

TEST_F(RunTest, SkipDuringFtpLeavesTheSiteAndRunsTheNext) {
  // One site at a time: Skip ends every site in flight, and with several the next
  // site could be one of them, waiting for the stuck server's address.
  Settings("FTPRetries=0\r\nHTTPTimeOut=10\r\nPostAtOnce=1\r\n");
  // An FTP server that greets and then never answers the logon.
  WriteFile(dir / "peer/script.json", R"({"greeting": ["220 hello"], "USER": "SILENT"})");
  PeerProcess silent({PeerScript("line_peer.py"), "--script", dir / "peer/script.json"});
  Site("Stuck",
       "USE_FTP_UPLOAD=1\r\nFTP_SERVER=127.0.0.1:" + std::to_string(silent.port()) +
           "\r\nLOGIN_NAME=demo\r\nLOGIN_PASSWORD=demo\r\nUSE_HTTP_POST=1\r\n"
           "HTTP_NEW_SCRIPT_URL=" +
           sites.Url("/submit/x") + "\r\n",
       {{"HTTP_NEW", "a=1"}});
  HttpSite("After", "/submit/y");
  Load();
  std::thread skipper;
  view.onStatus = [&](RunStep step, const std::string& text) {
    if (step == RunStep::Ftp && text == "logging on to Stuck" && !skipper.joinable()) {
      skipper = std::thread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        run->Skip();
      });
    }
  };
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  skipper.join();
  EXPECT_TRUE(view.Logged("SKIPPED -> Stuck"));
  EXPECT_FALSE(fs::exists(Page("Stuck", "HTTP")));
  EXPECT_TRUE(fs::exists(Page("Stuck", "FTP")));
  EXPECT_EQ(Row("Stuck").submit, "New");
  EXPECT_EQ(Row("After").submit, "Update");
  EXPECT_TRUE(view.Logged("Completed HTTP Post to: After"));
}

TEST_F(RunTest, CancelAnsweredNoGoesOnAndYesStopsAfterTheHttpStep) {
  Settings("FTPRetries=0\r\nHTTPTimeOut=10\r\nPostAtOnce=1\r\n");
  // A form the site answers a second after reading it.
  WriteFile(dir / "late/routes.json",
            R"({"/late": {"wait": 1, "raw": "HTTP/1.0 200 OK\r\n\r\nthanks"}})");
  PeerProcess late({PeerScript("http_peer.py"), "--routes", dir / "late/routes.json"});
  const std::string url = "http://127.0.0.1:" + std::to_string(late.port()) + "/late";
  Site("A Slow", "USE_HTTP_POST=1\r\nHTTP_POST_TYPE=1\r\nHTTP_NEW_SCRIPT_URL=" + url + "\r\n",
       {{"HTTP_NEW", "a=1"}});
  HttpSite("B Never", "/submit/x");
  Load();
  test::ScriptedPrompt cancelPrompt;
  cancelPrompt.answers = {Answer::No, Answer::Yes};
  std::thread canceller;
  bool answeredNo = true;
  view.onStatus = [&](RunStep step, const std::string& text) {
    if (step == RunStep::Http && text == "HTTP Posting: A Slow") {
      canceller = std::thread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        answeredNo = !run->CancelClick(cancelPrompt);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        run->CancelClick(cancelPrompt);
      });
    }
  };
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Cancelled);
  canceller.join();
  EXPECT_TRUE(answeredNo);
  EXPECT_TRUE(cancelPrompt.Saw("confirm: Sure you want to cancel all posts?"));
  // The request already written ends as the site answers, and counts.
  EXPECT_EQ(Row("A Slow").submit, "Update");
  EXPECT_EQ(Row("B Never").submit, "New");
  EXPECT_EQ(view.sitesShown, (std::vector<std::string>{"A Slow"}));
  EXPECT_EQ(run->Report().SuccessCount, 1);
  EXPECT_TRUE(fs::exists(RunDir() + "/MainReport.htm"));
  EXPECT_TRUE(fs::exists(RunDir() + "/LogReport.htm"));
  EXPECT_TRUE(fs::exists(Data("data/Prog_SITES.dat")));
  EXPECT_FALSE(run->Posting());
}

TEST_F(RunTest, CategoryNotSetRefusesTheRun) {
  HttpSite("Plain", "/submit/x");
  Site("Needs Category", "USE_CAT1=1\r\n");
  WriteFile(Data("cat/Needs Category Cat1.cat"), "1\">Utilities\r\n");
  Load();
  EXPECT_EQ(Run(), SubmissionRun::Outcome::Refused);
  EXPECT_TRUE(prompt.Saw(
      "error: You have a site set to post against that needs a category set. Please set before "
      "posting! (Needs Category)"));
  EXPECT_EQ(view.shownRow, 0);  // the catalogue is sorted: "Needs Category" first
  EXPECT_FALSE(fs::exists(Data("reports/Prog")));
  EXPECT_TRUE(Received("http").empty());
}

TEST_F(RunTest, RefusalsBeforeTheRunChangeNothing) {
  HttpSite("Plain", "/submit/x");
  Load();
  view.verify = false;  // "Cancel Posting"
  EXPECT_EQ(Run(), SubmissionRun::Outcome::Refused);
  session->App().SetField("PATH", Data("dist/missing.exe"));
  view.verify = true;
  EXPECT_EQ(Run(), SubmissionRun::Outcome::Refused);
  EXPECT_TRUE(
      prompt.Saw("inform: You have selected an invalid local path for this application's file."));
  session->App().SetField("PATH", Data("dist/prog.exe"));
  WriteFile(Data("settings.dat"), "[SETTINGS]\r\nSMTP=x\r\nEMAIL=y\r\nNAME=\r\n");
  EXPECT_EQ(Run(), SubmissionRun::Outcome::Refused);  // no Settings window here
  EXPECT_FALSE(fs::exists(Data("reports/Prog")));
  EXPECT_EQ(Row("Plain").submit, "New");
}

// A view with a confirmation window of its own: it sees the findings and the sites
// already sent, and makes the person's choices.
struct ConfirmingView : RecordingView {
  bool ConfirmRun(RunConfirmation& c) override {
    shown = c;
    c.postAnyway = postAnyway;
    c.sendAgain = sendAgain;
    return true;  // "Start Posting!", whatever the window allowed
  }
  RunConfirmation shown;
  bool postAnyway = false, sendAgain = false;
};

TEST_F(RunTest, ConfirmationChoicesDecideOnErrorsAndSitesAlreadySent) {
  HttpSite("Plain", "/submit/x");
  Load();
  session->App().SetField("SIZE32", "1");
  session->App().SaveApp();
  // A view that shows no findings leaves them to the command line: the run goes on.
  EXPECT_EQ(Run(), SubmissionRun::Outcome::Completed);
  EXPECT_EQ(Received("http").size(), 1u);

  ConfirmingView confirming;
  auto runWith = [&] {
    session->App().SaveApp();
    host = std::make_unique<SessionRunHost>(*session);
    run = std::make_unique<SubmissionRun>(*host, confirming, prompt, clock);
    return run->Submit();
  };
  confirming.sendAgain = true;
  // An error not accepted with "Post anyway" stops the run, even when the view says go.
  EXPECT_EQ(runWith(), SubmissionRun::Outcome::Refused);
  ASSERT_EQ(confirming.shown.Errors(), 1u);
  EXPECT_EQ(confirming.shown.findings.front().field, "SIZE32");
  EXPECT_EQ(confirming.shown.counts.total, 1);
  EXPECT_EQ(Received("http").size(), 1u);
  confirming.postAnyway = true;
  EXPECT_EQ(runWith(), SubmissionRun::Outcome::Completed);
  EXPECT_EQ(Received("http").size(), 2u);

  // The site already got 1.5: listed, and sent only with "Send again".
  session->App().SetField("SIZE32", "4096");
  confirming.postAnyway = confirming.sendAgain = false;
  EXPECT_EQ(runWith(), SubmissionRun::Outcome::Completed);
  EXPECT_EQ(confirming.shown.Errors(), 0u);
  EXPECT_EQ(confirming.shown.version, "1.5");
  EXPECT_EQ(confirming.shown.alreadySent, std::vector<std::string>{"Plain"});
  EXPECT_EQ(Received("http").size(), 2u);
  confirming.sendAgain = true;
  EXPECT_EQ(runWith(), SubmissionRun::Outcome::Completed);
  EXPECT_EQ(Received("http").size(), 3u);
  // A choice holds for its own run only.
  confirming.sendAgain = false;
  EXPECT_EQ(runWith(), SubmissionRun::Outcome::Completed);
  EXPECT_EQ(Received("http").size(), 3u);
}

// A relative program path is read from the data tree's root, not from the current
// folder (a relative icon too): the checks pass, the upload sends it as it is and
// zipped, the mail attaches both, and the profile keeps the path as typed.
TEST_F(RunTest, ARelativeProgramPathIsReadFromTheDataTree) {
  FtpSite("Upload", sites.ftp, "demo", "demo");
  FtpSite("Zipped", sites.ftp, "demo", "demo", "USE_ZIP_FILE=1\r\n");
  Site("Mail Site",
       "USE_EMAIL=1\r\nEMAIL_ATTACH_APPLICATION=1\r\nEMAIL_ATTACH_GIF=1\r\n"
       "EMAIL_TONAME=submit@example.com\r\n",
       {{"EMAIL_NEW", "Please list %APPNAME%."}});
  WriteFile(Data("dist/icon.gif"), "GIF89a");
  Load();
  session->App().SetField("PATH", "dist/prog.exe");
  session->App().SetField("GIFPATH", "dist/icon.gif");
  session->App().SaveApp();
  ConfirmingView confirming;
  host = std::make_unique<SessionRunHost>(*session);
  run = std::make_unique<SubmissionRun>(*host, confirming, prompt, clock);
  ASSERT_EQ(run->Submit(), SubmissionRun::Outcome::Completed) << ::testing::PrintToString(view.log);
  for (const auto& f : confirming.shown.findings) {
    EXPECT_NE(f.field, "PATH") << f.text;
    EXPECT_NE(f.field, "GIFPATH") << f.text;
  }
  EXPECT_EQ(Received("ftp/incoming"),
            (std::vector<std::string>{"prog.exe", "prog.txt", "prog.zip"}));
  auto json = nlohmann::json::parse(ReadFile(RunDir() + "/run.json").value_or("{}"));
  std::map<std::string, nlohmann::json> bySite;
  for (const auto& site : json["sites"]) bySite[site["site"]] = site;
  ASSERT_EQ(bySite["Mail Site"]["files"].size(), 2u) << json.dump();
  EXPECT_EQ(bySite["Mail Site"]["files"][0]["bytes"], 4096);
  EXPECT_EQ(bySite["Upload"]["files"][0]["file"], "/incoming/prog.exe");
  EXPECT_EQ(session->App().Profile().localPath, "dist/prog.exe");
}

// The package managers' rules join the check before the run once the profile has a
// packages key, as errors that stop the run unless the person posts anyway.
TEST_F(RunTest, PackageRulesJoinTheCheckBeforeTheRun) {
  HttpSite("Plain", "/submit/x");
  Load();
  ConfirmingView confirming;
  auto channelFindings = [&](const std::string& tags) {
    session->App().SetField("TAGS", tags);
    session->App().SaveApp();
    host = std::make_unique<SessionRunHost>(*session);
    run = std::make_unique<SubmissionRun>(*host, confirming, prompt, clock);
    const auto outcome = run->Submit();
    std::vector<std::string> seen;
    for (const auto& f : confirming.shown.findings) {
      if (f.where == "winget" || f.where == "scoop" || f.where == "chocolatey") {
        EXPECT_EQ(f.severity, FindingSeverity::Error) << f.text;
        seen.push_back(f.where + " " + f.field);
      }
    }
    return std::pair{outcome, seen};
  };
  const auto [plain, none] = channelFindings("");
  EXPECT_EQ(plain, SubmissionRun::Outcome::Completed);
  EXPECT_TRUE(none.empty());
  const auto [tagged, found] = channelFindings("a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p,q");
  EXPECT_EQ(tagged, SubmissionRun::Outcome::Refused);
  EXPECT_NE(std::find(found.begin(), found.end(), "winget Tags"), found.end());
  EXPECT_EQ(Received("http").size(), 1u);
}

TEST_F(RunTest, SiteWhereNothingWasSentIsNoSuccess) {
  Site("No Method", "");
  // An update of an e-mail site without an update address, and a form site without
  // an update URL.
  Site("Mail New Only",
       "USE_EMAIL=1\r\nEMAIL_TONAME=new@site.example\r\nUSE_HTTP_POST=1\r\n"
       "HTTP_NEW_SCRIPT_URL=" +
           sites.Url("/submit/x") + "\r\n",
       {{"EMAIL_NEW", "Hello"}, {"HTTP_NEW", "a=1"}});
  Load();
  session->Table().MutableRows()[0].submit = "Update";
  ASSERT_EQ(Row("Mail New Only").submit, "Update");
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  EXPECT_EQ(run->Report().SuccessCount, 0);
  EXPECT_EQ(run->Report().FailureCount, 2);
  EXPECT_EQ(Row("No Method").lastPost, "Unknown");
  EXPECT_EQ(Row("Mail New Only").lastPost, "Unknown");
  EXPECT_TRUE(view.Logged(
      "Nothing was sent to No Method: the site uses no way of submission (HTTP, FTP or e-mail)."));
  EXPECT_TRUE(
      view.Logged("Nothing was sent to Mail New Only: it has no HTTP script URL for an "
                  "update and has no e-mail address for an update."));
  EXPECT_TRUE(Received("mail").empty());
}

TEST_F(RunTest, SettingOutsideItsRangeStopsTheRunBeforeAnythingIsSent) {
  HttpSite("Plain", "/submit/x");
  Load();
  for (const char* keys :
       {"PORT=70000\r\n", "HTTPTimeOut=0\r\n", "FTPRetries=-1\r\n", "PostRetries=6\r\n"}) {
    Settings(keys);
    EXPECT_EQ(Run(), SubmissionRun::Outcome::Refused) << keys;
    const std::string key = std::string(keys).substr(0, std::string(keys).find('='));
    ASSERT_FALSE(prompt.log.empty());
    EXPECT_NE(prompt.log.back().find("The setting " + key + "="), std::string::npos)
        << prompt.log.back();
  }
  EXPECT_FALSE(fs::exists(Data("reports/Prog")));
  EXPECT_TRUE(Received("http").empty());
}

TEST_F(RunTest, ReportFolderThatCannotBeWrittenStopsTheRunBeforePosting) {
  HttpSite("Plain", "/submit/x");
  Load();
  WriteFile(Data("reports/Prog"), "a file where the folder should be");
  EXPECT_EQ(Run(), SubmissionRun::Outcome::Refused);
  ASSERT_FALSE(prompt.log.empty());
  EXPECT_EQ(prompt.log.back().rfind("error: Unable to write to ", 0), 0u) << prompt.log.back();
  EXPECT_TRUE(Received("http").empty());
  EXPECT_EQ(Row("Plain").submit, "New");
  EXPECT_FALSE(run->Posting());
}

TEST_F(RunTest, SiteThatNoLongerFitsIsPassedOverSilently) {
  Site("Free Only",
       "SITE_TYPE=1\r\nUSE_HTTP_POST=1\r\nHTTP_NEW_SCRIPT_URL=" + sites.Url("/submit/x") + "\r\n",
       {{"HTTP_NEW", "a=1"}});
  Load();
  // The row still says the site takes every kind: only the loaded definition tells.
  session->Table().MutableRows()[0].type = "All 16-32";
  session->Table().MutableRows()[0].post = "Y";
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  EXPECT_TRUE(view.log.empty());
  EXPECT_TRUE(view.sitesShown.empty());
  EXPECT_EQ(run->Report().SuccessCount + run->Report().FailureCount, 0);
  EXPECT_TRUE(SiteResponses().empty());
  auto main = ParsePage(RunDir() + "/MainReport.htm");
  EXPECT_TRUE(fs::exists(RunDir() + "/LogReport.htm"));
  int zeros = 0;
  for (const auto& c : main.cells) zeros += c == "0";
  EXPECT_EQ(zeros, 3);  // successful, failed, not sent
  EXPECT_EQ(Row("Free Only").submit, "New");
}

TEST_F(RunTest, AMarkedSiteThatCannotBeOpenedIsAFailedSiteInTheResults) {
  Settings("FTPRetries=0\r\nHTTPTimeOut=10\r\nPostAtOnce=1\r\n");
  HttpSite("Gone", "/submit/g");
  HttpSite("Kept", "/submit/k");
  Load();
  // Taken off the site list after the table was built: its definition cannot be opened.
  auto& list = session->Builder().Lists().SiteList;
  list.erase(std::remove(list.begin(), list.end(), "Gone"), list.end());
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  EXPECT_EQ(run->Report().FailureCount, 1);
  EXPECT_EQ(run->Report().SuccessCount, 1);
  const auto& results = run->Results();
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[0].site, "Gone");
  EXPECT_EQ(results[0].outcome, "failed");
  EXPECT_EQ(results[0].reason, "Unable to load the site definition of Gone");
  EXPECT_EQ(results[1].outcome, "succeeded");
  EXPECT_EQ(Row("Gone").submit, "New");
  const std::string json = ReadFile(RunDir() + "/run.json").value_or("");
  EXPECT_NE(json.find("Unable to load the site definition of Gone"), std::string::npos) << json;
}

TEST_F(RunTest, TableIsSavedAfterEachAcceptedSite) {
  Settings("FTPRetries=0\r\nHTTPTimeOut=10\r\nPostAtOnce=1\r\n");
  HttpSite("First", "/submit/a");
  HttpSite("Second", "/submit/b");
  Load();
  std::string tableWhileSecondRuns;
  view.onSite = [&](const std::string& site) {
    if (site != "Second") return;
    // The save runs beside the run; it is on disk within moments.
    for (int i = 0; i < 200; ++i) {
      tableWhileSecondRuns = ReadFile(Data("data/Prog_SITES.dat")).value_or("");
      if (tableWhileSecondRuns.find("First\xB1Update") != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  };
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  EXPECT_NE(tableWhileSecondRuns.find("First\xB1Update"), std::string::npos);
  EXPECT_NE(tableWhileSecondRuns.find("Second\xB1New"), std::string::npos);
}

TEST_F(RunTest, LongDescriptionIsWrappedOnceAndTwoRunsGetTwoFolders) {
  HttpSite("Form", "/submit/x");
  Load();
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  const Lines first = session->App().Profile().longDesc;
  ASSERT_GT(first.size(), 1u);
  for (const auto& l : first) EXPECT_LE(l.size(), 72u) << l;
  const std::string firstDir = RunDir();
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);  // same second on the fixed clock
  EXPECT_EQ(session->App().Profile().longDesc, first);
  EXPECT_NE(RunDir(), firstDir);
  EXPECT_EQ(ReportRuns(Data("reports/"), "Prog").size(), 2u);
}

TEST_F(RunTest, ReportPagesEscapeOutsideTextAndSandboxTheAnswer) {
  HttpSite("A&B <b>Site", "/submit/x");
  Load();
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  const std::string page = Page("A&B <b>Site", "HTTP");
  ASSERT_TRUE(fs::exists(page));
  auto parsed = ParsePage(page);
  EXPECT_EQ(parsed.scripts, 0);  // the thank-you page's script stays inside the frame
  ASSERT_EQ(parsed.frames.size(), 1u);
  EXPECT_EQ(parsed.frames[0].first, "");  // sandbox with no permissions
  EXPECT_NE(parsed.frames[0].second.find("<script>"), std::string::npos);
  EXPECT_NE(parsed.frames[0].second.find("Thank you!"), std::string::npos);
  EXPECT_TRUE(parsed.Mentions("Connected to: 127.0.0.1[0 - OK]"));
  EXPECT_EQ(SiteResponses(), (std::vector<std::string>{"A&B <b>Site HTTP"}));
  EXPECT_TRUE(
      ParsePage(RunDir() + "/LogReport.htm").Mentions("Completed HTTP Post to: A&B <b>Site"));
}

}  // namespace
}  // namespace vendrix

namespace vendrix {
namespace {

using test::PeerProcess;
using test::PeerScript;
using test::RunTest;
using test::WriteFile;
namespace fs = std::filesystem;

// A site with a form and a mail, posted twice: the first run meets the case's answers,
// the second a form and a mail server that take everything. The second run sends only
// the steps that cannot have reached the site, and lists the others.
TEST_F(RunTest, AStepThatMayHaveReachedItsSiteIsNotSentAgain) {
  struct Case {
    const char* name;
    const char* form;  // the form's route in the first run
    const char* mail;  // the mail server's replies in the first run (besides DATA's 354)
    const char* firstHttp;
    const char* firstEmail;
    int formsAfter;  // forms the site got in both runs
    int mailsAfter;  // mails the second run sent
    const char* secondOutcome;
  } cases[] = {
      {"form accepted, mail refused", R"({"raw": "HTTP/1.0 200 OK\r\n\r\nthanks"})",
       R"("RCPT": "550 no such user")", "ok", "failed", 1, 1, "succeeded"},
      {"form refused, mail accepted", R"({"raw": "HTTP/1.0 500 Oops\r\n\r\n"})", "", "failed", "ok",
       2, 0, "succeeded"},
      {"mail dropped after its content", R"({"raw": "HTTP/1.0 200 OK\r\n\r\nthanks"})",
       R"(".": "CLOSE")", "ok", "uncertain", 1, 0, "uncertain"},
      {"form read, the connection closed without an answer", R"({"raw": ""})", "", "uncertain",
       "ok", 1, 0, "uncertain"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = dir / (std::string("case-") + c.name);
    const auto peers = FormAndMailSite(folder, c.form, c.mail);
    Load();
    Run();
    ASSERT_EQ(run->Results().size(), 1u);
    std::map<std::string, std::string> first;
    for (const auto& s : run->Results()[0].steps) first[s.step] = s.status;
    EXPECT_EQ(first["http"], c.firstHttp);
    EXPECT_EQ(first["email"], c.firstEmail);

    // The second run: every server takes everything.
    WriteFile(folder + "/routes.json", R"({"/form": {"raw": "HTTP/1.0 200 OK\r\n\r\nthanks"}})");
    Settings("FTPRetries=0\r\nPostRetries=0\r\n");
    const auto mailsBefore = Received("mail").size();
    Load();
    Run();
    ASSERT_EQ(run->Results().size(), 1u);
    EXPECT_EQ(run->Results()[0].outcome, c.secondOutcome);
    int forms = 0;
    for (const auto& e : fs::directory_iterator(folder + "/requests")) forms += e.is_regular_file();
    EXPECT_EQ(forms, c.formsAfter);
    EXPECT_EQ(static_cast<int>(Received("mail").size() - mailsBefore), c.mailsAfter);
    if (std::string(c.secondOutcome) == "uncertain") {
      EXPECT_TRUE(std::any_of(run->Log().begin(), run->Log().end(), [](const std::string& l) {
        return std::regex_search(l,
                                 std::regex("Both: may have reached Both on .* \\((HTTP|EMAIL)\\); "
                                            "check the site, or send again"));
      })) << ::testing::PrintToString(run->Log());
    }
  }
}

// Skip pressed while a site's request is being answered lets the step end as the site
// answers; the skip then leaves the site's other steps unsent, and the next run sends
// only those. Pressed before the request, it sends nothing.
TEST_F(RunTest, SkipLetsARequestUnderWayEnd) {
  struct Case {
    const char* name;
    const char* skipOn;  // the HTTP status text that presses Skip
    const char* http;    // the step's status in the run.json
    int forms;           // forms the site got in both runs
  } cases[] = {
      {"after the request was written", "HTTP Posting: Late", "ok", 1},
      {"before the form is built", "Preparing to Post to Late", "skipped", 1},
  };
  Settings("FTPRetries=0\r\nHTTPTimeOut=10\r\nPostAtOnce=1\r\n");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = dir / (std::string("skip-") + c.name);
    WriteFile(folder + "/routes.json",
              R"({"/form": {"wait": 1, "raw": "HTTP/1.0 200 OK\r\n\r\nthanks"}})");
    PeerProcess form({PeerScript("http_peer.py"), "--routes", folder + "/routes.json"});
    const std::string url = "http://127.0.0.1:" + std::to_string(form.port()) + "/form";
    names.clear();
    Site("Late",
         "USE_HTTP_POST=1\r\nHTTP_POST_TYPE=1\r\nHTTP_NEW_SCRIPT_URL=" + url +
             "\r\nUSE_EMAIL=1\r\nEMAIL_TONAME=submit@example.com\r\n",
         {{"HTTP_NEW", "program=%APPNAME%"}, {"EMAIL_NEW", "Please list %APPNAME%."}});
    fs::remove(Data("data/Prog.hst"));
    fs::remove(Data("data/Prog_SITES.dat"));
    Load();
    std::thread skipper;
    view.onStatus = [&](RunStep step, const std::string& text) {
      if (step != RunStep::Http || text != c.skipOn || skipper.joinable()) return;
      if (std::string(c.http) == "skipped") {
        run->Skip();  // at once, on the poster's thread
        return;
      }
      skipper = std::thread([&] {
        // Long enough for the request to be on its way, well before the answer.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        run->Skip();
      });
    };
    const auto mailsBefore = Received("mail").size();
    Run();
    if (skipper.joinable()) skipper.join();
    view.onStatus = nullptr;
    ASSERT_EQ(run->Results().size(), 1u);
    const SiteResult& r = run->Results()[0];
    EXPECT_EQ(r.outcome, "skipped");
    ASSERT_FALSE(r.steps.empty());
    EXPECT_EQ(r.steps[0].status, c.http);
    EXPECT_EQ(Received("mail").size(), mailsBefore) << "the mail is not sent after a skip";
    Load();
    Run();
    EXPECT_EQ(run->Results()[0].outcome, "succeeded");
    int forms = 0;
    for (const auto& e : fs::directory_iterator(folder + "/requests")) forms += e.is_regular_file();
    EXPECT_EQ(forms, c.forms);
    EXPECT_EQ(Received("mail").size(), mailsBefore + 1);
  }
}

}  // namespace
}  // namespace vendrix
