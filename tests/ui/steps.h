#pragma once
// A script of steps for windows that open in their own event loops (a modal window,
// a message box asked for by a worker thread): each step waits until its condition
// holds, then acts; the steps run from a timer, so they also run while a modal
// window's exec() blocks the test. Message box steps record "Caption: text".
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <deque>
#include <functional>

namespace vendrix::test {

class Steps : public QObject {
 public:
  Steps() {
    timer_.setInterval(15);
    connect(&timer_, &QTimer::timeout, this, &Steps::Poll);
    timer_.start();
  }

  // Waits for the condition, then acts.
  void When(std::function<bool()> ready, std::function<void()> act) {
    steps_.push_back({std::move(ready), std::move(act)});
  }
  // Waits for a window of this object name to be the modal one; then acts on it.
  void Window(const QString& name, std::function<void(QWidget*)> act) {
    When(
        [name] {
          QWidget* w = QApplication::activeModalWidget();
          return w && w->isVisible() && w->objectName() == name;
        },
        [act] { act(QApplication::activeModalWidget()); });
  }
  // Waits for a message box, records it and presses the button.
  void Box(QMessageBox::StandardButton button) {
    When([] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; },
         [this, button] {
           auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
           seen << box->windowTitle() + ": " + box->text();
           QAbstractButton* b = box->button(button);
           if (b) {
             b->click();
           } else {
             seen << "no such button";
             box->reject();
           }
         });
  }
  bool Done() const { return steps_.empty(); }
  int Left() const { return static_cast<int>(steps_.size()); }

  QStringList seen;

 private:
  struct Step {
    std::function<bool()> ready;
    std::function<void()> act;
  };
  void Poll() {
    if (steps_.empty() || busy_ || !steps_.front().ready()) return;
    Step step = std::move(steps_.front());
    if (qEnvironmentVariableIsSet("VENDRIX_STEPS_TRACE")) qDebug("step %d", ++done_);
    steps_.pop_front();
    // The act may open a window whose loop runs the next steps.
    busy_ = true;
    QTimer::singleShot(0, this, [this, act = std::move(step.act)] {
      busy_ = false;
      act();
    });
  }
  std::deque<Step> steps_;
  bool busy_ = false;
  int done_ = 0;
  QTimer timer_;
};

}  // namespace vendrix::test
