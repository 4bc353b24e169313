#pragma once
// The "Site Builder" tab without its widgets: the site lists and the one open site,
// the enabling rules, the zip option rule, New/Save/Delete Site, the match-up window
// and the default scripts. File failures throw as SiteStore's do; refusals go
// through the prompt. Not thread-safe: the session's thread.
#include <functional>
#include <optional>
#include <string>

#include "base/data_tree.h"
#include "base/main_flags.h"
#include "base/user_prompt.h"
#include "catalogue/site_definition.h"
#include "catalogue/site_lists.h"
#include "catalogue/site_store.h"

namespace vendrix {

// Which controls are enabled, derived from the open definition.
struct SiteBuilderEnabled {
  bool cat1Editor = false, cat2Editor = false;
  bool httpScripts = false;    // both HTTP script editors
  bool ftpControls = false;    // zip, 8+3, server, login, path, password, options, name, script
  bool emailControls = false;  // recipients, subjects, scripts, copy and attach boxes
};

SiteBuilderEnabled EnabledFor(const SiteDefinition& def);

// The default script files in the data folder.
enum class DefaultScript { Ftp, EmailNew, EmailUpdate };
std::string DefaultScriptFile(const DataTree& tree, DefaultScript which);
// Where a default script is read from: the data folder's own file, else the one
// installed with the program (the editor saves into the data folder).
std::string DefaultScriptSource(const DataTree& tree, DefaultScript which);
// The head line of the default script editor.
const char* DefaultScriptTitle(DefaultScript which);

class SiteBuilder {
 public:
  SiteBuilder(SiteStore& store, MainFlags& flags, UserPrompt& prompt);
  // Called after a site was saved: rebuild the application site table.
  void SetRebuildTable(std::function<void()> rebuild) { rebuildTable_ = std::move(rebuild); }

  SiteLists& Lists() { return lists_; }
  const SiteLists& Lists() const { return lists_; }
  const SiteDefinition& Definition() const { return def_; }
  // For an edit of a control: marks the site as changed.
  SiteDefinition& Edit();
  bool ContributeVisible() const { return contributeVisible_; }

  // Loads the lists at start-up; skipped names are reported.
  void LoadLists();
  // Opens a site (unsaved changes of the open one are dropped).
  bool OpenSite(std::string_view name);
  bool OpenSiteAt(int index);

  // A click on one of the boxes that apply the enabling rules (the site is changed).
  void ApplyEnablingRules() { flags_.SiteSaved = false; }
  // "Site requires ZIP file" and the text-file options under the zip option rule.
  void SetUseZipFile(bool on);
  void SetTextFileOption(TextFileOption option);
  // A definition edited as a whole (the command line's "site set"): replaces the open
  // one under the zip option rule, as if each control had been clicked.
  void EditAll(const SiteDefinition& def);

  bool NewSite();
  void SaveSite();
  void DeleteSite();

  // The 18 values the match-up window shows, and closing it.
  MatchUps MatchUpWindowValues() const;
  void CloseMatchUpWindow(const MatchUps& values);

  // The "Default Script" buttons: asks, then loads the default file into the script.
  bool LoadDefaultScript(DefaultScript which);

 private:
  SiteStore& store_;
  MainFlags& flags_;
  UserPrompt& prompt_;
  std::function<void()> rebuildTable_;
  SiteLists lists_;
  SiteDefinition def_;
  bool contributeVisible_ = false;
};

// The default script editor: load (with "Default Script File Not Found!") and save.
class DefaultScriptEditor {
 public:
  DefaultScriptEditor(const DataTree& tree, UserPrompt& prompt, DefaultScript which);
  std::string& Text() { return text_; }
  void Save() const;

 private:
  std::string path_;
  std::string text_;
};

}  // namespace vendrix
