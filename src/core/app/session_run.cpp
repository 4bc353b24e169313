#include "app/session_run.h"

#include "app/manifest_export.h"

namespace vendrix {

ProgramSettings SessionRunHost::Settings() {
  // The Settings window writes the file; the run reads what it holds now.
  s_.Settings() = LoadProgramSettings(s_.Wide().SettingsFile());
  return s_.Settings();
}

void SessionRunHost::SetLongDesc(Lines lines) {
  // The wrapped text goes into the field; the run does not save it, and a re-wrap
  // alone is no edit to ask about later.
  const bool saved = s_.Flags().AppSaved;
  s_.App().SetLongDesc(std::move(lines));
  s_.Flags().AppSaved = saved;
}

std::vector<Finding> SessionRunHost::MoreFindings() {
  return PackagePreCheckFindings(s_.Company().Profile(), s_.App().Profile(), s_.Wide().ProgramDir);
}

void SessionRunHost::SaveSiteTable() {
  s_.Table().Save(s_.App().Shown());
  s_.Flags().SiteTableChanged = false;
}

bool SessionRunHost::IsUnsaved(Unsaved what) {
  switch (what) {
    case Unsaved::App:
      return !s_.Flags().AppSaved;
    case Unsaved::Company:
      return !s_.Flags().CompanySaved;
    case Unsaved::Site:
      return !s_.Flags().SiteSaved;
  }
  return false;
}

void SessionRunHost::Save(Unsaved what) {
  switch (what) {
    case Unsaved::App:
      s_.App().SaveApp();
      break;
    case Unsaved::Company:
      s_.Company().SaveCompany();
      break;
    case Unsaved::Site:
      s_.Builder().SaveSite();
      break;
  }
}

}  // namespace vendrix
