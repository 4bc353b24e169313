#pragma once
// Keeps the program's windows on the screen: a top-level window is never larger than
// the screen's free area (less its frame) and its title bar is never off screen, so
// that every window can be moved, read and closed on a small screen (1024x640). GUI
// thread only.
#include <QObject>
#include <QSize>

class QWidget;

namespace vendrix::ui {

// Sizes a window to what it wants, within the screen it is on, and moves it so that
// its frame is on that screen (as far as its minimum size allows).
void FitOnScreen(QWidget* window, QSize wanted);
// The same for the window's present size.
void KeepOnScreen(QWidget* window);

// Installed on the application: each top-level window that is shown (dialogs, tool
// windows, message boxes) is kept on screen as KeepOnScreen does.
class ScreenFit : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace vendrix::ui
