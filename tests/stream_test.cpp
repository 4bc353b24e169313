// The connection layer under hostile peers: bounded lines, deadlines that hold against
// a peer that never stops talking, honest ends of TLS streams, and no SIGPIPE.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

#include "net/net_error.h"
#include "net/stream.h"
#include "support/peer_process.h"
#include "support/temp_dir.h"

namespace vendrix {
namespace {

using test::PeerProcess;
using test::PeerScript;
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

}  // namespace
}  // namespace vendrix
