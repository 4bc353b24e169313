#include "base/names.h"

namespace vendrix {

std::optional<std::string> CheckEntryName(std::string_view name) {
  bool bad = name == "." || name == "..";
  for (unsigned char c : name) {
    if (c == '/' || c < 0x20 || c == 0x7F) bad = true;
  }
  if (!bad) return std::nullopt;
  return "A name may not contain \"/\" or control characters, and may not be \".\" or \"..\".";
}

std::string TrimLeft(std::string_view s) {
  std::size_t b = 0;
  while (b < s.size() && s[b] == ' ') ++b;
  return std::string(s.substr(b));
}

std::string TrimBoth(std::string_view s) {
  std::string t = TrimLeft(s);
  while (!t.empty() && t.back() == ' ') t.pop_back();
  return t;
}

}  // namespace vendrix
