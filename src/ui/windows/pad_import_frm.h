#pragma once
// TPadImportFrm: what a PAD import would change, before anything is written: the
// company and application it goes to, the values the file gives that are not stored
// (and why), and the table of field, old value and new value. Accepted on "Import";
// "Cancel" and closing the window refuse. Modal; GUI thread only.
#include <QDialog>

#include "exchange/pad_plan.h"

namespace vendrix::ui {

class TPadImportFrm : public QDialog {
  Q_OBJECT
 public:
  TPadImportFrm(const PadPlan& plan, QWidget* parent);
};

}  // namespace vendrix::ui
