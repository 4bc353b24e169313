#pragma once
// The main window's state without the window: the data tree, the change flags, the
// pages' models, and the start-up, show and close steps that tie them together.
// The Qt window and the command line each own one. Initialise reports a failed
// start as false; the other steps throw VendrixError on failed writes. Not
// thread-safe: the thread that owns it (the GUI thread).
#include <memory>
#include <string>

#include "app/main_window.h"
#include "app/program_settings.h"
#include "app/tgwide.h"
#include "base/clock.h"
#include "base/main_flags.h"
#include "base/user_prompt.h"
#include "catalogue/site_builder.h"
#include "catalogue/site_table.h"
#include "profiles/app_page.h"
#include "profiles/company_page.h"

namespace vendrix {

class Session {
 public:
  Session(std::string dataRoot, UserPrompt& prompt, const Clock& clock);

  // Data tree, workers, first company and application, site lists. False when the
  // workers could not be created ("Unable to initialize Vendrix!").
  bool Initialise();
  // The main window's first show: settings, the first application (or the one
  // named, when the list holds it) loaded again, now with its site table; flags
  // cleared; counts.
  void ShowStep(std::string_view app = {});

  // Choosing a company also loads its application list and first application.
  bool ChooseCompany(std::string_view name);
  // Rebuilds the site table of the shown application.
  void BuildSiteTable();
  // "View in Site Builder": opens the site of a table row. By name, not by position:
  // a catalogue site without a settings file has no row, so positions can differ.
  bool ViewInSiteBuilder(int row);
  // The close questions; true when the window may close.
  bool CloseQuery();

  // After the "Update Data Files" window closed: when the catalogue was replaced,
  // "You must now restart Vendrix!" and true: the main window closes now, without
  // its save questions.
  bool UpdateWindowClosed(bool updateComplete);
  // An id from the BHS windows becomes the shown company's (written with its next save).
  // False (with a message) for an id that cannot be stored as it is.
  bool AssignBhsId(const std::string& id) { return company_.SetBhsId(id); }
  // "Contribute!": unsaved changes of the site builder are saved first; returns the
  // name of the site to contribute (the site builder's).
  std::string PrepareContribution();
  // "Contribute!" is hidden for the rest of the run after a contribution went out.
  bool ContributeHidden() const { return contributeHidden_; }
  void ContributionSent() { contributeHidden_ = true; }

  TGWide& Wide() { return wide_; }
  MainFlags& Flags() { return flags_; }
  CompanyPage& Company() { return company_; }
  AppPage& App() { return app_; }
  SiteBuilder& Builder() { return builder_; }
  SiteTable& Table() { return table_; }
  ProgramSettings& Settings() { return settings_; }
  UserPrompt& Prompt() { return prompt_; }
  const Clock& Time() const { return clock_; }

 private:
  UserPrompt& prompt_;
  const Clock& clock_;
  TGWide wide_;
  MainFlags flags_;
  CompanyPage company_;
  AppPage app_;
  SiteBuilder builder_;
  SiteTable table_;
  ProgramSettings settings_;
  bool contributeHidden_ = false;
};

}  // namespace vendrix
