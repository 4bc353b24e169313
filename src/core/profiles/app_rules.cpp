#include "profiles/app_rules.h"

#include <algorithm>

#include "base/ini_file.h"
#include "profiles/app_profile.h"
#include "profiles/value_lists.h"

namespace vendrix {

std::string BuildLongDate(std::string_view day, std::string_view month, std::string_view year) {
  static constexpr const char* kMonths[] = {"Jan-", "Feb-", "Mar-", "Apr-", "May-", "Jun-",
                                            "Jul-", "Aug-", "Sep-", "Oct-", "Nov-", "Dec-"};
  std::string text;
  if (!day.empty()) text = std::string(day) + "-";
  if (!month.empty()) {
    int m = ParseIniInteger(month, 0);
    if (m >= 1 && m <= 12) text += kMonths[m - 1];
  }
  if (!year.empty()) {
    int n = ParseIniInteger(year, -1);
    if (n >= 0 && n < 80) {
      text += "20" + std::string(year);
    } else if (n >= 80 && n <= 99) {
      text += "19" + std::string(year);
    }
  }
  return text;
}

std::optional<std::string> Char8Exit(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == ' ' || c == '.' || c == '/' || c == '(' || c == ')') return std::nullopt;
    out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  }
  return out;
}

namespace {

template <std::size_t N>
std::optional<std::string> OneOf(std::string_view key, std::string_view value,
                                 const std::array<std::string_view, N>& items) {
  if (value.empty()) return std::nullopt;
  std::string list;
  for (auto item : items) {
    if (item == value) return std::nullopt;
    list += (list.empty() ? "" : ", ") + std::string(item);
  }
  return std::string(key) + " must be one of: " + list + ".";
}

}  // namespace

std::optional<std::string> YearEntry(std::string_view typed) {
  const bool digits =
      std::all_of(typed.begin(), typed.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!digits) return std::nullopt;
  if (typed.size() <= 2) return std::string(typed);
  if (typed.size() != 4) return std::nullopt;
  const int year = std::stoi(std::string(typed));
  if (year < 1980 || year > 2079) return std::nullopt;
  return std::string(typed.substr(2));
}

std::optional<std::string> CheckAppValue(std::string_view key, std::string_view value) {
  const AppField* f = FindAppField(key);
  if (!f) return "There is no application field " + std::string(key) + ".";
  const std::string name(key);
  if (f->maxLength > 0 && value.size() > static_cast<std::size_t>(f->maxLength)) {
    return name + " holds at most " + std::to_string(f->maxLength) + " characters.";
  }
  if (auto why = CheckIniValue(key, value)) return why;
  if (f->rule == KeyRule::NoTyping) {
    if (key == "PLATFORM") return OneOf(key, value, kPlatforms);
    if (key == "STATUS") return OneOf(key, value, kStatuses);
    if (key == "DSTATUS") return OneOf(key, value, kSubmitters);
    if (key == "installer") return OneOf(key, value, kInstallers);
    if (key == "INSTKIND") return OneOf(key, value, kInstallerKinds);
    return name + " cannot be changed.";
  }
  return BrokenKeyRule(key, f->rule, value);
}

std::optional<std::string> CheckMemoText(std::string_view what, std::string_view text) {
  if (text.find('$') == std::string_view::npos) return std::nullopt;
  return std::string(what) + " may not hold \"$\".";
}

}  // namespace vendrix
