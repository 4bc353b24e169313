#pragma once
// Opening a TCP connection to whichever of a host's addresses answers first.
//
// Attempts go in the order given with the address families taken in turn (the
// first address's family, then the other, and so on), so a name with IPv6 and IPv4
// addresses tries both early. The next attempt starts as soon as the one before
// failed, or when it has not connected within kAttemptDelay; earlier attempts go on
// meanwhile, so an address that swallows connection requests costs no more than that
// delay. The first attempt that connects wins and the others are closed.
//
// Everything keeps to the Waiter: NetFailure 301 "Interrupted" at once when its token
// is cancelled, 10060 at its deadline. When every address failed, the last failure is
// thrown with its socket code (10061 "Connection refused", 10065, ...). Any thread.
#include <chrono>
#include <vector>

#include "net/stream.h"

namespace vendrix {

inline constexpr std::chrono::milliseconds kAttemptDelay{250};

// A connected, non-blocking, close-on-exec socket to one of addresses.
int ConnectFirst(const std::vector<Address>& addresses, const Waiter& w);

}  // namespace vendrix
