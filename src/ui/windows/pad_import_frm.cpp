#include "pad_import_frm.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "qt_text.h"

namespace vendrix::ui {

TPadImportFrm::TPadImportFrm(const PadPlan& plan, QWidget* parent) : QDialog(parent) {
  setObjectName("TPadImportFrm");
  setWindowTitle("Import PAD File");
  setModal(true);
  auto* layout = new QVBoxLayout(this);

  auto* target = new QLabel(this);
  target->setObjectName("PadTargetLbl");
  target->setText(QString(plan.newCompany ? "New company " : "Company ") + ToQt(plan.company) +
                  (plan.newApp ? ", new application " : ", application ") +
                  ToQt(plan.appAfter.name));
  layout->addWidget(target);

  if (!plan.findings.empty()) {
    auto* caption = new QLabel("Values of the file that are not stored:", this);
    layout->addWidget(caption);
    auto* findings = new QListWidget(this);
    findings->setObjectName("PadFindingsList");
    for (const auto& f : plan.findings) findings->addItem(ToQt(f));
    // As tall as its lines, up to five; more scroll.
    const int shown = std::min(findings->count(), 5);
    findings->setFixedHeight(findings->sizeHintForRow(0) * shown + 2 * findings->frameWidth() + 4);
    layout->addWidget(findings);
  }

  auto* changes = new QLabel(
      plan.changes.empty() ? "The file changes no field." : "The import makes these changes:",
      this);
  changes->setObjectName("PadChangesLbl");
  layout->addWidget(changes);
  auto* table = new QTableWidget(static_cast<int>(plan.changes.size()), 3, this);
  table->setObjectName("PadChangesGrid");
  table->setHorizontalHeaderLabels({"Field", "Old Value", "New Value"});
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setAlternatingRowColors(true);
  table->setWordWrap(false);
  table->verticalHeader()->hide();
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
  table->horizontalHeader()->setStretchLastSection(true);
  int row = 0;
  for (const auto& c : plan.changes) {
    const QString values[] = {ToQt(c.field), ToQt(c.oldValue), ToQt(c.newValue)};
    for (int column = 0; column < 3; ++column) {
      auto* item = new QTableWidgetItem(values[column]);
      item->setToolTip(values[column]);  // long values are cut in the cell
      table->setItem(row, column, item);
    }
    ++row;
  }
  table->resizeColumnToContents(0);
  table->resizeColumnToContents(1);
  table->setColumnWidth(1, std::min(table->columnWidth(1), 220));
  table->setMinimumSize(640, 320);
  layout->addWidget(table, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* import = new QPushButton("&Import", this);
  import->setObjectName("ImportBtn");
  import->setDefault(true);
  auto* cancel = new QPushButton("&Cancel", this);
  cancel->setObjectName("CancelBtn");
  buttons->addWidget(import);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  connect(import, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

}  // namespace vendrix::ui
