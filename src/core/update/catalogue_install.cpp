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

std::string CheckArchiveAgrees(const std::string& fromDir, const std::vector<std::string>& names,
                               const Lines& userSites) {
  std::set<std::string> entries(names.begin(), names.end());
  std::string list;
  for (const auto& n : names) {
    if (LowerAscii(n) == LowerAscii(kCatalogueList)) list = n;
  }
  if (list.empty()) return {};
  auto lines = LoadLines(fromDir + list);
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

void InstallFiles(const std::string& fromDir, const std::string& sitesDir,
                  const std::string& catDir, const InstallPlan& plan,
                  const std::function<void(const std::string&)>& status) {
  auto [root, sitesName] = SplitFolder(sitesDir);
  auto [catRoot, catName] = SplitFolder(catDir);
  if (root != catRoot) {
    throw VendrixError("The sites folder and the category folder must share one parent folder.");
  }
  // The updates folder inside the sites folder is made again, empty.
  std::string updatesName;
  if (fromDir.rfind(sitesDir, 0) == 0) updatesName = SplitFolder(fromDir).second;
  CatalogueSwitch next(root, sitesName, catName);
  for (const auto& copy : plan.copies) {
    if (status) status(copy.status);
    const std::string source = fromDir + copy.entry;
    struct stat st {};
    if (::lstat(source.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      throw VendrixError("The update file " + Utf8ToCp1252(copy.entry) +
                         " is missing or not a plain file; the update was not installed.");
    }
    next.Add(source, copy.toCat, copy.name, static_cast<int>(st.st_mode & 07777));
  }
  next.CarryOver(updatesName);
  next.Switch();
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
