#pragma once
// How a submission run shows itself: the Submit page's current site, status texts,
// lamps, byte count, counters, progress bar and lists, the switch to the Sites page,
// posting mode, and the two windows of its own (the confirmation window with the
// counts, the Settings window). The run calls these on its own thread; a GUI marshals
// them to its screen. Every call has a quiet default so a view shows what it wants.
#include <chrono>
#include <string>
#include <vector>

#include "catalogue/site_table.h"
#include "run/precheck.h"
#include "run/run_confirmation.h"
#include "run/run_results.h"

namespace vendrix {

enum class RunStep { Ftp, Http, Mail };
enum class LampState { Off, Lit, Blinking };
// A step as the reports and lists name it: "FTP", "HTTP", "EMAIL".
inline const char* StepName(RunStep step) {
  switch (step) {
    case RunStep::Ftp:
      return "FTP";
    case RunStep::Http:
      return "HTTP";
    case RunStep::Mail:
      return "EMAIL";
  }
  return "";
}
// What a step's status says when no site is in it.
inline constexpr const char* kIdleStatus = "Idle";

// A site being posted: its step, what that step says now and the bytes it has
// received, and when the site started (the one that has waited longest comes first).
struct SiteInFlight {
  std::string site;
  RunStep step = RunStep::Ftp;
  std::string status;
  long long bytes = 0;
  std::chrono::steady_clock::time_point since;
};

class RunView {
 public:
  virtual ~RunView() = default;

  virtual void CurrentSite(const std::string& /*name*/) {}  // empty when idle
  virtual void Status(RunStep /*step*/, const std::string& /*text*/) {}
  virtual void Lamp(RunStep /*step*/, LampState /*state*/) {}
  virtual void HttpBytes(const std::string& /*text*/) {}  // empty clears it
  // "Total To Post" and "Total Processed".
  virtual void Counters(int /*toPost*/, int /*processed*/) {}
  virtual void Progress(int /*position*/, int /*maximum*/) {}
  // The run log ("log"), the FTP log ("ftplist") and the hidden list of the site's
  // answer ("xfer").
  virtual void LogLine(const std::string& /*line*/) {}
  virtual void LogCleared() {}
  virtual void FtpLine(const std::string& /*line*/) {}
  virtual void FtpListCleared() {}
  virtual void XferLine(const std::string& /*text*/) {}
  virtual void XferCleared() {}
  // The Sites page brought to the front with the row selected and in view.
  virtual void ShowSitesPage(int /*row*/) {}
  // The Sites page's "total to post" label.
  virtual void TotalToPost(int /*total*/) {}
  virtual void PostingMode(bool /*on*/) {}
  virtual void BusyCursor(bool /*on*/) {}

  // What the check before the run found (before the confirmation window, which may
  // show them); false stops the run. By default the run goes on.
  virtual bool ReviewFindings(const std::vector<Finding>& /*findings*/) { return true; }
  // The sites marked to post that already got the application's current version;
  // true sends them again, false leaves them out (the default).
  virtual bool SendAgain(const std::vector<std::string>& /*sites*/) { return false; }
  // A site has ended: its steps and outcome.
  virtual void SiteEnded(const SiteResult& /*result*/) {}
  // The sites being posted now, longest waiting first; empty when none is. Called
  // whenever a site starts, changes step or status, or ends (byte counts at most a
  // few times a second).
  virtual void SitesInFlight(const std::vector<SiteInFlight>& /*sites*/) {}

  // The confirmation window ("Submission Verification:"): true on "Start Posting!".
  virtual bool VerifySubmission(const PostCounts& counts) = 0;
  // The confirmation window with all it shows: the counts, the findings and the sites
  // already sent; the view sets the person's choices in c and returns true on "Start
  // Posting!". The run still refuses when c.MayStart() is false. By default the
  // findings were shown by ReviewFindings and do not stop the run, SendAgain answers
  // for the already-sent sites and VerifySubmission shows the counts.
  virtual bool ConfirmRun(RunConfirmation& c) {
    c.postAnyway = true;
    if (!c.alreadySent.empty()) c.sendAgain = SendAgain(c.alreadySent);
    return VerifySubmission(c.counts);
  }
  // The Settings window, modal; false when it cannot be shown or was abandoned, so
  // the run does not start.
  virtual bool OpenSettings() { return false; }
  // Opens a page (a file URL) with the desktop's browser.
  virtual void OpenPage(const std::string& /*url*/) {}
};

}  // namespace vendrix
