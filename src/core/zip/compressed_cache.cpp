#include "zip/compressed_cache.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "zip/zip_archiver.h"

namespace vendrix {

CompressedFileCache::CompressedFileCache(std::string folder) : folder_(std::move(folder)) {}

CompressedFileCache::~CompressedFileCache() {
  for (const auto& e : entries_) ::unlink(e.archive.c_str());
}

int CompressedFileCache::Compressions() const {
  std::lock_guard lock(mutex_);
  return compressions_;
}

std::string CompressedFileCache::ArchiveOf(const std::string& file, const std::string& entryName,
                                           const MessageFn& onMessage) {
  auto message = [&](int code, const std::string& text) {
    if (onMessage) onMessage(code, text);
  };
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    message(ENOENT, "File not found: " + file);
    return "";
  }
  const long long size = st.st_size;
  const long long mtimeNs =
      static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  std::lock_guard lock(mutex_);
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->file != file || it->entryName != entryName) continue;
    if (it->size == size && it->mtimeNs == mtimeNs) return it->archive;
    ::unlink(it->archive.c_str());  // the file changed since: compress it again
    entries_.erase(it);
    break;
  }
  // A new name of our own: mkstemp makes the file, the archive replaces it.
  std::string archive = folder_ + ".compressed.XXXXXX";
  int fd = ::mkstemp(archive.data());
  if (fd < 0) {
    message(errno, "Unable to write to " + folder_ + ": " + std::strerror(errno));
    return "";
  }
  ::close(fd);
  ::unlink(archive.c_str());  // libzip creates the archive itself

  TZipArchiver zip;
  zip.ZipFilename = archive;
  zip.AddCompLevel = 9;
  zip.OnMessage = message;
  zip.FSpecArgs = {file};
  zip.FSpecEntryNames = {entryName};
  if (zip.Add() != 1) {
    ::unlink(archive.c_str());
    return "";
  }
  ++compressions_;
  entries_.push_back({file, entryName, archive, size, mtimeNs});
  return archive;
}

}  // namespace vendrix
