#include "net/url.h"

#include <algorithm>
#include <cctype>

namespace vendrix {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
        HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// A space or a byte outside printable ASCII never goes into the request line raw.
std::string PathEncoded(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    if (c <= 0x20 || c >= 0x7F) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

std::uint16_t DefaultPort(const std::string& scheme) {
  std::string s = scheme;
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s == "https" ? 443 : 80;
}

UrlParts SplitUrl(const std::string& url) {
  UrlParts p;
  auto first = url.find_first_of(":/");
  if (first == std::string::npos) {
    p.server = url;
    return p;
  }
  std::size_t pos = first;
  if (url[first] == ':') {
    p.scheme = url.substr(0, first);
    ++pos;
  }
  if (url.compare(pos, 2, "//") != 0) return p;
  pos += 2;
  const std::size_t slash = url.find('/', pos);
  std::string authority = url.substr(pos, slash == std::string::npos ? slash : slash - pos);
  if (slash != std::string::npos) p.path = PathEncoded(url.substr(slash));
  p.port = DefaultPort(p.scheme);

  if (auto at = authority.rfind('@'); at != std::string::npos) {
    std::string userinfo = authority.substr(0, at);
    authority.erase(0, at + 1);
    auto colon = userinfo.find(':');
    p.user = PercentDecoded(userinfo.substr(0, colon));
    if (colon != std::string::npos) p.password = PercentDecoded(userinfo.substr(colon + 1));
    p.userGiven = true;
  }
  std::size_t hostEnd = authority.find(':');
  if (!authority.empty() && authority[0] == '[') {  // an IPv6 literal keeps its colons
    auto close = authority.find(']');
    hostEnd = close == std::string::npos ? std::string::npos : authority.find(':', close);
    if (close != std::string::npos && close + 1 < authority.size() && authority[close + 1] != ':') {
      p.error = "Invalid server in URL.";
    }
  }
  p.server = authority.substr(0, hostEnd);
  if (hostEnd == std::string::npos || hostEnd + 1 == authority.size()) return p;
  const std::string port = authority.substr(hostEnd + 1);
  unsigned long value = 0;
  bool digits = port.size() <= 5 && std::all_of(port.begin(), port.end(), [](unsigned char c) {
                  return c >= '0' && c <= '9';
                });
  if (digits) value = std::stoul(port);
  if (!digits || value < 1 || value > 65535) {
    p.error = "Invalid port in URL.";
    return p;
  }
  p.port = static_cast<std::uint16_t>(value);
  p.portGiven = true;
  return p;
}

}  // namespace vendrix
