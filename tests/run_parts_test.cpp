// The run's parts seen from outside: each step says why it failed in its own words,
// the cancel question keeps new sites from starting while it is open (several at
// once too), and the confirmation does not count a site the run will not send.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "base/user_prompt.h"
#include "run/post_history.h"
#include "run_fixture.h"

namespace vendrix::test {
namespace {

TEST_F(RunTest, EachStepSaysWhyItFailedInItsOwnWords) {
  struct Case {
    const char* name;
    const char* form;      // the form's answer
    const char* mail;      // the mail server's replies besides DATA's 354
    const char* httpWhy;   // in the form step's detail
    const char* emailWhy;  // in the mail step's detail ("": it was sent)
  } cases[] = {
      {"form refused", R"({"raw": "HTTP/1.0 500 Oops\r\n\r\n"})", "", "500 Oops", ""},
      {"mail refused", R"({"raw": "HTTP/1.0 200 OK\r\n\r\nthanks"})",
       R"("RCPT": "550 no such user")", "", "550 no such user"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = dir / (std::string("why-") + c.name);
    const auto peers = FormAndMailSite(folder, c.form, c.mail);
    Load();
    Run();
    ASSERT_EQ(run->Results().size(), 1u);
    std::map<std::string, std::string> why;
    for (const auto& s : run->Results()[0].steps) why[s.step] = s.detail;
    for (const auto& [step, expected] : {std::pair{"http", c.httpWhy}, {"email", c.emailWhy}}) {
      if (*expected) {
        EXPECT_NE(why[step].find(expected), std::string::npos) << step << ": " << why[step];
      } else {
        EXPECT_EQ(why[step], "") << step;
      }
    }
    EXPECT_EQ(run->Results()[0].outcome, "failed");
  }
}

// The cancel question answered No once the sites in flight have ended: while it was
// open no other site started, and the run then posts the rest.
TEST_F(RunTest, TheCancelQuestionHoldsNewSitesOneAtATimeOrSeveral) {
  class SlowAnswer : public UserPrompt {
   public:
    std::function<void()> whileAsked;
    void Inform(const std::string&) override {}
    void Error(const std::string&) override {}
    Answer Confirm(const std::string&, bool) override {
      whileAsked();
      return Answer::No;
    }
    std::optional<std::string> AskName(const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChooseFile(const FileChoice&) override { return std::nullopt; }
    void ErrorDialog(const std::string&, const std::string&, const std::string&) override {}
  };
  const std::string folder = dir / "pause";
  WriteFile(folder + "/routes.json",
            R"({"/form": {"wait": 0.5, "raw": "HTTP/1.0 200 OK\r\n\r\nok"}})");
  PeerProcess form({PeerScript("http_peer.py"), "--routes", folder + "/routes.json"});
  for (int k = 1; k <= 4; ++k) {
    Site("Held " + std::to_string(k),
         "USE_HTTP_POST=1\r\nHTTP_POST_TYPE=1\r\nHTTP_NEW_SCRIPT_URL=http://127.0.0.1:" +
             std::to_string(form.port()) + "/form\r\n",
         {{"HTTP_NEW", "program=%APPNAME%"}});
  }
  // The forms the site has read (each is kept as it arrives).
  const auto requests = [&] {
    int n = 0;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder + "/requests", ec)) n += e.is_regular_file();
    return n;
  };
  for (int atOnce : {1, 2}) {
    SCOPED_TRACE(atOnce);
    fs::remove(Data("data/Prog.hst"));
    fs::remove(Data("data/Prog_SITES.dat"));
    fs::remove_all(folder + "/requests");
    Settings("HTTPTimeOut=10\r\nPostAtOnce=" + std::to_string(atOnce) + "\r\n");
    Load();
    std::mutex m;
    std::condition_variable cv;
    std::size_t inFlight = 0;
    bool asked = false;
    int whileAskedStarted = -1;
    SlowAnswer question;
    question.whileAsked = [&] {
      // Until the sites in flight have ended: none may start meanwhile.
      std::unique_lock lock(m);
      cv.wait_for(lock, std::chrono::seconds(20), [&] { return inFlight == 0; });
      const int before = requests();
      lock.unlock();
      std::this_thread::sleep_for(std::chrono::milliseconds(700));
      whileAskedStarted = requests() - before;
    };
    std::thread asker;
    view.onFlight = [&](const std::vector<SiteInFlight>& sites) {
      std::lock_guard lock(m);
      inFlight = sites.size();
      cv.notify_all();
      if (sites.size() == static_cast<std::size_t>(atOnce) && !asked) {
        asked = true;
        asker = std::thread([&] { EXPECT_FALSE(run->CancelClick(question)); });
      }
    };
    ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
    asker.join();
    view.onFlight = nullptr;
    EXPECT_EQ(whileAskedStarted, 0);
    EXPECT_EQ(requests(), 4);
    EXPECT_EQ(run->Results().size(), 4u);
  }
}

// The confirmation's figure of sites to post leaves out those the run sends nothing to:
// every step delivered, or the only steps left may have reached the site.
TEST_F(RunTest, TheConfirmationCountsOnlySitesTheRunWillSend) {
  struct Confirming : RecordingView {
    int toPost = -1;
    bool ConfirmRun(RunConfirmation& c) override {
      toPost = c.ToPost().total;
      return RecordingView::ConfirmRun(c);
    }
  };
  struct Case {
    const char* name;
    std::optional<StepState> other;  // the record of the other site's form, if any
    int toPost;
  } cases[] = {
      {"never sent", std::nullopt, 2},
      {"delivered", StepState::Delivered, 1},
      {"may have reached it", StepState::Uncertain, 1},
      {"not delivered", StepState::NotDelivered, 2},
  };
  HttpSite("Fresh", "/submit/fresh");
  HttpSite("Other", "/submit/other");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(Data("data/Prog_SITES.dat"));
    std::string history;
    if (c.other) {
      history =
          PostHistory::StepLine(
              {"Other", "1.5", "2026-12-01 10:00:00", "New", "HTTP", StepState::Begun}) +
          PostHistory::StepLine({"Other", "1.5", "2026-12-01 10:00:01", "New", "HTTP", *c.other});
    }
    WriteFile(Data("data/Prog.hst"), history);
    Load();
    Confirming confirming;
    host = std::make_unique<SessionRunHost>(*session);
    run = std::make_unique<SubmissionRun>(*host, confirming, prompt, clock);
    run->Submit();
    EXPECT_EQ(confirming.toPost, c.toPost);
  }
}

// An upload whose text file the server refused: the program it had taken is not sent
// again by the next run, which sends only the text file.
TEST_F(RunTest, AnUploadSentAgainSendsOnlyTheFilesTheSiteLacks) {
  Settings("FTPRetries=0\r\nHTTPTimeOut=10\r\n");
  fs::create_directories(dir / "ftp/incoming");
  const std::string program = dir / "ftp/incoming/prog.exe";
  for (const char* refuse : {".txt", ""}) {
    SCOPED_TRACE(*refuse ? "the text file refused" : "every file taken");
    std::vector<std::string> args = {
        PeerScript("ftp_peer.py"), "--root", dir / "ftp", "--user", "demo", "--password", "demo"};
    if (*refuse) args.insert(args.end(), {"--refuse-stor-of", refuse});
    PeerProcess ftp(args);
    names.clear();
    FtpSite("Upload", ftp.port(), "demo", "demo");
    Load();
    Run();
    ASSERT_EQ(run->Results().size(), 1u);
    if (*refuse) {
      EXPECT_EQ(run->Results()[0].outcome, "failed");
      ASSERT_TRUE(fs::exists(program));
      // Marked, so that a second upload of the program would show.
      WriteFile(program, "sent once");
    } else {
      EXPECT_EQ(run->Results()[0].outcome, "succeeded");
      EXPECT_EQ(ReadFile(program).value_or(""), "sent once");
      EXPECT_TRUE(fs::exists(dir / "ftp/incoming/prog.txt"));
    }
  }
}

}  // namespace
}  // namespace vendrix::test
