#include "base/text_order.h"

#include <algorithm>
#include <string>
#include <vector>

namespace vendrix {
namespace {
// The lower-case form of a Windows-1252 letter (every other byte as it is).
constexpr unsigned char FoldByte(unsigned char u) {
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

struct FoldTable {
  unsigned char map[256];
  constexpr FoldTable() : map() {
    for (int i = 0; i < 256; ++i) map[i] = FoldByte(static_cast<unsigned char>(i));
  }
};
constexpr FoldTable kFold;

unsigned char Fold(char c) {
  return kFold.map[static_cast<unsigned char>(c)];
}
}  // namespace

bool LessNoCase(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Fold(x) < Fold(y); });
}

void SortNoCase(Lines& names) {
  // A list read from a file that was saved sorted needs nothing more.
  if (std::is_sorted(names.begin(), names.end(),
                     [](const std::string& a, const std::string& b) { return LessNoCase(a, b); })) {
    return;
  }
  // Each name is folded once; the sort then compares plain bytes. Stable, so names
  // that differ only in case keep their order.
  std::vector<std::string> keys(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    keys[i].resize(names[i].size());
    for (std::size_t j = 0; j < names[i].size(); ++j)
      keys[i][j] = static_cast<char>(Fold(names[i][j]));
  }
  std::vector<std::size_t> order(names.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
    // std::string compares as unsigned char through char_traits<char>::compare.
    return keys[x] < keys[y];
  });
  Lines sorted;
  sorted.reserve(names.size());
  for (std::size_t i : order) sorted.push_back(std::move(names[i]));
  names = std::move(sorted);
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
