// URL splitting: the parts of any URL with a server, put together again, split into
// the same parts.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "net/url.h"

using vendrix::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string url(reinterpret_cast<const char*>(data), size);
  const vendrix::UrlParts p = vendrix::SplitUrl(url);
  Require(!p.path.empty() && p.path[0] == '/', "the path starts with /");
  if (p.server.empty() || url.find("//") == std::string::npos) return 0;
  std::string again = p.scheme + "://" + p.server;
  if (p.portGiven) again += ":" + std::to_string(p.port);
  again += p.path;
  const vendrix::UrlParts q = vendrix::SplitUrl(again);
  Require(q.scheme == p.scheme, "scheme survives");
  Require(q.server == p.server, "server survives");
  Require(q.port == p.port, "port survives");
  Require(q.path == p.path, "path survives");
  return 0;
}
