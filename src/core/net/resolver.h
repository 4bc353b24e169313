#pragma once
// Host-name lookup that keeps to an action's deadline and cancel token.
//
// The system's lookup (getaddrinfo) blocks for as long as the configured name servers
// take and cannot be interrupted. ResolveHost therefore runs each lookup of a name on
// a helper thread and waits for its answer like any other network wait: it throws
// NetFailure 301 "Interrupted" at once when the token is cancelled and 10060 at the
// Waiter's deadline, and leaves the abandoned lookup to finish on its own thread.
// At most kMaxRunningLookups lookups run at once; while that many are stuck, a new
// lookup fails at once with 11002 rather than piling up threads. An answer keeps at
// most kMaxAddresses addresses. A numeric address (IPv4 or IPv6, with or without
// brackets) is taken as it stands, without a thread and without the resolver.
//
// Failures of the lookup itself throw NetFailure ("could not resolve host NAME", then
// the reason when it is not plain 11001 "Host not found") 11001, 11002 (a
// temporary failure), 11003 (a non-recoverable one) or 11004 (no address record).
// Any thread may call; each call waits on its own answer.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/stream.h"

namespace vendrix {

inline constexpr int kMaxRunningLookups = 8;
inline constexpr std::size_t kMaxAddresses = 16;

// The blocking lookup of a host name: every address of host with port set, in the
// order they should be tried; throws NetFailure with a code as above. Runs on a
// helper thread; an implementation must be safe to call from several at once.
class NameResolver {
 public:
  virtual ~NameResolver() = default;
  virtual std::vector<Address> Lookup(const std::string& host, std::uint16_t port) = 0;
};

// The system's resolver (getaddrinfo; names resolve to IPv6 and IPv4 addresses).
std::shared_ptr<NameResolver> SystemResolver();

// Makes resolver the one every later lookup uses (nullptr: the system's) and returns
// the one used before. Lookups already running keep theirs.
std::shared_ptr<NameResolver> SetNameResolver(std::shared_ptr<NameResolver> resolver);

// The addresses of host (a name or a numeric address) at port, within w.
std::vector<Address> ResolveHost(const std::string& host, std::uint16_t port, const Waiter& w);

// How many lookups are still running on helper threads, abandoned ones included.
int RunningLookups();

}  // namespace vendrix
