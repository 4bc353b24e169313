#pragma once
// The SHA-256 of a file, so that an author can compare what a run sent with what a
// site publishes. Reads the file in blocks (any size, little memory). Any thread.
#include <optional>
#include <string>

namespace vendrix {

struct FileDigest {
  long long bytes = 0;
  std::string sha256;  // 64 lower-case hex digits
};

// nullopt when the file cannot be read (path in UTF-8).
std::optional<FileDigest> DigestFile(const std::string& path);

}  // namespace vendrix
