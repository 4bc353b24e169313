#pragma once
// TGWide, the application frame's global state: the data tree, the match-up values
// of the open site, the site catalogue store and the expansion engine (TEngBuild).
// One instance, owned by the session and passed by reference; the lower
// layers see only the parts they need (DataTree, SiteStore, TEngBuild).
// Not thread-safe: the thread that owns the session uses it.
#include <memory>
#include <string>

#include "base/data_tree.h"
#include "catalogue/match_ups.h"
#include "catalogue/site_store.h"

namespace vendrix {

class TEngBuild;

class TGWide : public DataTree {
 public:
  explicit TGWide(std::string programDir);
  ~TGWide() override;
  TGWide(const TGWide&) = delete;
  TGWide& operator=(const TGWide&) = delete;

  MatchUps MatchUpValues;

  // Creates TEngBuild; false when that fails (nothing thrown).
  bool CreateWorkers();
  // Valid after CreateWorkers succeeded.
  TEngBuild& EngBuild() { return *engBuild_; }
  // The catalogue's files and lists; usable from construction on.
  SiteStore& Sites() { return sites_; }
  const SiteStore& Sites() const { return sites_; }

 private:
  SiteStore sites_;
  std::unique_ptr<TEngBuild> engBuild_;
};

// The file that makes the program's own folder its data tree (a portable copy).
inline constexpr const char* kPortableMarker = "portable";

// Where the data tree lives: dataDir when given; else $VENDRIX_DATA when set; else the
// program's folder when it holds a "portable" marker, or already holds a data tree
// and is no system folder (/usr, /opt, ...); else $XDG_DATA_HOME/vendrix (default
// ~/.local/share/vendrix). Reads the environment; never creates anything.
std::string ResolveDataRoot(const std::string& dataDir, const std::string& programPath);
// The files installed with a program at programPath: <prefix>/share/vendrix/ beside its
// <prefix>/bin (the build tree has the same layout); "" when there is no such folder.
std::string InstalledShareDir(const std::string& programPath);
// The running program's file (/proc/self/exe), "." when it cannot be read.
std::string ProgramPath();
// ResolveDataRoot for this program, with the root folder and its parents made.
// Never throws: a folder that cannot be made is reported when the data tree is opened.
std::string PrepareDataRoot(const std::string& dataDir);

}  // namespace vendrix
