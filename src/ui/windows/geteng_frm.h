#pragma once
// The "Update Data Files" window over the core's Tgeteng: "Start Update" downloads and
// installs the catalogue archive on a worker thread while the status line, the
// percentage display and the bar follow it. Closing the window while it works
// cancels the work and closes once the worker has stopped. Modal; GUI thread only.
#include <QDialog>
#include <memory>

#include "gui_thread.h"
#include "qt_prompt.h"
#include "update/data_update.h"

class QLabel;
class QLCDNumber;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace vendrix::ui {

class TMainFrm;

class TgetengWindow : public QDialog {
  Q_OBJECT
 public:
  explicit TgetengWindow(TMainFrm& main);
  ~TgetengWindow() override;

  // True once the catalogue was replaced: the program must restart.
  bool UpdateComplete() const { return core_->UpdateComplete(); }
  bool Working() const { return worker_.Running(); }
  // The archive's address (the program setting UpdateURL).
  QString Url() const;

  void reject() override;

 private:
  class Observer;
  // The download from the address; with a file, that archive instead.
  void StartUpdate(const std::string& file = std::string());
  void Finished(UpdateOutcome outcome);

  QtPrompt prompt_;
  GuiPrompt workerPrompt_;
  std::unique_ptr<Observer> observer_;
  std::unique_ptr<Tgeteng> core_;
  WorkerThread worker_;
  bool closeWhenDone_ = false;
  QLabel* status_;
  QLCDNumber* percent_;
  QProgressBar* bar_;
  QPushButton* start_;
  QPushButton* fromFile_;
  QPushButton* cancel_;
  QListWidget* trace_;
  QString url_;
};

}  // namespace vendrix::ui
