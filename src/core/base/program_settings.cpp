#include "base/program_settings.h"

#include <cctype>
#include <climits>

#include "base/error.h"
#include "base/ini_file.h"

namespace vendrix {
namespace {

constexpr const char* kSection = "SETTINGS";

// A key's whole number: digits only (no sign, no blanks), at most nine of them.
bool Digits(const std::string& s) {
  if (s.empty() || s.size() > 9) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::string OutOfRange(const char* key, const std::string& value, int low, int high) {
  return "The setting " + std::string(key) + "=" + value + " cannot be used: " + key +
         " is a whole number from " + std::to_string(low) + " to " + std::to_string(high) + ".";
}

}  // namespace

int ProgramSettings::ProxyPort() const {
  if (!Digits(port)) return 0;
  const int n = std::stoi(port);
  return n >= kMinPort && n <= kMaxPort ? n : 0;
}

std::string ProgramSettings::ProxyProblem() const {
  return ProxyPort() == 0 ? OutOfRange("PORT", port, kMinPort, kMaxPort) : std::string();
}

std::string ProgramSettings::Problem() const {
  if (!unreadable.empty()) {
    const auto eq = unreadable.find('=');
    const std::string key = unreadable.substr(0, eq);
    return "The setting " + unreadable + " cannot be used: " + key + " is a whole number.";
  }
  if (auto proxy = ProxyProblem(); !proxy.empty()) return proxy;
  if (ftpRetries < kMinRetries || ftpRetries > kMaxRetries) {
    return OutOfRange("FTPRetries", std::to_string(ftpRetries), kMinRetries, kMaxRetries);
  }
  if (httpTimeOut < kMinTimeOut || httpTimeOut > kMaxTimeOut) {
    return OutOfRange("HTTPTimeOut", std::to_string(httpTimeOut), kMinTimeOut, kMaxTimeOut);
  }
  if (postRetries < kMinPostRetries || postRetries > kMaxPostRetries) {
    return OutOfRange("PostRetries", std::to_string(postRetries), kMinPostRetries, kMaxPostRetries);
  }
  if (postAtOnce < kMinPostAtOnce || postAtOnce > kMaxPostAtOnce) {
    return OutOfRange("PostAtOnce", std::to_string(postAtOnce), kMinPostAtOnce, kMaxPostAtOnce);
  }
  return "";
}

void ProgramSettings::Check() const {
  if (auto problem = Problem(); !problem.empty()) throw VendrixError(problem);
}

ProgramSettings LoadProgramSettings(const std::string& path) {
  IniDocument doc = IniDocument::Load(path);
  ProgramSettings s;
  // The integer keys take what an INI reader takes (a sign, "0x" hexadecimal); a
  // text that is none of these is remembered rather than read as the default.
  auto integer = [&](const char* key, int def) {
    const auto text = doc.Get(kSection, key);
    if (!text || text->empty()) return def;
    const int n = ParseIniInteger(*text, INT_MIN);
    if (n != INT_MIN) return n;
    if (s.unreadable.empty()) s.unreadable = std::string(key) + "=" + *text;
    return def;
  };
  s.smtp = doc.ReadString(kSection, "SMTP", "");
  s.email = doc.ReadString(kSection, "EMAIL", "");
  s.name = doc.ReadString(kSection, "NAME", "");
  s.proxy = doc.ReadString(kSection, "PROXY", "");
  s.port = doc.ReadString(kSection, "PORT", "80");
  s.ftpRetries = integer("FTPRetries", 3);
  s.httpTimeOut = integer("HTTPTimeOut", 60);
  s.postRetries = integer("PostRetries", 2);
  s.postAtOnce = integer("PostAtOnce", 4);
  s.useGridLines = doc.ReadBool(kSection, "UseGridLines", false);
  s.showHints = doc.ReadBool(kSection, "ShowHints", true);
  s.updateUrl = doc.ReadString(kSection, "UpdateURL", s.updateUrl);
  s.bhsServer = doc.ReadString(kSection, "BHSServer", s.bhsServer);
  s.contributeAddress = doc.ReadString(kSection, "ContributeAddress", s.contributeAddress);
  s.footerUrl = doc.ReadString(kSection, "FooterURL", s.footerUrl);
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

}  // namespace vendrix
