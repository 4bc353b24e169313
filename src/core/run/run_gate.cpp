#include "run/run_gate.h"

#include "base/cp1252.h"
#include "base/file_io.h"
#include "base/names.h"
#include "profiles/program_file.h"

namespace vendrix {

std::string ApplicationProblem(const AppProfile& app, const std::string& rootDir) {
  if (app.name.empty()) return "You have not selected an app to submit.";
  if (app.char8.empty()) return "The 8 Character Filename for this app is blank.";
  if (app.platform.empty()) return "You have not selected the platform for this application";
  if (app.submitter.empty()) return "You have not selected the distribution for this application";
  if (app.status.empty()) return "You have not selected the status for this application";
  if (app.localPath.empty() || !FileExists(ProgramFilePath(app, rootDir))) {
    return "You have selected an invalid local path for this application's file.";
  }
  if (!app.icoPath.empty() && !FileExists(ProfileFilePath(app.icoPath, rootDir))) {
    return "You have selected an invalid path for the Ico file.";
  }
  if (!app.gifPath.empty() && !FileExists(ProfileFilePath(app.gifPath, rootDir))) {
    return "You have selected an invalid path for the Gif file.";
  }
  if (!app.screenPath.empty() && !FileExists(ProfileFilePath(app.screenPath, rootDir))) {
    return "You have selected an invalid path for the Screen Shot file.";
  }
  if (!app.otherPath.empty() && !FileExists(ProfileFilePath(app.otherPath, rootDir))) {
    return "You have selected an invalid path for the \"Other\" file.";
  }
  return "";
}

std::vector<std::string> AlreadySentSites(
    const PostHistory& history, const std::vector<AppSiteRow>& rows,
    const std::vector<std::size_t>& indexes, const std::string& version,
    const std::function<const SiteDefinition*(const std::string&)>& open,
    std::vector<std::string>* held) {
  std::vector<std::string> out;
  for (std::size_t i : indexes) {
    const AppSiteRow& row = rows[i];
    const SiteDefinition* def = open(row.site);
    if (!def) continue;
    const auto steps = StepsOf(*def, row.submit == "New");
    const auto standings = StandingsOf(history, row.site, version, steps);
    bool any = false, all = true, unsure = false, settled = true;
    for (std::size_t k = 0; k < steps.size(); ++k) {
      if (!steps[k]) continue;
      any = true;
      all = all && standings[k].state == StepState::Delivered;
      unsure = unsure || standings[k].state == StepState::Uncertain;
      settled = settled && (standings[k].state == StepState::Delivered ||
                            standings[k].state == StepState::Uncertain);
    }
    if (held && any && settled) held->push_back(row.site);
    if (unsure) {
      out.push_back(row.site + " (may have it: check the site)");
    } else if (any && all) {
      out.push_back(row.site);
    }
  }
  return out;
}

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
