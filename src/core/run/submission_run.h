#pragma once
// The submission run: checks the application and the marked sites, asks for
// confirmation, walks the site table and posts each site (its FTP upload, HTTP form
// post and e-mail, in that order, through a SitePoster); marks the successful rows
// "Update" with today's date (saving the table at most once a second and at the end;
// the history's step records hold between saves), and ends with the HTML reports.
//
// With PostAtOnce 1 the sites are posted one after another on the run's thread, each
// line shown as it comes. With more, up to that many sites are in flight at once on
// worker threads, at most two connections go to one host and two sessions to the mail
// server; each site's log lines are kept together and added to the run log when the
// site ends; outcomes, counters, the table and the reports are handled on the run's
// thread alone, and the main report lists the sites in the table's order.
//
// The run blocks its caller (a worker thread in the GUI) and calls its view on that
// thread only. Skip() and Cancel() may be called from any thread and interrupt the
// network actions in progress at once. Everything else belongs to the run's thread.
#include <array>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
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

class UserPrompt;
class CompressedFileCache;

class SubmissionRun {
 public:
  enum class Outcome { Refused, Completed, Cancelled };

  SubmissionRun(RunHost& host, RunView& view, UserPrompt& prompt, const Clock& clock);
  ~SubmissionRun();

  // Limits the run to the named sites (posted whatever their P mark, which is not
  // changed); empty: the rows marked to post.
  void SetOnly(std::vector<std::string> sites) { only_ = std::move(sites); }
  // Sends the sites that already got the application's current version too (without
  // asking the view).
  void SetSendAgain(bool on) { sendAgain_ = on; }
  // How many sites are posted at once (1 to 16), instead of the settings' PostAtOnce;
  // 0: the settings' value.
  void SetPostAtOnce(int n) { postAtOnce_ = n; }

  // "Save/Submit": the whole run. Refused when a check fails or the person says no.
  Outcome Submit();

  // Counts the rows to post; for a run also checks their categories and asks.
  bool CountSitesToPost(bool forRun);
  // The fit rule on the open site definition.
  bool SiteDefFitsApp();

  // "Skip": ends the step in progress and leaves the site's other steps unstarted;
  // every site in flight when several are.
  void Skip();
  // Skips the one site of that name when it is in flight; false when it is not.
  bool Skip(const std::string& site);
  // Cancel without the question (the command line's first Ctrl-C): no site or step
  // starts any more; requests already being written end as their sites answer.
  void Cancel();
  // For a program about to end at once (a second Ctrl-C): the steps in flight are
  // recorded as uncertain. Any thread; the run must not be used after it.
  void Abandon();
  // "Cancel": asks "Sure you want to cancel all posts?" through prompt (the caller's
  // thread), then cancels; true when cancelled.
  bool CancelClick(UserPrompt& prompt);
  bool Posting() const { return posting_; }
  // Whether a message is being handed to a mail server (Cancel waits for it).
  bool MailInProgress();
  // What the run says when a cancel waits for the mail server.
  static constexpr const char* kMailWaitText =
      "Waiting for the mail server to confirm the message (at most 10 minutes)";

  const PostCounts& Counts() const { return counts_; }
  const TReportsFrm& Report() const { return report_; }
  const Lines& Log() const { return log_; }
  // Whether the run's reports (log, main report, run.json) were all written.
  bool ReportWritten() const { return reportWritten_; }
  const Lines& FtpList() const { return ftplist_; }
  int SitesProcessed() const { return sitesProcessed_; }
  // Each site's steps and outcome, in the order the sites ended, and the run's figures
  // (also in "run.json" in the run's report folder).
  const std::vector<SiteResult>& Results() const { return results_; }
  const RunSummary& Summary() const { return summary_; }
  bool HttpTimedOut() const { return httpTimedOut_; }
  // The most connections the run had open to one host at once (for tests).
  int MostAtOnce(const std::string& host) const;
  // The most sessions the run had open to the mail server at once (for tests).
  int MostMailSessionsAtOnce() const { return MostAtOnce(MailServerSlots(settings_.smtp)); }

  // The Submit page's texts.
  static constexpr const char* kIdle = kIdleStatus;

 private:
  class SerialSink;
  class ParallelSink;
  class LockedPrompt;
  struct Worker;

  void AddLogLine(const std::string& line);
  void AddLogLineAt(const std::string& time, const std::string& line);
  bool CheckApplication();
  bool OfferSaves();
  bool RowPosted(const AppSiteRow& row) const;
  // The site loop; false when it stopped after a cancel.
  bool WalkSites();
  bool WalkSerial();
  bool WalkParallel(int atOnce);
  // The row's job, or nullopt when the row is not posted (after saying why where it
  // should).
  std::optional<SiteJob> PrepareRow(std::size_t i);
  // A site that ends before any step: its result (outcome and reason) is recorded and shown.
  void EndUnposted(const AppSiteRow& row, const char* outcome, const std::string& why);
  // A site's outcome taken in: pages saved, row marked, history, counters, result.
  void FinishSite(const SiteJob& job, SiteOutcome outcome);
  bool ReviewFindings();
  // False (after saying why) when the history cannot be read or written: the run
  // sends nothing then.
  bool LoadHistory();
  // The confirmation window; false when the person or the findings stop the run.
  bool Confirm();
  void RecordPost(const AppSiteRow& row, bool isNew, const SiteResult& result);
  void CountOutcome(bool success);
  void RowOutcome(int row, bool success);
  // A row's mark changed: the table is saved when a save is due, else later.
  void MarkChanged();
  void SaveIfDue();
  void SaveTable();
  void AllIdle();
  void EnterPostingMode();
  void LeavePostingMode();
  void EndRun(bool cancelled);
  void AskViewReport();
  // The in-flight list: shown when it changed (byte counts at most every 200 ms);
  // with several sites at once also the lamps, status texts and current site.
  void ShowFlight(bool force);

  RunHost& host_;
  RunView& view_;
  UserPrompt& prompt_;
  const Clock& clock_;
  std::vector<std::string> only_;
  int postAtOnce_ = 0;      // set by the caller; 0: the settings' value
  bool sendAgain_ = false;  // set by the caller: already-sent sites are sent anyway
  bool resend_ = false;     // this run sends them (the caller's or the person's choice)
  std::vector<Finding> findings_;
  std::vector<std::string> alreadySent_;
  PostHistory history_;
  std::unique_ptr<RunLedger> ledger_;
  std::mutex ledgerMutex_;  // ledger_ as Abandon sees it
  std::string historyPath_;
  std::vector<SiteResult> results_;
  RunSummary summary_;

  ProgramSettings settings_;
  PostCounts counts_;
  TReportsFrm report_;
  std::unique_ptr<CompressedFileCache> compressed_;  // the program compressed once per run
  std::unique_ptr<HostSlots> slots_;
  std::unique_ptr<LockedPrompt> lockedPrompt_;
  PosterShared shared_;

  TableSaver tableSaver_;
  bool tableChanged_ = false;  // a mark not yet handed to the saver
  Lines log_, ftplist_;
  Lines logTimes_;  // when each line of log_ was said
  bool reportWritten_ = false;

  // The posters at work; Skip and Cancel reach them from any thread.
  std::mutex flightMutex_;
  std::condition_variable flightCv_;
  std::vector<std::unique_ptr<Worker>> workers_;
  std::vector<SitePoster*> active_;  // the posters posting a site now
  bool flightChanged_ = false;
  bool flightMoved_ = false;  // a site started, ended or changed step
  std::chrono::steady_clock::time_point flightShown_;
  bool parallel_ = false;
  // What the view shows of several sites at once.
  std::string shownSite_;
  std::array<LampState, 3> shownLamps_{};
  std::array<std::string, 3> shownStatus_;
  bool stopWorkers_ = false;

  std::atomic<bool> posting_{false};
  std::atomic<bool> cancelRequested_{false};
  std::atomic<bool> httpTimedOut_{false};
  int sitesProcessed_ = 0;
  int toPost_ = 0;
};

}  // namespace vendrix
