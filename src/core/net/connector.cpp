#include "net/connector.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <deque>

#include "net/net_error.h"

namespace vendrix {
namespace {

using Clock = std::chrono::steady_clock;

// The addresses in the order they are tried: families in turn, each in its order.
std::vector<Address> Interleaved(const std::vector<Address>& addresses) {
  if (addresses.empty()) return {};
  std::deque<Address> first, other;
  const int family = addresses.front().Family();
  for (const auto& a : addresses) (a.Family() == family ? first : other).push_back(a);
  std::vector<Address> out;
  while (!first.empty() || !other.empty()) {
    for (auto* queue : {&first, &other}) {
      if (queue->empty()) continue;
      out.push_back(queue->front());
      queue->pop_front();
    }
  }
  return out;
}

// Connection attempts in progress; closes every socket not handed out.
class Attempts {
 public:
  ~Attempts() {
    for (int fd : fds_) ::close(fd);
  }
  // Starts connecting to a; true when it connected at once (Winner() then holds it),
  // false when it is under way or failed (error() then holds the errno).
  bool Start(const Address& a) {
    int fd = ::socket(a.Family(), SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
      error_ = errno;
      return false;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&a.storage), a.length) == 0) {
      winner_ = fd;
      return true;
    }
    if (errno != EINPROGRESS) {
      error_ = errno;
      ::close(fd);
      return false;
    }
    fds_.push_back(fd);
    return false;
  }
  bool Empty() const { return fds_.empty(); }
  int error() const { return error_; }
  // Waits until an attempt ends, the wait until `until` runs out, or the Waiter ends;
  // true when one connected (Winner() then holds it).
  bool Wait(Clock::time_point until, const Waiter& w) {
    std::vector<pollfd> polls;
    for (int fd : fds_) polls.push_back({fd, POLLOUT, 0});
    for (const CancelToken* token : {w.cancel, w.stop}) {
      if (token) polls.push_back({token->Fd(), POLLIN, 0});
    }
    auto now = Clock::now();
    if (now >= w.deadline) throw NetFailure(kErrTimedOut, SocketErrorText(kErrTimedOut));
    until = std::min(until, w.deadline);
    // One sleep until the next attempt is due or the deadline, rounded up.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
    int n = ::poll(polls.data(), polls.size(),
                   until == Clock::time_point::max()
                       ? -1
                       : static_cast<int>(std::clamp<long long>(left, 0, INT_MAX)));
    if (n < 0) {
      if (errno == EINTR) return false;
      throw NetFailure(SocketCodeOfErrno(errno), SocketErrorText(SocketCodeOfErrno(errno)));
    }
    for (std::size_t k = fds_.size(); k < polls.size(); ++k) {
      if (polls[k].revents & POLLIN) throw NetFailure(kErrInterrupted, "Interrupted");
    }
    for (std::size_t i = 0; i < fds_.size(); ++i) {
      if (!polls[i].revents) continue;
      int err = 0;
      socklen_t len = sizeof err;
      if (::getsockopt(fds_[i], SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
      if (err == 0) {
        winner_ = fds_[i];
        fds_.erase(fds_.begin() + static_cast<std::ptrdiff_t>(i));
        return true;
      }
      error_ = err;
      ::close(fds_[i]);
      fds_.erase(fds_.begin() + static_cast<std::ptrdiff_t>(i));
      ended_ = true;
      return false;
    }
    return false;
  }
  // Whether an attempt failed since the last call.
  bool TakeEnded() {
    bool e = ended_;
    ended_ = false;
    return e;
  }
  int Winner() const { return winner_; }

 private:
  std::vector<int> fds_;
  int winner_ = -1;
  int error_ = ECONNREFUSED;
  bool ended_ = false;
};

}  // namespace

int ConnectFirst(const std::vector<Address>& addresses, const Waiter& w) {
  const std::vector<Address> order = Interleaved(addresses);
  Attempts attempts;
  std::size_t next = 0;
  auto nextStart = Clock::now();
  for (;;) {
    w.Check();
    if (next < order.size() && (attempts.Empty() || Clock::now() >= nextStart)) {
      if (attempts.Start(order[next++])) return attempts.Winner();
      nextStart = Clock::now() + kAttemptDelay;
      continue;  // a failure at once goes straight on to the next address
    }
    if (attempts.Empty()) {
      int code = SocketCodeOfErrno(attempts.error());
      throw NetFailure(code, SocketErrorText(code));
    }
    auto until = next < order.size() ? nextStart : Clock::time_point::max();
    if (attempts.Wait(until, w)) return attempts.Winner();
    if (attempts.TakeEnded()) nextStart = Clock::now();  // a failed attempt makes room at once
  }
}

}  // namespace vendrix
