#pragma once
// Puts the files of a catalogue archive into the catalogue: which entries an archive
// may hold, whether it agrees with itself, where each file lands, and the
// installation that unpacks it into a new catalogue and replaces the whole catalogue
// in one step (CatalogueSwitch). The user's own list
// "User_Sites.dat" and the files of the sites it lists are the user's work and are never replaced.
// Entry names and paths are UTF-8.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/line_list.h"
#include "update/catalogue_switch.h"
#include "zip/zip_archiver.h"

namespace vendrix {

// Checks the entry names of an update archive: each must be a plain file name (no
// folder, no "." or "..", no control character, no ":"), none may be the archive's
// own name "vxsites.zip", and no two may differ only in case. Returns why the archive
// is refused, or an empty string when it may be unpacked.
std::string CheckUpdateEntries(const std::vector<std::string>& names);

// Checks that the unpacked archive agrees with itself: every site its catalogue list
// (listFile, the unpacked entry named "Sites.dat" in any case; "" when there is none)
// names has its settings file "<site>.ini" among the entries, or is one of the user's
// own sites (userSites, Windows-1252), whose files stay. Returns why the archive is
// refused, naming the sites, or "".
std::string CheckArchiveAgrees(const std::string& listFile, const std::vector<std::string>& names,
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

// One installation of a plan: the archive's files are unpacked straight into a new
// catalogue built beside the old one (CatalogueSwitch), which is switched in at once
// when every file is there (a file that holds what the old catalogue's file of that
// name holds is linked from there, not written again); sitesDir and catDir must share their parent
// folder. Until Finish switches, the old catalogue is as it was, and an install dropped unfinished
// (a failure, a refusal, a kill) leaves nothing behind. One thread; the caller holds
// the data tree's lock.
class CatalogueInstall {
 public:
  // Starts the new catalogue. updatesDir, when inside sitesDir, is made again empty
  // in the new one. Throws VendrixError when the folders cannot be made or sitesDir
  // and catDir do not share their parent.
  CatalogueInstall(const std::string& updatesDir, const std::string& sitesDir,
                   const std::string& catDir, InstallPlan plan);
  ~CatalogueInstall();
  CatalogueInstall(const CatalogueInstall&) = delete;
  CatalogueInstall& operator=(const CatalogueInstall&) = delete;

  // Where an archive entry is unpacked (TZipArchiver::ExtrRoute): its folder in the
  // new catalogue, its name there and the permissions of the file it replaces, or
  // nothing for an entry the plan leaves out. Throws VendrixError when the old
  // catalogue holds a folder (or anything but a file) under that name.
  std::optional<TZipArchiver::Target> Route(const std::string& entry) const;
  // The count of files the plan unpacks.
  std::size_t FileCount() const { return plan_.copies.size(); }
  // The unpacked catalogue list, or "" when the archive holds none.
  std::string ListFile() const;
  // Carries the rest of the old catalogue over (the updates folder made again,
  // empty) and switches. status is called with each copy's status line. Throws
  // VendrixError when the new catalogue cannot be carried over or switched
  // (SwitchPending once it is recorded).
  void Finish(const std::function<void(const std::string&)>& status);

 private:
  InstallPlan plan_;
  std::string sitesDir_, catDir_;
  std::string updatesName_;  // the updates folder inside the sites folder, if it is there
  std::unique_ptr<CatalogueSwitch> next_;
  void CloseFolders();

  int sitesFd_ = -1, catFd_ = -1;                         // the new folders
  int oldSitesFd_ = -1, oldCatFd_ = -1;                   // the old ones (-1 when missing)
  std::unordered_map<std::string, std::size_t> byEntry_;  // entry name to its copy
};

// Deletes every entry of dir that is not a folder (links are deleted, not followed).
void EmptyFolder(const std::string& dir);

// ASCII lower case (how names are compared where Windows ignores case).
std::string LowerAscii(std::string s);

}  // namespace vendrix
