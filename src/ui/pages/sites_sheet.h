#pragma once
// The "Sites" page: the grid SiteGrid over the application's site table, the detail
// panel of the selected row, the all-rows buttons, the context menu, "Use Grid Lines"
// and the counts, bound to the core's SiteTable. GUI thread only.
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QRadioButton;
class QTableView;

namespace vendrix::ui {

class PageHost;
class SiteTableModel;

class SitesSheet : public QWidget {
  Q_OBJECT
 public:
  explicit SitesSheet(PageHost& main);
  void Refresh();
  void FocusGrid();
  // "Total To Post" as a run counts it.
  void ShowTotalToPost(int total);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowSelection();
  void ShowDetails();
  void RowEdited();
  void GoToUrl();
  void PopupMenu(const QPoint& pos);
  QWidget* FirstStartPanel();

  PageHost& main_;
  SiteTableModel* model_;
  QTableView* grid_;
  QLabel* countLbl_;
  QLabel* totalLbl_;
  QComboBox* cat1_;
  QComboBox* cat2_;
  QLabel* cat1Lbl_;
  QLabel* cat2Lbl_;
  QRadioButton* newRadio_;
  QRadioButton* updateRadio_;
  QCheckBox* postChk_;
  QCheckBox* gridLinesChk_;
  QMenu* popup_;
  QWidget* firstStart_;
  bool refreshing_ = false;
};

}  // namespace vendrix::ui
