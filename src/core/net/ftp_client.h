#pragma once
// TFtpClient: an FTP client (RFC 959) with passive (EPSV, then PASV) and active
// (PORT/EPRT) data connections and explicit FTPS (AUTH TLS, PBSZ 0, PROT P).
// Actions block the calling thread and end at once on SetAction(ftpIdle) from any
// thread. Failures raise EFtpClient.
//
// Deadlines: a command's whole reply (every line of it, and at most 8 preliminary
// 1xx replies) must come within TimeOut seconds of sending it, and so must a whole
// directory listing; file data may take as long as each block moves within TimeOut.
// Against a hostile server: User, Password, RemoteFile, AltFile and RemotePath are
// refused with 162 when they hold CR, LF or NUL, before anything is sent; a reply of
// more than 1000 lines or with a line over 8 KiB fails with 141; an upload succeeds
// only when the server took every byte (it closed the data connection after our end)
// and confirmed with 2xx; a download goes to LocalFile + ".part" and replaces
// LocalFile only after the server's 2xx, and stops with 141 when the server sends
// more than MaxDownloadSize bytes (LocalFile is then left as it was).
//
// Uploads are checked on the server: after a binary upload the client asks FEAT once
// per connection and, when the server lists SIZE, asks the size of the file it just
// stored; a size other than the bytes sent fails the upload with 146 ("the server
// holds N bytes, M were sent"). A server without SIZE, one that will not say, or one
// that does not answer the check in time is taken at its 2xx. ASCII uploads are not checked: their
// size on the server depends on its line ends.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "net/cancel_token.h"
#include "net/ftp_reply.h"
#include "net/stream.h"

namespace vendrix {

enum class TFtpActions {
  ftpIdle,
  ftpAbort,
  ftpLogon,
  ftpLogoff,
  ftpDownload,
  ftpUpload,
  ftpDeleteFile,
  ftpRenameFile,
  ftpListDirectory,
  ftpListDirectoryLong,
  ftpMakeDirectory,
  ftpRemoveDirectory
};
enum class TFTPTransferModes { tmDefault, tmASCII, tmBinary };
enum class TPIDirections { Client = 0, Server = 1, Info = 2 };

class TFtpClient {
 public:
  TFtpClient();
  ~TFtpClient();

  std::function<void(int code, const std::string& text)> OnError;
  std::function<void(TPIDirections direction, const std::string& message)> OnFirePITrail;
  std::function<void(const std::string& entry)> OnDirList;
  std::function<void(long long bytes, std::string_view text)> OnTransfer;
  std::function<void()> OnStartTransfer;
  std::function<void()> OnEndTransfer;
  // The owner's token (its Skip or Cancel): raised, it ends every wait of an action,
  // and an action's start never clears it.
  const CancelToken* StopToken = nullptr;
  // Runs just before STOR is written; false stops the upload (error 301, Interrupted)
  // with nothing written.
  std::function<bool()> OnBeforeStore;

  std::string User, Password, LocalFile, RemoteFile, AltFile;
  bool Passive = false;
  long long StartByte = 0;
  int TimeOut = 60;     // seconds for a reply (or a block of data) before 10060
  bool UseTLS = false;  // explicit FTPS
  std::string CaFile;   // extra trusted certificates (PEM), besides the system's
  std::uint16_t RemotePort = 21;
  // Bytes one download may bring, to LocalFile or to OnTransfer: a server that
  // streams for ever cannot fill the disk.
  long long MaxDownloadSize = kDefaultMaxDownloadSize;
  static constexpr long long kDefaultMaxDownloadSize = 4LL << 30;
  // The bytes the last upload sent (from StartByte on), and whether the server
  // confirmed them with SIZE.
  long long UploadedBytes() const { return uploaded_; }
  bool UploadVerified() const { return verified_; }
  // Whether the server refused the last transfer with a reply of its own (to the
  // command or at its end), so that it holds nothing of it.
  bool TransferRefused() const { return refused_; }

  // "host" or "host:port" ("[v6]:port"); the port part sets RemotePort.
  void SetRemoteHost(const std::string& host);
  const std::string& RemoteHost() const { return host_; }
  void SetRemotePath(const std::string& path);
  std::string RemotePath();
  void SetTransferMode(TFTPTransferModes mode);
  TFTPTransferModes TransferMode() const { return mode_; }
  bool Connected() const { return control_.IsOpen(); }

  void SetAction(TFtpActions action);
  TFtpActions Action() const { return action_; }

 private:
  using Reply = FtpReply;
  class Busy;
  Waiter W() const;
  void Trail(TPIDirections d, const std::string& m);
  // Sends one command line; refuses an argument with CR, LF or NUL (162).
  void Send(const std::string& verb, const std::string& arg, const Waiter& w);
  void RequireSafe(const std::string& value, const char* what);
  void RequireSafeArguments(TFtpActions action);
  // One reply (all lines of a multi-line one) within w's deadline.
  Reply ReadReply(const Waiter& w);
  // Reads past preliminary replies (at most 8) to the one that completes verb.
  Reply AwaitFinal(Reply r, const std::string& verb, const Waiter& w);
  // Sends a command and waits past preliminary replies; fails with 141 unless 2xx/3xx.
  Reply Command(const std::string& verb, const std::string& arg = "");
  void Logon();
  void Logoff();
  void CloseControl(bool clean);
  void EnsureLoggedOn();
  enum class Transfer { Upload, Download, List, ListLong };
  void DataAction(Transfer kind);
  void AbortSequence();
  // Asks SIZE of the stored file when the server lists it; fails with 146 when the
  // server holds another number of bytes than expected.
  void VerifyUpload(long long expected);
  bool ServerHasSize();
  // Ends a download the client gave up on: closes the data connection and reads the
  // server's reply to that (closing the control connection when none comes in time).
  void AbandonDownload(Stream& data, const Reply& first, const std::string& verb);
  [[noreturn]] void Fail(int code, const std::string& text);
  template <typename Exchange>
  auto Control(Exchange exchange);

  std::string host_;
  std::string path_;
  TFTPTransferModes mode_ = TFTPTransferModes::tmDefault;
  std::atomic<TFtpActions> action_{TFtpActions::ftpIdle};
  std::atomic<bool> busy_{false};
  std::atomic<bool> abortRequested_{false};
  CancelToken cancel_;
  Stream control_;
  std::shared_ptr<SSL_CTX> tls_;
  enum class Feature { Unknown, Yes, No };
  Feature size_ = Feature::Unknown;  // SIZE in FEAT, for the open control connection
  long long uploaded_ = 0;
  bool verified_ = false;
  bool refused_ = false;
};

}  // namespace vendrix
