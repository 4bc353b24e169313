#include "app/session.h"

#include "app/start_recovery.h"
#include "base/file_io.h"

#include "script/eng_build.h"
#include "update/data_update.h"

namespace vendrix {

Session::Session(std::string dataRoot, UserPrompt& prompt, const Clock& clock)
    : prompt_(prompt),
      clock_(clock),
      wide_(std::move(dataRoot)),
      company_(wide_, flags_, prompt_),
      app_(wide_, flags_, prompt_, company_),
      builder_(wide_.Sites(), flags_, prompt_),
      table_(wide_.Sites(), flags_, prompt_, clock_, [this] {
        return SiteTable::AppInfo{app_.Profile().platform, app_.Profile().status};
      }) {
  app_.SetHooks({[this] { BuildSiteTable(); }, [this] { return !table_.Rows().empty(); },
                 [this] { company_.NewCompany(); },
                 [this](const std::string& company, const std::string& app) {
                   if (ChooseCompany(company)) app_.Select(app);
                 }});
  builder_.SetRebuildTable([this] { BuildSiteTable(); });
  company_.SetOnShownChanged([this] { app_.LoadList(); });
}

bool Session::Initialise(bool catalogueSweepLater) {
  try {
    StartRecovery recovery = RecoverDataTree(wide_, catalogueSweepLater);
    sweepPending_ = catalogueSweepLater;
    for (const auto& line : recovery.done) prompt_.Inform(line);
    for (const auto& line : recovery.failed) prompt_.Error(line);
    wide_.MakeDataTree();
    if (!wide_.CreateWorkers()) return false;
    wide_.EngBuild().SetContext(
        {&company_.Profile(), &app_.Profile(), &builder_.Definition(), nullptr, &clock_, &prompt_});
    company_.LoadList();   // and, through the shown-company hook, its application list
    builder_.LoadLists();  // no site is opened until one is chosen
    return true;
  } catch (const std::exception&) {
    return false;  // "Unable to initialize Vendrix!"
  }
}

void Session::ShowStep(std::string_view app, bool tableLater) {
  settings_ = LoadProgramSettings(wide_.SettingsFile());
  deferTable_ = tableLater;
  try {
    if (app.empty() || !app_.Select(app)) {
      if (!app_.Names().empty()) app_.Select(app_.Names().front());
    }
  } catch (...) {
    deferTable_ = false;
    throw;
  }
  deferTable_ = false;
  flags_.CompanySaved = true;
  flags_.AppSaved = true;
  flags_.SiteSaved = true;
  table_.Recount();
  table_.ShowRowDetails();
}

bool Session::ChooseCompany(std::string_view name) {
  // The hook reloads the application list.
  if (!company_.Select(name)) return false;
  flags_.CompanySaved = true;
  flags_.AppSaved = true;
  return true;
}

bool Session::ChooseApp(std::string_view name) {
  if (!app_.Select(name)) return false;
  flags_.AppSaved = true;
  return true;
}

namespace {
// Yes/No/Cancel of the save question as an action: true unless cancelled.
bool OfferSave(UserPrompt& prompt, const std::string& name, const std::function<void()>& save) {
  switch (prompt.AskSave("Save changes to " + name + "?")) {
    case Answer::Yes:
      save();
      return true;
    case Answer::No:
      return true;
    case Answer::Cancel:
      break;
  }
  return false;
}
}  // namespace

bool Session::OfferSaveCompany() {
  if (!flags_.CompanySaved && !company_.Shown().empty() &&
      !OfferSave(prompt_, company_.Shown(), [this] { company_.SaveCompany(); })) {
    return false;
  }
  return OfferSaveApp();
}

bool Session::OfferSaveApp() {
  const bool app = !flags_.AppSaved, table = flags_.SiteTableChanged;
  if ((!app && !table) || app_.Shown().empty()) return true;
  return OfferSave(prompt_, app_.Shown(), [this, app, table] {
    if (app) app_.SaveApp();
    if (table) {
      table_.Save(app_.Shown());
      flags_.SiteTableChanged = false;
    }
  });
}

void Session::FinishStartSweep() {
  if (!sweepPending_) return;
  sweepPending_ = false;
  SweepCatalogueStaging(wide_);
}

bool Session::OfferSaveSite() {
  const std::string* site = builder_.Lists().Selected();
  if (flags_.SiteSaved || !site) return true;
  return OfferSave(prompt_, *site, [this] { builder_.SaveSite(); });
}

PostHistory Session::SentHistory() const {
  const std::string& app = app_.Shown();
  return app.empty() ? PostHistory{} : PostHistory::Load(wide_.HistoryFile(app));
}

void Session::BuildSiteTable() {
  if (deferTable_) {
    tablePending_ = true;
    return;
  }
  tablePending_ = false;
  // Before the first show the site lists are not loaded, so the grid stays empty.
  table_.Build(builder_.Lists().SiteList, app_.Shown());
}

bool Session::BuildPendingSiteTable() {
  if (!tablePending_) return false;
  BuildSiteTable();
  table_.Recount();
  table_.ShowRowDetails();
  return true;
}

bool Session::ViewInSiteBuilder(int row) {
  const auto& rows = table_.Rows();
  if (row < 0 || row >= static_cast<int>(rows.size())) return false;
  return builder_.OpenSite(rows[row].site);
}

bool Session::UpdateWindowClosed(bool updateComplete) {
  if (!AfterUpdateWindow(updateComplete, prompt_)) return false;
  flags_.DataFilesReplaced = true;
  return true;
}

bool Session::AddExampleSites() {
  if (!builder_.Lists().SiteList.empty()) {
    prompt_.Error(
        "The catalogue already has sites; the example sites are added only to an "
        "empty one.");
    return false;
  }
  const std::string zip = wide_.ShareDir + "starter/vxsites.zip";
  if (wide_.ShareDir.empty() || !FileExists(zip)) {
    prompt_.Error("No example sites are installed with this copy of Vendrix.");
    return false;
  }
  struct Quiet : UpdateObserver {
    void Status(const std::string&) override {}
    void Percent(int) override {}
    void Bar(long long, long long, long long) override {}
    void Trace(const std::string&, bool) override {}
  } quiet;
  Tgeteng install({wide_.UpdatesDir, wide_.SitesDir, wide_.CatDir}, UpdateSource{}, prompt_, quiet);
  if (install.Install(zip) != UpdateOutcome::Completed) return false;
  builder_.LoadLists();
  BuildSiteTable();
  return true;
}

std::string Session::PrepareContribution() {
  if (!flags_.SiteSaved) builder_.SaveSite();
  return builder_.Definition().name;
}

bool Session::CloseQuery() {
  CloseSavers savers{[this] { company_.SaveCompany(); }, [this] { app_.SaveApp(); },
                     [this] { table_.Save(app_.Shown()); }, [this] { builder_.SaveSite(); }};
  return vendrix::CloseQuery(flags_, app_.Shown(), prompt_, savers);
}

}  // namespace vendrix
