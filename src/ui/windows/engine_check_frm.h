#pragma once
// TEngineCheckFrm: the "Engine Checker" (every script of every site expanded, the
// failing ones listed, opened, corrected and saved) and TMassChangeFrm, "Mass Change
// In All Scripts", which it opens. Both bind the core's EngineChecker. Modal; "Exit",
// Escape and the close box close the checker, except while a check runs. GUI thread
// only.
#include <QDialog>
#include <functional>
#include <memory>

#include "qt_prompt.h"
#include "script/checks.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace vendrix::ui {

class TMainFrm;

// The checker's prompt: the check's result stands alone, so the "checking" panel is
// put away before any message is shown.
class CheckPrompt : public QtPrompt {
 public:
  using QtPrompt::QtPrompt;
  void SetBeforeMessage(std::function<void()> hook) { before_ = std::move(hook); }
  void Inform(const std::string& text) override {
    if (before_) before_();
    QtPrompt::Inform(text);
  }
  void Error(const std::string& text) override {
    if (before_) before_();
    QtPrompt::Error(text);
  }

 private:
  std::function<void()> before_;
};

class TEngineCheckFrm : public QDialog {
  Q_OBJECT
 public:
  explicit TEngineCheckFrm(TMainFrm& main);
  ~TEngineCheckFrm() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void Show();
  void BeginChecking();
  void LoadSelected();
  void MassChange();

  TMainFrm& main_;
  CheckPrompt prompt_;
  std::unique_ptr<EngineChecker> checker_;
  QTreeWidget* errorList_;
  QPlainTextEdit* editMemo_;
  QLineEdit* fileNameEdit_;
  QLabel* loadPanel_;
  QPushButton* begin_;
  QPushButton* load_;
  QPushButton* save_;
  QPushButton* mass_;
  QPushButton* exit_;
  bool exiting_ = false;
  bool showing_ = false;
};

class TMassChangeFrm : public QDialog {
  Q_OBJECT
 public:
  explicit TMassChangeFrm(QWidget* parent);
  // True when "Replace" was pressed with a from-text that is not empty and differs
  // from the to-text.
  bool Accepted() const { return accepted_; }
  QString From() const;
  QString To() const;

 private:
  QComboBox* from_;
  QComboBox* to_;
  bool accepted_ = false;
};

}  // namespace vendrix::ui
