#pragma once
// Errors of the mail client. Every failure of TmsSMTP is one of these exception kinds;
// each carries the numeric code it was raised for (0 for a server reply) and shows its
// text as it stands ("[10061] Connection refused", "550 5.1.1 No such user").
// The texts of the client's own codes are named here once.
#include <string>

#include "base/error.h"

namespace vendrix {

class EMailError : public VendrixError {
 public:
  EMailError(int code, const std::string& text) : VendrixError(text), ErrorCode(code) {}
  int ErrorCode;
};

// Socket and component errors (after OnError has had its say).
class ESocketError : public EMailError {
 public:
  using EMailError::EMailError;
};
// The server's reply was not the expected one; the text is its last reply line.
class EServerError : public EMailError {
 public:
  explicit EServerError(const std::string& replyLine) : EMailError(0, replyLine) {}
};
class ETimedOutError : public EMailError {
 public:
  using EMailError::EMailError;
};
class ECanceledError : public EMailError {
 public:
  using EMailError::EMailError;
};
// The message is incomplete or cannot be composed.
class EMessageError : public EMailError {
 public:
  using EMailError::EMailError;
};

// The client's own codes.
inline constexpr int kMailTimedOut = 57000;      // "Operation timed out"
inline constexpr int kMailCanceled = 57001;      // "Operation has been canceled"
inline constexpr int kMailNoServer = 57002;      // "Server property is required"
inline constexpr int kMailBadWinsock = 57003;    // "Invalid Winsock version"
inline constexpr int kMailResolve = 57004;       // "Error resolving remote host"
inline constexpr int kMailNoService = 57005;     // "Service name is required"
inline constexpr int kMailNotConnected = 57008;  // "You have to connect to the server first"
inline constexpr int kMailNoSender = 57100;      // "The address of sender is required"
inline constexpr int kMailNoRecipient = 57101;   // "At least one Recipient, CC or BCC ..."
inline constexpr int kMailNoMessage = 57102;     // "MailMessage property must be assigned"
inline constexpr int kMailPreamble = 57106;      // "This is a multipart message in MIME format"
// Codes of what a mail server of today needs besides.
inline constexpr int kMailUnsafeText = 57110;        // a CR, LF or NUL in a protocol value
inline constexpr int kMailAttachmentRead = 57111;    // an attachment cannot be read
inline constexpr int kMailComposeWrite = 57112;      // the temporary message file failed
inline constexpr int kMailBadPort = 57113;           // the port after ":" is no port number
inline constexpr int kMailNoStartTls = 57120;        // STARTTLS required, not offered
inline constexpr int kMailStartTlsRefused = 57121;   // STARTTLS required, refused
inline constexpr int kMailAuthInClear = 57122;       // AUTH over plain TCP to another host
inline constexpr int kMailNoAuthMethod = 57123;      // no PLAIN or LOGIN offered
inline constexpr int kMailReplyTooLong = 57124;      // reply over 100 lines or 1024 characters
inline constexpr int kMailConnectionClosed = 57125;  // the server closed mid-dialogue

// The text of a code: the client's own message, or "[code] description" for a socket
// error (10000 reads "[0] No Error"), or "Error #code" when the code has no text.
std::string MailErrorText(int code);

}  // namespace vendrix
