#pragma once
// Key filters of the input fields: a field refuses the keys its rule forbids (digits
// only with a beep, "$" or the space key silently, selectors every typed key), and a
// validator keeps pasted text to the same rule. GUI thread only.
#include <QObject>

#include "profiles/app_profile.h"

class QLineEdit;
class QWidget;

namespace vendrix::ui {

class KeyFilter : public QObject {
  Q_OBJECT
 public:
  KeyFilter(KeyRule rule, QObject* parent, bool arrows = false)
      : QObject(parent), rule_(rule), arrows_(arrows) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  KeyRule rule_;
  bool arrows_;  // a choose-only selector that Up and Down move through
};

// Installs the key filter (and, on a one-line edit, the matching validator).
void ApplyKeyRule(QWidget* field, KeyRule rule);
// A selector that may only be chosen from: typed keys are dropped, but Tab, the
// keys that open the list and the list's own navigation still work. With arrows, Up
// and Down choose the previous or next entry (the value lists); without, they do
// nothing (selectors whose choice loads another profile).
void MakeChooseOnly(QWidget* selector, bool arrows = false);

}  // namespace vendrix::ui
