#include "run/ftp_form.h"

#include "net/net_error.h"

namespace vendrix {

TftpForm1::TftpForm1(FtpRunState& state, std::function<void(const std::string&)> addFtpLine,
                     std::function<void(const std::string&)> setStatus)
    : state_(state), addFtpLine_(std::move(addFtpLine)), setStatus_(std::move(setStatus)) {
  lTrace = {"trace the communiciation with the server here",
            "Click on the ListBox below to select a file"};
  auto status = [this](const std::string& s) {
    if (setStatus_) setStatus_(s);
  };
  FTP1.OnFirePITrail = [this](TPIDirections d, const std::string& m) {
    // A lost connection ends the action in progress (the client has already
    // closed it, so there is nothing left to abort).
    if (m == "Disconnected." && d == TPIDirections::Info) FTP1.SetAction(TFtpActions::ftpIdle);
    static constexpr const char* kPrefix[] = {"CLIENT: ", "SERVER: ", "INFO: "};
    Log(kPrefix[static_cast<int>(d)] + m);
  };
  FTP1.OnError = [this, status](int code, const std::string& text) {
    Log("ERR Event: " + std::to_string(code) + " " + text);
    status("FTP Error");
    if (code == 421) state_.FtpFailed = true;
  };
  FTP1.OnStartTransfer = [this, status] {
    Log("TRANSFER BEGIN.");
    status("Starting Transfer");
  };
  FTP1.OnTransfer = [this, status](long long bytes, std::string_view) {
    lTrace.push_back("TRANSFER: " + std::to_string(bytes) + " Bytes");
    if (OnBytes) OnBytes(bytes);  // first, so that the status below shows them too
    status("Bytes Transfered: " + std::to_string(bytes));
  };
  FTP1.OnEndTransfer = [this] { Log("TRANSFER END."); };
  FTP1.OnDirList = [this, status](const std::string& entry) {
    lFiles.push_back(entry);
    status("Getting Directory Info");
  };
}

void TftpForm1::Log(const std::string& line) {
  lTrace.push_back(line);
  if (addFtpLine_) addFtpLine_(line);
}

void TftpForm1::SetRemoteFile(const std::string& name) {
  eRemoteFile_ = name;
  FTP1.RemoteFile = name;
}

template <typename Action>
void TftpForm1::Guarded(Action action) {
  try {
    action();
  } catch (const EFtpClient& e) {
    state_.FtpErrorText = e.what();
    state_.FtpFailed = true;
    Log(std::string("EXCEPTION: ") + e.what());
  }
}

void TftpForm1::Logon() {
  state_.FtpFailed = false;
  lTrace.clear();
  lTrace.push_back("Loading Winsock");
  lTrace.push_back("POSIX sockets Up");
  lFiles.clear();
  FTP1.User = tUser;
  FTP1.Password = tPasswd;
  FTP1.SetRemoteHost(tHost);
  Guarded([this] { FTP1.SetAction(TFtpActions::ftpLogon); });
}

void TftpForm1::UploadFile() {
  FTP1.LocalFile = eLocalFile;
  FTP1.RemoteFile = eRemoteFile_;
  Guarded([this] { FTP1.SetAction(TFtpActions::ftpUpload); });
}

void TftpForm1::Logoff() {
  try {
    FTP1.SetAction(TFtpActions::ftpLogoff);
  } catch (const EFtpClient&) {
    // Logging off a connection that already failed is not an error of its own.
  }
}

}  // namespace vendrix
