#pragma once
// Small helpers the pages share: form rows, text updates that leave an unchanged
// field (and its caret) alone, and a guard that marks a refresh from the core so that
// the change signals it causes are not taken for edits. GUI thread only.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QString>

namespace vendrix::ui {

// A field filled from the core shows the start of a long value, not its end, unless
// the person is typing there.
inline void SetText(QLineEdit* edit, const QString& text) {
  if (edit->text() == text) return;
  edit->setText(text);
  if (!edit->hasFocus()) edit->setCursorPosition(0);
}
inline void SetText(QPlainTextEdit* edit, const QString& text) {
  if (edit->toPlainText() != text) edit->setPlainText(text);
}
// An editable selector filled from the core: the entry that holds the text (none when
// no entry does) and the text itself, shown from its start as SetText shows a field's.
void SetText(QComboBox* combo, const QString& text);
// Fills a selector with names and selects the one shown (none when empty).
void SetItems(QComboBox* combo, const QStringList& items, const QString& shown);

// A label whose buddy is the field, so that its "&" key moves the focus there.
QLabel* Caption(const QString& text, QWidget* buddy, QWidget* parent);

// A one-line edit with an object name.
QLineEdit* NewEdit(const char* name, QWidget* parent);

// Whether a field's new text can go to the core as it stands: false (after the
// refusal was shown at the field) when it holds a character Windows-1252 cannot hold;
// the caller then shows the stored text again.
bool Storable(QWidget* field, const QString& text);

class Refreshing {
 public:
  explicit Refreshing(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
  ~Refreshing() { flag_ = old_; }
  Refreshing(const Refreshing&) = delete;
  Refreshing& operator=(const Refreshing&) = delete;

 private:
  bool& flag_;
  bool old_;
};

}  // namespace vendrix::ui
