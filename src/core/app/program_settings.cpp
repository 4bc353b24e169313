#include "app/program_settings.h"

#include <algorithm>

#include "base/ini_file.h"

namespace vendrix {
namespace {
constexpr const char* kSection = "SETTINGS";

}  // namespace

ProgramSettings SettingsDialog::Open() {
  ProgramSettings loaded = LoadProgramSettings(path_);
  fields_ = loaded;
  fields_.unreadable.clear();
  fields_.ftpRetries = std::clamp(fields_.ftpRetries, kMinRetries, kMaxRetries);
  fields_.httpTimeOut = std::clamp(fields_.httpTimeOut, kMinTimeOut, kMaxTimeOut);
  fields_.postRetries = std::clamp(fields_.postRetries, kMinPostRetries, kMaxPostRetries);
  fields_.postAtOnce = std::clamp(fields_.postAtOnce, kMinPostAtOnce, kMaxPostAtOnce);
  return loaded;
}

bool SettingsDialog::Ok() {
  if (fields_.ProxyPort() == 0) {
    prompt_.Error("Proxy Port must be a whole number from 1 to 65535!");
    return false;
  }
  fields_.unreadable.clear();  // Open put the defaults in place of what could not be read
  if (auto problem = fields_.Problem(); !problem.empty()) {
    prompt_.Error(problem);
    return false;
  }
  IniDocument doc = IniDocument::Load(path_);
  doc.WriteString(kSection, "SMTP", fields_.smtp);
  doc.WriteString(kSection, "EMAIL", fields_.email);
  doc.WriteString(kSection, "NAME", fields_.name);
  doc.WriteString(kSection, "PROXY", fields_.proxy);
  doc.WriteString(kSection, "PORT", fields_.port);
  doc.WriteInteger(kSection, "FTPRetries", fields_.ftpRetries);
  doc.WriteInteger(kSection, "HTTPTimeOut", fields_.httpTimeOut);
  doc.WriteBool(kSection, "ShowHints", fields_.showHints);
  std::string security = SmtpSecurityItem(fields_.smtpSecurity);
  fields_.smtpSecurity = security.empty() ? "Auto" : security;
  // The mail keys are written once they are used, so that a file without them stays
  // as the other keys make it.
  auto writeMail = [&](const char* key, const std::string& value, const char* def) {
    if (value != def || doc.Get(kSection, key)) doc.WriteString(kSection, key, value);
  };
  writeMail("SMTPSecurity", fields_.smtpSecurity, "Auto");
  writeMail("SMTPUser", fields_.smtpUser, "");
  writeMail("SMTPPassword", fields_.smtpPassword, "");
  // Likewise the retries of the HTTP and mail steps.
  if (fields_.postRetries != ProgramSettings{}.postRetries || doc.Get(kSection, "PostRetries")) {
    doc.WriteInteger(kSection, "PostRetries", fields_.postRetries);
  }
  if (fields_.postAtOnce != ProgramSettings{}.postAtOnce || doc.Get(kSection, "PostAtOnce")) {
    doc.WriteInteger(kSection, "PostAtOnce", fields_.postAtOnce);
  }
  // A file holding a password is for its owner only.
  WriteOptions options;
  if (!fields_.smtpPassword.empty()) options.mode = 0600;
  doc.Save(path_, options);
  return true;
}

void WriteServiceSetting(const std::string& path, const std::string& key,
                         const std::string& value) {
  IniWriteString(path, kSection, key, value);
}

void WriteUseGridLines(const std::string& path, bool on) {
  IniWriteBool(path, kSection, "UseGridLines", on);
}

}  // namespace vendrix
