#include "exchange/pad_text.h"

#include <cstdint>
#include <vector>

namespace vendrix {
namespace {

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The first place at or after from where needle (lower case) stands, in any case.
std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from) {
  for (std::size_t at = text.find('<', from); at != std::string_view::npos;
       at = text.find('<', at + 1)) {
    if (text.size() - at < needle.size()) break;
    bool same = true;
    for (std::size_t k = 0; k < needle.size() && same; ++k) same = Lower(text[at + k]) == needle[k];
    if (same) return at;
  }
  return std::string_view::npos;
}

bool IsTagStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '/' || c == '!';
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The character of a reference such as "amp" or "#233"; nullopt for one we do not know.
std::optional<std::string> DecodeReference(std::string_view name) {
  struct Named {
    std::string_view name;
    std::uint32_t cp;
  };
  static constexpr Named kNamed[] = {
      {"amp", '&'},      {"lt", '<'},       {"gt", '>'},        {"quot", '"'},
      {"apos", '\''},    {"nbsp", ' '},     {"copy", 0xA9},     {"reg", 0xAE},
      {"trade", 0x2122}, {"euro", 0x20AC},  {"hellip", 0x2026}, {"mdash", 0x2014},
      {"ndash", 0x2013}, {"bull", 0x2022},  {"lsquo", 0x2018},  {"rsquo", 0x2019},
      {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"eacute", 0xE9},   {"uuml", 0xFC},
      {"ouml", 0xF6},    {"auml", 0xE4},    {"szlig", 0xDF},    {"deg", 0xB0},
  };
  std::string out;
  if (!name.empty() && name[0] == '#') {
    std::uint32_t cp = 0;
    bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
    std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 7) return std::nullopt;
    for (char c : digits) {
      int d;
      if (c >= '0' && c <= '9') {
        d = c - '0';
      } else if (hex && Lower(c) >= 'a' && Lower(c) <= 'f') {
        d = Lower(c) - 'a' + 10;
      } else {
        return std::nullopt;
      }
      cp = cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
    }
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    AppendUtf8(out, cp);
    return out;
  }
  for (const auto& n : kNamed) {
    if (n.name == name) {
      AppendUtf8(out, n.cp);
      return out;
    }
  }
  return std::nullopt;
}

// How many line ends a tag asks for before what follows: a paragraph stands apart
// from its neighbours by an empty line, a list item or a division starts a line.
int LineEndsFor(std::string_view tag) {
  static constexpr std::string_view kParagraphs[] = {"p",  "h1",    "h2", "h3",         "h4", "h5",
                                                     "h6", "table", "hr", "blockquote", "pre"};
  static constexpr std::string_view kLines[] = {"li", "div", "ul", "ol", "tr", "dt", "dd"};
  for (auto t : kParagraphs) {
    if (t == tag) return 2;
  }
  for (auto t : kLines) {
    if (t == tag) return 1;
  }
  return 0;
}

// Makes the text end in at least n line ends (blanks after the last one not counted);
// nothing at the very start.
void EnsureLineEnds(std::string& text, int n) {
  int have = 0;
  for (auto it = text.rbegin(); it != text.rend() && have < n; ++it) {
    if (*it == '\n') {
      ++have;
    } else if (*it != ' ') {
      break;
    }
  }
  if (text.find_first_not_of(" \n") == std::string::npos) return;
  for (; have < n; ++have) text += '\n';
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

std::string TrimXmlSpace(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  return std::string(text.substr(b, e - b));
}

bool LooksLikeHtml(std::string_view text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == '<' && IsTagStart(text[i + 1]) &&
        text.find('>', i + 2) != std::string_view::npos)
      return true;
  }
  return false;
}

std::string ReduceHtml(std::string_view text) {
  if (!LooksLikeHtml(text)) return std::string(text);
  // First pass: tags out, references decoded, source white space as blanks, line
  // breaks where the tags ask for them.
  std::string flat;
  std::size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == '<' && i + 1 < text.size() && IsTagStart(text[i + 1])) {
      if (text.substr(i, 4) == "<!--") {
        auto end = text.find("-->", i + 4);
        i = end == std::string_view::npos ? text.size() : end + 3;
        continue;
      }
      auto end = text.find('>', i + 1);
      if (end == std::string_view::npos) {
        flat += c;
        ++i;
        continue;
      }
      std::string_view inside = text.substr(i + 1, end - i - 1);
      bool closing = !inside.empty() && inside[0] == '/';
      if (closing) inside.remove_prefix(1);
      std::string name;
      for (char t : inside) {
        if (IsBlank(t) || t == '/' || t == '>') break;
        name += Lower(t);
      }
      i = end + 1;
      if (!closing && (name == "script" || name == "style")) {
        // The content of these is not text; skip to their closing tag.
        auto close = FindNoCase(text, "</" + name, i);
        if (close == std::string_view::npos) break;
        auto closeEnd = text.find('>', close);
        i = closeEnd == std::string_view::npos ? text.size() : closeEnd + 1;
        continue;
      }
      if (name == "br") {
        flat += '\n';
      } else if (int ends = LineEndsFor(name)) {
        EnsureLineEnds(flat, ends);
      }
      continue;
    }
    if (c == '&') {
      auto semi = text.find(';', i + 1);
      if (semi != std::string_view::npos && semi - i <= 10) {
        if (auto decoded = DecodeReference(text.substr(i + 1, semi - i - 1))) {
          flat += *decoded;
          i = semi + 1;
          continue;
        }
      }
    }
    flat += IsBlank(c) ? ' ' : c;
    ++i;
  }
  // Second pass: lines trimmed, blanks collapsed, at most one empty line in a row.
  std::vector<std::string> lines;
  std::string line;
  auto finish = [&] {
    std::string trimmed = TrimXmlSpace(line);
    line.clear();
    if (trimmed.empty() && (lines.empty() || lines.back().empty())) return;
    lines.push_back(std::move(trimmed));
  };
  for (char c : flat) {
    if (c == '\n') {
      finish();
    } else if (c == ' ' && !line.empty() && line.back() == ' ') {
      continue;
    } else {
      line += c;
    }
  }
  finish();
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  std::string out;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    if (n) out += '\n';
    out += lines[n];
  }
  return out;
}

}  // namespace vendrix
