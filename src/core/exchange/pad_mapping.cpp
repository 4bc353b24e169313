#include "exchange/pad_mapping.h"

#include <array>

#include "profiles/value_lists.h"

namespace vendrix {
namespace {

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

struct InstallerWords {
  std::string_view pad;
  std::string_view profile;
};
constexpr std::array<InstallerWords, 4> kInstallerWords = {{
    {"Install and Uninstall", "Install/Uninstall"},
    {"Install Only", "Install Feature Only"},
    {"Uninstall Only", "Uninstall Feature Only"},
    {"No Install Support", "No Install Feature"},
}};

enum class Family { None, Win31, Win95, WinNT };

// Which Windows family one entry of an OS list names.
Family FamilyOf(std::string_view entry) {
  std::string s;
  for (char c : entry) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    s += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  }
  if (s.rfind("win", 0) != 0) return Family::None;
  std::string_view rest(s);
  rest.remove_prefix(rest.rfind("windows", 0) == 0 ? 7 : 3);
  if (rest.rfind("3.", 0) == 0 || rest == "31") return Family::Win31;
  if (rest == "95" || rest == "98" || rest == "me") return Family::Win95;
  if (rest.find("ce") == 0 || rest.find("mobile") == 0 || rest.find("phone") == 0)
    return Family::None;
  return Family::WinNT;  // NT, 2000, XP, Server, Vista, 7 and every later one
}

}  // namespace

std::optional<std::string_view> StatusFromPad(std::string_view type, std::string_view release,
                                              bool expires) {
  if (SameNoCase(release, "Beta") || SameNoCase(release, "Alpha")) return kStatuses[5];
  if (SameNoCase(type, "Shareware")) return kStatuses[4];
  if (SameNoCase(type, "Freeware")) return kStatuses[3];
  if (SameNoCase(type, "Demo")) return expires ? kStatuses[1] : kStatuses[0];
  return std::nullopt;
}

PadStatus StatusToPad(std::string_view status) {
  if (status == kStatuses[0] || status == kStatuses[1]) return {"Demo", "New Release"};
  if (status == kStatuses[2] || status == kStatuses[3]) return {"Freeware", "New Release"};
  if (status == kStatuses[4]) return {"Shareware", "New Release"};
  if (status == kStatuses[5]) return {"Shareware", "Beta"};
  return {"", ""};
}

std::optional<std::string_view> InstallerFromPad(std::string_view support) {
  for (const auto& w : kInstallerWords) {
    if (SameNoCase(w.pad, support)) return w.profile;
  }
  return std::nullopt;
}

std::string_view InstallerToPad(std::string_view installer) {
  for (const auto& w : kInstallerWords) {
    if (w.profile == installer) return w.pad;
  }
  return "";
}

std::optional<std::string_view> PlatformFromPad(std::string_view osList) {
  bool win31 = false, win95 = false, winNT = false;
  while (!osList.empty()) {
    auto comma = osList.find(',');
    Family f = FamilyOf(osList.substr(0, comma));
    win31 = win31 || f == Family::Win31;
    win95 = win95 || f == Family::Win95;
    winNT = winNT || f == Family::WinNT;
    if (comma == std::string_view::npos) break;
    osList.remove_prefix(comma + 1);
  }
  if (win95 && winNT) return kPlatforms[3];
  if (win95) return kPlatforms[1];
  if (winNT) return kPlatforms[2];
  if (win31) return kPlatforms[0];
  return std::nullopt;
}

std::string_view PlatformToPad(std::string_view platform) {
  if (platform == kPlatforms[0]) return "Win3.1x";
  if (platform == kPlatforms[1]) return "Win95,Win98,WinME";
  if (platform == kPlatforms[2]) return "WinNT 4.x,Win2000,WinXP,Windows7,Windows10,Windows11";
  if (platform == kPlatforms[3])
    return "Win95,Win98,WinME,WinNT 4.x,Win2000,WinXP,Windows7,Windows10,Windows11";
  return "";
}

std::optional<std::string> YearFromPad(std::string_view year) {
  if (year.size() != 4 || !AllDigits(year)) return std::nullopt;
  return std::string(year.substr(2));
}

std::string YearToPad(std::string_view year) {
  if (year.size() > 2 || !AllDigits(year)) return "";
  int n = year.size() == 1 ? year[0] - '0' : (year[0] - '0') * 10 + (year[1] - '0');
  return std::to_string(n < 80 ? 2000 + n : 1900 + n);
}

}  // namespace vendrix
