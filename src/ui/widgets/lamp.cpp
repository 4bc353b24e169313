#include "lamp.h"

#include <QPainter>
#include <QRadialGradient>

namespace vendrix::ui {

Lamp::Lamp(const QColor& colour, QWidget* parent) : QWidget(parent), colour_(colour) {
  setFixedSize(sizeHint());
}

void Lamp::SetState(LampState state) {
  if (state_ == state) return;
  state_ = state;
  update();
  emit StateChanged(state);
}

void Lamp::SetPhase(bool on) {
  if (phase_ == on) return;
  phase_ = on;
  if (state_ == LampState::Blinking) update();
}

void Lamp::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
  // An unlit lamp must still show on a dark desktop: its face stays a shade above a
  // dark window and its rim takes the colour of the window's text.
  const bool darkWindow = palette().color(QPalette::Window).lightness() < 128;
  const QColor face = ShownLit() ? colour_ : colour_.darker(darkWindow ? 230 : 380);
  QColor rim = palette().color(QPalette::WindowText);
  rim.setAlpha(150);
  QRadialGradient g(r.center() - QPointF(r.width() / 5, r.height() / 5), r.width() / 1.6);
  g.setColorAt(0, ShownLit() ? face.lighter(170) : face.lighter(130));
  g.setColorAt(1, face);
  p.setBrush(g);
  p.setPen(QPen(rim, 1.2));
  p.drawEllipse(r);
}

}  // namespace vendrix::ui
