#include "run/file_digest.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace vendrix {

std::optional<FileDigest> DigestFile(const std::string& path) {
  // Non-blocking, and a plain file only: a FIFO in the program's place never holds the run.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  FileDigest digest;
  bool ok = ctx && EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) == 1;
  std::vector<unsigned char> block(256 * 1024);
  while (ok) {
    const ssize_t n = ::read(fd, block.data(), block.size());
    if (n == 0) break;
    if (n < 0) {
      ok = false;
      break;
    }
    digest.bytes += n;
    ok = EVP_DigestUpdate(ctx.get(), block.data(), static_cast<std::size_t>(n)) == 1;
  }
  ::close(fd);
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!ok || EVP_DigestFinal_ex(ctx.get(), md, &length) != 1) return std::nullopt;
  static constexpr char kHex[] = "0123456789abcdef";
  for (unsigned int i = 0; i < length; ++i) {
    digest.sha256 += kHex[md[i] >> 4];
    digest.sha256 += kHex[md[i] & 15];
  }
  return digest;
}

}  // namespace vendrix
