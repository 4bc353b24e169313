#include "base/staging_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace vendrix {
namespace {

bool IsAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

bool IsStagingName(std::string_view name) {
  constexpr std::string_view kPartPrefix = ".vendrix-", kPartSuffix = ".part";
  if (name.size() > kPartPrefix.size() + kPartSuffix.size() &&
      name.substr(0, kPartPrefix.size()) == kPartPrefix &&
      name.substr(name.size() - kPartSuffix.size()) == kPartSuffix) {
    return true;
  }
  // "." + a name of at least one byte + "." + six letters or digits (mkstemp's).
  if (name.size() < 9 || name[0] != '.' || name[name.size() - 7] != '.') return false;
  for (std::size_t i = name.size() - 6; i < name.size(); ++i) {
    if (!IsAlnum(name[i])) return false;
  }
  return true;
}

namespace {

// Calls found(folder, name) for each staging file of dir (of target, when given) until it
// returns false.
template <typename Found>
void ForEachStagingFile(const std::string& dir, std::string_view target, Found found) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  std::unique_ptr<DIR, int (*)(DIR*)> d(::fdopendir(fd), ::closedir);
  if (!d) {
    ::close(fd);
    return;
  }
  while (dirent* e = ::readdir(d.get())) {
    std::string_view name = e->d_name;
    if (!IsStagingName(name)) continue;
    if (!target.empty() &&
        (name.size() != target.size() + 8 || name.substr(1, target.size()) != target))
      continue;
    struct stat st {};
    if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    if (!found(fd, e->d_name)) return;
  }
}

}  // namespace

int SweepStagingFiles(const std::string& dir, std::string_view target) {
  int removed = 0;
  ForEachStagingFile(dir, target, [&](int folder, const char* name) {
    if (::unlinkat(folder, name, 0) == 0) ++removed;
    return true;
  });
  return removed;
}

bool HasStagingFiles(const std::string& dir, std::string_view target) {
  bool any = false;
  ForEachStagingFile(dir, target, [&](int, const char*) {
    any = true;
    return false;
  });
  return any;
}

}  // namespace vendrix
