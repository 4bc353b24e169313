#pragma once
// RunBoard: the sites a run has in flight, one place per poster: which site, its step,
// what that step says and the bytes it has moved. The posters' news changes it from
// their threads; the run's thread shows it: the in-flight list whenever a site starts,
// changes step or status, or ends, a change of byte counts alone at most every 200 ms,
// and with several sites at once also the lamps, the steps' status texts and the
// current site (a lamp blinks while any site is in its step, a step's status is that
// of the site that has waited longest in it; only what changed is shown).
//
// Every member may be called from any thread except Show and NextShow, which belong to
// the run's thread.
#include <array>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "run/run_view.h"

namespace vendrix {

class RunBoard {
 public:
  using Clock = std::chrono::steady_clock;

  // places: how many sites may be in flight; several: whether more than one is.
  RunBoard(RunView& view, int places, bool several);

  void Started(int place, const std::string& site);
  // The site entered a step (its byte count starts again) or its step said something.
  void Step(int place, RunStep step);
  void Status(int place, RunStep step, const std::string& text);
  void Bytes(int place, long long bytes);
  void Ended(int place);

  // Shows what changed (force: the list whatever changed).
  void Show(bool force);
  // When a byte count waiting to be shown is due; nullopt when none waits.
  std::optional<Clock::time_point> NextShow() const;

 private:
  RunView& view_;
  const bool several_;
  mutable std::mutex mutex_;
  std::vector<std::optional<SiteInFlight>> places_;
  bool changed_ = false;  // anything, byte counts too
  bool moved_ = false;    // a site started, ended or changed step or status
  Clock::time_point shown_{};
  // What the view shows of several sites at once (the run's thread).
  std::string shownSite_;
  std::array<LampState, 3> shownLamps_{};
  std::array<std::string, 3> shownStatus_{kIdleStatus, kIdleStatus, kIdleStatus};
};

}  // namespace vendrix
