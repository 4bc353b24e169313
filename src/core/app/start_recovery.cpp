#include "app/start_recovery.h"

#include "base/data_tree.h"
#include "base/staging_files.h"
#include "update/catalogue_switch.h"

namespace vendrix {

StartRecovery RecoverDataTree(const DataTree& tree) {
  StartRecovery report;
  const std::string& root = tree.ProgramDir;
  try {
    if (std::string done = RecoverCatalogueSwitch(root, "sites", "cat"); !done.empty()) {
      report.done.push_back(done);
    }
  } catch (const std::exception& e) {
    report.failed.push_back(std::string("The interrupted update of the site catalogue could not be "
                                        "finished: ") +
                            e.what());
  }
  // The program folder may hold other files: only the staging files of its own two.
  SweepStagingFiles(root, "settings.dat");
  SweepStagingFiles(root, ".catalogue-switch");
  for (const char* sub :
       {"data/", "companies/", "cat/", "sites/", "sites/updates/", "files/", "reports/"}) {
    SweepStagingFiles(root + sub);
  }
  return report;
}

}  // namespace vendrix
