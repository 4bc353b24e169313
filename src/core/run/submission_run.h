#pragma once
// The submission run: checks the application and the marked sites, asks for
// confirmation, walks the site table and runs for each posted site the FTP upload,
// the HTTP form post and the e-mail, in that order; marks the successful rows
// "Update" with today's date (saving the table after every site), and ends with the
// HTML reports. The run blocks its caller (a worker thread in the GUI); Skip() and
// Cancel() may be called from any thread and interrupt the network action in
// progress at once. Everything else belongs to the run's thread.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/line_list.h"
#include "catalogue/site_table.h"
#include "net/ftp_form.h"
#include "net/http_client.h"
#include "run/post_history.h"
#include "run/run_host.h"
#include "run/run_report.h"
#include "run/run_results.h"
#include "run/run_view.h"
#include "run/table_saver.h"
#include "script/submission.h"

namespace vendrix {

class UserPrompt;
class SubmissionBuilder;
class CompressedFileCache;

class TSMTPForm;

class SubmissionRun : private SubmissionLog {
 public:
  enum class Outcome { Refused, Completed, Cancelled };

  SubmissionRun(RunHost& host, RunView& view, UserPrompt& prompt, const Clock& clock);
  ~SubmissionRun() override;

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
  // Cancel without the question (the command line's Ctrl-C).
  void Cancel();
  // "Cancel": asks "Sure you want to cancel all posts?" through prompt (the caller's
  // thread), then cancels; true when cancelled.
  bool CancelClick(UserPrompt& prompt);
  bool Posting() const { return posting_; }
  // Whether a message is being handed to a mail server (Cancel waits for it).
  bool MailInProgress();
  // What the run says when a cancel waits for the mail server.
  static constexpr const char* kMailWaitText =
      "Waiting for the mail server to confirm the message (at most 10 minutes)";

  // The three steps for the current site (one FTP attempt each call).
  bool DoFtpUpload();
  bool DoHttpPost(bool isNew);
  bool DoEmailPost(bool isNew, int row, bool isCopy);

  const PostCounts& Counts() const { return counts_; }
  const TReportsFrm& Report() const { return report_; }
  const Lines& Log() const { return log_; }
  const Lines& FtpList() const { return ftplist_; }
  int SitesProcessed() const { return sitesProcessed_; }
  // Each site's steps and outcome, in the order the sites ended, and the run's figures
  // (also in "run.json" in the run's report folder).
  const std::vector<SiteResult>& Results() const { return results_; }
  const RunSummary& Summary() const { return summary_; }
  bool HttpTimedOut() const { return httpTimedOut_; }

  // The Submit page's texts.
  static constexpr const char* kIdle = "Idle";

 private:
  // SubmissionLog: the run log, the page being built, the FTP log.
  void AddLogLine(const std::string& line) override;
  void AddReportLine(const std::string& line) override;
  void AddFtpLine(const std::string& line) override;

  // A file sent to the current site: its SHA-256 on the site's page and in its result.
  void RecordSentFile(const std::string& step, const std::string& name, const std::string& path,
                      bool confirmed);
  // Waits ms before a step is tried again; false when Skip or Cancel ended the wait.
  bool WaitBeforeRetry(int ms);
  // One FTP attempt; DoFtpUpload turns any error it throws into a failed attempt.
  bool FtpAttempt();
  // Runs a step; an error it throws is that step's failure, logged, never the run's end.
  bool Guarded(RunStep step, const std::function<bool()>& action);
  bool CheckApplication();
  bool OfferSaves();
  bool RowPosted(const AppSiteRow& row) const;
  // The site loop; false when it stopped after a cancel.
  bool WalkSites();
  bool ReviewFindings();
  void LoadHistory();
  // The confirmation window; false when the person or the findings stop the run.
  bool Confirm();
  void StepEnded(const char* step, bool ok);
  // The report page of the step that ended last.
  void StepPage(std::string page);
  void SiteEnded(std::string outcome, std::string reason);
  void RecordPost(const AppSiteRow& row, bool isNew);
  void CountOutcome(bool success);
  void RowOutcome(int row, bool success);
  void SaveTable();
  void AllIdle();
  void LightLamp(RunStep step);
  void EnterPostingMode();
  void LeavePostingMode();
  void EndRun(bool cancelled);
  void AskViewReport();
  // The password masked where it stands as a value: in a command line the client
  // sent (PASS, ACCT, AUTH) and as a word of what a server said; never in the words
  // of other lines (a site or user named like the password stays readable).
  std::string MaskTrail(const std::string& line) const;
  std::string MaskWords(std::string text) const;
  void ClearXfer();
  const std::string& SiteName() const;

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
  std::string historyPath_;
  std::vector<SiteResult> results_;
  SiteResult current_;
  RunSummary summary_;
  std::string lastLogLine_;  // the detail of a failed step

  ProgramSettings settings_;
  PostCounts counts_;
  TReportsFrm report_;
  std::unique_ptr<CompressedFileCache> compressed_;  // the program compressed once per run
  std::unique_ptr<SubmissionBuilder> builder_;
  THttpClient HTTP1;
  FtpRunState ftpState_;
  TftpForm1 ftpForm_;

  TableSaver tableSaver_;
  Lines log_, ftplist_, xfer_;
  std::size_t xferBytes_ = 0;
  int transferLines_ = 0;
  std::string secret_;  // the password of the step in progress (FTP or SMTP)

  std::atomic<bool> posting_{false};
  std::atomic<bool> skipRequested_{false};
  std::atomic<bool> cancelRequested_{false};
  std::atomic<bool> httpTimedOut_{false};
  std::mutex mailMutex_;
  TSMTPForm* mailForm_ = nullptr;  // the mail window of the e-mail step in progress
  int currentSiteIndex_ = -1;
  int sitesProcessed_ = 0;
  int toPost_ = 0;
};

}  // namespace vendrix
