#pragma once
// How the HTTP client splits a URL into scheme, user part, server, port and path.
// Pure functions: any thread.
#include <cstdint>
#include <string>

namespace vendrix {

struct UrlParts {
  std::string scheme = "http";  // as written
  std::string user, password;   // from "user:password@" before the server, decoded
  bool userGiven = false;
  std::string server;
  std::uint16_t port = 80;
  bool portGiven = false;
  std::string path = "/";  // spaces and control characters percent-encoded
  std::string error;       // why the URL cannot be used ("" when it can)
};

// After "//" the authority runs to the next "/": its last "@" ends a user part
// ("user" or "user:password", %XX decoded), a ":" after the server (or after its
// "[...]") starts the port, which must be 1 to 65535 in plain digits ("host:" keeps
// the scheme's port); anything else sets error. Spaces, control characters and
// bytes from 128 up in the path are sent percent-encoded.
UrlParts SplitUrl(const std::string& url);
// 443 for "https" (in any case), else 80.
std::uint16_t DefaultPort(const std::string& scheme);

}  // namespace vendrix
