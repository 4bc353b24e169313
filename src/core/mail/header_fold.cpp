#include "mail/header_fold.h"

#include <algorithm>

#include "base/cp1252.h"
#include "mail/encodings.h"

namespace vendrix {
namespace {

constexpr std::size_t kWordMax = 75;       // RFC 2047: an encoded word's longest
constexpr std::size_t kWordOverhead = 12;  // "=?UTF-8?B?" and "?="
constexpr std::size_t kLongestWord = 900;  // a plain word longer than this is encoded

std::size_t WordLength(std::size_t utf8Bytes) {
  return kWordOverhead + (utf8Bytes + 2) / 3 * 4;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

bool NeedsEncodedWords(std::string_view text) {
  // Text that looks like an encoded word would be read as one.
  if (text.find("=?") != std::string_view::npos) return true;
  std::size_t run = 0;
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    if (u >= 127 || (u < 32 && u != '\t')) return true;
    run = IsBlank(c) ? 0 : run + 1;
    if (run > kLongestWord) return true;
  }
  return false;
}

HeaderFolder::HeaderFolder(std::string_view label) : out_(label), lineLength_(label.size()) {}

void HeaderFolder::Fold() {
  out_ += "\r\n";
  lineLength_ = 0;
}

void HeaderFolder::Atom(std::string_view text) {
  if (text.empty()) return;
  if (lineHasContent_ && IsBlank(text.front()) && lineLength_ + text.size() > kLine) Fold();
  out_.append(text);
  lineLength_ += text.size();
  lineHasContent_ = true;
}

void HeaderFolder::Words(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = i;
    while (end < text.size() && IsBlank(text[end])) ++end;
    while (end < text.size() && !IsBlank(text[end])) ++end;
    Atom(text.substr(i, end - i));
    i = end;
  }
}

void HeaderFolder::Encoded(std::string_view text, bool spaceBefore) {
  std::size_t i = 0;
  bool first = true;
  while (i < text.size()) {
    bool blank = spaceBefore || !first;
    std::size_t room = kLine - std::min(kLine, lineLength_ + (blank ? 1 : 0));
    if (blank && lineHasContent_ && room < WordLength(3)) {
      Fold();
      room = kLine - 1;
    }
    room = std::min(std::max(room, WordLength(3)), kWordMax);
    // As many whole characters as the room takes, at least one.
    std::string utf8;
    while (i < text.size()) {
      std::string c = Cp1252ToUtf8(text.substr(i, 1));
      if (!utf8.empty() && WordLength(utf8.size() + c.size()) > room) break;
      utf8 += c;
      ++i;
    }
    std::string word = "=?UTF-8?B?" + Base64(utf8) + "?=";
    if (blank) word.insert(0, 1, ' ');
    out_ += word;
    lineLength_ += word.size();
    lineHasContent_ = true;
    first = false;
  }
}

void HeaderFolder::Text(std::string_view text) {
  if (NeedsEncodedWords(text)) {
    Encoded(text, false);
  } else {
    Words(text);
  }
}

}  // namespace vendrix
