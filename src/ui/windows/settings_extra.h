#pragma once
// The Settings window's groups beyond the classic ones: the login to the mail server
// (security, user, password shown as dots) and the addresses of the outside services
// (the catalogue archive, the BHS server, the maker's mailbox for contributed
// sites). Load fills the fields; Store copies them back. GUI thread only.
#include <QGroupBox>

#include "app/program_settings.h"

class QComboBox;
class QLineEdit;

namespace vendrix::ui {

class MailLoginBox : public QGroupBox {
  Q_OBJECT
 public:
  explicit MailLoginBox(QWidget* parent);
  void Load(const ProgramSettings& settings);
  void Store(ProgramSettings& settings) const;

 private:
  QComboBox* security_;
  QLineEdit* user_;
  QLineEdit* password_;
};

class ServiceSettingsBox : public QGroupBox {
  Q_OBJECT
 public:
  explicit ServiceSettingsBox(QWidget* parent);
  void Load(const ProgramSettings& settings);
  void Store(ProgramSettings& settings) const;
  // Writes UpdateURL, BHSServer and ContributeAddress where they differ from loaded.
  static void WriteChanged(const std::string& path, const ProgramSettings& loaded,
                           const ProgramSettings& now);

 private:
  QLineEdit* updateUrl_;
  QLineEdit* bhsServer_;
  QLineEdit* contributeAddress_;
};

}  // namespace vendrix::ui
