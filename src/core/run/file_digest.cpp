#include "run/file_digest.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "base/error.h"

namespace vendrix {

void Sha256::Free::operator()(EVP_MD_CTX* ctx) const {
  EVP_MD_CTX_free(ctx);
}

Sha256::Sha256() : ctx_(EVP_MD_CTX_new()) {
  if (!ctx_ || EVP_DigestInit_ex(ctx_.get(), EVP_sha256(), nullptr) != 1) {
    throw VendrixError("SHA-256 is not available.");
  }
}

void Sha256::Add(std::string_view bytes) {
  if (EVP_DigestUpdate(ctx_.get(), bytes.data(), bytes.size()) != 1) {
    throw VendrixError("SHA-256 is not available.");
  }
}

std::string Sha256::Hex() {
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(ctx_.get(), md, &length) != 1) {
    throw VendrixError("SHA-256 is not available.");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[md[i] >> 4];
    hex += kHex[md[i] & 15];
  }
  return hex;
}

std::optional<FileDigest> DigestFile(const std::string& path) {
  // Non-blocking, and a plain file only: a FIFO in the program's place never holds the run.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  FileDigest digest;
  try {
    Sha256 sha;
    std::vector<char> block(256 * 1024);
    for (;;) {
      const ssize_t n = ::read(fd, block.data(), block.size());
      if (n == 0) break;
      if (n < 0) {
        ::close(fd);
        return std::nullopt;
      }
      digest.bytes += n;
      sha.Add(std::string_view(block.data(), static_cast<std::size_t>(n)));
    }
    digest.sha256 = sha.Hex();
  } catch (const VendrixError&) {
    ::close(fd);
    return std::nullopt;
  }
  ::close(fd);
  return digest;
}

}  // namespace vendrix
