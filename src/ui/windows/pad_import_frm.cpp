#include "pad_import_frm.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

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
    layout->addWidget(new QLabel("Not stored:", this));
    auto* findings = new QListWidget(this);
    findings->setObjectName("PadFindingsList");
    for (const auto& f : plan.findings) findings->addItem(ToQt(f));
    findings->setMaximumHeight(findings->sizeHintForRow(0) * 5 + 8);
    layout->addWidget(findings);
  }

  auto* table = new QTableWidget(static_cast<int>(plan.changes.size()), 3, this);
  table->setObjectName("PadChangesGrid");
  table->setHorizontalHeaderLabels({"Field", "Old Value", "New Value"});
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->verticalHeader()->hide();
  table->horizontalHeader()->setStretchLastSection(true);
  int row = 0;
  for (const auto& c : plan.changes) {
    table->setItem(row, 0, new QTableWidgetItem(ToQt(c.field)));
    table->setItem(row, 1, new QTableWidgetItem(ToQt(c.oldValue)));
    table->setItem(row, 2, new QTableWidgetItem(ToQt(c.newValue)));
    ++row;
  }
  table->resizeColumnToContents(0);
  table->setColumnWidth(1, 220);
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
