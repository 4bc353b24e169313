#include "net/url.h"

#include <algorithm>
#include <cctype>

namespace vendrix {

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
  auto end = url.find_first_of(":/", pos);
  if (pos < url.size() && url[pos] == '[') {  // an IPv6 literal keeps its colons
    auto close = url.find(']', pos);
    if (close != std::string::npos) end = url.find_first_of(":/", close);
  }
  p.server = url.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
  p.port = DefaultPort(p.scheme);
  if (end == std::string::npos) return p;
  pos = end;
  if (url[pos] == ':') {
    ++pos;
    unsigned long port = 0;
    std::size_t digits = 0;
    while (pos < url.size() && std::isdigit(static_cast<unsigned char>(url[pos]))) {
      port = port * 10 + static_cast<unsigned long>(url[pos] - '0');
      if (port > 65535) port = 65535 + 1;
      ++pos;
      ++digits;
    }
    if (digits) {
      p.port = static_cast<std::uint16_t>(port > 65535 ? 0 : port);
      p.portGiven = true;
    }
  }
  auto slash = url.find('/', pos);
  if (slash != std::string::npos) p.path = url.substr(slash);
  return p;
}

}  // namespace vendrix
