#include "base/file_batch.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/cp1252.h"
#include "base/error.h"

namespace vendrix {
namespace {

thread_local FileBatch* tOpen = nullptr;

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// A hard link to path under a fresh staging name beside it (swept by the next start
// should this process die); "" where the file system cannot link.
std::string KeepByLink(const std::string& path) {
  const auto slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  for (int attempt = 0; attempt < 20; ++attempt) {
    std::string name = dir + "." + base + ".XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return "";
    ::close(fd);
    ::unlink(name.c_str());
    if (::link(path.c_str(), name.c_str()) == 0) return name;
    if (errno != EEXIST) return "";
  }
  return "";
}

}  // namespace

FileBatch::FileBatch() : outer_(tOpen) {
  if (outer_) {
    joined_ = true;
    return;
  }
  tOpen = this;
}

FileBatch::~FileBatch() {
  if (!joined_ && tOpen == this) tOpen = nullptr;
}

FileBatch* FileBatch::Current() {
  return tOpen;
}

void FileBatch::Write(const std::string& path, std::string_view data, const WriteOptions& options) {
  for (auto& e : entries_) {
    if (e.path == path) {
      e.data = std::string(data);
      e.options = options;
      return;
    }
  }
  entries_.push_back({path, std::string(data), options});
}

void FileBatch::Remove(const std::string& path) {
  for (auto& e : entries_) {
    if (e.path == path) {
      e.data.reset();
      return;
    }
  }
  entries_.push_back({path, std::nullopt, {}});
}

std::optional<std::optional<std::string>> FileBatch::Pending(const std::string& path) const {
  for (const auto& e : entries_) {
    if (e.path == path) return e.data;
  }
  return std::nullopt;
}

void FileBatch::Commit() {
  if (joined_ || done_) return;
  done_ = true;
  tOpen = nullptr;  // from here on the writes are real
  // New files first, then replaced ones, removals last.
  struct Step {
    const Entry* entry;
    std::string staged, kept;
    bool existed = false, done = false;
  };
  std::vector<Step> steps;
  for (int pass = 0; pass < 3; ++pass) {
    for (const auto& e : entries_) {
      const bool existed = Exists(e.path);
      const int kind = !e.data ? 2 : existed ? 1 : 0;
      if (kind == pass && (e.data || existed)) steps.push_back({&e, "", "", existed});
    }
  }
  auto dropStaged = [&] {
    for (auto& s : steps) {
      if (!s.staged.empty() && !s.done) ::unlink(s.staged.c_str());
    }
  };
  // Every byte is written before anything is renamed: a full disk stops it here.
  try {
    for (auto& s : steps) {
      if (s.entry->data) s.staged = StageFile(s.entry->path, *s.entry->data, s.entry->options);
    }
  } catch (...) {
    dropStaged();
    throw;
  }
  for (auto& s : steps) {
    if (s.existed) s.kept = KeepByLink(s.entry->path);
    const bool ok = s.entry->data ? ::rename(s.staged.c_str(), s.entry->path.c_str()) == 0
                                  : ::unlink(s.entry->path.c_str()) == 0 || errno == ENOENT;
    if (ok) {
      s.done = true;
      continue;
    }
    const int err = errno;
    // Everything back as it was: the renamed files out, the kept ones in again.
    for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
      if (!it->done) continue;
      if (!it->kept.empty()) {
        ::rename(it->kept.c_str(), it->entry->path.c_str());
        it->kept.clear();
      } else if (!it->existed) {
        ::unlink(it->entry->path.c_str());
      }
    }
    for (auto& t : steps) {
      if (!t.kept.empty()) ::unlink(t.kept.c_str());
    }
    dropStaged();
    throw VendrixError((s.entry->data ? UnableToWrite(s.entry->path)
                                      : "Unable to delete " + Utf8ToCp1252(s.entry->path)) +
                       ": " + std::strerror(err));
  }
  for (auto& s : steps) {
    if (!s.kept.empty()) ::unlink(s.kept.c_str());
  }
}

}  // namespace vendrix
