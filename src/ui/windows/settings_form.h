#pragma once
// TSettingsForm: the "Settings" dialog over the core's SettingsDialog. "&OK" writes
// the file and hands the values to the main window; "&Cancel" writes nothing. Modal,
// on top; GUI thread only.
#include <QDialog>

#include "app/program_settings.h"
#include "qt_prompt.h"

class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace vendrix::ui {

class MailLoginBox;
class ServiceSettingsBox;
class TMainFrm;

class TSettingsForm : public QDialog {
  Q_OBJECT
 public:
  explicit TSettingsForm(TMainFrm& main);

 private:
  void Ok();

  TMainFrm& main_;
  QtPrompt prompt_;  // its messages belong to this window, which stays on top
  SettingsDialog dialog_;
  QLineEdit* smtp_;
  QLineEdit* email_;
  QLineEdit* name_;
  QLineEdit* proxy_;
  QLineEdit* port_;
  QSpinBox* retries_;
  QSpinBox* timeOut_;
  QSpinBox* postAtOnce_;
  QSpinBox* postRetries_;
  QCheckBox* hints_;
  MailLoginBox* mailLogin_;
  ServiceSettingsBox* services_;
  ProgramSettings loaded_;
};

}  // namespace vendrix::ui
