#include "run/host_slots.h"

#include <algorithm>
#include <cctype>
#include <chrono>

#include "net/url.h"

namespace vendrix {

HostSlots::Hold HostSlots::Take(const std::string& key, int n, const std::function<bool()>& stop) {
  n = std::clamp(n, 1, perHost_);
  std::unique_lock lock(mutex_);
  while (taken_[key] + Lingering(key, std::chrono::steady_clock::now()) + n > perHost_) {
    if (stop && stop()) return Hold();
    cv_.wait_for(lock, std::chrono::milliseconds(10));
  }
  if (stop && stop()) return Hold();
  const int now = taken_[key] += n;
  most_[key] = std::max(most_[key], now);
  return Hold(this, key, n);
}

void HostSlots::Release(const std::string& key, int n) {
  {
    std::lock_guard lock(mutex_);
    taken_[key] -= n;
    const auto until = std::chrono::steady_clock::now() + kLinger;
    for (int k = 0; k < n; ++k) lingering_[key].push_back(until);
  }
  cv_.notify_all();
}

int HostSlots::Lingering(const std::string& key, std::chrono::steady_clock::time_point now) {
  auto it = lingering_.find(key);
  if (it == lingering_.end()) return 0;
  std::erase_if(it->second, [now](auto until) { return until <= now; });
  return static_cast<int>(it->second.size());
}

void HostSlots::Wake() {
  cv_.notify_all();
}

int HostSlots::MostAtOnce(const std::string& server) const {
  std::lock_guard lock(mutex_);
  auto it = most_.find(server);
  return it == most_.end() ? 0 : it->second;
}

std::string ServerOf(const std::string& addressOrUrl, int defaultPort) {
  // An address ("host", "host:21", "[::1]:21") is read as the authority of a URL.
  const bool url = addressOrUrl.find("://") != std::string::npos;
  const UrlParts parts = SplitUrl(url ? addressOrUrl : "//" + addressOrUrl);
  std::string host = parts.error.empty() ? parts.server : std::string();
  // What the URL rules cannot read (a bare IPv6 address) is a server of its own.
  if (host.empty()) host = addressOrUrl;
  for (char& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  while (!host.empty() && host.back() == '.') host.pop_back();
  const int port = url || parts.portGiven ? parts.port : defaultPort;
  return host + ":" + std::to_string(port);
}

}  // namespace vendrix
