#pragma once
// The contribution window "Contribute Engine to Halvane:" over the core's
// TContributeFrm: "Submit" mails the site's data files on a worker thread behind the
// wait panel; after a contribution went out the main window hides "Contribute!".
// Modal; GUI thread only.
#include <QDialog>
#include <memory>

#include "gui_thread.h"
#include "qt_prompt.h"
#include "services/site_contribution.h"

class QPushButton;
class QWidget;

namespace vendrix::ui {

class TMainFrm;

class TContributeFrmWindow : public QDialog {
  Q_OBJECT
 public:
  // sender: the mail that carries the contribution; it outlives the window.
  TContributeFrmWindow(TMainFrm& main, ContributionSender& sender);
  ~TContributeFrmWindow() override;

  bool Working() const { return worker_.Running(); }
  void reject() override;

 private:
  class View;
  void Submit();

  TMainFrm& main_;
  QtPrompt prompt_;
  GuiPrompt workerPrompt_;
  std::unique_ptr<View> view_;
  std::unique_ptr<TContributeFrm> core_;
  WorkerThread worker_;
  QWidget* texts_;
  QWidget* waitPanel_;
  QPushButton* submit_;
  QPushButton* cancel_;
};

}  // namespace vendrix::ui
