#pragma once
// The user's program settings ("settings.dat", section "SETTINGS") and the logic of
// the "Settings" dialog. Load reads defaults for a missing file; Ok and the single-key
// writes throw VendrixError on a failed write. The GUI thread.
#include <string>

#include "base/user_prompt.h"

namespace vendrix {

inline constexpr const char* kDefaultUpdateUrlSetting =
    "https://www.halvane.example/vendrix/engines/vxsites.zip";

struct ProgramSettings {
  std::string smtp, email, name, proxy;
  std::string port = "80";
  int ftpRetries = 3;
  int httpTimeOut = 60;  // seconds
  bool useGridLines = false;
  bool showHints = true;
  // Addresses of the outside services; not part of the Settings dialog.
  std::string updateUrl = kDefaultUpdateUrlSetting;           // UpdateURL: the catalogue archive
  std::string bhsServer = "www.bhs.example";                  // BHSServer: host[:port] or a URL
  std::string contributeAddress = "engines@halvane.example";  // ContributeAddress
  // The mail server of today: "Auto" (STARTTLS when offered), "STARTTLS" (required),
  // "TLS" (from the first byte), "None"; a user name and password for AUTH (empty
  // user: no AUTH).
  std::string smtpSecurity = "Auto";
  std::string smtpUser, smtpPassword;
};

// The four SMTPSecurity values, as the settings dialog lists them.
inline constexpr const char* kSmtpSecurityItems[] = {"Auto", "STARTTLS", "TLS", "None"};
// The item that text names (without regard to case), or "" when none.
std::string SmtpSecurityItem(const std::string& text);

inline constexpr int kMinRetries = 0, kMaxRetries = 50;
inline constexpr int kMinTimeOut = 10, kMaxTimeOut = 60;

ProgramSettings LoadProgramSettings(const std::string& path);
// The proxy port as a number (0 when the text is no whole number).
int ProxyPortNumber(const ProgramSettings& s);

// The "Settings" dialog: Open fills the fields (retries and time-out brought into
// their ranges); Ok checks and writes them; Cancel writes nothing.
class SettingsDialog {
 public:
  SettingsDialog(std::string path, UserPrompt& prompt) : path_(std::move(path)), prompt_(prompt) {}
  // Reads the file; the returned values are the main window's new values.
  ProgramSettings Open();
  ProgramSettings& Fields() { return fields_; }
  // False (nothing written, message shown) when the proxy port is not a whole number
  // from 1 to 65535. A file that holds a password is readable by its owner only (0600).
  bool Ok();

 private:
  std::string path_;
  UserPrompt& prompt_;
  ProgramSettings fields_;
};

// Writes one of the service keys (UpdateURL, BHSServer, ContributeAddress) at once.
void WriteServiceSetting(const std::string& path, const std::string& key, const std::string& value);

// The "Use Grid Lines" check box: writes that one key at once.
void WriteUseGridLines(const std::string& path, bool on);

}  // namespace vendrix
