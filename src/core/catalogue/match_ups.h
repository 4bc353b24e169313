#pragma once
// The match-up table: for each entry of the application's four value lists, the key
// of the site setting that holds the site's own word for it. The standard text is
// both the list entry and the key's default. Constants and pure functions: any thread.
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

inline constexpr std::size_t kMatchUpCount = 18;
// The 18 values of one site, in the order of kMatchUpTable.
using MatchUps = std::array<std::string, kMatchUpCount>;

struct MatchUpEntry {
  std::string_view standard;
  std::string_view key;
};

inline constexpr std::array<MatchUpEntry, kMatchUpCount> kMatchUpTable = {{
    {"Windows 3.1", "MUF_Windows31"},
    {"Windows 95", "MUF_Windows95"},
    {"Windows NT", "MUF_WindowsNT"},
    {"Windows 95 and NT", "MUF_Windows95NT"},
    {"Author", "MUF_Author"},
    {"Distributor", "MUF_Distributor"},
    {"Dealer", "MUF_Dealer"},
    {"User", "MUF_User"},
    {"Feature Limit Demo", "MUF_FeatureLimitDemo"},
    {"Time Limit Demo", "MUF_TimeLimitDemo"},
    {"Public Domain", "MUF_PublicDomain"},
    {"Freeware", "MUF_Freeware"},
    {"Shareware", "MUF_Shareware"},
    {"Beta", "MUF_Beta"},
    {"No Install Feature", "MUF_NoInstallFeature"},
    {"Install Feature Only", "MUF_InstallFeatureOnly"},
    {"Uninstall Feature Only", "MUF_UnInstallFeatureOnly"},
    {"Install/Uninstall", "MUF_InstallUninstall"},
}};

// The groups of the table: platform 0-3, submitter 4-7, status 8-13, installer 14-17.
enum class MatchUpGroup { Platform, Submitter, Status, Installer };

inline MatchUps StandardMatchUps() {
  MatchUps m;
  for (std::size_t i = 0; i < kMatchUpCount; ++i) m[i] = std::string(kMatchUpTable[i].standard);
  return m;
}

// Index of the entry of the group whose standard text equals value, if any.
inline std::optional<std::size_t> MatchUpIndex(MatchUpGroup group, std::string_view value) {
  static constexpr std::size_t kBegin[] = {0, 4, 8, 14};
  static constexpr std::size_t kEnd[] = {4, 8, 14, 18};
  auto g = static_cast<std::size_t>(group);
  for (std::size_t i = kBegin[g]; i < kEnd[g]; ++i) {
    if (kMatchUpTable[i].standard == value) return i;
  }
  return std::nullopt;
}

}  // namespace vendrix
