#include "sheet_support.h"

#include "text_guard.h"

#include <QStringListModel>

namespace vendrix::ui {

void SetText(QComboBox* combo, const QString& text) {
  const int index = combo->findText(text);
  if (combo->currentIndex() == index && combo->currentText() == text) return;
  if (combo->currentIndex() != index) combo->setCurrentIndex(index);
  if (combo->currentText() != text) combo->setEditText(text);
  if (!combo->hasFocus()) combo->lineEdit()->setCursorPosition(0);
}

void SetItems(QComboBox* combo, const QStringList& items, const QString& shown) {
  // A string list model holds thousands of names at the cost of the list itself (the
  // box's own model makes an item object for each) and compares them without asking
  // the box for each one. It replaces the model of a box that is still empty.
  auto* model = qobject_cast<QStringListModel*>(combo->model());
  if (!model && combo->count() == 0) {
    model = new QStringListModel(combo);
    combo->setModel(model);
  }
  if (model) {
    if (model->stringList() != items) model->setStringList(items);
  } else {
    QStringList current;
    for (int i = 0; i < combo->count(); ++i) current << combo->itemText(i);
    if (current != items) {
      combo->clear();
      combo->addItems(items);
    }
  }
  const int index = shown.isEmpty() ? -1 : static_cast<int>(items.indexOf(shown));
  if (combo->currentIndex() != index) combo->setCurrentIndex(index);
}

QLabel* Caption(const QString& text, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  if (buddy) label->setBuddy(buddy);
  return label;
}

bool Storable(QWidget* field, const QString& text) {
  const QString bad = UnstorableChars(text);
  if (bad.isEmpty()) return true;
  ShowRefused(field, bad);
  return false;
}

QLineEdit* NewEdit(const char* name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  return edit;
}

}  // namespace vendrix::ui
