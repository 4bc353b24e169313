#pragma once
// The data tree: where every data file lives, and the per-site match-up values of
// the open site. One instance, owned by the session and passed by reference.
#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "app/user_prompt.h"
#include "base/line_list.h"

namespace vendrix {

class TEngBuild;

// Holds one integer and offers nothing else; kept because the data tree owns it.
struct TIniSites {
  int Value = 0;
};

inline constexpr std::size_t kMatchUpCount = 18;
using MatchUps = std::array<std::string, kMatchUpCount>;

class TGWide {
 public:
  // programDir: the folder that holds the data tree (any trailing "/" is optional).
  explicit TGWide(std::string programDir);
  ~TGWide();
  TGWide(const TGWide&) = delete;
  TGWide& operator=(const TGWide&) = delete;

  std::string ProgramDir, DataDir, CompaniesDir, CatDir, SitesDir, UpdatesDir, FilesDir, ReportsDir,
      ImagesDir;
  MatchUps MatchUpValues;

  // Computes the eight data paths and creates each missing folder (failures ignored).
  void MakeDataTree();
  // Creates TIniSites and TEngBuild; false when that fails.
  bool CreateWorkers();
  TEngBuild& EngBuild() { return *engBuild_; }
  TIniSites& IniSites() { return *iniSites_; }

  // File names: folder + display name (converted to UTF-8) + fixed suffix.
  std::string SettingsFile() const;
  std::string CompanyListFile() const;
  std::string CompanyFile(std::string_view company) const;
  std::string AppListFile(std::string_view company) const;
  std::string AppFile(std::string_view app) const;
  std::string LongDescFile(std::string_view app) const;
  std::string NotesFile(std::string_view app) const;
  std::string SiteTableFile(std::string_view app) const;

  // The application list of a company; false (apps untouched) when there is no
  // company or no list file. Names that may not be used in file names are skipped
  // and returned in rejected.
  bool LoadAppList(std::string_view company, Lines& apps, Lines* rejected = nullptr) const;
  // Writes the list (an empty list gives an empty file); nothing when no company.
  void SaveAppList(std::string_view company, const Lines& apps) const;

 private:
  std::string In(const std::string& dir, std::string_view name, const char* suffix) const;
  std::unique_ptr<TIniSites> iniSites_;
  std::unique_ptr<TEngBuild> engBuild_;
};

// Keeps the entries that may be used in file names; the others go to rejected.
Lines FilterNames(const Lines& names, Lines* rejected);
// Tells the person which entries of a list (what: "company", "application", "site";
// where: the list file) were skipped and why.
void ReportSkipped(UserPrompt& prompt, std::string_view what, std::string_view where,
                   const Lines& rejected);

// Where the data tree lives: dataDir when given; else the program's folder when it
// is writable; else $XDG_DATA_HOME/vendrix (default ~/.local/share/vendrix).
std::string ResolveDataRoot(const std::string& dataDir, const std::string& programPath);

}  // namespace vendrix
