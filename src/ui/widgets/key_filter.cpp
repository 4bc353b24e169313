#include "key_filter.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace vendrix::ui {

bool KeyFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  if (rule_ == KeyRule::NoTyping) {
    switch (key->key()) {
      case Qt::Key_Tab:
      case Qt::Key_Backtab:
      case Qt::Key_F4:
        return false;
      case Qt::Key_Down:
      case Qt::Key_Up:
        // Alt+Down opens the list; plain arrows change the choice where that is wanted.
        return !arrows_ && !(key->modifiers() & Qt::AltModifier);
      default:
        return !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) ||
               key->key() == Qt::Key_V;
    }
  }
  const QString text = key->text();
  if (text.size() != 1 || key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;
  const QChar c = text.front();
  if (c.unicode() < 0x20 || c.unicode() == 0x7f) return false;  // Tab, Backspace, Enter, ...
  if (c.unicode() > 0x7f)
    return rule_ == KeyRule::DigitsOnly ? (QApplication::beep(), true) : false;
  const char ch = static_cast<char>(c.unicode());
  if (KeyAccepted(rule_, ch)) return false;
  if (rule_ == KeyRule::DigitsOnly) QApplication::beep();
  return true;
}

void ApplyKeyRule(QWidget* field, KeyRule rule) {
  if (rule == KeyRule::Any) return;
  field->installEventFilter(new KeyFilter(rule, field));
  auto* edit = qobject_cast<QLineEdit*>(field);
  if (!edit) return;
  const char* pattern = nullptr;
  switch (rule) {
    case KeyRule::DigitsOnly:
      pattern = "[0-9]*";
      break;
    case KeyRule::NoDollar:
      pattern = "[^$]*";
      break;
    case KeyRule::NoSpace:
      pattern = "[^ ]*";
      break;
    default:
      return;
  }
  edit->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QString::fromLatin1(pattern)), edit));
}

void MakeChooseOnly(QWidget* selector, bool arrows) {
  selector->installEventFilter(new KeyFilter(KeyRule::NoTyping, selector, arrows));
  if (auto* combo = qobject_cast<QComboBox*>(selector); combo && combo->lineEdit()) {
    combo->lineEdit()->setReadOnly(true);
    combo->lineEdit()->installEventFilter(
        new KeyFilter(KeyRule::NoTyping, combo->lineEdit(), arrows));
  }
}

}  // namespace vendrix::ui
