#pragma once
// A change of several files made whole or not at all (a PAD import, a new company,
// application or site, a deletion).
//
// While a FileBatch is open on a thread, WriteFileAtomic and RemoveFile on that thread
// only record what they would do, and ReadWholeFile and FileExists answer as if they
// had done it. Commit then writes every new content into its hidden staging file beside
// its target and flushes it; only when all are there does it rename them into place
// (files that are new first, then the files they replace, removals last: a list never
// names a file before the file exists). Each replaced or removed file is kept by a hard
// link until the end, so a failure while renaming puts every file back. A full disk
// therefore leaves every file as it was, and a batch dropped without Commit (a refusal
// thrown half way) writes nothing.
//
// Batches opened inside an open one join it: only the outermost Commit writes. Commit
// throws VendrixError ("Unable to write to PATH: reason"), everything as before. One
// thread: the batch belongs to the thread that opened it.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_io.h"

namespace vendrix {

class FileBatch {
 public:
  FileBatch();
  ~FileBatch();
  FileBatch(const FileBatch&) = delete;
  FileBatch& operator=(const FileBatch&) = delete;

  void Commit();

  // The open batch of this thread, or nullptr. For file_io.
  static FileBatch* Current();
  void Write(const std::string& path, std::string_view data, const WriteOptions& options);
  void Remove(const std::string& path);
  // What the batch holds for a path: nullopt when it holds nothing, else the content
  // (an inner nullopt: removed).
  std::optional<std::optional<std::string>> Pending(const std::string& path) const;

 private:
  struct Entry {
    std::string path;
    std::optional<std::string> data;  // nullopt: the file is removed
    WriteOptions options;
  };
  std::vector<Entry> entries_;
  FileBatch* outer_ = nullptr;
  bool joined_ = false;
  bool done_ = false;
};

}  // namespace vendrix
