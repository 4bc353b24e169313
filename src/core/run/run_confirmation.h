#pragma once
// RunConfirmation: what the confirmation window shows before a run posts (the counts
// of the sites to post, the findings of the check before the run, the marked sites
// that already got this version) and the two choices the person makes there. The run
// fills it, the view shows it and sets the choices, the run acts on them: errors stop
// the run unless "Post anyway" was ticked, and the already-sent sites are sent only
// with "Send again". Plain data; the run's thread owns it, a view reads and writes it
// only inside its ConfirmRun call.
#include <string>
#include <vector>

#include "catalogue/site_table.h"
#include "run/precheck.h"

namespace vendrix {

struct RunConfirmation {
  PostCounts counts;  // every marked site that fits, the already-sent ones included
  PostCounts sent;    // the part of counts the run sends nothing to without "Send again"
  std::vector<Finding> findings;
  std::string version;  // the application's version
  // Sites that got every step of that version, and (with " (may have it: check the
  // site)") sites with a step that may have reached them; "Send again" sends them whole.
  std::vector<std::string> alreadySent;
  bool postAnyway = false;  // "Post anyway"
  bool sendAgain = false;   // "Send again"

  std::size_t Errors() const { return CountErrors(findings); }
  std::size_t Warnings() const { return findings.size() - Errors(); }
  // What will be posted: the already-sent sites count only with "Send again".
  PostCounts ToPost() const {
    if (sendAgain) return counts;
    return {counts.total - sent.total, counts.newCount - sent.newCount, counts.update - sent.update,
            counts.http - sent.http,   counts.ftp - sent.ftp,           counts.ftpZip - sent.ftpZip,
            counts.email - sent.email};
  }
  // Whether "Start Posting!" may be pressed: no error, or errors the person accepted.
  bool MayStart() const { return postAnyway || Errors() == 0; }
};

}  // namespace vendrix
