#include "run/submission_run.h"

#include <algorithm>
#include <cctype>

#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_io.h"
#include "base/names.h"
#include "base/user_prompt.h"
#include "mail/smtp_form.h"
#include "run/precheck.h"
#include "run/retry_rules.h"
#include "script/eng_build.h"
#include "script/submission_builder.h"
#include "script/text_tools.h"
#include "zip/compressed_cache.h"

namespace vendrix {
namespace {

// Names the run log and the report pages may show of a secret.
constexpr const char* kMasked = "****";
// Shorter secrets would mask ordinary text.
constexpr std::size_t kMinSecret = 3;

bool Exists(const std::string& cp1252Path) {
  return FileExists(Cp1252ToUtf8(cp1252Path));
}

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

SubmissionRun::SubmissionRun(RunHost& host, RunView& view, UserPrompt& prompt, const Clock& clock)
    : host_(host),
      view_(view),
      prompt_(prompt),
      clock_(clock),
      report_(host.Tree().ReportsDir, host.Tree().ImagesDir, clock),
      ftpForm_(
          ftpState_, [this](const std::string& line) { AddFtpLine(MaskTrail(line)); },
          [this](const std::string& text) { view_.Status(RunStep::Ftp, text); }) {
  report_.OnWriteError = [this](const std::string& message) { AddLogLine(message); };
  ftpForm_.FTP1.Passive = true;
  // Between polls of a wait: a Skip or Cancel that came just before an action began
  // (whose start clears the interruption) still ends it.
  HTTP1.OnIdle = [this] {
    if (skipRequested_ || cancelRequested_) HTTP1.SetAction(THttpActions::httpIdle);
  };
  ftpForm_.FTP1.OnIdle = [this] {
    if (skipRequested_ || cancelRequested_) ftpForm_.FTP1.SetAction(TFtpActions::ftpIdle);
  };
  const auto server = [this] { return HTTP1.URLServer(); };
  HTTP1.OnConnected = [this, server](int code, const std::string& text) {
    AddReportLine("Connected to: " + server() + "[" + std::to_string(code) + " - " + text + "]");
  };
  HTTP1.OnDisconnected = [this, server](int code, const std::string& text) {
    AddReportLine("Disconnected: " + server() + "[" + std::to_string(code) + " - " + text + "]");
  };
  HTTP1.OnError = [this, server](int code, const std::string& text) {
    std::string line = "ERROR: " + server() + "[" + std::to_string(code) + " - " + text + "]";
    AddReportLine(line);
    AddLogLine(line);
  };
  HTTP1.OnStartTransfer = [this, server] {
    AddReportLine("Start Transfer: " + server());
    ClearXfer();
  };
  HTTP1.OnTransfer = [this](long long bytes, std::string_view text) {
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
      view_.XferLine(block);
      xfer_.push_back(std::move(block));
    }
    view_.HttpBytes(std::to_string(bytes));
  };
  HTTP1.OnEndTransfer = [this, server] {
    AddReportLine("End Transfer: " + server());
    view_.HttpBytes("");
  };
}

SubmissionRun::~SubmissionRun() = default;

const std::string& SubmissionRun::SiteName() const {
  return report_.CurrentSite;
}

std::string SubmissionRun::MaskTrail(const std::string& line) const {
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

std::string SubmissionRun::MaskWords(std::string text) const {
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

void SubmissionRun::AddLogLine(const std::string& line) {
  std::string l = line;
  lastLogLine_ = l;
  view_.LogLine(l);
  log_.push_back(std::move(l));
}

void SubmissionRun::AddReportLine(const std::string& line) {
  report_.AddReportLine(line);
}

void SubmissionRun::AddFtpLine(const std::string& line) {
  std::string l = line;
  view_.FtpLine(l);
  ftplist_.push_back(std::move(l));
}

void SubmissionRun::ClearXfer() {
  xfer_.clear();
  xferBytes_ = 0;
  view_.XferCleared();
}

bool SubmissionRun::CheckApplication() {
  const AppProfile& app = host_.App();
  const char* failure = nullptr;
  if (app.name.empty()) {
    failure = "You have not selected an app to submit.";
  } else if (app.char8.empty()) {
    failure = "The 8 Character Filename for this app is blank.";
  } else if (app.platform.empty()) {
    failure = "You have not selected the platform for this application";
  } else if (app.submitter.empty()) {
    failure = "You have not selected the distribution for this application";
  } else if (app.status.empty()) {
    failure = "You have not selected the status for this application";
  } else if (app.localPath.empty() || !Exists(app.localPath)) {
    failure = "You have selected an invalid local path for this application's file.";
  } else if (!app.icoPath.empty() && !Exists(app.icoPath)) {
    failure = "You have selected an invalid path for the Ico file.";
  } else if (!app.gifPath.empty() && !Exists(app.gifPath)) {
    failure = "You have selected an invalid path for the Gif file.";
  } else if (!app.screenPath.empty() && !Exists(app.screenPath)) {
    failure = "You have selected an invalid path for the Screen Shot file.";
  } else if (!app.otherPath.empty() && !Exists(app.otherPath)) {
    failure = "You have selected an invalid path for the \"Other\" file.";
  }
  if (!failure) return true;
  prompt_.Inform(failure);
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
  skipRequested_ = false;
  ftplist_.clear();
  view_.FtpListCleared();
  log_.clear();
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
  HTTP1.ProxyServer = settings_.proxy;
  HTTP1.ProxyPort = static_cast<std::uint16_t>(settings_.ProxyPort());

  if (!CheckApplication() || !OfferSaves() || !ReviewFindings()) return Outcome::Refused;
  LoadHistory();
  if (!CountSitesToPost(true)) return Outcome::Refused;

  view_.BusyCursor(true);
  EnterPostingMode();
  std::string reportError;
  report_.OnWriteError = [&reportError](const std::string& m) { reportError = m; };
  const bool reportReady = report_.StartRunReport(host_.App().name);
  report_.OnWriteError = [this](const std::string& message) { AddLogLine(message); };
  if (!reportReady) {
    // A run that could leave no report does not post: nothing would say what it sent.
    view_.BusyCursor(false);
    LeavePostingMode();
    prompt_.Error(reportError);
    return Outcome::Refused;
  }
  host_.SetLongDesc(SplitLines(WrapText(JoinLines(host_.App().longDesc), 72)));
  sitesProcessed_ = 0;
  SubmissionLog& log = *this;
  compressed_ = std::make_unique<CompressedFileCache>(host_.Tree().FilesDir);
  builder_ = std::make_unique<SubmissionBuilder>(host_.Eng(), host_.Tree(), log, compressed_.get());
  bool completed = true;
  try {
    completed = WalkSites();
  } catch (const std::exception& e) {
    // Whatever went wrong, the run still saves its table and leaves its reports.
    AddLogLine(e.what());
  }
  host_.Eng().SetCurrentRow(nullptr);
  builder_.reset();
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

void SubmissionRun::LightLamp(RunStep step) {
  // The other lamps are left as they are: a finished step's lamp was made steady when
  // its step ended, and a step that did not run at this site stays out.
  view_.Lamp(step, LampState::Blinking);
}

bool SubmissionRun::WalkSites() {
  std::vector<AppSiteRow>& rows = host_.Rows();
  const auto leading = [](const std::string& s) { return !TrimLeft(s).empty(); };
  for (std::size_t i = 0; i < rows.size() && !cancelRequested_; ++i) {
    currentSiteIndex_ = static_cast<int>(i);
    bool success = true;
    for (RunStep s : {RunStep::Ftp, RunStep::Http, RunStep::Mail}) {
      view_.Status(s, kIdle);
      view_.Lamp(s, LampState::Off);
    }
    if (!RowPosted(rows[i])) continue;
    const std::string rowSite = rows[i].site;
    skipRequested_ = false;
    current_ = SiteResult{};
    current_.site = rowSite;
    current_.kind = rows[i].submit;
    const std::string& version = host_.App().version;
    if (!resend_ && history_.AlreadySent(rowSite, version)) {
      // A run started again sends only what is left.
      if (!SiteFitsApp(rows[i], host_.App().platform, host_.App().status)) continue;
      const HistoryEntry* last = history_.LastFor(rowSite);
      const std::string why = "already sent version " + version + " on " + last->when;
      AddLogLine(rowSite + ": " + why + "; not sent again");
      ++summary_.notSent;
      SiteEnded("not-sent", why);
      ++sitesProcessed_;
      --toPost_;
      view_.Counters(std::max(toPost_, 0), sitesProcessed_);
      view_.Progress(sitesProcessed_, counts_.total);
      continue;
    }
    bool opened = false;
    try {
      opened = host_.OpenSite(rowSite);
    } catch (const std::exception& e) {
      AddLogLine(e.what());
    }
    if (!opened) {
      // A marked site whose definition cannot be read is a failed site, not a silent one.
      report_.CurrentSite = rowSite;
      AddLogLine("Unable to load the site definition of " + rowSite);
      RowOutcome(static_cast<int>(i), false);
      continue;
    }
    if (!SiteDefFitsApp()) continue;
    const SiteDefinition& site = host_.Site();
    host_.Eng().SetCurrentRow(&rows[i]);
    report_.CurrentSite = site.name;
    view_.CurrentSite(site.name);
    const bool isNew = rows[i].submit == "New";

    bool ran = false;  // whether any step tried to send something
    if (site.useFtpUpload && !skipRequested_) {
      ran = true;
      LightLamp(RunStep::Ftp);
      report_.BeginSiteSection("FTP");
      ftplist_.clear();
      view_.FtpListCleared();
      int failures = 0;
      bool sent = false;
      while (!sent && !skipRequested_ && failures <= settings_.ftpRetries) {
        if (failures > 0) {
          // A server that failed a moment ago gets a little longer each time.
          const int wait = BackOffMs(failures - 1);
          AddFtpLine("Trying " + rowSite + " by FTP again in " + Seconds(wait) + " (attempt " +
                     std::to_string(failures + 1) + ")");
          AddLogLine("Trying " + rowSite + " by FTP again in " + Seconds(wait) + " (attempt " +
                     std::to_string(failures + 1) + ")");
          if (!WaitBeforeRetry(wait)) break;
        }
        sent = DoFtpUpload();
        if (!sent) ++failures;
      }
      if (!sent) success = false;
      StepEnded("ftp", sent);
      for (const auto& line : ftplist_) report_.AddReportLine(line);
      StepPage(report_.EndSiteSection("FTP", rowSite));
      ftpForm_.Logoff();
      secret_.clear();
      view_.Lamp(RunStep::Ftp, LampState::Lit);
    }
    if (cancelRequested_) {
      CountOutcome(success);
      return false;
    }
    const std::string& url = isNew ? site.httpNewScriptUrl : site.httpUpdateScriptUrl;
    if (site.useHttpPost && leading(url) && !skipRequested_) {
      ran = true;
      LightLamp(RunStep::Http);
      report_.BeginSiteSection("HTTP");
      ClearXfer();
      const bool posted = Guarded(RunStep::Http, [&] { return DoHttpPost(isNew); });
      if (!posted) success = false;
      StepEnded("http", posted);
      StepPage(report_.EndSiteSection("HTTP", rowSite, xfer_));
      view_.Lamp(RunStep::Http, LampState::Lit);
    }
    if (cancelRequested_) {
      CountOutcome(success);
      return false;
    }
    const std::string& to = isNew ? site.emailToName : site.emailToNameUpdate;
    if (site.useEmail && leading(to) && !skipRequested_) {
      ran = true;
      report_.BeginSiteSection("EMAIL");
      LightLamp(RunStep::Mail);
      const int row = static_cast<int>(i);
      if (!Guarded(RunStep::Mail, [&] { return DoEmailPost(isNew, row, false); })) {
        success = false;
        StepEnded("email", false);
      } else {
        StepEnded("email", true);
        if (host_.Site().emailSendCopy) {
          Guarded(RunStep::Mail, [&] { return DoEmailPost(isNew, row, true); });
        }
      }
      StepPage(report_.EndSiteSection("EMAIL", rowSite));
      view_.Lamp(RunStep::Mail, LampState::Lit);
    }
    std::string reason;
    if (!ran) {
      // Nothing went to the site: it is not posted, and its row stays as it was.
      if (!skipRequested_) {
        reason = NothingSent(site, rowSite, isNew);
        AddLogLine(reason);
      }
      success = false;
    }
    if (success) RecordPost(rows[i], isNew);
    RowOutcome(static_cast<int>(i), success);
    if (success) {
      SiteEnded("succeeded", "");
    } else if (skipRequested_) {
      SiteEnded("skipped", "skipped by the user");
    } else {
      if (reason.empty()) {
        for (const auto& step : current_.steps) {
          if (step.status == "failed") reason = step.detail;
        }
      }
      SiteEnded("failed", reason);
    }
    if (cancelRequested_) return false;
    if (skipRequested_) {
      AddLogLine("SKIPPED -> " + rowSite);
      skipRequested_ = false;
    }
  }
  return !cancelRequested_;
}

bool SubmissionRun::Guarded(RunStep step, const std::function<bool()>& action) {
  try {
    return action();
  } catch (const std::exception& e) {
    // An error no step handler foresaw (a file that cannot be read or written, a
    // client failure outside its action) fails this site's step; the run goes on.
    const std::string site = SiteName();
    if (step == RunStep::Mail) {
      AddLogLine(e.what());
      AddReportLine(e.what());
      AddLogLine(site + " EMail ERROR!!!");
    } else {
      const std::string line = "Posting Error - " + std::string(e.what()) + "(" + site + ")";
      AddLogLine(line);
      AddReportLine(line);
    }
    return false;
  }
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
  } catch (const std::exception& e) {
    findings.push_back({FindingSeverity::Warning, kWhereApplication, "check",
                        std::string("The check before the run could not finish: ") + e.what()});
  }
  host_.Eng().SetCurrentRow(nullptr);
  findings_ = findings;
  return view_.ReviewFindings(findings);
}

void SubmissionRun::LoadHistory() {
  const AppProfile& app = host_.App();
  historyPath_ = host_.Tree().HistoryFile(app.name);
  std::string problem;
  history_ = PostHistory::Load(historyPath_, &problem);
  if (!problem.empty()) {
    // Never a reason not to start: the run then sends every marked site.
    AddLogLine("The history of " + app.name + " cannot be read (" + problem +
               "); every marked site is sent.");
  }
  summary_ = RunSummary{};
  summary_.application = app.name;
  summary_.version = app.version;
  results_.clear();
  alreadySent_.clear();
  if (sendAgain_ || app.version.empty()) return;
  for (const auto& row : host_.Rows()) {
    if (RowPosted(row) && SiteFitsApp(row, app.platform, app.status) &&
        history_.AlreadySent(row.site, app.version)) {
      alreadySent_.push_back(row.site);
    }
  }
}

bool SubmissionRun::Confirm() {
  RunConfirmation c;
  c.counts = counts_;
  c.findings = findings_;
  c.version = host_.App().version;
  c.alreadySent = alreadySent_;
  if (!view_.ConfirmRun(c) || !c.MayStart()) return false;
  resend_ = sendAgain_ || c.sendAgain;
  return true;
}

void SubmissionRun::StepEnded(const char* step, bool ok) {
  StepResult r;
  r.step = step;
  r.status = ok ? "ok" : (skipRequested_ ? "skipped" : "failed");
  if (!ok && !skipRequested_) r.detail = lastLogLine_;
  current_.steps.push_back(std::move(r));
}

void SubmissionRun::StepPage(std::string page) {
  if (!current_.steps.empty()) current_.steps.back().page = std::move(page);
}

void SubmissionRun::SiteEnded(std::string outcome, std::string reason) {
  current_.outcome = std::move(outcome);
  current_.reason = std::move(reason);
  results_.push_back(current_);
  view_.SiteEnded(current_);
}

void SubmissionRun::RecordPost(const AppSiteRow& row, bool isNew) {
  std::string methods;
  for (const auto& step : current_.steps) {
    if (step.status != "ok") continue;
    if (!methods.empty()) methods += ",";
    methods += step.step == "email" ? "EMAIL" : step.step == "ftp" ? "FTP" : "HTTP";
  }
  const std::tm now = clock_.Now();
  history_.Add({row.site, host_.App().version,
                HistoryTime(now.tm_year + 1900, now.tm_mon + 1, now.tm_mday, now.tm_hour,
                            now.tm_min, now.tm_sec),
                isNew ? "New" : "Update", methods});
  try {
    history_.Save(historyPath_);
  } catch (const std::exception& e) {
    AddLogLine(e.what());
  }
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
    // Saved at once (without waiting for the disk): a run that ends early keeps the
    // marks of the sites it sent.
    tableSaver_.Post(host_.SiteTableFile(), JoinLines(SiteTableLines(host_.Rows())));
  }
  ++sitesProcessed_;
  --toPost_;
  view_.Counters(std::max(toPost_, 0), sitesProcessed_);
  view_.Progress(sitesProcessed_, counts_.total);
}

void SubmissionRun::SaveTable() {
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
  view_.Counters(0, 0);
  view_.Progress(0, 0);
}

void SubmissionRun::EndRun(bool cancelled) {
  view_.CurrentSite("");
  report_.CurrentSite.clear();
  AllIdle();
  SaveTable();
  report_.WriteMainReport(log_);
  summary_.succeeded = report_.SuccessCount;
  summary_.failed = report_.FailureCount;
  summary_.cancelled = cancelled;
  summary_.report = report_.MainReportPath;
  summary_.started = report_.RunDate + " " + report_.TimeStarted;
  summary_.ended = report_.TimeCompleted;
  if (!report_.RunReportDir.empty()) {
    try {
      WriteRunJson(report_.RunReportDir + "/" + kRunJsonName, summary_, results_);
    } catch (const std::exception& e) {
      AddLogLine(e.what());
    }
  }
  if (cancelled) view_.Progress(0, counts_.total);
  view_.BusyCursor(false);
  LeavePostingMode();
  AskViewReport();
}

void SubmissionRun::AskViewReport() {
  if (prompt_.Confirm("Submission Process Done. View Report?", false) == Answer::Yes) {
    view_.OpenPage(report_.MainReportUrl);
  }
}

void SubmissionRun::Skip() {
  if (!posting_) return;
  skipRequested_ = true;
  ftpForm_.FTP1.SetAction(TFtpActions::ftpIdle);
  HTTP1.SetAction(THttpActions::httpIdle);
  std::lock_guard lock(mailMutex_);
  if (mailForm_) mailForm_->Cancel();
}

bool SubmissionRun::Skip(const std::string& site) {
  if (!posting_ || report_.CurrentSite != site) return false;
  Skip();
  return true;
}

void SubmissionRun::Cancel() {
  if (!posting_) return;
  // The flag first: the step that the interruption ends reads it at once.
  cancelRequested_ = true;
  HTTP1.SetAction(THttpActions::httpIdle);
  ftpForm_.FTP1.SetAction(TFtpActions::ftpIdle);
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
  std::lock_guard lock(mailMutex_);
  return mailForm_ != nullptr;
}

}  // namespace vendrix
