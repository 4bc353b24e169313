#include "app/tgwide.h"

#include <unistd.h>
#include <climits>

#include <cstdlib>

#include "base/file_io.h"
#include "script/eng_build.h"

namespace vendrix {

TGWide::TGWide(std::string programDir)
    : DataTree(std::move(programDir)),
      MatchUpValues(StandardMatchUps()),
      sites_(*this, MatchUpValues) {}

TGWide::~TGWide() = default;

bool TGWide::CreateWorkers() {
  try {
    engBuild_ = std::make_unique<TEngBuild>(sites_);
    return true;
  } catch (...) {
    return false;
  }
}

std::string ResolveDataRoot(const std::string& dataDir, const std::string& programPath) {
  if (!dataDir.empty()) return dataDir;
  std::string dir = programPath;
  auto slash = dir.rfind('/');
  dir = slash == std::string::npos ? "." : dir.substr(0, slash);
  if (!dir.empty() && ::access(dir.c_str(), W_OK) == 0) return dir;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
    return std::string(xdg) + "/vendrix";
  }
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.local/share/vendrix";
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
