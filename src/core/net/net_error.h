#pragma once
// Errors of the network clients: a numeric code and a description; the message is
// the code, ": " and the description ("151: 302 Found", "10061: Connection refused").
#include <string>

#include "base/error.h"

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

// Codes shared by the clients.
inline constexpr int kErrInterrupted = 301;   // "Interrupted"
inline constexpr int kErrFileOpen = 302;      // "Can't open file for reading/writing."
inline constexpr int kErrTimedOut = 10060;    // "Connection timed out"
inline constexpr int kErrTlsHandshake = 160;  // "TLS handshake failed: ..."
inline constexpr int kErrCertificate = 161;   // "Certificate verify failed: ..."

// The description of a socket error code ("Connection refused" for 10061), or
// "(no description available)".
std::string SocketErrorText(int code);
// The socket error code of a system errno value (ECONNREFUSED -> 10061).
int SocketCodeOfErrno(int err);
// "[code] description." for failures without a text of their own.
std::string DescribeCode(int code);

}  // namespace vendrix
