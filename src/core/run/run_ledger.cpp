#include "run/run_ledger.h"

#include <algorithm>

namespace vendrix {

RunLedger::RunLedger(const std::string& path, std::string version, const Clock& clock)
    : writer_(path), version_(std::move(version)), clock_(clock) {}

void RunLedger::Begin(const AppSiteRow& row, RunStep step) {
  {
    std::lock_guard lock(mutex_);
    inFlight_.push_back({row.site, row.submit, step});
  }
  writer_.Append(PostHistory::StepLine(Record(row.site, row.submit, step, StepState::Begun)));
}

void RunLedger::End(const AppSiteRow& row, RunStep step, StepState state) {
  {
    std::lock_guard lock(mutex_);
    std::erase_if(inFlight_, [&](const Flight& f) { return f.site == row.site && f.step == step; });
  }
  // Not flushed on its own: a kill cannot undo a write, and the next step's begin (or
  // the end of the run) takes it to the disk. Lost with the power, the step reads as
  // begun, which is never sent again either.
  writer_.Append(PostHistory::StepLine(Record(row.site, row.submit, step, state)), false);
}

void RunLedger::FileSent(const AppSiteRow& row, const std::string& remote) {
  // Flushed with the next begin, as an end is.
  writer_.Append(PostHistory::StepLine({row.site, version_, Now(), row.submit, FtpFileStep(remote),
                                        StepState::Delivered}),
                 false);
}

void RunLedger::Post(const HistoryEntry& entry) {
  const std::string line = PostHistory::PostLine(entry);
  if (!line.empty()) writer_.Append(line, false);
}

void RunLedger::Abandon() {
  std::string lines;
  {
    std::lock_guard lock(mutex_);
    for (const auto& f : inFlight_) {
      lines += PostHistory::StepLine(Record(f.site, f.kind, f.step, StepState::Uncertain));
    }
    inFlight_.clear();
  }
  if (!lines.empty()) writer_.Append(std::move(lines));
}

std::string RunLedger::Now() const {
  const std::tm now = clock_.Now();
  return HistoryTime(now.tm_year + 1900, now.tm_mon + 1, now.tm_mday, now.tm_hour, now.tm_min,
                     now.tm_sec);
}

StepRecord RunLedger::Record(const std::string& site, const std::string& kind, RunStep step,
                             StepState state) const {
  return {site, version_, Now(), kind, StepName(step), state};
}

void RunLedger::Summarise(const std::vector<SiteResult>& sites, RunSummary& s) {
  s.succeeded = s.failed = s.skipped = s.uncertain = s.notSent = 0;
  for (const auto& r : sites) {
    int* count = r.outcome == "succeeded"   ? &s.succeeded
                 : r.outcome == "skipped"   ? &s.skipped
                 : r.outcome == "uncertain" ? &s.uncertain
                 : r.outcome == "not-sent"  ? &s.notSent
                                            : &s.failed;
    ++*count;
  }
}

}  // namespace vendrix
