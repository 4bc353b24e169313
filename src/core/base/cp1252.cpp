#include "base/cp1252.h"

#include <array>
#include <cstdint>

#include "base/error.h"

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

// One well-formed UTF-8 character at text[i]: its code point and length, or nullopt for
// a malformed, overlong or surrogate sequence, or one past U+10FFFF.
struct Decoded {
  char32_t cp;
  std::size_t length;
};
std::optional<Decoded> DecodeOne(std::string_view text, std::size_t i) {
  auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
  unsigned char b = at(0);
  if (b < 0x80) return Decoded{b, 1};
  std::size_t extra = 0;
  char32_t cp = 0;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    extra = 1;
    cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    extra = 2;
    cp = b & 0x0F;
    if (b == 0xE0) low = 0xA0;   // overlong
    if (b == 0xED) high = 0x9F;  // surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    extra = 3;
    cp = b & 0x07;
    if (b == 0xF0) low = 0x90;   // overlong
    if (b == 0xF4) high = 0x8F;  // past U+10FFFF
  } else {
    return std::nullopt;
  }
  if (i + extra >= text.size()) return std::nullopt;
  for (std::size_t k = 1; k <= extra; ++k) {
    unsigned char c = at(k);
    if (k == 1 ? (c < low || c > high) : (c & 0xC0) != 0x80) return std::nullopt;
    cp = (cp << 6) | (c & 0x3F);
  }
  return Decoded{cp, extra + 1};
}

// Converts; with exact, the first character without a byte (or a malformed
// sequence) makes the result nullopt, otherwise it becomes "?".
std::optional<std::string> Convert(std::string_view text, bool exact) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    auto d = DecodeOne(text, i);
    std::optional<char> byte = d ? CodePointToByte(d->cp) : std::nullopt;
    if (!byte && exact) return std::nullopt;
    out += byte.value_or('?');
    i += d ? d->length : 1;
  }
  return out;
}

}  // namespace

std::string Utf8ToCp1252(std::string_view text) {
  return *Convert(text, false);
}

std::optional<std::string> Utf8ToCp1252Exact(std::string_view text) {
  return Convert(text, true);
}

std::string Utf8ToCp1252Checked(std::string_view text, const std::string& shownAs) {
  auto exact = Convert(text, true);
  if (!exact) {
    throw VendrixError(shownAs + " holds characters that Windows-1252 cannot hold; use others.");
  }
  return std::move(*exact);
}

std::optional<std::string> FirstCharNotInCp1252(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    auto d = DecodeOne(text, i);
    if (!d) return std::string(text.substr(i, 1));
    if (!CodePointToByte(d->cp)) return std::string(text.substr(i, d->length));
    i += d->length;
  }
  return std::nullopt;
}

bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    auto d = DecodeOne(text, i);
    if (!d) return false;
    i += d->length;
  }
  return true;
}

std::string FileTextToCp1252(std::string_view bytes, const std::string& shownAs) {
  return IsUtf8(bytes) ? Utf8ToCp1252Checked(bytes, shownAs) : std::string(bytes);
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  // Runs of ASCII, the same in both, are copied as they are.
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t ascii = i;
    while (ascii < text.size() && static_cast<unsigned char>(text[ascii]) < 0x80) ++ascii;
    out.append(text.data() + i, ascii - i);
    if (ascii == text.size()) break;
    AppendUtf8(out, ByteToCodePoint(static_cast<unsigned char>(text[ascii])));
    i = ascii + 1;
  }
  return out;
}

}  // namespace vendrix
