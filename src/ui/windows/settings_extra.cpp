#include "settings_extra.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

#include "qt_text.h"
#include "sheet_support.h"

namespace vendrix::ui {

MailLoginBox::MailLoginBox(QWidget* parent) : QGroupBox("Mail Server Login:", parent) {
  setObjectName("MailLoginBox");
  auto* form = new QFormLayout(this);
  security_ = new QComboBox(this);
  security_->setObjectName("SMTPSecurityCombo");
  for (const char* item : kSmtpSecurityItems) security_->addItem(item);
  security_->setToolTip(
      "Auto: encrypt when the server offers it. STARTTLS: always encrypt (port 587). "
      "TLS: encrypted from the start (port 465). None: never encrypt.");
  user_ = NewEdit("SMTPUserEdit", this);
  user_->setToolTip("Leave empty when your mail server needs no login.");
  password_ = NewEdit("SMTPPasswordEdit", this);
  password_->setEchoMode(QLineEdit::Password);
  form->addRow(Caption("Security:", security_, this), security_);
  form->addRow(Caption("User:", user_, this), user_);
  form->addRow(Caption("Password:", password_, this), password_);
}

void MailLoginBox::Load(const ProgramSettings& s) {
  const int index = security_->findText(ToQt(SmtpSecurityItem(s.smtpSecurity)));
  security_->setCurrentIndex(index < 0 ? 0 : index);
  user_->setText(ToQt(s.smtpUser));
  password_->setText(ToQt(s.smtpPassword));
}

void MailLoginBox::Store(ProgramSettings& s) const {
  s.smtpSecurity = FromQt(security_->currentText());
  s.smtpUser = FromQt(user_->text().trimmed());
  s.smtpPassword = FromQt(password_->text());
}

ServiceSettingsBox::ServiceSettingsBox(QWidget* parent) : QGroupBox("Service Addresses:", parent) {
  setObjectName("ServiceSettingsBox");
  auto* form = new QFormLayout(this);
  updateUrl_ = NewEdit("UpdateURLEdit", this);
  bhsServer_ = NewEdit("BHSServerEdit", this);
  contributeAddress_ = NewEdit("ContributeAddressEdit", this);
  updateUrl_->setMinimumWidth(updateUrl_->fontMetrics().horizontalAdvance('0') * 44);
  updateUrl_->setToolTip("The address of the site catalogue archive (http or https).");
  bhsServer_->setToolTip("The BHS web server: a host name, host:port or an http(s) address.");
  contributeAddress_->setToolTip("Where contributed sites are mailed.");
  form->addRow(Caption("Data file update:", updateUrl_, this), updateUrl_);
  form->addRow(Caption("BHS server:", bhsServer_, this), bhsServer_);
  form->addRow(Caption("Site contributions to:", contributeAddress_, this), contributeAddress_);
}

void ServiceSettingsBox::Load(const ProgramSettings& s) {
  updateUrl_->setText(ToQt(s.updateUrl));
  bhsServer_->setText(ToQt(s.bhsServer));
  contributeAddress_->setText(ToQt(s.contributeAddress));
}

void ServiceSettingsBox::Store(ProgramSettings& s) const {
  s.updateUrl = FromQt(updateUrl_->text().trimmed());
  s.bhsServer = FromQt(bhsServer_->text().trimmed());
  s.contributeAddress = FromQt(contributeAddress_->text().trimmed());
}

void ServiceSettingsBox::WriteChanged(const std::string& path, const ProgramSettings& loaded,
                                      const ProgramSettings& now) {
  const std::pair<const char*, std::string ProgramSettings::*> keys[] = {
      {"UpdateURL", &ProgramSettings::updateUrl},
      {"BHSServer", &ProgramSettings::bhsServer},
      {"ContributeAddress", &ProgramSettings::contributeAddress}};
  for (const auto& [key, member] : keys) {
    if (loaded.*member != now.*member) WriteServiceSetting(path, key, now.*member);
  }
}

}  // namespace vendrix::ui
