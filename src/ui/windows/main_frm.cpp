#include "main_frm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "app/pad_commands.h"
#include "app/program_settings.h"
#include "app_info_sheet.h"
#include "company_sheet.h"
#include "engine_check_frm.h"
#include "help_frm.h"
#include "hint_switch.h"
#include "main_frm_windows.h"
#include "manifest_export_frm.h"
#include "pad_import_frm.h"
#include "qt_text.h"
#include "report_viewer.h"
#include "screen_fit.h"
#include "settings_form.h"
#include "site_builder_sheet.h"
#include "sites_sheet.h"
#include "small_windows.h"
#include "text_guard.h"
#include "variables_frm.h"

namespace vendrix::ui {

namespace {
constexpr const char* kVendrixHome = "https://www.halvane.com/vendrix/";
constexpr const char* kHalvaneHome = "https://www.halvane.com/";
}  // namespace

namespace {
// Small enough for a 1024x640 screen with its title bar and panel; the pages scroll
// below their own size.
constexpr int kMinWidth = 760, kMinHeight = 480;
// How long after the show the site table is built at the latest, painted or not.
constexpr int kTableLatestMs = 250;

// A page inside a scroll area, so that a window smaller than the page can reach all
// of it.
QScrollArea* Scrolled(QWidget* page) {
  auto* area = new QScrollArea;
  area->setObjectName(page->objectName() + "Scroll");
  area->setWidget(page);
  area->setWidgetResizable(true);
  area->setFrameShape(QFrame::NoFrame);
  // Tab goes from the page tabs straight to the page's first field; the area scrolls
  // to whichever field has the focus.
  area->setFocusPolicy(Qt::NoFocus);
  return area;
}
}  // namespace

TMainFrm::TMainFrm(const std::string& dataRoot, QWidget* parent)
    : QMainWindow(parent), prompt_(this) {
  setObjectName("TMainFrm");
  setWindowTitle("Vendrix 2.08");
  session_ = std::make_unique<Session>(dataRoot, prompt_, clock_);
  hints_ = new HintSwitch(this);
  qApp->installEventFilter(hints_);
  // Every field of every window refuses what the files cannot hold.
  textGuard_ = new TextGuard(this);
  qApp->installEventFilter(textGuard_);
  // Every window it shows stays on the screen, however small the screen.
  screenFit_ = new ScreenFit(this);
  qApp->installEventFilter(screenFit_);

  openUrl_ = [](const QString& url) { return QDesktopServices::openUrl(QUrl(url)); };
  const auto later = [this](const char* what) {
    return [this, what] {
      prompt_.Inform(std::string(what) + " comes with the next version of Vendrix.");
    };
  };
  commands_[Command::ViewReports] = [this] {
    OpenUrl(QUrl::fromLocalFile(PathToQt(session_->Wide().ReportsDir)).toString());
  };
  commands_[Command::UpdateDataFiles] = later("Updating the data files");
  commands_[Command::BhsAccount] = later("The BHS account window");
  commands_[Command::Contribute] = later("Contributing a site");

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(6, 6, 6, 6);
  pages_ = new QTabWidget(central);
  pages_->setObjectName("PageControl1");
  company_ = new CompanySheet(*this);
  app_ = new AppInfoSheet(*this);
  sites_ = new SitesSheet(*this);
  submit_ = new QWidget;
  submit_->setObjectName("SubmitSheet");
  auto* placeholder = new QVBoxLayout(submit_);
  auto* note = new QLabel("Submissions are made from this page.", submit_);
  note->setAlignment(Qt::AlignCenter);
  placeholder->addWidget(note);
  builder_ = new SiteBuilderSheet(*this);
  pages_->addTab(Scrolled(company_), "Compan&y Info");
  pages_->addTab(Scrolled(app_), "&App Info");
  pages_->addTab(Scrolled(sites_), "&Sites");
  pages_->addTab(Scrolled(submit_), "Su&bmit");
  pages_->addTab(Scrolled(builder_), "S&ite Builder");
  layout->addWidget(pages_);
  setCentralWidget(central);
  connect(pages_, &QTabWidget::currentChanged, this, &TMainFrm::PageChanged);
  BuildMenus();
  InstallWindows(*this);
}

TMainFrm::~TMainFrm() {
  qApp->removeEventFilter(hints_);
  qApp->removeEventFilter(textGuard_);
  qApp->removeEventFilter(screenFit_);
  delete variables_;
}

void TMainFrm::BuildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  file->setObjectName("FileMenu");
  auto add = [this](QMenu* menu, const char* name, const QString& text, auto slot) {
    QAction* a = menu->addAction(text);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  add(file, "SettingsItem", "&Settings", [this] { ShowSettings(); });
  add(file, "ViewReportsItem", "&View Reports", [this] { RunCommand(Command::ViewReports); });
  add(file, "UpdateDataFilesItem", "&Update Data Files",
      [this] { RunCommand(Command::UpdateDataFiles); });
  file->addSeparator();
  add(file, "ImportPadItem", "&Import PAD File...", [this] { ImportPad(); });
  add(file, "ExportPadItem", "Ex&port PAD File...", [this] { ExportPad(); });
  add(file, "ExportManifestsItem", "Export Package &Manifests\u2026",
      [this] { ExportManifests(); });
  file->addSeparator();
  add(file, "DefaultFtpScriptItem", "Default &FTP Script", [this] { ShowDefaultScript(0); });
  QMenu* mail = file->addMenu("Default &Email Scripts");
  mail->setObjectName("DefaultEmailScriptsMenu");
  add(mail, "DefaultEmailNewItem", "&New", [this] { ShowDefaultScript(1); });
  add(mail, "DefaultEmailUpdateItem", "&Update", [this] { ShowDefaultScript(2); });
  file->addSeparator();
  add(file, "ExitItem", "E&xit", [this] { close(); });

  QMenu* tools = menuBar()->addMenu("&Tools");
  tools->setObjectName("ToolsMenu");
  add(tools, "EngineCheckerItem", "&Engine Checker", [this] { ShowEngineChecker(); });
  reportsInside_ = add(tools, "ReportsInsideItem", "Show Reports &Inside Vendrix", [this] {
    QSettings stored(GeometryFile(), QSettings::IniFormat);
    stored.setValue("Reports/Inside", reportsInside_->isChecked());
  });
  reportsInside_->setCheckable(true);
  tools->addSeparator();
  add(tools, "ContributeMenuItem", "&Contribute Site To Halvane...",
      [this] { RunCommand(Command::Contribute); });

  QMenu* help = menuBar()->addMenu("&Help");
  help->setObjectName("HelpMenu");
  add(help, "HelpItem", "&Help", [this] { ShowHelp(); })->setShortcut(QKeySequence::HelpContents);
  add(help, "VendrixHomeItem", "&Vendrix Home Page", [this] { OpenUrl(kVendrixHome); });
  add(help, "HalvaneHomeItem", "Hal&vane Home Page", [this] { OpenUrl(kHalvaneHome); });
  help->addSeparator();
  // No shortcut: Ctrl+A selects all in the fields and the table.
  add(help, "AboutItem", "&About", [this] { ShowAbout(); });
}

bool TMainFrm::Initialise() {
  try {
    if (!session_->Initialise(true)) return false;
  } catch (const std::exception& e) {
    prompt_.Error(e.what());
    return false;
  }
  RefreshAll();
  setMinimumSize(kMinWidth, kMinHeight);
  RestoreGeometry();
  return true;
}

void TMainFrm::ImportPad() {
  Act([this] {
    ImportPadFile(*session_, [this](const PadPlan& plan) {
      TPadImportFrm window(plan, this);
      return window.exec() == QDialog::Accepted;
    });
  });
}

void TMainFrm::ExportPad() {
  prompt_.SuggestSaveName(ToQt(session_->App().Shown()) + ".xml");
  Act([this] { ExportPadFile(*session_); });
}

void TMainFrm::ExportManifests() {
  if (tableDue_) BuildDueTable();
  if (session_->App().Shown().empty()) {
    prompt_.Error("There is no application to make manifests of.");
    return;
  }
  Session& s = *session_;
  // The download check goes through the proxy the settings file holds now.
  ProgramSettings settings;
  try {
    settings = LoadProgramSettings(s.Wide().SettingsFile());
  } catch (const std::exception& e) {
    prompt_.Error(e.what());
    return;
  }
  TManifestExportFrm window(
      ToQt(s.App().Shown()),
      [&s](unsigned channels, bool pack) {
        return PlanManifests(s.Company().Profile(), s.App().Profile(), channels, pack,
                             s.Wide().ProgramDir);
      },
      this, settings);
  window.exec();
}

bool TMainFrm::Act(const std::function<void()>& action, bool busy) {
  if (tableDue_) BuildDueTable();
  bool ok = true;
  {
    std::unique_ptr<BusyCursor> cursor;
    if (busy) cursor = std::make_unique<BusyCursor>();
    try {
      action();
    } catch (const std::exception& e) {
      cursor.reset();
      prompt_.Error(e.what());
      ok = false;
    }
  }
  RefreshAll();
  return ok;
}

void TMainFrm::RefreshAll() {
  if (refreshing_) return;
  refreshing_ = true;
  company_->Refresh();
  app_->Refresh();
  sites_->Refresh();
  builder_->Refresh();
  refreshing_ = false;
  SiteCountsChanged();
}

void TMainFrm::RefreshSites() {
  sites_->Refresh();
  SiteCountsChanged();
}

void TMainFrm::SiteCountsChanged() {
  for (const auto& listener : countListeners_) listener();
}

void TMainFrm::OnSiteCountsChanged(std::function<void()> listener) {
  countListeners_.push_back(std::move(listener));
}

void TMainFrm::SetMenusEnabled(bool on) {
  for (QAction* menu : menuBar()->actions()) menu->setEnabled(on);
}

void TMainFrm::ShowTotalToPost(int total) {
  sites_->ShowTotalToPost(total);
}

void TMainFrm::ShowPage(Page page) {
  pages_->setCurrentIndex(static_cast<int>(page));
}

void TMainFrm::PageChanged(int index) {
  if (switchingBack_) return;
  if (session_->Flags().Posting) {
    switchingBack_ = true;
    pages_->setCurrentIndex(currentPage_);
    switchingBack_ = false;
    CanLeavePage(session_->Flags(), prompt_);
    return;
  }
  currentPage_ = index;
  Session& s = *session_;
  PageState state;
  state.hasCompany = !s.Company().Shown().empty();
  state.hasApp = !s.App().Shown().empty();
  state.gridHasRows = !s.Table().Rows().empty();
  state.siteListHasEntries = !s.Builder().Lists().SiteList.empty();
  state.siteSelected = s.Builder().Lists().Selected() != nullptr;
  switch (PageShown(static_cast<Page>(index), state, prompt_)) {
    case PageFollowUp::None:
      break;
    case PageFollowUp::StartNewCompany:
      ShowPage(Page::CompanyInfo);
      Act([&] { s.Company().NewCompany(); });
      break;
    case PageFollowUp::GoToAppInfo:
      ShowPage(Page::AppInfo);
      break;
    case PageFollowUp::RecountAndFocusGrid:
      s.Table().Recount();
      RefreshSites();
      sites_->FocusGrid();
      break;
    case PageFollowUp::Recount:
      s.Table().Recount();
      RefreshSites();
      break;
    case PageFollowUp::OpenFirstSite:
      Act([&] { s.Builder().OpenSiteAt(0); }, true);
      break;
  }
}

void TMainFrm::SetCommand(Command command, std::function<void()> hook) {
  commands_[command] = std::move(hook);
}

void TMainFrm::RunCommand(Command command) {
  if (auto it = commands_.find(command); it != commands_.end() && it->second) it->second();
}

void TMainFrm::InstallSubmitPage(QWidget* page) {
  const int index = static_cast<int>(Page::Submit);
  const bool wasCurrent = pages_->currentIndex() == index;
  switchingBack_ = true;
  QWidget* old = pages_->widget(index);
  pages_->removeTab(index);
  pages_->insertTab(index, Scrolled(page), "Su&bmit");
  if (wasCurrent) pages_->setCurrentIndex(index);
  switchingBack_ = false;
  delete old;  // the scroll area with the placeholder
  submit_ = page;
}

void TMainFrm::OpenUrl(const QString& address) {
  const QUrl url(address);
  const QString file = url.isLocalFile() ? url.toLocalFile() : QString();
  const bool page =
      file.endsWith(".htm", Qt::CaseInsensitive) || file.endsWith(".html", Qt::CaseInsensitive);
  if (page && reportsInside_->isChecked()) {
    ShowReport(url);
    return;
  }
  if (openUrl_ && openUrl_(address)) return;
  if (page) {
    ShowReport(url);  // no browser: the report is read here
    return;
  }
  QWidget* over = QApplication::activeModalWidget();
  if (!over) over = QApplication::activeWindow();
  ShowUnopened(file.isEmpty() ? address : file, over ? over : this);
}

void TMainFrm::ShowReport(const QUrl& page) {
  auto* viewer = new TReportViewer(page, this);
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
}

void TMainFrm::Activate() {
  if (isMinimized()) {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    showNormal();
  } else if (!isVisible()) {
    show();
  }
  raise();
  activateWindow();
}

void TMainFrm::ShowVariables() {
  if (!variables_) variables_ = new TVariablesFrm(*this);
  variables_->ShowList();
}

void TMainFrm::ApplyHints(bool on) {
  hints_->SetEnabled(on);
}

void TMainFrm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  if (!geometryRestored_) {
    if (QScreen* screen = this->screen()) {
      QRect frame = frameGeometry();
      frame.moveCenter(screen->availableGeometry().center());
      move(frame.topLeft());
    }
  }
  // The window opens on the company page, which needs no site table: the table (a
  // read of every site's settings file) is built once the window has appeared, or
  // before the first action should one come sooner; so is the sweep of the
  // catalogue folders' leftover staging files.
  Act([this] {
    session_->ShowStep({}, true);
    ApplyHints(session_->Settings().showHints);
    switchingBack_ = true;
    pages_->setCurrentIndex(static_cast<int>(Page::CompanyInfo));
    currentPage_ = 0;
    switchingBack_ = false;
  });
  tableDue_ = true;
  if (shownHook_) shownHook_();
  // Should no paint come (a window shown minimised), the table is built all the same.
  QTimer::singleShot(kTableLatestMs, this, [this] { BuildDueTable(); });
}

bool TMainFrm::event(QEvent* event) {
  const bool done = QMainWindow::event(event);
  // The first paint after the show: the table follows once the window is on screen.
  if (event->type() == QEvent::UpdateRequest && tableDue_) {
    QTimer::singleShot(0, this, [this] { BuildDueTable(); });
  }
  return done;
}

void TMainFrm::BuildDueTable() {
  if (!tableDue_) return;
  tableDue_ = false;
  Act(
      [this] {
        session_->FinishStartSweep();
        session_->BuildPendingSiteTable();
      },
      true);
  if (loadedHook_) loadedHook_();
}

void TMainFrm::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && !activated_ && shown_) {
    activated_ = true;
    session_->Table().Recount();
    RefreshSites();
  }
}

void TMainFrm::closeEvent(QCloseEvent* event) {
  if (closeGuard_ && !closeGuard_()) {
    QApplication::beep();
    event->ignore();
    return;
  }
  bool mayClose = false;
  try {
    mayClose = session_->CloseQuery();
  } catch (const std::exception& e) {
    // A save that failed keeps the window open, so nothing is lost.
    prompt_.Error(e.what());
    mayClose = false;
  }
  RefreshAll();
  if (!mayClose) {
    event->ignore();
    return;
  }
  if (variables_) variables_->close();
  SaveGeometry();
  event->accept();
}

QString TMainFrm::GeometryFile() const {
  return QFileInfo(PathToQt(session_->Wide().SettingsFile())).absolutePath() + "/window.ini";
}

void TMainFrm::RestoreGeometry() {
  QSettings stored(GeometryFile(), QSettings::IniFormat);
  const QByteArray geometry = stored.value("MainWindow/Geometry").toByteArray();
  geometryRestored_ = !geometry.isEmpty() && restoreGeometry(geometry);
  reportsInside_->setChecked(stored.value("Reports/Inside", false).toBool());
  QScreen* screen = this->screen();
  if (!screen) return;
  const QRect room = screen->availableGeometry();
  if (geometryRestored_ && room.intersects(frameGeometry())) return;
  // First start, or a screen that is no longer there: a good share of the screen (so
  // that the pages' fields show their values whole), within it, never below the
  // minimum.
  geometryRestored_ = false;
  const QSize share(room.width() * 17 / 20, room.height() * 9 / 10);
  FitOnScreen(this, share.boundedTo(QSize(1280, 900))
                        .expandedTo(sizeHint())
                        .expandedTo(QSize(kMinWidth, kMinHeight)));
}

void TMainFrm::SaveGeometry() {
  QSettings stored(GeometryFile(), QSettings::IniFormat);
  stored.setValue("MainWindow/Geometry", saveGeometry());
  stored.sync();
}

void TMainFrm::ShowSettings() {
  OpenSettings();
}

bool TMainFrm::OpenSettings() {
  TSettingsForm form(*this);
  return form.exec() == QDialog::Accepted;
}

void TMainFrm::ShowDefaultScript(int which) {
  TDefaultScriptFrm form(*this, static_cast<DefaultScript>(which));
  form.exec();
}

void TMainFrm::ShowAbout() {
  TAboutBox about(this);
  if (about.exec() == TAboutBox::kEngineCheck) ShowEngineChecker();
}

void TMainFrm::ShowEngineChecker() {
  TEngineCheckFrm form(*this);
  form.exec();
}

void TMainFrm::ShowHelp() {
  THelpFrm::ShowFor(this);
}

}  // namespace vendrix::ui
