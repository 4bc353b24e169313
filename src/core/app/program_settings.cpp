#include "app/program_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "base/ini_file.h"

namespace vendrix {
namespace {
constexpr const char* kSection = "SETTINGS";

bool IsWholeNumber(const std::string& s) {
  if (s.empty() || s.size() > 9) return false;
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A proxy port: a whole number from 1 to 65535.
bool IsPort(const std::string& s) {
  return IsWholeNumber(s) && std::stoi(s) >= 1 && std::stoi(s) <= 65535;
}
}  // namespace

ProgramSettings LoadProgramSettings(const std::string& path) {
  IniDocument doc = IniDocument::Load(path);
  ProgramSettings s;
  s.smtp = doc.ReadString(kSection, "SMTP", "");
  s.email = doc.ReadString(kSection, "EMAIL", "");
  s.name = doc.ReadString(kSection, "NAME", "");
  s.proxy = doc.ReadString(kSection, "PROXY", "");
  s.port = doc.ReadString(kSection, "PORT", "80");
  s.ftpRetries = doc.ReadInteger(kSection, "FTPRetries", 3);
  s.httpTimeOut = doc.ReadInteger(kSection, "HTTPTimeOut", 60);
  s.useGridLines = doc.ReadBool(kSection, "UseGridLines", false);
  s.showHints = doc.ReadBool(kSection, "ShowHints", true);
  s.updateUrl = doc.ReadString(kSection, "UpdateURL", s.updateUrl);
  s.bhsServer = doc.ReadString(kSection, "BHSServer", s.bhsServer);
  s.contributeAddress = doc.ReadString(kSection, "ContributeAddress", s.contributeAddress);
  s.smtpSecurity = SmtpSecurityItem(doc.ReadString(kSection, "SMTPSecurity", "Auto"));
  if (s.smtpSecurity.empty()) s.smtpSecurity = "Auto";
  s.smtpUser = doc.ReadString(kSection, "SMTPUser", "");
  s.smtpPassword = doc.ReadString(kSection, "SMTPPassword", "");
  return s;
}

std::string SmtpSecurityItem(const std::string& text) {
  auto upper = [](std::string v) {
    for (char& c : v) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return v;
  };
  for (const char* item : kSmtpSecurityItems) {
    if (upper(item) == upper(text)) return item;
  }
  return "";
}

int ProxyPortNumber(const ProgramSettings& s) {
  return IsWholeNumber(s.port) ? std::stoi(s.port) : 0;
}

ProgramSettings SettingsDialog::Open() {
  ProgramSettings loaded = LoadProgramSettings(path_);
  fields_ = loaded;
  fields_.ftpRetries = std::clamp(fields_.ftpRetries, kMinRetries, kMaxRetries);
  fields_.httpTimeOut = std::clamp(fields_.httpTimeOut, kMinTimeOut, kMaxTimeOut);
  return loaded;
}

bool SettingsDialog::Ok() {
  if (!IsPort(fields_.port)) {
    prompt_.Error("Proxy Port must be a whole number from 1 to 65535!");
    return false;
  }
  fields_.ftpRetries = std::clamp(fields_.ftpRetries, kMinRetries, kMaxRetries);
  fields_.httpTimeOut = std::clamp(fields_.httpTimeOut, kMinTimeOut, kMaxTimeOut);
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
