#include "exchange/pad_text.h"

#include <cstdint>

#include <vector>
#include "base/cp1252.h"

namespace vendrix {
namespace {

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameByte(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.' || c == ':';
}

// The name of the element whose content holds the byte at offset: the nearest start
// tag before it (end tags, comments, CDATA and declarations are passed over).
std::string ElementAt(std::string_view bytes, std::size_t offset) {
  for (std::size_t at = bytes.rfind('<', offset); at != std::string_view::npos;
       at = at == 0 ? std::string_view::npos : bytes.rfind('<', at - 1)) {
    std::size_t i = at + 1;
    if (i >= bytes.size() || !IsNameByte(bytes[i]) || bytes[i] == '-' || bytes[i] == '.') continue;
    std::size_t end = i;
    while (end < bytes.size() && IsNameByte(bytes[end])) ++end;
    return std::string(bytes.substr(i, end - i));
  }
  return "";
}

std::string Hex(unsigned char b) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return std::string("0x") + kDigits[b >> 4] + kDigits[b & 15];
}

// The length of the well-formed UTF-8 sequence of two or more bytes at i, or 0.
std::size_t Utf8SequenceAt(std::string_view s, std::size_t i) {
  auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = b(i);
  std::size_t n;
  std::uint32_t cp;
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    cp = lead & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
      (cp >= 0xD800 && cp <= 0xDFFF)) {
    return 0;
  }
  return n;
}

// Whether the text at i is a character reference to 0 ("&#0;", "&#x00;").
bool IsNulReference(std::string_view s, std::size_t i) {
  if (s.substr(i, 2) != "&#") return false;
  std::size_t k = i + 2;
  const bool hex = k < s.size() && (s[k] == 'x' || s[k] == 'X');
  if (hex) ++k;
  const std::size_t digits = k;
  while (k < s.size() && s[k] == '0') ++k;
  return k > digits && k < s.size() && s[k] == ';';
}

}  // namespace

std::optional<std::string> DeclaredXmlEncoding(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (bytes.substr(0, 5) != "<?xml") return std::nullopt;
  auto end = bytes.find("?>");
  if (end == std::string_view::npos || end > 512) return std::nullopt;
  std::string_view decl = bytes.substr(0, end);
  auto at = decl.find("encoding");
  if (at == std::string_view::npos) return std::nullopt;
  std::size_t i = at + 8;
  while (i < decl.size() && IsBlank(decl[i])) ++i;
  if (i >= decl.size() || decl[i] != '=') return std::nullopt;
  ++i;
  while (i < decl.size() && IsBlank(decl[i])) ++i;
  if (i >= decl.size() || (decl[i] != '"' && decl[i] != '\'')) return std::nullopt;
  char quote = decl[i++];
  auto close = decl.find(quote, i);
  if (close == std::string_view::npos) return std::nullopt;
  std::string name;
  for (char c : decl.substr(i, close - i)) name += Lower(c);
  return name;
}

std::string TrimLayout(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  auto hasBreak = [](std::string_view run) {
    return run.find_first_of("\r\n") != std::string_view::npos;
  };
  if (!hasBreak(text.substr(0, b))) b = 0;
  if (!hasBreak(text.substr(e))) e = text.size();
  if (b > e) b = e;  // a value of blanks only, with a break among them: layout
  return std::string(text.substr(b, e - b));
}

std::vector<PadByteProblem> CheckPadBytes(std::string_view bytes, bool latin) {
  std::vector<PadByteProblem> found;
  auto add = [&](std::size_t at, std::string text, bool nul) {
    found.push_back({ElementAt(bytes, at), std::move(text), nul});
  };
  for (std::size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b == 0 || IsNulReference(bytes, i)) {
      add(i, "a NUL character", true);
      ++i;
      continue;
    }
    if (b < 0x80) {
      ++i;
      continue;
    }
    const std::size_t n = Utf8SequenceAt(bytes, i);
    if (latin) {
      if (n > 0) {
        std::string seq;
        for (std::size_t k = 0; k < n; ++k) {
          seq += (k ? " " : "") + Hex(static_cast<unsigned char>(bytes[i + k]));
        }
        add(i,
            "the bytes " + seq + ", which are UTF-8 for \"" + Utf8ToCp1252(bytes.substr(i, n)) +
                "\" while the file says it is Windows-1252",
            false);
        i += n;
        continue;
      }
      if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) {
        add(i, "the byte " + Hex(b) + ", which Windows-1252 leaves undefined", false);
      }
      ++i;
      continue;
    }
    if (n == 0) {
      add(i, "the byte " + Hex(b) + ", which is not UTF-8 as the file says", false);
      ++i;
      continue;
    }
    i += n;
  }
  return found;
}

}  // namespace vendrix
