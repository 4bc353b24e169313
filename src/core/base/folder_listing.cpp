#include "base/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <string_view>

#include "base/file_batch.h"

namespace vendrix {
namespace {

thread_local FolderListing* current = nullptr;

// The names in folder, or nullopt when it cannot be listed.
std::optional<std::unordered_set<std::string>> ListNames(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "/" : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return std::nullopt;
  }
  std::optional<std::unordered_set<std::string>> names;
  try {
    names.emplace();
    errno = 0;
    while (const dirent* e = ::readdir(dir)) names->emplace(e->d_name);
    if (errno != 0) names.reset();  // a listing cut short proves no name absent
  } catch (const std::bad_alloc&) {
    names.reset();
  }
  ::closedir(dir);
  return names;
}

}  // namespace

FolderListing::FolderListing() : outer_(current) {
  current = this;
}

FolderListing::~FolderListing() {
  current = outer_;
}

FolderListing* FolderListing::Current() {
  return current;
}

bool FolderListing::MayExist(const std::string& path) {
  if (FileBatch::Current()) return true;
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return true;  // relative to the working folder
  const std::string_view folder(path.data(), slash);
  const std::string_view name = std::string_view(path).substr(slash + 1);
  auto it = folders_.find(folder);
  if (it == folders_.end()) it = folders_.emplace(std::string(folder), Folder{}).first;
  Folder& f = it->second;
  if (!f.listed) {
    if (++f.questions <= kUnlistedQuestions) return true;
    f.names = ListNames(std::string(folder));
    f.listed = true;
    ++listed_;
  }
  // A folder that could not be listed may hold any name.
  return !f.names || f.names->count(std::string(name)) > 0;
}

}  // namespace vendrix
