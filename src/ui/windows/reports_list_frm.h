#pragma once
// The "Submission Reports" window over the core's TReportsListFrm: the application
// folders, then the runs of one (as dates and times in the user's locale, newest
// first and selected); GO (or a double-click) goes down or opens a run's main report,
// UP goes back, Delete asks (No is the default) and deletes. Modal; GUI thread only.
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
  // A run folder's stamp as the user's locale writes a date and time (the stamp
  // itself when it is not one).
  static QString RunText(const std::string& stamp);

 private:
  // The core's index of a row on screen (runs are shown newest first).
  int CoreIndex(int row) const;
  void Show();
  void Act(void (TReportsListFrm::*action)());

  QtPrompt prompt_;
  std::unique_ptr<TReportsListFrm> core_;
  QListWidget* list_;
  QPushButton* up_;
  QPushButton* delete_;
  bool showing_ = false;
  bool wasRunLevel_ = false;
};

}  // namespace vendrix::ui
