#pragma once
// A step lamp of the Submit page: unlit, lit, or lit and blinking. Blinking lamps
// follow a shared phase that the page toggles on a timer. GUI thread only.
#include <QColor>
#include <QWidget>

#include "run/run_view.h"

namespace vendrix::ui {

class Lamp : public QWidget {
  Q_OBJECT
 public:
  Lamp(const QColor& colour, QWidget* parent);
  void SetState(LampState state);
  LampState State() const { return state_; }
  // The blink phase: on shows a blinking lamp lit.
  void SetPhase(bool on);
  // Whether the lamp shows lit at this moment.
  bool ShownLit() const {
    return state_ == LampState::Lit || (state_ == LampState::Blinking && phase_);
  }
  QSize sizeHint() const override { return {18, 18}; }

 signals:
  void StateChanged(LampState state);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor colour_;
  LampState state_ = LampState::Off;
  bool phase_ = true;
};

}  // namespace vendrix::ui
