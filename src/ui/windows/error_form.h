#pragma once
// TErrorForm: the program's own error dialog (caption "ERROR", always on top, a title
// line, a text line and an instruction line, one "&OK" button). It beeps when it
// opens. GUI thread only.
#include <QDialog>

class QLineEdit;

namespace vendrix::ui {

class TErrorForm : public QDialog {
  Q_OBJECT
 public:
  // An empty instruction shows "Please click OK to continue...".
  TErrorForm(const QString& title, const QString& text, const QString& instruction,
             QWidget* parent);

 protected:
  void showEvent(QShowEvent* event) override;
};

// TSiteEntryFrm: the one-line name entry ("OK" is the default button).
class TSiteEntryFrm : public QDialog {
  Q_OBJECT
 public:
  TSiteEntryFrm(const QString& caption, QWidget* parent);
  QString Text() const;

 private:
  QLineEdit* edit_;
};

}  // namespace vendrix::ui
