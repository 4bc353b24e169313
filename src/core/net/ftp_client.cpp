#include "net/ftp_client.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <vector>

#include "base/error.h"
#include "base/error_codes.h"
#include "net/ftp_reply.h"
#include "net/net_error.h"
#include "net/part_file.h"

namespace vendrix {
namespace {

constexpr int kMaxPreliminary = 8;  // 1xx replies before the one that completes a command
constexpr std::size_t kBlock = 256 * 1024;

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

}  // namespace

// Marks an action in progress; a second one meanwhile fails with 143.
class TFtpClient::Busy {
 public:
  Busy(TFtpClient& c, TFtpActions a) : c_(c) {
    if (c_.busy_.exchange(true))
      throw EFtpClient(code::kFtpBusy, "Busy performing current action.");
    c_.action_ = a;
    c_.abortRequested_ = false;
    c_.cancel_.Reset();
  }
  ~Busy() {
    c_.action_ = TFtpActions::ftpIdle;
    c_.busy_ = false;
  }

 private:
  TFtpClient& c_;
};

TFtpClient::TFtpClient() = default;
TFtpClient::~TFtpClient() = default;

Waiter TFtpClient::W() const {
  return Waiter::For(&cancel_, TimeOut, StopToken);
}

void TFtpClient::Trail(TPIDirections d, const std::string& m) {
  if (OnFirePITrail) OnFirePITrail(d, m);
}

void TFtpClient::Fail(int code, const std::string& text) {
  throw EFtpClient(code, text);
}

void TFtpClient::SetRemoteHost(const std::string& host) {
  std::string h = host;
  auto colon = h.rfind(':');
  bool bracketed = !h.empty() && h.front() == '[';
  bool oneColon = colon != std::string::npos && h.find(':') == colon;
  if (colon != std::string::npos && (oneColon || (bracketed && h[colon - 1] == ']')) &&
      colon + 1 < h.size() && h.find_first_not_of("0123456789", colon + 1) == std::string::npos &&
      h.size() - colon <= 6) {
    long port = std::stol(h.substr(colon + 1));
    if (port > 0 && port < 65536) {
      RemotePort = static_cast<std::uint16_t>(port);
      h = h.substr(0, colon);
    }
  }
  if (h.size() > 2 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
  host_ = h;
}

void TFtpClient::Send(const std::string& verb, const std::string& arg, const Waiter& w) {
  // Nothing that would end the command line early reaches the server.
  if (!IsProtocolSafe(arg)) {
    Fail(kErrUnsafeText, "The argument of " + verb + " holds a CR, LF or NUL character.");
  }
  std::string line = arg.empty() ? verb : verb + " " + arg;
  Trail(TPIDirections::Client, verb == "PASS" ? "PASS ****" : line);
  control_.SendAll(line + "\r\n", w);
}

void TFtpClient::RequireSafe(const std::string& value, const char* what) {
  if (!IsProtocolSafe(value)) {
    Fail(kErrUnsafeText, std::string(what) + " holds a CR, LF or NUL character.");
  }
}

TFtpClient::Reply TFtpClient::ReadReply(const Waiter& w) {
  Reply r;
  switch (ReadFtpReply(control_, w, r,
                       [this](const std::string& line) { Trail(TPIDirections::Server, line); })) {
    case FtpReplyEnd::Reply:
      return r;
    case FtpReplyEnd::Closed:
      CloseControl(true);
      Fail(code::kFtpConnection, "Connection closed by the server.");
    case FtpReplyEnd::Unexpected:
      break;
  }
  CloseControl(false);
  Fail(code::kFtpReply, "Unexpected server reply.");
}

TFtpClient::Reply TFtpClient::AwaitFinal(Reply r, const std::string& verb, const Waiter& w) {
  for (int preliminary = 0; r.code / 100 == 1 || (verb == "ABOR" && r.code == 426);) {
    if (++preliminary > kMaxPreliminary) {
      CloseControl(false);
      Fail(code::kFtpReply, r.line);
    }
    r = ReadReply(w);
  }
  return r;
}

TFtpClient::Reply TFtpClient::Command(const std::string& verb, const std::string& arg) {
  // One deadline for the whole reply, however the server spreads it out.
  const Waiter w = W();
  Send(verb, arg, w);
  Reply r = AwaitFinal(ReadReply(w), verb, w);
  int kind = r.code / 100;
  if (kind == 2 || kind == 3) return r;
  Fail(code::kFtpReply, r.line);
}

void TFtpClient::CloseControl(bool clean) {
  if (!control_.IsOpen()) return;
  control_.Close();
  size_ = Feature::Unknown;
  if (clean) {
    Trail(TPIDirections::Info, "Disconnected.");
  } else if (OnError) {
    OnError(code::kFtpConnection, "Disconnected: " + SocketErrorText(code::kConnectionAborted));
  }
}

void TFtpClient::Logon() {
  if (!control_.IsOpen()) {
    Trail(TPIDirections::Info, "Connecting to FTP server.");
    try {
      control_.Connect(host_, RemotePort, W());
    } catch (const NetFailure& f) {
      if (OnError && f.code != kErrInterrupted) {
        OnError(code::kFtpConnection, "Failed to connect: " + SocketErrorText(f.code));
      }
      throw;
    }
    Trail(TPIDirections::Info, "Connected.");
    const Waiter w = W();
    Reply greeting = AwaitFinal(ReadReply(w), "", w);
    if (greeting.code / 100 != 2) {
      CloseControl(true);
      Fail(code::kFtpReply, greeting.line);
    }
    if (UseTLS) {
      Reply r = Command("AUTH", "TLS");
      if (r.code != 234) Fail(code::kFtpReply, r.line);
      if (!tls_) tls_ = MakeTlsContext(CaFile);
      control_.StartTls(tls_.get(), host_, nullptr, W());
      Trail(TPIDirections::Info, "TLS started.");
    }
  }
  bool loggedIn = false;
  if (!User.empty()) loggedIn = Command("USER", User).code == 230;
  if (!loggedIn) {
    // Only a 2xx logs on: "332 Need account" asks for a step this client does not take.
    Reply r = Command("PASS", Password);
    if (r.code / 100 != 2) Fail(code::kFtpReply, r.line);
  }
  if (UseTLS) {
    Command("PBSZ", "0");
    Command("PROT", "P");
  }
  if (mode_ != TFTPTransferModes::tmDefault) {
    Command("TYPE", mode_ == TFTPTransferModes::tmASCII ? "A" : "I");
  }
}

void TFtpClient::Logoff() {
  if (!control_.IsOpen()) return;
  try {
    Command("QUIT");
  } catch (...) {
    Trail(TPIDirections::Info, "Forcing disconnection from FTP server.");
    CloseControl(true);
    throw;
  }
  CloseControl(true);
}

void TFtpClient::EnsureLoggedOn() {
  if (!control_.IsOpen()) Logon();
}

void TFtpClient::AbortSequence() {
  cancel_.Reset();
  control_.SendUrgent(std::string("\xFF\xF4\xFF\xF2", 4));
  Command("ABOR");
}

void TFtpClient::DataAction(Transfer kind) {
  FilePtr file(nullptr, std::fclose);
  if (kind == Transfer::Upload) {
    if (LocalFile.empty()) Fail(code::kFtpNoLocalFile, "Please specify a local file for upload.");
    file.reset(std::fopen(LocalFile.c_str(), "rb"));
    struct stat st;
    if (!file || ::fstat(::fileno(file.get()), &st) != 0 || S_ISDIR(st.st_mode)) {
      Fail(code::kFtpNoLocalFile, "Error reading from local file.");
    }
  }
  EnsureLoggedOn();

  Stream data;
  Listener listener;
  const Address peer = control_.Peer();
  const bool v6 = peer.Family() == AF_INET6;
  if (Passive) {
    bool open = false;
    const Waiter w = W();
    Send("EPSV", "", w);
    Reply r = AwaitFinal(ReadReply(w), "EPSV", w);
    if (r.code == 229) {
      if (std::uint16_t port = EpsvPort(r.line)) {
        Address a = peer;
        a.SetPort(port);
        data.Connect(a, W());
        open = true;
      } else {
        Trail(TPIDirections::Info, "No valid port in the EPSV reply.");
      }
    }
    if (!open && v6) Fail(code::kFtpReply, r.line);
    if (!open) {
      const Waiter pw = W();
      Send("PASV", "", pw);
      r = AwaitFinal(ReadReply(pw), "PASV", pw);
      std::string named;
      std::uint16_t port = 0;
      if (r.code != 227 || !PasvAddress(r.line, named, port)) {
        if (OnError) OnError(code::kFtpReply, "Unexpected server reply.");
        Fail(code::kFtpReply, r.line);
      }
      // Only the port is taken: the data goes to the server the control connection
      // reached, never to another host the reply names.
      if (named != peer.Host()) {
        Trail(TPIDirections::Info,
              "Data address " + named + " ignored; connecting to " + peer.Host() + ".");
      }
      Address a = peer;
      a.SetPort(port);
      data.Connect(a, W());
    }
  } else {
    Address local = listener.Listen(control_.Local());
    if (!v6) {
      auto& in = reinterpret_cast<const sockaddr_in&>(local.storage);
      auto ip = reinterpret_cast<const unsigned char*>(&in.sin_addr);
      char buf[64];
      std::snprintf(buf, sizeof buf, "%d,%d,%d,%d,%d,%d", ip[0], ip[1], ip[2], ip[3],
                    local.Port() >> 8, local.Port() & 255);
      Command("PORT", buf);
    } else {
      Command("EPRT", "|2|" + local.Host() + "|" + std::to_string(local.Port()) + "|");
    }
  }
  long long start = StartByte < 0 ? (StartByte & 0x7FFFFFFFFFFFFFFFLL) : StartByte;
  if (start > 0 && (kind == Transfer::Upload || kind == Transfer::Download)) {
    Command("REST", std::to_string(start));
  }
  static constexpr const char* kVerbs[] = {"STOR", "RETR", "NLST", "LIST"};
  const std::string verb = kVerbs[static_cast<int>(kind)];
  const Waiter commandWait = W();
  refused_ = false;
  if (kind == Transfer::Upload && OnBeforeStore && !OnBeforeStore()) {
    throw NetFailure(kErrInterrupted, "Interrupted");
  }
  Send(verb, RemoteFile, commandWait);
  Reply first = ReadReply(commandWait);
  refused_ = first.code / 100 == 4 || first.code / 100 == 5;
  if (first.code / 100 != 1 && first.code / 100 != 2) Fail(code::kFtpReply, first.line);
  if (kind == Transfer::Upload && first.code / 100 == 2) {
    refused_ = true;
    // The server reports the end of a transfer that has not begun: it took no byte.
    Fail(code::kFtpReply, "Transfer ended by the server before the data was sent: " + first.line);
  }
  if (!Passive) data.Adopt(listener.Accept(W()));
  listener.Close();
  if (UseTLS) data.StartTls(tls_.get(), host_, control_.TlsSession(), W());

  std::unique_ptr<PartFile> download;
  if (kind == Transfer::Download && !LocalFile.empty()) {
    download = std::make_unique<PartFile>(LocalFile, start);
    if (download->State() == PartFile::Opened::CannotOpen) {
      if (OnError) OnError(kErrFileOpen, "Error opening local file.");
      Fail(kErrFileOpen, "Can't open file for reading/writing.");
    }
    if (download->State() == PartFile::Opened::CannotSeek) {
      if (OnError) OnError(code::kFtpLocalRead, "Error starting local file.");
      Fail(code::kFtpLocalRead, "Error seeking in local file.");
    }
  }
  if (file && start > 0 && ::fseeko(file.get(), start, SEEK_SET) != 0) {
    if (OnError) OnError(code::kFtpLocalRead, "Error starting local file.");
    Fail(code::kFtpLocalRead, "Error seeking in local file.");
  }
  if (OnStartTransfer) OnStartTransfer();
  long long total = 0;
  uploaded_ = 0;
  verified_ = false;
  // File data may take as long as it makes progress: the time-out counts from the
  // last byte that moved, however slowly the server reads or writes.
  const Waiter dataWait = Waiter::Stalled(&cancel_, TimeOut, StopToken);
  if (kind == Transfer::Upload) {
    const bool read = data.SendFile(::fileno(file.get()), start, dataWait, [&](long long sent) {
      uploaded_ = sent;
      if (OnTransfer) OnTransfer(sent, "");
    });
    if (!read) Fail(code::kFtpLocalRead, "Error reading from local file.");
    // Every byte has arrived only when the server closed after our end.
    data.Finish(dataWait);
  } else if (kind == Transfer::Download) {
    std::vector<char> block(kBlock);
    for (;;) {
      std::size_t n = data.ReadSome(block.data(), block.size(), dataWait);
      if (n == 0) break;
      if (static_cast<long long>(n) > MaxDownloadSize - total) {
        AbandonDownload(data, first, verb);
        Fail(code::kFtpReply, "Download stopped: the file is larger than " +
                                  std::to_string(MaxDownloadSize) + " bytes.");
      }
      total += static_cast<long long>(n);
      if (download) {
        if (!download->Write(std::string_view(block.data(), n))) {
          if (OnError) OnError(kErrFileOpen, "Error writing to local file.");
          AbandonDownload(data, first, verb);
          Fail(kErrFileOpen, "Error writing to local file.");
        }
        if (OnTransfer) OnTransfer(total, "");
      } else if (OnTransfer) {
        OnTransfer(total, std::string_view(block.data(), n));
      }
    }
    data.Close();
  } else {
    // A listing is a reply: one deadline for all of it.
    const Waiter listWait = W();
    std::string line;
    for (;;) {
      auto r = data.ReadLine(line, kMaxFtpReplyLine, listWait);
      if (r == Stream::LineResult::End) break;
      if (r == Stream::LineResult::TooLong) Fail(code::kFtpReply, "Unexpected server reply.");
      if (OnDirList) OnDirList(line);
    }
    data.Close();
  }
  if (file && std::fclose(file.release()) != 0 && OnError) {
    OnError(kErrFileOpen, "Error closing local file.");
  }
  if (OnEndTransfer) OnEndTransfer();
  const Waiter finalWait = W();
  Reply final = first.code / 100 == 1 ? AwaitFinal(first, verb, finalWait) : first;
  refused_ = final.code / 100 == 4 || final.code / 100 == 5;
  if (final.code / 100 != 2) Fail(code::kFtpReply, final.line);
  if (kind == Transfer::Upload && mode_ == TFTPTransferModes::tmBinary) {
    try {
      VerifyUpload(start + uploaded_);
    } catch (const NetFailure& f) {
      // The server confirmed the transfer; a check it does not answer in time (or a
      // connection it closes after) leaves the upload unverified, not failed. The
      // connection is in an unknown state: the next action logs on anew.
      if (f.code == kErrInterrupted) throw;
      Trail(TPIDirections::Info, "The size of " + RemoteFile + " could not be checked.");
      CloseControl(false);
    } catch (const EFtpClient& e) {
      if (e.ErrorCode == code::kFtpSizeMismatch) throw;
      Trail(TPIDirections::Info, "The size of " + RemoteFile + " could not be checked.");
    }
  }
  if (download && !download->Commit()) {
    if (OnError) OnError(kErrFileOpen, "Error closing local file.");
    Fail(kErrFileOpen, "Error writing to local file.");
  }
}

bool TFtpClient::ServerHasSize() {
  if (size_ != Feature::Unknown) return size_ == Feature::Yes;
  const Waiter w = W();
  Send("FEAT", "", w);
  bool listed = false;
  Reply r;
  switch (ReadFtpReply(control_, w, r, [&](const std::string& line) {
    Trail(TPIDirections::Server, line);
    // Feature lines start with a space; the first word names the feature.
    if (line.size() > 1 && line[0] == ' ') {
      std::string word = line.substr(1, line.find(' ', 1) - 1);
      for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      if (word == "SIZE") listed = true;
    }
  })) {
    case FtpReplyEnd::Reply:
      break;
    case FtpReplyEnd::Closed:
      CloseControl(true);
      Fail(code::kFtpConnection, "Connection closed by the server.");
    case FtpReplyEnd::Unexpected:
      CloseControl(false);
      Fail(code::kFtpReply, "Unexpected server reply.");
  }
  size_ = r.code == 211 && listed ? Feature::Yes : Feature::No;
  return size_ == Feature::Yes;
}

void TFtpClient::VerifyUpload(long long expected) {
  if (!ServerHasSize()) return;
  const Waiter w = W();
  Send("SIZE", RemoteFile, w);
  Reply r = AwaitFinal(ReadReply(w), "SIZE", w);
  // Only "213 digits" counts; a server that will not say is taken at its 2xx.
  const long long held = SizeReplyBytes(r);
  if (held < 0) {
    Trail(TPIDirections::Info, "The server did not say the size of " + RemoteFile + ".");
    return;
  }
  if (held != expected) {
    Fail(code::kFtpSizeMismatch, "the server holds " + std::to_string(held) + " bytes, " +
                                     std::to_string(expected) + " were sent");
  }
  verified_ = true;
}

void TFtpClient::AbandonDownload(Stream& data, const Reply& first, const std::string& verb) {
  data.Close();
  if (first.code / 100 != 1) return;
  try {
    AwaitFinal(first, verb, W());  // the server's word on the closed transfer (426, 226)
  } catch (const EFtpClient&) {
    // The trail shows the reply; the download has failed for its own reason.
  } catch (const NetFailure&) {
    CloseControl(false);
  }
}

void TFtpClient::SetAction(TFtpActions action) {
  if (action == TFtpActions::ftpIdle) {
    cancel_.Cancel();
    return;
  }
  if (action == TFtpActions::ftpAbort && busy_) {
    abortRequested_ = true;
    cancel_.Cancel();
    return;
  }
  Busy busy(*this, action);
  RequireSafeArguments(action);
  try {
    switch (action) {
      case TFtpActions::ftpIdle:
        break;
      case TFtpActions::ftpAbort:
        EnsureLoggedOn();
        AbortSequence();
        break;
      case TFtpActions::ftpLogon:
        Logon();
        break;
      case TFtpActions::ftpLogoff:
        Logoff();
        break;
      case TFtpActions::ftpDownload:
        DataAction(Transfer::Download);
        break;
      case TFtpActions::ftpUpload:
        DataAction(Transfer::Upload);
        break;
      case TFtpActions::ftpDeleteFile:
        EnsureLoggedOn();
        Command("DELE", RemoteFile);
        break;
      case TFtpActions::ftpRenameFile:
        EnsureLoggedOn();
        Command("RNFR", RemoteFile);
        Command("RNTO", AltFile);
        break;
      case TFtpActions::ftpListDirectory:
        DataAction(Transfer::List);
        break;
      case TFtpActions::ftpListDirectoryLong:
        DataAction(Transfer::ListLong);
        break;
      case TFtpActions::ftpMakeDirectory:
        EnsureLoggedOn();
        Command("MKD", RemoteFile);
        break;
      case TFtpActions::ftpRemoveDirectory:
        EnsureLoggedOn();
        Command("RMD", RemoteFile);
        break;
      default:
        throw VendrixError("Invalid Action Value");
    }
  } catch (const NetFailure& f) {
    if (f.code == kErrInterrupted) {
      if (abortRequested_ && control_.IsOpen()) {
        try {
          AbortSequence();
        } catch (...) {
          CloseControl(false);
        }
      }
      throw EFtpClient(kErrInterrupted, "Interrupted");
    }
    // The control connection is in an unknown state after a socket failure.
    CloseControl(false);
    throw EFtpClient(f.code, f.what());
  }
}

void TFtpClient::RequireSafeArguments(TFtpActions action) {
  const bool logon =
      action == TFtpActions::ftpLogon || (!control_.IsOpen() && action != TFtpActions::ftpLogoff);
  if (logon) {
    RequireSafe(User, "User");
    RequireSafe(Password, "Password");
  }
  switch (action) {
    case TFtpActions::ftpRenameFile:
      RequireSafe(AltFile, "AltFile");
      [[fallthrough]];
    case TFtpActions::ftpDownload:
    case TFtpActions::ftpUpload:
    case TFtpActions::ftpDeleteFile:
    case TFtpActions::ftpListDirectory:
    case TFtpActions::ftpListDirectoryLong:
    case TFtpActions::ftpMakeDirectory:
    case TFtpActions::ftpRemoveDirectory:
      RequireSafe(RemoteFile, "RemoteFile");
      break;
    default:
      break;
  }
}

// Runs one control-connection exchange outside an action; a socket failure leaves
// the connection in an unknown state, so it is closed.
template <typename Exchange>
auto TFtpClient::Control(Exchange exchange) {
  Busy busy(*this, TFtpActions::ftpIdle);
  try {
    return exchange();
  } catch (const NetFailure& f) {
    CloseControl(false);
    throw EFtpClient(f.code, f.what());
  }
}

void TFtpClient::SetRemotePath(const std::string& path) {
  if (!control_.IsOpen()) {
    path_ = path;
    return;
  }
  RequireSafe(path, "RemotePath");
  Control([&] {
    if (path == "..") {
      Command("CDUP");
    } else {
      Command("CWD", path);
    }
    path_ = path;
  });
}

std::string TFtpClient::RemotePath() {
  if (!control_.IsOpen()) return path_;
  return Control([&] {
    Reply r = Command("PWD");
    std::string text = r.line.size() > 5 ? r.line.substr(5) : "";
    return text.substr(0, text.find('"'));
  });
}

void TFtpClient::SetTransferMode(TFTPTransferModes mode) {
  if (!control_.IsOpen() || mode == TFTPTransferModes::tmDefault) {
    mode_ = mode;
    return;
  }
  Control([&] {
    Command("TYPE", mode == TFTPTransferModes::tmASCII ? "A" : "I");
    mode_ = mode;
  });
}

}  // namespace vendrix
