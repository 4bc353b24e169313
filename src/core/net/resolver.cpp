#include "net/resolver.h"

#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include "base/error_codes.h"
#include "net/net_error.h"

namespace vendrix {
namespace {

constexpr int kHostNotFound = code::kHostNotFound;
constexpr int kTryAgain = code::kLookupTryAgain;
constexpr int kNonRecoverable = code::kLookupFailed;
constexpr int kNoData = code::kNoAddress;

[[noreturn]] void ThrowLookup(int code) {
  throw NetFailure(code, SocketErrorText(code));
}

std::vector<Address> AddressesOf(const addrinfo* list) {
  std::vector<Address> out;
  for (const addrinfo* ai = list; ai && out.size() < kMaxAddresses; ai = ai->ai_next) {
    if (ai->ai_addrlen > sizeof(sockaddr_storage)) continue;
    if (ai->ai_family != AF_INET && ai->ai_family != AF_INET6) continue;
    Address a;
    std::memcpy(&a.storage, ai->ai_addr, ai->ai_addrlen);
    a.length = ai->ai_addrlen;
    out.push_back(a);
  }
  return out;
}

// getaddrinfo for a TCP service; false with the error code when the lookup failed.
bool GetAddresses(const std::string& host, std::uint16_t port, int flags, std::vector<Address>& out,
                  int& rc) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_family = AF_UNSPEC;
  hints.ai_flags = flags;
  addrinfo* list = nullptr;
  rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
  if (rc != 0) return false;
  std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> guard(list, ::freeaddrinfo);
  out = AddressesOf(list);
  return true;
}

class GetAddrInfoResolver : public NameResolver {
 public:
  std::vector<Address> Lookup(const std::string& host, std::uint16_t port) override {
    std::vector<Address> out;
    int rc = 0;
    if (!GetAddresses(host, port, AI_ADDRCONFIG, out, rc) &&
        // Loopback-only machines have no configured address: ask again without.
        !GetAddresses(host, port, 0, out, rc)) {
      ThrowLookup(rc == EAI_AGAIN    ? kTryAgain
                  : rc == EAI_FAIL   ? kNonRecoverable
                  : rc == EAI_NODATA ? kNoData
                                     : kHostNotFound);
    }
    if (out.empty()) ThrowLookup(kNoData);
    return out;
  }
};

std::mutex resolverMutex;
std::shared_ptr<NameResolver> current;  // nullptr: the system's
std::atomic<int> running{0};

std::shared_ptr<NameResolver> CurrentResolver() {
  std::lock_guard lock(resolverMutex);
  return current ? current : SystemResolver();
}

// One lookup's answer, shared by the waiting side and the helper thread; whichever
// lets go last frees it. The helper signals the event descriptor when it is done.
struct Answer {
  Answer() : fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
  ~Answer() {
    if (fd >= 0) ::close(fd);
  }
  Answer(const Answer&) = delete;
  Answer& operator=(const Answer&) = delete;
  int fd;
  std::mutex mutex;
  std::vector<Address> addresses;
  int code = 0;
};

void RunLookup(std::shared_ptr<Answer> answer, std::shared_ptr<NameResolver> resolver,
               std::string host, std::uint16_t port) {
  std::vector<Address> addresses;
  int code = 0;
  try {
    addresses = resolver->Lookup(host, port);
    if (addresses.size() > kMaxAddresses) addresses.resize(kMaxAddresses);
    if (addresses.empty()) code = kNoData;
  } catch (const NetFailure& f) {
    code = f.code;
  } catch (...) {
    code = kNonRecoverable;
  }
  {
    std::lock_guard lock(answer->mutex);
    answer->addresses = std::move(addresses);
    answer->code = code;
  }
  std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(answer->fd, &one, sizeof one);
  answer.reset();
  resolver.reset();
  running.fetch_sub(1);
}

// A numeric address as it stands; false for a name.
bool NumericAddress(const std::string& host, std::uint16_t port, std::vector<Address>& out) {
  int rc = 0;
  return GetAddresses(host, port, AI_NUMERICHOST, out, rc) && !out.empty();
}

}  // namespace

std::shared_ptr<NameResolver> SystemResolver() {
  static const auto system = std::make_shared<GetAddrInfoResolver>();
  return system;
}

std::shared_ptr<NameResolver> SetNameResolver(std::shared_ptr<NameResolver> resolver) {
  std::lock_guard lock(resolverMutex);
  std::swap(current, resolver);
  return resolver;
}

int RunningLookups() {
  return running.load();
}

static std::vector<Address> Resolve(const std::string& host, std::uint16_t port, const Waiter& w) {
  std::string name = host;
  if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
    name = name.substr(1, name.size() - 2);
  }
  std::vector<Address> numeric;
  if (NumericAddress(name, port, numeric)) return numeric;
  w.Check();
  if (name.empty() || name.find('\0') != std::string::npos) ThrowLookup(kHostNotFound);

  if (running.fetch_add(1) >= kMaxRunningLookups) {
    running.fetch_sub(1);
    ThrowLookup(kTryAgain);  // the resolver is not answering the lookups already made
  }
  auto answer = std::make_shared<Answer>();
  if (answer->fd < 0) {
    running.fetch_sub(1);
    ThrowLookup(kTryAgain);
  }
  try {
    std::thread(RunLookup, answer, CurrentResolver(), name, port).detach();
  } catch (const std::system_error&) {
    running.fetch_sub(1);
    ThrowLookup(kTryAgain);
  }
  w.Wait(answer->fd, POLLIN);  // the deadline and the cancel token end this wait
  std::lock_guard lock(answer->mutex);
  if (answer->code != 0) ThrowLookup(answer->code);
  return std::move(answer->addresses);
}

// A failed lookup names the host, in words as curl says it; the code stays the client's.
std::vector<Address> ResolveHost(const std::string& host, std::uint16_t port, const Waiter& w) {
  try {
    return Resolve(host, port, w);
  } catch (const NetFailure& f) {
    const char* why = f.code == kTryAgain         ? ": the name server did not answer"
                      : f.code == kNonRecoverable ? ": the name server failed"
                      : f.code == kNoData         ? ": it has no address"
                                                  : "";
    if (f.code != kHostNotFound && *why == '\0') throw;
    throw NetFailure(f.code, "could not resolve host " + host + why);
  }
}

}  // namespace vendrix
