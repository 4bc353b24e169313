#include "site_table_model.h"

#include "catalogue/site_columns.h"
#include "qt_text.h"

namespace vendrix::ui {

namespace {
constexpr int kColumns = static_cast<int>(kSiteColumnCount);
constexpr int kPostColumn = 10;
constexpr int kSentColumn = 11;
}  // namespace

int SiteTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shownRows_;
}

int SiteTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant SiteTableModel::data(const QModelIndex& index, int role) const {
  const auto& rows = rows_();
  if (!index.isValid() || index.row() >= static_cast<int>(rows.size())) return {};
  const AppSiteRow& r = rows[static_cast<std::size_t>(index.row())];
  if (role == Qt::TextAlignmentRole) {
    const int c = index.column();
    return (c >= 5 && c <= 8) || c == 10 ? QVariant(Qt::AlignCenter)
                                         : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
  }
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  if (index.column() == kSentColumn) {
    const HistoryEntry* last = history_.LastFor(r.site);
    if (!last) return {};
    if (role == Qt::ToolTipRole) return ToQt(last->version + " on " + last->when);
    return ToQt(last->version);
  }
  const std::string* cells[] = {&r.site, &r.type, &r.submit, &r.cat1,     &r.cat2, &r.h,
                                &r.f,    &r.z,    &r.e,      &r.lastPost, &r.post};
  return ToQt(*cells[index.column()]);
}

QVariant SiteTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  if (orientation == Qt::Horizontal) {
    if (section < 0 || section >= kColumns) return {};
    const SiteColumn& c = kSiteColumns[section];
    if (role == Qt::DisplayRole) return QVariant(c.name);
    QString tip = ToQt(std::string(c.name) + ": " + c.meaning);
    if (section == kPostColumn) tip += " (Space toggles it)";
    return tip;
  }
  if (role != Qt::DisplayRole) return {};
  return section + 1;
}

void SiteTableModel::Reset() {
  beginResetModel();
  shownRows_ = static_cast<int>(rows_().size());
  endResetModel();
}

void SiteTableModel::Refresh() {
  if (shownRows_ != static_cast<int>(rows_().size())) {
    Reset();
  } else if (shownRows_ > 0) {
    emit dataChanged(index(0, 0), index(shownRows_ - 1, kColumns - 1));
  }
}

void SiteTableModel::RowChanged(int row) {
  if (row < 0 || row >= shownRows_) return;
  emit dataChanged(index(row, 0), index(row, kColumns - 1));
}

}  // namespace vendrix::ui
