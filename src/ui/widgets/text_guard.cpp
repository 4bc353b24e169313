#include "text_guard.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QToolTip>

#include "base/cp1252.h"

namespace vendrix::ui {
namespace {

bool Editable(QWidget* w) {
  if (auto* e = qobject_cast<QLineEdit*>(w)) return !e->isReadOnly();
  if (auto* e = qobject_cast<QPlainTextEdit*>(w)) return !e->isReadOnly();
  if (auto* e = qobject_cast<QTextEdit*>(w)) return !e->isReadOnly();
  return false;
}

// The text field an event goes to: the widget itself, or the editor whose viewport it is.
QWidget* FieldOf(QObject* watched) {
  auto* w = qobject_cast<QWidget*>(watched);
  if (!w) return nullptr;
  if (Editable(w)) return w;
  if (auto* parent = w->parentWidget(); parent && Editable(parent)) return parent;
  return nullptr;
}

// Refuses the incoming text when it holds something the code page cannot hold.
bool Refuse(QWidget* field, const QString& incoming) {
  const QString bad = UnstorableChars(incoming);
  if (bad.isEmpty()) return false;
  QApplication::beep();
  ShowRefused(field, bad);
  return true;
}

}  // namespace

QString UnstorableChars(const QString& text) {
  QString bad;
  // One code point at a time, so that a character outside the BMP stays whole.
  const std::u32string points = text.toStdU32String();
  for (char32_t c : points) {
    const QString one = QString::fromUcs4(&c, 1);
    if (!Utf8ToCp1252Exact(one.toStdString()) && !bad.contains(one)) bad += one;
  }
  return bad;
}

void ShowRefused(QWidget* field, const QString& chars) {
  const QString text = QString(
                           "\"%1\" cannot be stored: Vendrix keeps its files in the "
                           "Windows-1252 code page (Western European letters).")
                           .arg(chars);
  field->setProperty("vendrixRefused", text);  // for the tests and screen readers
  QToolTip::showText(field->mapToGlobal(QPoint(0, field->height())), text, field);
}

Cp1252Validator::Cp1252Validator(QValidator* inner, QObject* parent)
    : QValidator(parent), inner_(inner) {
  if (inner_) inner_->setParent(this);
}

QValidator::State Cp1252Validator::validate(QString& input, int& pos) const {
  if (!UnstorableChars(input).isEmpty()) return Invalid;
  return inner_ ? inner_->validate(input, pos) : Acceptable;
}

void GuardLineEdit(QWidget* field) {
  QLineEdit* edit = qobject_cast<QLineEdit*>(field);
  if (!edit) {
    if (auto* combo = qobject_cast<QComboBox*>(field)) edit = combo->lineEdit();
  }
  if (!edit || edit->isReadOnly()) return;
  // A spin box's own validation stays in charge of its edit.
  if (qobject_cast<QAbstractSpinBox*>(edit->parentWidget())) return;
  const QValidator* current = edit->validator();
  if (qobject_cast<const Cp1252Validator*>(current)) return;
  edit->setValidator(new Cp1252Validator(const_cast<QValidator*>(current), edit));
}

bool TextGuard::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::FocusIn:
      if (auto* w = qobject_cast<QWidget*>(watched)) GuardLineEdit(w);
      break;
    case QEvent::KeyPress: {
      QWidget* field = FieldOf(watched);
      if (!field) break;
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->matches(QKeySequence::Paste)) {
        if (Refuse(field, QApplication::clipboard()->text())) return true;
        break;
      }
      if (Refuse(field, key->text())) return true;
      break;
    }
    case QEvent::InputMethod: {
      QWidget* field = FieldOf(watched);
      if (field && Refuse(field, static_cast<QInputMethodEvent*>(event)->commitString())) {
        return true;
      }
      break;
    }
    case QEvent::Drop: {
      QWidget* field = FieldOf(watched);
      auto* drop = static_cast<QDropEvent*>(event);
      if (field && drop->mimeData() && Refuse(field, drop->mimeData()->text())) {
        drop->ignore();
        return true;
      }
      break;
    }
    case QEvent::MouseButtonRelease: {
      // The middle button pastes the selection on X11.
      QWidget* field = FieldOf(watched);
      if (field && static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton &&
          Refuse(field, QApplication::clipboard()->text(QClipboard::Selection))) {
        return true;
      }
      break;
    }
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace vendrix::ui
