#pragma once
// SiteStore: the site catalogue's files. The two list files ("Sites.dat" and
// "User_Sites.dat") and, per site, its settings file, two category files and five
// script files. It reads and writes the match-up values of the open site, which the
// frame keeps; it keeps no other state (the lists and the open definition belong to
// the site builder).
//
// Failures: a missing file reads as empty or as the defaults; a file that exists but
// cannot be read, and every failed write, throws VendrixError with the file's name
// (writes: "Unable to write to <file>"); the operation stops where it failed.
// Not thread-safe: called from the thread that owns the session, or from a run's
// worker while the screens do not touch the catalogue.
#include <string>
#include <string_view>

#include "base/data_tree.h"
#include "base/user_prompt.h"
#include "catalogue/match_ups.h"
#include "catalogue/site_definition.h"
#include "catalogue/site_lists.h"

namespace vendrix {

class SiteStore {
 public:
  SiteStore(const DataTree& tree, MatchUps& matchUps) : tree_(tree), matchUps_(matchUps) {}

  const DataTree& Tree() const { return tree_; }
  MatchUps& MatchUpValues() { return matchUps_; }
  const MatchUps& MatchUpValues() const { return matchUps_; }

  // Files of a site.
  std::string SiteSettingsFile(std::string_view site) const;
  std::string CategoryFile(std::string_view site, int which) const;  // which: 1 or 2
  std::string ScriptFile(std::string_view site, ScriptKind kind) const;

  // Site lists. Entries that may not be used (blank, unfit for file names, holding
  // the table's delimiter) are kept aside in the lists' skipped entries and written
  // back by SaveSiteLists; the non-blank ones are returned in rejected.
  void LoadSiteLists(SiteLists& lists, Lines* rejected = nullptr) const;
  void SaveSiteLists(const SiteLists& lists) const;
  // Adds a user site (blanks trimmed); false when refused (blank, duplicate with the
  // error dialog, or a name that cannot be used in file names, with a message).
  bool AddSite(SiteLists& lists, std::string_view name, UserPrompt& prompt);
  // Deletes the site's files and its list entries; the caller opens the first site left.
  void DeleteSite(SiteLists& lists, std::string_view name) const;

  void ClearSite(SiteDefinition& def) const;
  void LoadSite(std::string_view name, SiteDefinition& def);
  void SaveSite(const SiteDefinition& def) const;
  void LoadSettings(std::string_view name, SiteDefinition& def);
  void SaveSettings(const SiteDefinition& def) const;
  void LoadCategories(std::string_view name, SiteDefinition& def) const;
  void SaveCategories(const SiteDefinition& def) const;
  void LoadScripts(std::string_view name, SiteDefinition& def) const;
  void SaveScripts(const SiteDefinition& def) const;

 private:
  const DataTree& tree_;
  MatchUps& matchUps_;
};

}  // namespace vendrix
