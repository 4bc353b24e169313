#include "run/submission_run.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <thread>

#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_io.h"
#include "base/names.h"
#include "base/user_prompt.h"
#include "run/precheck.h"
#include "run/retry_rules.h"
#include "run/run_gate.h"
#include "run/run_ledger.h"
#include "run/smtp_form.h"
#include "script/eng_build.h"
#include "script/submission_builder.h"
#include "script/text_tools.h"
#include "zip/compressed_cache.h"

namespace vendrix {
namespace {

// The work folders of sites posted at once, in the files folder.
constexpr const char* kWorkFolderPrefix = ".posting-";

// How long a change of byte counts alone waits before the in-flight list shows it.
constexpr auto kBytesShownEvery = std::chrono::milliseconds(200);

// A step's name in run.json.
const char* StepKeyOf(RunStep step) {
  return step == RunStep::Ftp ? "ftp" : step == RunStep::Http ? "http" : "email";
}

// The date of a history record's time ("2026-12-07 15:04:05") as the site table
// writes dates; "" when the time is not one.
std::string RecordDate(const std::string& when) {
  std::tm t{};
  if (std::sscanf(when.c_str(), "%d-%d-%d %d:%d:%d", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
                  &t.tm_min, &t.tm_sec) != 6) {
    return "";
  }
  t.tm_year -= 1900;
  t.tm_mon -= 1;
  return ShortDate(t);
}

// A site entering another step starts its byte count again.
void EnterStep(SiteInFlight& flight, RunStep step) {
  if (flight.step != step) flight.bytes = 0;
  flight.step = step;
}

}  // namespace

// The prompt the posters share: one question at a time, whichever thread asks.
class SubmissionRun::LockedPrompt : public UserPrompt {
 public:
  explicit LockedPrompt(UserPrompt& inner) : inner_(inner) {}
  void Inform(const std::string& text) override {
    std::lock_guard lock(mutex_);
    inner_.Inform(text);
  }
  void Error(const std::string& text) override {
    std::lock_guard lock(mutex_);
    inner_.Error(text);
  }
  Answer Confirm(const std::string& text, bool withCancel) override {
    std::lock_guard lock(mutex_);
    return inner_.Confirm(text, withCancel);
  }
  std::optional<std::string> AskName(const std::string& caption) override {
    std::lock_guard lock(mutex_);
    return inner_.AskName(caption);
  }
  std::optional<std::string> ChooseFile(const FileChoice& choice) override {
    std::lock_guard lock(mutex_);
    return inner_.ChooseFile(choice);
  }
  void ErrorDialog(const std::string& title, const std::string& text,
                   const std::string& instruction) override {
    std::lock_guard lock(mutex_);
    inner_.ErrorDialog(title, text, instruction);
  }

 private:
  UserPrompt& inner_;
  std::mutex mutex_;
};

// A poster and what the run knows of it: the site it posts, where it stands, and the
// lines it keeps until its site ends (several sites at once).
struct SubmissionRun::Worker {
  std::unique_ptr<PosterSink> sink;
  std::unique_ptr<SitePoster> poster;
  std::thread thread;
  std::string filesDir;              // its own work folder (several at once), else empty
  std::optional<SiteJob> job;        // handed over, not yet taken up (flightMutex_)
  SiteJob running;                   // the site being posted (the worker's, then the run's)
  std::optional<SiteOutcome> ended;  // not yet taken in (flightMutex_)
  bool busy = false;                 // flightMutex_
  SiteInFlight flight;               // flightMutex_
  Lines log, ftp;  // the site's lines: the worker's while posting, the run's after
  Lines logTimes;  // when each of log was said
};

// One site after another, on the run's thread: every line and status shown at once.
class SubmissionRun::SerialSink : public PosterSink {
 public:
  SerialSink(SubmissionRun& run, Worker& worker) : run_(run), worker_(worker) {}
  void LogLine(SitePoster&, const std::string& line) override { run_.AddLogLine(line); }
  void FtpLine(SitePoster&, const std::string& line) override {
    run_.view_.FtpLine(line);
    run_.ftplist_.push_back(line);
  }
  void FtpListCleared(SitePoster&) override {
    run_.ftplist_.clear();
    run_.view_.FtpListCleared();
  }
  void Status(SitePoster&, RunStep step, const std::string& text) override {
    run_.view_.Status(step, text);
    if (text == kIdleStatus) return;
    {
      std::lock_guard lock(run_.flightMutex_);
      worker_.flight.status = text;
      run_.flightChanged_ = run_.flightMoved_ = true;
    }
    run_.ShowFlight(false);
  }
  void Lamp(SitePoster&, RunStep step, LampState state) override {
    run_.view_.Lamp(step, state);
    if (state != LampState::Blinking) return;
    {
      std::lock_guard lock(run_.flightMutex_);
      EnterStep(worker_.flight, step);
      run_.flightChanged_ = run_.flightMoved_ = true;
    }
    run_.ShowFlight(false);
  }
  void HttpBytes(SitePoster& poster, long long bytes, const std::string& text) override {
    run_.view_.HttpBytes(text);
    FtpBytes(poster, bytes);
  }
  void FtpBytes(SitePoster&, long long bytes) override {
    if (bytes <= 0) return;
    {
      std::lock_guard lock(run_.flightMutex_);
      worker_.flight.bytes = bytes;
      run_.flightChanged_ = true;
    }
    run_.ShowFlight(false);
  }
  void XferLine(SitePoster&, const std::string& text) override { run_.view_.XferLine(text); }
  void XferCleared(SitePoster&) override { run_.view_.XferCleared(); }

 private:
  SubmissionRun& run_;
  Worker& worker_;
};

// Several sites at once, called on the posters' threads: lines are kept with their
// site, status goes to the in-flight list, which the run's thread shows.
class SubmissionRun::ParallelSink : public PosterSink {
 public:
  ParallelSink(SubmissionRun& run, Worker& worker) : run_(run), worker_(worker) {}
  void LogLine(SitePoster&, const std::string& line) override {
    worker_.log.push_back(line);
    worker_.logTimes.push_back(run_.report_.TimeNow());
  }
  void FtpLine(SitePoster&, const std::string& line) override { worker_.ftp.push_back(line); }
  void FtpListCleared(SitePoster&) override {}
  void Status(SitePoster&, RunStep step, const std::string& text) override {
    if (text == kIdleStatus) return;
    Change([&] {
      EnterStep(worker_.flight, step);
      worker_.flight.status = text;
    });
  }
  void Lamp(SitePoster&, RunStep step, LampState state) override {
    if (state == LampState::Blinking) Change([&] { EnterStep(worker_.flight, step); });
  }
  void HttpBytes(SitePoster& poster, long long bytes, const std::string&) override {
    FtpBytes(poster, bytes);
  }
  void FtpBytes(SitePoster&, long long bytes) override {
    if (bytes <= 0) return;
    std::lock_guard lock(run_.flightMutex_);
    worker_.flight.bytes = bytes;
    run_.flightChanged_ = true;
  }
  void XferLine(SitePoster&, const std::string&) override {}
  void XferCleared(SitePoster&) override {}

 private:
  template <class F>
  void Change(F f) {
    {
      std::lock_guard lock(run_.flightMutex_);
      f();
      run_.flightChanged_ = run_.flightMoved_ = true;
    }
    run_.flightCv_.notify_all();
  }
  SubmissionRun& run_;
  Worker& worker_;
};

SubmissionRun::SubmissionRun(RunHost& host, RunView& view, UserPrompt& prompt, const Clock& clock)
    : host_(host),
      view_(view),
      prompt_(prompt),
      clock_(clock),
      report_(host.Tree().ReportsDir, host.Tree().ImagesDir, clock) {
  report_.OnWriteError = [this](const std::string& message) { AddLogLine(message); };
}

SubmissionRun::~SubmissionRun() = default;

void SubmissionRun::AddLogLine(const std::string& line) {
  AddLogLineAt(report_.TimeNow(), line);
}

void SubmissionRun::AddLogLineAt(const std::string& time, const std::string& line) {
  view_.LogLine(line);
  log_.push_back(line);
  logTimes_.push_back(time);
}

bool SubmissionRun::CheckApplication() {
  const std::string problem = ApplicationProblem(host_.App());
  if (problem.empty()) return true;
  prompt_.Inform(problem);
  return false;
}

bool SubmissionRun::OfferSaves() {
  const std::pair<RunHost::Unsaved, std::string> questions[] = {
      {RunHost::Unsaved::App, host_.App().name},
      {RunHost::Unsaved::Company, "Changed Company Info"},
      {RunHost::Unsaved::Site, "Added/Changed Engine Info"}};
  for (const auto& [what, text] : questions) {
    if (!host_.IsUnsaved(what)) continue;
    Answer a = prompt_.Confirm("Would you like to save " + text + "?", true);
    if (a == Answer::Cancel) return false;
    if (a == Answer::Yes) host_.Save(what);
  }
  return true;
}

bool SubmissionRun::RowPosted(const AppSiteRow& row) const {
  if (only_.empty()) return row.post == "Y";
  return std::find(only_.begin(), only_.end(), row.site) != only_.end();
}

bool SubmissionRun::CountSitesToPost(bool forRun) {
  counts_ = {};
  const AppProfile& app = host_.App();
  std::vector<AppSiteRow>& rows = host_.Rows();
  std::vector<AppSiteRow> counted;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const AppSiteRow& row = rows[i];
    if (!RowPosted(row) || !SiteFitsApp(row, app.platform, app.status)) continue;
    if (forRun && (row.cat1 == kNotSet || row.cat2 == kNotSet)) {
      prompt_.Error(
          "You have a site set to post against that needs a category set. Please set before "
          "posting! (" +
          row.site + ")");
      view_.ShowSitesPage(static_cast<int>(i));
      return false;
    }
    counted.push_back(row);
    counted.back().post = "Y";
  }
  counts_ = vendrix::CountSitesToPost(counted, app.platform, app.status);
  if (forRun && counts_.total == 0) {
    prompt_.Error("You do not have any sites set to post!");
    view_.ShowSitesPage(0);
    return false;
  }
  if (forRun && !Confirm()) return false;
  toPost_ = counts_.total;
  view_.Counters(counts_.total, 0);
  view_.Progress(0, counts_.total);
  view_.TotalToPost(counts_.total);
  return true;
}

bool SubmissionRun::SiteDefFitsApp() {
  const SiteDefinition& def = host_.Site();
  AppSiteRow probe;
  probe.type = std::string(def.freewareOnly ? "Free" : "All") +
               (def.siteSystem == SiteSystem::Only32   ? " 32"
                : def.siteSystem == SiteSystem::Only16 ? " 16"
                                                       : " 16-32");
  return SiteFitsApp(probe, host_.App().platform, host_.App().status);
}

SubmissionRun::Outcome SubmissionRun::Submit() {
  if (posting_) return Outcome::Refused;
  cancelRequested_ = false;
  ftplist_.clear();
  view_.FtpListCleared();
  log_.clear();
  logTimes_.clear();
  reportWritten_ = false;
  view_.LogCleared();

  settings_ = host_.Settings();
  while (settings_.smtp.empty() || settings_.email.empty() || settings_.name.empty()) {
    if (!view_.OpenSettings()) return Outcome::Refused;
    settings_ = host_.Settings();
  }
  // A value the run cannot use (a port that is no port, a time-out of none) stops it
  // before anything is sent.
  if (auto problem = settings_.Problem(); !problem.empty()) {
    prompt_.Error(problem);
    return Outcome::Refused;
  }

  if (!CheckApplication() || !OfferSaves() || !LoadHistory() || !ReviewFindings()) {
    return Outcome::Refused;
  }
  if (!CountSitesToPost(true)) return Outcome::Refused;

  view_.BusyCursor(true);
  EnterPostingMode();
  std::string reportError;
  report_.OnWriteError = [&reportError](const std::string& m) { reportError = m; };
  bool reportReady = report_.StartRunReport(host_.App().name);
  report_.OnWriteError = [this](const std::string& message) { AddLogLine(message); };
  if (reportReady) {
    // A folder that takes no file (a full disk) is found before any site is sent.
    try {
      WriteRunJson(report_.RunReportDir + "/" + kRunJsonName, summary_, {});
    } catch (const std::exception& e) {
      reportError = e.what();
      reportReady = false;
    }
  }
  if (!reportReady) {
    // A run that could leave no report does not post: nothing would say what it sent.
    view_.BusyCursor(false);
    LeavePostingMode();
    view_.Counters(0, 0);
    view_.Progress(0, 0);
    prompt_.Error(reportError);
    return Outcome::Refused;
  }
  host_.SetLongDesc(SplitLines(WrapText(JoinLines(host_.App().longDesc), 72)));
  sitesProcessed_ = 0;
  compressed_ = std::make_unique<CompressedFileCache>(host_.Tree().FilesDir);
  // At most two connections to one server, and two sessions to the mail server.
  slots_ = std::make_unique<HostSlots>(2);
  lockedPrompt_ = std::make_unique<LockedPrompt>(prompt_);
  shared_ = PosterShared{};
  shared_.eng = &host_.Eng();
  shared_.tree = &host_.Tree();
  shared_.report = &report_;
  shared_.compressed = compressed_.get();
  shared_.hostSlots = slots_.get();
  shared_.prompt = lockedPrompt_.get();
  shared_.settings = settings_;
  shared_.proxy = settings_.proxy;
  shared_.proxyPort = static_cast<std::uint16_t>(settings_.ProxyPort());
  shared_.companyEmail = host_.Company().email;
  shared_.cancel = &cancelRequested_;
  shared_.ledger = ledger_.get();
  bool completed = true;
  try {
    completed = WalkSites();
  } catch (const std::exception& e) {
    // Whatever went wrong, the run still saves its table and leaves its reports.
    AddLogLine(e.what());
  }
  host_.Eng().SetCurrentRow(nullptr);
  compressed_.reset();  // the compressed program is not kept between runs
  EndRun(!completed);
  return completed ? Outcome::Completed : Outcome::Cancelled;
}

void SubmissionRun::AllIdle() {
  for (RunStep s : {RunStep::Ftp, RunStep::Http, RunStep::Mail}) {
    view_.Status(s, kIdle);
    view_.Lamp(s, LampState::Off);
  }
}

bool SubmissionRun::WalkSites() {
  const int atOnce = std::clamp(postAtOnce_ > 0 ? postAtOnce_ : settings_.postAtOnce,
                                kMinPostAtOnce, kMaxPostAtOnce);
  parallel_ = atOnce > 1;
  shownSite_.clear();
  shownLamps_.fill(LampState::Off);
  shownStatus_.fill(kIdle);
  // The posters go when the walk ends, and with them their work folders.
  struct Drop {
    SubmissionRun& run;
    ~Drop() {
      std::lock_guard lock(run.flightMutex_);
      for (const auto& w : run.workers_) {
        std::error_code ec;
        if (!w->filesDir.empty()) std::filesystem::remove_all(w->filesDir, ec);
      }
      run.active_.clear();
      run.workers_.clear();
    }
  } drop{*this};
  return parallel_ ? WalkParallel(atOnce) : WalkSerial();
}

void SubmissionRun::EndUnposted(const AppSiteRow& row, const char* outcome,
                                const std::string& why) {
  SiteResult result;
  result.site = row.site;
  result.kind = row.submit;
  result.outcome = outcome;
  result.reason = why;
  results_.push_back(result);
  view_.SiteEnded(result);
}

std::optional<SiteJob> SubmissionRun::PrepareRow(std::size_t i) {
  std::vector<AppSiteRow>& rows = host_.Rows();
  if (!RowPosted(rows[i])) return std::nullopt;
  const std::string rowSite = rows[i].site;
  bool opened = false;
  try {
    opened = host_.OpenSite(rowSite);
  } catch (const std::exception& e) {
    AddLogLine(e.what());
  }
  if (!opened) {
    // A marked site whose definition cannot be read is a failed site, not a silent one.
    const std::string why = "Unable to load the site definition of " + rowSite;
    AddLogLine(why);
    EndUnposted(rows[i], "failed", why);
    RowOutcome(static_cast<int>(i), false);
    return std::nullopt;
  }
  if (!SiteDefFitsApp()) return std::nullopt;
  SiteJob job;
  job.row = static_cast<int>(i);
  job.rowData = rows[i];
  job.site = host_.Site();
  const std::string& version = host_.App().version;
  if (resend_ || version.empty()) return job;
  // A run started again sends only the steps that never reached the site.
  const auto steps = StepsOf(job.site, job.rowData.submit == "New");
  job.standings = StandingsOf(history_, rowSite, version, steps);
  SiteResult held;
  held.site = rowSite;
  held.kind = job.rowData.submit;
  bool toSend = false;
  for (RunStep step : {RunStep::Ftp, RunStep::Http, RunStep::Mail}) {
    if (!steps[StepSlot(step)]) continue;
    const StepStanding& s = job.standings[StepSlot(step)];
    if (s.state == StepState::Delivered) {
      held.steps.push_back({StepKeyOf(step), "not-sent",
                            std::string(StepName(step)) + " delivered on " + s.when, ""});
    } else if (s.state == StepState::Uncertain) {
      held.steps.push_back(
          {StepKeyOf(step), "uncertain", MayHaveReached(rowSite, s.when, step), ""});
      if (held.reason.empty()) held.reason = held.steps.back().detail;
    } else {
      toSend = true;
    }
  }
  if (toSend || held.steps.empty()) return job;
  if (held.reason.empty()) {
    held.outcome = "not-sent";
    const StepStanding* last = nullptr;
    for (const auto& s : job.standings) {
      if (s.state == StepState::Delivered && (!last || s.when > last->when)) last = &s;
    }
    held.reason = "already sent version " + version + " on " + last->when;
    AddLogLine(rowSite + ": " + held.reason + "; not sent again");
    // A run that ended before its table was saved left the row's mark behind the
    // history: the history holds.
    AppSiteRow& r = rows[i];
    const std::string date = RecordDate(last->when);
    if (r.submit != "Update" || (!date.empty() && r.lastPost != date)) {
      r.submit = "Update";
      if (!date.empty()) r.lastPost = date;
      MarkChanged();
    }
  } else {
    held.outcome = "uncertain";
    for (const auto& step : held.steps) {
      if (step.status == "uncertain") AddLogLine(rowSite + ": " + step.detail);
    }
  }
  ++report_.NotSentCount;
  results_.push_back(held);
  view_.SiteEnded(held);
  ++sitesProcessed_;
  --toPost_;
  view_.Counters(std::max(toPost_, 0), sitesProcessed_);
  view_.Progress(sitesProcessed_, counts_.total);
  return std::nullopt;
}

bool SubmissionRun::WalkSerial() {
  auto worker = std::make_unique<Worker>();
  Worker& w = *worker;
  w.sink = std::make_unique<SerialSink>(*this, w);
  w.poster = std::make_unique<SitePoster>(shared_, *w.sink, host_.Tree().FilesDir);
  {
    std::lock_guard lock(flightMutex_);
    workers_.push_back(std::move(worker));
  }
  std::vector<AppSiteRow>& rows = host_.Rows();
  for (std::size_t i = 0; i < rows.size() && !cancelRequested_; ++i) {
    AllIdle();
    auto job = PrepareRow(i);
    if (!job) continue;
    view_.CurrentSite(job->site.name);
    {
      std::lock_guard lock(flightMutex_);
      w.running = *job;
      w.busy = true;
      w.poster->Arm();
      w.flight =
          SiteInFlight{job->rowData.site, RunStep::Ftp, "", 0, std::chrono::steady_clock::now()};
      active_ = {w.poster.get()};
      flightChanged_ = flightMoved_ = true;
    }
    ShowFlight(true);
    SiteOutcome outcome = w.poster->Post(std::move(*job));
    {
      std::lock_guard lock(flightMutex_);
      w.busy = false;
      active_.clear();
      flightChanged_ = flightMoved_ = true;
    }
    ShowFlight(true);
    if (w.poster->HttpTimedOut()) httpTimedOut_ = true;
    const bool cancelled = outcome.cancelled;
    FinishSite(w.running, std::move(outcome));
    if (cancelled) return false;
  }
  return !cancelRequested_;
}

bool SubmissionRun::WalkParallel(int atOnce) {
  // Each poster makes its text files and archives in a work folder of its own. Those
  // a killed run left go first: one run at a time holds the data tree.
  {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(host_.Tree().FilesDir, ec)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind(kWorkFolderPrefix, 0) == 0 && entry.is_directory(ec) &&
          !entry.is_symlink(ec)) {
        std::filesystem::remove_all(entry.path(), ec);
      }
    }
  }
  std::unique_lock lock(flightMutex_);
  stopWorkers_ = false;
  for (int k = 0; k < atOnce; ++k) {
    auto worker = std::make_unique<Worker>();
    std::string folder = host_.Tree().FilesDir + kWorkFolderPrefix + "XXXXXX";
    if (!::mkdtemp(folder.data())) {
      throw VendrixError(UnableToWrite(host_.Tree().FilesDir) + ": " + std::strerror(errno));
    }
    worker->filesDir = folder + "/";
    worker->sink = std::make_unique<ParallelSink>(*this, *worker);
    worker->poster = std::make_unique<SitePoster>(shared_, *worker->sink, worker->filesDir);
    workers_.push_back(std::move(worker));
  }
  for (auto& wp : workers_) {
    Worker* w = wp.get();
    w->thread = std::thread([this, w] {
      std::unique_lock wl(flightMutex_);
      while (true) {
        flightCv_.wait(wl, [&] { return w->job.has_value() || stopWorkers_; });
        if (!w->job) return;
        SiteJob job = std::move(*w->job);
        w->job.reset();
        wl.unlock();
        SiteOutcome outcome = w->poster->Post(std::move(job));
        wl.lock();
        w->ended = std::move(outcome);
        flightMoved_ = flightChanged_ = true;
        flightCv_.notify_all();
      }
    });
  }
  struct Joiner {
    SubmissionRun& run;
    std::unique_lock<std::mutex>& lock;
    ~Joiner() {
      if (!lock.owns_lock()) lock.lock();
      run.stopWorkers_ = true;
      for (auto& w : run.workers_) {
        if (w->busy) w->poster->Skip();
      }
      lock.unlock();
      run.flightCv_.notify_all();
      for (auto& w : run.workers_) {
        if (w->thread.joinable()) w->thread.join();
      }
    }
  } joiner{*this, lock};

  std::vector<AppSiteRow>& rows = host_.Rows();
  std::size_t next = 0;
  const auto freeWorker = [this]() -> Worker* {
    for (auto& w : workers_) {
      if (!w->busy) return w.get();
    }
    return nullptr;
  };
  while (true) {
    // Free posters take the next rows, in the table's order.
    bool started = false;
    while (!cancelRequested_ && next < rows.size()) {
      Worker* w = freeWorker();
      if (!w) break;
      lock.unlock();
      std::optional<SiteJob> job = PrepareRow(next++);
      lock.lock();
      if (!job) continue;
      w->running = *job;
      w->log.clear();
      w->logTimes.clear();
      w->ftp.clear();
      w->flight =
          SiteInFlight{job->rowData.site, RunStep::Ftp, "", 0, std::chrono::steady_clock::now()};
      w->busy = true;
      w->poster->Arm();
      w->job = std::move(job);
      active_.push_back(w->poster.get());
      flightChanged_ = flightMoved_ = true;
      started = true;
      flightCv_.notify_all();
    }
    if (started) {
      // Every site is listed once it has started, however soon it ends.
      lock.unlock();
      ShowFlight(true);
      lock.lock();
    }
    // Sites that ended are taken in, in the order they ended.
    std::vector<Worker*> ended;
    for (auto& w : workers_) {
      if (w->ended) ended.push_back(w.get());
    }
    if (!ended.empty()) {
      std::vector<SiteOutcome> outcomes;
      for (Worker* w : ended) {
        outcomes.push_back(std::move(*w->ended));
        w->ended.reset();
        std::erase(active_, w->poster.get());
      }
      lock.unlock();
      for (std::size_t k = 0; k < ended.size(); ++k) {
        Worker* w = ended[k];
        for (std::size_t j = 0; j < w->log.size(); ++j) AddLogLineAt(w->logTimes[j], w->log[j]);
        for (const auto& line : w->ftp) {
          view_.FtpLine(line);
          ftplist_.push_back(line);
        }
        if (w->poster->HttpTimedOut()) httpTimedOut_ = true;
        FinishSite(w->running, std::move(outcomes[k]));
      }
      lock.lock();
      for (Worker* w : ended) w->busy = false;
      flightChanged_ = flightMoved_ = true;
      continue;
    }
    bool anyBusy = false;
    for (auto& w : workers_) anyBusy = anyBusy || w->busy;
    if (!anyBusy && (next >= rows.size() || cancelRequested_)) break;
    lock.unlock();
    ShowFlight(false);
    SaveIfDue();
    lock.lock();
    flightCv_.wait_for(lock, std::chrono::milliseconds(100), [&] {
      if (flightMoved_ || cancelRequested_) return true;
      for (auto& w : workers_) {
        if (w->ended) return true;
      }
      return false;
    });
  }
  lock.unlock();
  ShowFlight(true);
  return !cancelRequested_;
}

void SubmissionRun::ShowFlight(bool force) {
  std::vector<SiteInFlight> sites;
  {
    std::lock_guard lock(flightMutex_);
    const auto now = std::chrono::steady_clock::now();
    if (!force && (!flightChanged_ || (!flightMoved_ && now - flightShown_ < kBytesShownEvery))) {
      return;
    }
    flightChanged_ = flightMoved_ = false;
    flightShown_ = now;
    for (const auto& w : workers_) {
      // A site that ended but is not yet taken in is still listed: a site that ends
      // as soon as it starts is listed all the same.
      if (w->busy) sites.push_back(w->flight);
    }
  }
  std::stable_sort(sites.begin(), sites.end(),
                   [](const SiteInFlight& a, const SiteInFlight& b) { return a.since < b.since; });
  view_.SitesInFlight(sites);
  if (!parallel_) return;
  // Several sites at once: a lamp blinks while any site is in its step, a step's
  // status is that of the site that has waited longest in it.
  // Only what changed is shown.
  const std::string current = sites.empty() ? std::string() : sites.front().site;
  if (current != shownSite_) view_.CurrentSite(shownSite_ = current);
  for (RunStep step : {RunStep::Ftp, RunStep::Http, RunStep::Mail}) {
    const auto in = std::find_if(sites.begin(), sites.end(),
                                 [step](const SiteInFlight& f) { return f.step == step; });
    const auto k = static_cast<std::size_t>(step);
    const LampState lamp = in == sites.end() ? LampState::Off : LampState::Blinking;
    const std::string status = in == sites.end() || in->status.empty() ? kIdle : in->status;
    if (lamp != shownLamps_[k]) view_.Lamp(step, shownLamps_[k] = lamp);
    if (status != shownStatus_[k]) view_.Status(step, shownStatus_[k] = status);
  }
}

void SubmissionRun::FinishSite(const SiteJob& job, SiteOutcome outcome) {
  SiteResult& result = outcome.result;
  for (BuiltPage& page : outcome.pages) {
    std::string name = report_.SaveSitePage(page.method, job.rowData.site, std::move(page.lines),
                                            page.answer, job.row);
    // The step that ran under this method (steps left out have no page).
    for (auto& step : result.steps) {
      const bool same = (step.step == "ftp" && page.method == "FTP") ||
                        (step.step == "http" && page.method == "HTTP") ||
                        (step.step == "email" && page.method == "EMAIL");
      if (same && step.page.empty() && step.status != "not-sent") {
        step.page = name;
        break;
      }
    }
  }
  if (outcome.historyFailed && !cancelRequested_) {
    // Nothing more is sent while the history cannot say what was.
    AddLogLine("The history cannot be written: no other site is sent.");
    Cancel();
  }
  if (outcome.success) RecordPost(job.rowData, job.rowData.submit == "New", result);
  if (outcome.cancelled) {
    // Cancelled between its steps: counted as far as it went, its row left as it was.
    if (outcome.ran) CountOutcome(false);
  } else {
    RowOutcome(job.row, outcome.success);
  }
  results_.push_back(result);
  view_.SiteEnded(result);
  if (outcome.skipped) AddLogLine("SKIPPED -> " + job.rowData.site);
}

bool SubmissionRun::ReviewFindings() {
  std::vector<std::size_t> indexes;
  const AppProfile& app = host_.App();
  const auto& rows = host_.Rows();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (RowPosted(rows[i]) && SiteFitsApp(rows[i], app.platform, app.status)) indexes.push_back(i);
  }
  PreCheckTarget target;
  target.rows = &rows;
  target.indexes = std::move(indexes);
  target.smtpServer = settings_.smtp;
  target.senderEmail = settings_.email;
  std::vector<Finding> findings;
  try {
    PreCheck check(
        host_.Eng(), [this](const std::string& name) { return host_.OpenSite(name); },
        [this]() -> const SiteDefinition& { return host_.Site(); });
    findings = check.Run(target);
    if (!sendAgain_ && !app.version.empty()) {
      // Steps that may have reached their sites are not sent unless the person asks.
      auto uncertain = UncertainFindings(history_, rows, target.indexes, app.version,
                                         [this](const std::string& name) -> const SiteDefinition* {
                                           return host_.OpenSite(name) ? &host_.Site() : nullptr;
                                         });
      findings.insert(findings.end(), uncertain.begin(), uncertain.end());
    }
  } catch (const std::exception& e) {
    findings.push_back({FindingSeverity::Warning, kWhereApplication, "check",
                        std::string("The check before the run could not finish: ") + e.what()});
  }
  host_.Eng().SetCurrentRow(nullptr);
  findings_ = findings;
  return view_.ReviewFindings(findings);
}

bool SubmissionRun::LoadHistory() {
  const AppProfile& app = host_.App();
  historyPath_ = host_.Tree().HistoryFile(app.name);
  std::string problem;
  history_ = PostHistory::Load(historyPath_, &problem);
  summary_ = RunSummary{};
  summary_.application = app.name;
  summary_.version = app.version;
  results_.clear();
  alreadySent_.clear();
  // The history says what each site already has: without it a site could get the
  // same version twice, so nothing is sent.
  const auto refuse = [&](const std::string& why) {
    prompt_.Error("Nothing was sent: the history of " + app.name + " " + why +
                  ". It tells the run what each site already got.");
    return false;
  };
  if (!problem.empty()) return refuse("cannot be read (" + problem + ")");
  try {
    auto ledger = std::make_unique<RunLedger>(historyPath_, app.version, clock_);
    std::lock_guard lock(ledgerMutex_);
    ledger_ = std::move(ledger);
  } catch (const std::exception& e) {
    return refuse(std::string("cannot be written (") + e.what() + ")");
  }
  if (sendAgain_ || app.version.empty()) return true;
  std::vector<std::size_t> indexes;
  const auto& rows = host_.Rows();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (RowPosted(rows[i]) && SiteFitsApp(rows[i], app.platform, app.status)) indexes.push_back(i);
  }
  alreadySent_ = AlreadySentSites(history_, rows, indexes, app.version,
                                  [this](const std::string& name) -> const SiteDefinition* {
                                    try {
                                      return host_.OpenSite(name) ? &host_.Site() : nullptr;
                                    } catch (const std::exception&) {
                                      return nullptr;
                                    }
                                  });
  return true;
}

bool SubmissionRun::Confirm() {
  RunConfirmation c;
  c.counts = counts_;
  c.findings = findings_;
  c.version = host_.App().version;
  c.alreadySent = alreadySent_;
  std::vector<AppSiteRow> sent;
  for (const auto& row : host_.Rows()) {
    if (std::find(alreadySent_.begin(), alreadySent_.end(), row.site) == alreadySent_.end())
      continue;
    sent.push_back(row);
    sent.back().post = "Y";
  }
  c.sent = vendrix::CountSitesToPost(sent, host_.App().platform, host_.App().status);
  if (!view_.ConfirmRun(c) || !c.MayStart()) return false;
  resend_ = sendAgain_ || c.sendAgain;
  return true;
}

void SubmissionRun::RecordPost(const AppSiteRow& row, bool isNew, const SiteResult& result) {
  // Every step the site has, sent now or delivered before.
  std::string methods;
  for (const auto& step : result.steps) {
    if (step.status != "ok" && step.status != "not-sent") continue;
    if (!methods.empty()) methods += ",";
    methods += step.step == "email" ? "EMAIL" : step.step == "ftp" ? "FTP" : "HTTP";
  }
  HistoryEntry entry{row.site, host_.App().version, ledger_->Now(), isNew ? "New" : "Update",
                     methods};
  try {
    // The steps' own records already say the site has them; this line is for
    // the history's readers that know only posts.
    ledger_->Post(entry);
  } catch (const std::exception& e) {
    AddLogLine(e.what());
  }
  history_.Add(std::move(entry));
}

void SubmissionRun::CountOutcome(bool success) {
  (success ? report_.SuccessCount : report_.FailureCount)++;
}

void SubmissionRun::RowOutcome(int row, bool success) {
  CountOutcome(success);
  if (success) {
    AppSiteRow& r = host_.Rows()[static_cast<std::size_t>(row)];
    if (r.submit != "Update") r.submit = "Update";
    r.lastPost = ShortDate(clock_.Now());
    MarkChanged();
  }
  ++sitesProcessed_;
  --toPost_;
  view_.Counters(std::max(toPost_, 0), sitesProcessed_);
  view_.Progress(sitesProcessed_, counts_.total);
}

void SubmissionRun::MarkChanged() {
  tableChanged_ = true;
  SaveIfDue();
}

void SubmissionRun::SaveIfDue() {
  if (!tableChanged_ || !tableSaver_.Due()) return;
  tableChanged_ = false;
  tableSaver_.Post(host_.SiteTableFile(), JoinLines(SiteTableLines(host_.Rows())));
}

void SubmissionRun::SaveTable() {
  tableChanged_ = false;
  if (auto error = tableSaver_.Flush()) AddLogLine(*error);
  try {
    host_.SaveSiteTable();
  } catch (const VendrixError& e) {
    AddLogLine(e.what());
  }
}

void SubmissionRun::EnterPostingMode() {
  posting_ = true;
  host_.SetPosting(true);
  view_.PostingMode(true);
}

void SubmissionRun::LeavePostingMode() {
  posting_ = false;
  host_.SetPosting(false);
  view_.PostingMode(false);
  // The counters and the bar keep the run's figures until the next run.
}

void SubmissionRun::EndRun(bool cancelled) {
  view_.CurrentSite("");
  report_.CurrentSite.clear();
  AllIdle();
  SaveTable();
  reportWritten_ = report_.WriteMainReport(log_, logTimes_);
  RunLedger::Summarise(results_, summary_);
  summary_.cancelled = cancelled;
  summary_.report = std::filesystem::absolute(report_.MainReportPath).lexically_normal().string();
  summary_.started = report_.RunDate + " " + report_.TimeStarted;
  summary_.ended = report_.TimeCompleted;
  if (!report_.RunReportDir.empty()) {
    try {
      WriteRunJson(report_.RunReportDir + "/" + kRunJsonName, summary_, results_);
    } catch (const std::exception& e) {
      reportWritten_ = false;
      AddLogLine(e.what());
    }
  }
  view_.BusyCursor(false);
  LeavePostingMode();
  AskViewReport();
}

void SubmissionRun::AskViewReport() {
  // The main report's figures: skipped and uncertain sites count as not succeeded.
  const std::string question = "Submission Process Done: " + std::to_string(summary_.succeeded) +
                               " succeeded, " + std::to_string(report_.FailureCount) + " failed, " +
                               std::to_string(report_.NotSentCount) + " not sent. View Report?";
  if (prompt_.Confirm(question, false) == Answer::Yes) {
    view_.OpenPage(report_.MainReportUrl);
  }
}

void SubmissionRun::Skip() {
  if (!posting_) return;
  std::lock_guard lock(flightMutex_);
  for (SitePoster* poster : active_) poster->Skip();
}

bool SubmissionRun::Skip(const std::string& site) {
  if (!posting_) return false;
  std::lock_guard lock(flightMutex_);
  for (const auto& w : workers_) {
    if (w->busy && !w->ended && w->flight.site == site) {
      w->poster->Skip();
      return true;
    }
  }
  return false;
}

void SubmissionRun::Cancel() {
  if (!posting_) return;
  // The flag first: the step that the interruption ends reads it at once.
  cancelRequested_ = true;
  std::lock_guard lock(flightMutex_);
  for (SitePoster* poster : active_) poster->Interrupt();
  flightCv_.notify_all();
}

void SubmissionRun::Abandon() {
  std::lock_guard lock(ledgerMutex_);
  if (!ledger_) return;
  try {
    ledger_->Abandon();
  } catch (const std::exception&) {
    // A step only begun already reads as uncertain.
  }
}

bool SubmissionRun::CancelClick(UserPrompt& prompt) {
  if (!posting_) return false;
  if (prompt.Confirm("Sure you want to cancel all posts?", false) != Answer::Yes) return false;
  Cancel();
  // A message the server is taking is not cut off (that could send it twice): say
  // what the run waits for.
  if (MailInProgress()) view_.Status(RunStep::Mail, kMailWaitText);
  return true;
}

bool SubmissionRun::MailInProgress() {
  std::lock_guard lock(flightMutex_);
  for (SitePoster* poster : active_) {
    if (poster->MailInProgress()) return true;
  }
  return false;
}

int SubmissionRun::MostAtOnce(const std::string& host) const {
  return slots_ ? slots_->MostAtOnce(host) : 0;
}

}  // namespace vendrix
