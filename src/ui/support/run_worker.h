#pragma once
// A submission run of the Submit page on a worker thread. Start makes the run's
// host, view and prompt and calls the core's SubmissionRun::Submit on a new thread:
// what the run shows reaches the page as queued calls; its questions, the
// confirmation window, the Settings window and the switch to the Sites page run on
// the GUI thread while the run waits. Skip and Cancel act at once through the run's
// thread-safe calls. The run holds the session until Ended: the GUI thread does not
// touch it meanwhile (posting mode locks the screens), except inside those waited-for
// calls. GUI thread only; the destructor cancels a run still going and waits for it.
//
// The cancel question: while "Sure you want to cancel all posts?" is open the run
// does not start another site, and a run that ends meanwhile closes the question
// (its answer no longer counts). The run's state is shared with the question, so
// nothing the question does can reach a run that was already freed.
#include <QObject>
#include <memory>
#include <string>

#include "gui_thread.h"
#include "qt_prompt.h"

namespace vendrix {
class SubmissionRun;
}

namespace vendrix::ui {

class SubmitPage;
class PageHost;

class RunWorker : public QObject {
  Q_OBJECT
 public:
  RunWorker(PageHost& main, SubmitPage& page);
  ~RunWorker() override;

  // "Save/Submit"; false when a run is already going.
  bool Start();
  bool Running() const { return thread_.Running(); }
  // Skip: every site in flight; with a name, that site alone when it is in flight.
  void Skip();
  void Skip(const std::string& site);
  // Asks "Sure you want to cancel all posts?" and cancels on Yes; true when cancelled.
  bool CancelClick();
  // Whether the cancel question is open now.
  bool Asking() const;
  // The run going (nullptr when none); for tests.
  SubmissionRun* Run() const;

 signals:
  void Ended();

 private:
  struct Context;
  struct Gate;
  class View;
  class Host;
  void Finished();

  PageHost& main_;
  SubmitPage& page_;
  std::shared_ptr<Context> context_;
  QtPrompt cancelPrompt_;  // asks only the cancel question
  WorkerThread thread_;
};

}  // namespace vendrix::ui
