#pragma once
// SiteStep: one way a site takes a submission (the FTP upload, the HTTP form, the
// e-mail), as the poster runs it: Run sends the step to the poster's current site,
// with its retries, records it in the run's ledger as it goes, and says what came of
// it and, when the site does not have it, why in the person's words. The three steps
// are made by the poster (MakeFtpStep, MakeHttpStep, MakeMailStep) and run on its
// thread; Run never throws for a failure of the site, its server or a file.
#include <memory>
#include <string>

#include "run/run_view.h"

namespace vendrix {

class SitePoster;

// What came of a step.
struct StepEnd {
  bool ok = false;     // the site has what the step sends
  std::string reason;  // why not (empty when ok)

  static StepEnd Done() { return {true, {}}; }
  static StepEnd Failed(std::string why) { return {false, std::move(why)}; }
};

class SiteStep {
 public:
  virtual ~SiteStep() = default;
  virtual RunStep Which() const = 0;
  // isNew: a new submission rather than an update.
  virtual StepEnd Run(bool isNew) = 0;
};

std::unique_ptr<SiteStep> MakeFtpStep(SitePoster& poster);
std::unique_ptr<SiteStep> MakeHttpStep(SitePoster& poster);
std::unique_ptr<SiteStep> MakeMailStep(SitePoster& poster);

}  // namespace vendrix
