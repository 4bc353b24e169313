#pragma once
// The lists a mail message is made of: addresses, attachments and extra header lines.
// Attachments are named here and read only when the message is composed, so a large
// file costs no memory until it is streamed. Not thread-safe: one owner at a time.
#include <string>
#include <vector>

namespace vendrix {

struct TmsMailAddress {
  std::string Name;     // display name (Windows-1252), may be empty
  std::string Address;  // "user@example.com"
};

class TmsAddressList {
 public:
  void AddAddress(const std::string& address, const std::string& name = "") {
    items_.push_back({name, address});
  }
  void Clear() { items_.clear(); }
  std::size_t Count() const { return items_.size(); }
  bool Empty() const { return items_.empty(); }
  const TmsMailAddress& operator[](std::size_t i) const { return items_[i]; }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<TmsMailAddress> items_;
};

enum class TAttEncoding { et7Bit, etBase64, etQuotedPrintable };

// The name written for an encoding: "7bit", "Base64", "Quoted-Printable".
const char* EncodingName(TAttEncoding e);
// The encoding a content type calls for: quoted-printable for text/plain, text/rtf and
// text/html, 7bit for message/rfc822, Base64 for anything else.
TAttEncoding EncodingForType(const std::string& contentType);

struct TmsAttItem {
  std::string FileName;     // the full path as given (UTF-8)
  std::string ContentType;  // from the system's table by extension
  TAttEncoding Encoding = TAttEncoding::etBase64;
  // The name written in the message: the file name without folders.
  std::string ShortName() const;
};

class TmsAttList {
 public:
  // Appends the file with its content type and encoding. Throws EMessageError
  // (57111) when the file cannot be opened for reading; its bytes are read later,
  // when the message is composed.
  void AddFile(const std::string& fileName);
  void Clear() { items_.clear(); }
  std::size_t Count() const { return items_.size(); }
  bool Empty() const { return items_.empty(); }
  const TmsAttItem& operator[](std::size_t i) const { return items_[i]; }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<TmsAttItem> items_;
};

// Extra header lines, each "Name: value" (Windows-1252).
using TmsHeaders = std::vector<std::string>;

// Throws EMessageError 57111 "Unable to read the attachment NAME: reason" unless the
// file can be opened for reading as a regular file.
void CheckAttachmentReadable(const std::string& fileName);

}  // namespace vendrix
