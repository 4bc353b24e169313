#pragma once
// Keeps characters that Windows-1252 cannot hold out of the program's fields, since
// every file the program writes is in that code page: a typed or composed character
// is refused as it comes, a paste or drop that holds one is refused whole, and one-line
// edits get a validator that refuses such text however it arrives. Each refusal shows
// a tool tip at the field saying why. Installed once on the application (by the main
// window); read-only fields are left alone. GUI thread only.
#include <QObject>
#include <QString>
#include <QValidator>

class QWidget;

namespace vendrix::ui {

class TextGuard : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

// Refuses text that Windows-1252 cannot hold, then asks the validator it wraps (the
// field's own rule), if any.
class Cp1252Validator : public QValidator {
  Q_OBJECT
 public:
  Cp1252Validator(QValidator* inner, QObject* parent);
  State validate(QString& input, int& pos) const override;

 private:
  QValidator* inner_;
};

// The characters of text that Windows-1252 cannot hold (empty when there are none).
QString UnstorableChars(const QString& text);
// Shows at the field why these characters were refused.
void ShowRefused(QWidget* field, const QString& chars);
// The one-line edit of field (itself, an editable selector's, a spin box's), if any,
// with the validator put in place.
void GuardLineEdit(QWidget* field);

}  // namespace vendrix::ui
