#include "app/manifest_export.h"

#include "base/cp1252.h"
#include "exchange/manifest_chocolatey.h"
#include "exchange/manifest_scoop.h"
#include "exchange/manifest_winget.h"
#include "profiles/program_file.h"
#include "run/file_digest.h"

namespace vendrix {

std::optional<unsigned> ChannelsFromWord(const std::string& word) {
  if (word == "winget") return kWinget;
  if (word == "scoop") return kScoop;
  if (word == "chocolatey") return kChocolatey;
  if (word == "all") return kAllChannels;
  return std::nullopt;
}

ManifestPlan PlanManifests(const CompanyProfile& company, const AppProfile& app, unsigned channels,
                           bool pack, const std::string& baseDir) {
  ManifestPlan plan;
  plan.programPath = ProgramFilePath(app, baseDir);
  std::string sha256;
  if (!plan.programPath.empty()) {
    if (auto digest = DigestFile(plan.programPath)) sha256 = digest->sha256;
  }
  plan.facts = GatherManifestFacts(company, app, sha256);
  const ManifestFacts& f = plan.facts;
  auto add = [&plan](std::vector<ManifestFinding> more) {
    plan.findings.insert(plan.findings.end(), more.begin(), more.end());
  };
  if (channels & kWinget) add(CheckWinget(f));
  if (channels & kScoop) add(CheckScoop(f));
  if (channels & kChocolatey) add(CheckChocolatey(f));
  if (!plan.findings.empty()) return plan;

  if (channels & kWinget) {
    plan.sets.push_back({"winget", f.version, VersionSource::InPath, WingetManifests(f)});
  }
  if (channels & kScoop) {
    plan.sets.push_back({"scoop", f.version, VersionSource::ScoopJson, {ScoopManifest(f)}});
  }
  if (channels & kChocolatey) {
    auto files = ChocolateyFiles(f);
    plan.sets.push_back({"chocolatey", f.version, VersionSource::NuspecText, files});
    if (pack) {
      plan.sets.push_back(
          {"chocolatey", f.version, VersionSource::InPath, {ChocolateyPackage(f, files)}});
    }
  }
  return plan;
}

std::vector<ManifestFinding> PackageFindings(const CompanyProfile& company, const AppProfile& app,
                                             const std::string& baseDir) {
  if (!HasPackageKeys(app)) return {};
  return PlanManifests(company, app, kAllChannels, false, baseDir).findings;
}

std::vector<Finding> PackagePreCheckFindings(const CompanyProfile& company, const AppProfile& app,
                                             const std::string& baseDir) {
  std::vector<Finding> out;
  for (const auto& m : PackageFindings(company, app, baseDir)) {
    out.push_back({FindingSeverity::Error, m.channel, m.field,
                   Utf8ToCp1252(m.rule + " (value: \"" + m.value + "\")")});
  }
  return out;
}

}  // namespace vendrix
