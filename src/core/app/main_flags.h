#pragma once
// The main window's change and state flags with their initial values.

namespace vendrix {

struct MainFlags {
  bool CompanySaved = true;
  bool AppSaved = true;
  bool SiteSaved = true;
  bool SiteTableChanged = false;
  bool AddingEntry = false;
  bool Posting = false;
  bool LoadingGrid = false;
  bool DataFilesReplaced = false;
};

}  // namespace vendrix
