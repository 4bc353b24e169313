#include "net/part_file.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <limits>

namespace vendrix {

PartFile::PartFile(const std::string& path, long long start) : path_(path) {
  rlimit limit{};
  limit_ = ::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
               ? static_cast<std::uint64_t>(limit.rlim_cur)
               : std::numeric_limits<std::uint64_t>::max();
  if (start > 0) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  } else {
    part_ = path + ".part";
    fd_ = ::open(part_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  }
  if (fd_ < 0) {
    error_ = errno;
    opened_ = Opened::CannotOpen;
    return;
  }
  if (start > 0) {
    if (::lseek(fd_, start, SEEK_SET) != start) {
      error_ = errno;
      opened_ = Opened::CannotSeek;
      ::close(fd_);
      fd_ = -1;
      return;
    }
    size_ = static_cast<std::uint64_t>(start);
  }
}

PartFile::~PartFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!part_.empty()) ::unlink(part_.c_str());
}

bool PartFile::Write(std::string_view data) {
  if (fd_ < 0) return false;
  if (data.size() > limit_ || size_ > limit_ - data.size()) {
    error_ = EFBIG;  // past the limit the system would end the process with SIGXFSZ
    return false;
  }
  while (!data.empty()) {
    ssize_t n = ::write(fd_, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = n < 0 ? errno : ENOSPC;
      return false;
    }
    size_ += static_cast<std::uint64_t>(n);
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool PartFile::Commit() {
  if (fd_ < 0) return false;
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 || (!part_.empty() && ::rename(part_.c_str(), path_.c_str()) != 0)) {
    error_ = errno;
    return false;
  }
  part_.clear();
  return true;
}

}  // namespace vendrix
