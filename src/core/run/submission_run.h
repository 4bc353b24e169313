#pragma once
// The submission run: checks the application and the marked sites, asks for
// confirmation, posts each site (its FTP upload, HTTP form post and e-mail, in that
// order), marks the successful rows "Update" with today's date and ends with the HTML
// reports. It is built from four parts:
//   the gate (run_gate, submission_gate.cpp): what will be posted, the checks, the
//     confirmation, and for each row what it still needs;
//   the pool of posters (poster_pool): the sites handed to posters on threads of their
//     own, one poster when PostAtOnce is 1 (each line shown as it comes), up to 16;
//   the board (run_board): the sites in flight as the view shows them;
//   the outcomes (run_outcomes, run_ledger): the log, the history and its ledger of
//     steps, each site's outcome, the table saves, the reports and run.json.
// With several sites at once at most two connections go to one host and two sessions
// to the mail server; each site's log lines are kept together and added to the run log
// when the site ends, and the main report lists the sites in the table's order.
//
// The run blocks its caller (a worker thread in the GUI) and calls its view on that
// thread only. Skip(), Cancel(), Pause() and Resume() may be called from any thread.
// Everything else belongs to the run's thread.
#include <array>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/line_list.h"
#include "catalogue/site_table.h"
#include "run/poster_pool.h"
#include "run/run_board.h"
#include "run/run_host.h"
#include "run/run_outcomes.h"
#include "run/run_report.h"
#include "run/run_results.h"
#include "run/run_view.h"
#include "run/site_poster.h"

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
  // No new site starts until Resume; the steps in flight go on. Any thread.
  void Pause();
  void Resume();
  // "Cancel": asks "Sure you want to cancel all posts?" through prompt (the caller's
  // thread), the run paused while the question is open, then cancels; true when
  // cancelled.
  bool CancelClick(UserPrompt& prompt);
  bool Posting() const { return posting_; }
  // Whether a message is being handed to a mail server (Cancel waits for it).
  bool MailInProgress();
  // What the run says when a cancel waits for the mail server.
  static constexpr const char* kMailWaitText =
      "Waiting for the mail server to confirm the message (at most 10 minutes)";

  const PostCounts& Counts() const { return counts_; }
  const TReportsFrm& Report() const { return report_; }
  const Lines& Log() const { return outcomes_.LogLines(); }
  // Whether the run's reports (log, main report, run.json) were all written.
  bool ReportWritten() const { return reportWritten_; }
  const Lines& FtpList() const { return ftplist_; }
  int SitesProcessed() const { return outcomes_.Processed(); }
  // Each site's steps and outcome, in the order the sites ended, and the run's figures
  // (also in "run.json" in the run's report folder).
  const std::vector<SiteResult>& Results() const { return outcomes_.Results(); }
  const RunSummary& Summary() const { return summary_; }
  bool HttpTimedOut() const { return httpTimedOut_; }
  // The most connections the run had open to one host at once (for tests).
  int MostAtOnce(const std::string& host) const;
  // The most sessions the run had open to the mail server at once (for tests).
  int MostMailSessionsAtOnce() const { return MostAtOnce(MailServerSlots(settings_.smtp)); }

  // The Submit page's texts.
  static constexpr const char* kIdle = kIdleStatus;

 private:
  class LockedPrompt;

  // The gate (submission_gate.cpp).
  bool CheckApplication();
  bool FitsApp(const SiteDefinition& def) const;
  bool OfferSaves();
  bool RowPosted(const AppSiteRow& row) const;
  // The rows posted and fit for the application, by index.
  std::vector<std::size_t> PostedRows() const;
  // False (after saying why) when the history cannot be read or written: the run
  // sends nothing then.
  bool LoadHistory();
  bool ReviewFindings();
  // The confirmation window; false when the person or the findings stop the run.
  bool Confirm();
  // The row's job, or nullopt when the row is not posted (after saying why where it
  // should).
  std::optional<SiteJob> PrepareRow(std::size_t i);
  // A site whose steps are all delivered or uncertain: not sent, its row mended to
  // what the history says.
  void HoldRow(std::size_t i, const SiteJob& job, const std::array<bool, 3>& steps);

  // The walk (submission_run.cpp): false when it stopped after a cancel.
  bool Walk(int atOnce);
  // What a poster said, shown or kept; an ended site taken in (false: stop the walk).
  bool TakeNews(PosterPool::News& news);
  bool TakeEnded(int place);
  void AllIdle();
  void EnterPostingMode();
  void LeavePostingMode();
  void EndRun(bool cancelled);
  void AskViewReport();

  RunHost& host_;
  RunView& view_;
  UserPrompt& prompt_;
  const Clock& clock_;
  std::vector<std::string> only_;
  int postAtOnce_ = 0;      // set by the caller; 0: the settings' value
  bool sendAgain_ = false;  // set by the caller: already-sent sites are sent anyway
  bool resend_ = false;     // this run sends them (the caller's or the person's choice)
  std::vector<Finding> findings_;
  // The definitions the check before the run read, by site, until the walk takes them.
  static constexpr std::size_t kKeptDefinitions = 2000;
  std::map<std::string, SiteDefinition> checked_;
  std::vector<std::string> alreadySent_;
  std::vector<std::string> held_;  // the sites sent nothing without "Send again"
  RunSummary summary_;

  ProgramSettings settings_;
  PostCounts counts_;
  TReportsFrm report_;
  RunOutcomes outcomes_;
  std::unique_ptr<CompressedFileCache> compressed_;  // the program compressed once per run
  std::unique_ptr<HostSlots> slots_;
  std::unique_ptr<LockedPrompt> lockedPrompt_;
  PosterShared shared_;
  Lines ftplist_;
  bool reportWritten_ = false;
  bool parallel_ = false;

  // The walk's pool and board while it goes on; Skip, Cancel and Pause reach them
  // from any thread.
  mutable std::mutex poolMutex_;
  std::unique_ptr<RunBoard> board_;
  std::unique_ptr<PosterPool> pool_;
  bool pausedEarly_ = false;  // a Pause that came before the pool (poolMutex_)
  // Per poster with several sites at once: its site's lines until the site ends.
  std::vector<Lines> keptLog_, keptTimes_, keptFtp_;

  std::atomic<bool> posting_{false};
  std::atomic<bool> cancelRequested_{false};
  std::atomic<bool> httpTimedOut_{false};
};

}  // namespace vendrix
