#pragma once
// Network work of the windows runs on worker threads; these carry its calls back to
// the GUI thread. PostToGui queues a call and returns; CallOnGui waits for it (a
// worker that asks the person a question waits for the answer this way, while the
// window's own event loop keeps running). GuiPrompt is a UserPrompt that a worker
// may call: each question is asked on the GUI thread. WorkerThread runs one job at
// a time and reports its end on the GUI thread.
//
// A GUI-thread caller of CallOnGui or GuiPrompt runs the call directly. The GUI
// thread must never wait for a worker that may be inside CallOnGui.
#include <QObject>
#include <QPointer>
#include <QThread>
#include <functional>
#include <string>

#include "base/user_prompt.h"

namespace vendrix::ui {

// Runs fn on context's thread later; dropped when context is gone by then.
void PostToGui(QObject* context, std::function<void()> fn);
// Runs fn on context's thread and returns when it has run (at once on that thread).
void CallOnGui(QObject* context, const std::function<void()>& fn);

class GuiPrompt : public UserPrompt {
 public:
  GuiPrompt(QObject* context, UserPrompt& target) : context_(context), target_(target) {}

  void Inform(const std::string& text) override;
  void Error(const std::string& text) override;
  Answer Confirm(const std::string& text, bool withCancel) override;
  std::optional<std::string> AskName(const std::string& caption) override;
  std::optional<std::string> ChooseFile(const FileChoice& choice) override;
  std::optional<std::string> ChooseSaveFile(const FileChoice& choice) override;
  void ErrorDialog(const std::string& title, const std::string& text,
                   const std::string& instruction) override;

 private:
  QObject* context_;
  UserPrompt& target_;
};

class WorkerThread : public QObject {
  Q_OBJECT
 public:
  explicit WorkerThread(QObject* parent = nullptr) : QObject(parent) {}
  // Waits for a job still running (its owner has cancelled it first).
  ~WorkerThread() override;

  // Starts job on a new thread; done runs on this object's thread after it returned.
  // False when a job is still running. An exception that leaves the job ends it; its
  // text is Failure() when done runs.
  bool Start(std::function<void()> job, std::function<void()> done = {});
  bool Running() const { return thread_ != nullptr; }
  const std::string& Failure() const { return failure_; }

 signals:
  void Finished();

 private:
  QThread* thread_ = nullptr;
  std::function<void()> done_;
  std::string failure_;
};

}  // namespace vendrix::ui
