#include "base/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_io.h"

namespace vendrix {
namespace {

[[noreturn]] void Unreadable(const std::string& name, int err) {
  throw VendrixError("Unable to read " + Utf8ToCp1252(name) + ": " + std::strerror(err));
}

}  // namespace

FileReader::~FileReader() {
  if (folder_ >= 0) ::close(folder_);
}

bool FileReader::OpenFolder(const std::string& folder) {
  if (folder_ >= 0) ::close(folder_);
  folder_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  folderMissing_ = folder_ < 0;
  if (folderMissing_) folder_ = AT_FDCWD;
  return !folderMissing_;
}

std::optional<std::string_view> FileReader::Read(const std::string& name) {
  if (folderMissing_) return std::nullopt;
  // Non-blocking, and only a plain file: a FIFO in a file's place never holds the reader.
  int fd = OpenForReading(name, folder_);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    int err = errno;
    ::close(fd);
    Unreadable(name, err);
  }
  // Read until its size is reached (or, for a file that grew meanwhile, until the end).
  const bool sized = true;
  const std::size_t expected = static_cast<std::size_t>(st.st_size);
  if (buffer_.size() < expected + 1) buffer_.resize(expected + 1 > 65536 ? expected + 1 : 65536);
  std::size_t got = 0;
  for (;;) {
    if (got == buffer_.size()) buffer_.resize(buffer_.size() * 2);
    ssize_t n = ::read(fd, buffer_.data() + got, buffer_.size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      Unreadable(name, err);
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
    if (sized && got == expected) break;
  }
  ::close(fd);
  return std::string_view(buffer_.data(), got);
}

}  // namespace vendrix
