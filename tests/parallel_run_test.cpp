// Several sites in flight at once: the same outcome, table and report as one after
// another, in a fraction of the time; Skip and Cancel with sites in flight; the limits
// on connections to one server.
#include <atomic>
#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "run/host_slots.h"
#include "run_fixture.h"

namespace vendrix {
namespace {

using test::PeerProcess;
using test::PeerScript;
using test::ReadFile;
using test::RunTest;

class ParallelRunTest : public RunTest {
 protected:
  // The slow peer: answers every form after delay seconds, on 127.0.0.1 and each
  // further address.
  void StartPeer(double delay, int addresses) {
    std::vector<std::string> args = {PeerScript("flaky_http_peer.py"), "--folder", dir / "peer",
                                     "--delay", std::to_string(delay)};
    if (addresses > 1) {
      args.push_back("--also");
      for (int k = 2; k <= addresses; ++k) args.push_back("127.0.0." + std::to_string(k));
    }
    std::filesystem::create_directories(dir / "peer");
    peer = std::make_unique<PeerProcess>(args);
  }
  // A site whose form goes to the peer at address k (1: 127.0.0.1) and whose e-mail
  // goes to the demo mail server, so that each site writes two lines of its own.
  void SlowSite(const std::string& name, int address, bool mail = true) {
    const std::string url = "http://127.0.0." + std::to_string(address) + ":" +
                            std::to_string(peer->port()) + "/submit/" + name;
    std::string box = name;
    std::replace(box.begin(), box.end(), ' ', '-');
    Site(name,
         "USE_HTTP_POST=1\r\nHTTP_POST_TYPE=1\r\nHTTP_NEW_SCRIPT_URL=" + url +
             "\r\nHTTP_UPDATE_SCRIPT_URL=" + url + "\r\n" +
             (mail ? "USE_EMAIL=1\r\nEMAIL_TONAME=" + box +
                         "@example.com\r\nEMAIL_TONAME_UPDATE=" + box + "@example.com\r\n"
                   : ""),
         {{"HTTP_NEW", "program=%APPNAME%"},
          {"HTTP_UPDATE", "program=%APPNAME%&update=1"},
          {"EMAIL_NEW", "Please list %APPNAME%."},
          {"EMAIL_UPDATE", "Please update %APPNAME%."}});
  }
  void AtOnce(int n) {
    Settings("FTPRetries=0\r\nHTTPTimeOut=30\r\nPostAtOnce=" + std::to_string(n) + "\r\n");
  }
  int Connections() const {
    auto text = ReadFile(dir / "peer/connections.log").value_or("");
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  }
  // The most connections the peer saw open at once to any one address.
  int MostAtOnceOnPeer() const {
    std::istringstream in(ReadFile(dir / "peer/most.log").value_or(""));
    std::string host;
    int n = 0, most = 0;
    while (in >> host >> n) most = std::max(most, n);
    return most;
  }

  std::unique_ptr<PeerProcess> peer;
};

TEST_F(ParallelRunTest, SitesAtOnceEndSoonerWithTheSameMarksReportAndLogs) {
  StartPeer(0.5, 8);
  std::vector<std::string> all;
  for (int k = 0; k < 24; ++k) {
    const std::string name = "Site " + std::string(1, static_cast<char>('A' + k));
    SlowSite(name, k % 8 + 1);
    all.push_back(name);
  }
  Load();

  AtOnce(8);
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  EXPECT_EQ(Connections(), 24) << "every site posted once";
  EXPECT_LE(MostAtOnceOnPeer(), 2);
  // Each site waits half a second for its answer: the pool holds several at once.
  EXPECT_GE(view.mostInFlight, 4u);
  EXPECT_LE(run->MostMailSessionsAtOnce(), 2) << "the mail server gets two sessions at most";
  EXPECT_GE(run->MostMailSessionsAtOnce(), 1);
  const auto parallelSections = SiteResponses();
  const int succeeded = run->Report().SuccessCount;
  for (const auto& name : all) EXPECT_EQ(Row(name).submit, "Update") << name;
  // Each site's lines are together in the run log.
  const Lines log = run->Log();
  for (const auto& name : all) {
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < log.size(); ++i) {
      if (log[i] == "Completed HTTP Post to: " + name ||
          log[i] == name + " E-Mailed Information.") {
        at.push_back(i);
      }
    }
    ASSERT_EQ(at.size(), 2u) << name;
    for (std::size_t i = at[0] + 1; i < at[1]; ++i) {
      EXPECT_EQ(log[i].find("Completed HTTP Post to: "), std::string::npos)
          << name << "'s lines hold another site's: " << log[i];
      EXPECT_EQ(log[i].find("E-Mailed Information."), std::string::npos) << log[i];
    }
  }
  // The table on disk holds every mark.
  const std::string table = ReadFile(Data("data/Prog_SITES.dat")).value_or("");
  for (const auto& name : all) EXPECT_NE(table.find(name + "\xB1Update"), std::string::npos);

  // The same sites one after another (sent again, as updates).
  AtOnce(1);
  host = std::make_unique<SessionRunHost>(*session);
  run = std::make_unique<SubmissionRun>(*host, view, prompt, clock);
  run->SetSendAgain(true);
  view.mostInFlight = 0;
  ASSERT_EQ(run->Submit(), SubmissionRun::Outcome::Completed);
  EXPECT_LE(view.mostInFlight, 1u);
  EXPECT_EQ(Connections(), 48);
  EXPECT_EQ(run->Report().SuccessCount, succeeded);
  EXPECT_EQ(succeeded, 24);
  // The report lists the sites in the table's order either way.
  std::vector<std::string> expected;
  for (const auto& name : all) {
    expected.push_back(name + " HTTP");
    expected.push_back(name + " EMAIL");
  }
  EXPECT_EQ(parallelSections, expected);
  EXPECT_EQ(SiteResponses(), expected);
}

TEST_F(ParallelRunTest, NoMoreThanTwoConnectionsGoToOneServer) {
  StartPeer(0.3, 1);
  for (int k = 0; k < 6; ++k) SlowSite("One " + std::to_string(k), 1, false);
  Load();
  AtOnce(8);
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  EXPECT_EQ(Connections(), 6);
  EXPECT_EQ(MostAtOnceOnPeer(), 2);
  EXPECT_EQ(run->MostAtOnce("127.0.0.1:" + std::to_string(peer->port())), 2);
  EXPECT_EQ(run->Report().SuccessCount, 6);
}

TEST_F(ParallelRunTest, SkipEndsOnlyTheChosenSiteAndCancelStopsEveryOne) {
  StartPeer(3, 4);
  for (int k = 1; k <= 4; ++k) SlowSite("Slow " + std::to_string(k), k, false);
  Load();
  AtOnce(4);
  // Skip: the second site, once all four are in flight.
  std::thread skipper;
  bool skipped = false;
  view.onFlight = [&](const std::vector<SiteInFlight>& sites) {
    if (sites.size() == 4 && !skipper.joinable()) {
      skipper = std::thread([&] { skipped = run->Skip("Slow 2"); });
    }
  };
  ASSERT_EQ(Run(), SubmissionRun::Outcome::Completed);
  skipper.join();
  EXPECT_TRUE(skipped);
  EXPECT_FALSE(run->Skip("Slow 2")) << "no site is in flight after the run";
  // Cut before its form was written, it is skipped; a form already read ends as the
  // site answers, and then the site has all it takes. The other sites went on.
  std::map<std::string, std::string> outcomes;
  for (const auto& r : run->Results()) outcomes[r.site] = r.outcome;
  const bool cut = outcomes["Slow 2"] == "skipped";
  EXPECT_EQ(outcomes, (std::map<std::string, std::string>{{"Slow 1", "succeeded"},
                                                          {"Slow 2", cut ? "skipped" : "succeeded"},
                                                          {"Slow 3", "succeeded"},
                                                          {"Slow 4", "succeeded"}}));
  EXPECT_EQ(Row("Slow 2").submit, cut ? "New" : "Update");
  for (const char* other : {"Slow 1", "Slow 3", "Slow 4"}) EXPECT_EQ(Row(other).submit, "Update");
  EXPECT_EQ(view.Logged("SKIPPED -> Slow 2"), cut);

  // Cancel: two of four in flight, on a run sent again; no other site starts, the two
  // end as their sites answer and are recorded.
  AtOnce(2);
  host = std::make_unique<SessionRunHost>(*session);
  run = std::make_unique<SubmissionRun>(*host, view, prompt, clock);
  run->SetSendAgain(true);
  std::thread canceller;
  view.onFlight = [&](const std::vector<SiteInFlight>& sites) {
    if (sites.size() == 2 && !canceller.joinable()) canceller = std::thread([&] { run->Cancel(); });
  };
  const int before = Connections();
  ASSERT_EQ(run->Submit(), SubmissionRun::Outcome::Cancelled);
  canceller.join();
  EXPECT_LE(Connections() - before, 2) << "no site started after the cancel";
  EXPECT_EQ(run->Results().size(), 2u) << "every site that started is listed";
  for (const auto& r : run->Results()) {
    // Cut before its request was written (skipped), or let finish after it (succeeded).
    EXPECT_TRUE(r.outcome == "succeeded" || r.outcome == "skipped") << r.site << " " << r.outcome;
  }
  EXPECT_FALSE(run->Posting());
}

TEST(ServerOf, NamesAServerByHostAndPortWhateverTheSpelling) {
  EXPECT_EQ(ServerOf("FTP.Example.com.", 21), "ftp.example.com:21");
  EXPECT_EQ(ServerOf("ftp.example.com:2121", 21), "ftp.example.com:2121");
  EXPECT_EQ(ServerOf("http://user@Host:8080/path?q=1", 80), "host:8080");
  EXPECT_EQ(ServerOf("https://host/x", 80), "host:443");
  EXPECT_EQ(ServerOf("http://host", 80), ServerOf("http://host:80/", 80));
  EXPECT_EQ(ServerOf("[::1]:2121", 21), "[::1]:2121");
  EXPECT_EQ(ServerOf("http://[::1]/form", 80), "[::1]:80");
  EXPECT_EQ(ServerOf("::1", 25), "::1:25");
}

TEST(HostSlots, ATakeWaitsForFreeSlotsAndEndsWhenStopped) {
  HostSlots slots(2);
  auto ftp = slots.Take("a:21", 2, {});
  ASSERT_TRUE(ftp);
  std::atomic<bool> stop{false};
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stop = true;
    slots.Wake();
  });
  EXPECT_FALSE(slots.Take("a:21", 1, [&] { return stop.load(); })) << "a full server stops a take";
  stopper.join();
  EXPECT_TRUE(slots.Take("b:21", 1, {})) << "another server has its own slots";
  {
    HostSlots::Hold moved = std::move(ftp);
    EXPECT_FALSE(ftp);
  }
  auto again = slots.Take("a:21", 2, {});
  EXPECT_TRUE(again) << "the slots came back when the hold ended";
  EXPECT_EQ(slots.MostAtOnce("a:21"), 2);
}

TEST(HostSlots, OneAddressOnTwoPortsSharesItsSlotsAndAWaitSleepsUntilOneIsFree) {
  HostSlots slots(2);
  // Steps on two ports of one address, an FTP step's two slots among them.
  std::vector<std::thread> steps;
  for (int k = 0; k < 6; ++k) {
    steps.emplace_back([&slots, k] {
      auto hold = slots.Take(k % 2 ? "10.0.0.1:80" : "10.0.0.1:8080", k == 0 ? 2 : 1, {});
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    });
  }
  for (auto& t : steps) t.join();
  EXPECT_EQ(slots.MostAtOnce("10.0.0.1:21"), 2);
  EXPECT_EQ(slots.MostAtOnce(MailServerSlots("10.0.0.1")), 0) << "mail is counted apart";

  // A take that waits 300 ms for a held server wakes when the hold ends and when its
  // linger expires: a few sleeps, not one every few milliseconds.
  std::optional<HostSlots::Hold> held(slots.Take("b:21", 2, {}));
  const int before = slots.Sleeps();
  std::thread owner([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    held.reset();
  });
  EXPECT_TRUE(slots.Take("b:80", 1, {}));
  owner.join();
  EXPECT_LE(slots.Sleeps() - before, 4);
}

TEST(HostSlots, AGivenBackSlotWakesTheFirstInLineNotEveryWaiter) {
  // Sixteen steps of one host take one of its two slots ten times each and hold it a
  // moment. Were every waiter woken by every slot given back, the sleeps would grow
  // with the waiters.
  HostSlots slots(2);
  constexpr int kSteps = 16, kTakes = 10;
  std::atomic<int> taken{0};
  std::vector<std::thread> steps;
  for (int k = 0; k < kSteps; ++k) {
    steps.emplace_back([&] {
      for (int i = 0; i < kTakes; ++i) {
        auto hold = slots.Take("c:80", 1, {});
        if (hold) ++taken;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    });
  }
  for (auto& t : steps) t.join();
  EXPECT_EQ(taken, kSteps * kTakes);
  EXPECT_EQ(slots.MostAtOnce("c:80"), 2);
  EXPECT_LE(slots.Sleeps(), 4 * kSteps * kTakes);
}

}  // namespace
}  // namespace vendrix
