#pragma once
// The main window's change and state flags with their initial values. The frame owns
// one set; the pages get it by reference and set or clear their own marks. Plain
// data: whoever owns the session reads and writes it, on one thread.

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
  // The session only reads (a reading command, a read-only tree): what it finds out of
  // step (a site table behind the catalogue) is put right in memory, never on disk.
  bool ReadOnly = false;
};

}  // namespace vendrix
