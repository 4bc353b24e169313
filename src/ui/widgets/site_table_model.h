#pragma once
// The rows of the core's site table as a read-only Qt table model: eleven columns,
// "Site" to "P", and "Sent", the version each site last got (from the application's
// post history). The model only reads; every change goes through the core and is
// shown by Reset() or RowChanged(). GUI thread only.
#include <QAbstractTableModel>
#include <functional>
#include <vector>

#include "catalogue/site_table.h"
#include "run/post_history.h"

namespace vendrix::ui {

class SiteTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  SiteTableModel(std::function<const std::vector<AppSiteRow>&()> rows, QObject* parent)
      : QAbstractTableModel(parent), rows_(std::move(rows)) {}

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void Reset();
  // Shows the rows again: a reset when their number changed, else new cell texts.
  void Refresh();
  void RowChanged(int row);
  // The history the "Sent" column shows; shown with the next Refresh.
  void SetHistory(PostHistory history) { history_ = std::move(history); }

 private:
  PostHistory history_;
  std::function<const std::vector<AppSiteRow>&()> rows_;
  int shownRows_ = 0;
};

}  // namespace vendrix::ui
