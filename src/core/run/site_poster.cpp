#include "run/site_poster.h"

#include <poll.h>

#include <cctype>
#include <chrono>
#include <thread>

#include "base/cp1252.h"
#include "base/names.h"
#include "mail/smtp_form.h"
#include "run/retry_rules.h"
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

bool Leading(const std::string& s) {
  return !TrimLeft(s).empty();
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

bool SitePoster::Guarded(RunStep step, const std::function<bool()>& action) {
  try {
    return action();
  } catch (const std::exception& e) {
    // An error no step handler foresaw (a file that cannot be read or written, a
    // client failure outside its action) fails this site's step; the run goes on.
    if (step == RunStep::Mail) {
      AddLogLine(e.what());
      AddReportLine(e.what());
      AddLogLine(siteName_ + " EMail ERROR!!!");
    } else {
      const std::string line = "Posting Error - " + std::string(e.what()) + "(" + siteName_ + ")";
      AddLogLine(line);
      AddReportLine(line);
    }
    return false;
  }
}

void SitePoster::StepEnded(const char* step, bool ok) {
  StepResult r;
  r.step = step;
  r.status = ok ? "ok" : (skip_ ? "skipped" : "failed");
  if (!ok && !skip_) r.detail = lastLogLine_;
  outcome_.result.steps.push_back(std::move(r));
}

void SitePoster::Skip() {
  skip_ = true;
  Interrupt();
}

void SitePoster::Interrupt() {
  stop_.Cancel();
  ftpForm_.FTP1.SetAction(TFtpActions::ftpIdle);
  http_.SetAction(THttpActions::httpIdle);
  if (shared_.hostSlots) shared_.hostSlots->Wake();
  std::lock_guard lock(mailMutex_);
  // A cancel lets a message the server is taking finish (cutting it off could send it
  // twice); a skip ends it.
  if (mailForm_ && skip_) mailForm_->Cancel();
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
  outcome_.ran = ran;
  if (outcome_.cancelled) {
    outcome_.success = success && ran;
    siteName_.clear();
    return std::move(outcome_);
  }
  if (!ran) {
    // Nothing went to the site: it is not posted, and its row stays as it was.
    if (!skip_ && !(shared_.cancel && *shared_.cancel)) {
      reason = NothingSent(job_.site, job_.rowData.site, job_.rowData.submit == "New");
      AddLogLine(reason);
    }
    success = false;
  }
  outcome_.success = success;
  outcome_.skipped = skip_;
  if (success) {
    outcome_.result.outcome = "succeeded";
  } else if (skip_) {
    outcome_.result.outcome = "skipped";
    outcome_.result.reason = "skipped by the user";
  } else {
    if (reason.empty()) {
      for (const auto& step : outcome_.result.steps) {
        if (step.status == "failed") reason = step.detail;
      }
    }
    outcome_.result.outcome = "failed";
    outcome_.result.reason = reason;
  }
  siteName_.clear();
  return std::move(outcome_);
}

void SitePoster::RunSteps(bool& success, bool& ran) {
  const SiteDefinition& site = job_.site;
  const bool isNew = job_.rowData.submit == "New";
  // A cancel between two steps ends the site there.
  const auto cancelled = [this] {
    if (shared_.cancel && *shared_.cancel) outcome_.cancelled = true;
    return outcome_.cancelled;
  };

  if (site.useFtpUpload && !skip_) {
    ran = true;
    sink_.Lamp(*this, RunStep::Ftp, LampState::Blinking);
    BeginPage(RunStep::Ftp);
    ftpLines_.clear();
    sink_.FtpListCleared(*this);
    const bool sent = FtpStep();
    if (!sent) success = false;
    StepEnded("ftp", sent);
    for (const auto& line : ftpLines_) AddReportLine(line);
    EndPage();
    ftpForm_.Logoff();
    ftpHold_.reset();
    secret_.clear();
    sink_.Lamp(*this, RunStep::Ftp, LampState::Lit);
  }
  if (cancelled()) return;
  const std::string& url = isNew ? site.httpNewScriptUrl : site.httpUpdateScriptUrl;
  if (site.useHttpPost && Leading(url) && !skip_) {
    ran = true;
    sink_.Lamp(*this, RunStep::Http, LampState::Blinking);
    BeginPage(RunStep::Http);
    ClearXfer();
    const bool posted = Guarded(RunStep::Http, [&] { return DoHttpPost(isNew); });
    if (!posted) success = false;
    StepEnded("http", posted);
    EndPage(xfer_);
    sink_.Lamp(*this, RunStep::Http, LampState::Lit);
  }
  if (cancelled()) return;
  const std::string& to = isNew ? site.emailToName : site.emailToNameUpdate;
  if (site.useEmail && Leading(to) && !skip_) {
    ran = true;
    BeginPage(RunStep::Mail);
    sink_.Lamp(*this, RunStep::Mail, LampState::Blinking);
    if (!Guarded(RunStep::Mail, [&] { return DoEmailPost(isNew, false); })) {
      success = false;
      StepEnded("email", false);
    } else {
      StepEnded("email", true);
      if (site.emailSendCopy) Guarded(RunStep::Mail, [&] { return DoEmailPost(isNew, true); });
    }
    EndPage();
    sink_.Lamp(*this, RunStep::Mail, LampState::Lit);
  }
}

bool SitePoster::FtpStep() {
  const std::string& rowSite = job_.rowData.site;
  int failures = 0;
  bool sent = false;
  while (!sent && !skip_ && failures <= shared_.settings.ftpRetries) {
    if (failures > 0) {
      // A server that failed a moment ago gets a little longer each time.
      const int wait = BackOffMs(failures - 1);
      const std::string line = "Trying " + rowSite + " by FTP again in " + Seconds(wait) +
                               " (attempt " + std::to_string(failures + 1) + ")";
      AddFtpLine(line);
      AddLogLine(line);
      if (!WaitBeforeRetry(wait)) break;
    }
    sent = DoFtpUpload();
    if (!sent) ++failures;
  }
  return sent;
}

}  // namespace vendrix
