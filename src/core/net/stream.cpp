#include "net/stream.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>

#include "net/connector.h"
#include "net/net_error.h"
#include "net/resolver.h"
#include "net/socket_bio.h"
#include "net/system_trust.h"

namespace vendrix {
namespace {

// How often a wait with a Stalled waiter looks whether our queued bytes still leave.
constexpr std::chrono::milliseconds kDrainCheck{250};
// The piece of a file read and sent at a time, as curl does. Larger pieces made uploads
// to a slow reader slower. sendfile was slower too: it spares our CPU, but a reader on
// the same machine took the file's pages more slowly than written bytes.
constexpr std::size_t kFileBlock = 64 * 1024;

[[noreturn]] void ThrowErrno(int err) {
  int code = SocketCodeOfErrno(err);
  throw NetFailure(code, SocketErrorText(code));
}

void SetNonBlocking(int fd) {
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

std::string TlsErrorText() {
  unsigned long e = ERR_get_error();
  char buf[256] = "unknown error";
  if (e) ERR_error_string_n(e, buf, sizeof buf);
  ERR_clear_error();
  return buf;
}

bool IsIpLiteral(const std::string& host) {
  in6_addr a6;
  in_addr a4;
  return ::inet_pton(AF_INET, host.c_str(), &a4) == 1 ||
         ::inet_pton(AF_INET6, host.c_str(), &a6) == 1;
}

std::string Unbracketed(const std::string& host) {
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
    return host.substr(1, host.size() - 2);
  }
  return host;
}

}  // namespace

bool IsProtocolSafe(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

void RequireProtocolSafe(std::string_view text, const std::string& what) {
  if (!IsProtocolSafe(text)) {
    throw NetFailure(kErrUnsafeText, what + " holds a CR, LF or NUL character.");
  }
}

bool Stream::WaitForTls(int rc, const Waiter& w) {
  int e = SSL_get_error(ssl_, rc);
  // Part of a record may have moved before the call asked to wait.
  if (socket_.moved != movedSeen_) {
    movedSeen_ = socket_.moved;
    w.Moved();
  }
  if (e == SSL_ERROR_WANT_READ) {
    w.Wait(fd_, POLLIN);
  } else if (e == SSL_ERROR_WANT_WRITE) {
    WaitMoving(w, POLLOUT);
  } else {
    return false;
  }
  return true;
}

Waiter Waiter::For(const CancelToken* cancel, int timeoutSeconds, const CancelToken* stop) {
  Waiter w;
  w.cancel = cancel;
  w.stop = stop;
  if (timeoutSeconds > 0) {
    w.deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  }
  return w;
}

Waiter Waiter::Stalled(const CancelToken* cancel, int timeoutSeconds, const CancelToken* stop) {
  Waiter w = For(cancel, timeoutSeconds, stop);
  if (timeoutSeconds > 0) w.restart = std::chrono::seconds(timeoutSeconds);
  return w;
}

void Waiter::Moved() const {
  if (restart.count() > 0) deadline = std::chrono::steady_clock::now() + restart;
}

bool Waiter::Cancelled() const {
  return (cancel && cancel->IsCancelled()) || (stop && stop->IsCancelled());
}

void Waiter::Check() const {
  if (Cancelled()) throw NetFailure(kErrInterrupted, "Interrupted");
  if (std::chrono::steady_clock::now() >= deadline) {
    throw NetFailure(kErrTimedOut, SocketErrorText(kErrTimedOut));
  }
}

int Waiter::PollTimeout() const {
  if (deadline == std::chrono::steady_clock::time_point::max()) return -1;
  const auto left = deadline - std::chrono::steady_clock::now();
  // Rounded up, so that a wait never wakes just short of its deadline to sleep again.
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return static_cast<int>(std::clamp<long long>(ms, 0, INT_MAX));
}

void Waiter::Wait(int fd, short events) const {
  for (;;) {
    pollfd fds[3] = {{fd, events, 0}, {-1, POLLIN, 0}, {-1, POLLIN, 0}};
    nfds_t n = 1;
    if (cancel) fds[n++].fd = cancel->Fd();
    if (stop) fds[n++].fd = stop->Fd();
    if (std::chrono::steady_clock::now() >= deadline) {
      throw NetFailure(kErrTimedOut, SocketErrorText(kErrTimedOut));
    }
    const int ready = ::poll(fds, n, PollTimeout());
    if (ready < 0) {
      if (errno == EINTR) continue;
      ThrowErrno(errno);
    }
    for (nfds_t k = 1; k < n; ++k) {
      if (fds[k].revents & POLLIN) throw NetFailure(kErrInterrupted, "Interrupted");
    }
    if (fds[0].revents) return;
    // Nothing ready: the deadline has come (checked at the top).
  }
}

std::uint16_t Address::Port() const {
  if (Family() == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in&>(storage).sin_port);
  return ntohs(reinterpret_cast<const sockaddr_in6&>(storage).sin6_port);
}

void Address::SetPort(std::uint16_t port) {
  if (Family() == AF_INET) {
    reinterpret_cast<sockaddr_in&>(storage).sin_port = htons(port);
  } else {
    reinterpret_cast<sockaddr_in6&>(storage).sin6_port = htons(port);
  }
}

std::string Address::Host() const {
  char buf[INET6_ADDRSTRLEN] = "";
  if (Family() == AF_INET) {
    ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(storage).sin_addr, buf, sizeof buf);
  } else {
    ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(storage).sin6_addr, buf,
                sizeof buf);
  }
  return buf;
}

std::shared_ptr<SSL_CTX> MakeTlsContext(const std::string& caFile) {
  SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
  if (!ctx) throw NetFailure(kErrTlsHandshake, "TLS handshake failed: " + TlsErrorText());
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
  AddSystemTrust(ctx);
  SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_CLIENT);
  if (!caFile.empty() && SSL_CTX_load_verify_locations(ctx, caFile.c_str(), nullptr) != 1) {
    SSL_CTX_free(ctx);
    throw NetFailure(kErrCertificate, "Certificate verify failed: cannot read " + caFile);
  }
  return std::shared_ptr<SSL_CTX>(ctx, SSL_CTX_free);
}

Stream::~Stream() {
  Close();
}

void Stream::Connect(const std::string& host, std::uint16_t port, const Waiter& w) {
  if (port == 0) {
    throw NetFailure(code::kPortZero,
                     "RemotePort can't be zero. Please specify a valid service port number.");
  }
  if (host == "0.0.0.0")
    throw NetFailure(code::kHostInvalid, "The RemoteHost address is invalid (0.0.0.0).");
  Close();
  Adopt(ConnectFirst(ResolveHost(host, port, w), w));
}

void Stream::Connect(const Address& address, const Waiter& w) {
  Close();
  Adopt(ConnectFirst({address}, w));
}

void Stream::Adopt(int fd) {
  Close();
  fd_ = fd;
  SetNonBlocking(fd_);
  int one = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  eof_ = false;
  uncleanEnd_ = false;
  socket_ = TlsSocketState{fd_, 0, false, 0};
  movedSeen_ = 0;
  buffer_.clear();
}

void Stream::ThrowTls(int rc, const char* what) {
  int e = SSL_get_error(ssl_, rc);
  if (socket_.error != 0) {
    ERR_clear_error();
    ThrowErrno(socket_.error);
  }
  if (e == SSL_ERROR_SYSCALL && socket_.end) {
    ERR_clear_error();
    throw NetFailure(kErrReset, SocketErrorText(kErrReset));
  }
  throw NetFailure(kErrReset, std::string(what) + TlsErrorText());
}

void Stream::StartTls(SSL_CTX* ctx, const std::string& serverName, SSL_SESSION* reuse,
                      const Waiter& w) {
  ERR_clear_error();
  ssl_ = SSL_new(ctx);
  BIO* bio = ssl_ ? NewSocketBio(&socket_) : nullptr;
  if (!bio) {
    if (ssl_) SSL_free(ssl_);
    ssl_ = nullptr;
    throw NetFailure(kErrTlsHandshake, "TLS handshake failed: " + TlsErrorText());
  }
  SSL_set_bio(ssl_, bio, bio);
  const std::string name = Unbracketed(serverName);
  if (IsIpLiteral(name)) {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), name.c_str());
  } else {
    SSL_set_tlsext_host_name(ssl_, name.c_str());
    SSL_set1_host(ssl_, name.c_str());
  }
  if (reuse) SSL_set_session(ssl_, reuse);
  // Records are read from the socket in large pieces rather than header and body apart.
  SSL_set_read_ahead(ssl_, 1);
  SSL_set_default_read_buffer_len(ssl_, 64 * 1024);
  for (;;) {
    w.Check();
    int rc = SSL_connect(ssl_);
    if (rc == 1) return;
    if (!WaitForTls(rc, w)) {
      long verify = SSL_get_verify_result(ssl_);
      std::string text =
          verify != X509_V_OK
              ? "Certificate verify failed: " + std::string(X509_verify_cert_error_string(verify))
              : "TLS handshake failed: " + TlsErrorText();
      int code = verify != X509_V_OK ? kErrCertificate : kErrTlsHandshake;
      SSL_free(ssl_);
      ssl_ = nullptr;
      throw NetFailure(code, text);
    }
  }
}

void Stream::SendAll(const char* data, std::size_t size, const Waiter& w) {
  if (fd_ < 0) throw NetFailure(code::kNotConnected, SocketErrorText(code::kNotConnected));
  std::size_t off = 0;
  while (off < size) {
    w.Check();
    if (ssl_) {
      ERR_clear_error();
      int rc =
          SSL_write(ssl_, data + off, static_cast<int>(std::min<std::size_t>(size - off, 1 << 20)));
      if (rc > 0) {
        off += static_cast<std::size_t>(rc);
        w.Moved();
        continue;
      }
      if (!WaitForTls(rc, w)) ThrowTls(rc, "TLS error: ");
      continue;
    }
    ssize_t n = ::send(fd_, data + off, size - off, MSG_NOSIGNAL);
    if (n >= 0) {
      off += static_cast<std::size_t>(n);
      w.Moved();
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      WaitMoving(w, POLLOUT);
    } else if (errno != EINTR) {
      ThrowErrno(errno);
    }
  }
}

bool Stream::SendFile(int fileFd, long long offset, const Waiter& w,
                      const std::function<void(long long)>& onSent) {
  if (fd_ < 0) throw NetFailure(10057, SocketErrorText(10057));
  long long total = 0;
  std::unique_ptr<char[]> block(new char[kFileBlock]);
  for (;;) {
    w.Check();
    ssize_t n = ::pread(fileFd, block.get(), kFileBlock, static_cast<off_t>(offset + total));
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    SendAll(block.get(), static_cast<std::size_t>(n), w);
    total += n;
    if (onSent) onSent(total);
  }
}

void Stream::SendUrgent(const std::string& bytes) {
  if (fd_ < 0 || ssl_) return;
  ::send(fd_, bytes.data(), bytes.size(), MSG_OOB | MSG_NOSIGNAL);
}

std::size_t Stream::RawRead(char* buf, std::size_t size, const Waiter& w) {
  if (fd_ < 0 || eof_) return 0;
  for (;;) {
    w.Check();
    if (ssl_) {
      ERR_clear_error();
      int rc = SSL_read(ssl_, buf, static_cast<int>(std::min<std::size_t>(size, 1 << 30)));
      if (rc > 0) {
        w.Moved();
        // One record is at most 16 KiB: take the further records that have already
        // arrived, so that the caller handles one large block instead of many small.
        std::size_t got = static_cast<std::size_t>(rc);
        while (got < size && SSL_has_pending(ssl_)) {
          ERR_clear_error();
          int more = SSL_read(ssl_, buf + got,
                              static_cast<int>(std::min<std::size_t>(size - got, 1 << 30)));
          if (more <= 0) {
            ERR_clear_error();  // whatever it was shows again on the next read
            break;
          }
          got += static_cast<std::size_t>(more);
        }
        return got;
      }
      if (WaitForTls(rc, w)) continue;
      int e = SSL_get_error(ssl_, rc);
      if (e == SSL_ERROR_ZERO_RETURN) {
        eof_ = true;
        return 0;
      }
      if (socket_.end && socket_.error == 0) {
        // The peer closed the TCP connection in order but without close_notify.
        ERR_clear_error();
        eof_ = true;
        uncleanEnd_ = true;
        return 0;
      }
      ThrowTls(rc, "TLS error: ");
    }
    ssize_t n = ::recv(fd_, buf, size, 0);
    if (n > 0) {
      w.Moved();
      return static_cast<std::size_t>(n);
    }
    if (n == 0) {
      eof_ = true;
      return 0;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      w.Wait(fd_, POLLIN);
    } else if (errno != EINTR) {
      ThrowErrno(errno);
    }
  }
}

std::size_t Stream::ReadSome(char* buf, std::size_t size, const Waiter& w) {
  w.Check();
  if (!buffer_.empty()) {
    std::size_t n = std::min(size, buffer_.size());
    std::memcpy(buf, buffer_.data(), n);
    buffer_.erase(0, n);
    return n;
  }
  return RawRead(buf, size, w);
}

Stream::LineResult Stream::ReadLine(std::string& line, std::size_t maxLength, const Waiter& w) {
  w.Check();
  std::size_t scanned = 0;
  for (;;) {
    auto end = buffer_.find_first_of("\r\n", scanned);
    if (end != std::string::npos && end > maxLength) return LineResult::TooLong;
    if (end != std::string::npos) {
      if (buffer_[end] == '\r' && end + 1 == buffer_.size() && !eof_) {
        // A CR at the end of what arrived: the next byte decides whether it is CR LF.
        char c;
        std::size_t n = RawRead(&c, 1, w);
        if (n == 1) buffer_ += c;
        continue;
      }
      line.assign(buffer_, 0, end);
      std::size_t skip =
          (buffer_[end] == '\r' && end + 1 < buffer_.size() && buffer_[end + 1] == '\n') ? 2 : 1;
      buffer_.erase(0, end + skip);
      return LineResult::Line;
    }
    if (buffer_.size() > maxLength) return LineResult::TooLong;
    scanned = buffer_.size();
    char chunk[16384];
    std::size_t n = RawRead(chunk, sizeof chunk, w);
    if (n == 0) {
      if (buffer_.empty()) return LineResult::End;
      if (buffer_.size() > maxLength) return LineResult::TooLong;
      line.swap(buffer_);
      buffer_.clear();
      return LineResult::Line;
    }
    buffer_.append(chunk, n);
  }
}

void Stream::Close() {
  if (ssl_) {
    if (socket_.error == 0 && !socket_.end) SSL_shutdown(ssl_);
    ERR_clear_error();
    SSL_free(ssl_);
    ssl_ = nullptr;
  }
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  buffer_.clear();
  eof_ = false;
  uncleanEnd_ = false;
  socket_ = TlsSocketState{};
}

void Stream::Finish(const Waiter& w) {
  if (fd_ < 0) return;
  std::optional<NetFailure> failure;
  // The peer learns where the data ends only from our end: one that closed (or
  // reset) before it cannot have taken everything.
  char probe;
  ssize_t early = ::recv(fd_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
  if (early == 0) {
    failure.emplace(kErrReset, SocketErrorText(kErrReset));
  } else if (early < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
    int code = SocketCodeOfErrno(errno);
    failure.emplace(code, SocketErrorText(code));
  }
  if (!failure && ssl_) {
    ERR_clear_error();
    if (SSL_shutdown(ssl_) < 0) ERR_clear_error();
    if (socket_.error != 0) {
      int code = SocketCodeOfErrno(socket_.error);
      failure.emplace(code, SocketErrorText(code));
    }
  }
  if (!failure) {
    ::shutdown(fd_, SHUT_WR);
    char sink[4096];
    try {
      // Read the raw socket to its end (the TLS layer can no longer write); a slow
      // reader still taking our last bytes from the system's queue is progress. What
      // the peer sends is dropped and is none: a peer that trickles bytes cannot hold
      // the connection open past the time-out.
      for (;;) {
        w.Check();
        ssize_t n = ::recv(fd_, sink, sizeof sink, 0);
        if (n == 0) break;
        if (n > 0) {
          continue;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
          WaitMoving(w, POLLIN);
        } else if (errno != EINTR) {
          ThrowErrno(errno);
        }
      }
    } catch (const NetFailure& f) {
      failure = f;
    }
  }
  if (ssl_) {
    SSL_free(ssl_);
    ssl_ = nullptr;
  }
  ::close(fd_);
  fd_ = -1;
  buffer_.clear();
  eof_ = false;
  uncleanEnd_ = false;
  socket_ = TlsSocketState{};
  movedSeen_ = 0;
  if (failure) throw *failure;
}

void Stream::Drain(const Waiter& w) {
  if (fd_ < 0 || !buffer_.empty() || (ssl_ && SSL_pending(ssl_) > 0)) return;
  WaitMoving(w, POLLIN, true);
}

void Stream::WaitMoving(const Waiter& w, short events, bool untilSent) {
  if (w.restart.count() == 0 && !untilSent) return w.Wait(fd_, events);
  // The bytes the system holds for the peer, not yet taken (-1 when it cannot say).
  auto unsent = [this] {
    int left = 0;
    return ::ioctl(fd_, SIOCOUTQ, &left) == 0 ? left : -1;
  };
  int queued = unsent();
  for (;;) {
    if (untilSent && queued <= 0) return;
    Waiter slice = w;
    slice.restart = std::chrono::seconds(0);
    slice.deadline = std::min(w.deadline, std::chrono::steady_clock::now() + kDrainCheck);
    try {
      return slice.Wait(fd_, events);
    } catch (const NetFailure& f) {
      if (f.code != kErrTimedOut || std::chrono::steady_clock::now() >= w.deadline) throw;
    }
    const int left = unsent();
    if (left >= 0 && left < queued) w.Moved();
    queued = left;
  }
}

Address Stream::Peer() const {
  Address a;
  a.length = sizeof a.storage;
  ::getpeername(fd_, reinterpret_cast<sockaddr*>(&a.storage), &a.length);
  return a;
}

Address Stream::Local() const {
  Address a;
  a.length = sizeof a.storage;
  ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a.storage), &a.length);
  return a;
}

Listener::~Listener() {
  Close();
}

Address Listener::Listen(Address local) {
  Close();
  local.SetPort(0);
  fd_ = ::socket(local.Family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) ThrowErrno(errno);
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&local.storage), local.length) != 0 ||
      ::listen(fd_, 1) != 0) {
    int err = errno;
    Close();
    ThrowErrno(err);
  }
  SetNonBlocking(fd_);
  Address bound;
  bound.length = sizeof bound.storage;
  ::getsockname(fd_, reinterpret_cast<sockaddr*>(&bound.storage), &bound.length);
  return bound;
}

int Listener::Accept(const Waiter& w) {
  for (;;) {
    int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) return fd;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      w.Wait(fd_, POLLIN);
    } else if (errno != EINTR) {
      ThrowErrno(errno);
    }
  }
}

void Listener::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

}  // namespace vendrix
