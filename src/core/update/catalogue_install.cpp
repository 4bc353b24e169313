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
#include <utility>

#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_io.h"
#include "base/names.h"
#include "catalogue/site_definition.h"
#include "update/catalogue_switch.h"

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

// A folder path's parent (ending in "/") and its own name; the path may end in "/".
std::pair<std::string, std::string> SplitFolder(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return {"./", path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// An open descriptor of a folder the install made (no link followed).
int OpenFolder(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    throw VendrixError("Unable to open " + Utf8ToCp1252(path) + ": " + std::strerror(errno));
  }
  return fd;
}

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

std::string CheckArchiveAgrees(const std::string& listFile, const std::vector<std::string>& names,
                               const Lines& userSites) {
  if (listFile.empty()) return {};
  std::set<std::string> entries(names.begin(), names.end());
  auto lines = LoadLines(listFile);
  if (!lines) return {};
  const std::set<std::string> own(userSites.begin(), userSites.end());
  std::vector<std::string> missing;
  for (const auto& site : FilterNames(*lines, nullptr, EntryKind::Site)) {
    if (entries.count(Cp1252ToUtf8(site) + ".ini") == 0 && own.count(site) == 0) {
      missing.push_back(site);
    }
  }
  if (missing.empty()) return {};
  std::string why = "The update archive's Sites.dat lists " + std::to_string(missing.size()) +
                    (missing.size() == 1 ? " site" : " sites") +
                    " whose settings file it does not hold: ";
  for (std::size_t i = 0; i < missing.size() && i < 10; ++i) {
    why += (i ? ", " : "") + missing[i];
  }
  if (missing.size() > 10) why += " and " + std::to_string(missing.size() - 10) + " more";
  return why + ".";
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
    if (isList(n)) {
      plan.copies.push_back(
          {n, sitesDir + kCatalogueList, "Copying Sites.Dat...", false, kCatalogueList});
    }
  }
  for (const auto& n : names) {
    if (Contains(n, ".cat") || Contains(n, kArchiveName) || isList(n) || isUsers(n)) continue;
    plan.copies.push_back({n, sitesDir + n, "Copying " + Utf8ToCp1252(n), false, n});
  }
  for (const auto& n : names) {
    if (!Contains(n, ".cat") || isUsers(n)) continue;
    plan.copies.push_back({n, catDir + n, "Copying " + Utf8ToCp1252(n), true, n});
  }
  return plan;
}

CatalogueInstall::CatalogueInstall(const std::string& updatesDir, const std::string& sitesDir,
                                   const std::string& catDir, InstallPlan plan)
    : plan_(std::move(plan)), sitesDir_(sitesDir), catDir_(catDir) {
  auto [root, sitesName] = SplitFolder(sitesDir);
  auto [catRoot, catName] = SplitFolder(catDir);
  if (root != catRoot) {
    throw VendrixError("The sites folder and the category folder must share one parent folder.");
  }
  if (updatesDir.rfind(sitesDir, 0) == 0) updatesName_ = SplitFolder(updatesDir).second;
  for (std::size_t i = 0; i < plan_.copies.size(); ++i) byEntry_[plan_.copies[i].entry] = i;
  next_ = std::make_unique<CatalogueSwitch>(root, sitesName, catName);
  try {
    sitesFd_ = OpenFolder(next_->NewPath(false));
    catFd_ = OpenFolder(next_->NewPath(true));
  } catch (...) {
    CloseFolders();
    throw;
  }
  // A file the update leaves as it was is linked from the old catalogue, not written.
  oldSitesFd_ = ::open(sitesDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  oldCatFd_ = ::open(catDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

CatalogueInstall::~CatalogueInstall() {
  CloseFolders();
}

void CatalogueInstall::CloseFolders() {
  for (int* fd : {&sitesFd_, &catFd_, &oldSitesFd_, &oldCatFd_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

std::optional<TZipArchiver::Target> CatalogueInstall::Route(const std::string& entry) const {
  auto it = byEntry_.find(entry);
  if (it == byEntry_.end()) return std::nullopt;
  const InstallPlan::Copy& copy = plan_.copies[it->second];
  TZipArchiver::Target target{copy.toCat ? catFd_ : sitesFd_, copy.name};
  // What the old catalogue holds under the name: a file gives the new one its
  // permissions (and may be the same file), a folder stops the install.
  const int old = copy.toCat ? oldCatFd_ : oldSitesFd_;
  struct stat st {};
  if (old >= 0 && ::fstatat(old, copy.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
      throw VendrixError(Utf8ToCp1252((copy.toCat ? catDir_ : sitesDir_) + copy.name) +
                         " is not a file; the update was not installed");
    }
    if (S_ISREG(st.st_mode)) {
      target.sameDir = old;
      if ((st.st_mode & 07777) != NewFileMode()) target.mode = static_cast<int>(st.st_mode & 07777);
    }
  }
  return target;
}

std::string CatalogueInstall::ListFile() const {
  for (const auto& copy : plan_.copies) {
    if (!copy.toCat && copy.name == kCatalogueList)
      return next_->NewPath(false) + "/" + kCatalogueList;
  }
  return {};
}

void CatalogueInstall::Finish(const std::function<void(const std::string&)>& status) {
  // Route checked each old file and gave each new one its permissions.
  for (const auto& copy : plan_.copies) {
    if (status) status(copy.status);
    next_->Adopt(copy.toCat, copy.name);
  }
  next_->CarryOver(updatesName_);
  next_->Switch();
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
