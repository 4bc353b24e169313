// The SMTP dialogue against real and scripted mail servers on loopback. What a server
// received is read back with Python's email package.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "mail/encodings.h"
#include "mail/mail_error.h"
#include "mail/smtp.h"
#include "support/peer_process.h"
#include "support/temp_dir.h"

namespace vendrix {
namespace {

using test::PeerProcess;
using test::PeerScript;
using test::ReadFile;
using test::TempDir;
using test::TestCertificates;
using test::WriteFile;

std::string Run(const std::string& command) {
  std::string out;
  std::FILE* p = ::popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  ::pclose(p);
  return out;
}

// One field of a received message as Python's email package reads it.
std::string Parsed(const std::string& eml, const std::string& field) {
  return Run("/usr/bin/python3 '" + PeerScript("smtp_check.py") + "' '" + eml + "' " + field);
}

std::vector<std::string> FileLines(const std::string& path) {
  std::vector<std::string> lines;
  std::string text = ReadFile(path).value_or("");
  std::size_t start = 0;
  for (auto nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', start)) {
    lines.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  return lines;
}

bool Contains(const std::vector<std::string>& v, const std::string& s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}

std::vector<std::string> Verbs(const std::vector<std::string>& lines) {
  std::vector<std::string> verbs;
  for (const auto& l : lines) verbs.push_back(l.substr(0, l.find_first_of(" :")));
  return verbs;
}

class SmtpTest : public ::testing::Test {
 protected:
  TempDir dir;
  TmsMessage message;
  TmsSMTP smtp;
  std::vector<std::string> events;

  void SetUp() override {
    message.Sender = {"Jo Dev", "jo@example.com"};
    message.Recipients.AddAddress("sites@download.test");
    message.Subject = "Submission";
    message.Body = {"Hello"};
    smtp.MailMessage = &message;
    smtp.TimeOut = 10;
    smtp.OnOpen = [this] { events.push_back("open"); };
    smtp.OnPrepare = [this] { events.push_back("prepare"); };
    smtp.OnSending = [this] { events.push_back("sending"); };
    smtp.OnMailSent = [this] { events.push_back("sent"); };
    smtp.OnClosing = [this] { events.push_back("closing"); };
    smtp.OnClosed = [this] { events.push_back("closed"); };
    smtp.OnCancel = [this] { events.push_back("cancel"); };
    smtp.OnError = [this](std::string& m) { events.push_back("error: " + m); };
    smtp.OnAddressRejected = [this](const std::string& a, const std::string& r, bool&) {
      events.push_back("rejected: " + a + " " + r);
    };
  }

  // A scripted peer from a JSON script.
  std::unique_ptr<PeerProcess> Script(const std::string& json) {
    WriteFile(dir / "script.json", json);
    auto peer = std::make_unique<PeerProcess>(std::vector<std::string>{
        PeerScript("smtp_peer.py"), "script", "--script", dir / "script.json"});
    smtp.Server = "127.0.0.1:" + std::to_string(peer->port());
    return peer;
  }
  std::unique_ptr<PeerProcess> Aiosmtpd(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {PeerScript("smtp_peer.py"), "aiosmtpd", "--out", dir / "out"};
    args.insert(args.end(), extra.begin(), extra.end());
    auto peer = std::make_unique<PeerProcess>(args);
    smtp.Server = "127.0.0.1:" + std::to_string(peer->port());
    return peer;
  }
  std::vector<std::string> Commands() { return FileLines(dir / "commands.log"); }

  template <typename E>
  E SendFails() {
    try {
      smtp.Send();
    } catch (const E& e) {
      return e;
    }
    ADD_FAILURE() << "Send did not fail as expected";
    return E(0, "");
  }
};

EServerError ServerFailure(TmsSMTP& smtp) {
  try {
    smtp.Send();
  } catch (const EServerError& e) {
    return e;
  }
  ADD_FAILURE() << "Send did not raise EServerError";
  return EServerError("");
}

TEST_F(SmtpTest, StartTlsAndAuthDeliverAMessageReadBackByteForByte) {
  TestCertificates certs(dir.path());
  auto peer = Aiosmtpd({"--cert", certs.serverPem, "--key", certs.serverKey, "--require-starttls",
                        "--auth", "joe:pa55word"});
  smtp.Security = SmtpSecurity::StartTls;
  smtp.CaFile = certs.caPem;
  smtp.User = "joe";
  smtp.Password = "pa55word";
  smtp.DefaultLogFileName = dir / "smtp.log";
  message.Subject =
      "Neue Version: Gr\xFC\xDF"
      "e";
  message.Body = {"Dear editor,", ".x", ".", "..", "Caf\xE9 \x80 5"};
  std::string bin(200000, '\0');
  for (std::size_t i = 0; i < bin.size(); ++i) bin[i] = static_cast<char>((i * 7919) >> 3);
  WriteFile(dir / "setup.exe", bin);
  WriteFile(dir / "readme.txt", ".first line\nsecond\r\n.\r\nno newline at the end");
  message.Attachments.AddFile(dir / "setup.exe");
  message.Attachments.AddFile(dir / "readme.txt");
  message.CC.AddAddress("copy@download.test");
  message.BCC.AddAddress("blind@download.test");
  smtp.Send();

  std::string eml = dir / "out/msg-1.eml";
  EXPECT_EQ(Parsed(eml, "subject"),
            "Neue Version: Gr\xC3\xBC\xC3\x9F"
            "e");
  EXPECT_EQ(Parsed(eml, "body"), "Dear editor,\n.x\n.\n..\nCaf\xC3\xA9 \xE2\x82\xAC 5\n");
  EXPECT_EQ(Parsed(eml, "attachments"), "setup.exe\nreadme.txt");
  EXPECT_EQ(Parsed(eml, "--attachment 0"), bin);
  EXPECT_EQ(Parsed(eml, "--attachment 1"), ".first line\nsecond\r\n.\r\nno newline at the end");
  EXPECT_EQ(Parsed(eml, "bcc_in_head"), "False");
  EXPECT_EQ(Parsed(eml, "date_ok"), "True");
  EXPECT_EQ(Parsed(eml, "defects"), "");
  std::string envelope = ReadFile(dir / "out/msg-1.json").value_or("");
  EXPECT_NE(envelope.find("\"tls\": true"), std::string::npos);
  EXPECT_NE(envelope.find("\"auth\": true"), std::string::npos);
  EXPECT_NE(envelope.find("blind@download.test"), std::string::npos);

  EXPECT_EQ(events,
            (std::vector<std::string>{"open", "prepare", "sending", "sent", "closing", "closed"}));
  auto transcript = FileLines(dir / "smtp.log");
  EXPECT_TRUE(Contains(transcript, "AUTH PLAIN ****\r"));
  EXPECT_TRUE(Contains(transcript, "Suppressing the message body\r"));
  std::string all = ReadFile(dir / "smtp.log").value_or("");
  EXPECT_EQ(all.find("pa55word"), std::string::npos);
  EXPECT_EQ(all.find(Base64(std::string(1, '\0') + "joe" + std::string(1, '\0') + "pa55word")),
            std::string::npos);
}

TEST_F(SmtpTest, PlainServerWithoutTlsOrAuthTakesEveryRecipient) {
  auto peer = Aiosmtpd();
  message.CC.AddAddress("cc@download.test");
  message.BCC.AddAddress("bcc@download.test");
  std::vector<std::pair<int, long long>> progress;
  smtp.OnProgress = [&](int p, long long t) { progress.emplace_back(p, t); };
  smtp.Send();
  std::string envelope = ReadFile(dir / "out/msg-1.json").value_or("");
  EXPECT_NE(envelope.find("[\"sites@download.test\", \"cc@download.test\", \"bcc@download.test\"]"),
            std::string::npos)
      << envelope;
  EXPECT_NE(envelope.find("\"tls\": false"), std::string::npos);
  ASSERT_GE(progress.size(), 2u);
  EXPECT_EQ(progress[progress.size() - 2].first, 100);
  EXPECT_EQ(progress.back(), std::make_pair(0, 0LL));
}

TEST_F(SmtpTest, TlsFromTheFirstByte) {
  TestCertificates certs(dir.path());
  auto peer = Aiosmtpd({"--cert", certs.serverPem, "--key", certs.serverKey, "--implicit-tls"});
  smtp.Security = SmtpSecurity::Tls;
  smtp.CaFile = certs.caPem;
  smtp.Send();
  EXPECT_NE(ReadFile(dir / "out/msg-1.json").value_or("").find("\"tls\": true"), std::string::npos);
}

TEST_F(SmtpTest, UntrustedCertificateFailsTheSend) {
  TestCertificates certs(dir.path());
  auto peer = Aiosmtpd({"--cert", certs.selfSignedPem, "--key", certs.selfSignedKey});
  smtp.CaFile = certs.caPem;  // Auto: STARTTLS is offered, so it is used and checked
  auto e = SendFails<ESocketError>();
  EXPECT_EQ(e.ErrorCode, 161);
  EXPECT_FALSE(ReadFile(dir / "out/msg-1.eml"));
}

TEST_F(SmtpTest, WrongPasswordIsTheServersRefusal) {
  auto peer = Aiosmtpd({"--auth", "joe:right", "--auth-in-clear"});
  smtp.User = "joe";
  smtp.Password = "wrong";
  smtp.Security = SmtpSecurity::None;
  auto e = ServerFailure(smtp);
  EXPECT_EQ(std::string(e.what()).substr(0, 3), "535");
  EXPECT_EQ(events.back(), "closed");
}

TEST_F(SmtpTest, MessageChecksFailBeforeAnyNetworkActivity) {
  smtp.Server = "127.0.0.1:1";
  message.Sender.Address.clear();
  EXPECT_EQ(SendFails<EMessageError>().ErrorCode, kMailNoSender);
  message.Sender.Address = "jo@example.com";
  message.Recipients.Clear();
  message.Recipients.AddAddress("");
  EXPECT_EQ(SendFails<EMessageError>().ErrorCode, kMailNoRecipient);
  EXPECT_EQ(std::string(SendFails<EMessageError>().what()),
            "At least one Recipient, CC or BCC must be entered");
  smtp.MailMessage = nullptr;
  EXPECT_EQ(SendFails<EMessageError>().ErrorCode, kMailNoMessage);
  EXPECT_TRUE(events.empty());
  smtp.MailMessage = &message;
  message.Recipients.AddAddress("x@y.test");
  smtp.Server.clear();
  EXPECT_EQ(std::string(SendFails<ESocketError>().what()), "Server property is required");
}

TEST_F(SmtpTest, GreetingRefusalIsAServerErrorWithoutOnError) {
  auto peer = Script(R"({"greeting": "421 busy, try later"})");
  EXPECT_EQ(std::string(ServerFailure(smtp).what()), "421 busy, try later");
  EXPECT_EQ(events, (std::vector<std::string>{"open", "closing", "closed"}));
  EXPECT_EQ(smtp.LastReply(), "421 busy, try later");
}

TEST_F(SmtpTest, HeloFallbacksAfterEhloRefusal) {
  auto peer = Script(R"({"replies": {"EHLO": "500 what?", "HELO": ["501 bad name", "250 hi"],
                        "DATA": "354 go", "QUIT": "221 bye"}})");
  smtp.Send();
  auto verbs = Verbs(Commands());
  EXPECT_EQ(verbs,
            (std::vector<std::string>{"EHLO", "HELO", "HELO", "MAIL", "RCPT", "DATA", "QUIT"}));
  EXPECT_EQ(Commands()[2], "HELO");
  EXPECT_EQ(Commands()[1], "HELO " + Commands()[0].substr(5));
}

TEST_F(SmtpTest, MultiLineRepliesAreReadToTheirLastLine) {
  auto peer = Script(
      R"({"replies": {"EHLO": "250-peer\n250-SIZE 100\n250-8BITMIME\n250 HELP",
                      "MAIL": "250-first\n250 second", "DATA": "354 go", "QUIT": "221 bye"}})");
  smtp.Send();
  EXPECT_EQ(Verbs(Commands()), (std::vector<std::string>{"EHLO", "MAIL", "RCPT", "DATA", "QUIT"}));
  EXPECT_TRUE(Contains(smtp.Transcript().Lines(), "250 HELP"));
}

TEST_F(SmtpTest, EndlessReplyIsCutWithAClearError) {
  auto peer = Script(R"({"replies": {"EHLO": "ENDLESS"}})");
  EXPECT_EQ(SendFails<ESocketError>().ErrorCode, kMailReplyTooLong);
  EXPECT_LE(smtp.Transcript().Lines().size(), 110u);
}

TEST_F(SmtpTest, RejectedRecipientStopsBeforeDataAndStillQuits) {
  auto peer = Script(R"({"replies": {"RCPT": ["250 ok", "550 5.1.1 no such user"],
                        "QUIT": "221 bye"}})");
  message.Recipients.AddAddress("nobody@download.test");
  EXPECT_EQ(std::string(ServerFailure(smtp).what()), "550 5.1.1 no such user");
  EXPECT_EQ(Verbs(Commands()), (std::vector<std::string>{"EHLO", "MAIL", "RCPT", "RCPT", "QUIT"}));
  EXPECT_EQ(events, (std::vector<std::string>{"open", "prepare", "sending",
                                              "rejected: nobody@download.test 550 5.1.1 no "
                                              "such user",
                                              "closing", "closed"}));
}

TEST_F(SmtpTest, ProceedAfterARejectionSendsToTheOthers) {
  auto peer = Script(R"({"replies": {"RCPT": ["550 no", "250 ok"], "DATA": "354 go"}})");
  message.Recipients.AddAddress("good@download.test");
  smtp.OnAddressRejected = [](const std::string&, const std::string&, bool& proceed) {
    proceed = true;
  };
  smtp.Send();
  EXPECT_TRUE(ReadFile(dir / "data-1.eml"));
}

TEST_F(SmtpTest, RefusedDataIsAServerError) {
  auto peer = Script(R"({"replies": {"DATA": "554 no thanks", "QUIT": "221 bye"}})");
  EXPECT_EQ(std::string(ServerFailure(smtp).what()), "554 no thanks");
  EXPECT_EQ(Verbs(Commands()).back(), "QUIT");
}

TEST_F(SmtpTest, SilentServerTimesOut) {
  auto peer = Script(R"({"greeting": "SILENT"})");
  smtp.TimeOut = 1;
  auto e = SendFails<ETimedOutError>();
  EXPECT_EQ(std::string(e.what()), "Operation timed out");
  EXPECT_EQ(events,
            (std::vector<std::string>{"open", "error: Operation timed out", "closing", "closed"}));
}

TEST_F(SmtpTest, ServerClosingMidDialogueIsAnError) {
  auto peer = Script(R"({"replies": {"MAIL": "CLOSE"}})");
  EXPECT_EQ(SendFails<ESocketError>().ErrorCode, kMailConnectionClosed);
  EXPECT_EQ(events.back(), "closed");
}

TEST_F(SmtpTest, CancelFromAnotherThreadEndsTheWaitAtOnce) {
  auto peer = Script(R"({"replies": {"MAIL": "SILENT"}})");
  smtp.TimeOut = 30;
  std::thread canceller([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    smtp.Cancel();
  });
  auto e = SendFails<ECanceledError>();
  canceller.join();
  // Canceled, not timed out: the cancel ended the wait, well before the 30 s.
  EXPECT_EQ(std::string(e.what()), "Operation has been canceled");
  auto cancel = std::find(events.begin(), events.end(), "cancel");
  ASSERT_NE(cancel, events.end());
  EXPECT_EQ(cancel[1], "error: Operation has been canceled");
  EXPECT_EQ(events.back(), "closed");
}

TEST_F(SmtpTest, FinalReplyWaitOutlastsTheTimeOut) {
  auto peer = Script(R"({"replies": {"DATA": "354 go", ".": "250 scanned and queued"},
                        "delay": {".": 2.5}})");
  smtp.TimeOut = 1;
  smtp.Send();
  EXPECT_EQ(smtp.LastReply(), "250 scanned and queued");
  EXPECT_TRUE(Contains(events, "sent"));
}

// The time-out is for a stalled exchange. A server that reads the message slowly but
// steadily takes it whole, also once it is larger than the system's send queue, which
// then keeps the socket unwritable for longer than the time-out; one that stops
// reading it, or talks without end instead of replying, is given up.
TEST_F(SmtpTest, OnlyAStalledExchangeTimesOut) {
  struct Case {
    const char* what;
    std::string script;
    std::size_t lines;  // of 78 bytes in the body
    bool sent;
  } cases[] = {
      {"slow", R"({"data_rate": 98304, "replies": {"DATA": "354 go"}})", 6000, true},
      {"slow, beyond the send queue", R"({"data_rate": 393216, "replies": {"DATA": "354 go"}})",
       72000, true},
      {"stops reading", R"({"data_stall_after": 1048576, "replies": {"DATA": "354 go"}})", 72000,
       false},
      {"talks instead of replying", R"({"replies": {"MAIL": "TRICKLE"}})", 1, false},
  };
  smtp.TimeOut = 1;
  for (const auto& c : cases) {
    auto peer = Script(c.script);
    message.Body.assign(c.lines, std::string(76, 'x'));
    events.clear();
    if (c.sent) {
      smtp.Send();
      auto content = ReadFile(dir / "data-1.eml");
      ASSERT_TRUE(content) << c.what;
      EXPECT_GT(content->size(), c.lines * 78) << c.what;
    } else {
      EXPECT_EQ(std::string(SendFails<ETimedOutError>().what()), "Operation timed out") << c.what;
    }
    EXPECT_EQ(std::count(events.begin(), events.end(), "sent"), c.sent ? 1 : 0) << c.what;
    EXPECT_EQ(events.back(), "closed") << c.what;
    std::remove((dir / "data-1.eml").c_str());
  }
}

TEST_F(SmtpTest, RequiredStartTlsNotOfferedSendsNothing) {
  auto peer = Script(R"({"replies": {"EHLO": "250-peer\n250 8BITMIME"}})");
  smtp.Security = SmtpSecurity::StartTls;
  EXPECT_EQ(SendFails<ESocketError>().ErrorCode, kMailNoStartTls);
  EXPECT_EQ(Verbs(Commands()), (std::vector<std::string>{"EHLO", "QUIT"}));
}

TEST_F(SmtpTest, StartTlsOfferedThenRefused) {
  auto peer = Script(R"({"replies": {"EHLO": "250-peer\n250 STARTTLS", "STARTTLS": "454 not now",
                        "DATA": "354 go"}})");
  smtp.Security = SmtpSecurity::StartTls;
  auto e = SendFails<ESocketError>();
  EXPECT_EQ(e.ErrorCode, kMailStartTlsRefused);
  EXPECT_NE(std::string(e.what()).find("454 not now"), std::string::npos);
  EXPECT_FALSE(Contains(Verbs(Commands()), "MAIL"));
  // Auto takes the refusal and goes on in clear.
  smtp.Security = SmtpSecurity::Auto;
  smtp.Send();
  EXPECT_TRUE(ReadFile(dir / "data-1.eml"));
}

TEST_F(SmtpTest, RepliesInjectedBeforeTheHandshakeAreDiscarded) {
  TestCertificates certs(dir.path());
  auto peer = Script(R"({"replies": {"EHLO": "250-peer\n250 STARTTLS",
                        "STARTTLS": "TLS:220 Ready to start TLS\n250 forged\n354 forged",
                        "DATA": "354 go"},
                        "tls": {"cert": ")" +
                     certs.serverPem + R"(", "key": ")" + certs.serverKey + R"("}})");
  smtp.CaFile = certs.caPem;
  smtp.Security = SmtpSecurity::StartTls;
  smtp.Send();
  EXPECT_EQ(Verbs(Commands()),
            (std::vector<std::string>{"EHLO", "STARTTLS", "EHLO", "MAIL", "RCPT", "DATA", "QUIT"}));
  EXPECT_FALSE(Contains(smtp.Transcript().Lines(), "250 forged"));
  EXPECT_TRUE(ReadFile(dir / "data-1.eml"));
}

TEST_F(SmtpTest, RepliesInjectedInALaterPacketAreDiscardedToo) {
  TestCertificates certs(dir.path());
  auto peer = Script(R"({"replies": {"EHLO": "250-peer\n250-SIZE 100000\n250 STARTTLS",
                        "STARTTLS": "TLS:220 Ready to start TLS\n250 forged\n250 forged",
                        "DATA": "354 go"}, "inject_delay": 0.05,
                        "tls": {"cert": ")" +
                     certs.serverPem + R"(", "key": ")" + certs.serverKey + R"("}})");
  smtp.CaFile = certs.caPem;
  smtp.Send();
  auto commands = Commands();
  EXPECT_EQ(Verbs(commands),
            (std::vector<std::string>{"EHLO", "STARTTLS", "EHLO", "MAIL", "RCPT", "DATA", "QUIT"}));
  // The server offers SIZE: the message's size goes with MAIL.
  EXPECT_EQ(commands[3].rfind("MAIL FROM:<jo@example.com> SIZE=", 0), 0u) << commands[3];
  EXPECT_TRUE(ReadFile(dir / "data-1.eml"));
}

TEST_F(SmtpTest, AuthIsNeverSentInClearToAnotherHost) {
  auto peer = Script(R"({"replies": {"EHLO": "250-peer\n250 AUTH PLAIN LOGIN"}})");
  smtp.User = "joe";
  smtp.Password = "secret";
  smtp.PlainAuthToLoopback = false;  // as if the server were elsewhere
  EXPECT_EQ(SendFails<ESocketError>().ErrorCode, kMailAuthInClear);
  EXPECT_EQ(Verbs(Commands()), (std::vector<std::string>{"EHLO", "QUIT"}));
}

TEST_F(SmtpTest, LoginMechanismAndEchoedPasswordStayMasked) {
  auto peer = Script(R"({"replies": {"EHLO": "250-peer\n250 AUTH LOGIN",
                        "AUTH": "334 VXNlcm5hbWU6", "AM9L": "334 UGFzc3dvcmQ6",
                        "C2VJCMV0": "535 secret is not the password"}})");
  smtp.User = "joe";
  smtp.Password = "secret";
  auto e = ServerFailure(smtp);
  EXPECT_EQ(std::string(e.what()), "535 **** is not the password");
  std::vector<std::string> expected = {"AUTH LOGIN", "334 VXNlcm5hbWU6", "****", "334 UGFzc3dvcmQ6",
                                       "****"};
  const auto& t = smtp.Transcript().Lines();
  EXPECT_NE(std::search(t.begin(), t.end(), expected.begin(), expected.end()), t.end());
  for (const auto& line : t) EXPECT_EQ(line.find("secret"), std::string::npos) << line;
  EXPECT_EQ(Commands()[2], "am9l");
}

TEST_F(SmtpTest, TransparencyOnTheWire) {
  auto peer = Script(R"({"replies": {"DATA": "354 go"}})");
  message.Body = {".x", ".", "..", "end"};
  message.Encoding = TMsgEncoding::meUU;
  WriteFile(dir / "fourteen.bin", std::string(14, 'z'));  // uuencoded as a line starting "."
  message.Attachments.AddFile(dir / "fourteen.bin");
  smtp.Send();
  std::string received = ReadFile(dir / "data-1.eml").value_or("");
  EXPECT_NE(received.find("\r\n.x\r\n.\r\n..\r\nend\r\n"), std::string::npos);
  EXPECT_NE(received.find("\r\nbegin 600 fourteen.bin\r\n.>GIZ"), std::string::npos) << received;
}

TEST_F(SmtpTest, ServerPortAndTranscriptFileNames) {
  auto peer = Script(R"({"replies": {"DATA": "354 go"}})");
  smtp.Server = " localhost:" + std::to_string(peer->port()) + " ";
  smtp.LogFileName = kLegacyLogFileName;
  smtp.DefaultLogFileName = dir / "smtp.log";
  smtp.Send();
  EXPECT_TRUE(ReadFile(dir / "smtp.log"));
  smtp.LogFileName = dir / "mine.log";
  smtp.Send();
  EXPECT_TRUE(ReadFile(dir / "mine.log"));
  // IPv6: a bracketed literal with its port; AUTH to ::1 counts as loopback.
  WriteFile(dir / "v6/script.json",
            R"({"replies": {"DATA": "354 go", "EHLO": "250-peer\n250 AUTH PLAIN"}})");
  PeerProcess v6(
      {PeerScript("smtp_peer.py"), "script", "--script", dir / "v6/script.json", "--host", "::1"});
  smtp.Server = "[::1]:" + std::to_string(v6.port());
  smtp.User = "joe";
  smtp.Password = "pw";
  smtp.Send();
  EXPECT_TRUE(ReadFile(dir / "v6/data-1.eml"));
  EXPECT_NE(ReadFile(dir / "v6/commands.log").value_or("").find("AUTH PLAIN "), std::string::npos);
  smtp.Server = "localhost:99999";
  EXPECT_EQ(SendFails<ESocketError>().ErrorCode, kMailBadPort);
}

}  // namespace
}  // namespace vendrix
