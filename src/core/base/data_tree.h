#pragma once
// The data tree: the folders of the program's data and the names of the files in
// them. Every file name is folder + display name (Windows-1252, converted to UTF-8)
// + a fixed suffix, spelled exactly as in the list the name comes from.
//
// The application frame (TGWide) is one; the lower layers get it as a const
// reference and never learn more of the frame. Paths are UTF-8 and end with "/".
// Not thread-safe: one thread owns the tree (the GUI thread, or a run's worker while
// the screens are locked); the name functions are const and may run anywhere.
#include <string>
#include <string_view>

#include "base/line_list.h"

namespace vendrix {

class DataTree {
 public:
  // programDir: the folder that holds the data tree (any trailing "/" is optional).
  explicit DataTree(std::string programDir);
  virtual ~DataTree() = default;

  std::string ProgramDir, DataDir, CompaniesDir, CatDir, SitesDir, UpdatesDir, FilesDir, ReportsDir,
      ImagesDir;
  // The read-only files installed with the program (share/vendrix/: the default
  // scripts, the example sites), ending with "/"; empty when there are none.
  std::string ShareDir;

  // Computes the eight data paths and creates each missing folder (failures ignored).
  void MakeDataTree();

  std::string SettingsFile() const;
  std::string CompanyListFile() const;
  std::string CompanyFile(std::string_view company) const;
  std::string AppListFile(std::string_view company) const;
  std::string AppFile(std::string_view app) const;
  std::string LongDescFile(std::string_view app) const;
  std::string NotesFile(std::string_view app) const;
  std::string SiteTableFile(std::string_view app) const;
  std::string HistoryFile(std::string_view app) const;  // "<app>.hst" in DataDir
  // The site files: "<site>.ini" and "<site> <TAG>.scp" in SitesDir, "<site> Cat1.cat"
  // and "<site> Cat2.cat" in CatDir.
  std::string SiteSettingsFile(std::string_view site) const;
  std::string CategoryFile(std::string_view site, int which) const;  // which: 1 or 2
  std::string ScriptFile(std::string_view site, std::string_view tag) const;
  std::string CatalogueListFile() const;  // "Sites.dat"
  std::string UserListFile() const;       // "User_Sites.dat"

  // Reads the company's application list as the App Info page shows it (names that
  // break the entry rules go to `rejected`). False when the company has no list or its
  // name is refused; throws VendrixError when the file cannot be read.
  bool LoadAppList(std::string_view company, Lines& apps, Lines* rejected = nullptr) const;
  // Writes the list (an empty list gives an empty file); nothing when no company.
  // Throws VendrixError("Unable to write to ...").
  void SaveAppList(std::string_view company, const Lines& apps) const;

 private:
  std::string In(const std::string& dir, std::string_view name, std::string_view suffix) const;
};

}  // namespace vendrix
