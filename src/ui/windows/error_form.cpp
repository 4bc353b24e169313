#include "error_form.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/user_prompt.h"

namespace vendrix::ui {

TErrorForm::TErrorForm(const QString& title, const QString& text, const QString& instruction,
                       QWidget* parent)
    : QDialog(parent) {
  setObjectName("TErrorForm");
  setWindowTitle("ERROR");
  setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* titleLbl = new QLabel(title, this);
  titleLbl->setObjectName("TitleLbl");
  QFont bold = titleLbl->font();
  bold.setBold(true);
  titleLbl->setFont(bold);
  titleLbl->setAlignment(Qt::AlignCenter);
  auto* textLbl = new QLabel(text, this);
  textLbl->setObjectName("TextLbl");
  textLbl->setWordWrap(true);
  textLbl->setAlignment(Qt::AlignCenter);
  auto* instrLbl =
      new QLabel(instruction.isEmpty() ? QString(kErrorDialogInstruction) : instruction, this);
  instrLbl->setObjectName("InstructionLbl");
  instrLbl->setAlignment(Qt::AlignCenter);
  auto* ok = new QPushButton("&OK", this);
  ok->setObjectName("OkBtn");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(titleLbl);
  layout->addWidget(textLbl);
  layout->addWidget(instrLbl);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(ok);
  row->addStretch();
  layout->addLayout(row);
  setMinimumWidth(360);
}

void TErrorForm::showEvent(QShowEvent* event) {
  QApplication::beep();
  QDialog::showEvent(event);
}

TSiteEntryFrm::TSiteEntryFrm(const QString& caption, QWidget* parent) : QDialog(parent) {
  setObjectName("TSiteEntryFrm");
  setWindowTitle(caption);
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  edit_ = new QLineEdit(this);
  edit_->setObjectName("NameEdit");
  edit_->setMinimumWidth(280);
  layout->addWidget(edit_);
  auto* row = new QHBoxLayout;
  row->addStretch();
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("OkBtn");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("CancelBtn");
  row->addWidget(ok);
  row->addWidget(cancel);
  layout->addLayout(row);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TSiteEntryFrm::Text() const {
  return edit_->text();
}

}  // namespace vendrix::ui
