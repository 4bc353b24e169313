#pragma once
// The mail window's logic without the window: TSMTPForm fills its message from the
// "To:" and "Subject:" fields and the body, sends it through msSMTP1, keeps the
// busy/idle state and the error flag the e-mail step reads, and reports every event
// through SmtpFormView (report page, status panel, run log, progress bars). TSetupDlg
// holds the mail setup (server, sender, transcript file, character set, encoding,
// and the connection settings a mail server of today needs).
//
// Threads: Send blocks; the view's calls come on the thread that called Send (a GUI
// runs it on a worker thread and passes the calls on). Cancel may come from any
// thread.
#include <atomic>
#include <string>
#include <vector>

#include "base/data_tree.h"
#include "base/line_list.h"
#include "mail/message.h"
#include "mail/smtp.h"

namespace vendrix {

// What the window shows; every call has a default that ignores it.
class SmtpFormView {
 public:
  virtual ~SmtpFormView() = default;
  virtual void AddReportLine(const std::string& /*line*/) {}  // the site's e-mail report page
  virtual void SetStatus(const std::string& /*text*/) {}      // first status panel
  virtual void AddLogLine(const std::string& /*line*/) {}     // the run log
  virtual void SetProgress(int /*percent*/) {}                // the window's progress bar
  virtual void SetMainProgress(int /*percent*/) {}            // the main window's bar
  virtual void BusyChanged(bool /*busy*/) {}              // busy: only Cancel enabled, bars shown
  virtual void ShowError(const std::string& /*text*/) {}  // an error message box
};

// The identification header of the program's messages.
inline constexpr const char* kIdentificationHeader =
    "X-Vendrix: Sent with Vendrix, the download site submission tool";
inline constexpr const char* kTransferInProgress =
    "Transfer in Progress.  Click Cancel button first.";

struct TSetupDlg;

// The transcript file of the program's mail: "smtp.log" in the data folder.
inline std::string DefaultTranscriptFile(const DataTree& tree) {
  return tree.DataDir + "smtp.log";
}

class TSMTPForm {
 public:
  explicit TSMTPForm(SmtpFormView* view = nullptr);
  // With the window's own INI file (section "Setup"): its six values are read now and
  // written by Close.
  TSMTPForm(SmtpFormView* view, std::string iniPath);

  TmsSMTP msSMTP1;
  TmsMessage msMessage1;
  std::string ToEdit;       // one or more recipients, as ParseAddressList reads them
  std::string SubjectEdit;  // cut to 255 characters when sent
  std::vector<std::string> BodyMemo;

  void SetBodyText(const std::string& text) { BodyMemo = SplitLines(text); }
  // "&Attach".
  void Attach(const std::string& fileName) { msMessage1.Attachments.AddFile(fileName); }

  // "&Send": recipients from ToEdit, subject, body; busy while sending; idle again
  // even when the send raises, and the exception passes on.
  void Send();
  // "&Cancel" (any thread).
  void Cancel() { msSMTP1.Cancel(); }
  // Closing: refused with "Transfer in Progress.  Click Cancel button first." while
  // busy; otherwise true (the caller writes the setup file then, see SaveSetup).
  bool CloseQuery();
  // CloseQuery, then the INI file (when the window has one) gets the six values.
  // Throws VendrixError("Unable to write to ...") when it cannot be written.
  bool Close();

  bool Busy() const { return busy_; }
  // Set by an error or a rejected address during the last Send.
  bool ErrorFlag() const { return errorFlag_; }
  // The text of the last failure, "" after a successful Send.
  const std::string& ErrorText() const { return errorText_; }
  const std::string& StatusText() const { return status_; }

  // "&Setup": a dialog filled from the window's components; Apply copies it back.
  TSetupDlg Setup() const;
  void Apply(const TSetupDlg& setup);

 private:
  void Status(const std::string& text);
  void SetBusy(bool busy);
  void MarkError(const std::string& text);
  SmtpFormView* view_;
  SmtpFormView none_;
  std::string iniPath_;
  std::atomic<bool> busy_{false};
  bool errorFlag_ = false;
  std::string errorText_;
  std::string status_;
};

// The mail setup. The first six fields are the dialog's; the rest are the program
// settings for today's servers, carried along to every mail window.
struct TSetupDlg {
  std::string ServerEdit;       // "SMTP Server"
  std::string UserAddressEdit;  // "EMail address"
  std::string UserNameEdit;     // "Name"
  std::string LogFileNameEdit;  // hidden: the transcript file
  int CharSetCombo = 0;         // hidden: "US-ASCII", "ISO-8859-1"
  int EncodingCombo = 0;        // hidden: "MIME", "UUCode"
  SmtpSecurity Security = SmtpSecurity::Auto;
  std::string User, Password;
  std::string CaFile;

  static const std::vector<std::string>& CharSetItems();

  // The window's own INI file, section "Setup" ("Server", "EMail Address", "Name",
  // "Log File", "CharSet", "Encoding"); a missing file or key gives the defaults.
  void LoadIni(const std::string& path);
  // Throws VendrixError("Unable to write to " + path).
  void SaveIni(const std::string& path) const;
};

}  // namespace vendrix
