#pragma once
// The FTP window's logic without the window: its fields, the Logon / Upload file /
// Download file / Logoff / Abort / Change Directory handlers, the trace, and the
// FtpFailed / FtpErrorText state that the upload step reads.
#include <functional>
#include <string>
#include <vector>

#include "net/ftp_client.h"

namespace vendrix {

// The FTP state of the main window, written by the FTP window's handlers.
struct FtpRunState {
  bool FtpFailed = false;
  std::string FtpErrorText;
};

class TftpForm1 {
 public:
  // addFtpLine: the main FTP log; setStatus: the main FTP status label.
  TftpForm1(FtpRunState& state, std::function<void(const std::string&)> addFtpLine,
            std::function<void(const std::string&)> setStatus);

  TFtpClient FTP1;
  // The bytes of the transfer in progress, each time more have gone (optional).
  std::function<void(long long bytes)> OnBytes;
  std::string tUser, tPasswd, tHost, eLocalFile;
  std::vector<std::string> lFiles;
  std::vector<std::string> lTrace;

  void SetRemoteFile(const std::string& name);  // eRemoteFile changes
  const std::string& RemoteFile() const { return eRemoteFile_; }

  void Logon();
  void UploadFile();
  void Logoff();

 private:
  void Log(const std::string& line);  // trace and main FTP log
  template <typename Action>
  void Guarded(Action action);
  FtpRunState& state_;
  std::function<void(const std::string&)> addFtpLine_;
  std::function<void(const std::string&)> setStatus_;
  std::string eRemoteFile_;
};

}  // namespace vendrix
