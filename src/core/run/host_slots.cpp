#include "run/host_slots.h"

#include <algorithm>
#include <cctype>
#include <chrono>

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
  std::string s = addressOrUrl;
  int port = defaultPort;
  if (auto scheme = s.find("://"); scheme != std::string::npos) {
    std::string name = s.substr(0, scheme);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    port = name == "https" ? 443 : name == "http" ? 80 : name == "ftp" ? 21 : defaultPort;
    s.erase(0, scheme + 3);
  }
  s = s.substr(0, s.find_first_of("/?#"));
  if (auto at = s.rfind('@'); at != std::string::npos) s.erase(0, at + 1);
  std::string host = s, portText;
  if (!s.empty() && s.front() == '[') {
    const auto close = s.find(']');
    host = s.substr(0, close == std::string::npos ? std::string::npos : close + 1);
    if (close != std::string::npos && close + 1 < s.size() && s[close + 1] == ':') {
      portText = s.substr(close + 2);
    }
  } else if (std::count(s.begin(), s.end(), ':') == 1) {
    host = s.substr(0, s.find(':'));
    portText = s.substr(s.find(':') + 1);
  }
  if (!portText.empty() && portText.size() <= 5 &&
      portText.find_first_not_of("0123456789") == std::string::npos) {
    port = std::stoi(portText);
  }
  for (char& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  while (!host.empty() && host.back() == '.') host.pop_back();
  return host + ":" + std::to_string(port);
}

}  // namespace vendrix
