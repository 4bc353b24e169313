#pragma once
// Reads many small files one after the other into one buffer that is kept from file to
// file: one open, one size query and (for a file that does not grow meanwhile) one read
// each, and no allocation once the buffer fits the largest file. Names are UTF-8; a
// name may be relative to a folder opened once (OpenFolder), which spares the kernel
// the walk along the folder's path for every file. Read throws VendrixError
// (Windows-1252 text) when a file exists but cannot be read. One thread per reader.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

class FileReader {
 public:
  FileReader() = default;
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  // Names given to Read from now on are taken inside folder (a path); false when the
  // folder cannot be opened, and every Read then finds nothing.
  bool OpenFolder(const std::string& folder);
  // The file's bytes, valid until the next Read, or nullopt when it does not exist.
  std::optional<std::string_view> Read(const std::string& name);

 private:
  int folder_ = -100;  // AT_FDCWD until OpenFolder
  bool folderMissing_ = false;
  std::vector<char> buffer_;
};

}  // namespace vendrix
