#pragma once
// The "Submission Reports" window over the core's TReportsListFrm: the application
// folders, then the runs of one; GO (or a double-click) goes down or opens a run's
// main report, UP goes back, Delete asks and deletes. Modal; GUI thread only.
#include <QDialog>
#include <memory>

#include "qt_prompt.h"
#include "run/reports_list.h"

class QListWidget;
class QPushButton;

namespace vendrix::ui {

class TMainFrm;

class TReportsListFrmWindow : public QDialog {
  Q_OBJECT
 public:
  explicit TReportsListFrmWindow(TMainFrm& main);

  // The reports menu and button: "No Reports Found" when there are none, else the
  // window.
  static void ShowReports(TMainFrm& main);
  // False when there were no reports ("No Reports Found" was shown).
  bool Open();

 private:
  void Show();
  void Act(void (TReportsListFrm::*action)());

  QtPrompt prompt_;
  std::unique_ptr<TReportsListFrm> core_;
  QListWidget* list_;
  QPushButton* up_;
  QPushButton* delete_;
  bool showing_ = false;
};

}  // namespace vendrix::ui
