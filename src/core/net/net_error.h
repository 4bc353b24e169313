#pragma once
// Errors of the network clients: a numeric code and a description; the message is
// the code, ": " and the description ("151: 302 Found", "10061: Connection refused").
#include <string>

#include "base/error.h"
#include "base/error_codes.h"

namespace vendrix {

class ENetBase : public VendrixError {
 public:
  ENetBase(int code, const std::string& description)
      : VendrixError(std::to_string(code) + ": " + description),
        ErrorCode(code),
        Description(description) {}
  int ErrorCode;
  std::string Description;
};

class EHttpClient : public ENetBase {
 public:
  using ENetBase::ENetBase;
};

class EFtpClient : public ENetBase {
 public:
  using ENetBase::ENetBase;
};

// Codes shared by the clients (named in base/error_codes.h).
inline constexpr int kErrInterrupted = code::kInterrupted;
inline constexpr int kErrFileOpen = code::kFileOpen;
inline constexpr int kErrTimedOut = code::kTimedOut;
inline constexpr int kErrTlsHandshake = code::kTlsHandshake;
inline constexpr int kErrCertificate = code::kCertificate;
inline constexpr int kErrUnsafeText = code::kUnsafeText;
inline constexpr int kErrReset = code::kConnectionReset;

// The description of a reply that ended early: the connection closed in order (not
// reset) before the reply's head, its promised length or its last chunk arrived.
inline constexpr const char* kClosedEarlyText =
    "the server closed the connection before the reply was complete";

// The description of a socket error code ("Connection refused" for 10061), or
// "(no description available)".
std::string SocketErrorText(int code);
// The socket error code of a system errno value (ECONNREFUSED -> 10061).
int SocketCodeOfErrno(int err);

}  // namespace vendrix
