#pragma once
// Switches hints (tool tips) for the whole program: while off, tool-tip events are
// dropped before any widget sees them. Installed on the application; GUI thread only.
#include <QEvent>
#include <QObject>

namespace vendrix::ui {

class HintSwitch : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  void SetEnabled(bool on) { enabled_ = on; }
  bool Enabled() const { return enabled_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!enabled_ && event->type() == QEvent::ToolTip) return true;
    return QObject::eventFilter(watched, event);
  }

 private:
  bool enabled_ = true;
};

}  // namespace vendrix::ui
