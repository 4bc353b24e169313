#pragma once
// TMainFrm: the main window "Vendrix 2.08" with its five pages, the File and Help
// menus, the page rules and the close questions. It owns the core Session; the pages
// bind widgets to the session's models and call back through Act() and RefreshAll().
// GUI thread only.
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>

#include "app/main_window.h"
#include "app/session.h"
#include "base/clock.h"
#include "qt_prompt.h"

class QTabWidget;

namespace vendrix::ui {

class CompanySheet;
class AppInfoSheet;
class SitesSheet;
class SiteBuilderSheet;
class TVariablesFrm;
class HintSwitch;

class TMainFrm : public QMainWindow {
  Q_OBJECT
 public:
  // The commands whose windows come later; each menu item or button calls one hook,
  // which later code replaces with SetCommand.
  enum class Command { ViewReports, UpdateDataFiles, BhsAccount, Contribute };

  explicit TMainFrm(const std::string& dataRoot, QWidget* parent = nullptr);
  ~TMainFrm() override;

  // Data tree, workers, first company and application, site lists; false when the
  // program cannot start ("Unable to initialize Vendrix!").
  bool Initialise();

  Session& Core() { return *session_; }
  QtPrompt& Prompt() { return prompt_; }
  QTabWidget* Pages() const { return pages_; }

  // Runs a core action: a failure (an exception) is shown as an error box; the pages
  // show the new state afterwards. With busy, the busy cursor shows meanwhile.
  // Returns false when the action failed.
  bool Act(const std::function<void()>& action, bool busy = false);
  // Copies the session's state into every page.
  void RefreshAll();
  void RefreshSites();
  // Brings a page to the front (through the page rules).
  void ShowPage(Page page);

  void SetCommand(Command command, std::function<void()> hook);
  void RunCommand(Command command);
  // Puts the real Submit page in place of the placeholder.
  void InstallSubmitPage(QWidget* page);
  // Asked first when the window is to close; false keeps it open (a run is going).
  void SetCloseGuard(std::function<bool()> mayClose) { closeGuard_ = std::move(mayClose); }
  // Opens a web address or file URL; tests replace the opener.
  void SetUrlOpener(std::function<void(const QString&)> opener) { openUrl_ = std::move(opener); }
  void OpenUrl(const QString& url);
  // Called once the window was shown for the first time (closes the splash).
  void SetShownHook(std::function<void()> hook) { shownHook_ = std::move(hook); }

  // File -> "Import PAD File..." (the change table in its window) and "Export PAD File..."
  // (also the App Info page's button).
  void ImportPad();
  void ExportPad();

  // The single-instance activation: restore when minimised, else bring to the front.
  void Activate();
  // The variables window of the site builder (modeless, created once).
  void ShowVariables();
  // Hints (tool tips) on or off for the whole program.
  void ApplyHints(bool on);

 signals:
  // The count of sites to post was recomputed (for the Submit page).
  void SiteCountsChanged();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildMenus();
  void PageChanged(int index);
  void ShowSettings();
  void ShowDefaultScript(int which);
  void ShowAbout();
  void ShowEngineChecker();
  void ShowHelp();

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
  std::map<Command, std::function<void()>> commands_;
  std::function<void(const QString&)> openUrl_;
  std::function<void()> shownHook_;
  std::function<bool()> closeGuard_;
  int currentPage_ = 0;
  bool switchingBack_ = false;
  bool shown_ = false;
  bool activated_ = false;
  bool refreshing_ = false;
};

// The busy cursor for the life of the object.
class BusyCursor {
 public:
  BusyCursor();
  ~BusyCursor();
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace vendrix::ui
