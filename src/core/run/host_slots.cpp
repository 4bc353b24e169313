#include "run/host_slots.h"

#include <algorithm>
#include <cctype>
#include <chrono>

#include "net/url.h"

namespace vendrix {

std::string HostSlots::HostOf(const std::string& server) {
  const auto colon = server.rfind(':');
  if (colon == std::string::npos || colon + 1 == server.size() ||
      server.find_first_not_of("0123456789", colon + 1) != std::string::npos) {
    return server;
  }
  return server.substr(0, colon);
}

HostSlots::Hold HostSlots::Take(const std::string& server, int n,
                                const std::function<bool()>& stop) {
  n = std::clamp(n, 1, perHost_);
  const std::string key = HostOf(server);
  std::unique_lock lock(mutex_);
  Waiting me;
  std::deque<Waiting*>& line = lines_[key];
  line.push_back(&me);
  // Leaves the line; the next in it then looks whether its turn has come.
  auto leave = [&] {
    const bool first = line.front() == &me;
    std::erase(line, &me);
    if (line.empty()) {
      lines_.erase(key);
    } else if (first) {
      line.front()->cv.notify_one();
    }
  };
  for (;;) {
    if (stop && stop()) {
      leave();
      return Hold();
    }
    const auto now = std::chrono::steady_clock::now();
    const bool first = line.front() == &me;
    if (first && taken_[key] + Lingering(key, now) + n <= perHost_) break;
    // Asleep until a hold ends or this take's turn comes (both notify), the first
    // lingering slot expires, or Wake; the second is the guard for a stop test
    // nobody wakes us for.
    auto until = now + std::chrono::seconds(1);
    if (auto it = lingering_.find(key); first && it != lingering_.end() && !it->second.empty()) {
      until = std::min(until, *std::min_element(it->second.begin(), it->second.end()));
    }
    ++sleeps_;
    me.cv.wait_until(lock, until);
  }
  const int now = taken_[key] += n;
  most_[key] = std::max(most_[key], now);
  leave();
  return Hold(this, key, n);
}

void HostSlots::Release(const std::string& key, int n,
                        std::chrono::steady_clock::time_point since) {
  std::lock_guard lock(mutex_);
  taken_[key] -= n;
  const auto now = std::chrono::steady_clock::now();
  const auto until = now + std::min<std::chrono::steady_clock::duration>(kLinger, now - since);
  for (int k = 0; k < n; ++k) lingering_[key].push_back(until);
  WakeFirst(key);
}

void HostSlots::WakeFirst(const std::string& key) {
  if (auto it = lines_.find(key); it != lines_.end() && !it->second.empty()) {
    it->second.front()->cv.notify_one();
  }
}

int HostSlots::Lingering(const std::string& key, std::chrono::steady_clock::time_point now) {
  auto it = lingering_.find(key);
  if (it == lingering_.end()) return 0;
  std::erase_if(it->second, [now](auto until) { return until <= now; });
  return static_cast<int>(it->second.size());
}

void HostSlots::Wake() {
  // Under the lock: a Take between its stop test and its sleep cannot miss this.
  std::lock_guard lock(mutex_);
  for (const auto& [key, line] : lines_) {
    for (Waiting* w : line) w->cv.notify_one();
  }
}

int HostSlots::MostAtOnce(const std::string& server) const {
  std::lock_guard lock(mutex_);
  auto it = most_.find(HostOf(server));
  return it == most_.end() ? 0 : it->second;
}

int HostSlots::Sleeps() const {
  std::lock_guard lock(mutex_);
  return sleeps_;
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
