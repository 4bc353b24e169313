#pragma once
// The logic of the "Settings" dialog over the program settings (base/program_settings.h,
// which also reads the file), and the single-key writes. Ok and the single-key writes
// throw VendrixError on a failed write. The GUI thread.
#include <string>

#include "base/program_settings.h"
#include "base/user_prompt.h"

namespace vendrix {

// The "Settings" dialog: Open fills the fields (the retries, the time-out and the sites
// posted at once brought into their ranges); Ok checks and writes them; Cancel writes
// nothing.
class SettingsDialog {
 public:
  SettingsDialog(std::string path, UserPrompt& prompt) : path_(std::move(path)), prompt_(prompt) {}
  // Reads the file; the returned values are the main window's new values.
  ProgramSettings Open();
  ProgramSettings& Fields() { return fields_; }
  // False (nothing written, message shown) when the proxy port is not a whole number
  // from 1 to 65535, or the retries or the time-out are outside their ranges (the
  // screen's spin fields cannot be; the command line's words can). A file that holds
  // a password is readable by its owner only (0600).
  bool Ok();

 private:
  std::string path_;
  UserPrompt& prompt_;
  ProgramSettings fields_;
};

// Writes one of the service keys (UpdateURL, BHSServer, ContributeAddress, FooterURL)
// at once.
void WriteServiceSetting(const std::string& path, const std::string& key, const std::string& value);

// The "Use Grid Lines" check box: writes that one key at once.
void WriteUseGridLines(const std::string& path, bool on);

}  // namespace vendrix
