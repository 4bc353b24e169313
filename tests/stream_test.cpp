// The connection layer under hostile peers: bounded lines, deadlines that hold against
// a peer that never stops talking, honest ends of TLS streams, and no SIGPIPE.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "net/net_error.h"
#include "net/process_signals.h"
#include "net/resolver.h"
#include "net/stream.h"
#include "net/system_trust.h"
#include "support/fake_resolver.h"
#include "support/peer_process.h"
#include "support/temp_dir.h"

namespace vendrix {
namespace {

using test::LoopbackAddress;
using test::PeerProcess;
using test::PeerScript;
using test::ScopedResolver;
using test::TempDir;
using test::WriteFile;

// A stream over one end of a socket pair; the test writes to the other end.
struct Pair {
  Pair() {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
      throw std::runtime_error("");
    stream.Adopt(fds[0]);
    peer = fds[1];
  }
  ~Pair() {
    if (peer >= 0) ::close(peer);
  }
  void Send(const std::string& bytes) const {
    ASSERT_EQ(::send(peer, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
  }
  Stream stream;
  int peer = -1;
};

int FailureCode(const std::function<void()>& f) {
  try {
    f();
  } catch (const NetFailure& e) {
    return e.code;
  }
  return 0;
}

TEST(StreamLines, TheLengthCapHoldsHoweverTheBytesArrive) {
  const Waiter w = Waiter::For(nullptr, 10);
  std::string line;
  {
    Pair p;  // one piece: the whole over-long line and its end arrive together
    p.Send(std::string(9000, 'a') + "\r\nnext\r\n");
    EXPECT_EQ(p.stream.ReadLine(line, 8192, w), Stream::LineResult::TooLong);
  }
  {
    Pair p;  // many small pieces
    std::thread writer([&] {
      for (int i = 0; i < 90; ++i) p.Send(std::string(100, 'b'));
      p.Send("\n");
    });
    EXPECT_EQ(p.stream.ReadLine(line, 8192, w), Stream::LineResult::TooLong);
    writer.join();
  }
  {
    Pair p;  // an over-long last line without an ending
    p.Send(std::string(9000, 'c'));
    ::shutdown(p.peer, SHUT_WR);
    EXPECT_EQ(p.stream.ReadLine(line, 8192, w), Stream::LineResult::TooLong);
  }
  {
    Pair p;  // at the limit, and every kind of line ending
    p.Send(std::string(8192, 'd') + "\r\none\rtwo\nthree\r\n");
    EXPECT_EQ(p.stream.ReadLine(line, 8192, w), Stream::LineResult::Line);
    EXPECT_EQ(line.size(), 8192u);
    for (const char* expected : {"one", "two", "three"}) {
      EXPECT_EQ(p.stream.ReadLine(line, 8192, w), Stream::LineResult::Line);
      EXPECT_EQ(line, expected);
    }
    ::shutdown(p.peer, SHUT_WR);
    EXPECT_EQ(p.stream.ReadLine(line, 8192, w), Stream::LineResult::End);
  }
}

// A peer that sends lines without a pause must not keep a reader past its deadline
// or past a cancellation; the writer gives up after a while so that a broken reader
// shows as a failure, not a hang.
TEST(StreamDeadlines, ATalkativePeerCannotStretchTheDeadlineOrIgnoreACancel) {
  for (bool byCancel : {false, true}) {
    Pair p;
    std::atomic<bool> stop{false};
    std::thread writer([&] {
      const std::string lines = std::string(4096, 'x') + "\r\n";
      auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (!stop && std::chrono::steady_clock::now() < until) {
        ::send(p.peer, lines.data(), lines.size(), MSG_NOSIGNAL);
      }
      ::shutdown(p.peer, SHUT_WR);
    });
    CancelToken cancel;
    std::thread canceller;
    if (byCancel) {
      canceller = std::thread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cancel.Cancel();
      });
    }
    const Waiter w = Waiter::For(&cancel, byCancel ? 0 : 1);
    std::string line;
    int code = FailureCode([&] {
      while (p.stream.ReadLine(line, 8192, w) == Stream::LineResult::Line) {
      }
    });
    EXPECT_EQ(code, byCancel ? kErrInterrupted : kErrTimedOut);
    char buf[100];
    EXPECT_EQ(FailureCode([&] { p.stream.ReadSome(buf, sizeof buf, w); }),
              byCancel ? kErrInterrupted : kErrTimedOut);
    stop = true;
    if (canceller.joinable()) canceller.join();
    p.stream.Close();  // a writer blocked on a full socket now fails and stops
    writer.join();
  }
}

// A transfer's time-out is for a stall: a reader slower than one block per time-out
// but steady gets everything, while the same send under a fixed deadline, or to a
// reader that stops, ends with 10060.
TEST(StreamDeadlines, AStalledWaiterRestartsWhileBytesMoveAndEndsWhenTheyStop) {
  const std::string bytes(1 << 20, 'b');
  for (bool stops : {false, true}) {
    for (bool stalled : {true, false}) {
      if (stops && !stalled) continue;
      Pair p;
      int small = 16384;
      ::setsockopt(p.peer, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
      std::atomic<bool> done{false};
      std::size_t received = 0;
      std::thread reader([&] {
        char buf[8192];
        while (!done && !(stops && received >= bytes.size() / 4)) {
          ssize_t n = ::recv(p.peer, buf, sizeof buf, MSG_DONTWAIT);
          if (n > 0) received += static_cast<std::size_t>(n);
          std::this_thread::sleep_for(std::chrono::milliseconds(20));  // about 400 KiB/s
        }
      });
      const Waiter w = stalled ? Waiter::Stalled(nullptr, 1) : Waiter::For(nullptr, 1);
      int code = FailureCode([&] { p.stream.SendAll(bytes, w); });
      done = true;
      reader.join();
      EXPECT_EQ(code, stalled && !stops ? 0 : kErrTimedOut) << stalled << stops;
    }
  }
}

// Ending a sending connection waits for the peer's close only while it still takes our
// bytes: one that trickles bytes of its own instead is given up at the time-out.
TEST(StreamDeadlines, APeerThatTricklesCannotHoldTheEndOfASend) {
  Pair p;
  std::thread trickler([&] {
    for (int i = 0; i < 40; ++i) {  // 4 s of a byte every 100 ms, then an orderly close
      ::send(p.peer, "x", 1, MSG_NOSIGNAL);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::shutdown(p.peer, SHUT_WR);
  });
  EXPECT_EQ(FailureCode([&] { p.stream.Finish(Waiter::Stalled(nullptr, 1)); }), kErrTimedOut);
  trickler.join();
}

TEST(ProtocolText, LineBreaksAndNulAreRefused) {
  EXPECT_TRUE(IsProtocolSafe("report.txt"));
  EXPECT_TRUE(IsProtocolSafe(""));
  EXPECT_TRUE(IsProtocolSafe("caf\xE9 \t tab"));
  for (const std::string& bad :
       std::vector<std::string>{"x\r\nDELE victim.txt", "a\rb", "a\nb", std::string("a\0b", 3)}) {
    EXPECT_FALSE(IsProtocolSafe(bad));
    try {
      RequireProtocolSafe(bad, "RemoteFile");
      ADD_FAILURE() << "accepted";
    } catch (const NetFailure& e) {
      EXPECT_EQ(e.code, kErrUnsafeText);
      EXPECT_STREQ(e.what(), "RemoteFile holds a CR, LF or NUL character.");
    }
  }
}

// TLS peers: the test's own HTTP peer, driven at the stream level.
class TlsStreamTest : public ::testing::Test {
 protected:
  TlsStreamTest() : certs(dir.path()) {
    // The default action of SIGPIPE ends the process: a write that raised it would
    // end this test program.
    std::signal(SIGPIPE, SIG_DFL);
    ctx = MakeTlsContext(certs.caPem);
  }
  std::unique_ptr<PeerProcess> Peer(const std::string& routes, bool closeAtOnce = false) {
    WriteFile(dir / "routes.json", routes);
    std::vector<std::string> args{PeerScript("http_peer.py"),
                                  "--routes",
                                  dir / "routes.json",
                                  "--cert",
                                  certs.serverPem,
                                  "--key",
                                  certs.serverKey};
    if (closeAtOnce) args.push_back("--close-after-handshake");
    return std::make_unique<PeerProcess>(args);
  }
  void Open(Stream& s, int port) {
    s.Connect("127.0.0.1", static_cast<std::uint16_t>(port), w);
    s.StartTls(ctx.get(), "localhost", nullptr, w);
  }
  // Sends a GET for path and reads everything that comes back.
  std::string Fetch(Stream& s, int port, const std::string& path) {
    Open(s, port);
    s.SendAll("GET " + path + " HTTP/1.0\r\n\r\n", w);
    std::string all;
    char buf[4096];
    while (std::size_t n = s.ReadSome(buf, sizeof buf, w)) all.append(buf, n);
    return all;
  }

  TempDir dir;
  test::TestCertificates certs;
  std::shared_ptr<SSL_CTX> ctx;
  Waiter w = Waiter::For(nullptr, 20);
};

TEST_F(TlsStreamTest, WritingToAPeerThatClosedFailsWithoutASignal) {
  auto peer = Peer("{}", true);
  Stream s;
  Open(s, peer->port());
  const std::string block(1 << 20, 'p');
  int code = FailureCode([&] {
    for (int i = 0; i < 64; ++i) s.SendAll(block, w);
  });
  EXPECT_EQ(code, kErrReset);
  s.Close();  // close_notify to a closed peer: no signal either
}

TEST_F(TlsStreamTest, EndsTellCloseNotifyFromAPlainCloseAndAResetFromAnEnd) {
  auto peer = Peer(R"({"/notify": {"raw": "all of it", "then": "close_notify"},
                       "/plain": {"raw": "all of it"},
                       "/reset": {"raw": "part of it", "then": "reset"}})");
  {
    Stream s;
    EXPECT_NE(Fetch(s, peer->port(), "/notify").find("all of it"), std::string::npos);
    EXPECT_FALSE(s.EndedWithoutCloseNotify());
  }
  {
    Stream s;
    EXPECT_NE(Fetch(s, peer->port(), "/plain").find("all of it"), std::string::npos);
    EXPECT_TRUE(s.EndedWithoutCloseNotify());
  }
  {
    Stream s;
    EXPECT_EQ(FailureCode([&] { Fetch(s, peer->port(), "/reset"); }), kErrReset);
  }
}

// The system's store: its hashed folder is enough, its bundle is read when the folder
// holds no hashed names or when SSL_CERT_FILE names a bundle of its own, and a chain
// that neither holds still fails.
TEST_F(TlsStreamTest, TheSystemStoreIsTakenFromItsHashedFolderOrItsBundle) {
  auto peer = Peer(R"({"/x": {"raw": "ok"}})");
  const char* savedDir = std::getenv("SSL_CERT_DIR");
  const char* savedFile = std::getenv("SSL_CERT_FILE");
  const std::string keptDir = savedDir ? savedDir : "", keptFile = savedFile ? savedFile : "";
  // The file name the hashed store gives the test CA.
  std::unique_ptr<FILE, int (*)(FILE*)> pem(std::fopen(certs.caPem.c_str(), "r"), std::fclose);
  ASSERT_TRUE(pem);
  X509* ca = PEM_read_X509(pem.get(), nullptr, nullptr, nullptr);
  ASSERT_NE(ca, nullptr);
  char hashed[16];
  std::snprintf(hashed, sizeof hashed, "%08lx.0", X509_subject_name_hash(ca));
  X509_free(ca);
  const std::string withCa = dir / "hashed", empty = dir / "empty", other = dir / "other";
  for (const auto& d : {withCa, empty, other}) ::mkdir(d.c_str(), 0700);
  ASSERT_EQ(::symlink(certs.caPem.c_str(), (withCa + "/" + hashed).c_str()), 0);
  // A folder whose hashed names are all of other certificates.
  ASSERT_EQ(::symlink(certs.selfSignedPem.c_str(), (other + "/0123abcd.0").c_str()), 0);
  EXPECT_TRUE(HoldsHashedNames(empty + ":" + withCa));
  EXPECT_FALSE(HoldsHashedNames(empty + ":" + dir / "missing"));

  auto verifies = [&](const std::string& folder, const std::string& bundle) {
    ::setenv("SSL_CERT_DIR", folder.c_str(), 1);
    ::setenv("SSL_CERT_FILE", bundle.c_str(), 1);
    auto system = MakeTlsContext("");
    Stream s;
    s.Connect("127.0.0.1", static_cast<std::uint16_t>(peer->port()), w);
    return FailureCode([&] { s.StartTls(system.get(), "localhost", nullptr, w); });
  };
  const std::string missing = dir / "no-bundle.pem";
  EXPECT_EQ(verifies(withCa, missing), 0) << "the hashed folder alone";
  EXPECT_EQ(verifies(empty, certs.caPem), 0) << "no hashed names: the bundle";
  EXPECT_EQ(verifies(other, certs.caPem), 0) << "a bundle SSL_CERT_FILE names";
  EXPECT_EQ(verifies(other, missing), kErrCertificate) << "neither holds the CA";
  EXPECT_EQ(verifies(empty, certs.selfSignedPem), kErrCertificate);

  keptDir.empty() ? ::unsetenv("SSL_CERT_DIR") : ::setenv("SSL_CERT_DIR", keptDir.c_str(), 1);
  keptFile.empty() ? ::unsetenv("SSL_CERT_FILE") : ::setenv("SSL_CERT_FILE", keptFile.c_str(), 1);
}

// Listening sockets on loopback that stand for the kinds of address a lookup can give.
class Endpoint {
 public:
  // live: takes connections; refused: nothing listens; silent: drops connection
  // requests, as a host that has gone does (a listener whose one-place queue is full).
  enum Kind { Live, Refused, Silent };
  Endpoint(Kind kind, int family) {
    fd_ = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    Address a = LoopbackAddress(family, 0);
    EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&a.storage), a.length), 0);
    socklen_t len = a.length;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a.storage), &len);
    address = a;
    if (kind == Refused) {
      ::close(fd_);
      fd_ = -1;
      return;
    }
    EXPECT_EQ(::listen(fd_, kind == Silent ? 0 : 8), 0);
    if (kind == Silent) {
      filler_ = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
      EXPECT_EQ(::connect(filler_, reinterpret_cast<sockaddr*>(&a.storage), a.length), 0);
    }
  }
  ~Endpoint() {
    if (fd_ >= 0) ::close(fd_);
    if (filler_ >= 0) ::close(filler_);
  }
  Address address;

 private:
  int fd_ = -1;
  int filler_ = -1;
};

// A lookup that never answers must not hold the action: its deadline and its cancel
// token end the wait, and numeric addresses need no lookup at all.
// The token's flag and its descriptor agree after any mix of raises and clears, and
// a wait on a silent socket ends at once while the token is raised.
TEST(CancelTokenState, FlagAndDescriptorAgreeAndARaisedTokenEndsAWait) {
  struct Case {
    const char* ops;  // C: Cancel, R: Reset
    bool raised;
  } cases[] = {{"", false},    {"C", true},   {"CC", true},  {"CR", false},
               {"CCR", false}, {"CRC", true}, {"RR", false}, {"CRRC", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ops);
    CancelToken token;
    for (const char* op = c.ops; *op; ++op) *op == 'C' ? token.Cancel() : token.Reset();
    EXPECT_EQ(token.IsCancelled(), c.raised);
    pollfd p{token.Fd(), POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 0), c.raised ? 1 : 0);
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    Waiter w;
    w.cancel = &token;
    w.deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(c.raised ? 60000 : 20);
    EXPECT_EQ(FailureCode([&] { w.Wait(pair[0], POLLIN); }),
              c.raised ? kErrInterrupted : kErrTimedOut);
    ::close(pair[0]);
    ::close(pair[1]);
  }
}

TEST(HostLookup, AStuckResolverEndsAtTheDeadlineOrAtOnceOnCancel) {
  ScopedResolver resolver;
  resolver->Hang();
  Stream s;
  EXPECT_EQ(FailureCode([&] { s.Connect("stuck.test", 80, Waiter::For(nullptr, 1)); }),
            kErrTimedOut);
  EXPECT_EQ(resolver->calls, 1);

  CancelToken cancel;
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    cancel.Cancel();
  });
  // A deadline far off: only the cancel can give 301.
  EXPECT_EQ(FailureCode([&] { s.Connect("stuck.test", 80, Waiter::For(&cancel, 60)); }),
            kErrInterrupted);
  canceller.join();

  Endpoint v4(Endpoint::Live, AF_INET), v6(Endpoint::Live, AF_INET6);
  EXPECT_EQ(
      FailureCode([&] { s.Connect("127.0.0.1", v4.address.Port(), Waiter::For(nullptr, 5)); }), 0);
  EXPECT_EQ(FailureCode([&] { s.Connect("[::1]", v6.address.Port(), Waiter::For(nullptr, 5)); }),
            0);
  EXPECT_EQ(s.Peer().Family(), AF_INET6);
  EXPECT_EQ(resolver->calls, 2);
}

TEST(HostLookup, StuckLookupsAreCappedAndTheCapClearsWhenTheyReturn) {
  ScopedResolver resolver;
  resolver->Hang();
  Stream s;
  Waiter brief;
  for (int i = 0; i < kMaxRunningLookups; ++i) {
    brief.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
    EXPECT_EQ(FailureCode([&] { s.Connect("stuck.test", 80, brief); }), kErrTimedOut);
  }
  EXPECT_EQ(RunningLookups(), kMaxRunningLookups);
  // One more would be one more thread stuck for good: it fails at once instead.
  EXPECT_EQ(FailureCode([&] { s.Connect("stuck.test", 80, Waiter::For(nullptr, 30)); }), 11002);
  EXPECT_EQ(resolver->calls, kMaxRunningLookups);

  Endpoint live(Endpoint::Live, AF_INET);
  resolver->Answer({live.address});
  resolver->Release();
  for (int i = 0; i < 500 && RunningLookups() > 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(FailureCode([&] { s.Connect("back.test", 80, Waiter::For(nullptr, 5)); }), 0);
  EXPECT_EQ(s.Peer().Port(), live.address.Port());
}

// A name with several addresses connects to one that answers, whatever the others
// do; only when none answers does the last failure come back.
TEST(Connecting, EveryAddressIsTriedUntilOneAnswers) {
  ScopedResolver resolver;
  Endpoint live4(Endpoint::Live, AF_INET), live6(Endpoint::Live, AF_INET6);
  Endpoint refused(Endpoint::Refused, AF_INET6), silent(Endpoint::Silent, AF_INET);
  Endpoint refused4(Endpoint::Refused, AF_INET);
  Stream s;
  auto connect = [&](std::vector<Address> addresses, int seconds) {
    resolver->Answer(std::move(addresses));
    return FailureCode([&] { s.Connect("multi.test", 80, Waiter::For(nullptr, seconds)); });
  };
  EXPECT_EQ(connect({refused.address, live4.address}, 10), 0);
  EXPECT_EQ(s.Peer().Port(), live4.address.Port());
  // An address that swallows the request must not use up the whole deadline.
  EXPECT_EQ(connect({silent.address, live6.address}, 10), 0);
  EXPECT_EQ(s.Peer().Port(), live6.address.Port());
  EXPECT_EQ(s.Peer().Family(), AF_INET6);
  EXPECT_EQ(connect({silent.address, refused.address, live4.address}, 10), 0);
  EXPECT_EQ(s.Peer().Port(), live4.address.Port());

  EXPECT_EQ(connect({refused.address, refused4.address}, 10), 10061);
  EXPECT_FALSE(s.IsOpen());
  EXPECT_EQ(connect({silent.address}, 1), kErrTimedOut);
  EXPECT_EQ(connect({}, 1), 11004);  // a name without addresses
}

// Run in a child: the signals change for the whole process.
int ExitStatusOfChild(const std::function<bool()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(body() ? 0 : 1);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::atomic<int> pipeSignals{0};

TEST(ProcessSignals, WritesPastTheFileLimitOrToAClosedPipeFailInsteadOfEndingTheProcess) {
  TempDir dir;
  const std::string path = dir / "big.bin";
  auto overfill = [&] {
    rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    std::string block(8192, 'x');
    ssize_t first = ::write(fd, block.data(), block.size());  // stops at the limit
    ssize_t second = ::write(fd, block.data(), block.size());
    int err = errno;
    ::close(fd);
    return first == 4096 && second < 0 && err == EFBIG;
  };
  auto closedPipe = [] {
    int fds[2];
    if (::pipe(fds) != 0) return false;
    ::close(fds[0]);
    ssize_t n = ::write(fds[1], "x", 1);
    return n < 0 && errno == EPIPE;
  };
  auto defaults = [] {
    std::signal(SIGPIPE, SIG_DFL);
    std::signal(SIGXFSZ, SIG_DFL);
  };
  EXPECT_EQ(ExitStatusOfChild([&] {
              defaults();
              return overfill();
            }),
            128 + SIGXFSZ);  // what happens without
  EXPECT_EQ(ExitStatusOfChild([&] {
              defaults();
              IgnoreProcessSignals();
              return overfill() && closedPipe();
            }),
            0);
  // A handler the program set itself stays.
  EXPECT_EQ(ExitStatusOfChild([&] {
              defaults();
              std::signal(SIGPIPE, [](int) { ++pipeSignals; });
              IgnoreProcessSignals();
              return closedPipe() && pipeSignals == 1;
            }),
            0);
}

}  // namespace
}  // namespace vendrix
