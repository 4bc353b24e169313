#include "sheet_support.h"

#include "app/session.h"
#include "page_host.h"
#include "text_guard.h"

#include <QApplication>
#include <QRegularExpression>
#include <QStringListModel>
#include <QToolTip>

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
  if (buddy) {
    label->setBuddy(buddy);
    // A screen reader finds a buddy's caption only beside it; the name goes wherever
    // the field sits (a row of fields, a frame with a button).
    if (buddy->accessibleName().isEmpty()) {
      QString name = text;
      name.remove(QRegularExpression("&(?!&)"));
      buddy->setAccessibleName(name.replace("&&", "&").trimmed());
    }
  }
  return label;
}

void ShowLengthLimit(QLineEdit* edit, int limit) {
  edit->setMaxLength(limit);
  edit->setToolTip(QString("At most %1 characters.").arg(limit));
  // A key or a paste that would go past the limit (the field keeps what fits).
  QObject::connect(edit, &QLineEdit::inputRejected, edit, [edit] {
    if (edit->text().size() < edit->maxLength()) return;  // refused for another reason
    QApplication::beep();
    QToolTip::showText(edit->mapToGlobal(QPoint(0, edit->height())),
                       QString("At most %1 characters.").arg(edit->maxLength()), edit);
  });
}

QLabel* LengthCounter(QLineEdit* edit, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(edit->objectName() + "Count");
  auto show = [edit, label] {
    const bool full = edit->text().size() >= edit->maxLength();
    label->setText(QString("%1/%2").arg(edit->text().size()).arg(edit->maxLength()));
    QFont f = label->font();
    f.setBold(full);
    label->setFont(f);
  };
  QObject::connect(edit, &QLineEdit::textChanged, label, show);
  show();
  return label;
}

bool Storable(QWidget* field, const QString& text) {
  const QString bad = UnstorableChars(text);
  if (bad.isEmpty()) return true;
  ShowRefused(field, bad);
  return false;
}

QPushButton* AddButton(QBoxLayout* row, const char* name, const QString& text, QWidget* parent) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  row->addWidget(b);
  return b;
}

bool SaveFirstThen(PageHost& main, bool (Session::*offer)(), const std::function<void()>& then,
                   bool busy) {
  bool go = false;
  if (!main.Act([&] { go = (main.Core().*offer)(); }) || !go) return false;
  return main.Act(then, busy);
}

QLineEdit* NewEdit(const char* name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  return edit;
}

}  // namespace vendrix::ui
