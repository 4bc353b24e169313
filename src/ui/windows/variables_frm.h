#pragma once
// TVariablesFrm: "SiteBuilder Variables", a modeless tool window over the main window
// listing the 62 script variables; "Use Selected", a double click or Enter inserts the
// selected variable into the main window's focused edit or editor. GUI thread only.
#include <QDialog>

class QTreeWidget;

namespace vendrix::ui {

class TMainFrm;

class TVariablesFrm : public QDialog {
  Q_OBJECT
 public:
  explicit TVariablesFrm(TMainFrm& main);
  // Shows the window with the first row selected and the list focused.
  void ShowList();
  // Inserts the selected variable; false when the focused control takes no text.
  bool UseSelected();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TMainFrm& main_;
  QTreeWidget* list_;
};

}  // namespace vendrix::ui
