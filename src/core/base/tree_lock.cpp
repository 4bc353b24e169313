#include "base/tree_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>
#include <utility>

#include "base/cp1252.h"
#include "base/error.h"

namespace vendrix {
namespace {

constexpr const char* kLockName = "vendrix.lock";
constexpr const char* kCloseFirst = ": close it first";
// A holder's record is one short line; more is not read.
constexpr std::size_t kMaxHolder = 200;
// How long a writer waits for readers to finish before it gives up.
constexpr auto kReaderWait = std::chrono::seconds(20);
constexpr auto kReaderPoll = std::chrono::milliseconds(20);

// The lock this process holds, for RepairUnder.
struct Held {
  std::mutex mutex;
  std::string file;
  int fd = -1;
  bool exclusive = false;
};
Held& HeldHere() {
  static Held held;
  return held;
}

int Flock(int fd, int how) {
  int rc;
  do {
    rc = ::flock(fd, how);
  } while (rc != 0 && errno == EINTR);
  return rc;
}

// Opens the lock file without blocking on anything odd in its place, and makes sure it
// is a plain file; -1 with errno set otherwise.
int OpenLockFile(const std::string& path, int flags) {
  int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  return fd;
}

[[noreturn]] void Unlockable(const std::string& path, int err) {
  throw VendrixError("Unable to lock the data tree (" + Utf8ToCp1252(path) +
                     "): " + std::strerror(err));
}

// The holder's record, as it wrote it; a file being rewritten at this moment (or one
// with anything but a short printable line) names no one.
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

// Whether the process a record names is alive: a record left by a killed writer, or
// one being written, names no one.
bool NamesLiveHolder(const std::string& record) {
  const std::string key = "(process ";
  const auto at = record.find(key);
  if (at == std::string::npos) return false;
  long pid = 0;
  std::size_t i = at + key.size();
  for (; i < record.size() && record[i] >= '0' && record[i] <= '9' && pid < 100000000; ++i) {
    pid = pid * 10 + (record[i] - '0');
  }
  if (pid <= 0 || i >= record.size() || record[i] != ')') return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

void WriteHolder(int fd, const std::string& text) {
  if (::ftruncate(fd, 0) != 0) return;  // the record is a courtesy only
  std::size_t off = 0;
  while (off < text.size()) {
    ssize_t n = ::pwrite(fd, text.data() + off, text.size() - off, static_cast<off_t>(off));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    off += static_cast<std::size_t>(n);
  }
}

std::string Record(const std::string& holder, TreeHolder kind) {
  std::string text = holder + " (process " + std::to_string(::getpid()) + ")";
  if (kind == TreeHolder::Desktop) return text + kCloseFirst;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  char stamp[32] = "";
  if (::localtime_r(&now, &local)) std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  return text + ", started at " + stamp;
}

std::string Refusal(const std::string& record) {
  const std::size_t n = std::strlen(kCloseFirst);
  if (record.size() > n && record.compare(record.size() - n, n, kCloseFirst) == 0) {
    return "The data tree is in use by " + record + ".";
  }
  return "The data tree is in use by " + record + ". Try again when it has finished.";
}

void Register(const std::string& file, int fd, bool exclusive) {
  Held& held = HeldHere();
  std::lock_guard guard(held.mutex);
  held.file = file;
  held.fd = fd;
  held.exclusive = exclusive;
}

}  // namespace

std::string TreeLock::LockFile(const std::string& root) {
  std::string path = root.empty() ? std::string("./") : root;
  if (path.back() != '/') path += '/';
  return path + kLockName;
}

bool TreeLock::Writable(const std::string& root) {
  return ::access(root.empty() ? "." : root.c_str(), W_OK) == 0;
}

TreeLock TreeLock::Take(const std::string& root, const std::string& holder, TreeHolder kind) {
  const std::string path = LockFile(root);
  // Never through a link someone else put there.
  int fd = OpenLockFile(path, O_RDWR | O_CREAT);
  if (fd < 0) Unlockable(path, errno);
  const auto deadline = std::chrono::steady_clock::now() + kReaderWait;
  while (Flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (error != EWOULDBLOCK) {
      ::close(fd);
      Unlockable(path, error);
    }
    const std::string who = ReadHolder(fd);
    if (NamesLiveHolder(who)) {
      ::close(fd);
      throw VendrixError(Refusal(who));
    }
    // Readers (or a writer about to write its record): they are done soon.
    if (std::chrono::steady_clock::now() >= deadline) {
      ::close(fd);
      throw VendrixError(
          "The data tree is being read by another Vendrix program. Try again when it has "
          "finished.");
    }
    std::this_thread::sleep_for(kReaderPoll);
  }
  WriteHolder(fd, Record(holder, kind) + "\r\n");
  Register(path, fd, true);
  return TreeLock(fd, true);
}

TreeLock TreeLock::Share(const std::string& root) {
  const std::string path = LockFile(root);
  int fd = OpenLockFile(path, O_RDONLY);
  if (fd < 0 && errno == ENOENT) fd = OpenLockFile(path, O_RDWR | O_CREAT);
  if (fd < 0) return TreeLock(-1, false);  // a read-only tree: no writer can come
  if (Flock(fd, LOCK_SH | LOCK_NB) != 0) {
    ::close(fd);  // a writer holds it: read beside it
    return TreeLock(-1, false);
  }
  Register(path, fd, false);
  return TreeLock(fd, false);
}

bool TreeLock::RepairUnder(const std::string& root, const std::function<void()>& repair) {
  const std::string path = LockFile(root);
  Held& held = HeldHere();
  std::unique_lock guard(held.mutex);
  if (held.fd >= 0 && held.file == path) {
    if (held.exclusive) {
      guard.unlock();
      repair();
      return true;
    }
    // A reader: exclusive for the repair, then shared again (or, should a writer come
    // between, not held: the reader reads beside it).
    const int fd = held.fd;
    if (Flock(fd, LOCK_EX | LOCK_NB) != 0) return false;
    struct Back {
      int fd;
      ~Back() {
        if (Flock(fd, LOCK_SH | LOCK_NB) != 0) Flock(fd, LOCK_UN);
      }
    } back{fd};
    repair();
    return true;
  }
  guard.unlock();
  if (!Writable(root)) return false;
  int fd = OpenLockFile(path, O_RDWR | O_CREAT);
  if (fd < 0) return false;
  struct Close {
    int fd;
    ~Close() { ::close(fd); }
  } close{fd};
  if (Flock(fd, LOCK_EX | LOCK_NB) != 0) return false;
  repair();
  return true;
}

void TreeLock::Release() {
  if (fd_ < 0) return;
  {
    Held& held = HeldHere();
    std::lock_guard guard(held.mutex);
    if (held.fd == fd_) held.fd = -1;
  }
  if (exclusive_ && ::ftruncate(fd_, 0) != 0) {
    // a stale record names a process that is gone: harmless
  }
  ::close(fd_);  // closing the last descriptor drops the lock
  fd_ = -1;
}

TreeLock::TreeLock(TreeLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), exclusive_(other.exclusive_) {}

TreeLock& TreeLock::operator=(TreeLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::exchange(other.fd_, -1);
    exclusive_ = other.exclusive_;
  }
  return *this;
}

TreeLock::~TreeLock() {
  Release();
}

}  // namespace vendrix
