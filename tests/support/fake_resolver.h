#pragma once
// A name resolver for tests that must not depend on real DNS: it answers every name
// with a fixed list of addresses, or (hang) blocks until released, as a name server
// that never answers would. ScopedResolver installs one for a test and, when the test
// ends, releases what still hangs and waits for those lookups to finish.
#include <arpa/inet.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "net/net_error.h"
#include "net/resolver.h"

namespace vendrix::test {

inline Address LoopbackAddress(int family, std::uint16_t port) {
  Address a;
  if (family == AF_INET6) {
    auto& in6 = reinterpret_cast<sockaddr_in6&>(a.storage);
    in6.sin6_family = AF_INET6;
    in6.sin6_addr = in6addr_loopback;
    a.length = sizeof in6;
  } else {
    auto& in = reinterpret_cast<sockaddr_in&>(a.storage);
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.length = sizeof in;
  }
  a.SetPort(port);
  return a;
}

class FakeResolver : public NameResolver {
 public:
  std::vector<Address> Lookup(const std::string&, std::uint16_t) override {
    ++calls;
    std::unique_lock lock(mutex_);
    if (hang) {
      released_.wait(lock, [this] { return !hang; });
      throw NetFailure(11002, SocketErrorText(11002));
    }
    return answer;
  }
  void Answer(std::vector<Address> addresses) {
    std::lock_guard lock(mutex_);
    answer = std::move(addresses);
  }
  void Hang() {
    std::lock_guard lock(mutex_);
    hang = true;
  }
  void Release() {
    {
      std::lock_guard lock(mutex_);
      hang = false;
    }
    released_.notify_all();
  }
  std::atomic<int> calls{0};

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool hang = false;
  std::vector<Address> answer;
};

class ScopedResolver {
 public:
  ScopedResolver() : fake(std::make_shared<FakeResolver>()), previous_(SetNameResolver(fake)) {}
  ~ScopedResolver() {
    fake->Release();
    SetNameResolver(previous_);
    for (int i = 0; i < 500 && RunningLookups() > 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  FakeResolver* operator->() const { return fake.get(); }
  std::shared_ptr<FakeResolver> fake;

 private:
  std::shared_ptr<NameResolver> previous_;
};

}  // namespace vendrix::test
