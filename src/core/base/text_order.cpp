#include "base/text_order.h"

#include <algorithm>

namespace vendrix {
namespace {
// The lower-case form of a Windows-1252 letter (every other byte as it is).
unsigned char Fold(char c) {
  auto u = static_cast<unsigned char>(c);
  if (u >= 'A' && u <= 'Z') return static_cast<unsigned char>(u + 32);
  if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return static_cast<unsigned char>(u + 32);  // À-Þ
  switch (u) {
    case 0x8A:  // Š
    case 0x8C:  // Œ
    case 0x8E:  // Ž
      return static_cast<unsigned char>(u + 16);
    case 0x9F:  // Ÿ
      return 0xFF;
    default:
      return u;
  }
}
}  // namespace

bool LessNoCase(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Fold(x) < Fold(y); });
}

void SortNoCase(Lines& names) {
  std::stable_sort(names.begin(), names.end(),
                   [](const std::string& a, const std::string& b) { return LessNoCase(a, b); });
}

std::size_t InsertSorted(Lines& names, std::string name) {
  auto it =
      std::upper_bound(names.begin(), names.end(), name,
                       [](const std::string& a, const std::string& b) { return LessNoCase(a, b); });
  auto pos = static_cast<std::size_t>(it - names.begin());
  names.insert(it, std::move(name));
  return pos;
}

int IndexOf(const Lines& names, std::string_view name) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace vendrix
