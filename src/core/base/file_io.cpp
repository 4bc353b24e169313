#include "base/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/cp1252.h"
#include "base/error.h"

namespace vendrix {

bool FileExists(const std::string& path) {
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
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    throw VendrixError("Unable to delete " + Utf8ToCp1252(path) + ": " + std::strerror(errno));
  }
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    throw VendrixError("Unable to read " + Utf8ToCp1252(path) + ": " + std::strerror(errno));
  }
  std::string data;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      throw VendrixError("Unable to read " + Utf8ToCp1252(path) + ": " + std::strerror(err));
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

void WriteFileAtomic(const std::string& path, std::string_view data, const WriteOptions& options) {
  std::string dir = ".";
  std::string base = path;
  if (auto slash = path.rfind('/'); slash != std::string::npos) {
    dir = slash == 0 ? "/" : path.substr(0, slash);
    base = path.substr(slash + 1);
  }
  std::string tmpl = (dir == "/" ? "" : dir) + "/." + base + ".XXXXXX";
  int fd = ::mkstemp(tmpl.data());
  if (fd < 0) throw VendrixError(UnableToWrite(path));
  auto fail = [&] {
    ::close(fd);
    ::unlink(tmpl.c_str());
    throw VendrixError(UnableToWrite(path));
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
    ::unlink(tmpl.c_str());
    throw VendrixError(UnableToWrite(path));
  }
  if (::rename(tmpl.c_str(), path.c_str()) != 0) {
    ::unlink(tmpl.c_str());
    throw VendrixError(UnableToWrite(path));
  }
}

}  // namespace vendrix
