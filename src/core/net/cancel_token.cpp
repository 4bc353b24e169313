#include "net/cancel_token.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace vendrix {

CancelToken::CancelToken() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

CancelToken::~CancelToken() {
  if (fd_ >= 0) ::close(fd_);
}

void CancelToken::Cancel() {
  std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
}

void CancelToken::Reset() {
  std::uint64_t value;
  while (::read(fd_, &value, sizeof value) > 0) {
  }
}

bool CancelToken::IsCancelled() const {
  pollfd p{fd_, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0;
}

}  // namespace vendrix
