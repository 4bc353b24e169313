#include "net/http_fetch.h"

#include <cctype>
#include <chrono>
#include <vector>

#include "net/net_error.h"
#include "net/url.h"

namespace vendrix {
namespace {

std::string LowerScheme(const std::string& url) {
  std::string scheme;
  for (char c : url) {
    if (c == ':') return scheme;
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') break;
    scheme += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return {};
}

bool IsRedirect(const std::string& statusText) {
  const std::string code = statusText.substr(0, 3);
  return code == "301" || code == "302" || code == "303" || code == "307" || code == "308";
}

std::string Trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// "a/./b/../c" → "a/c" in the path of a reference (its query kept as it is).
std::string WithoutDotSegments(const std::string& pathAndQuery) {
  const auto queryAt = pathAndQuery.find('?');
  const std::string path = pathAndQuery.substr(0, queryAt);
  const std::string query = queryAt == std::string::npos ? "" : pathAndQuery.substr(queryAt);
  std::vector<std::string> kept;
  std::size_t start = 1;  // after the leading "/"
  for (;;) {
    const auto end = path.find('/', start);
    const std::string segment = path.substr(start, end == std::string::npos ? end : end - start);
    const bool last = end == std::string::npos;
    if (segment == "..") {
      if (!kept.empty()) kept.pop_back();
      if (last) kept.emplace_back();
    } else if (segment == ".") {
      if (last) kept.emplace_back();
    } else {
      kept.push_back(segment);
    }
    if (last) break;
    start = end + 1;
  }
  std::string out;
  for (const auto& segment : kept) out += "/" + segment;
  return (out.empty() ? "/" : out) + query;
}

}  // namespace

std::string ResolveLocation(const std::string& base, const std::string& location) {
  std::string target = location.substr(0, location.find('#'));
  const std::string scheme = LowerScheme(target);
  if (scheme == "http" || scheme == "https") return target;
  const std::string baseScheme = LowerScheme(base);
  if (target.rfind("//", 0) == 0) return baseScheme + ":" + target;
  // The origin of base: scheme, "//" and the authority up to the path.
  const auto authority = base.find("//");
  const auto pathStart =
      authority == std::string::npos ? std::string::npos : base.find('/', authority + 2);
  const std::string origin = pathStart == std::string::npos ? base : base.substr(0, pathStart);
  if (target.empty()) return base.substr(0, base.find('#'));
  if (target[0] == '/') return origin + WithoutDotSegments(target);
  std::string path = pathStart == std::string::npos ? "/" : base.substr(pathStart);
  path = path.substr(0, path.find_first_of("?#"));
  if (target[0] == '?') return origin + path + target;
  return origin + WithoutDotSegments(path.substr(0, path.rfind('/') + 1) + target);
}

FetchResult FetchFollowingRedirects(THttpClient& http, const std::string& url,
                                    const FetchLimits& limits,
                                    const std::function<void(std::string_view)>& take) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::seconds(limits.totalSeconds);
  const int ownTimeOut = http.TimeOut;
  std::string address = url;
  for (int hop = 0;; ++hop) {
    if (limits.totalSeconds > 0) {
      const auto left =
          std::chrono::duration_cast<std::chrono::seconds>(deadline - Clock::now()).count();
      if (left < 1) {
        throw EHttpClient(code::kTimedOut, "no whole reply from " + url + " within " +
                                               std::to_string(limits.totalSeconds) + " seconds");
      }
      http.TimeOut = ownTimeOut > 0 && ownTimeOut < left ? ownTimeOut : static_cast<int>(left);
    }
    std::string location;
    bool redirect = false;
    bool tooLarge = false;
    http.OnConnected = nullptr;
    http.OnHeader = [&](const std::string& field, const std::string& value) {
      std::string name;
      for (char c : field) name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (name == "location") location = Trimmed(value);
    };
    http.OnTransfer = [&](long long total, std::string_view block) {
      // A redirect's own body is read and dropped; it is bounded all the same.
      if (tooLarge) return;
      if (limits.maxBytes > 0 && total > limits.maxBytes) {
        tooLarge = true;
        http.SetAction(THttpActions::httpIdle);
        return;
      }
      if (!IsRedirect(http.StatusLine().substr(http.StatusLine().find(' ') + 1)) && take) {
        take(block);
      }
    };
    http.SetURL(address);
    try {
      http.SetAction(THttpActions::httpGet);
    } catch (const EHttpClient& e) {
      if (tooLarge) break;
      if (e.ErrorCode != code::kHttpStatus || !IsRedirect(e.Description)) throw;
      redirect = true;
    }
    if (tooLarge) break;
    if (!redirect) return {address, hop};
    if (location.empty()) {
      throw EHttpClient(code::kHttpRedirect, "a redirect without a Location (" + address + ")");
    }
    std::string next = ResolveLocation(address, location);
    if (LowerScheme(address) == "https" && LowerScheme(next) != "https") {
      throw EHttpClient(code::kHttpRedirect,
                        "a redirect from https to " + next + " is not followed");
    }
    if (hop >= limits.maxRedirects) {
      throw EHttpClient(code::kHttpRedirect, "too many redirects (more than " +
                                                 std::to_string(limits.maxRedirects) +
                                                 ", the last to " + next + ")");
    }
    address = std::move(next);
  }
  throw FetchTooLarge("the reply from " + address + " is larger than " +
                      std::to_string(limits.maxBytes) + " bytes");
}

}  // namespace vendrix
