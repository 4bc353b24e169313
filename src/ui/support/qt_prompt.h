#pragma once
// QtPrompt: the core's UserPrompt as message boxes (each preceded by a beep), the
// name entry window, the open and save file choosers and TErrorForm. Modal; GUI thread
// only. The choosers can be replaced as a whole (SetFileChooser): the GUI tests answer
// them that way, as a platform's file dialog is not a window they can drive.
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

#include "base/user_prompt.h"

namespace vendrix::ui {

class QtPrompt : public UserPrompt {
 public:
  explicit QtPrompt(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  // Questions default to No (for prompts that ask before deleting).
  void SetDefaultNo(bool on) { defaultNo_ = on; }

  enum class FileMode { Open, Save };
  // Answers a file chooser: the chosen path, or an empty string for Cancel.
  using FileChooser = std::function<QString(FileMode mode, const FileChoice& choice)>;
  // Replaces the file dialogs (an empty function restores them).
  void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
  // The file name the next save chooser proposes ("Tidy Notes.xml"), and the one the
  // chooser being shown proposes.
  void SuggestSaveName(const QString& name) { suggested_ = name; }
  const QString& Proposed() const { return proposed_; }

  void Inform(const std::string& text) override;
  void Error(const std::string& text) override;
  Answer Confirm(const std::string& text, bool withCancel) override;
  // Save, Discard and Cancel buttons; Save is the default, Escape cancels.
  Answer AskSave(const std::string& text) override;
  std::optional<std::string> AskName(const std::string& caption) override;
  std::optional<std::string> ChooseFile(const FileChoice& choice) override;
  // Both choosers refuse a name Windows-1252 cannot hold; the save chooser asks before
  // replacing an existing file.
  std::optional<std::string> ChooseSaveFile(const FileChoice& choice) override;
  void ErrorDialog(const std::string& title, const std::string& text,
                   const std::string& instruction) override;

  // "Programs|*.ZIP;*.EXE" as a Qt name filter that matches either letter case.
  static QString NameFilter(const std::string& filter);

  // Closes the message box this prompt has open, if any, as its close box would (a
  // question then reads as No, or Cancel where it offers one).
  void CloseOpenBox();

 private:
  int ShowBox(int icon, const QString& caption, const QString& text, int buttons);
  std::optional<std::string> Choose(FileMode mode, const FileChoice& choice);
  // The chosen path in Windows-1252, or nothing (and a message) when it cannot be held.
  std::optional<std::string> ExactPath(const QString& chosen);
  FileChooser chooser_;
  QString suggested_, proposed_;
  QPointer<QWidget> parent_;
  QPointer<QWidget> openBox_;
  bool defaultNo_ = false;
  QString lastDir_;
};

}  // namespace vendrix::ui
