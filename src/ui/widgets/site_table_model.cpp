#include "site_table_model.h"

#include "qt_text.h"

namespace vendrix::ui {

namespace {
constexpr const char* kHeaders[] = {"Site", "Type", "Submit", "Category1", "Category2", "H",
                                    "F",    "Z",    "E",      "Last Post", "P",         "Sent"};
constexpr int kColumns = 12;
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
  if (role == Qt::ToolTipRole && orientation == Qt::Horizontal) {
    switch (section) {
      case 5:
        return "H: the site takes web form (HTTP) submissions";
      case 6:
        return "F: the site takes FTP uploads";
      case 7:
        return "Z: the upload must be zipped";
      case 8:
        return "E: the site takes e-mail submissions";
      case 10:
        return "P: post to this site (Space toggles it)";
      case kSentColumn:
        return "Sent: the version the site last got";
      default:
        return {};
    }
  }
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) return section < kColumns ? kHeaders[section] : QVariant();
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
