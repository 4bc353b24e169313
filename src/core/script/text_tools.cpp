#include "script/text_tools.h"

#include "base/line_list.h"

namespace vendrix {

std::string PercentEncode(std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(value.size() * 3);
  for (unsigned char c : value) {
    bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                c == '-' || c == '.' || c == '_' || c == '~';
    if (keep) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::size_t ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
  if (from.empty()) return 0;
  std::string out;
  out.reserve(s.size());
  std::size_t pos = 0;
  std::size_t count = 0;
  for (;;) {
    auto hit = s.find(from, pos);
    if (hit == std::string::npos) break;
    out.append(s, pos, hit - pos);
    out.append(to);
    pos = hit + from.size();
    ++count;
  }
  if (count == 0) return 0;
  out.append(s, pos);
  s = std::move(out);
  return count;
}

std::string WrapText(std::string_view text, std::size_t width) {
  std::string out;
  if (text.empty() || width == 0) return out;
  for (const auto& line : SplitLines(text)) {
    std::string_view w = line;
    if (w.empty()) {
      out += "\r\n";
      continue;
    }
    while (!w.empty()) {
      if (w.size() <= width) {
        out.append(w);
        out += "\r\n";
        break;
      }
      auto blank = w.find(' ');
      if (blank == std::string_view::npos || blank + 1 > width) {
        out.append(w.substr(0, width));
        out += "\r\n";
        w.remove_prefix(width);
        continue;
      }
      std::size_t taken = 0;
      for (;;) {
        auto next = w.find(' ', taken);
        if (next == std::string_view::npos || next + 1 > width) break;
        taken = next + 1;
      }
      out.append(w.substr(0, taken));
      out += "\r\n";
      w.remove_prefix(taken);
    }
  }
  return out;
}

}  // namespace vendrix
