#include "run/run_outcomes.h"

#include <algorithm>
#include <filesystem>

#include "base/error.h"

namespace vendrix {

RunOutcomes::RunOutcomes(RunHost& host, RunView& view, TReportsFrm& report, const Clock& clock)
    : host_(host), view_(view), report_(report), clock_(clock) {}

void RunOutcomes::Reset(const std::string& /*application*/, const std::string& version) {
  version_ = version;
  results_.clear();
  log_.clear();
  logTimes_.clear();
  total_ = processed_ = 0;
  tableChanged_ = false;
}

void RunOutcomes::Open(const std::string& path, const std::string& version) {
  std::string problem;
  history_ = PostHistory::Load(path, &problem);
  if (!problem.empty()) throw VendrixError("cannot be read (" + problem + ")");
  try {
    auto ledger = std::make_unique<RunLedger>(path, version, clock_);
    std::lock_guard lock(ledgerMutex_);
    ledger_ = std::move(ledger);
  } catch (const std::exception& e) {
    throw VendrixError(std::string("cannot be written (") + e.what() + ")");
  }
}

void RunOutcomes::Abandon() {
  std::lock_guard lock(ledgerMutex_);
  if (!ledger_) return;
  try {
    ledger_->Abandon();
  } catch (const std::exception&) {
    // A step only begun already reads as uncertain.
  }
}

void RunOutcomes::Log(const std::string& line) {
  LogAt(report_.TimeNow(), line);
}

void RunOutcomes::LogAt(const std::string& time, const std::string& line) {
  view_.LogLine(line);
  log_.push_back(line);
  logTimes_.push_back(time);
}

void RunOutcomes::Expect(int total) {
  total_ = total;
  view_.Counters(total, 0);
  view_.Progress(0, total);
}

void RunOutcomes::Processed1() {
  ++processed_;
  view_.Counters(std::max(total_ - processed_, 0), processed_);
  view_.Progress(processed_, total_);
}

void RunOutcomes::Unposted(const AppSiteRow& row, const char* outcome, const std::string& why) {
  SiteResult result;
  result.site = row.site;
  result.kind = row.submit;
  result.outcome = outcome;
  result.reason = why;
  results_.push_back(result);
  view_.SiteEnded(result);
}

void RunOutcomes::Unreadable(int row, const AppSiteRow& data, const std::string& why) {
  Log(why);
  Unposted(data, "failed", why);
  RowOutcome(row, false);
}

void RunOutcomes::Held(SiteResult result) {
  ++report_.NotSentCount;
  results_.push_back(result);
  view_.SiteEnded(results_.back());
  Processed1();
}

bool RunOutcomes::Finish(const SiteJob& job, SiteOutcome outcome) {
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
  if (outcome.success) RecordPost(job.rowData, job.rowData.submit == "New", result);
  if (outcome.cancelled) {
    // Cancelled between its steps: counted as far as it went, its row left as it was.
    if (outcome.ran) Count(false);
  } else {
    RowOutcome(job.row, outcome.success);
  }
  results_.push_back(result);
  view_.SiteEnded(result);
  if (outcome.skipped) Log("SKIPPED -> " + job.rowData.site);
  return !outcome.historyFailed;
}

void RunOutcomes::RecordPost(const AppSiteRow& row, bool isNew, const SiteResult& result) {
  // Every step the site has, sent now or delivered before.
  std::string methods;
  for (const auto& step : result.steps) {
    if (step.status != "ok" && step.status != "not-sent") continue;
    if (!methods.empty()) methods += ",";
    methods += step.step == "email" ? "EMAIL" : step.step == "ftp" ? "FTP" : "HTTP";
  }
  HistoryEntry entry{row.site, version_, ledger_->Now(), isNew ? "New" : "Update", methods};
  try {
    // The steps' own records already say the site has them; this line is for
    // the history's readers that know only posts.
    ledger_->Post(entry);
  } catch (const std::exception& e) {
    Log(e.what());
  }
  history_.Add(std::move(entry));
}

void RunOutcomes::Count(bool success) {
  (success ? report_.SuccessCount : report_.FailureCount)++;
}

void RunOutcomes::RowOutcome(int row, bool success) {
  Count(success);
  if (success) {
    AppSiteRow& r = host_.Rows()[static_cast<std::size_t>(row)];
    if (r.submit != "Update") r.submit = "Update";
    r.lastPost = ShortDate(clock_.Now());
    MarkChanged();
  }
  Processed1();
}

void RunOutcomes::MarkChanged() {
  tableChanged_ = true;
  SaveIfDue();
}

void RunOutcomes::SaveIfDue() {
  if (!tableChanged_ || !tableSaver_.Due()) return;
  tableChanged_ = false;
  tableSaver_.Post(host_.SiteTableFile(), JoinLines(SiteTableLines(host_.Rows())));
}

std::optional<std::chrono::steady_clock::time_point> RunOutcomes::NextSave() const {
  if (!tableChanged_) return std::nullopt;
  return tableSaver_.DueAt();
}

bool RunOutcomes::End(bool cancelled, RunSummary& summary) {
  tableChanged_ = false;
  if (auto error = tableSaver_.Flush()) Log(*error);
  try {
    host_.SaveSiteTable();
  } catch (const VendrixError& e) {
    Log(e.what());
  }
  bool written = report_.WriteMainReport(log_, logTimes_);
  RunLedger::Summarise(results_, summary);
  summary.cancelled = cancelled;
  summary.report = std::filesystem::absolute(report_.MainReportPath).lexically_normal().string();
  summary.started = report_.RunDate + " " + report_.TimeStarted;
  summary.ended = report_.TimeCompleted;
  if (!report_.RunReportDir.empty()) {
    try {
      WriteRunJson(report_.RunReportDir + "/" + kRunJsonName, summary, results_);
    } catch (const std::exception& e) {
      written = false;
      Log(e.what());
    }
  }
  return written;
}

}  // namespace vendrix
