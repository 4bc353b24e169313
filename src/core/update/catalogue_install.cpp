#include "update/catalogue_install.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <set>

#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_io.h"
#include "base/names.h"
#include "catalogue/site_definition.h"

namespace vendrix {
namespace {

constexpr const char* kArchiveName = "vxsites.zip";
constexpr const char* kCatalogueList = "Sites.dat";
constexpr const char* kUserList = "User_Sites.dat";

bool Contains(const std::string& s, const char* part) {
  return s.find(part) != std::string::npos;
}

// The names of the files that belong to the user's own sites, in lower case.
std::set<std::string> UserFileNames(const Lines& userSites) {
  std::set<std::string> names{LowerAscii(kUserList)};
  for (const auto& site : userSites) {
    const std::string n = LowerAscii(Cp1252ToUtf8(site));
    names.insert(n + ".ini");
    names.insert(n + " cat1.cat");
    names.insert(n + " cat2.cat");
    for (ScriptKind k : kScriptKinds)
      names.insert(n + " " + LowerAscii(std::string(ScriptTag(k))) + ".scp");
  }
  return names;
}

std::string FolderOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

std::string BaseOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Flushes the file system that holds dir to disk (one call for many files).
bool SyncFolder(const std::string& dir, bool wholeFileSystem) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = (wholeFileSystem ? ::syncfs(fd) : ::fsync(fd)) == 0;
  ::close(fd);
  return ok;
}

// A copy written beside its target (not yet flushed: SyncFolder does that for all),
// renamed in by Commit and removed otherwise.
class StagedFile {
 public:
  StagedFile(const std::string& target, const std::string& data) : target_(target) {
    struct stat st {};
    mode_t mode;
    if (::lstat(target.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode) || !(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))) {
        throw VendrixError(target + " is not a file; the update was not installed.");
      }
      mode = S_ISREG(st.st_mode) ? (st.st_mode & 0777) : 0666 & ~CurrentUmask();
    } else {
      mode = 0666 & ~CurrentUmask();
    }
    temp_ = FolderOf(target) + "/." + BaseOf(target) + ".XXXXXX";
    int fd = ::mkstemp(temp_.data());
    if (fd < 0) {
      temp_.clear();
      throw VendrixError(UnableToWrite(target));
    }
    bool ok = ::fchmod(fd, mode) == 0;
    std::size_t off = 0;
    while (ok && off < data.size()) {
      ssize_t n = ::write(fd, data.data() + off, data.size() - off);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) ok = false;
      if (n > 0) off += static_cast<std::size_t>(n);
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok) throw VendrixError(UnableToWrite(target));
  }
  ~StagedFile() {
    if (!temp_.empty()) ::unlink(temp_.c_str());
  }
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  bool Commit() {
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return false;
    temp_.clear();
    return true;
  }

 private:
  static mode_t CurrentUmask() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
  }
  std::string target_, temp_;
};

}  // namespace

std::string LowerAscii(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::string CheckUpdateEntries(const std::vector<std::string>& names) {
  if (names.empty()) return "The update archive holds no files.";
  std::set<std::string> seen;
  for (const auto& name : names) {
    const std::string shown = "The update archive holds \"" + Utf8ToCp1252(name) + "\", which ";
    if (name.find_first_of("/\\") != std::string::npos) {
      return shown + "is not a plain file name (folders are not allowed).";
    }
    if (CheckEntryName(name) || name.empty() || name.find(':') != std::string::npos) {
      return shown + "is not a usable file name.";
    }
    if (LowerAscii(name) == kArchiveName) return shown + "would replace the archive itself.";
    if (!seen.insert(LowerAscii(name)).second) {
      return shown + "appears twice (names are compared without regard to case).";
    }
  }
  return {};
}

InstallPlan PlanInstall(std::vector<std::string> names, const std::string& sitesDir,
                        const std::string& catDir, const Lines& userSites) {
  std::sort(names.begin(), names.end());
  const std::set<std::string> userFiles = UserFileNames(userSites);
  InstallPlan plan;
  auto isList = [](const std::string& n) { return LowerAscii(n) == LowerAscii(kCatalogueList); };
  auto isUsers = [&](const std::string& n) { return userFiles.count(LowerAscii(n)) > 0; };
  for (const auto& n : names) {
    if (isUsers(n)) plan.kept.push_back(n);
  }
  for (const auto& n : names) {
    if (isList(n)) plan.copies.push_back({n, sitesDir + kCatalogueList, "Copying Sites.Dat..."});
  }
  for (const auto& n : names) {
    if (Contains(n, ".cat") || Contains(n, kArchiveName) || isList(n) || isUsers(n)) continue;
    plan.copies.push_back({n, sitesDir + n, "Copying " + Utf8ToCp1252(n)});
  }
  for (const auto& n : names) {
    if (!Contains(n, ".cat") || isUsers(n)) continue;
    plan.copies.push_back({n, catDir + n, "Copying " + Utf8ToCp1252(n)});
  }
  return plan;
}

void InstallFiles(const std::string& fromDir, const InstallPlan& plan,
                  const std::function<void(const std::string&)>& status) {
  std::vector<std::unique_ptr<StagedFile>> staged;
  for (const auto& copy : plan.copies) {
    if (status) status(copy.status);
    const std::string source = fromDir + copy.entry;
    struct stat st {};
    if (::lstat(source.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      throw VendrixError("The update file " + Utf8ToCp1252(copy.entry) +
                         " is missing or not a plain file; the update was not installed.");
    }
    auto data = ReadWholeFile(source);
    if (!data) throw VendrixError("Unable to read " + Utf8ToCp1252(source));
    staged.push_back(std::make_unique<StagedFile>(copy.target, *data));
  }
  // Every new file reaches the disk before any old one is replaced.
  std::set<std::string> folders;
  for (const auto& copy : plan.copies) folders.insert(FolderOf(copy.target));
  for (const auto& folder : folders) {
    if (!SyncFolder(folder, true)) throw VendrixError(UnableToWrite(folder));
  }
  for (std::size_t i = 0; i < staged.size(); ++i) {
    if (!staged[i]->Commit()) {
      throw VendrixError(UnableToWrite(plan.copies[i].target) + "; " + std::to_string(i) + " of " +
                         std::to_string(staged.size()) + " files of the update were installed.");
    }
  }
  for (const auto& folder : folders) SyncFolder(folder, false);
}

void EmptyFolder(const std::string& folder) {
  const std::string dir = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.c_str()), ::closedir);
  if (!d) return;
  std::vector<std::string> doomed;
  while (dirent* e = ::readdir(d.get())) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::lstat((dir + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
    doomed.push_back(dir + name);
  }
  for (const auto& path : doomed) RemoveFile(path);
}

}  // namespace vendrix
