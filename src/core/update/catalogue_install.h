#pragma once
// Puts the files of an unpacked catalogue archive into the catalogue: which entries
// an archive may hold, whether it agrees with itself, where each file lands, and the
// installation that replaces the whole catalogue in one step (CatalogueSwitch). The user's own list
// "User_Sites.dat" and the files of the sites it lists are the user's work and are never replaced.
// Entry names and paths are UTF-8.
#include <functional>
#include <string>
#include <vector>

#include "base/line_list.h"

namespace vendrix {

// Checks the entry names of an update archive: each must be a plain file name (no
// folder, no "." or "..", no control character, no ":"), none may be the archive's
// own name "vxsites.zip", and no two may differ only in case. Returns why the archive
// is refused, or an empty string when it may be unpacked.
std::string CheckUpdateEntries(const std::vector<std::string>& names);

// Checks that the unpacked archive agrees with itself: every site its catalogue list
// (the entry named "Sites.dat" in any case) names has its settings file "<site>.ini"
// among the entries, or is one of the user's own sites (userSites, Windows-1252),
// whose files stay. Returns why the archive is refused, naming the sites, or "".
std::string CheckArchiveAgrees(const std::string& fromDir, const std::vector<std::string>& names,
                               const Lines& userSites);

struct InstallPlan {
  struct Copy {
    std::string entry;   // the file in the updates folder
    std::string target;  // the file it replaces
    std::string status;  // the status line while it is copied (Windows-1252)
    bool toCat = false;  // lands in the category folder, else in the sites folder
    std::string name;    // its name there
  };
  std::vector<Copy> copies;       // in copy order
  std::vector<std::string> kept;  // entries left alone because they are the user's
};

// The copies of the update's rules: the catalogue list (found whatever the case of
// its name) to sitesDir + "Sites.dat"; every entry whose name contains ".cat" to
// catDir; every other entry to sitesDir, except names containing "vxsites.zip".
// userSites are the names of "User_Sites.dat" (Windows-1252).
InstallPlan PlanInstall(std::vector<std::string> names, const std::string& sitesDir,
                        const std::string& catDir, const Lines& userSites);

// Installs the plan's files from fromDir (inside sitesDir; it moves the files out):
// a new catalogue is built beside the old one and switched in at once
// (CatalogueSwitch); sitesDir and catDir must share their parent folder. Throws
// VendrixError when a file cannot be moved or carried over, or a target is a folder;
// the old catalogue is then left as it was. status is called with each copy's status
// line.
void InstallFiles(const std::string& fromDir, const std::string& sitesDir,
                  const std::string& catDir, const InstallPlan& plan,
                  const std::function<void(const std::string&)>& status);

// Deletes every entry of dir that is not a folder (links are deleted, not followed).
void EmptyFolder(const std::string& dir);

// ASCII lower case (how names are compared where Windows ignores case).
std::string LowerAscii(std::string s);

}  // namespace vendrix
