#pragma once
// The new-account window "Get New BHS Account:" over the core's TBHSNewAccountFrm:
// the company's fields, "Request Account" (the request runs on a worker thread
// behind the wait panel) and "Cancel". Closes with the id BHS gave (possibly empty).
// Modal; GUI thread only.
#include <QDialog>
#include <array>
#include <memory>

#include "gui_thread.h"
#include "qt_prompt.h"
#include "services/bhs_account.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace vendrix::ui {

class BhsWindowView;

class TBHSNewAccountFrmWindow : public QDialog {
  Q_OBJECT
 public:
  TBHSNewAccountFrmWindow(const BhsServer& server, const CompanyProfile& company, QWidget* parent);
  ~TBHSNewAccountFrmWindow() override;

  // The id BHS gave; empty when none (or the window was cancelled).
  const std::string& Id() const { return id_; }
  bool Working() const { return worker_.Running(); }
  void reject() override;

 private:
  void Request();

  QtPrompt prompt_;
  std::unique_ptr<BhsWindowView> view_;
  std::unique_ptr<TBHSNewAccountFrm> core_;
  WorkerThread worker_;
  std::array<QLineEdit*, 10> edits_{};
  QWidget* fieldsPanel_;
  QWidget* waitPanel_;
  QLabel* status_;
  QPushButton* request_;
  QPushButton* cancel_;
  std::string id_;
  bool cancelled_ = false;
};

}  // namespace vendrix::ui
