#include "gui_thread.h"

#include <QMetaObject>

namespace vendrix::ui {

void PostToGui(QObject* context, std::function<void()> fn) {
  QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
}

void CallOnGui(QObject* context, const std::function<void()>& fn) {
  if (QThread::currentThread() == context->thread()) {
    fn();
    return;
  }
  // Qt releases the waiting thread also when the call is dropped with its receiver.
  QMetaObject::invokeMethod(context, fn, Qt::BlockingQueuedConnection);
}

void GuiPrompt::Inform(const std::string& text) {
  CallOnGui(context_, [&] { target_.Inform(text); });
}

void GuiPrompt::Error(const std::string& text) {
  CallOnGui(context_, [&] { target_.Error(text); });
}

Answer GuiPrompt::Confirm(const std::string& text, bool withCancel) {
  // A dropped question counts as the safe answer.
  Answer answer = withCancel ? Answer::Cancel : Answer::No;
  CallOnGui(context_, [&] { answer = target_.Confirm(text, withCancel); });
  return answer;
}

std::optional<std::string> GuiPrompt::AskName(const std::string& caption) {
  std::optional<std::string> name;
  CallOnGui(context_, [&] { name = target_.AskName(caption); });
  return name;
}

std::optional<std::string> GuiPrompt::ChooseSaveFile(const FileChoice& choice) {
  std::optional<std::string> path;
  CallOnGui(context_, [&] { path = target_.ChooseSaveFile(choice); });
  return path;
}

std::optional<std::string> GuiPrompt::ChooseFile(const FileChoice& choice) {
  std::optional<std::string> path;
  CallOnGui(context_, [&] { path = target_.ChooseFile(choice); });
  return path;
}

void GuiPrompt::ErrorDialog(const std::string& title, const std::string& text,
                            const std::string& instruction) {
  CallOnGui(context_, [&] { target_.ErrorDialog(title, text, instruction); });
}

WorkerThread::~WorkerThread() {
  if (thread_) {
    thread_->wait();
    delete thread_;
  }
}

bool WorkerThread::Start(std::function<void()> job, std::function<void()> done) {
  if (thread_) return false;
  done_ = std::move(done);
  failure_.clear();
  thread_ = QThread::create([this, job = std::move(job)] {
    try {
      job();
    } catch (const std::exception& e) {
      failure_ = e.what();  // read only after the thread has finished
    }
  });
  connect(thread_, &QThread::finished, this, [this] {
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    auto done = std::move(done_);
    done_ = nullptr;
    if (done) done();
    emit Finished();
  });
  thread_->start();
  return true;
}

}  // namespace vendrix::ui
