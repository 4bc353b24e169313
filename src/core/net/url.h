#pragma once
// How the HTTP client splits a URL into scheme, server, port and path.
#include <cstdint>
#include <string>

namespace vendrix {

struct UrlParts {
  std::string scheme = "http";  // as written
  std::string server;
  std::uint16_t port = 80;
  bool portGiven = false;
  std::string path = "/";
};

UrlParts SplitUrl(const std::string& url);
// 443 for "https" (in any case), else 80.
std::uint16_t DefaultPort(const std::string& scheme);

}  // namespace vendrix
