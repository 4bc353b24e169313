#pragma once
// TSubmissionVerifyFrm: "Submission Verification:", the counts of the sites about to
// be posted and the two answers. Accepted on "Start Posting!"; "Cancel Posting" and
// closing the window refuse. Modal; GUI thread only.
#include <QDialog>

#include "catalogue/site_table.h"

namespace vendrix::ui {

class TSubmissionVerifyFrm : public QDialog {
  Q_OBJECT
 public:
  TSubmissionVerifyFrm(const PostCounts& counts, QWidget* parent);
};

}  // namespace vendrix::ui
