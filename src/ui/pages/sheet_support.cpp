#include "sheet_support.h"

#include "text_guard.h"

namespace vendrix::ui {

void SetItems(QComboBox* combo, const QStringList& items, const QString& shown) {
  QStringList current;
  for (int i = 0; i < combo->count(); ++i) current << combo->itemText(i);
  if (current != items) {
    combo->clear();
    combo->addItems(items);
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
