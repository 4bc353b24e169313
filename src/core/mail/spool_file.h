#pragma once
// An unnamed temporary file that holds a composed message between composing and
// sending, so that a message of any size costs only a buffer of memory. It is removed
// by the system when closed, whatever happens. Throws EMessageError (57112) when the
// file cannot be made, written or read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vendrix {

// Where composed bytes go.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(std::string_view bytes) = 0;
};

class StringSink : public ByteSink {
 public:
  void Write(std::string_view bytes) override { text.append(bytes); }
  std::string text;
};

class SpoolFile : public ByteSink {
 public:
  // In $TMPDIR, else /tmp.
  SpoolFile();
  ~SpoolFile() override;
  SpoolFile(const SpoolFile&) = delete;
  SpoolFile& operator=(const SpoolFile&) = delete;

  void Write(std::string_view bytes) override;
  // Ends writing; reading starts at the beginning.
  void Rewind();
  std::uint64_t Size() const { return size_; }
  // Reads up to size bytes; 0 at the end.
  std::size_t Read(char* buf, std::size_t size);

 private:
  void Flush();
  int fd_ = -1;
  std::string buffer_;
  std::uint64_t size_ = 0;
};

}  // namespace vendrix
