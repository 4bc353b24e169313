#include "app/tgwide.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "base/file_io.h"
#include "script/eng_build.h"

namespace vendrix {

TGWide::TGWide(std::string programDir)
    : DataTree(std::move(programDir)),
      MatchUpValues(StandardMatchUps()),
      sites_(*this, MatchUpValues) {
  ShareDir = InstalledShareDir(ProgramPath());
}

TGWide::~TGWide() = default;

bool TGWide::CreateWorkers() {
  try {
    engBuild_ = std::make_unique<TEngBuild>(sites_);
    return true;
  } catch (...) {
    return false;
  }
}

namespace {

// Folders of the system that an installed program lives in; nothing of the user's goes
// there, even when the program runs as root.
bool InSystemFolder(const std::string& dir) {
  for (const char* top : {"/usr", "/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32", "/etc",
                          "/boot", "/var", "/opt"}) {
    const std::size_t n = std::strlen(top);
    if (dir.compare(0, n, top) == 0 && (dir.size() == n || dir[n] == '/')) return true;
  }
  return false;
}

// A data tree that a portable copy already keeps beside itself.
bool HoldsDataTree(const std::string& dir) {
  return FileExists(dir + "/settings.dat") || FileExists(dir + "/companies/companies.dat") ||
         FileExists(dir + "/sites/Sites.dat");
}

std::string HomeDir() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir) {
    return pw->pw_dir;
  }
  return ".";
}

}  // namespace

std::string ResolveDataRoot(const std::string& dataDir, const std::string& programPath) {
  if (!dataDir.empty()) return dataDir;
  if (const char* env = std::getenv("VENDRIX_DATA"); env && *env) return env;
  std::string dir = programPath;
  auto slash = dir.rfind('/');
  dir = slash == std::string::npos ? "." : slash == 0 ? "/" : dir.substr(0, slash);
  // A portable copy: the person put a marker there, or the tree is already there.
  if (FileExists(dir + "/" + kPortableMarker)) return dir;
  if (!InSystemFolder(dir) && HoldsDataTree(dir)) return dir;
  // XDG: a relative XDG_DATA_HOME is to be ignored.
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
    return std::string(xdg) + "/vendrix";
  }
  return HomeDir() + "/.local/share/vendrix";
}

std::string InstalledShareDir(const std::string& programPath) {
  const auto slash = programPath.rfind('/');
  if (slash == std::string::npos) return "";
  const std::string share =
      std::filesystem::path(programPath.substr(0, slash) + "/../share/vendrix/")
          .lexically_normal()
          .string();
  return DirExists(share) ? share : "";
}

std::string ProgramPath() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string(".");
}

std::string PrepareDataRoot(const std::string& dataDir) {
  const std::string root = ResolveDataRoot(dataDir, ProgramPath());
  for (std::size_t pos = 1; pos <= root.size(); ++pos) {
    if (pos == root.size() || root[pos] == '/') MakeDir(root.substr(0, pos));
  }
  return root;
}

}  // namespace vendrix
