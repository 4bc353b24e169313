#include "app/start_recovery.h"

#include "base/data_tree.h"
#include "base/file_io.h"
#include "base/staging_files.h"
#include "base/tree_lock.h"
#include "update/catalogue_switch.h"

namespace vendrix {

namespace {

constexpr const char* kCatalogueFolders[] = {"cat/", "sites/", "sites/updates/"};
constexpr const char* kTreeFolders[] = {"data/", "companies/", "files/", "reports/"};
// The archive an interrupted update left in its folder.
constexpr const char* kUpdateArchive = "sites/updates/vxsites.zip";

// Whether a start finds anything to repair; only looks, so that a start with nothing
// to do never takes the lock exclusively (a reader would keep a run from starting).
bool NeedsRepair(const std::string& root, bool catalogueLater) {
  if (CatalogueSwitchLeftovers(root, "sites", "cat") || FileExists(root + kUpdateArchive) ||
      HasStagingFiles(root, "settings.dat") || HasStagingFiles(root, ".catalogue-switch")) {
    return true;
  }
  for (const char* sub : kTreeFolders) {
    if (HasStagingFiles(root + sub)) return true;
  }
  if (!catalogueLater) {
    for (const char* sub : kCatalogueFolders) {
      if (HasStagingFiles(root + sub)) return true;
    }
  }
  return false;
}

}  // namespace

StartRecovery RecoverDataTree(const DataTree& tree, bool catalogueLater) {
  StartRecovery report;
  const std::string& root = tree.ProgramDir;
  if (!NeedsRepair(root, catalogueLater)) return report;
  // Another writer's staging files and switch are its own business: RepairUnder runs
  // the repair only while this process alone holds the tree.
  TreeLock::RepairUnder(root, [&] {
    try {
      if (std::string done = RecoverCatalogueSwitch(root, "sites", "cat"); !done.empty()) {
        report.done.push_back(done);
      }
    } catch (const std::exception& e) {
      report.failed.push_back(
          std::string("The interrupted update of the site catalogue could not be finished: ") +
          e.what());
    }
    try {
      RemoveFile(root + kUpdateArchive);
    } catch (const std::exception& e) {
      report.failed.push_back(e.what());
    }
    // The program folder may hold other files: only the staging files of its own two.
    SweepStagingFiles(root, "settings.dat");
    SweepStagingFiles(root, ".catalogue-switch");
    for (const char* sub : kTreeFolders) SweepStagingFiles(root + sub);
    if (!catalogueLater) {
      for (const char* sub : kCatalogueFolders) SweepStagingFiles(root + sub);
    }
  });
  return report;
}

void SweepCatalogueStaging(const DataTree& tree) {
  const std::string& root = tree.ProgramDir;
  bool any = false;
  for (const char* sub : kCatalogueFolders) any = any || HasStagingFiles(root + sub);
  if (!any) return;
  TreeLock::RepairUnder(root, [&] {
    for (const char* sub : kCatalogueFolders) SweepStagingFiles(root + sub);
  });
}

}  // namespace vendrix
