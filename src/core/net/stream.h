#pragma once
// One TCP connection, optionally over TLS, with blocking calls that end at once on
// cancellation and at a deadline. Failures throw NetFailure with the socket error
// codes the clients report (10061 "Connection refused", 11001 "Host not found", ...).
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "net/cancel_token.h"

namespace vendrix {

struct NetFailure : std::runtime_error {
  NetFailure(int c, const std::string& text) : std::runtime_error(text), code(c) {}
  int code;
};

// How a wait ends besides its own condition.
struct Waiter {
  const CancelToken* cancel = nullptr;
  std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
  std::function<void()> idle;  // runs between polls when set

  static Waiter For(const CancelToken* cancel, int timeoutSeconds, std::function<void()> idle = {});
  // Blocks until fd is ready for events; throws NetFailure 301 "Interrupted" or
  // 10060 "Connection timed out".
  void Wait(int fd, short events) const;
};

struct Address {
  sockaddr_storage storage{};
  socklen_t length = 0;
  int Family() const { return storage.ss_family; }
  std::uint16_t Port() const;
  void SetPort(std::uint16_t port);
  std::string Host() const;  // numeric form
};

// A client TLS context: the system's certificate store (plus caFile when given),
// TLS 1.2 or later.
std::shared_ptr<SSL_CTX> MakeTlsContext(const std::string& caFile);

class Stream {
 public:
  Stream() = default;
  ~Stream();
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  // Resolves host (a numeric address is used as it stands) and connects.
  void Connect(const std::string& host, std::uint16_t port, const Waiter& w);
  void Connect(const Address& address, const Waiter& w);
  void Adopt(int fd);
  // Starts TLS as the client; serverName is checked against the certificate.
  void StartTls(SSL_CTX* ctx, const std::string& serverName, SSL_SESSION* reuse, const Waiter& w);
  SSL_SESSION* TlsSession() const { return ssl_ ? SSL_get_session(ssl_) : nullptr; }
  bool IsTls() const { return ssl_ != nullptr; }
  bool IsOpen() const { return fd_ >= 0; }

  void SendAll(const char* data, std::size_t size, const Waiter& w);
  void SendAll(const std::string& s, const Waiter& w) { SendAll(s.data(), s.size(), w); }
  // Sends bytes as urgent data (plain connections only).
  void SendUrgent(const std::string& bytes);
  // Reads what is there (buffered line data first); 0 at the end of the stream.
  std::size_t ReadSome(char* buf, std::size_t size, const Waiter& w);

  enum class LineResult { Line, End, TooLong };
  // A line ends at CR LF, a lone LF or a lone CR; the ending is not returned.
  LineResult ReadLine(std::string& line, std::size_t maxLength, const Waiter& w);

  // Ends TLS politely (when open) and closes.
  void Close();
  // Ends a sending connection so that every byte arrives: TLS close_notify, then the
  // write side shut, then what the peer still sends is read until it closes.
  void Finish(const Waiter& w);
  Address Peer() const;
  Address Local() const;

 private:
  std::size_t RawRead(char* buf, std::size_t size, const Waiter& w);
  // Waits as a TLS call that returned rc asks (read or write readiness); false when
  // rc is no such request.
  bool WaitForTls(int rc, const Waiter& w);
  int fd_ = -1;
  SSL* ssl_ = nullptr;
  std::string buffer_;
  bool eof_ = false;
};

// A listening socket for an active-mode data connection.
class Listener {
 public:
  ~Listener();
  // Listens on the given local address with a port the system chooses.
  Address Listen(Address local);
  int Accept(const Waiter& w);
  void Close();

 private:
  int fd_ = -1;
};

}  // namespace vendrix
