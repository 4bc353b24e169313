// The run's gate: the checks before a run, the history that says what each site
// already has, the confirmation, and for each row what it still needs.
#include <algorithm>
#include <cstdio>
#include <ctime>

#include "base/user_prompt.h"
#include "run/precheck.h"
#include "run/run_gate.h"
#include "run/submission_run.h"
#include "script/eng_build.h"

namespace vendrix {
namespace {

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

}  // namespace

bool SubmissionRun::CheckApplication() {
  const std::string problem = ApplicationProblem(host_.App(), host_.Tree().ProgramDir);
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
  outcomes_.Expect(counts_.total);
  view_.TotalToPost(counts_.total);
  return true;
}

bool SubmissionRun::SiteDefFitsApp() {
  return FitsApp(host_.Site());
}

bool SubmissionRun::FitsApp(const SiteDefinition& def) const {
  AppSiteRow probe;
  probe.type = std::string(def.freewareOnly ? "Free" : "All") +
               (def.siteSystem == SiteSystem::Only32   ? " 32"
                : def.siteSystem == SiteSystem::Only16 ? " 16"
                                                       : " 16-32");
  return SiteFitsApp(probe, host_.App().platform, host_.App().status);
}

std::optional<SiteJob> SubmissionRun::PrepareRow(std::size_t i) {
  std::vector<AppSiteRow>& rows = host_.Rows();
  if (!RowPosted(rows[i])) return std::nullopt;
  const std::string rowSite = rows[i].site;
  SiteJob job;
  if (auto read = checked_.find(rowSite); read != checked_.end()) {
    // Read by the check before the run: not read again.
    job.site = std::move(read->second);
    checked_.erase(read);
  } else {
    bool opened = false;
    try {
      opened = host_.OpenSite(rowSite);
    } catch (const std::exception& e) {
      outcomes_.Log(e.what());
    }
    if (!opened) {
      // A marked site whose definition cannot be read is a failed site, not a silent one.
      outcomes_.Unreadable(static_cast<int>(i), rows[i],
                           "Unable to load the site definition of " + rowSite);
      return std::nullopt;
    }
    job.site = host_.Site();
  }
  if (!FitsApp(job.site)) return std::nullopt;
  job.row = static_cast<int>(i);
  job.rowData = rows[i];
  const std::string& version = host_.App().version;
  if (resend_ || version.empty()) return job;
  // A run started again sends only the steps that never reached the site.
  const auto steps = StepsOf(job.site, job.rowData.submit == "New");
  job.standings = StandingsOf(outcomes_.History(), rowSite, version, steps);
  if (steps[StepSlot(RunStep::Ftp)]) {
    job.ftpSent = outcomes_.History().FtpFilesDelivered(rowSite, version);
  }
  // A site without steps goes to its poster, which says why nothing was sent.
  bool any = false;
  for (RunStep step : {RunStep::Ftp, RunStep::Http, RunStep::Mail}) {
    if (!steps[StepSlot(step)]) continue;
    any = true;
    const StepState state = job.standings[StepSlot(step)].state;
    if (state != StepState::Delivered && state != StepState::Uncertain) return job;
  }
  if (!any) return job;
  HoldRow(i, job, steps);
  return std::nullopt;
}

void SubmissionRun::HoldRow(std::size_t i, const SiteJob& job, const std::array<bool, 3>& steps) {
  std::vector<AppSiteRow>& rows = host_.Rows();
  const std::string& rowSite = job.rowData.site;
  const std::string& version = host_.App().version;
  SiteResult held;
  held.site = rowSite;
  held.kind = job.rowData.submit;
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
    }
  }
  if (held.reason.empty()) {
    held.outcome = "not-sent";
    const StepStanding* last = nullptr;
    for (const auto& s : job.standings) {
      if (s.state == StepState::Delivered && (!last || s.when > last->when)) last = &s;
    }
    held.reason = "already sent version " + version + " on " + last->when;
    outcomes_.Log(rowSite + ": " + held.reason + "; not sent again");
    // A run that ended before its table was saved left the row's mark behind the
    // history: the history holds.
    AppSiteRow& r = rows[i];
    const std::string date = RecordDate(last->when);
    if (r.submit != "Update" || (!date.empty() && r.lastPost != date)) {
      r.submit = "Update";
      if (!date.empty()) r.lastPost = date;
      outcomes_.MarkChanged();
    }
  } else {
    held.outcome = "uncertain";
    for (const auto& step : held.steps) {
      if (step.status == "uncertain") outcomes_.Log(rowSite + ": " + step.detail);
    }
  }
  outcomes_.Held(std::move(held));
}

std::vector<std::size_t> SubmissionRun::PostedRows() const {
  std::vector<std::size_t> indexes;
  const AppProfile& app = host_.App();
  const auto& rows = host_.Rows();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (RowPosted(rows[i]) && SiteFitsApp(rows[i], app.platform, app.status)) indexes.push_back(i);
  }
  return indexes;
}

bool SubmissionRun::ReviewFindings() {
  const AppProfile& app = host_.App();
  const auto& rows = host_.Rows();
  PreCheckTarget target;
  target.rows = &rows;
  target.indexes = PostedRows();
  target.smtpServer = settings_.smtp;
  target.senderEmail = settings_.email;
  target.rootDir = host_.Tree().ProgramDir;
  std::vector<Finding> findings;
  try {
    PreCheck check(
        host_.Eng(),
        [this](const std::string& name) {
          if (!host_.OpenSite(name)) return false;
          // Kept for the walk, up to a bound that keeps a large table's run small.
          if (checked_.size() < kKeptDefinitions) checked_.insert_or_assign(name, host_.Site());
          return true;
        },
        [this]() -> const SiteDefinition& { return host_.Site(); });
    findings = check.Run(target);
    auto more = host_.MoreFindings();
    findings.insert(findings.end(), more.begin(), more.end());
    if (!sendAgain_ && !app.version.empty()) {
      // Steps that may have reached their sites are not sent unless the person asks.
      auto uncertain = UncertainFindings(outcomes_.History(), rows, target.indexes, app.version,
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
  summary_ = RunSummary{};
  summary_.application = app.name;
  summary_.version = app.version;
  alreadySent_.clear();
  held_.clear();
  try {
    outcomes_.Open(host_.Tree().HistoryFile(app.name), app.version);
  } catch (const std::exception& e) {
    // The history says what each site already has: without it a site could get the
    // same version twice, so nothing is sent.
    prompt_.Error("Nothing was sent: the history of " + app.name + " " + e.what() +
                  ". It tells the run what each site already got.");
    return false;
  }
  if (sendAgain_ || app.version.empty()) return true;
  alreadySent_ = AlreadySentSites(
      outcomes_.History(), host_.Rows(), PostedRows(), app.version,
      [this](const std::string& name) -> const SiteDefinition* {
        try {
          return host_.OpenSite(name) ? &host_.Site() : nullptr;
        } catch (const std::exception&) {
          return nullptr;
        }
      },
      &held_);
  return true;
}

bool SubmissionRun::Confirm() {
  RunConfirmation c;
  c.counts = counts_;
  c.findings = findings_;
  c.version = host_.App().version;
  c.alreadySent = alreadySent_;
  // The sites this run sends nothing to unless the person asks: those that got every
  // step and those whose only steps left may have reached them.
  std::vector<AppSiteRow> sent;
  for (const auto& row : host_.Rows()) {
    if (std::find(held_.begin(), held_.end(), row.site) == held_.end()) continue;
    sent.push_back(row);
    sent.back().post = "Y";
  }
  c.sent = vendrix::CountSitesToPost(sent, host_.App().platform, host_.App().status);
  if (!view_.ConfirmRun(c) || !c.MayStart()) return false;
  resend_ = sendAgain_ || c.sendAgain;
  return true;
}

}  // namespace vendrix
