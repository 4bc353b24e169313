#pragma once
// The content type of a file by its extension, from the system's table
// ("/etc/mime.types": "type ext ext ..." lines, "#" comments). The extension is
// matched without regard to case; the first type listed for it wins.
// Thread-safe: the system table is read once, on first use.
#include <string>
#include <unordered_map>

namespace vendrix {

class MimeTypeTable {
 public:
  // An unreadable file gives an empty table.
  static MimeTypeTable Load(const std::string& path);
  // The type for a file name's extension, or "application/octet-stream".
  std::string TypeOf(const std::string& fileName) const;

 private:
  std::unordered_map<std::string, std::string> types_;  // lower-case extension -> type
};

const MimeTypeTable& SystemMimeTypes();

}  // namespace vendrix
