#pragma once
// QtPrompt: the core's UserPrompt as message boxes (each preceded by a beep), the
// name entry window, the open-file chooser and TErrorForm. Modal; GUI thread only.
#include <QPointer>
#include <QString>
#include <QWidget>

#include "base/user_prompt.h"

namespace vendrix::ui {

class QtPrompt : public UserPrompt {
 public:
  explicit QtPrompt(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void Inform(const std::string& text) override;
  void Error(const std::string& text) override;
  Answer Confirm(const std::string& text, bool withCancel) override;
  std::optional<std::string> AskName(const std::string& caption) override;
  std::optional<std::string> ChooseFile(const FileChoice& choice) override;
  // Asks before replacing an existing file; a name Windows-1252 cannot hold is refused.
  std::optional<std::string> ChooseSaveFile(const FileChoice& choice) override;
  void ErrorDialog(const std::string& title, const std::string& text,
                   const std::string& instruction) override;

  // "Programs|*.ZIP;*.EXE" as a Qt name filter that matches either letter case.
  static QString NameFilter(const std::string& filter);

 private:
  QPointer<QWidget> parent_;
  QString lastDir_;
};

}  // namespace vendrix::ui
