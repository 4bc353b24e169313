#pragma once
// The splash window: borderless, centred, the program's picture with a text panel
// along its bottom edge. It keeps a waiting mark for its first 300 ms so that the
// program shows it at least that long. GUI thread only.
#include <QElapsedTimer>
#include <QWidget>

namespace vendrix::ui {

class Splash : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kMinimumMs = 300;
  Splash();
  // Milliseconds still to wait before the splash may close.
  int RemainingMs() const;

 private:
  QElapsedTimer shown_;
};

}  // namespace vendrix::ui
