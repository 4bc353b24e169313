#include "app/start_recovery.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>

#include "base/data_tree.h"
#include "base/file_io.h"
#include "base/staging_files.h"
#include "base/tree_lock.h"
#include "update/catalogue_switch.h"

namespace vendrix {

namespace {

// Whether this process may repair the tree: it holds the writer lock itself, or no
// one does (it is then held here while the repair runs). Another writer's staging
// files and switch are its own business.
class RepairRight {
 public:
  explicit RepairRight(const std::string& root) {
    const std::string path = TreeLock::LockFile(root);
    fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd_ < 0) {
      granted_ = errno == ENOENT;  // a holder would have made the file; none was ever here
      return;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
      granted_ = true;
      return;
    }
    const std::string holder = ReadWholeFile(path).value_or("");
    granted_ = holder.find("(process " + std::to_string(::getpid()) + ")") != std::string::npos;
  }
  ~RepairRight() {
    if (fd_ >= 0) ::close(fd_);
  }
  RepairRight(const RepairRight&) = delete;
  RepairRight& operator=(const RepairRight&) = delete;
  bool Granted() const { return granted_; }

 private:
  int fd_ = -1;
  bool granted_ = false;
};

}  // namespace

namespace {
constexpr const char* kCatalogueFolders[] = {"cat/", "sites/", "sites/updates/"};
}  // namespace

StartRecovery RecoverDataTree(const DataTree& tree, bool catalogueLater) {
  StartRecovery report;
  const std::string& root = tree.ProgramDir;
  RepairRight right(root);
  if (!right.Granted()) return report;
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
  for (const char* sub : {"data/", "companies/", "files/", "reports/"}) {
    SweepStagingFiles(root + sub);
  }
  if (!catalogueLater) {
    for (const char* sub : kCatalogueFolders) SweepStagingFiles(root + sub);
  }
  return report;
}

void SweepCatalogueStaging(const DataTree& tree) {
  const std::string& root = tree.ProgramDir;
  RepairRight right(root);
  if (!right.Granted()) return;
  for (const char* sub : kCatalogueFolders) SweepStagingFiles(root + sub);
}

}  // namespace vendrix
