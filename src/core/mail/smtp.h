#pragma once
// TmsSMTP: sends one TmsMessage per Send over one SMTP connection (RFC 5321): EHLO
// (HELO as the fallback), STARTTLS or TLS from the first byte as Security says, AUTH
// PLAIN or LOGIN when User is set, MAIL, RCPT, DATA with the content streamed from a
// composed temporary file, QUIT.
//
// Threads: Send blocks its caller (run it on a worker thread in a GUI); the events
// fire on that thread. Cancel may be called from any thread and ends a waiting Send
// at once with ECanceledError. Every wait ends after TimeOut seconds (the reply to
// the final "." waits at least 10 minutes), however much the server talks; the
// message itself is given up only when none of it has moved for TimeOut seconds, so
// that a server reading slowly but steadily takes it whole.
//
// Failures raise the exception kinds of mail_error.h. Socket and component errors
// fire OnError first (its handler may change the text); server replies that are not
// the expected ones raise EServerError with the reply line; message checks raise
// EMessageError before anything goes out. The connection is ended (QUIT when it can
// still be used, OnClosing, OnClosed) on every path.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mail/composer.h"
#include "mail/message.h"
#include "mail/smtp_reply.h"
#include "mail/transcript.h"
#include "net/cancel_token.h"
#include "net/stream.h"

namespace vendrix {

enum class SmtpSecurity {
  Auto,      // STARTTLS when the server offers it
  StartTls,  // STARTTLS required: no offer or a failed handshake fails the send
  Tls,       // TLS from the first byte (port 465 when the server names none)
  None
};
// "Auto", "STARTTLS", "TLS", "None" (read without regard to case; anything else: Auto).
SmtpSecurity ParseSmtpSecurity(const std::string& text);

// The transcript file name the program used to write, which means nothing here.
inline constexpr const char* kLegacyLogFileName = "c:\\smlogfile.txt";

class TmsSMTP {
 public:
  TmsSMTP();
  ~TmsSMTP();
  TmsSMTP(const TmsSMTP&) = delete;
  TmsSMTP& operator=(const TmsSMTP&) = delete;

  // "host", "host:port", "[v6]:port" or a bare IPv6 address.
  std::string Server;
  std::uint16_t DefaultPort = 25;
  int TimeOut = 60;  // seconds, for each network step
  SmtpSecurity Security = SmtpSecurity::Auto;
  std::string User, Password;  // empty User: no AUTH
  std::string CaFile;          // extra trusted certificates (PEM) besides the system's
  // AUTH needs TLS, except to a loopback address (a local relay) while this is true.
  bool PlainAuthToLoopback = true;
  // Where the transcript is written after each Send: LogFileName, unless it is empty
  // or the old "c:\smlogfile.txt", then DefaultLogFileName (the data tree's
  // "smtp.log", set by the owner); nothing when both are empty.
  std::string LogFileName;
  std::string DefaultLogFileName;
  TmsMessage* MailMessage = nullptr;
  // When not empty, the envelope goes to these instead of the message's addresses.
  std::vector<std::string> EnvelopeRecipients;

  std::function<void()> OnOpen, OnClosing, OnClosed, OnCancel, OnPrepare, OnSending, OnMailSent;
  std::function<void(std::string& msg)> OnError;
  std::function<void(int perc, long long transferred)> OnProgress;
  // Runs just before DATA is sent (every recipient accepted); false stops the send
  // (Interrupted) with no part of the message written.
  std::function<bool()> OnBeforeData;
  std::function<void(const std::string& address, const std::string& reply, bool& proceed)>
      OnAddressRejected;

  void Send();
  void Cancel();  // any thread

  bool Connected() const { return stream_.IsOpen(); }
  const std::string& LastReply() const { return lastReply_; }
  // Whether the last Send began to stream the message after DATA: from then on the
  // server may have it.
  bool ContentSent() const { return contentSent_; }
  // Whether the last Send got as far as opening a connection (a message refused before,
  // for an address or a line it cannot carry, never did).
  bool ConnectionTried() const { return connectionTried_; }
  const SmtpTranscript& Transcript() const { return transcript_; }
  // The text of a failure to write the transcript file after the last Send, if any.
  const std::string& TranscriptError() const { return transcriptError_; }
  // For tests: the composer's options (date, boundary source).
  ComposeOptions Compose;

 private:
  using Reply = SmtpReply;
  void CheckMessage() const;
  void ParseServer();
  std::string HelloName() const;
  void Open();
  void Hello();
  void Handshake();
  void StartTls();
  void DiscardBeforeHandshake();
  void Authenticate();
  void Transmit(SpoolFile& content);
  void Quit();
  void EndConnection();
  void FinishTranscript();

  Waiter StepWaiter(int seconds = 0) const;
  void SendLine(const std::string& line, const std::string& logged = "");
  Reply ReadReply(int seconds = 0);
  Reply Command(const std::string& line, const std::string& logged = "");
  [[noreturn]] void Unexpected(const Reply& r);
  [[noreturn]] void Fail(int code, const std::string& text = "");
  [[noreturn]] void Rethrow(const NetFailure& f);

  std::string host_;  // the host part of Server
  std::uint16_t port_ = 0;
  std::string helloName_;
  SmtpExtensions extensions_;
  Stream stream_;
  std::string rbuf_;  // received bytes not yet read as lines
  std::shared_ptr<SSL_CTX> tls_;
  CancelToken cancel_;
  std::atomic<bool> busy_{false};
  std::atomic<bool> cancelRequested_{false};
  bool opened_ = false;  // OnOpen fired, OnClosed not yet
  bool usable_ = false;  // the dialogue is in step: QUIT can still be sent
  std::string lastReply_;
  std::atomic<bool> contentSent_{false};
  bool connectionTried_ = false;
  SmtpTranscript transcript_;
  std::string transcriptError_;
};

}  // namespace vendrix
