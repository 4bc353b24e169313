#include "base/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_batch.h"

namespace vendrix {

bool FileExists(const std::string& path) {
  if (const FileBatch* batch = FileBatch::Current()) {
    if (auto pending = batch->Pending(path)) return pending->has_value();
  }
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDir(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  return errno == EEXIST && DirExists(path);
}

void RemoveFile(const std::string& path) {
  if (FileBatch* batch = FileBatch::Current()) {
    batch->Remove(path);
    return;
  }
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    throw VendrixError("Unable to delete " + Utf8ToCp1252(path) + ": " + std::strerror(errno));
  }
}

int OpenForReading(const std::string& path, int folder) {
  // Non-blocking: a FIFO or a device put in a file's place must not hold the reader.
  int fd = ::openat(folder, path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return -1;
    throw VendrixError(UnableToRead(path) + ": " + std::strerror(errno));
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    throw VendrixError(UnableToRead(path) + ": " + std::strerror(err));
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    throw VendrixError(UnableToRead(path) + ": it is not a plain file");
  }
  return fd;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  if (const FileBatch* batch = FileBatch::Current()) {
    if (auto pending = batch->Pending(path)) return *pending;
  }
  int fd = OpenForReading(path);
  if (fd < 0) return std::nullopt;
  std::string data;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      throw VendrixError(UnableToRead(path) + ": " + std::strerror(err));
    }
    if (n == 0) break;
    data.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return data;
}

std::string UnableToWrite(const std::string& path) {
  return "Unable to write to " + Utf8ToCp1252(path);
}

std::string UnableToRead(const std::string& path) {
  return "Unable to read " + Utf8ToCp1252(path);
}

std::string StageFile(const std::string& path, std::string_view data, const WriteOptions& options) {
  std::string dir = ".";
  std::string base = path;
  if (auto slash = path.rfind('/'); slash != std::string::npos) {
    dir = slash == 0 ? "/" : path.substr(0, slash);
    base = path.substr(slash + 1);
  }
  std::string tmpl = (dir == "/" ? "" : dir) + "/." + base + ".XXXXXX";
  int fd = ::mkstemp(tmpl.data());
  if (fd < 0) throw VendrixError(UnableToWrite(path) + ": " + std::strerror(errno));
  auto fail = [&] {
    const int err = errno;
    ::close(fd);
    ::unlink(tmpl.c_str());
    throw VendrixError(UnableToWrite(path) + ": " + std::strerror(err));
  };
  // Keep the permissions of the file being replaced; new files get the usual 0666 & ~umask.
  struct stat st {};
  mode_t mode;
  if (options.mode) {
    mode = static_cast<mode_t>(*options.mode & 07777);
  } else if (::stat(path.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd, mode) != 0) fail();
  std::size_t off = 0;
  while (off < data.size()) {
    ssize_t n = ::write(fd, data.data() + off, data.size() - off);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail();
    }
    off += static_cast<std::size_t>(n);
  }
  if (options.flush && ::fsync(fd) != 0) fail();
  if (::close(fd) != 0) {
    const int err = errno;
    ::unlink(tmpl.c_str());
    throw VendrixError(UnableToWrite(path) + ": " + std::strerror(err));
  }
  return tmpl;
}

void WriteFileAtomic(const std::string& path, std::string_view data, const WriteOptions& options) {
  if (FileBatch* batch = FileBatch::Current()) {
    batch->Write(path, data, options);
    return;
  }
  const std::string staged = StageFile(path, data, options);
  if (::rename(staged.c_str(), path.c_str()) != 0) {
    const int err = errno;
    ::unlink(staged.c_str());
    throw VendrixError(UnableToWrite(path) + ": " + std::strerror(err));
  }
}

}  // namespace vendrix
