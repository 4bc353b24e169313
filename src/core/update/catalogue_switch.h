#pragma once
// The site catalogue's two folders ("sites/" and "cat/") replaced in one step.
//
// A new catalogue is built beside the old one, in the hidden folders ".sites.new"
// and ".cat.new" of the same parent: the update's files are made there, everything else
// of the old folders is carried over by hard link (copied where the file system
// cannot link). One syncfs puts it all on disk. Then a journal file
// (".catalogue-switch") is written, and each old folder is renamed to ".NAME.old"
// and its new one to NAME. A kill at any moment leaves either the old catalogue
// (no journal: the new folders are removed at the next start) or, once the journal
// exists, the new one (the next start finishes the renames). Folders that are no
// longer part of the catalogue go to its trash (catalogue_trash.h), whose remover takes
// them away while the program goes on.
//
// Throws VendrixError (Windows-1252 text) when the new catalogue cannot be built or
// switched; before the journal is written nothing of the old catalogue has changed.
// One thread, and one process at a time: the caller holds the data tree's lock.
#include <sys/types.h>

#include <string>
#include <unordered_set>

#include "base/error.h"

namespace vendrix {

// Switch failed after the journal was written: the new catalogue is put in place at
// the next start, not the old one kept.
class SwitchPending : public VendrixError {
 public:
  using VendrixError::VendrixError;
};

class CatalogueSwitch {
 public:
  // root: the folder that holds both catalogue folders (ending in "/"); sites and
  // cat: their names in it. Finishes or rolls back an earlier switch first, then
  // makes the two empty new folders.
  CatalogueSwitch(std::string root, std::string sites, std::string cat);
  // Removes the new folders unless Switch completed.
  ~CatalogueSwitch();
  CatalogueSwitch(const CatalogueSwitch&) = delete;
  CatalogueSwitch& operator=(const CatalogueSwitch&) = delete;

  // The new sites folder, or with toCat the new category folder (no "/" at the end).
  std::string NewPath(bool toCat) const;
  // Takes the file name into the new catalogue, so that CarryOver leaves the old
  // one behind. The caller made it in the new folder (NewPath) with the permissions
  // of the file it replaces (NewFileMode for a new one), and made sure the old
  // catalogue holds no folder under that name; nothing is checked here.
  void Adopt(bool toCat, const std::string& name);
  // Carries every entry of the old folders that Adopt did not replace into the new
  // ones. The updates folder inside "sites/" is made again, empty.
  void CarryOver(const std::string& emptyFolder);
  // Flushes the new catalogue to disk, records the switch and renames; afterwards
  // the old folders go to the trash.
  void Switch();

 private:
  std::string root_, sites_, cat_;
  bool switched_ = false;
  // The names Adopt took into each new folder: CarryOver leaves them alone unasked.
  std::unordered_set<std::string> addedSites_, addedCat_;
};

// At every start, before anything reads the catalogue: finishes a switch whose
// journal exists, otherwise puts the hidden new and old folders an interrupted
// switch left into the trash; starts the removal of what the trash holds. Returns a description of
// what was done ("" when nothing was left). Throws VendrixError when a leftover switch can be
// neither finished nor removed.
std::string RecoverCatalogueSwitch(const std::string& root, const std::string& sites,
                                   const std::string& cat);

// Whether a switch left anything for RecoverCatalogueSwitch: its journal, a hidden new
// or old folder, or the trash. Only looks.
bool CatalogueSwitchLeftovers(const std::string& root, const std::string& sites,
                              const std::string& cat);

// The permissions of a new file: 0666 less the umask.
mode_t NewFileMode();

// Removes a folder and everything in it, never following links. Missing is fine.
// Throws VendrixError when something cannot be removed.
void RemoveTree(const std::string& path);

}  // namespace vendrix
