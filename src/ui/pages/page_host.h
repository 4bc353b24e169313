#pragma once
// PageHost: what a page of the main window may ask of the window that holds it, and
// nothing more. The main window implements it; a page keeps only this, so that no
// page reaches into the window's other pages or widgets. GUI thread only.
#include <QString>
#include <functional>

#include "app/main_window.h"

namespace vendrix {
class Session;
class UserPrompt;
}  // namespace vendrix

class QWidget;

namespace vendrix::ui {

// The commands whose windows live outside the pages.
enum class HostCommand { ViewReports, UpdateDataFiles, BhsAccount, Contribute };

class PageHost {
 public:
  virtual ~PageHost() = default;

  virtual Session& Core() = 0;
  virtual UserPrompt& Prompt() = 0;
  // The window, as the parent of the windows a page opens.
  virtual QWidget* Window() = 0;

  // Runs a core action: a failure (an exception) is shown as an error box; the pages
  // show the new state afterwards. With busy, the busy cursor shows meanwhile. False
  // when the action failed.
  virtual bool Act(const std::function<void()>& action, bool busy = false) = 0;
  // Copies the session's state into every page, or into the Sites page only.
  virtual void RefreshAll() = 0;
  virtual void RefreshSites() = 0;
  // Brings a page to the front (through the page rules).
  virtual void ShowPage(Page page) = 0;
  virtual void RunCommand(HostCommand command) = 0;
  // The application as a PAD file (File -> "Export PAD File...").
  virtual void ExportPad() = 0;
  // The package managers' manifests (File -> "Export Package Manifests…").
  virtual void ExportManifests() = 0;
  virtual void ShowVariables() = 0;
  virtual void OpenUrl(const QString& url) = 0;
  // The Settings window; true when it closed with OK.
  virtual bool OpenSettings() = 0;
  // Closes the window (through its close questions).
  virtual void CloseWindow() = 0;

  // The menus off while a run holds the session.
  virtual void SetMenusEnabled(bool on) = 0;
  // "Total To Post" of the Sites page during a run.
  virtual void ShowTotalToPost(int total) = 0;
  // A page that edits the site table says so; the others hear of it.
  virtual void SiteCountsChanged() = 0;
  virtual void OnSiteCountsChanged(std::function<void()> listener) = 0;
};

}  // namespace vendrix::ui
