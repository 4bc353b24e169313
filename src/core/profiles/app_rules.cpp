#include "profiles/app_rules.h"

#include "base/ini_file.h"

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

}  // namespace vendrix
