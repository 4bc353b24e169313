#pragma once
// RunLedger: the run's memory on the disk. Each step a poster begins and ends is
// appended to the application's history (StepLedger), a site that got every step gets
// the post line older programs read, and a program about to end at once marks the
// steps in flight as uncertain. It also counts the sites' outcomes into the run's
// summary, the figures of run.json.
//
// Failures: the constructor and every record throw VendrixError when the history cannot
// be opened or written. Begin, End, Post and Abandon may be called from any thread;
// Summarise belongs to the run's thread.
#include <mutex>
#include <string>
#include <vector>

#include "base/clock.h"
#include "run/post_history.h"
#include "run/run_results.h"
#include "run/step_ledger.h"

namespace vendrix {

class RunLedger : public StepLedger {
 public:
  // The history file (UTF-8 path) of the application, for its current version.
  RunLedger(const std::string& path, std::string version, const Clock& clock);

  void Begin(const AppSiteRow& row, RunStep step) override;
  void End(const AppSiteRow& row, RunStep step, StepState state) override;
  void FileSent(const AppSiteRow& row, const std::string& remote) override;
  // A site that got every step: the line older programs read too (none when the site
  // or version holds a byte such a line cannot carry).
  void Post(const HistoryEntry& entry);
  // The steps in flight, marked uncertain (the program is about to end at once).
  void Abandon();
  // "YYYY-MM-DD HH:MM:SS" now, as the records say it.
  std::string Now() const;

  // The summary's counts of each outcome of the sites.
  static void Summarise(const std::vector<SiteResult>& sites, RunSummary& summary);

 private:
  struct Flight {
    std::string site, kind;
    RunStep step;
  };
  StepRecord Record(const std::string& site, const std::string& kind, RunStep step,
                    StepState state) const;

  HistoryWriter writer_;
  std::string version_;
  const Clock& clock_;
  std::mutex mutex_;
  std::vector<Flight> inFlight_;
};

}  // namespace vendrix
