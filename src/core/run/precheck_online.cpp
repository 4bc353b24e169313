#include "run/precheck_online.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <mutex>
#include <optional>
#include <thread>

#include "base/error.h"
#include "net/http_client.h"
#include "net/net_error.h"
#include "net/stream.h"

namespace vendrix {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Thrown from the client's events to end a GET once its head has arrived.
struct HeadArrived {};

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

int StatusCode(const std::string& statusLine) {
  const auto blank = statusLine.find(' ');
  if (blank == std::string::npos || statusLine.size() < blank + 4) return 0;
  const std::string digits = statusLine.substr(blank + 1, 3);
  if (digits.find_first_not_of("0123456789") != std::string::npos) return 0;
  return std::stoi(digits);
}

long long ParseSize(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty() || text.size() > 18 ||
      text.find_first_not_of("0123456789") != std::string_view::npos) {
    return -1;
  }
  return std::stoll(std::string(text));
}

// The address a Location header leads to from url.
std::string Resolve(const std::string& url, const std::string& location) {
  const std::string lower = Lower(location);
  if (lower.rfind("http://", 0) == 0 || lower.rfind("https://", 0) == 0) return location;
  const auto schemeEnd = url.find("://");
  if (schemeEnd == std::string::npos) return location;
  if (location.rfind("//", 0) == 0) return url.substr(0, schemeEnd + 1) + location;
  const auto pathStart = url.find('/', schemeEnd + 3);
  const std::string origin = pathStart == std::string::npos ? url : url.substr(0, pathStart);
  if (!location.empty() && location.front() == '/') return origin + location;
  std::string base = pathStart == std::string::npos ? "/" : url.substr(pathStart);
  base = base.substr(0, base.find_first_of("?#"));
  return origin + base.substr(0, base.rfind('/') + 1) + location;
}

struct HeadAnswer {
  int status = 0;
  std::string statusLine, location;
  long long length = -1;  // Content-Length, or the size a Content-Range names
};

// One request; a failure to get any answer throws EHttpClient (or VendrixError).
HeadAnswer Ask(const std::string& url, bool head, int seconds, const std::string& caFile) {
  THttpClient http;
  http.TimeOut = seconds;
  http.CaFile = caFile;
  HeadAnswer answer;
  long long contentLength = -1, rangeTotal = -1;
  http.OnHeader = [&](const std::string& field, const std::string& value) {
    const std::string f = Lower(field);
    if (f == "location") answer.location = value;
    if (f == "content-length") contentLength = ParseSize(value);
    if (f == "content-range") {
      const auto slash = value.rfind('/');
      if (slash != std::string::npos)
        rangeTotal = ParseSize(std::string_view(value).substr(slash + 1));
    }
  };
  if (!head) {
    http.ExtraHeaders = {"Range: bytes=0-0"};
    http.OnStartTransfer = [] { throw HeadArrived{}; };
  }
  http.SetURL(url);
  try {
    http.SetAction(head ? THttpActions::httpHead : THttpActions::httpGet);
  } catch (const HeadArrived&) {
  } catch (const EHttpClient& e) {
    if (e.ErrorCode != code::kHttpStatus) throw;
  }
  answer.statusLine = http.StatusLine();
  answer.status = StatusCode(answer.statusLine);
  answer.length = rangeTotal >= 0 ? rangeTotal : (answer.status == 206 ? -1 : contentLength);
  return answer;
}

}  // namespace

std::vector<UrlProbe> ProfileUrls(const AppProfile& app, const CompanyProfile& company,
                                  long long programSize) {
  std::vector<UrlProbe> out;
  auto add = [&](const char* where, const char* field, const std::string& url, long long size) {
    if (url.find_first_not_of(' ') == std::string::npos) return;
    out.push_back({where, field, url, size});
  };
  add(kWhereApplication, "APPURL", app.appUrl, -1);
  const std::pair<const char*, const std::string*> downloads[] = {
      {"DL1_32", &app.dl1_32}, {"DL2_32", &app.dl2_32}, {"DL3_32", &app.dl3_32},
      {"DL4_32", &app.dl4_32}, {"DL1_16", &app.dl1_16}, {"DL2_16", &app.dl2_16},
      {"DL3_16", &app.dl3_16}, {"DL4_16", &app.dl4_16}};
  for (const auto& [field, url] : downloads) add(kWhereApplication, field, *url, programSize);
  add(kWhereApplication, "SHOT", app.screenshotUrl, -1);
  add(kWhereApplication, "GIF", app.gifUrl, -1);
  add(kWhereApplication, "ICO", app.icoUrl, -1);
  add(kWhereCompany, "CURL", company.url, -1);
  return out;
}

std::optional<Finding> CheckUrl(const UrlProbe& probe, const OnlineOptions& options) {
  const auto deadline = SteadyClock::now() + std::chrono::seconds(options.timeoutSeconds);
  auto fail = [&](const std::string& text) {
    return Finding{FindingSeverity::Error, probe.where, probe.field, probe.url + ": " + text};
  };
  std::string url = probe.url;
  for (int hop = 0;; ++hop) {
    const auto left =
        std::chrono::duration_cast<std::chrono::seconds>(deadline - SteadyClock::now()).count();
    if (left < 1 || (options.cancel && options.cancel->IsCancelled())) {
      return fail("no answer within " + std::to_string(options.timeoutSeconds) + " seconds.");
    }
    HeadAnswer answer;
    try {
      answer = Ask(url, true, static_cast<int>(left), options.caFile);
      if (answer.status == 405 || answer.status == 501) {
        answer = Ask(url, false, static_cast<int>(left), options.caFile);
      }
    } catch (const std::exception& e) {
      return fail(std::string(e.what()) + ".");
    }
    if (answer.status >= 300 && answer.status < 400 && !answer.location.empty()) {
      if (hop >= options.maxRedirects) {
        return fail("more than " + std::to_string(options.maxRedirects) + " redirects.");
      }
      url = Resolve(url, answer.location);
      continue;
    }
    if (answer.status < 200 || answer.status >= 300) {
      return fail("the server answered \"" + answer.statusLine + "\".");
    }
    if (probe.expectedSize >= 0 && answer.length >= 0 && answer.length != probe.expectedSize) {
      return Finding{FindingSeverity::Warning, probe.where, probe.field,
                     probe.url + " offers " + std::to_string(answer.length) +
                         " bytes; the program file holds " + std::to_string(probe.expectedSize) +
                         " bytes."};
    }
    return std::nullopt;
  }
}

std::optional<Finding> CheckServer(const ServerProbe& probe, const OnlineOptions& options) {
  try {
    Stream stream;
    stream.Connect(probe.host, probe.port, Waiter::For(options.cancel, options.timeoutSeconds));
    return std::nullopt;
  } catch (const std::exception& e) {
    return Finding{FindingSeverity::Error, probe.where, probe.field,
                   "The server " + probe.host + ":" + std::to_string(probe.port) +
                       " takes no connection: " + e.what() + "."};
  }
}

std::vector<Finding> CheckOnline(const std::vector<UrlProbe>& urls,
                                 const std::vector<ServerProbe>& servers,
                                 const OnlineOptions& options) {
  const std::size_t total = urls.size() + servers.size();
  std::vector<std::optional<Finding>> results(total);
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i = next++; i < total; i = next++) {
      results[i] = i < urls.size() ? CheckUrl(urls[i], options)
                                   : CheckServer(servers[i - urls.size()], options);
    }
  };
  const std::size_t threads =
      std::min<std::size_t>(total, static_cast<std::size_t>(std::max(1, options.parallel)));
  std::vector<std::thread> pool;
  try {
    for (std::size_t t = 0; t < threads; ++t) pool.emplace_back(work);
  } catch (const std::system_error&) {
    // Fewer threads than asked for: the ones that started (or this one) do the work.
  }
  if (pool.empty()) work();
  for (auto& t : pool) t.join();
  std::vector<Finding> out;
  for (auto& r : results) {
    if (r) out.push_back(std::move(*r));
  }
  return out;
}

}  // namespace vendrix
