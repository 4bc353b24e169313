#pragma once
// Small helpers the pages share: form rows, text updates that leave an unchanged
// field (and its caret) alone, and a guard that marks a refresh from the core so that
// the change signals it causes are not taken for edits. GUI thread only.
#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <functional>

namespace vendrix {
class Session;
}

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

class PageHost;

// A push button with an object name, added to a row of a page's buttons.
QPushButton* AddButton(QBoxLayout* row, const char* name, const QString& text, QWidget* parent);

// What a page does before it replaces what it shows (another company, application or
// site): the session's question about unsaved edits (Session::OfferSaveCompany,
// OfferSaveApp or OfferSaveSite) first; then, unless the person cancelled or the save
// failed (its error shown), the action through the host. True when the action ran.
bool SaveFirstThen(PageHost& main, bool (Session::*offer)(), const std::function<void()>& then,
                   bool busy = false);

// A one-line edit with an object name.
QLineEdit* NewEdit(const char* name, QWidget* parent);

// A field that holds at most limit characters says so: its tool tip names the limit,
// and a key or a paste that would go past it beeps and shows the limit at the field
// instead of being cut without a word.
void ShowLengthLimit(QLineEdit* edit, int limit);
// A label beside a limited field that counts its characters ("12/46").
QLabel* LengthCounter(QLineEdit* edit, QWidget* parent);

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
