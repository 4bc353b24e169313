#pragma once
// One TCP connection, optionally over TLS, with blocking calls that end at once on
// cancellation and at a deadline. Failures throw NetFailure with the socket error
// codes the clients report (10061 "Connection refused", 11001 "Host not found", ...).
//
// What a protocol client gets from this layer, whatever the peer does:
// - No signal: every write, TLS included, goes through send(..., MSG_NOSIGNAL); a
//   write to a closed connection throws NetFailure 10054 (EPIPE, ECONNRESET).
// - Honest ends: ReadSome and ReadLine return the end of the stream only when the
//   peer closed in order (TCP FIN, or TLS close_notify). A reset or a TLS error
//   throws 10054. A TLS peer that closed the TCP connection without close_notify
//   also ends the stream, and EndedWithoutCloseNotify() tells so: a client that
//   cannot check the length of what it received must treat that as truncation.
// - Deadlines a talkative peer cannot stretch: every read and write checks the
//   Waiter's deadline and cancel token first, not only when it would block.
//   A client makes one Waiter per exchange (Waiter::For(&cancel, seconds) when the
//   command goes out) and passes the same Waiter to every read of that reply, so
//   a peer that trickles lines or preliminary replies runs into the same deadline.
//   A transfer of file data takes a Waiter::Stalled instead: its deadline restarts
//   whenever bytes move either way, our bytes that the system still hands to the peer
//   from its queue included, so a slow but steady reader is never cut off (not even
//   while a full send queue keeps the socket unwritable for longer than the time-out)
//   and a stalled one is given up after the same number of seconds.
// - Bounded lines: ReadLine returns TooLong for a line longer than maxLength bytes
//   however the bytes arrive, so the buffer never grows past maxLength plus one
//   receive block.
// - Protocol text: IsProtocolSafe / RequireProtocolSafe refuse CR, LF and NUL in any
//   value before it becomes part of a command or header line.
//
// A Stream is used by one thread at a time; CancelToken::Cancel may come from any.
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "net/cancel_token.h"
#include "net/socket_bio.h"

namespace vendrix {

struct NetFailure : std::runtime_error {
  NetFailure(int c, const std::string& text) : std::runtime_error(text), code(c) {}
  int code;
};

// How a wait ends besides its own condition.
struct Waiter {
  const CancelToken* cancel = nullptr;
  // Mutable: the Stream moves a Stalled waiter's deadline as bytes move.
  mutable std::chrono::steady_clock::time_point deadline =
      std::chrono::steady_clock::time_point::max();
  std::chrono::seconds restart{0};  // Stalled: the deadline's distance from the last move
  // A second token, the owner's (a Skip or Cancel of the whole job): a client clears
  // its own token when an action starts, never this one, so a stop that came just
  // before the action still ends it.
  const CancelToken* stop = nullptr;

  static Waiter For(const CancelToken* cancel, int timeoutSeconds,
                    const CancelToken* stop = nullptr);
  // A deadline timeoutSeconds after the last byte that moved (0: none).
  static Waiter Stalled(const CancelToken* cancel, int timeoutSeconds,
                        const CancelToken* stop = nullptr);
  // Bytes moved: a Stalled waiter starts its count again; any other keeps its deadline.
  void Moved() const;
  // Blocks until fd is ready for events, in one sleep on fd and both tokens that
  // ends at the deadline; throws NetFailure 301 "Interrupted" or 10060 "Connection
  // timed out".
  void Wait(int fd, short events) const;
  // Whether either token is raised.
  bool Cancelled() const;
  // The milliseconds to the deadline for poll (-1: none), at least 0.
  int PollTimeout() const;
  // Throws as Wait would when the token is cancelled or the deadline has passed.
  void Check() const;
};

// Whether text can become part of one protocol line: it holds no CR, LF or NUL.
bool IsProtocolSafe(std::string_view text);
// Throws NetFailure kErrUnsafeText "<what> holds a CR, LF or NUL character." unless
// IsProtocolSafe(text).
void RequireProtocolSafe(std::string_view text, const std::string& what);

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

  // Resolves host (a numeric address is used as it stands) and connects to the first
  // of its addresses that answers, all within w (net/resolver.h, net/connector.h):
  // neither a stuck name server nor an address that never answers outlasts w's
  // deadline or cancel token.
  void Connect(const std::string& host, std::uint16_t port, const Waiter& w);
  void Connect(const Address& address, const Waiter& w);
  void Adopt(int fd);
  // Starts TLS as the client; serverName is checked against the certificate (a
  // bracketed IPv6 literal is taken without its brackets; IP literals get no SNI).
  void StartTls(SSL_CTX* ctx, const std::string& serverName, SSL_SESSION* reuse, const Waiter& w);
  SSL_SESSION* TlsSession() const { return ssl_ ? SSL_get_session(ssl_) : nullptr; }
  bool IsTls() const { return ssl_ != nullptr; }
  bool IsOpen() const { return fd_ >= 0; }

  void SendAll(const char* data, std::size_t size, const Waiter& w);
  void SendAll(const std::string& s, const Waiter& w) { SendAll(s.data(), s.size(), w); }
  // Sends the file fileFd from offset to its end, calling onSent with the running
  // count after each 64 KiB piece read and sent. Returns false when reading the file
  // failed (errno tells why); socket failures throw as SendAll does.
  bool SendFile(int fileFd, long long offset, const Waiter& w,
                const std::function<void(long long)>& onSent);
  // Sends bytes as urgent data (plain connections only).
  void SendUrgent(const std::string& bytes);
  // Reads what is there (buffered line data first); 0 at the end of the stream.
  // Throws 10054 when the connection was reset or TLS failed.
  std::size_t ReadSome(char* buf, std::size_t size, const Waiter& w);

  enum class LineResult { Line, End, TooLong };
  // A line ends at CR LF, a lone LF or a lone CR; the ending is not returned. A
  // line longer than maxLength gives TooLong (the stream is then of no further use
  // for lines); an unterminated last line before the end is returned as a Line.
  LineResult ReadLine(std::string& line, std::size_t maxLength, const Waiter& w);
  // After the end of a TLS stream: true when the peer closed without close_notify.
  bool EndedWithoutCloseNotify() const { return uncleanEnd_; }

  // Waits until the system has handed the peer every byte written (it holds none of
  // them), or the peer has something to read or closed; with a Stalled waiter the
  // bytes that leave meanwhile count as movement. A wait for a reply that begins
  // after it counts its time from when the peer had everything.
  void Drain(const Waiter& w);

  // Ends TLS politely (when open) and closes.
  void Close();
  // Ends a sending connection so that every byte arrives: TLS close_notify, then the
  // write side shut, then what the peer still sends is read until it closes. Throws
  // (and closes) when the peer had closed before our end or reset (10054), or does
  // not close by the deadline (10060): it cannot be known to have taken everything.
  void Finish(const Waiter& w);
  Address Peer() const;
  Address Local() const;

 private:
  std::size_t RawRead(char* buf, std::size_t size, const Waiter& w);
  // Waits as a TLS call that returned rc asks (read or write readiness); false when
  // rc is no such request.
  bool WaitForTls(int rc, const Waiter& w);
  // Waits until the socket is ready for events; with a Stalled waiter the bytes of
  // ours that the system still hands to the peer count as movement. untilSent: also
  // returns once the system holds none of them.
  void WaitMoving(const Waiter& w, short events, bool untilSent = false);
  // Throws for the failure of a TLS call that asked for no wait.
  [[noreturn]] void ThrowTls(int rc, const char* what);
  int fd_ = -1;
  SSL* ssl_ = nullptr;
  TlsSocketState socket_;             // what the socket under TLS saw
  unsigned long long movedSeen_ = 0;  // socket_.moved when the waiter last heard of it
  std::string buffer_;
  bool eof_ = false;
  bool uncleanEnd_ = false;
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
