#pragma once
// The BHS account window "BHS ID" over the core's TBHSFrm: "Browse Accounts" fetches
// the account list on a worker thread behind the wait panel, "Use Selected" and a new
// account from "Get New Account" give the company its BHS id. Closing the window
// while it waits cancels the request. Modal; GUI thread only.
#include <QDialog>
#include <memory>

#include "gui_thread.h"
#include "qt_prompt.h"
#include "services/bhs_account.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QWidget;

namespace vendrix::ui {

class TMainFrm;
class BhsWindowView;

class TBHSFrmWindow : public QDialog {
  Q_OBJECT
 public:
  explicit TBHSFrmWindow(TMainFrm& main);
  ~TBHSFrmWindow() override;

  bool Working() const { return worker_.Running(); }
  void reject() override;

 private:
  void Browse();
  void FillList();
  void UseSelected();
  void GetNewAccount();
  void SetWaiting(bool waiting);

  TMainFrm& main_;
  QtPrompt prompt_;
  std::unique_ptr<BhsWindowView> view_;
  std::unique_ptr<TBHSFrm> core_;
  WorkerThread worker_;
  QTreeWidget* list_;
  QWidget* waitPanel_;
  QLabel* status_;
  QPushButton* browse_;
  QPushButton* newAccount_;
  QPushButton* useSelected_;
};

// The view of both BHS windows: status line and wait panel; calls from a worker
// thread reach the widgets queued.
class BhsWindowView : public BhsView {
 public:
  BhsWindowView(QDialog* window, QLabel* status, std::function<void(bool)> waiting);
  void Status(const std::string& text) override;
  void Waiting(bool waiting) override;
  void Close() override;

 private:
  QDialog* window_;
  QLabel* status_;
  std::function<void(bool)> waiting_;
};

// The wait panel of the BHS windows: a framed caption with a status line below.
QWidget* BhsWaitPanel(const QString& caption, QLabel** status, QWidget* parent);

}  // namespace vendrix::ui
