#include "mail/spool_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "mail/mail_error.h"

namespace vendrix {
namespace {

constexpr std::size_t kBufferSize = 256 * 1024;

[[noreturn]] void Fail() {
  throw EMessageError(kMailComposeWrite, MailErrorText(kMailComposeWrite));
}

}  // namespace

SpoolFile::SpoolFile() {
  const char* env = std::getenv("TMPDIR");
  std::string dir = env && *env ? env : "/tmp";
  fd_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    // File systems without unnamed files: a named one, removed at once.
    std::string tmpl = dir + "/vendrix-mail-XXXXXX";
    fd_ = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd_ < 0) Fail();
    ::unlink(tmpl.c_str());
  }
  buffer_.reserve(kBufferSize);
}

SpoolFile::~SpoolFile() {
  if (fd_ >= 0) ::close(fd_);
}

void SpoolFile::Write(std::string_view bytes) {
  size_ += bytes.size();
  if (buffer_.size() + bytes.size() > kBufferSize) Flush();
  if (bytes.size() >= kBufferSize) {
    buffer_.assign(bytes);
    Flush();
  } else {
    buffer_.append(bytes);
  }
}

void SpoolFile::Flush() {
  std::size_t off = 0;
  while (off < buffer_.size()) {
    ssize_t n = ::write(fd_, buffer_.data() + off, buffer_.size() - off);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail();
    }
    off += static_cast<std::size_t>(n);
  }
  buffer_.clear();
}

void SpoolFile::Rewind() {
  Flush();
  if (::lseek(fd_, 0, SEEK_SET) != 0) Fail();
}

std::size_t SpoolFile::Read(char* buf, std::size_t size) {
  for (;;) {
    ssize_t n = ::read(fd_, buf, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) Fail();
  }
}

}  // namespace vendrix
