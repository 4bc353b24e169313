#pragma once
// The "Submit" page of the main window: the run's current site, step status texts
// and lamps, the HTTP byte count, the list of the sites in flight, the run log and the
// FTP log, the two counters and the progress bar, and the buttons Save/Submit, Skip,
// Cancel, View Reports, Print Log and Exit. The run itself goes through RunWorker on a
// worker thread; this page only shows what it reports. A step's lamp blinks while a
// site in flight is in that step. Skip skips the site selected in the list, every
// site in flight when none is. GUI thread only.
#include <QFont>
#include <QList>
#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "run/run_view.h"

class QLCDNumber;
class QLabel;
class QListWidget;
class QPrinter;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;

namespace vendrix::ui {

class Lamp;
class RunWorker;
class PageHost;

// One row of the list of sites in flight. site is the name as the run knows it
// (Windows-1252), shown is its text on the screen.
struct FlightRow {
  std::string site;
  QString shown;
  RunStep step = RunStep::Ftp;
  QString status;  // empty: the site has not begun a step
  long long bytes = 0;
};

class SubmitPage : public QWidget {
  Q_OBJECT
 public:
  explicit SubmitPage(PageHost& main);
  ~SubmitPage() override;

  RunWorker& Worker() { return *worker_; }

  // What the run shows (called on the GUI thread by the run's view).
  void ShowCurrentSite(const QString& name);
  void ShowStatus(RunStep step, const QString& text);
  void ShowLamp(RunStep step, LampState state);
  void ShowHttpBytes(const QString& text);
  // The sites being posted now, longest waiting first; empty when none is.
  void ShowSitesInFlight(const QList<FlightRow>& rows);
  void ShowCounters(int toPost, int processed);
  void ShowProgress(int position, int maximum);
  void AddLogLine(const QString& line);
  void ClearLog();
  void AddFtpLine(const QString& line);
  void ClearFtpList();
  void AddXferLine(const QString& text);
  void ClearXfer();
  void SetPostingMode(bool on);
  // From the press of Save/Submit to the end of the run: no second run, no exit.
  void SetRunActive(bool active);

  // Print Log: the print dialog; tests replace it (true: print to the printer).
  void SetPrintDialog(std::function<bool(QPrinter&)> dialog) { printDialog_ = std::move(dialog); }
  void PrintLog();
  QStringList LogLines() const;
  // The site selected in the list of sites in flight; empty when none is.
  std::string SelectedInFlight() const;

 private:
  void SkipClicked();
  // Shows a lamp: blinking while a site in flight is in its step; otherwise what the
  // run said, steady once the run lists its sites (no site is in that step).
  void ApplyLamp(RunStep step);
  void Blink();
  void ShowIdleCount();
  Lamp* LampOf(RunStep step) const;
  QLabel* StatusOf(RunStep step) const;

  PageHost& main_;
  RunWorker* worker_ = nullptr;
  QLabel* currentSite_;
  QLabel* httpStatus_;
  QLabel* mailStatus_;
  QLabel* ftpStatus_;
  Lamp* httpLed_;
  Lamp* ftpLed_;
  Lamp* mailLed_;
  QLabel* httpBytes_;
  QTreeWidget* inFlight_;
  QListWidget* log_;
  QListWidget* ftpList_;
  QListWidget* xfer_;
  QLCDNumber* toPost_;
  QLCDNumber* processed_;
  QProgressBar* progress_;
  QPushButton* submit_;
  QPushButton* skip_;
  QPushButton* cancel_;
  QPushButton* viewReport_;
  QPushButton* print_;
  QPushButton* exit_;
  QTimer* blink_;
  bool phase_ = true;
  std::array<LampState, 3> runLamps_{};  // as the run last set them
  std::array<bool, 3> stepBusy_{};       // a site in flight is in that step
  bool listed_ = false;                  // the run lists its sites in flight
  bool posting_ = false;
  bool ran_ = false;  // a run has shown its figures on the counters
  bool active_ = false;
  std::function<bool(QPrinter&)> printDialog_;
};

}  // namespace vendrix::ui
