#include "reports_list_frm.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "main_frm.h"
#include "qt_text.h"

namespace vendrix::ui {

TReportsListFrmWindow::TReportsListFrmWindow(TMainFrm& main)
    : QDialog(&main, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), prompt_(this) {
  setObjectName("TReportsListFrm");
  setWindowTitle("Submission Reports");
  setModal(true);
  core_ = std::make_unique<TReportsListFrm>(
      main.Core().Wide().ReportsDir, prompt_,
      [&main](const std::string& url) { main.OpenUrl(QString::fromStdString(url)); });

  auto* layout = new QHBoxLayout(this);
  list_ = new QListWidget(this);
  list_->setObjectName("RepListBox");
  list_->setMinimumSize(list_->fontMetrics().horizontalAdvance('0') * 36, 240);
  layout->addWidget(list_);
  auto* column = new QVBoxLayout;
  auto button = [this, column](const char* name, const char* text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(name);
    column->addWidget(b);
    return b;
  };
  QPushButton* go = button("GoBtn", "GO");
  up_ = button("UpBtn", "UP");
  delete_ = button("DeleteBtn", "Delete");
  column->addStretch();
  QPushButton* cancel = button("CancelBtn", "Cancel");
  layout->addLayout(column);
  go->setDefault(true);

  connect(go, &QPushButton::clicked, this, [this] { Act(&TReportsListFrm::Go); });
  connect(up_, &QPushButton::clicked, this, [this] { Act(&TReportsListFrm::Up); });
  connect(delete_, &QPushButton::clicked, this, [this] { Act(&TReportsListFrm::Delete); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(list_, &QListWidget::itemDoubleClicked, this, [this] { Act(&TReportsListFrm::Go); });
  connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!showing_ && row >= 0) core_->Select(row);
  });
}

void TReportsListFrmWindow::ShowReports(TMainFrm& main) {
  TReportsListFrmWindow window(main);
  if (window.Open()) window.exec();
}

bool TReportsListFrmWindow::Open() {
  if (!core_->Open()) return false;
  Show();
  return true;
}

void TReportsListFrmWindow::Show() {
  showing_ = true;
  list_->clear();
  // Folder names on disk are UTF-8.
  for (const auto& item : core_->Items()) list_->addItem(PathToQt(item));
  if (core_->Selected() >= 0) list_->setCurrentRow(core_->Selected());
  up_->setEnabled(core_->UpEnabled());
  delete_->setEnabled(!core_->Items().empty());
  showing_ = false;
}

void TReportsListFrmWindow::Act(void (TReportsListFrm::*action)()) {
  if (list_->currentRow() >= 0) core_->Select(list_->currentRow());
  ((*core_).*action)();
  if (!core_->Visible()) {
    accept();
    return;
  }
  Show();
}

}  // namespace vendrix::ui
