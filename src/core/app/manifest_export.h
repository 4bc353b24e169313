#pragma once
// The package manifests of one application, ready to check and write: the facts
// gathered from the profiles and the program file's SHA-256, every chosen channel's
// findings, and the files. The command line and the "Export Package Manifests"
// window both use it. Reads the program file (PATH); nothing is written here
// (WriteManifestSets does that). ChannelsFromWord throws nothing; PlanManifests
// throws VendrixError only when the Chocolatey package cannot be packed. Any thread.
#include <optional>
#include <string>
#include <vector>

#include "exchange/manifest_fields.h"
#include "exchange/manifest_rules.h"
#include "exchange/manifest_writer.h"
#include "run/precheck.h"

namespace vendrix {

enum ManifestChannel : unsigned { kWinget = 1, kScoop = 2, kChocolatey = 4, kAllChannels = 7 };

// "winget", "scoop", "chocolatey" or "all"; nullopt for another word.
std::optional<unsigned> ChannelsFromWord(const std::string& word);

struct ManifestPlan {
  ManifestFacts facts;
  std::string programPath;  // UTF-8, the file whose SHA-256 the manifests carry
  std::vector<ManifestFinding> findings;
  std::vector<ManifestSet> sets;  // one per channel chosen; empty when there are findings
};

// pack adds the Chocolatey .nupkg to its set. A relative PATH is read from baseDir
// (the data tree's folder, UTF-8), so a data tree can carry its program files.
ManifestPlan PlanManifests(const CompanyProfile& company, const AppProfile& app, unsigned channels,
                           bool pack, const std::string& baseDir = {});

// The findings the check before a run adds: every channel's, when the profile has
// the packages keys; none otherwise.
std::vector<ManifestFinding> PackageFindings(const CompanyProfile& company, const AppProfile& app,
                                             const std::string& baseDir = {});
// The same as errors of the check before a run (where: the channel; text: the rule
// and the value, Windows-1252), as the command line's precheck and the desktop's
// run list them.
std::vector<Finding> PackagePreCheckFindings(const CompanyProfile& company, const AppProfile& app,
                                             const std::string& baseDir = {});

}  // namespace vendrix
