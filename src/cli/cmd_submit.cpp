// vendrix-cli submit: the submission run from a terminal or a pipeline.
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <set>
#include <thread>

#include "app/session_run.h"
#include "base/cp1252.h"
#include "base/error.h"
#include "base/program_settings.h"
#include "cli.h"
#include "run/submission_run.h"

#include <nlohmann/json.hpp>

namespace vendrix::cli {
namespace {

constexpr int kExitSomeFailed = 3, kExitCancelled = 130;

// The width of the terminal on stderr; 80 when it cannot be told.
std::size_t TerminalColumns() {
  winsize w{};
  if (::ioctl(2, TIOCGWINSZ, &w) == 0 && w.ws_col > 0) return w.ws_col;
  return 80;
}

// A UTF-8 line cut to fewer characters than columns (the last column stays free, so
// the terminal does not wrap), never inside a character.
std::string FitToWidth(const std::string& line, std::size_t columns) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if ((static_cast<unsigned char>(line[i]) & 0xC0) == 0x80) continue;  // a continuation byte
    if (++chars >= columns) return line.substr(0, i);
  }
  return line;
}

// --parallel N: how many sites this run posts at once; 0 (the settings' PostAtOnce)
// when not given.
int ParallelOption(const std::optional<std::string>& text) {
  if (!text) return 0;
  const bool digits =
      !text->empty() && text->size() <= 2 &&
      std::all_of(text->begin(), text->end(), [](char ch) { return ch >= '0' && ch <= '9'; });
  const int n = digits ? std::stoi(*text) : 0;
  if (n < kMinPostAtOnce || n > kMaxPostAtOnce) {
    throw UsageError("--parallel takes a whole number from " + std::to_string(kMinPostAtOnce) +
                     " to " + std::to_string(kMaxPostAtOnce));
  }
  return n;
}

// Set when the run was not started because nobody could be asked.
bool gNoTerminal = false;

// The question before a run: --yes answers it; without a terminal to ask on, the run
// does not start and the person is told why.
bool AskToStart(bool yes) {
  if (yes) return true;
  if (::isatty(0) != 1) {
    std::cerr << "no terminal to confirm; add --yes\n";
    gNoTerminal = true;
    return false;
  }
  std::cerr << "Start posting? [y/N] " << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  return answer == "y" || answer == "Y" || answer == "yes";
}

// Prints the run log as it grows; on a terminal, a live progress line on stderr: "n of
// N, k in flight: SITE - STEP: status", SITE being the site that has waited longest.
// The sites in flight come from the run's list of them (one site after another too).
class TerminalView : public RunView {
 public:
  TerminalView(bool yes, bool live) : yes_(yes), live_(live) {}

  void SitesInFlight(const std::vector<SiteInFlight>& sites) override { Update(sites); }
  void Progress(int position, int maximum) override {
    ended_ = position;
    if (maximum > 0) total_ = maximum;
    Draw();
  }
  void LogLine(const std::string& line) override {
    Clear();
    Out(line);
    std::cout.flush();
    Draw();
  }
  void PostingMode(bool on) override {
    if (!on) Clear();
  }
  bool VerifySubmission(const PostCounts& c) override {
    Out("Submission Verification");
    Out("  Total Sites: " + std::to_string(c.total) + "   New: " + std::to_string(c.newCount) +
        "   Update: " + std::to_string(c.update));
    Out("  HTTP: " + std::to_string(c.http) + "   FTP: " + std::to_string(c.ftp) +
        "   FTP w/Zips: " + std::to_string(c.ftpZip) + "   EMAIL: " + std::to_string(c.email));
    std::cout.flush();
    total_ = c.total;
    return AskToStart(yes_);
  }
  bool OpenSettings() override {
    std::cerr << "The mail settings SMTP, EMAIL and NAME must all be set before a run, e.g.\n"
                 "  vendrix-cli settings set SMTP=mail.example.com EMAIL=you@example.com "
                 "NAME=\"Your Name\"\n";
    return false;
  }

 protected:
  // A site has come into flight; in_flight counts it.
  virtual void Started(const std::string& /*site*/, std::size_t /*inFlight*/) {}

 private:
  void Update(std::vector<SiteInFlight> sites) {
    for (const auto& s : sites) {
      if (started_.insert(s.site).second) Started(s.site, sites.size());
    }
    flight_ = std::move(sites);
    Draw();
  }
  void Draw() {
    if (!live_) return;
    if (flight_.empty()) {
      Clear();
      return;
    }
    const SiteInFlight& longest = flight_.front();
    std::string line = std::to_string(ended_) + " of " + std::to_string(total_) + ", " +
                       std::to_string(flight_.size()) + " in flight: " + Cp1252ToUtf8(longest.site);
    if (!longest.status.empty()) {
      line += std::string(" - ") + StepName(longest.step) + ": " + Cp1252ToUtf8(longest.status);
    }
    line = FitToWidth(line, TerminalColumns());
    std::cerr << "\r\033[K" << line << std::flush;
    drawn_ = true;
  }
  void Clear() {
    if (!drawn_) return;
    std::cerr << "\r\033[K" << std::flush;
    drawn_ = false;
  }
  bool yes_, live_;
  bool drawn_ = false;
  std::vector<SiteInFlight> flight_;
  std::set<std::string> started_;  // a run posts each site once
  int ended_ = 0, total_ = 0;
};

// What the run adds for the command line: the check's findings before the counts (they
// never stop a run from here; `vendrix-cli precheck` exits 3 on errors), and the sites
// that already got this version.
class SubmitView : public TerminalView {
 public:
  using TerminalView::TerminalView;
  bool ReviewFindings(const std::vector<Finding>& findings) override {
    for (const auto& f : findings) {
      Out(std::string("Check: ") + (f.severity == FindingSeverity::Error ? "error" : "warning") +
          "\t" + f.where + "\t" + f.field + "\t" + f.text);
    }
    return true;
  }
  bool SendAgain(const std::vector<std::string>& sites) override {
    Out("Already sent this version (not sent again; --again sends them): " +
        std::to_string(sites.size()) + (sites.size() == 1 ? " site" : " sites"));
    return false;
  }
};

// submit --json: JSON Lines on stdout instead of the text lines, one object per step
// and per site, and the summary last; questions and the progress line on stderr.
class JsonView : public SubmitView {
 public:
  JsonView(bool yes, bool live) : SubmitView(yes, live), yes_(yes) {}
  void LogLine(const std::string&) override {}
  bool ReviewFindings(const std::vector<Finding>& findings) override {
    for (const auto& f : findings) std::cout << FindingJson(f, true) << '\n';
    std::cout.flush();
    return true;
  }
  bool SendAgain(const std::vector<std::string>&) override { return false; }
  bool VerifySubmission(const PostCounts& c) override {
    nlohmann::json j = {{"event", "verify"},   {"total", c.total}, {"new", c.newCount},
                        {"update", c.update},  {"http", c.http},   {"ftp", c.ftp},
                        {"ftp_zip", c.ftpZip}, {"email", c.email}};
    std::cout << j.dump() << std::endl;
    return AskToStart(yes_);
  }
  void Started(const std::string& site, std::size_t inFlight) override {
    nlohmann::json j = {{"event", "start"}, {"site", Cp1252ToUtf8(site)}, {"in_flight", inFlight}};
    std::cout << j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << std::endl;
  }
  void SiteEnded(const SiteResult& r) override {
    for (const auto& step : r.steps) {
      nlohmann::json j = {{"event", "step"},
                          {"site", Cp1252ToUtf8(r.site)},
                          {"step", step.step},
                          {"status", step.status},
                          {"detail", Cp1252ToUtf8(step.detail)}};
      std::cout << j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    }
    std::cout << SiteResultJson(r) << std::endl;
  }

 private:
  bool yes_;
};

// Answers the run's questions for a terminal: the save questions Yes (nothing is
// edited from the command line), "View Report?" No (the path is printed instead).
class SubmitPrompt : public CliPrompt {
 public:
  Answer Confirm(const std::string& text, bool withCancel) override {
    if (text.rfind("Submission Process Done", 0) == 0) return Answer::No;
    return CliPrompt::Confirm(text, withCancel);
  }
};

// Ctrl-C (or SIGTERM): the first cancels the run as Cancel does (no site or step
// starts, requests being written end as their sites answer); the second ends the
// program at once, the steps in flight recorded as uncertain.
class InterruptWatch {
 public:
  // Blocks Ctrl-C for this thread and every thread started after it (so before the
  // run starts any), and watches for it on a thread of its own.
  InterruptWatch() {
    // A shell starts background commands with Ctrl-C ignored; the run still wants it.
    std::signal(SIGINT, SIG_DFL);
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set_, nullptr);
    thread_ = std::thread([this] { Watch(); });
  }
  void Attach(SubmissionRun* run) { run_ = run; }
  ~InterruptWatch() {
    done_ = true;
    thread_.join();
    pthread_sigmask(SIG_UNBLOCK, &set_, nullptr);
  }

 private:
  void Watch() {
    int count = 0;
    while (!done_) {
      timespec wait{0, 100'000'000};
      const int sig = sigtimedwait(&set_, nullptr, &wait);
      if (sig != SIGINT && sig != SIGTERM) continue;
      SubmissionRun* run = run_.load();
      if (++count == 1 && run && run->Posting()) {
        static const char msg[] =
            "\nCancelling the run: no new site starts, the requests under way are answered "
            "and the reports are written (Ctrl-C again quits at once).\n";
        (void)!::write(2, msg, sizeof msg - 1);
        run->Cancel();
        if (run->MailInProgress()) {
          static const std::string wait =
              std::string(SubmissionRun::kMailWaitText) + "; Ctrl-C again quits at once.\n";
          (void)!::write(2, wait.data(), wait.size());
        }
      } else {
        if (run) {
          run->Abandon();
          static const char msg[] =
              "\nStopped at once: the steps in flight are recorded as uncertain; `precheck` "
              "lists them.\n";
          (void)!::write(2, msg, sizeof msg - 1);
        }
        ::_exit(kExitCancelled);
      }
    }
  }
  std::atomic<SubmissionRun*> run_{nullptr};
  sigset_t set_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace

int SubmitCommand(Context& c) {
  auto app = c.args.Option("--app");
  if (!app) throw UsageError("submit needs --app A");
  std::vector<std::string> only;
  while (auto site = c.args.Option("--only")) only.push_back(*site);
  const bool yes = c.args.Flag("--yes");
  const bool again = c.args.Flag("--again");
  const bool json = c.args.Flag("--json");
  const int parallel = ParallelOption(c.args.Option("--parallel"));
  if (!c.args.Empty()) throw UsageError("unexpected words after submit");
  SelectAppContext(c, app);
  const AppProfile& profile = c.session.App().Profile();
  for (const auto& name : only) {
    const AppSiteRow* found = nullptr;
    for (const auto& row : c.session.Table().Rows()) {
      if (row.site == name) found = &row;
    }
    if (!found) throw VendrixError("No row for the site " + name);
    if (!SiteFitsApp(*found, profile.platform, profile.status)) {
      throw VendrixError("The site " + name + " (" + found->type +
                         ") does not take this application's platform or status.");
    }
  }

  SubmitView textView(yes, ::isatty(2) == 1);
  JsonView jsonView(yes, ::isatty(2) == 1);
  RunView& view = json ? static_cast<RunView&>(jsonView) : textView;
  SubmitPrompt prompt;
  SessionRunHost host(c.session);
  InterruptWatch watch;
  SubmissionRun run(host, view, prompt, c.session.Time());
  run.SetOnly(only);
  run.SetSendAgain(again);
  run.SetPostAtOnce(parallel);
  watch.Attach(&run);
  const SubmissionRun::Outcome outcome = run.Submit();
  watch.Attach(nullptr);
  if (outcome == SubmissionRun::Outcome::Refused) return gNoTerminal ? kExitUsage : kExitRefused;
  const RunSummary& summary = run.Summary();
  if (json) {
    RunSummary shown = summary;
    if (!run.ReportWritten()) shown.report.clear();
    std::cout << RunSummaryJson(shown) << std::endl;
  }
  std::cerr << "Succeeded: " << summary.succeeded << "  Failed: " << summary.failed;
  if (summary.skipped > 0) std::cerr << "  Skipped: " << summary.skipped;
  if (summary.uncertain > 0) std::cerr << "  Uncertain: " << summary.uncertain;
  if (summary.notSent > 0) std::cerr << "  Not sent again: " << summary.notSent;
  std::cerr << '\n';
  if (!run.ReportWritten()) {
    // What was sent is in the history; a path to a report that is not there helps nobody.
    std::cerr << "The run's reports could not be written (see the lines above); the history "
                 "holds what was sent.\n";
    return kExitRefused;
  }
  std::cerr << "Main report: " << summary.report << '\n';
  if (outcome == SubmissionRun::Outcome::Cancelled) return kExitCancelled;
  return summary.failed + summary.skipped + summary.uncertain > 0 ? kExitSomeFailed : kExitOk;
}

}  // namespace vendrix::cli
