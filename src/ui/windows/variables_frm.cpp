#include "variables_frm.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "main_frm.h"
#include "qt_text.h"
#include "script/variables.h"

namespace vendrix::ui {

TVariablesFrm::TVariablesFrm(TMainFrm& main)
    : QDialog(&main, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), main_(main) {
  setObjectName("TVariablesFrm");
  setWindowTitle("SiteBuilder Variables");
  setModal(false);
  setSizeGripEnabled(true);
  auto* layout = new QVBoxLayout(this);
  list_ = new QTreeWidget(this);
  list_->setObjectName("VariableList");
  list_->setColumnCount(2);
  list_->setHeaderLabels({"Variable", "Description"});
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  for (const auto& v : kVariables) {
    auto* item = new QTreeWidgetItem(list_);
    item->setText(0, "%" + ToQt(v.name) + "%");
    item->setText(1, ToQt(v.description));
  }
  list_->resizeColumnToContents(0);
  list_->installEventFilter(this);
  layout->addWidget(list_, 1);
  auto* row = new QHBoxLayout;
  row->addStretch();
  auto* use = new QPushButton("Use Selected", this);
  use->setObjectName("UseSelectedBtn");
  auto* close = new QPushButton("Close", this);
  close->setObjectName("CloseBtn");
  row->addWidget(use);
  row->addWidget(close);
  layout->addLayout(row);
  connect(use, &QPushButton::clicked, this, [this] { UseSelected(); });
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { UseSelected(); });
  resize(460, 420);
}

void TVariablesFrm::ShowList() {
  show();
  raise();
  activateWindow();
  if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
  list_->setFocus();
}

bool TVariablesFrm::UseSelected() {
  QTreeWidgetItem* item = list_->currentItem();
  QWidget* target = main_.focusWidget();
  if (!item || !target) return false;
  const QString text = item->text(0);
  if (auto* edit = qobject_cast<QLineEdit*>(target);
      edit && !qobject_cast<QComboBox*>(edit->parentWidget())) {
    edit->insert(text);
  } else if (auto* memo = qobject_cast<QPlainTextEdit*>(target)) {
    memo->insertPlainText(text);
  } else {
    return false;
  }
  main_.activateWindow();
  target->setFocus();
  return true;
}

bool TVariablesFrm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      UseSelected();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace vendrix::ui
