#pragma once
// StepLedger: the run's record of its steps as a poster sees it. A step calls Begin
// just before it writes what a site could register (the HTTP request, FTP STOR, SMTP
// DATA) and End with what came of it. Begin returns once its record (and every one
// before it) is on the disk; End once its record is in the file.
// Both throw VendrixError when the history cannot be written; the step then sends
// nothing more. Any thread.
#include <array>

#include "catalogue/site_table.h"
#include "run/post_history.h"
#include "run/run_view.h"

namespace vendrix {

class StepLedger {
 public:
  virtual ~StepLedger() = default;
  virtual void Begin(const AppSiteRow& row, RunStep step) = 0;
  virtual void End(const AppSiteRow& row, RunStep step, StepState state) = 0;
  // One file of the FTP step is on the site (remote: its path there).
  virtual void FileSent(const AppSiteRow& /*row*/, const std::string& /*remote*/) {}
};

// Where each step of a site stands before it is posted, by RunStep.
using StepStandings = std::array<StepStanding, 3>;

inline std::size_t StepSlot(RunStep step) {
  return static_cast<std::size_t>(step);
}

}  // namespace vendrix
