#pragma once
// The "App Info" page without its widgets: the application selector of the shown
// company, the profile shown, and the page's actions. Messages go through the prompt;
// a failed write throws VendrixError ("Unable to write to <file>"). Not thread-safe:
// the session's thread.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/data_tree.h"
#include "base/main_flags.h"
#include "base/user_prompt.h"
#include "profiles/app_profile.h"
#include "profiles/company_page.h"
#include "profiles/new_name.h"

namespace vendrix {

class AppPage {
 public:
  // What the page needs from the rest of the main window.
  struct Hooks {
    std::function<void()> buildSiteTable;   // rebuild the application site table
    std::function<bool()> siteGridHasRows;  // whether the site grid shows rows
    std::function<void()> startNewCompany;  // show "Company Info" and run New Company
    // show the application (second) of another company (first)
    std::function<void(const std::string&, const std::string&)> openElsewhere;
  };

  AppPage(const DataTree& tree, MainFlags& flags, UserPrompt& prompt, const CompanyPage& company);
  void SetHooks(Hooks hooks) { hooks_ = std::move(hooks); }

  const Lines& Names() const { return names_; }
  const std::string& Shown() const { return profile_.name; }
  const AppProfile& Profile() const { return profile_; }

  // Edits (by file key; NAME cannot be edited). Clear AppSaved on change. A value the
  // field rules refuse (CheckAppValue) is shown as an error and not stored; false
  // then, and for an unknown key (no message).
  bool SetField(std::string_view key, std::string value);
  // A whole value entered at once (the command line, a committed field): SetField
  // after the 8-character exit rule (refused with its message, else lower-cased) and
  // the year rule (YearEntry: a whole year is stored as its last two digits).
  bool EnterValue(std::string_view key, std::string value);
  // The memos entered at once: "$" is refused with a message.
  bool EnterLongDesc(Lines lines);
  bool EnterNotes(Lines lines);
  void SetLongDesc(Lines lines);
  void SetNotes(Lines lines);
  void SetSpecReq(std::string text) { profile_.specReq = std::move(text); }

  // Fills the selector from the shown company's list; selects and loads the first entry
  // (the fields are cleared when the list is empty or missing).
  void LoadList();
  // The user chooses an application: drops unsaved site-table edits, then loads it.
  bool Select(std::string_view name);

  void LoadApp();
  void SaveApp();
  // The "Save Application" button: SaveApp, then a fresh site table when the grid is empty.
  void SaveApplication();
  // Asks for a name and creates the application of the shown company, keeping the
  // selectors and attachments of the one shown; true when one was created. Refused
  // names are said through the prompt and asked again. With a name, that name is used
  // instead of asking (the same checks; a refusal is shown). Asked, a name another
  // company's application has is an offer to open that one (Yes: it is shown, false
  // returned; No: the name is asked again); given, it is refused.
  bool NewApp(const std::optional<std::string>& name = std::nullopt);
  // Creates, saves and shows the application `name` (leading blanks removed) of the
  // shown company with the other fields of `fields`, without asking anyone. No company
  // shown, or a name NewApp would refuse: throws VendrixError with the reason, nothing
  // written.
  void Create(const std::string& name, const AppProfile& fields);
  // What a new application starts with: the selectors and attachments of the one
  // shown, every other field empty.
  AppProfile NewAppFields() const;
  void DeleteApp();
  void ClearAppFields();

  // The 8-character field losing the focus: false (field emptied, message shown) when refused.
  bool Char8NameExit();
  std::string LongDate() const;

  // A file chooser for one of the five path fields (by file key).
  bool BrowseFor(std::string_view key);

 private:
  // Writes the shown company's application list: names, then the skipped lines.
  void SaveList(const Lines& names) const;
  // Refuses a name that another company's list holds.
  std::optional<std::string> HeldElsewhere(const std::string& name) const;
  // The other company whose list holds the name, if any.
  std::optional<std::string> HolderElsewhere(const std::string& name) const;
  void SetText(std::string AppProfile::*member, std::string value);
  std::optional<std::string> CollidesWithListFile(const std::string& name) const;
  NewNameTexts NameTexts(bool refuseHeldElsewhere = true) const;
  const DataTree& tree_;
  MainFlags& flags_;
  UserPrompt& prompt_;
  const CompanyPage& company_;
  Hooks hooks_;
  Lines names_;
  Lines skipped_;  // the list's lines that are no usable name, written back as they were
  // Why the list file could not be read at the last load ("" when it could): a list that
  // could not be read is never saved over (it may still hold every name).
  std::string listUnreadable_;
  AppProfile profile_;
};

}  // namespace vendrix
