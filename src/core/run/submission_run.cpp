#include "run/submission_run.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/error.h"
#include "base/file_io.h"
#include "base/folder_listing.h"
#include "base/user_prompt.h"
#include "run/run_gate.h"
#include "script/eng_build.h"
#include "script/text_tools.h"
#include "zip/compressed_cache.h"

namespace vendrix {
namespace {

// The work folders of sites posted at once, in the files folder.
constexpr const char* kWorkFolderPrefix = ".posting-";

// Each poster of several makes its text files and archives in a work folder of its
// own; those a killed run left go first (one run at a time holds the data tree).
std::vector<std::string> WorkFolders(const std::string& filesDir, int count) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(filesDir, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(kWorkFolderPrefix, 0) == 0 && entry.is_directory(ec) && !entry.is_symlink(ec)) {
      std::filesystem::remove_all(entry.path(), ec);
    }
  }
  std::vector<std::string> folders;
  for (int k = 0; k < count; ++k) {
    std::string folder = filesDir + kWorkFolderPrefix + "XXXXXX";
    if (!::mkdtemp(folder.data())) {
      const int err = errno;
      for (const auto& made : folders) std::filesystem::remove_all(made, ec);
      throw VendrixError(UnableToWrite(filesDir) + ": " + std::strerror(err));
    }
    folders.push_back(folder + "/");
  }
  return folders;
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

SubmissionRun::SubmissionRun(RunHost& host, RunView& view, UserPrompt& prompt, const Clock& clock)
    : host_(host),
      view_(view),
      prompt_(prompt),
      clock_(clock),
      report_(host.Tree().ReportsDir, host.Tree().ImagesDir, clock),
      outcomes_(host, view, report_, clock) {
  report_.OnWriteError = [this](const std::string& message) { outcomes_.Log(message); };
}

SubmissionRun::~SubmissionRun() = default;

SubmissionRun::Outcome SubmissionRun::Submit() {
  if (posting_) return Outcome::Refused;
  cancelRequested_ = false;
  ftplist_.clear();
  view_.FtpListCleared();
  outcomes_.Reset(host_.App().name, host_.App().version);
  checked_.clear();
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

  if (!CheckApplication() || !OfferSaves() || !LoadHistory()) return Outcome::Refused;
  // From here the run only reads the site files: the names the site folders hold are
  // listed once (when a run reads many), so a site's missing category and script files
  // cost no open each. The next run lists again.
  FolderListing listed;
  if (!ReviewFindings()) return Outcome::Refused;
  if (!CountSitesToPost(true)) return Outcome::Refused;

  view_.BusyCursor(true);
  EnterPostingMode();
  std::string reportError;
  report_.OnWriteError = [&reportError](const std::string& m) { reportError = m; };
  bool reportReady = report_.StartRunReport(host_.App().name);
  report_.OnWriteError = [this](const std::string& message) { outcomes_.Log(message); };
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
  shared_.ledger = outcomes_.Ledger();
  bool completed = true;
  try {
    completed = Walk(std::clamp(postAtOnce_ > 0 ? postAtOnce_ : settings_.postAtOnce,
                                kMinPostAtOnce, kMaxPostAtOnce));
  } catch (const std::exception& e) {
    // Whatever went wrong, the run still saves its table and leaves its reports.
    outcomes_.Log(e.what());
  }
  host_.Eng().SetCurrentRow(nullptr);
  checked_.clear();
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

bool SubmissionRun::Walk(int atOnce) {
  parallel_ = atOnce > 1;
  // One poster works in the files folder itself; several each in a folder of their own.
  const std::vector<std::string> folders = parallel_
                                               ? WorkFolders(host_.Tree().FilesDir, atOnce)
                                               : std::vector<std::string>{host_.Tree().FilesDir};
  keptLog_.assign(folders.size(), {});
  keptTimes_.assign(folders.size(), {});
  keptFtp_.assign(folders.size(), {});
  {
    std::lock_guard lock(poolMutex_);
    board_ = std::make_unique<RunBoard>(view_, atOnce, parallel_);
    // One poster at a time posts on this thread, each word shown as it is said.
    std::function<void(PosterPool::News&)> direct;
    if (!parallel_) {
      direct = [this](PosterPool::News& n) {
        TakeNews(n);
        board_->Show(false);
      };
    }
    pool_ = std::make_unique<PosterPool>(shared_, folders, *board_, std::move(direct));
    if (pausedEarly_) pool_->Pause();
  }
  // The posters go when the walk ends, and with them their work folders.
  struct Drop {
    SubmissionRun& run;
    const std::vector<std::string>& folders;
    ~Drop() {
      std::unique_ptr<PosterPool> pool;
      {
        std::lock_guard lock(run.poolMutex_);
        pool = std::move(run.pool_);
      }
      pool.reset();
      std::error_code ec;
      if (run.parallel_) {
        for (const auto& folder : folders) std::filesystem::remove_all(folder, ec);
      }
    }
  } drop{*this, folders};

  PosterPool& pool = *pool_;
  RunBoard& board = *board_;
  std::vector<AppSiteRow>& rows = host_.Rows();
  std::size_t next = 0;
  bool stopped = false;  // a site cancelled between its steps ends a walk of one poster
  while (!stopped) {
    // Free posters take the next rows, in the table's order.
    bool started = false;
    while (!cancelRequested_ && !pool.Paused() && next < rows.size()) {
      const int place = pool.Free();
      if (place < 0) break;
      if (!parallel_) AllIdle();
      std::optional<SiteJob> job = PrepareRow(next++);
      if (!job) continue;
      if (!parallel_) view_.CurrentSite(job->site.name);
      board.Started(place, job->rowData.site);
      pool.Hand(place, std::move(*job));
      started = true;
    }
    // Every site is listed once it has started, however soon it ends.
    if (started) board.Show(true);
    if (!pool.AnyBusy() && (next >= rows.size() || cancelRequested_)) break;
    // Asleep until a poster has news, or the board or the table is due.
    auto until = board.NextShow();
    if (const auto save = outcomes_.NextSave(); save && (!until || *save < *until)) until = save;
    for (auto& news : pool.Wait(until)) {
      if (!TakeNews(news)) stopped = true;
    }
    board.Show(false);
    outcomes_.SaveIfDue();
  }
  board.Show(true);
  return !stopped && !cancelRequested_;
}

bool SubmissionRun::TakeNews(PosterPool::News& n) {
  const auto k = static_cast<std::size_t>(n.place);
  using News = PosterPool::News;
  if (n.kind == News::End) return TakeEnded(n.place);
  if (parallel_) {
    // Several at once: lines are kept with their site, the rest is on the board.
    if (n.kind == News::Log) {
      keptLog_[k].push_back(std::move(n.text));
      keptTimes_[k].push_back(std::move(n.time));
    } else if (n.kind == News::Ftp) {
      keptFtp_[k].push_back(std::move(n.text));
    }
    return true;
  }
  // One at a time: everything is shown as it comes.
  switch (n.kind) {
    case News::Log:
      outcomes_.LogAt(n.time, n.text);
      break;
    case News::Ftp:
      view_.FtpLine(n.text);
      ftplist_.push_back(std::move(n.text));
      break;
    case News::FtpCleared:
      ftplist_.clear();
      view_.FtpListCleared();
      break;
    case News::Status:
      view_.Status(n.step, n.text);
      break;
    case News::Lamp:
      view_.Lamp(n.step, n.lamp);
      break;
    case News::Bytes:
      view_.HttpBytes(n.text);
      break;
    case News::Xfer:
      view_.XferLine(n.text);
      break;
    case News::XferCleared:
      view_.XferCleared();
      break;
    case News::FtpBytes:
    case News::End:
      break;
  }
  return true;
}

bool SubmissionRun::TakeEnded(int place) {
  const auto k = static_cast<std::size_t>(place);
  PosterPool& pool = *pool_;
  for (std::size_t j = 0; j < keptLog_[k].size(); ++j) {
    outcomes_.LogAt(keptTimes_[k][j], keptLog_[k][j]);
  }
  for (auto& line : keptFtp_[k]) {
    view_.FtpLine(line);
    ftplist_.push_back(std::move(line));
  }
  keptLog_[k].clear();
  keptTimes_[k].clear();
  keptFtp_[k].clear();
  if (pool.HttpTimedOut(place)) httpTimedOut_ = true;
  const SiteJob job = pool.Job(place);
  SiteOutcome outcome = pool.TakeOutcome(place);
  board_->Ended(place);
  // One at a time, the site leaves the list before its outcome is shown.
  if (!parallel_) board_->Show(true);
  const bool cancelled = outcome.cancelled;
  if (!outcomes_.Finish(job, std::move(outcome)) && !cancelRequested_) {
    // Nothing more is sent while the history cannot say what was.
    outcomes_.Log("The history cannot be written: no other site is sent.");
    Cancel();
  }
  return parallel_ || !cancelled;
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
  reportWritten_ = outcomes_.End(cancelled, summary_);
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
  std::lock_guard lock(poolMutex_);
  if (pool_) pool_->Skip();
}

bool SubmissionRun::Skip(const std::string& site) {
  if (!posting_) return false;
  std::lock_guard lock(poolMutex_);
  return pool_ && pool_->Skip(site);
}

void SubmissionRun::Cancel() {
  if (!posting_) return;
  // The flag first: the step that the interruption ends reads it at once.
  cancelRequested_ = true;
  std::lock_guard lock(poolMutex_);
  if (pool_) pool_->Interrupt();
}

void SubmissionRun::Abandon() {
  outcomes_.Abandon();
}

void SubmissionRun::Pause() {
  std::lock_guard lock(poolMutex_);
  pausedEarly_ = true;
  if (pool_) pool_->Pause();
}

void SubmissionRun::Resume() {
  std::lock_guard lock(poolMutex_);
  pausedEarly_ = false;
  if (pool_) pool_->Resume();
}

bool SubmissionRun::CancelClick(UserPrompt& prompt) {
  if (!posting_) return false;
  // While the question is open no new site starts, one poster or several.
  Pause();
  const bool sure = prompt.Confirm("Sure you want to cancel all posts?", false) == Answer::Yes;
  if (sure) Cancel();
  Resume();
  if (!sure) return false;
  // A message the server is taking is not cut off (that could send it twice): say
  // what the run waits for.
  if (MailInProgress()) view_.Status(RunStep::Mail, kMailWaitText);
  return true;
}

bool SubmissionRun::MailInProgress() {
  std::lock_guard lock(poolMutex_);
  return pool_ && pool_->MailInProgress();
}

int SubmissionRun::MostAtOnce(const std::string& host) const {
  return slots_ ? slots_->MostAtOnce(host) : 0;
}

}  // namespace vendrix
