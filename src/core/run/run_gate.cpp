#include "run/run_gate.h"

#include "base/names.h"

namespace vendrix {

std::array<bool, 3> StepsOf(const SiteDefinition& site, bool isNew) {
  const std::string& url = isNew ? site.httpNewScriptUrl : site.httpUpdateScriptUrl;
  const std::string& to = isNew ? site.emailToName : site.emailToNameUpdate;
  std::array<bool, 3> steps{};
  steps[StepSlot(RunStep::Ftp)] = site.useFtpUpload;
  steps[StepSlot(RunStep::Http)] = site.useHttpPost && !TrimLeft(url).empty();
  steps[StepSlot(RunStep::Mail)] = site.useEmail && !TrimLeft(to).empty();
  return steps;
}

StepStandings StandingsOf(const PostHistory& history, const std::string& site,
                          const std::string& version, const std::array<bool, 3>& steps) {
  StepStandings out{};
  for (RunStep step : {RunStep::Ftp, RunStep::Http, RunStep::Mail}) {
    if (steps[StepSlot(step)]) out[StepSlot(step)] = history.StepFor(site, version, StepName(step));
  }
  return out;
}

std::string MayHaveReached(const std::string& site, const std::string& when, RunStep step) {
  return "may have reached " + site + " on " + when + " (" + StepName(step) +
         "); check the site, or send again";
}

std::vector<Finding> UncertainFindings(
    const PostHistory& history, const std::vector<AppSiteRow>& rows,
    const std::vector<std::size_t>& indexes, const std::string& version,
    const std::function<const SiteDefinition*(const std::string&)>& open) {
  std::vector<Finding> out;
  for (std::size_t i : indexes) {
    const AppSiteRow& row = rows[i];
    const SiteDefinition* def = open(row.site);
    if (!def) continue;
    const auto standings =
        StandingsOf(history, row.site, version, StepsOf(*def, row.submit == "New"));
    for (RunStep step : {RunStep::Ftp, RunStep::Http, RunStep::Mail}) {
      const StepStanding& s = standings[StepSlot(step)];
      if (s.state != StepState::Uncertain) continue;
      out.push_back({FindingSeverity::Warning, row.site, StepName(step),
                     MayHaveReached(row.site, s.when, step)});
    }
  }
  return out;
}

}  // namespace vendrix
