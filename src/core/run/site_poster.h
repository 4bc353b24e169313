#pragma once
// SitePoster: posts one site of a submission run: the FTP upload, the HTTP form post
// and the e-mail, in that order, each with its retries, and builds the site's report
// pages. A run has one poster per site in flight: on the run's own thread when sites
// are posted one after another, on a worker thread each when several are posted at
// once. A poster's network clients, expansion engine, site definition, row and work
// folder are its own; what it shares (the profiles, the compressed program, the host
// slots, the prompt) is read-only or guarded.
//
// What the poster says goes to its PosterSink, on the poster's thread. Skip() and
// Cancel() may be called from any thread and interrupt the action in progress at once.
// Post() never throws: an error of a step is that step's failure.
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "base/data_tree.h"
#include "base/line_list.h"
#include "base/program_settings.h"
#include "catalogue/site_definition.h"
#include "catalogue/site_table.h"
#include "net/http_client.h"
#include "run/ftp_form.h"
#include "run/host_slots.h"
#include "run/run_report.h"
#include "run/run_results.h"
#include "run/run_view.h"
#include "run/site_step.h"
#include "run/step_ledger.h"
#include "script/eng_build.h"
#include "script/submission.h"

namespace vendrix {

class CompressedFileCache;
class SubmissionBuilder;
class TSMTPForm;
class SitePoster;

// One site to post: its row (a copy), its place in the table, its definition, and
// where each of its steps stands in the history (a step delivered or uncertain is not
// sent; all None sends the site whole).
struct SiteJob {
  int row = -1;
  AppSiteRow rowData;
  SiteDefinition site;
  StepStandings standings{};
  // Files of an FTP step not delivered as a whole that reached the site all the same
  // (their remote paths): not sent again.
  std::vector<std::string> ftpSent;
};

// A page the poster built, saved by the run (which names the file and lists it).
struct BuiltPage {
  std::string method;  // "FTP", "HTTP", "EMAIL"
  Lines lines;
  Lines answer;  // the site's answer (HTTP)
};

// What came of a site.
struct SiteOutcome {
  SiteResult result;  // steps (without page names), files, outcome and reason
  bool success = false;
  bool skipped = false;
  bool ran = false;              // a step tried to send something
  bool cancelled = false;        // the run's cancel ended it before its last step
  bool uncertain = false;        // a step may have reached the site, nobody can tell
  bool historyFailed = false;    // the history could not be written: the run must stop
  std::vector<BuiltPage> pages;  // in step order, one per step that ran
};

// Where a poster's lines and status go.
class PosterSink {
 public:
  virtual ~PosterSink() = default;
  virtual void LogLine(SitePoster& poster, const std::string& line) = 0;
  virtual void FtpLine(SitePoster& poster, const std::string& line) = 0;
  virtual void FtpListCleared(SitePoster& poster) = 0;
  virtual void Status(SitePoster& poster, RunStep step, const std::string& text) = 0;
  virtual void Lamp(SitePoster& poster, RunStep step, LampState state) = 0;
  virtual void HttpBytes(SitePoster& poster, long long bytes, const std::string& text) = 0;
  // The bytes an FTP upload has sent so far.
  virtual void FtpBytes(SitePoster& poster, long long bytes) = 0;
  virtual void XferLine(SitePoster& poster, const std::string& text) = 0;
  virtual void XferCleared(SitePoster& poster) = 0;
};

// What every poster of a run shares. The objects outlive the posters.
struct PosterShared {
  TEngBuild* eng = nullptr;  // the session's engine: its store and expansion context
  const DataTree* tree = nullptr;
  const TReportsFrm* report = nullptr;  // SiteHead and ReportLine only
  CompressedFileCache* compressed = nullptr;
  HostSlots* hostSlots = nullptr;
  UserPrompt* prompt = nullptr;  // safe to call from the poster's thread
  ProgramSettings settings;
  std::string proxy;
  std::uint16_t proxyPort = 0;
  std::string companyEmail;
  const std::atomic<bool>* cancel = nullptr;  // the run's Cancel
  StepLedger* ledger = nullptr;               // where the steps are recorded
};

class SitePoster : private SubmissionLog {
 public:
  // filesDir: the folder (UTF-8, ending in '/') for this poster's text files and
  // archives.
  SitePoster(const PosterShared& shared, PosterSink& sink, std::string filesDir);
  ~SitePoster() override;
  SitePoster(const SitePoster&) = delete;
  SitePoster& operator=(const SitePoster&) = delete;

  // Readies the poster for its next site: a Skip from now on skips that site. The
  // run calls it when it hands the site over (a Skip of the site listed in flight is
  // never lost to the poster's start).
  void Arm();
  SiteOutcome Post(SiteJob job);

  // "Skip": ends the step in progress, unless its request is already being written
  // (then it ends as the site answers), and leaves the site's other steps unstarted.
  void Skip();
  // After the run's cancel flag was set: interrupts the action in progress unless its
  // request is already being written.
  void Interrupt();
  bool SkipRequested() const { return skip_; }
  // Whether a message is being handed to a mail server.
  bool MailInProgress();
  bool HttpTimedOut() const { return httpTimedOut_; }
  // The site being posted (empty between sites); the poster's thread only.
  const std::string& SiteName() const { return siteName_; }

  // The password masked where it stands as a value: in a command line the client
  // sent (PASS, ACCT, AUTH) and as a word of what a server said; never in the words
  // of other lines (a site or user named like the password stays readable).
  std::string MaskTrail(const std::string& line) const;
  std::string MaskWords(std::string text) const;

 private:
  // SubmissionLog: the run log, the page being built, the FTP log.
  void AddLogLine(const std::string& line) override;
  void AddReportLine(const std::string& line) override;
  void AddFtpLine(const std::string& line) override;

  bool Stopped() const { return skip_ || (shared_.cancel && *shared_.cancel); }
  void BeginPage(RunStep step);
  void EndPage(const Lines& answer = {});
  void RunSteps(bool& success, bool& ran);
  // The steps' work (ftp_step.cpp, http_step.cpp, email_step.cpp).
  friend class FtpStep;
  friend class HttpStep;
  friend class MailStep;
  StepEnd FtpUpload();
  StepEnd FtpTry();
  StepEnd FtpAttempt();
  StepEnd HttpPost(bool isNew);
  StepEnd MailPost(bool isNew, bool isCopy);
  void RecordSentFile(const std::string& step, const std::string& name, const std::string& path,
                      bool confirmed);
  bool WaitBeforeRetry(int ms);
  // The action's end; an error no step handler foresaw fails the step.
  StepEnd Guarded(RunStep step, const std::function<StepEnd()>& action);
  void StepEnded(RunStep step, const StepEnd& end);
  // A step that is not sent: delivered before, or uncertain (true).
  bool Held(RunStep step);
  // The hook before a request: false when the site is stopped or the history cannot
  // be written (nothing is sent); else the step is begun and cannot be interrupted.
  bool Commit(RunStep step);
  // What came of the step begun last (nothing when none was begun).
  void Settle(RunStep step, StepState state);
  void InterruptNow();
  void ClearXfer();

  const PosterShared& shared_;
  PosterSink& sink_;
  DataTree tree_;  // the data tree with this poster's files folder
  SiteJob job_;
  TEngBuild eng_;
  std::unique_ptr<SubmissionBuilder> builder_;
  THttpClient http_;
  FtpRunState ftpState_;
  TftpForm1 ftpForm_;
  std::unique_ptr<HostSlots::Hold> ftpHold_;  // the FTP server's slots while logged on

  std::string siteName_;
  SiteOutcome outcome_;
  Lines page_;  // the page being built
  RunStep pageStep_ = RunStep::Ftp;
  Lines ftpLines_;
  Lines xfer_;
  std::size_t xferBytes_ = 0;
  int transferLines_ = 0;
  std::string lastLogLine_;  // what the builder said last (its failures' words)
  std::array<std::unique_ptr<SiteStep>, 3> steps_;  // by RunStep
  std::string secret_;  // the password of the step in progress (FTP or SMTP)

  std::mutex commitMutex_;
  std::atomic<bool> committed_{false};  // set under commitMutex_: a request is being written
  std::array<bool, 3> begun_{};         // a step's "begun" is recorded, its end not yet
  std::array<StepState, 3> ended_{};    // how each step ended in this site's run
  bool storeBegun_ = false;             // the current FTP file's STOR went out
  std::set<std::string> stored_;        // files the FTP step has sent (not sent again on a retry)
  std::string ledgerError_;             // why the history could not be written

  std::atomic<bool> skip_{false};
  CancelToken stop_;  // raised with skip_ or the run's cancel: ends the clients' waits
  std::atomic<bool> httpTimedOut_{false};
  std::mutex mailMutex_;
  TSMTPForm* mailForm_ = nullptr;  // the mail window of the e-mail step in progress
};

}  // namespace vendrix
