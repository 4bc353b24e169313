#pragma once
// The SHA-256 of a file, so that an author can compare what a run sent with what a
// site publishes, and of bytes that arrive in pieces (a download). Reads a file in
// blocks (any size, little memory). Any thread; one Sha256 per thread.
#include <memory>
#include <optional>
#include <string>
#include <string_view>

typedef struct evp_md_ctx_st EVP_MD_CTX;

namespace vendrix {

struct FileDigest {
  long long bytes = 0;
  std::string sha256;  // 64 lower-case hex digits
};

// nullopt when the file cannot be read (path in UTF-8).
std::optional<FileDigest> DigestFile(const std::string& path);

// SHA-256 of bytes added in pieces. Throws VendrixError when OpenSSL cannot digest.
class Sha256 {
 public:
  Sha256();
  void Add(std::string_view bytes);
  // 64 lower-case hex digits; the digest ends here.
  std::string Hex();

 private:
  struct Free {
    void operator()(EVP_MD_CTX* ctx) const;
  };
  std::unique_ptr<EVP_MD_CTX, Free> ctx_;
};

}  // namespace vendrix
