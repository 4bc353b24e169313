#pragma once
// CompressedFileCache: compresses a file once and keeps the result, so that a run that
// zips one program for many sites pays for the compression once. ArchiveOf gives a
// one-entry archive in the cache's folder holding the file, compressed at level 9;
// each site's archive then copies that entry as it is stored (TZipArchiver's
// CopyFromArchives) and adds its own small files.
//
// An entry is made again when the file's size or modification time changed since it
// was compressed. The cache's archives are removed when the cache ends. Thread-safe:
// concurrent callers for the same file wait for one compression.
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace vendrix {

class CompressedFileCache {
 public:
  using MessageFn = std::function<void(int code, const std::string& message)>;

  // folder: an existing folder the cache may write into (UTF-8 path ending in '/').
  explicit CompressedFileCache(std::string folder);
  ~CompressedFileCache();
  CompressedFileCache(const CompressedFileCache&) = delete;
  CompressedFileCache& operator=(const CompressedFileCache&) = delete;

  // The path of an archive whose one entry, named entryName, holds file (UTF-8 path);
  // "" when the file cannot be read or compressed (the reasons go to onMessage).
  std::string ArchiveOf(const std::string& file, const std::string& entryName,
                        const MessageFn& onMessage);
  // How many compressions the cache has made (for tests and the run's log).
  int Compressions() const;

 private:
  struct Entry {
    std::string file, entryName, archive;
    long long size = 0, mtimeNs = 0;
  };
  std::string folder_;
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
  int compressions_ = 0;
};

}  // namespace vendrix
