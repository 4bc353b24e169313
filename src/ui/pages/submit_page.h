#pragma once
// The "Submit" page of the main window: the run's current site, step status texts
// and lamps, the HTTP byte count, the run log and the FTP log, the two counters and
// the progress bar, and the buttons Save/Submit, Skip, Cancel, View Reports, Print
// Log and Exit. The run itself goes through RunWorker on a worker thread; this page
// only shows what it reports. GUI thread only.
#include <QFont>
#include <QWidget>
#include <functional>

#include "run/run_view.h"

class QLCDNumber;
class QLabel;
class QListWidget;
class QPrinter;
class QProgressBar;
class QPushButton;
class QTimer;

namespace vendrix::ui {

class Lamp;
class RunWorker;
class PageHost;

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

 private:
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
  bool posting_ = false;
  bool active_ = false;
  std::function<bool(QPrinter&)> printDialog_;
};

}  // namespace vendrix::ui
