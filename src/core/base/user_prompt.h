#pragma once
// The one way the core talks to the person: message boxes, questions, the name
// entry, the file chooser and the program's own error dialog. The Qt screens, the
// command line and the tests each implement it. All texts are Windows-1252.
// Calls block until the person answers. The core calls a prompt only from the thread
// that owns the session; an implementation used from a worker must carry the call
// to its GUI thread itself. Implementations do not throw.
#include <optional>
#include <string>

namespace vendrix {

enum class Answer { Yes, No, Cancel };

struct FileChoice {
  std::string title;
  std::string filter;            // "Programs|*.ZIP;*.EXE"
  std::string defaultExtension;  // "EXE"; empty keeps the chooser's previous one
};

class UserPrompt {
 public:
  virtual ~UserPrompt() = default;
  // Information box (with its beep).
  virtual void Inform(const std::string& text) = 0;
  // Error box (with its beep).
  virtual void Error(const std::string& text) = 0;
  // Confirmation box: Yes/No, or Yes/No/Cancel when withCancel.
  virtual Answer Confirm(const std::string& text, bool withCancel) = 0;
  // The one-line name entry with the given caption; nullopt on Cancel.
  virtual std::optional<std::string> AskName(const std::string& caption) = 0;
  // The open-file chooser; nullopt when cancelled.
  virtual std::optional<std::string> ChooseFile(const FileChoice& choice) = 0;
  // The save-file chooser (a new or existing file to write; the chooser asks before
  // replacing one); nullopt when cancelled. A prompt without a chooser (the command
  // line, where the file is given as a word) answers as a cancel.
  virtual std::optional<std::string> ChooseSaveFile(const FileChoice& /*choice*/) {
    return std::nullopt;
  }
  // The program's error dialog (caption "ERROR", one "&Ok" button).
  virtual void ErrorDialog(const std::string& title, const std::string& text,
                           const std::string& instruction) = 0;
};

// The instruction line the error dialog shows when it is given none.
inline constexpr const char* kErrorDialogInstruction = "Please click OK to continue...";

}  // namespace vendrix
