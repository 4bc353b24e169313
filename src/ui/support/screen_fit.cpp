#include "screen_fit.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace vendrix::ui {

namespace {

// A window that has no frame yet (not shown, or the window manager has not drawn
// one) is given room for a usual title bar and border.
QMargins FrameOf(const QWidget* window) {
  const QRect inner = window->geometry(), outer = window->frameGeometry();
  const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(),
                       outer.right() - inner.right(), outer.bottom() - inner.bottom());
  return frame.top() > 0 ? frame : QMargins(4, 32, 4, 4);
}

}  // namespace

void FitOnScreen(QWidget* window, QSize wanted) {
  QScreen* screen = window->screen();
  if (!screen) {
    window->resize(wanted);
    return;
  }
  const QRect room = screen->availableGeometry();
  const QMargins frame = FrameOf(window);
  const QSize most(room.width() - frame.left() - frame.right(),
                   room.height() - frame.top() - frame.bottom());
  const QSize size = wanted.boundedTo(most).expandedTo(window->minimumSize());
  if (size != window->size()) window->resize(size);
  // The frame's top left corner, so that the whole frame (at least its title bar and
  // left edge) is on the screen.
  const int outerWidth = size.width() + frame.left() + frame.right();
  const int outerHeight = size.height() + frame.top() + frame.bottom();
  const QPoint at = window->pos();
  const int x = std::max(room.left(), std::min(at.x(), room.right() + 1 - outerWidth));
  const int y = std::max(room.top(), std::min(at.y(), room.bottom() + 1 - outerHeight));
  if (QPoint(x, y) != at) window->move(x, y);
}

void KeepOnScreen(QWidget* window) {
  FitOnScreen(window, window->size());
}

bool ScreenFit::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && watched->isWidgetType()) {
    auto* w = static_cast<QWidget*>(watched);
    const Qt::WindowType type = w->windowType();
    if (w->isWindow() && (type == Qt::Window || type == Qt::Dialog)) KeepOnScreen(w);
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace vendrix::ui
