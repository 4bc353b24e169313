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
#include "run/post_history.h"

namespace vendrix {

class Session {
 public:
  Session(std::string dataRoot, UserPrompt& prompt, const Clock& clock);

  // Data tree, workers, first company and application, site lists. False when the
  // workers could not be created ("Unable to initialize Vendrix!"). With
  // catalogueSweepLater the sweep of the catalogue folders' staging files waits for
  // FinishStartSweep (RecoverDataTree), which a window calls once it has appeared.
  bool Initialise(bool catalogueSweepLater = false);
  void FinishStartSweep();
  // The main window's first show: settings, the first application (or the one
  // named, when the list holds it) loaded again, now with its site table; flags
  // cleared; counts. With tableLater the site table is left for
  // BuildPendingSiteTable, so that a window can appear before thousands of settings
  // files are read.
  void ShowStep(std::string_view app = {}, bool tableLater = false);
  // Builds the site table ShowStep left for later; false when none was left (or a
  // later application choice built it meanwhile).
  bool BuildPendingSiteTable();
  bool SiteTablePending() const { return tablePending_; }

  // Choosing a company also loads its application list and first application. What
  // is shown then is what the files hold: nothing counts as changed.
  bool ChooseCompany(std::string_view name);
  // Choosing an application (its unsaved site-table edits are dropped).
  bool ChooseApp(std::string_view name);

  // Before the shown company, application or open site is replaced: when it holds
  // changes, "Save changes to <name>?" (Save, Discard, Cancel). Save writes them;
  // false on Cancel, and the switch must not happen. Saves throw as the pages do.
  // The company question also covers the application, whose list is replaced too.
  bool OfferSaveCompany();
  bool OfferSaveApp();
  bool OfferSaveSite();
  // Rebuilds the site table of the shown application.
  void BuildSiteTable();
  // What each site already got of the shown application (the Sites page's "Sent"
  // column); empty without an application or when the history cannot be read.
  PostHistory SentHistory() const;
  // "View in Site Builder": opens the site of a table row. By name, not by position:
  // a catalogue site without a settings file has no row, so positions can differ.
  bool ViewInSiteBuilder(int row);
  // The close questions; true when the window may close.
  bool CloseQuery();

  // After the "Update Data Files" window closed: when the catalogue was replaced,
  // "You must now restart Vendrix!" and true: the main window closes now, without
  // its save questions.
  bool UpdateWindowClosed(bool updateComplete);
  // A first start: the example sites installed with the program (a web form, an FTP
  // upload, an e-mail) become the catalogue, read again at once (no site is open, so
  // no restart is needed). Only while the catalogue has no site; false, after saying
  // why, when it has, when no examples are installed, or when the install failed.
  bool AddExampleSites();
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
  bool deferTable_ = false;    // BuildSiteTable only notes that the table is due
  bool tablePending_ = false;  // the table of the shown application is not built yet
  bool sweepPending_ = false;  // the catalogue folders' staging files are still there
};

}  // namespace vendrix
