#include "run/report_text.h"

#include <cstdio>
#include <filesystem>

#include "base/cp1252.h"

namespace vendrix {

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      case '\r':
        out += "&#13;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\t':
        out += ch;
        break;
      default:
        if (c >= 0x20 && c != 0x7F) out += ch;
    }
  }
  return out;
}

namespace {

std::string Absolute(const std::string& utf8Path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(utf8Path, ec);
  return ec ? utf8Path : p.lexically_normal().string();
}

// Percent-encodes every byte outside the unreserved set and "/".
std::string UrlPath(const std::string& path) {
  std::string url;
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char ch : path) {
    const auto c = static_cast<unsigned char>(ch);
    const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (keep) {
      url += ch;
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 15];
    }
  }
  return url;
}

}  // namespace

std::string FileUrl(const std::string& utf8Path) {
  const std::string abs = Absolute(utf8Path);
  return std::string(abs.empty() || abs.front() != '/' ? "file:///" : "file://") + UrlPath(abs);
}

std::string RelativeUrl(const std::string& fromDir, const std::string& utf8Path) {
  const std::filesystem::path target(Absolute(utf8Path));
  const std::filesystem::path rel = target.lexically_relative(Absolute(fromDir));
  return UrlPath(rel.empty() ? target.string() : rel.string());
}

std::string RunStamp(const std::tm& t, int millisecond) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d-%02d-%02d-%02d-%02d-%02d-%s%d", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, millisecond < 10 ? "0" : "", millisecond);
  return buf;
}

std::string SafeFileNamePart(std::string_view cp1252Name) {
  std::string name(cp1252Name);
  for (char& ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '/' || c == '\\' || c < 0x20 || c == 0x7F) ch = '_';
  }
  if (name.empty() || name == "." || name == "..") name = "_" + name;
  return Cp1252ToUtf8(name);
}

}  // namespace vendrix
