#include "net/cancel_token.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace vendrix {

CancelToken::CancelToken() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

CancelToken::~CancelToken() {
  if (fd_ >= 0) ::close(fd_);
}

void CancelToken::Cancel() {
  std::lock_guard lock(mutex_);
  if (raised_.load(std::memory_order_relaxed)) return;
  std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
  raised_.store(true, std::memory_order_release);
}

void CancelToken::Reset() {
  std::lock_guard lock(mutex_);
  if (!raised_.load(std::memory_order_relaxed)) return;
  std::uint64_t value;
  while (::read(fd_, &value, sizeof value) > 0) {
  }
  raised_.store(false, std::memory_order_release);
}

}  // namespace vendrix
