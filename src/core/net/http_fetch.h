#pragma once
// Brings one resource from a web address with a THttpClient the caller has set up
// (proxy, trust, TimeOut for each exchange, StopToken): GET, following 301, 302, 303,
// 307 and 308 replies to the address their Location names (resolved against the
// address asked for) up to a limit. A redirect from https to http, one without a
// usable Location, and one past the limit fail with code 163; a fetch that outlasts
// totalSeconds, redirects included, fails with 10060; any other failure is the
// client's own EHttpClient or NetFailure (the client's URL() then names the address
// that failed). The body of the final reply goes to `take` block by block; more than
// maxBytes stops the exchange and throws FetchTooLarge. Blocks the calling thread;
// any thread, one client per call.
#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "net/http_client.h"

namespace vendrix {

struct FetchTooLarge : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct FetchLimits {
  long long maxBytes = 0;  // 0: no bound
  int maxRedirects = 5;
  int totalSeconds = 0;  // 0: only the client's TimeOut for each exchange
};

struct FetchResult {
  std::string url;  // where the body came from
  int redirects = 0;
};

FetchResult FetchFollowingRedirects(THttpClient& http, const std::string& url,
                                    const FetchLimits& limits,
                                    const std::function<void(std::string_view)>& take);

// The absolute address a Location value names, seen from `base`: an absolute
// http(s) address as it is, "//host/..." with base's scheme, "/path" on base's
// server and port, anything else beside base's last "/". Fragments are dropped.
std::string ResolveLocation(const std::string& base, const std::string& location);

}  // namespace vendrix
