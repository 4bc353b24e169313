#pragma once
// The local file of a download. A new download is written beside its final name
// (name + ".part") and replaces the file only through Commit, once the transfer is
// known to be whole; the part file goes when the object does. A download resumed at
// an offset writes into the file itself from there (it keeps what it already has).
// Writes stop at the process's file size limit with EFBIG instead of raising SIGXFSZ.
// Failures keep their errno (error()). One thread at a time.
#include <cstdint>
#include <string>
#include <string_view>

namespace vendrix {

class PartFile {
 public:
  enum class Opened { Ok, CannotOpen, CannotSeek };
  explicit PartFile(const std::string& path, long long start = 0);
  ~PartFile();
  PartFile(const PartFile&) = delete;
  PartFile& operator=(const PartFile&) = delete;

  Opened State() const { return opened_; }
  int error() const { return error_; }
  bool Write(std::string_view data);
  // Closes the file and, for a new download, renames it over the final name.
  bool Commit();

 private:
  std::string path_, part_;  // part_ empty when writing in place
  int fd_ = -1;
  Opened opened_ = Opened::Ok;
  int error_ = 0;
  std::uint64_t size_ = 0;   // where the next byte goes
  std::uint64_t limit_ = 0;  // the file size limit
};

}  // namespace vendrix
