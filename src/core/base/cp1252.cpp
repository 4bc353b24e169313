#include "base/cp1252.h"

#include <array>
#include <cstdint>

namespace vendrix {
namespace {

// Code points of 0x80..0x9F; 0 marks the five bytes Windows-1252 leaves undefined,
// which are mapped to the C1 control of the same value so they survive a round trip.
constexpr std::array<char32_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t ByteToCodePoint(unsigned char b) {
  if (b >= 0x80 && b <= 0x9F) {
    char32_t cp = kHigh[b - 0x80];
    return cp ? cp : b;
  }
  return b;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The byte of a code point, or nullopt when Windows-1252 has none.
std::optional<char> CodePointToByte(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (std::size_t i = 0; i < kHigh.size(); ++i) {
    if (kHigh[i] == cp || (kHigh[i] == 0 && cp == 0x80 + i)) return static_cast<char>(0x80 + i);
  }
  return std::nullopt;
}

// Converts; with exact, the first character without a byte (or a malformed
// sequence) makes the result nullopt, otherwise it becomes "?".
std::optional<std::string> Convert(std::string_view text, bool exact);

}  // namespace

std::string Utf8ToCp1252(std::string_view text) {
  return *Convert(text, false);
}

std::optional<std::string> Utf8ToCp1252Exact(std::string_view text) {
  return Convert(text, true);
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (unsigned char b : text) AppendUtf8(out, ByteToCodePoint(b));
  return out;
}

namespace {

std::optional<std::string> Convert(std::string_view text, bool exact) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    int extra = 0;
    char32_t cp = 0;
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1;
      cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2;
      cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3;
      cp = b & 0x07;
    } else {
      if (exact) return std::nullopt;
      out += '?';
      ++i;
      continue;
    }
    bool ok = true;
    for (int k = 1; ok && k <= extra; ++k) {
      if (i + k >= text.size()) {
        ok = false;
        break;
      }
      unsigned char c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!ok) {
      if (exact) return std::nullopt;
      out += '?';
      ++i;
      continue;
    }
    auto byte = CodePointToByte(cp);
    if (!byte && exact) return std::nullopt;
    out += byte.value_or('?');
    i += extra + 1;
  }
  return out;
}

}  // namespace

}  // namespace vendrix
