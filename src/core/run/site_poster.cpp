#include "run/site_poster.h"

#include <poll.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

#include "base/cp1252.h"
#include "base/names.h"
#include "run/retry_rules.h"
#include "run/run_gate.h"
#include "run/smtp_form.h"
#include "script/submission_builder.h"
#include "script/text_tools.h"

namespace vendrix {
namespace {

// Names the run log and the report pages may show of a secret.
constexpr const char* kMasked = "****";
// Shorter secrets would mask ordinary text.
constexpr std::size_t kMinSecret = 3;

// The line for a marked site at which no step applies, saying why.
std::string NothingSent(const SiteDefinition& site, const std::string& name, bool isNew) {
  const char* kind = isNew ? "a new submission" : "an update";
  std::string why;
  if (!site.useFtpUpload && !site.useHttpPost && !site.useEmail) {
    why = "the site uses no way of submission (HTTP, FTP or e-mail)";
  } else {
    if (site.useHttpPost) why = std::string("it has no HTTP script URL for ") + kind;
    if (site.useEmail) {
      why += std::string(why.empty() ? "it" : " and") + " has no e-mail address for " + kind;
    }
  }
  return "Nothing was sent to " + name + ": " + why + ".";
}

}  // namespace

SitePoster::SitePoster(const PosterShared& shared, PosterSink& sink, std::string filesDir)
    : shared_(shared),
      sink_(sink),
      tree_(*shared.tree),
      eng_(shared.eng->Store()),
      ftpForm_(
          ftpState_, [this](const std::string& line) { AddFtpLine(MaskTrail(line)); },
          [this](const std::string& text) { sink_.Status(*this, RunStep::Ftp, text); }) {
  ftpForm_.OnBytes = [this](long long bytes) { sink_.FtpBytes(*this, bytes); };
  steps_ = {MakeFtpStep(*this), MakeHttpStep(*this), MakeMailStep(*this)};
  tree_.FilesDir = std::move(filesDir);
  ExpansionContext context = shared.eng->Context();
  context.site = &job_.site;
  context.row = &job_.rowData;
  context.prompt = shared.prompt;
  eng_.SetContext(context);
  SubmissionLog& log = *this;
  builder_ = std::make_unique<SubmissionBuilder>(eng_, tree_, log, shared.compressed);
  ftpForm_.FTP1.Passive = true;
  http_.ProxyServer = shared.proxy;
  http_.ProxyPort = shared.proxyPort;
  // A Skip or Cancel that came just before an action began (whose start clears the
  // client's own token) still ends it: the clients wait on this token too.
  http_.StopToken = &stop_;
  ftpForm_.FTP1.StopToken = &stop_;
  // The point of no return of each step: recorded on the disk before the site can
  // register anything.
  http_.OnBeforeRequest = [this] { return Commit(RunStep::Http); };
  ftpForm_.FTP1.OnBeforeStore = [this] {
    if (!Commit(RunStep::Ftp)) return false;
    storeBegun_ = true;
    return true;
  };
  const auto server = [this] { return http_.URLServer(); };
  http_.OnConnected = [this, server](int code, const std::string& text) {
    AddReportLine("Connected to: " + server() + "[" + std::to_string(code) + " - " + text + "]");
  };
  http_.OnDisconnected = [this, server](int code, const std::string& text) {
    AddReportLine("Disconnected: " + server() + "[" + std::to_string(code) + " - " + text + "]");
  };
  http_.OnError = [this, server](int code, const std::string& text) {
    std::string line = "ERROR: " + server() + "[" + std::to_string(code) + " - " + text + "]";
    AddReportLine(line);
    AddLogLine(line);
  };
  http_.OnStartTransfer = [this, server] {
    AddReportLine("Start Transfer: " + server());
    ClearXfer();
  };
  http_.OnTransfer = [this](long long bytes, std::string_view text) {
    // A site's answer is shown in its page; a huge or dribbling answer is cut short
    // there rather than filling memory.
    constexpr std::size_t kMaxAnswer = 512 * 1024;
    constexpr int kMaxTransferLines = 200;
    if (++transferLines_ <= kMaxTransferLines) {
      AddReportLine("Transfered: " + std::to_string(bytes) + "bytes");
    }
    if (xferBytes_ < kMaxAnswer) {
      std::string block(text.substr(0, kMaxAnswer - xferBytes_));
      xferBytes_ += block.size();
      sink_.XferLine(*this, block);
      xfer_.push_back(std::move(block));
    }
    sink_.HttpBytes(*this, bytes, std::to_string(bytes));
  };
  http_.OnEndTransfer = [this, server] {
    AddReportLine("End Transfer: " + server());
    sink_.HttpBytes(*this, 0, "");
  };
}

SitePoster::~SitePoster() = default;

std::string SitePoster::MaskTrail(const std::string& line) const {
  // What the client sent: the argument of a command that carries a password.
  static const std::string kClient = "CLIENT: ";
  if (line.rfind(kClient, 0) == 0) {
    const auto verbEnd = line.find(' ', kClient.size());
    if (verbEnd == std::string::npos) return line;
    std::string verb = line.substr(kClient.size(), verbEnd - kClient.size());
    for (char& c : verb) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (verb == "PASS" || verb == "ACCT" || verb == "AUTH") {
      return line.substr(0, verbEnd + 1) + kMasked;
    }
    return line;
  }
  return MaskWords(line);
}

std::string SitePoster::MaskWords(std::string text) const {
  // What a server said: the password where it stands as a word of its own.
  if (secret_.size() < kMinSecret) return text;
  const auto isWordChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
  for (std::size_t at = text.find(secret_); at != std::string::npos;
       at = text.find(secret_, at + 1)) {
    const std::size_t end = at + secret_.size();
    const bool starts = at == 0 || !isWordChar(text[at - 1]) || !isWordChar(secret_.front());
    const bool ends = end == text.size() || !isWordChar(text[end]) || !isWordChar(secret_.back());
    if (starts && ends) {
      text.replace(at, secret_.size(), kMasked);
      at += std::string(kMasked).size() - 1;
    }
  }
  return text;
}

void SitePoster::AddLogLine(const std::string& line) {
  lastLogLine_ = line;
  sink_.LogLine(*this, line);
}

void SitePoster::AddReportLine(const std::string& line) {
  page_.push_back(shared_.report->ReportLine(line));
}

void SitePoster::AddFtpLine(const std::string& line) {
  ftpLines_.push_back(line);
  sink_.FtpLine(*this, line);
}

void SitePoster::ClearXfer() {
  xfer_.clear();
  xferBytes_ = 0;
  sink_.XferCleared(*this);
}

void SitePoster::BeginPage(RunStep step) {
  pageStep_ = step;
  page_ = shared_.report->SiteHead(StepName(step), siteName_);
}

void SitePoster::EndPage(const Lines& answer) {
  outcome_.pages.push_back({StepName(pageStep_), std::move(page_), answer});
  page_.clear();
}

bool SitePoster::WaitBeforeRetry(int ms) {
  // Skip and Cancel end the wait at once: one sleep on the stop token.
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!Stopped()) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now())
            .count();
    if (left <= 0) return true;
    pollfd fd{stop_.Fd(), POLLIN, 0};
    ::poll(&fd, 1, static_cast<int>(left));
  }
  return false;
}

void SitePoster::Arm() {
  skip_ = false;
  stop_.Reset();
  // A cancel raised the token before it was cleared: raise it again.
  if (Stopped()) stop_.Cancel();
}

StepEnd SitePoster::Guarded(RunStep step, const std::function<StepEnd()>& action) {
  try {
    return action();
  } catch (const std::exception& e) {
    // An error no step handler foresaw (a file that cannot be read or written, a
    // client failure outside its action) fails this site's step; the run goes on.
    if (step == RunStep::Mail) {
      AddLogLine(e.what());
      AddReportLine(e.what());
      AddLogLine(siteName_ + " EMail ERROR!!!");
      return StepEnd::Failed(e.what());
    }
    const std::string line = "Posting Error - " + std::string(e.what()) + "(" + siteName_ + ")";
    AddLogLine(line);
    AddReportLine(line);
    return StepEnd::Failed(line);
  }
}

namespace {

// A step's name in run.json.
const char* StepKey(RunStep step) {
  return step == RunStep::Ftp ? "ftp" : step == RunStep::Http ? "http" : "email";
}

}  // namespace

void SitePoster::StepEnded(RunStep step, const StepEnd& end) {
  StepResult r;
  r.step = StepKey(step);
  const StepState state = ended_[StepSlot(step)];
  if (end.ok) {
    r.status = "ok";
  } else if (state == StepState::Uncertain) {
    r.status = "uncertain";
    outcome_.uncertain = true;
    r.detail = end.reason;
  } else if (state == StepState::None && (skip_ || (shared_.cancel && *shared_.cancel))) {
    // Ended by a skip or a cancel before anything was written.
    r.status = "skipped";
  } else {
    r.status = "failed";
    r.detail = ledgerError_.empty() ? end.reason : ledgerError_;
  }
  outcome_.result.steps.push_back(std::move(r));
}

bool SitePoster::Held(RunStep step) {
  const StepStanding& s = job_.standings[StepSlot(step)];
  StepResult r;
  r.step = StepKey(step);
  if (s.state == StepState::Delivered) {
    r.status = "not-sent";
    r.detail = std::string(StepName(step)) + " delivered on " + s.when;
  } else if (s.state == StepState::Uncertain) {
    r.status = "uncertain";
    r.detail = MayHaveReached(job_.rowData.site, s.when, step);
    outcome_.uncertain = true;
  } else {
    return false;
  }
  AddLogLine(job_.rowData.site + ": " + r.detail +
             (r.status == "not-sent" ? "; not sent again" : ""));
  outcome_.result.steps.push_back(std::move(r));
  return true;
}

bool SitePoster::Commit(RunStep step) {
  const std::size_t k = StepSlot(step);
  if (begun_[k]) return true;  // a later file of the same upload
  {
    std::lock_guard lock(commitMutex_);
    if (Stopped() || !ledgerError_.empty()) return false;
    committed_ = true;
  }
  if (!shared_.ledger) return true;
  try {
    shared_.ledger->Begin(job_.rowData, step);
  } catch (const std::exception& e) {
    ledgerError_ = e.what();
    AddLogLine(ledgerError_);
    std::lock_guard lock(commitMutex_);
    committed_ = false;
    return false;
  }
  begun_[k] = true;
  return true;
}

void SitePoster::Settle(RunStep step, StepState state) {
  const std::size_t k = StepSlot(step);
  {
    std::lock_guard lock(commitMutex_);
    committed_ = false;
    // A skip or cancel that waited for the request now ends whatever follows.
    if (Stopped()) stop_.Cancel();
  }
  if (!begun_[k]) return;  // nothing was written: the site cannot have it
  begun_[k] = false;
  ended_[k] = state;
  if (!shared_.ledger) return;
  try {
    shared_.ledger->End(job_.rowData, step, state);
  } catch (const std::exception& e) {
    // The step stays "begun" on the disk, which reads as uncertain: never sent twice.
    ledgerError_ = e.what();
    AddLogLine(ledgerError_);
  }
}

void SitePoster::Skip() {
  std::lock_guard lock(commitMutex_);
  skip_ = true;
  // A request being written ends as the site answers: cut off, it would leave the
  // site holding something nobody can tell.
  if (!committed_) InterruptNow();
}

void SitePoster::Interrupt() {
  std::lock_guard lock(commitMutex_);
  if (!committed_) InterruptNow();
}

void SitePoster::InterruptNow() {
  stop_.Cancel();
  ftpForm_.FTP1.SetAction(TFtpActions::ftpIdle);
  http_.SetAction(THttpActions::httpIdle);
  if (shared_.hostSlots) shared_.hostSlots->Wake();
  std::lock_guard lock(mailMutex_);
  if (mailForm_) mailForm_->Cancel();
}

bool SitePoster::MailInProgress() {
  std::lock_guard lock(mailMutex_);
  return mailForm_ != nullptr;
}

SiteOutcome SitePoster::Post(SiteJob job) {
  job_ = std::move(job);
  outcome_ = SiteOutcome{};
  outcome_.result.site = job_.rowData.site;
  outcome_.result.kind = job_.rowData.submit;
  siteName_ = job_.site.name;
  lastLogLine_.clear();
  ledgerError_.clear();
  begun_.fill(false);
  ended_.fill(StepState::None);
  bool success = true;
  bool ran = false;  // whether any step tried to send something
  std::string reason;
  try {
    RunSteps(success, ran);
  } catch (const std::exception& e) {
    // Whatever went wrong, the site ends as a failure and the run goes on.
    AddLogLine(e.what());
    success = false;
  }
  // A step that ended by an error no handler foresaw after it was begun: nobody can
  // tell what the site got.
  for (RunStep step : {RunStep::Ftp, RunStep::Http, RunStep::Mail}) {
    if (begun_[StepSlot(step)]) Settle(step, StepState::Uncertain);
  }
  outcome_.ran = ran;
  (void)success;
  SiteResult& r = outcome_.result;
  // The site has every step it takes when each was delivered, in this run or before.
  const auto steps = StepsOf(job_.site, job_.rowData.submit == "New");
  bool complete = true, any = false, failed = false;
  for (RunStep step : {RunStep::Ftp, RunStep::Http, RunStep::Mail}) {
    if (!steps[StepSlot(step)]) continue;
    any = true;
    const auto it = std::find_if(r.steps.begin(), r.steps.end(),
                                 [&](const StepResult& s) { return s.step == StepKey(step); });
    if (it == r.steps.end() || (it->status != "ok" && it->status != "not-sent")) complete = false;
    if (it != r.steps.end() && it->status == "failed") failed = true;
  }
  const bool cancel = shared_.cancel && *shared_.cancel;
  if (!any && !skip_ && !cancel) {
    // Nothing went to the site: it is not posted, and its row stays as it was.
    reason = NothingSent(job_.site, job_.rowData.site, job_.rowData.submit == "New");
    AddLogLine(reason);
  }
  outcome_.success = any && complete;
  // A skip or a cancel that left steps unsent; one that came during the last step,
  // which ended as its site answered, left nothing out.
  outcome_.skipped = skip_ && !outcome_.success;
  outcome_.cancelled = cancel && !outcome_.success;
  outcome_.historyFailed = !ledgerError_.empty();
  const auto firstDetail = [&](const char* status) {
    for (const auto& step : r.steps) {
      if (step.status == status) return step.detail;
    }
    return std::string();
  };
  if (outcome_.success) {
    r.outcome = "succeeded";
  } else if (outcome_.skipped) {
    r.outcome = "skipped";
    r.reason = "skipped by the user";
  } else if (outcome_.cancelled) {
    r.outcome = "skipped";
    r.reason = "the run was cancelled";
  } else if (failed || !reason.empty() || !outcome_.uncertain) {
    r.outcome = "failed";
    r.reason = !reason.empty()         ? reason
               : !ledgerError_.empty() ? ledgerError_
                                       : firstDetail("failed");
  } else {
    r.outcome = "uncertain";
    r.reason = firstDetail("uncertain");
  }
  siteName_.clear();
  return std::move(outcome_);
}

void SitePoster::RunSteps(bool& success, bool& ran) {
  const SiteDefinition& site = job_.site;
  const bool isNew = job_.rowData.submit == "New";
  const auto steps = StepsOf(site, isNew);
  // A cancel between two steps ends the site there; so does a history that cannot
  // be written.
  const auto stopped = [this] {
    if ((shared_.cancel && *shared_.cancel) || !ledgerError_.empty()) outcome_.cancelled = true;
    return outcome_.cancelled;
  };
  const auto takes = [&](RunStep step) {
    return steps[StepSlot(step)] && !skip_ && !stopped() && !Held(step);
  };

  for (const auto& step : steps_) {
    const RunStep which = step->Which();
    if (!takes(which)) continue;
    ran = true;
    sink_.Lamp(*this, which, LampState::Blinking);
    BeginPage(which);
    const StepEnd end = step->Run(isNew);
    if (!end.ok) success = false;
    StepEnded(which, end);
    EndPage(which == RunStep::Http ? xfer_ : Lines{});
    sink_.Lamp(*this, which, LampState::Lit);
  }
}

}  // namespace vendrix
