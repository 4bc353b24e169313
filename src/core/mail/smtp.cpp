#include "mail/smtp.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>

#include "mail/encodings.h"
#include "mail/mail_error.h"
#include "mail/spool_file.h"
#include "net/net_error.h"

namespace vendrix {
namespace {

constexpr int kFinalReplySeconds = 600;  // RFC 5321 4.5.3.2: at least 10 minutes
constexpr int kQuitSeconds = 10;
constexpr std::size_t kBlock = 256 * 1024;
constexpr int kInjectionWaitMs = 150;

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool Is2xx(int code) {
  return code >= 200 && code < 300;
}

bool IsLoopback(const Address& a) {
  if (a.Family() == AF_INET) {
    auto addr = ntohl(reinterpret_cast<const sockaddr_in&>(a.storage).sin_addr.s_addr);
    return (addr >> 24) == 127;
  }
  if (a.Family() == AF_INET6) {
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(a.storage).sin6_addr;
    if (IN6_IS_ADDR_LOOPBACK(&in6)) return true;
    return IN6_IS_ADDR_V4MAPPED(&in6) && in6.s6_addr[12] == 127;
  }
  return false;
}

}  // namespace

SmtpSecurity ParseSmtpSecurity(const std::string& text) {
  std::string u = Upper(text);
  if (u == "STARTTLS") return SmtpSecurity::StartTls;
  if (u == "TLS") return SmtpSecurity::Tls;
  if (u == "NONE") return SmtpSecurity::None;
  return SmtpSecurity::Auto;
}

TmsSMTP::TmsSMTP() = default;
TmsSMTP::~TmsSMTP() = default;

void TmsSMTP::Cancel() {
  // While a Send runs, it fires OnCancel on its own thread when it sees the flag.
  bool running = busy_;
  cancelRequested_ = true;
  cancel_.Cancel();
  if (!running && OnCancel) OnCancel();
}

Waiter TmsSMTP::StepWaiter(int seconds) const {
  if (seconds <= 0) seconds = TimeOut > 0 ? TimeOut : 60;
  return Waiter::For(&cancel_, seconds);
}

void TmsSMTP::Fail(int code, const std::string& text) {
  std::string msg = text.empty() ? MailErrorText(code) : text;
  if (OnError) OnError(msg);
  if (code == 10054) {
    usable_ = false;
    EndConnection();
  }
  throw ESocketError(code, msg);
}

void TmsSMTP::Rethrow(const NetFailure& f) {
  usable_ = false;
  if (f.code == kErrInterrupted || cancelRequested_) {
    if (OnCancel) OnCancel();
    std::string msg = MailErrorText(kMailCanceled);
    if (OnError) OnError(msg);
    EndConnection();
    throw ECanceledError(kMailCanceled, msg);
  }
  if (f.code == kErrTimedOut) {
    std::string msg = MailErrorText(kMailTimedOut);
    if (OnError) OnError(msg);
    EndConnection();
    throw ETimedOutError(kMailTimedOut, msg);
  }
  bool socketCode = f.code >= 10000 && f.code < 12000;
  Fail(f.code, socketCode ? "" : f.what());
}

void TmsSMTP::Unexpected(const Reply&) {
  throw EServerError(lastReply_);
}

void TmsSMTP::SendLine(const std::string& line, const std::string& logged) {
  transcript_.Add(logged.empty() ? line : logged);
  try {
    stream_.SendAll(line + "\r\n", StepWaiter());
  } catch (const NetFailure& f) {
    Rethrow(f);
  }
}

TmsSMTP::Reply TmsSMTP::ReadReply(int seconds) {
  // One deadline for the whole reply: a server that trickles lines cannot stretch it.
  Waiter w = StepWaiter(seconds);
  Reply r;
  SmtpReplyEnd end;
  try {
    end = ReadSmtpReply(stream_, w, rbuf_, r, [this](const std::string& l) { transcript_.Add(l); });
  } catch (const NetFailure& f) {
    Rethrow(f);
  }
  if (end == SmtpReplyEnd::Closed) {
    usable_ = false;
    Fail(kMailConnectionClosed);
  }
  if (end == SmtpReplyEnd::TooLong) {
    usable_ = false;
    Fail(kMailReplyTooLong);
  }
  lastReply_ = transcript_.Mask(r.Last());
  return r;
}

TmsSMTP::Reply TmsSMTP::Command(const std::string& line, const std::string& logged) {
  SendLine(line, logged);
  return ReadReply();
}

void TmsSMTP::CheckMessage() const {
  if (!MailMessage) throw EMessageError(kMailNoMessage, MailErrorText(kMailNoMessage));
  const TmsMessage& m = *MailMessage;
  if (m.Sender.Address.empty()) throw EMessageError(kMailNoSender, MailErrorText(kMailNoSender));
  bool any = std::any_of(EnvelopeRecipients.begin(), EnvelopeRecipients.end(),
                         [](const std::string& a) { return !a.empty(); });
  for (const auto* list : {&m.Recipients, &m.CC, &m.BCC}) {
    for (const auto& a : *list) any = any || !a.Address.empty();
  }
  if (!any) throw EMessageError(kMailNoRecipient, MailErrorText(kMailNoRecipient));
  CheckMessageText(m);
  for (const auto& a : EnvelopeRecipients) RequireAddress(a, "the address " + a);
  for (const auto& a : m.Attachments) CheckAttachmentReadable(a.FileName);
}

void TmsSMTP::ParseServer() {
  // Blanks typed around the name are no part of it.
  std::string host = Server, port;
  host.erase(0, host.find_first_not_of(" \t"));
  host.erase(host.find_last_not_of(" \t") + 1);
  bool hasPort = false;
  if (!host.empty() && host.front() == '[') {
    auto close = host.find(']');
    if (close != std::string::npos) {
      hasPort = close + 1 < host.size() && host[close + 1] == ':';
      if (hasPort) port = host.substr(close + 2);
      host = host.substr(1, close - 1);
    }
  } else if (std::count(host.begin(), host.end(), ':') == 1) {
    auto colon = host.find(':');
    hasPort = true;
    port = host.substr(colon + 1);
    host = host.substr(0, colon);
  }
  host_ = host;
  port_ = 0;
  if (hasPort) {
    bool digits = !port.empty() && port.size() <= 5 &&
                  std::all_of(port.begin(), port.end(),
                              [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    int n = digits ? std::stoi(port) : 0;
    if (n <= 0 || n > 65535) Fail(kMailBadPort);
    port_ = static_cast<std::uint16_t>(n);
  } else if (Security == SmtpSecurity::Tls) {
    port_ = 465;
  } else {
    servent result{}, *found = nullptr;
    char buf[1024];
    ::getservbyname_r("smtp", "tcp", &result, buf, sizeof buf, &found);
    port_ = found ? ntohs(static_cast<std::uint16_t>(found->s_port)) : DefaultPort;
  }
  if (host_.empty()) Fail(kMailResolve);
}

std::string TmsSMTP::HelloName() const {
  // A fully qualified host name, else the address literal of our end (RFC 5321 4.1.4).
  char buf[256] = "";
  std::string name;
  if (::gethostname(buf, sizeof buf - 1) == 0) {
    for (const char* p = buf; *p; ++p) {
      if (std::isalnum(static_cast<unsigned char>(*p)) || *p == '.' || *p == '-') name += *p;
    }
  }
  if (name.find('.') != std::string::npos && name.front() != '.' && name.back() != '.') {
    return name;
  }
  Address local = stream_.Local();
  if (local.Family() == AF_INET) return "[" + local.Host() + "]";
  if (local.Family() == AF_INET6) return "[IPv6:" + local.Host() + "]";
  return name.empty() ? host_ : name;
}

void TmsSMTP::Hello() {
  extensions_ = {};
  Reply r = Command("EHLO " + helloName_);
  if (Is2xx(r.code)) {
    extensions_ = ParseEhloReply(r);
    return;
  }
  r = Command("HELO " + helloName_);
  if (Is2xx(r.code)) return;
  r = Command("HELO");
  if (!Is2xx(r.code)) Unexpected(r);
}

void TmsSMTP::Handshake() {
  try {
    if (!tls_) tls_ = MakeTlsContext(CaFile);
    stream_.StartTls(tls_.get(), host_, nullptr, StepWaiter());
  } catch (const NetFailure& f) {
    Rethrow(f);
  }
}

void TmsSMTP::DiscardBeforeHandshake() {
  // Whatever arrives before our side of the handshake was sent in clear, where anyone
  // on the path could have written it: it is no reply of the encrypted dialogue. A
  // server says nothing before the client speaks TLS, so a short wait catches what
  // follows the "220" in a later packet.
  std::size_t discarded = rbuf_.size();
  rbuf_.clear();
  Waiter w;
  w.cancel = &cancel_;
  w.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kInjectionWaitMs);
  char sink[4096];
  try {
    for (;;) {
      std::size_t n = stream_.ReadSome(sink, sizeof sink, w);
      if (n == 0) break;
      discarded += n;
    }
  } catch (const NetFailure& f) {
    if (f.code != kErrTimedOut) Rethrow(f);
  }
  if (discarded > 0) {
    transcript_.Add("(" + std::to_string(discarded) +
                    " bytes sent before the TLS handshake were discarded)");
  }
}

void TmsSMTP::StartTls() {
  if (stream_.IsTls() || Security == SmtpSecurity::None) return;
  if (!extensions_.Has("STARTTLS")) {
    if (Security == SmtpSecurity::StartTls) Fail(kMailNoStartTls);
    return;
  }
  Reply r = Command("STARTTLS");
  if (r.code != 220) {
    if (Security == SmtpSecurity::StartTls) {
      Fail(kMailStartTlsRefused, MailErrorText(kMailStartTlsRefused) + " (" + lastReply_ + ")");
    }
    return;  // Auto: the server may still take the message in clear
  }
  DiscardBeforeHandshake();
  Handshake();
  Hello();
}

void TmsSMTP::Authenticate() {
  bool secure = stream_.IsTls() || (PlainAuthToLoopback && IsLoopback(stream_.Peer()));
  if (!secure) Fail(kMailAuthInClear);
  auto offers = [&](const char* m) { return extensions_.auth.count(m) != 0; };
  Reply r;
  if (offers("PLAIN")) {
    std::string token = Base64(std::string(1, '\0') + User + std::string(1, '\0') + Password);
    r = Command("AUTH PLAIN " + token, "AUTH PLAIN ****");
    if (r.code == 334) r = Command(token, "****");
  } else if (offers("LOGIN")) {
    r = Command("AUTH LOGIN");
    if (r.code == 334) r = Command(Base64(User), "****");
    if (r.code == 334) r = Command(Base64(Password), "****");
  } else {
    Fail(kMailNoAuthMethod);
  }
  if (!Is2xx(r.code)) Unexpected(r);
}

void TmsSMTP::Open() {
  if (Server.empty()) Fail(kMailNoServer);
  ParseServer();
  opened_ = true;
  usable_ = true;
  if (OnOpen) OnOpen();
  try {
    stream_.Connect(host_, port_, StepWaiter());
  } catch (const NetFailure& f) {
    Rethrow(f);
  }
  helloName_ = HelloName();
  if (Security == SmtpSecurity::Tls) Handshake();
  Reply greeting = ReadReply();
  if (!Is2xx(greeting.code)) Unexpected(greeting);
  Hello();
  StartTls();
  if (!User.empty()) Authenticate();
}

void TmsSMTP::Transmit(SpoolFile& content) {
  const std::uint64_t total = content.Size();
  std::uint64_t sent = 0;
  DotStuffer stuffer;
  std::string block(kBlock, '\0'), out;
  char last[2] = {0, 0};
  transcript_.Add("Suppressing the message body");
  // The time-out is for a stalled server: it counts from the last byte that moved.
  const Waiter dataWait = Waiter::Stalled(&cancel_, TimeOut > 0 ? TimeOut : 60);
  for (;;) {
    std::size_t n = content.Read(block.data(), block.size());
    if (n == 0) break;
    if (cancelRequested_) Rethrow(NetFailure(kErrInterrupted, "Interrupted"));
    out.clear();
    stuffer.Apply(std::string_view(block.data(), n), out);
    try {
      stream_.SendAll(out, dataWait);
    } catch (const NetFailure& f) {
      Rethrow(f);
    }
    last[0] = n >= 2 ? block[n - 2] : last[1];
    last[1] = block[n - 1];
    sent += n;
    if (OnProgress) {
      OnProgress(static_cast<int>((sent * 100 + total / 2) / total), static_cast<long long>(sent));
    }
  }
  if (OnProgress) OnProgress(0, 0);
  bool endsWithLine = total == 0 || (last[0] == '\r' && last[1] == '\n');
  transcript_.Add(".");
  try {
    stream_.SendAll(endsWithLine ? ".\r\n" : "\r\n.\r\n", dataWait);
    // The wait for the server's word starts when it has the whole message, not while
    // the system still hands it what we wrote.
    stream_.Drain(dataWait);
  } catch (const NetFailure& f) {
    Rethrow(f);
  }
}

void TmsSMTP::Quit() {
  if (!stream_.IsOpen() || !usable_) return;
  // The outcome is decided; a server that answers QUIT badly or not at all changes
  // nothing (a delivered message must not count as failed).
  try {
    Waiter w = StepWaiter(std::min(TimeOut > 0 ? TimeOut : 60, kQuitSeconds));
    transcript_.Add("QUIT");
    stream_.SendAll("QUIT\r\n", w);
    Reply r;
    ReadSmtpReply(stream_, w, rbuf_, r, [this](const std::string& l) { transcript_.Add(l); });
  } catch (const std::exception&) {
  }
}

void TmsSMTP::EndConnection() {
  if (!opened_) return;
  opened_ = false;
  if (OnClosing) OnClosing();
  stream_.Close();
  rbuf_.clear();
  if (OnClosed) OnClosed();
}

void TmsSMTP::FinishTranscript() {
  std::string path = LogFileName;
  if (path.empty() || path == kLegacyLogFileName) path = DefaultLogFileName;
  if (path.empty()) return;
  try {
    transcript_.WriteTo(path);
  } catch (const std::exception& e) {
    transcriptError_ = e.what();
  }
}

void TmsSMTP::Send() {
  struct Busy {
    std::atomic<bool>& flag;
    ~Busy() { flag = false; }
  } busy{busy_};
  busy_ = true;
  cancelRequested_ = false;
  cancel_.Reset();
  transcript_.Clear();
  transcript_.ClearSecrets();
  transcript_.AddSecret(Password);
  transcript_.AddSecret(Base64(Password));
  transcript_.AddSecret(Base64(std::string(1, '\0') + User + std::string(1, '\0') + Password));
  transcriptError_.clear();
  lastReply_.clear();
  contentSent_ = false;
  connectionTried_ = false;
  try {
    CheckMessage();
    connectionTried_ = true;
    Open();
    if (OnPrepare) OnPrepare();
    SpoolFile content;
    ComposeOptions options = Compose;
    if (options.hostName.empty()) options.hostName = helloName_;
    options.checkpoint = [this] {
      if (cancelRequested_) throw NetFailure(kErrInterrupted, "Interrupted");
    };
    try {
      TmsMessageEncoder(*MailMessage, options).Encode(content);
      content.Rewind();
    } catch (const NetFailure& f) {
      Rethrow(f);
    }
    if (OnSending) OnSending();
    // SIZE (RFC 1870) lets a server refuse a message too large before it is sent.
    std::string size =
        extensions_.Has("SIZE") ? " SIZE=" + std::to_string(content.Size()) : std::string();
    Reply r = Command("MAIL FROM:<" + MailMessage->Sender.Address + ">" + size);
    if (!Is2xx(r.code)) Unexpected(r);
    std::vector<std::string> to = EnvelopeRecipients;
    if (to.empty()) {
      for (const auto* list : {&MailMessage->Recipients, &MailMessage->CC, &MailMessage->BCC}) {
        for (const auto& a : *list) to.push_back(a.Address);
      }
    }
    for (const auto& address : to) {
      if (address.empty()) continue;
      r = Command("RCPT TO:<" + address + ">");
      if (Is2xx(r.code)) continue;
      bool proceed = false;
      if (OnAddressRejected) OnAddressRejected(address, lastReply_, proceed);
      if (!proceed) Unexpected(r);
    }
    if (OnBeforeData && !OnBeforeData()) Rethrow(NetFailure(kErrInterrupted, "Interrupted"));
    r = Command("DATA");
    if (r.code < 300 || r.code >= 400) Unexpected(r);
    contentSent_ = true;
    Transmit(content);
    r = ReadReply(std::max(TimeOut, kFinalReplySeconds));
    if (!Is2xx(r.code)) Unexpected(r);
    if (OnMailSent) OnMailSent();
  } catch (...) {
    Quit();
    EndConnection();
    FinishTranscript();
    throw;
  }
  Quit();
  EndConnection();
  FinishTranscript();
}

}  // namespace vendrix
