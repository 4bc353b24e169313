#include "run/run_board.h"

#include <algorithm>

namespace vendrix {
namespace {

// How long a change of byte counts alone waits before the in-flight list shows it.
constexpr auto kBytesShownEvery = std::chrono::milliseconds(200);

}  // namespace

RunBoard::RunBoard(RunView& view, int places, bool several)
    : view_(view), several_(several), places_(static_cast<std::size_t>(places)) {}

void RunBoard::Started(int place, const std::string& site) {
  std::lock_guard lock(mutex_);
  places_[static_cast<std::size_t>(place)] = SiteInFlight{site, RunStep::Ftp, "", 0, Clock::now()};
  changed_ = moved_ = true;
}

void RunBoard::Step(int place, RunStep step) {
  std::lock_guard lock(mutex_);
  auto& f = places_[static_cast<std::size_t>(place)];
  if (!f) return;
  if (f->step != step) f->bytes = 0;
  f->step = step;
  changed_ = moved_ = true;
}

void RunBoard::Status(int place, RunStep step, const std::string& text) {
  if (text == kIdleStatus) return;
  std::lock_guard lock(mutex_);
  auto& f = places_[static_cast<std::size_t>(place)];
  if (!f) return;
  // With one site at a time the step is the lamp's; with several the status says it.
  if (several_) {
    if (f->step != step) f->bytes = 0;
    f->step = step;
  }
  f->status = text;
  changed_ = moved_ = true;
}

void RunBoard::Bytes(int place, long long bytes) {
  if (bytes <= 0) return;
  std::lock_guard lock(mutex_);
  auto& f = places_[static_cast<std::size_t>(place)];
  if (!f) return;
  f->bytes = bytes;
  changed_ = true;
}

void RunBoard::Ended(int place) {
  std::lock_guard lock(mutex_);
  places_[static_cast<std::size_t>(place)].reset();
  changed_ = moved_ = true;
}

std::optional<RunBoard::Clock::time_point> RunBoard::NextShow() const {
  std::lock_guard lock(mutex_);
  if (!changed_) return std::nullopt;
  return moved_ ? Clock::now() : shown_ + kBytesShownEvery;
}

void RunBoard::Show(bool force) {
  std::vector<SiteInFlight> sites;
  {
    std::lock_guard lock(mutex_);
    const auto now = Clock::now();
    if (!force && (!changed_ || (!moved_ && now - shown_ < kBytesShownEvery))) return;
    changed_ = moved_ = false;
    shown_ = now;
    for (const auto& f : places_) {
      if (f) sites.push_back(*f);
    }
  }
  std::stable_sort(sites.begin(), sites.end(),
                   [](const SiteInFlight& a, const SiteInFlight& b) { return a.since < b.since; });
  view_.SitesInFlight(sites);
  if (!several_) return;
  const std::string current = sites.empty() ? std::string() : sites.front().site;
  if (current != shownSite_) view_.CurrentSite(shownSite_ = current);
  for (RunStep step : {RunStep::Ftp, RunStep::Http, RunStep::Mail}) {
    const auto in = std::find_if(sites.begin(), sites.end(),
                                 [step](const SiteInFlight& f) { return f.step == step; });
    const auto k = static_cast<std::size_t>(step);
    const LampState lamp = in == sites.end() ? LampState::Off : LampState::Blinking;
    const std::string status = in == sites.end() || in->status.empty() ? kIdleStatus : in->status;
    if (lamp != shownLamps_[k]) view_.Lamp(step, shownLamps_[k] = lamp);
    if (status != shownStatus_[k]) view_.Status(step, shownStatus_[k] = status);
  }
}

}  // namespace vendrix
