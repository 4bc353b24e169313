#pragma once
// The user's program settings ("settings.dat", section "SETTINGS"), read and checked
// in one place for every user: the run, the update, the services, the windows and
// the command line. A missing file or key gives the defaults. A stored value that is
// no number, or a number outside its range (FTPRetries 0 to 50, HTTPTimeOut 10 to
// 60, PostRetries 0 to 5, PostAtOnce 1 to 16, PORT 1 to 65535), is kept as read and named by
// Problem(); whoever acts on the settings refuses to start while there is one. Load throws
// VendrixError only for a file that exists but cannot be read. Plain data: any thread.
#include <string>

namespace vendrix {

inline constexpr const char* kDefaultUpdateUrlSetting =
    "https://www.halvane.example/vendrix/engines/vxsites.zip";

// The address the mail to a site names in its footer (FooterURL; empty: no address).
inline constexpr const char* kDefaultFooterUrlSetting = "https://www.halvane.example/vendrix";

inline constexpr int kMinRetries = 0, kMaxRetries = 50;
inline constexpr int kMinTimeOut = 10, kMaxTimeOut = 60;
inline constexpr int kMinPort = 1, kMaxPort = 65535;
inline constexpr int kMinPostRetries = 0, kMaxPostRetries = 5;
inline constexpr int kMinPostAtOnce = 1, kMaxPostAtOnce = 16;

struct ProgramSettings {
  std::string smtp, email, name, proxy;
  std::string port = "80";  // the proxy port as stored and shown; ProxyPort() is its number
  int ftpRetries = 3;
  int httpTimeOut = 60;  // seconds
  // How often an HTTP or mail step is tried again when nothing reached the site.
  int postRetries = 2;
  // How many sites a run posts at once (1: one after another).
  int postAtOnce = 4;
  bool useGridLines = false;
  bool showHints = true;
  // Addresses of the outside services; not part of the Settings dialog.
  std::string updateUrl = kDefaultUpdateUrlSetting;           // UpdateURL: the catalogue archive
  std::string bhsServer = "www.bhs.example";                  // BHSServer: host[:port] or a URL
  std::string contributeAddress = "engines@halvane.example";  // ContributeAddress
  std::string footerUrl = kDefaultFooterUrlSetting;           // FooterURL
  // The mail server of today: "Auto" (STARTTLS when offered), "STARTTLS" (required),
  // "TLS" (from the first byte), "None"; a user name and password for AUTH (empty
  // user: no AUTH).
  std::string smtpSecurity = "Auto";
  std::string smtpUser, smtpPassword;
  // A numeric key whose stored text is no whole number ("KEY=text"), or empty.
  std::string unreadable;

  // The proxy port, or 0 when PORT is not a whole number from 1 to 65535.
  int ProxyPort() const;
  // The first value that is no number or outside its range, as a message that names
  // the key; empty when every value can be used.
  std::string Problem() const;
  // The PORT part of Problem() alone (for users that only need the proxy).
  std::string ProxyProblem() const;
  // Throws VendrixError(Problem()) when there is a problem.
  void Check() const;
};

ProgramSettings LoadProgramSettings(const std::string& path);

// The four SMTPSecurity values, as the settings dialog lists them.
inline constexpr const char* kSmtpSecurityItems[] = {"Auto", "STARTTLS", "TLS", "None"};
// The item that text names (without regard to case), or "" when none.
std::string SmtpSecurityItem(const std::string& text);

}  // namespace vendrix
