#pragma once
// TZipArchiver: makes zip archives (PKZIP, deflate level 9) and unpacks them. An
// archive may come from the network, so extraction never writes outside ExtrBaseDir:
// unsafe entry names and links are refused, and the count of entries and the bytes
// actually decompressed are capped.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vendrix {

class TZipArchiver {
 public:
  // OnProgress types.
  static constexpr int kFileStarts = 0, kStep = 1, kBatchEnds = 2;

  int AddCompLevel = 9;
  bool AddDirNames = false;  // keep folder names of added files
  std::string ExtrBaseDir;
  bool ExtrDirNames = false;  // keep the entries' folders when extracting
  bool ExtrOverWrite = false;
  std::vector<std::string> FSpecArgs;  // files to add (UTF-8 paths)
  std::string ZipFilename;

  std::uint64_t MaxEntries = 10000;
  std::uint64_t MaxTotalBytes = 1ull << 30;  // bytes written by one extraction

  std::function<void(int type, const std::string& name, std::uint64_t size)> OnProgress;
  std::function<void(int code, const std::string& message)> OnMessage;
  std::atomic<bool> Cancel{false};

  // Adds FSpecArgs to ZipFilename (created or extended); returns the count of files
  // added. Problems are reported through OnMessage. Clears FSpecArgs.
  int Add();
  // Extracts every entry into ExtrBaseDir; returns the count of files written.
  int Extract();
  // The entry names of ZipFilename (empty when it cannot be read).
  std::vector<std::string> EntryNames() const;

 private:
  void Message(int code, const std::string& text);
  void Progress(int type, const std::string& name, std::uint64_t size);
};

// The checked relative path of an entry (components split on "/" and "\"), or empty
// when the name is unsafe; why says what was wrong.
std::vector<std::string> SafeEntryPath(const std::string& name, std::string& why);

}  // namespace vendrix
