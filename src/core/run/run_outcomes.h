#pragma once
// RunOutcomes: what a submission run keeps of what it did. The run log (each line with
// the time it was said), the application's history with the run's ledger of steps,
// each site's outcome taken in (its pages saved and listed, its row marked, its post
// line, the counters and the run's results), the site table saved at most once a second
// and at the end, and at the end the log page, the main report and "run.json".
//
// Failures: Open throws VendrixError when the history cannot be read or written; a page,
// the table or a report that cannot be written is said in the log and, for the
// reports, in End's answer; nothing else throws. The run's thread, except Abandon and
// Ledger's records (any thread).
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/line_list.h"
#include "catalogue/site_table.h"
#include "run/post_history.h"
#include "run/run_host.h"
#include "run/run_ledger.h"
#include "run/run_report.h"
#include "run/run_results.h"
#include "run/run_view.h"
#include "run/site_poster.h"
#include "run/table_saver.h"

namespace vendrix {

class RunOutcomes {
 public:
  RunOutcomes(RunHost& host, RunView& view, TReportsFrm& report, const Clock& clock);

  // A new run: the log, the results and the figures start empty.
  void Reset(const std::string& application, const std::string& version);
  // Reads the application's history (path: UTF-8) and opens its ledger for the
  // version; throws VendrixError (with the reason) when either cannot be done.
  void Open(const std::string& path, const std::string& version);
  const PostHistory& History() const { return history_; }
  StepLedger* Ledger() { return ledger_.get(); }
  // The steps in flight recorded as uncertain (the program ends at once). Any thread.
  void Abandon();

  // The run log: shown and kept with the time it was said (TimeNow by default).
  void Log(const std::string& line);
  void LogAt(const std::string& time, const std::string& line);
  const Lines& LogLines() const { return log_; }

  // How many sites the run counts to post (the confirmation's total).
  void Expect(int total);
  int Processed() const { return processed_; }
  // A site that ends before any step: its result (outcome and reason) recorded and shown.
  void Unposted(const AppSiteRow& row, const char* outcome, const std::string& why);
  // A marked site whose definition cannot be read: a failed site, its row left as it was.
  void Unreadable(int row, const AppSiteRow& data, const std::string& why);
  // A site not sent because the history says it has (or may have) every step: its
  // result shown and counted as not sent.
  void Held(SiteResult result);
  // A site's outcome taken in: pages saved, row marked, post line, counters, result.
  // cancelling: the run is being cancelled (a cancelled site is not counted as failed
  // unless a step ran). Returns false when the history could not be written: the run
  // must send nothing more.
  bool Finish(const SiteJob& job, SiteOutcome outcome);

  // A row's mark changed: the table is saved when a save is due, else later.
  void MarkChanged();
  void SaveIfDue();
  // When a mark waiting to be saved is due; nullopt when none waits.
  std::optional<std::chrono::steady_clock::time_point> NextSave() const;

  // Saves the table, writes the log page, the main report and run.json (summary
  // completed with the run's figures). False when a report could not be written.
  bool End(bool cancelled, RunSummary& summary);
  const std::vector<SiteResult>& Results() const { return results_; }

 private:
  void RowOutcome(int row, bool success);
  void Count(bool success);
  void Processed1();
  void RecordPost(const AppSiteRow& row, bool isNew, const SiteResult& result);

  RunHost& host_;
  RunView& view_;
  TReportsFrm& report_;
  const Clock& clock_;
  PostHistory history_;
  std::mutex ledgerMutex_;  // ledger_ as Abandon sees it
  std::unique_ptr<RunLedger> ledger_;
  std::string version_;
  std::vector<SiteResult> results_;
  Lines log_, logTimes_;
  int total_ = 0, processed_ = 0;
  TableSaver tableSaver_;
  bool tableChanged_ = false;  // a mark not yet handed to the saver
};

}  // namespace vendrix
