#pragma once
// TSubmissionVerifyFrm: "Submission Verification:", the counts of the sites that
// will be posted, under them what the check before the run found and the sites that
// already got this version, and the two answers. The window binds the choices of
// the run's RunConfirmation: "Post anyway" (errors keep "Start Posting!" disabled
// until it is ticked) and "Send again". Accepted on "Start Posting!"; "Cancel
// Posting" and closing the window refuse. Modal; GUI thread only; the confirmation
// must outlive the window.
#include <QDialog>

#include "run/run_confirmation.h"

class QLabel;
class QPushButton;

namespace vendrix::ui {

class TSubmissionVerifyFrm : public QDialog {
  Q_OBJECT
 public:
  TSubmissionVerifyFrm(RunConfirmation& confirmation, QWidget* parent);

 private:
  void AddFindings(QLayout* layout);
  void AddAlreadySent(QLayout* layout);
  // The counts of what will be posted ("Send again" adds the sites already sent).
  void ShowCounts();

  RunConfirmation& c_;
  QPushButton* start_ = nullptr;
  QList<QLabel*> counts_;
};

}  // namespace vendrix::ui
