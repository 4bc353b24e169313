#pragma once
// TMainFrm: the main window "Vendrix 2.08" with its five pages, the File, Tools and
// Help menus, the page rules and the close questions. It owns the core Session; the
// pages bind widgets to the session's models and reach the window only through their
// PageHost. GUI thread only.
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "app/main_window.h"
#include "app/session.h"
#include "base/clock.h"
#include "busy_cursor.h"
#include "page_host.h"
#include "qt_prompt.h"

class QAction;
class QTabWidget;
class QUrl;

namespace vendrix::ui {

class CompanySheet;
class AppInfoSheet;
class SitesSheet;
class SiteBuilderSheet;
class TVariablesFrm;
class HintSwitch;
class TextGuard;
class ScreenFit;

class TMainFrm : public QMainWindow, public PageHost {
  Q_OBJECT
 public:
  // The commands whose windows come later; each menu item or button calls one hook,
  // which later code replaces with SetCommand.
  using Command = HostCommand;

  explicit TMainFrm(const std::string& dataRoot, QWidget* parent = nullptr);
  ~TMainFrm() override;

  // Data tree, workers, first company and application, site lists; false when the
  // program cannot start ("Unable to initialize Vendrix!").
  bool Initialise();

  Session& Core() override { return *session_; }
  QtPrompt& Prompt() override { return prompt_; }
  QWidget* Window() override { return this; }
  QTabWidget* Pages() const { return pages_; }

  // Runs a core action: a failure (an exception) is shown as an error box; the pages
  // show the new state afterwards. With busy, the busy cursor shows meanwhile.
  // Returns false when the action failed.
  bool Act(const std::function<void()>& action, bool busy = false) override;
  // Copies the session's state into every page.
  void RefreshAll() override;
  void RefreshSites() override;
  // Brings a page to the front (through the page rules).
  void ShowPage(Page page) override;

  void SetCommand(Command command, std::function<void()> hook);
  void RunCommand(Command command) override;
  bool OpenSettings() override;
  void CloseWindow() override { close(); }
  void SetMenusEnabled(bool on) override;
  void ShowTotalToPost(int total) override;
  // The count of sites to post was recomputed (the Submit page listens).
  void SiteCountsChanged() override;
  void OnSiteCountsChanged(std::function<void()> listener) override;
  // Puts the real Submit page in place of the placeholder.
  void InstallSubmitPage(QWidget* page);
  // Asked first when the window is to close; false keeps it open (a run is going).
  void SetCloseGuard(std::function<bool()> mayClose) { closeGuard_ = std::move(mayClose); }
  // Opens a web address or file URL with the desktop's program (tests replace the
  // opener; it returns false when nothing opened it). A report page opens in the
  // program's own viewer when the person prefers that or no browser opened it; any
  // other address that could not be opened is shown to copy.
  void SetUrlOpener(std::function<bool(const QString&)> opener) { openUrl_ = std::move(opener); }
  void OpenUrl(const QString& url) override;
  void ShowReport(const QUrl& page);
  // Called once the window was shown for the first time (closes the splash).
  void SetShownHook(std::function<void()> hook) { shownHook_ = std::move(hook); }
  // Called once the site table was built after the first show (the start is over).
  void SetLoadedHook(std::function<void()> hook) { loadedHook_ = std::move(hook); }

  // File -> "Import PAD File..." (the change table in its window) and "Export PAD File..."
  // (also the App Info page's button).
  void ImportPad();
  void ExportPad() override;
  void ExportManifests() override;

  // The single-instance activation: restore when minimised, else bring to the front.
  void Activate();
  // The variables window of the site builder (modeless, created once).
  void ShowVariables() override;
  // Hints (tool tips) on or off for the whole program.
  void ApplyHints(bool on);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  // The site table left for after the first show, built now (once).
  void BuildDueTable();
  void BuildMenus();
  void PageChanged(int index);
  void ShowSettings();
  void ShowDefaultScript(int which);
  void ShowAbout();
  void ShowEngineChecker();
  void ShowHelp();
  // The window's size and place, kept in "window.ini" beside the settings file.
  QString GeometryFile() const;
  void RestoreGeometry();
  void SaveGeometry();

  QtPrompt prompt_;
  SystemClock clock_;
  std::unique_ptr<Session> session_;
  QTabWidget* pages_ = nullptr;
  CompanySheet* company_ = nullptr;
  AppInfoSheet* app_ = nullptr;
  SitesSheet* sites_ = nullptr;
  QWidget* submit_ = nullptr;
  SiteBuilderSheet* builder_ = nullptr;
  QPointer<TVariablesFrm> variables_;
  HintSwitch* hints_ = nullptr;
  TextGuard* textGuard_ = nullptr;
  ScreenFit* screenFit_ = nullptr;
  std::map<Command, std::function<void()>> commands_;
  std::function<bool(const QString&)> openUrl_;
  QAction* reportsInside_ = nullptr;  // Tools: "Show Reports Inside Vendrix"
  std::function<void()> shownHook_;
  std::function<void()> loadedHook_;
  std::function<bool()> closeGuard_;
  std::vector<std::function<void()>> countListeners_;
  int currentPage_ = 0;
  bool switchingBack_ = false;
  bool shown_ = false;
  bool geometryRestored_ = false;
  bool activated_ = false;
  bool tableDue_ = false;  // the site table is built once the window was first painted
  bool refreshing_ = false;
};

}  // namespace vendrix::ui
