#include "base/tree_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "base/cp1252.h"
#include "base/error.h"

namespace vendrix {
namespace {

constexpr const char* kLockName = "vendrix.lock";
// A holder's description is one short line; more is not read.
constexpr std::size_t kMaxHolder = 200;

// Who holds the lock, as the holder wrote it; a file being rewritten at this moment
// (or one with anything but a short printable line) names no one.
std::string ReadHolder(int fd) {
  char buf[kMaxHolder];
  ssize_t n;
  do {
    n = ::pread(fd, buf, sizeof buf, 0);
  } while (n < 0 && errno == EINTR);
  std::string text = n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
  const auto end = text.find_first_of("\r\n");
  if (end != std::string::npos) text.resize(end);
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20) return "";
  }
  return text;
}

void WriteHolder(int fd, const std::string& text) {
  if (::ftruncate(fd, 0) != 0) return;  // the description is a courtesy only
  std::size_t off = 0;
  while (off < text.size()) {
    ssize_t n = ::pwrite(fd, text.data() + off, text.size() - off, static_cast<off_t>(off));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    off += static_cast<std::size_t>(n);
  }
}

}  // namespace

std::string TreeLock::LockFile(const std::string& root) {
  std::string path = root.empty() ? std::string("./") : root;
  if (path.back() != '/') path += '/';
  return path + kLockName;
}

TreeLock TreeLock::Take(const std::string& root, const std::string& holder) {
  const std::string path = LockFile(root);
  // Never through a link someone else put there.
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) {
    throw VendrixError("Unable to lock the data tree (" + Utf8ToCp1252(path) +
                       "): " + std::strerror(errno));
  }
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const int error = errno;
    std::string who = error == EWOULDBLOCK ? ReadHolder(fd) : std::string();
    ::close(fd);
    if (error != EWOULDBLOCK) {
      throw VendrixError("Unable to lock the data tree (" + Utf8ToCp1252(path) +
                         "): " + std::strerror(error));
    }
    throw VendrixError("The data tree is in use by " +
                       (who.empty() ? std::string("another Vendrix program") : who) +
                       ". Try again when it has finished.");
  }
  WriteHolder(fd, holder + " (process " + std::to_string(::getpid()) + ")\r\n");
  return TreeLock(fd);
}

TreeLock::TreeLock(TreeLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

TreeLock& TreeLock::operator=(TreeLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

TreeLock::~TreeLock() {
  if (fd_ >= 0) ::close(fd_);  // closing the last descriptor drops the lock
}

}  // namespace vendrix
