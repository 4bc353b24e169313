#pragma once
// Errors of the mail client. Every failure of TmsSMTP is one of these exception kinds;
// each carries the numeric code it was raised for (0 for a server reply) and shows its
// text as it stands ("[10061] Connection refused", "550 5.1.1 No such user").
// The texts of the client's own codes are named here once.
#include <string>

#include "base/error.h"
#include "base/error_codes.h"

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

// The client's own codes (named in base/error_codes.h).
using code::kMailAttachmentRead;
using code::kMailAuthInClear;
using code::kMailBadPort;
using code::kMailBadWinsock;
using code::kMailCanceled;
using code::kMailComposeWrite;
using code::kMailConnectionClosed;
using code::kMailNoAuthMethod;
using code::kMailNoMessage;
using code::kMailNoRecipient;
using code::kMailNoSender;
using code::kMailNoServer;
using code::kMailNoService;
using code::kMailNoStartTls;
using code::kMailNotConnected;
using code::kMailPreamble;
using code::kMailReplyTooLong;
using code::kMailResolve;
using code::kMailStartTlsRefused;
using code::kMailTimedOut;
using code::kMailUnsafeText;

// The text of a code: the client's own message, or "[code] description" for a socket
// error (10000 reads "[0] No Error"), or "Error #code" when the code has no text.
std::string MailErrorText(int code);

}  // namespace vendrix
