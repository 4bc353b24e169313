#include "app/tgwide.h"

#include <unistd.h>

#include <cstdlib>

#include "script/eng_build.h"

namespace vendrix {

TGWide::TGWide(std::string programDir)
    : DataTree(std::move(programDir)),
      MatchUpValues(StandardMatchUps()),
      sites_(*this, MatchUpValues) {}

TGWide::~TGWide() = default;

bool TGWide::CreateWorkers() {
  try {
    iniSites_ = std::make_unique<TIniSites>();
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

}  // namespace vendrix
