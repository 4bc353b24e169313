#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

#include "net/ftp_client.h"
#include "net/net_error.h"
#include "run/ftp_form.h"
#include "support/fake_resolver.h"
#include "support/peer_process.h"
#include "support/temp_dir.h"

namespace vendrix {
namespace {

using test::PeerProcess;
using test::PeerScript;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Whether a file holds exactly the expected bytes (no dump of megabytes on failure).
::testing::AssertionResult SameBytes(const std::string& path, const std::string& expected) {
  auto got = ReadFile(path);
  if (!got) return ::testing::AssertionFailure() << path << " is missing";
  if (*got != expected) {
    return ::testing::AssertionFailure()
           << path << " has " << got->size() << " bytes, expected " << expected.size();
  }
  return ::testing::AssertionSuccess();
}

std::string Attempt(TFtpClient& ftp, TFtpActions action) {
  try {
    ftp.SetAction(action);
    return "";
  } catch (const EFtpClient& e) {
    return e.what();
  }
}

class FtpTest : public ::testing::Test {
 protected:
  FtpTest() {
    std::filesystem::create_directories(dir / "root");
    payload.resize(3 * 1024 * 1024 + 17);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 7 % 251);
    WriteFile(dir / "program.zip", payload);
  }
  std::unique_ptr<PeerProcess> Server(std::vector<std::string> extra = {}) {
    std::vector<std::string> args{PeerScript("ftp_peer.py"), "--root", dir / "root"};
    args.insert(args.end(), extra.begin(), extra.end());
    return std::make_unique<PeerProcess>(args);
  }
  void Connect(TFtpClient& ftp, int port) {
    ftp.SetRemoteHost("127.0.0.1:" + std::to_string(port));
    ftp.User = "demo";
    ftp.Password = "secret";
    ftp.TimeOut = 20;
    ftp.OnFirePITrail = [this](TPIDirections d, const std::string& m) {
      trail.push_back(std::to_string(static_cast<int>(d)) + " " + m);
    };
  }
  bool TrailHas(const std::string& entry) const {
    return std::find(trail.begin(), trail.end(), entry) != trail.end();
  }

  TempDir dir;
  std::string payload;
  std::vector<std::string> trail;
};

TEST_F(FtpTest, PassiveAndActiveUploadsArriveIntact) {
  auto server = Server();
  for (bool passive : {true, false}) {
    TFtpClient ftp;
    Connect(ftp, server->port());
    ftp.Passive = passive;
    ftp.SetTransferMode(TFTPTransferModes::tmBinary);
    long long last = 0;
    int starts = 0, ends = 0;
    ftp.OnTransfer = [&](long long n, std::string_view) { last = n; };
    ftp.OnStartTransfer = [&] { ++starts; };
    ftp.OnEndTransfer = [&] { ++ends; };
    ftp.LocalFile = dir / "program.zip";
    ftp.RemoteFile = passive ? "passive.zip" : "active.zip";
    EXPECT_EQ(Attempt(ftp, TFtpActions::ftpUpload), "");  // logs on first
    EXPECT_TRUE(SameBytes(dir / ("root/" + ftp.RemoteFile), payload));
    EXPECT_EQ(last, static_cast<long long>(payload.size()));
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogoff), "");
    EXPECT_FALSE(ftp.Connected());
  }
  EXPECT_TRUE(TrailHas("0 PASS ****"));
  EXPECT_TRUE(TrailHas("0 TYPE I"));
  EXPECT_TRUE(TrailHas("0 EPSV"));
  EXPECT_TRUE(TrailHas("2 Disconnected."));
  for (const auto& t : trail) EXPECT_EQ(t.find("secret"), std::string::npos) << t;
}

TEST_F(FtpTest, IPv6UsesEpsvAndEprt) {
  std::unique_ptr<PeerProcess> server;
  try {
    server = Server({"--host", "::1"});
  } catch (const std::exception&) {
    GTEST_SKIP() << "no IPv6 loopback on this machine";
  }
  for (bool passive : {true, false}) {
    TFtpClient ftp;
    Connect(ftp, server->port());
    ftp.SetRemoteHost("[::1]:" + std::to_string(server->port()));
    ftp.Passive = passive;
    ftp.LocalFile = dir / "program.zip";
    ftp.RemoteFile = passive ? "v6-passive.zip" : "v6-active.zip";
    EXPECT_EQ(Attempt(ftp, TFtpActions::ftpUpload), "");
    EXPECT_TRUE(SameBytes(dir / ("root/" + ftp.RemoteFile), payload));
  }
  EXPECT_TRUE(TrailHas("0 EPSV"));
  bool eprt = false;
  for (const auto& t : trail) eprt |= t.rfind("0 EPRT |2|::1|", 0) == 0;
  EXPECT_TRUE(eprt);
}

TEST_F(FtpTest, DownloadListingFoldersAndRenames) {
  auto server = Server();
  WriteFile(dir / "root/pub/readme.txt", "read me\r\n");
  TFtpClient ftp;
  Connect(ftp, server->port());
  ftp.Passive = true;
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogon), "");
  ftp.SetRemotePath("pub");
  EXPECT_EQ(ftp.RemotePath(), "/pub");
  std::vector<std::string> listing;
  ftp.OnDirList = [&](const std::string& e) { listing.push_back(e); };
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpListDirectory), "");
  EXPECT_EQ(listing, std::vector<std::string>{"readme.txt"});
  ftp.RemoteFile = "readme.txt";
  ftp.LocalFile = dir / "got.txt";
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpDownload), "");
  EXPECT_EQ(*ReadFile(dir / "got.txt"), "read me\r\n");
  ftp.AltFile = "renamed.txt";
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpRenameFile), "");
  EXPECT_TRUE(std::filesystem::exists(dir / "root/pub/renamed.txt"));
  ftp.SetRemotePath("..");
  EXPECT_TRUE(TrailHas("0 CDUP"));
  ftp.RemoteFile = "missing.txt";
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpDeleteFile).rfind("141: 550 ", 0), 0u);
}

TEST_F(FtpTest, ARefusedStorFailsWithTheReplyLine) {
  auto server = Server({"--refuse-stor"});
  TFtpClient ftp;
  Connect(ftp, server->port());
  ftp.Passive = true;
  ftp.LocalFile = dir / "program.zip";
  ftp.RemoteFile = "x.zip";
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpUpload), "141: 550 Uploads are not allowed here.");
  ftp.Passive = false;
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpUpload), "141: 550 Uploads are not allowed here.");
  EXPECT_FALSE(std::filesystem::exists(dir / "root/x.zip"));
}

TEST_F(FtpTest, BinaryUploadsAreCheckedWithSizeWhenTheServerListsIt) {
  for (bool shortSize : {false, true}) {
    auto server = shortSize ? Server({"--short-size"}) : Server();
    TFtpClient ftp;
    Connect(ftp, server->port());
    ftp.Passive = true;
    ftp.SetTransferMode(TFTPTransferModes::tmBinary);
    ftp.LocalFile = dir / "program.zip";
    ftp.RemoteFile = "checked.zip";
    const std::string sent = std::to_string(payload.size());
    const std::string held = std::to_string(payload.size() - 1);
    EXPECT_EQ(Attempt(ftp, TFtpActions::ftpUpload),
              shortSize ? "146: the server holds " + held + " bytes, " + sent + " were sent" : "");
    EXPECT_EQ(ftp.UploadVerified(), !shortSize);
    EXPECT_EQ(ftp.UploadedBytes(), static_cast<long long>(payload.size()));
    // FEAT is asked once per connection, SIZE after every binary upload.
    ftp.RemoteFile = "again.zip";
    Attempt(ftp, TFtpActions::ftpUpload);
    EXPECT_EQ(std::count(trail.begin(), trail.end(), "0 FEAT"), 1);
    EXPECT_EQ(std::count(trail.begin(), trail.end(), "0 SIZE again.zip"), 1);
    trail.clear();
  }
  // In ASCII mode the size on the server depends on its line ends: not asked.
  auto server = Server({"--short-size"});
  TFtpClient ftp;
  Connect(ftp, server->port());
  ftp.Passive = true;
  ftp.SetTransferMode(TFTPTransferModes::tmASCII);
  WriteFile(dir / "text.txt", "line\r\n");
  ftp.LocalFile = dir / "text.txt";
  ftp.RemoteFile = "text.txt";
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpUpload), "");
  EXPECT_FALSE(TrailHas("0 SIZE text.txt"));
  EXPECT_FALSE(ftp.UploadVerified());
}

TEST_F(FtpTest, LogonFailuresAndMultiLineGreetings) {
  auto server = Server({"--banner", "Welcome\\nto the\\ntest server"});
  TFtpClient ftp;
  Connect(ftp, server->port());
  ftp.Password = "wrong";
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogon), "141: 530 Authentication failed.");
  EXPECT_TRUE(TrailHas("1 220-Welcome"));
  EXPECT_TRUE(TrailHas("1 220 "));
  ftp.Password = "secret";
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogon), "");
}

TEST_F(FtpTest, UploadWithoutALocalFileFailsBeforeAnyNetworkActivity) {
  TFtpClient ftp;
  ftp.SetRemoteHost("127.0.0.1:1");
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpUpload), "145: Please specify a local file for upload.");
  ftp.LocalFile = dir / "none.bin";
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpUpload), "145: Error reading from local file.");
  ftp.LocalFile = dir.path();  // a folder opens for reading but has no bytes to send
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpUpload), "145: Error reading from local file.");
  ftp.LocalFile = dir / "program.zip";
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpUpload), "10061: Connection refused");
}

class ScriptedFtpTest : public FtpTest {
 protected:
  std::unique_ptr<PeerProcess> Scripted(const std::string& json) {
    WriteFile(dir / "script.json", json);
    return std::make_unique<PeerProcess>(
        std::vector<std::string>{PeerScript("line_peer.py"), "--script", dir / "script.json"});
  }
  std::string Commands() { return ReadFile(dir / "commands.log").value_or(""); }
};

TEST_F(ScriptedFtpTest, AnEmptyUserSendsOnlyPass) {
  auto peer = Scripted(R"({"PASS": "230 Welcome", "QUIT": "221 Bye"})");
  TFtpClient ftp;
  Connect(ftp, peer->port());
  ftp.User = "";
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogon), "");
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogoff), "");
  EXPECT_EQ(Commands(), "PASS secret\nQUIT\n");
}

TEST_F(ScriptedFtpTest, ThePasvAddressIsIgnoredForTheServersOwn) {
  auto peer = Scripted(R"J({"USER": "331 Password", "PASS": "230 OK", "EPSV": "500 No EPSV",
      "PASV": "227 Entering Passive Mode (10,0,0,1,{dataport})",
      "STOR": "150 Go ahead\n226 Done", "QUIT": "221 Bye"})J");
  TFtpClient ftp;
  Connect(ftp, peer->port());
  ftp.Passive = true;
  ftp.LocalFile = dir / "program.zip";
  ftp.RemoteFile = "p.zip";
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpUpload), "");
  EXPECT_EQ(ReadFile(dir / "data.log").value_or(""), "connected\n");
  for (int i = 0; i < 50 && ReadFile(dir / "data.bin").value_or("").size() < payload.size(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(SameBytes(dir / "data.bin", payload));
  bool noted = false;
  for (const auto& t : trail) noted |= t.rfind("2 Data address 10.0.0.1 ignored", 0) == 0;
  EXPECT_TRUE(noted);
}

TEST_F(ScriptedFtpTest, ASilentServerTimesOut) {
  auto peer = Scripted(R"({"greeting": ["SILENT"]})");
  TFtpClient ftp;
  Connect(ftp, peer->port());
  ftp.TimeOut = 1;
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogon), "10060: Connection timed out");
  EXPECT_FALSE(ftp.Connected());

  auto quiet = Scripted(R"({"USER": "SILENT"})");
  TFtpClient other;
  Connect(other, quiet->port());
  other.TimeOut = 1;
  EXPECT_EQ(Attempt(other, TFtpActions::ftpLogon), "10060: Connection timed out");
}

TEST_F(ScriptedFtpTest, InterruptionBusyRuleAndRecovery) {
  auto peer = Scripted(R"({"USER": "SILENT"})");
  TFtpClient ftp;
  Connect(ftp, peer->port());
  std::string busy;
  std::thread stopper([&] {
    while (ftp.Action() != TFtpActions::ftpLogon) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    try {
      ftp.SetAction(TFtpActions::ftpMakeDirectory);
    } catch (const EFtpClient& e) {
      busy = e.what();
    }
    ftp.SetAction(TFtpActions::ftpIdle);
  });
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogon), "301: Interrupted");
  stopper.join();
  EXPECT_EQ(busy, "143: Busy performing current action.");
  // The owner's token raised before an action starts ends it too: the start clears
  // only the client's own.
  CancelToken stop;
  stop.Cancel();
  ftp.StopToken = &stop;
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogon), "301: Interrupted");
}

TEST_F(ScriptedFtpTest, LineBreaksInAnyArgumentAreRefusedBeforeAnythingIsSent) {
  auto peer = Scripted(R"({"USER": "331 Password", "PASS": "230 OK", "DELE": "250 Deleted",
      "RNFR": "350 Go on", "RNTO": "250 Renamed", "CWD": "250 OK", "QUIT": "221 Bye"})");
  TFtpClient ftp;
  Connect(ftp, peer->port());
  const std::string injected = "x\r\nDELE victim.txt";
  ftp.RemoteFile = injected;
  ftp.LocalFile = dir / "program.zip";
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpUpload),
            "162: RemoteFile holds a CR, LF or NUL character.");
  EXPECT_FALSE(ftp.Connected());  // refused before connecting
  ftp.RemoteFile = "ok.txt";
  ftp.Password = "secret\r\nDELE victim.txt";
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogon), "162: Password holds a CR, LF or NUL character.");
  ftp.Password = "secret";
  ftp.User = std::string("demo\0DELE victim.txt", 21);
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogon), "162: User holds a CR, LF or NUL character.");
  ftp.User = "demo";
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogon), "");
  ftp.RemoteFile = injected;
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpDeleteFile),
            "162: RemoteFile holds a CR, LF or NUL character.");
  ftp.RemoteFile = "a.txt";
  ftp.AltFile = "b.txt\nDELE victim.txt";
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpRenameFile),
            "162: AltFile holds a CR, LF or NUL character.");
  EXPECT_THROW(ftp.SetRemotePath("pub\r\nDELE victim.txt"), EFtpClient);
  EXPECT_TRUE(ftp.Connected());  // nothing was sent, so the session goes on
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogoff), "");
  EXPECT_EQ(Commands(), "USER demo\nPASS secret\nQUIT\n");
}

TEST_F(ScriptedFtpTest, ARepliesDeadlineHoldsAgainstDribbledLinesAndEndlessPreliminaries) {
  auto dribble = Scripted(R"({"USER": {"lines": ["331-One", "331-line", "331-every", "331-half",
      "331-second", "331-is", "331 slow"], "delay": 0.5}})");
  TFtpClient ftp;
  Connect(ftp, dribble->port());
  ftp.TimeOut = 1;
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogon), "10060: Connection timed out");

  auto slow =
      Scripted(R"({"PASS": "230 OK", "USER": {"repeat": "150 Still working", "delay": 0.3}})");
  TFtpClient other;
  Connect(other, slow->port());
  other.TimeOut = 2;
  EXPECT_EQ(Attempt(other, TFtpActions::ftpLogon), "10060: Connection timed out");

  auto fast = Scripted(R"({"USER": {"repeat": "150 Still working", "delay": 0.01}})");
  TFtpClient third;
  Connect(third, fast->port());
  third.TimeOut = 20;
  EXPECT_EQ(Attempt(third, TFtpActions::ftpLogon), "141: 150 Still working");

  std::string endless = "[";
  for (int i = 0; i < 1200; ++i) endless += "\"220-line\", ";
  auto chatty = Scripted(R"({"greeting": )" + endless + R"("220 ready"]})");
  TFtpClient fourth;
  Connect(fourth, chatty->port());
  EXPECT_EQ(Attempt(fourth, TFtpActions::ftpLogon), "141: Unexpected server reply.");
}

TEST_F(ScriptedFtpTest, AnUploadTheServerDidNotTakeFails) {
  const std::string logon = R"J("USER": "331 Password", "PASS": "230 OK", "EPSV": "500 No",
      "PASV": "227 Entering Passive Mode (127,0,0,1,{dataport})", "QUIT": "221 Bye")J";
  struct Case {
    std::string script;
    std::string result;
  } cases[] = {
      // "226" before any data connection carried a byte.
      {R"({"STOR": "226 Done", )" + logon + "}",
       "141: Transfer ended by the server before the data was sent: 226 Done"},
      // The server never takes the data connection, yet claims success.
      {R"({"data": "ignore", "STOR": "150 Go\n226 Done", )" + logon + "}",
       "10060: Connection timed out"},
      // The server drops the data connection without reading it.
      {R"({"data": "reset", "STOR": "150 Go\n226 Done", )" + logon + "}",
       "10054: Connection reset by peer"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(dir / "commands.log");
    auto peer = Scripted(c.script);
    TFtpClient ftp;
    Connect(ftp, peer->port());
    ftp.TimeOut = 2;
    ftp.Passive = true;
    ftp.LocalFile = dir / "program.zip";
    ftp.RemoteFile = "p.zip";
    bool ended = false;
    ftp.OnEndTransfer = [&] { ended = true; };
    EXPECT_EQ(Attempt(ftp, TFtpActions::ftpUpload), c.result) << c.script;
    EXPECT_FALSE(ended);
  }
}

// The time-out is for a stalled transfer: a server that takes a block more slowly
// than one time-out, but keeps taking bytes, gets the whole file.
TEST_F(ScriptedFtpTest, ASlowButSteadyServerIsNeverCutOff) {
  auto peer = Scripted(R"J({"data": "slow", "data_rate": 196608,
      "USER": "331 Password", "PASS": "230 OK", "EPSV": "500 No",
      "PASV": "227 Entering Passive Mode (127,0,0,1,{dataport})",
      "STOR": "150 Go\n226 Done", "QUIT": "221 Bye"})J");
  const std::string slowPayload = payload.substr(0, 768 * 1024);
  WriteFile(dir / "slow.bin", slowPayload);
  TFtpClient ftp;
  Connect(ftp, peer->port());
  ftp.TimeOut = 1;
  ftp.Passive = true;
  ftp.LocalFile = dir / "slow.bin";
  ftp.RemoteFile = "slow.bin";
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpUpload), "");
  for (int i = 0; i < 100 && ReadFile(dir / "data.bin").value_or("").size() < slowPayload.size();
       ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(SameBytes(dir / "data.bin", slowPayload));
}

TEST_F(ScriptedFtpTest, AResumedUploadSendsTheFileFromItsStartByte) {
  auto peer = Scripted(R"J({"USER": "331 Password", "PASS": "230 OK", "EPSV": "500 No",
      "PASV": "227 Entering Passive Mode (127,0,0,1,{dataport})", "REST": "350 Restarting",
      "STOR": "150 Go\n226 Done", "QUIT": "221 Bye"})J");
  TFtpClient ftp;
  Connect(ftp, peer->port());
  ftp.Passive = true;
  ftp.StartByte = 1000001;
  ftp.LocalFile = dir / "program.zip";
  ftp.RemoteFile = "p.zip";
  long long reported = 0;
  ftp.OnTransfer = [&](long long n, std::string_view) { reported = n; };
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpUpload), "");
  const std::string rest = payload.substr(1000001);
  for (int i = 0; i < 50 && ReadFile(dir / "data.bin").value_or("").size() < rest.size(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(SameBytes(dir / "data.bin", rest));
  EXPECT_EQ(reported, static_cast<long long>(rest.size()));
  EXPECT_NE(Commands().find("REST 1000001\n"), std::string::npos);
}

TEST_F(ScriptedFtpTest, TheSizeCheckCountsFromTheStartByteAndAnUnansweredCheckIsNoFailure) {
  const std::string whole = std::to_string(payload.size());
  const std::string logon = R"J("USER": "331 Password", "PASS": "230 OK", "EPSV": "500 No",
      "PASV": "227 Entering Passive Mode (127,0,0,1,{dataport})", "REST": "350 Restarting",
      "TYPE": "200 OK", "STOR": "150 Go\n226 Done", "QUIT": "221 Bye")J";
  const std::string feat = R"("211-Features\n SIZE\n211 End")";
  struct Case {
    std::string feat, size;
    bool verified;
    std::string error = "";
  } cases[] = {
      // A resumed upload: the server holds the part it had and the part sent.
      {feat, "\"213 " + whole + "\"", true},
      // SIZE listed but refused for the file; FEAT never answered.
      {feat, R"("550 No")", false},
      {R"("SILENT")", R"("213 1")", false},
      // Only "213", one space and digits says a size.
      {feat, "\"213 " + whole + " bytes\"", false},
      {feat, R"("213 1 bytes")", false},
      {feat, "\"213  " + whole + "\"", false},
      {feat, "\"213 " + whole + " \"", false},
      {feat, "\"213 +" + whole + "\"", false},
      {feat, R"("213 ")", false},
      {feat, R"("213 0000000000000000001")", false},  // more than 18 digits
      {feat, R"("213 1")", false, "146: the server holds 1 bytes, " + whole + " were sent"},
  };
  for (const auto& c : cases) {
    auto peer = Scripted("{" + logon + R"(, "FEAT": )" + c.feat + R"(, "SIZE": )" + c.size + "}");
    TFtpClient ftp;
    Connect(ftp, peer->port());
    ftp.TimeOut = 2;
    ftp.Passive = true;
    ftp.SetTransferMode(TFTPTransferModes::tmBinary);
    ftp.StartByte = 1000001;
    ftp.LocalFile = dir / "program.zip";
    ftp.RemoteFile = "p.zip";
    EXPECT_EQ(Attempt(ftp, TFtpActions::ftpUpload), c.error) << c.feat << c.size;
    EXPECT_EQ(ftp.UploadVerified(), c.verified) << c.feat << c.size;
  }
}

TEST_F(ScriptedFtpTest, APasvReplyWithoutParenthesesIsScannedForItsNumbers) {
  auto peer = Scripted(R"J({"USER": "331 Password", "PASS": "230 OK", "EPSV": "500 No",
      "PASV": "227 Entering Passive Mode 127,0,0,1,{dataport}",
      "STOR": "150 Go\n226 Done", "QUIT": "221 Bye"})J");
  TFtpClient ftp;
  Connect(ftp, peer->port());
  ftp.Passive = true;
  ftp.LocalFile = dir / "program.zip";
  ftp.RemoteFile = "p.zip";
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpUpload), "");
  EXPECT_EQ(ReadFile(dir / "data.log").value_or(""), "connected\n");

  std::string host;
  std::uint16_t port = 0;
  EXPECT_TRUE(PasvAddress("227 =10,1,2,3,4,5", host, port));
  EXPECT_EQ(host + ":" + std::to_string(port), "10.1.2.3:1029");
  EXPECT_FALSE(PasvAddress("227 Entering Passive Mode 10,1,2,3,4", host, port));
}

TEST_F(ScriptedFtpTest, AnAccountRequestAfterThePasswordIsALogonFailure) {
  auto peer = Scripted(R"({"USER": "331 Password", "PASS": "332 Need account for login.",
      "ACCT": "230 OK", "QUIT": "221 Bye"})");
  TFtpClient ftp;
  Connect(ftp, peer->port());
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogon), "141: 332 Need account for login.");
}

TEST_F(ScriptedFtpTest, PassiveRepliesWithNumbersOutOfRange) {
  // A bad EPSV port falls back to PASV; a bad PASV number fails.
  auto peer = Scripted(R"J({"USER": "331 Password", "PASS": "230 OK",
      "EPSV": "229 Entering Extended Passive Mode (|||99999|)",
      "PASV": "227 Entering Passive Mode (127,0,0,1,{dataport})",
      "STOR": "150 Go\n226 Done", "QUIT": "221 Bye"})J");
  TFtpClient ftp;
  Connect(ftp, peer->port());
  ftp.Passive = true;
  ftp.LocalFile = dir / "program.zip";
  ftp.RemoteFile = "p.zip";
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpUpload), "");
  EXPECT_TRUE(TrailHas("0 PASV"));

  std::filesystem::remove(dir / "commands.log");
  auto bad = Scripted(R"J({"USER": "331 Password", "PASS": "230 OK", "EPSV": "229 (|||12a|)",
      "PASV": "227 Entering Passive Mode (127,0,0,1,256,21)"})J");
  TFtpClient other;
  Connect(other, bad->port());
  other.Passive = true;
  other.LocalFile = dir / "program.zip";
  other.RemoteFile = "p.zip";
  std::vector<std::string> errors;
  other.OnError = [&](int c, const std::string& t) {
    errors.push_back(std::to_string(c) + " " + t);
  };
  EXPECT_EQ(Attempt(other, TFtpActions::ftpUpload),
            "141: 227 Entering Passive Mode (127,0,0,1,256,21)");
  EXPECT_EQ(errors, std::vector<std::string>{"141 Unexpected server reply."});
  EXPECT_EQ(Commands().find("STOR"), std::string::npos);
}

TEST_F(ScriptedFtpTest, ADownloadReplacesTheFileOnlyOnceConfirmed) {
  WriteFile(dir / "local.txt", "the old file");
  auto peer = Scripted(R"J({"data": "send", "data_send": "half of the n",
      "USER": "331 Password", "PASS": "230 OK", "EPSV": "500 No",
      "PASV": "227 Entering Passive Mode (127,0,0,1,{dataport})",
      "RETR": "150 Go\n451 Aborted: local error", "QUIT": "221 Bye"})J");
  TFtpClient ftp;
  Connect(ftp, peer->port());
  ftp.Passive = true;
  ftp.TimeOut = 5;
  ftp.LocalFile = dir / "local.txt";
  ftp.RemoteFile = "remote.txt";
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpDownload), "141: 451 Aborted: local error");
  EXPECT_EQ(*ReadFile(dir / "local.txt"), "the old file");
  EXPECT_FALSE(std::filesystem::exists(dir / "local.txt.part"));
}

// A server that streams for ever cannot fill the disk: the download stops at the
// size limit, the old file stays, and the control connection goes on working.
TEST_F(ScriptedFtpTest, ADownloadStopsAtTheSizeLimit) {
  const std::string script = R"J({"data": "stream", "data_send": "endless ",
      "USER": "331 Password", "PASS": "230 OK", "EPSV": "500 No",
      "PASV": "227 Entering Passive Mode (127,0,0,1,{dataport})",
      "RETR": "150 Go\n426 Transfer aborted", "NOOP": "200 OK", "QUIT": "221 Bye"})J";
  const std::string limitError = "141: Download stopped: the file is larger than 1048576 bytes.";
  {
    WriteFile(dir / "local.txt", "the old file");
    auto peer = Scripted(script);
    TFtpClient ftp;
    Connect(ftp, peer->port());
    ftp.Passive = true;
    ftp.TimeOut = 5;
    ftp.MaxDownloadSize = 1 << 20;
    ftp.LocalFile = dir / "local.txt";
    ftp.RemoteFile = "remote.txt";
    EXPECT_EQ(Attempt(ftp, TFtpActions::ftpDownload), limitError);
    EXPECT_EQ(*ReadFile(dir / "local.txt"), "the old file");
    EXPECT_FALSE(std::filesystem::exists(dir / "local.txt.part"));
    EXPECT_TRUE(TrailHas("1 426 Transfer aborted"));  // read now, not by the next command
    EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogoff), "");
  }
  {
    auto peer = Scripted(script);  // to OnTransfer: bounded in the same way
    TFtpClient ftp;
    Connect(ftp, peer->port());
    ftp.Passive = true;
    ftp.TimeOut = 5;
    ftp.MaxDownloadSize = 1 << 20;
    ftp.RemoteFile = "remote.txt";
    long long received = 0;
    ftp.OnTransfer = [&](long long n, std::string_view) { received = n; };
    EXPECT_EQ(Attempt(ftp, TFtpActions::ftpDownload), limitError);
    EXPECT_LE(received, 1 << 20);
    EXPECT_GT(received, 0);
  }
}

// A name server that never answers: logging on ends at the time-out, or at once on
// ftpIdle.
TEST_F(FtpTest, AStuckLookupEndsWithTheTimeOutOrTheInterruption) {
  test::ScopedResolver resolver;
  resolver->Hang();
  TFtpClient ftp;
  Connect(ftp, 21);
  ftp.SetRemoteHost("stuck.test");
  ftp.TimeOut = 1;
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogon), "10060: Connection timed out");
  ftp.TimeOut = 60;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ftp.SetAction(TFtpActions::ftpIdle);
  });
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogon), "301: Interrupted");
  stopper.join();
  EXPECT_FALSE(ftp.Connected());
}

TEST_F(FtpTest, TheFtpWindowSetsTheFailureStateForTheUploadStep) {
  auto server = Server({"--refuse-stor"});
  FtpRunState state;
  std::vector<std::string> ftpLog;
  std::string status;
  TftpForm1 form(
      state, [&](const std::string& l) { ftpLog.push_back(l); },
      [&](const std::string& s) { status = s; });
  form.tHost = "127.0.0.1:" + std::to_string(server->port());
  form.tUser = "demo";
  form.tPasswd = "secret";
  form.FTP1.Passive = true;
  form.Logon();
  EXPECT_FALSE(state.FtpFailed);
  form.eLocalFile = dir / "program.zip";
  form.SetRemoteFile("x.zip");
  form.UploadFile();
  EXPECT_TRUE(state.FtpFailed);
  EXPECT_EQ(state.FtpErrorText, "141: 550 Uploads are not allowed here.");
  EXPECT_EQ(ftpLog.back(), "EXCEPTION: 141: 550 Uploads are not allowed here.");
  EXPECT_NE(std::find(ftpLog.begin(), ftpLog.end(), "CLIENT: PASS ****"), ftpLog.end());
  form.Logoff();
  form.Logoff();  // a second log-off is harmless
  EXPECT_EQ(ftpLog.back(), "INFO: Disconnected.");

  form.tPasswd = "wrong";
  form.Logon();
  EXPECT_TRUE(state.FtpFailed);
  EXPECT_EQ(state.FtpErrorText, "141: 530 Authentication failed.");
}

class FtpsTest : public FtpTest {
 protected:
  FtpsTest() : certs(dir.path()) {}
  test::TestCertificates certs;
};

TEST_F(FtpsTest, ExplicitTlsUploadsWithTheTestCertificate) {
  auto server = Server({"--cert", certs.serverPem, "--key", certs.serverKey});
  for (bool passive : {true, false}) {
    TFtpClient ftp;
    Connect(ftp, server->port());
    ftp.UseTLS = true;
    ftp.CaFile = certs.caPem;
    ftp.Passive = passive;
    ftp.LocalFile = dir / "program.zip";
    ftp.RemoteFile = passive ? "tls-passive.zip" : "tls-active.zip";
    EXPECT_EQ(Attempt(ftp, TFtpActions::ftpUpload), "");
    EXPECT_TRUE(SameBytes(dir / ("root/" + ftp.RemoteFile), payload));
    EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogoff), "");
  }
  EXPECT_TRUE(TrailHas("0 AUTH TLS"));
  EXPECT_TRUE(TrailHas("0 PROT P"));

  // A real server's download arrives whole, through a part file.
  WriteFile(dir / "root/pub.txt", payload);
  {
    TFtpClient ftp;
    Connect(ftp, server->port());
    ftp.UseTLS = true;
    ftp.CaFile = certs.caPem;
    ftp.Passive = true;
    ftp.SetTransferMode(TFTPTransferModes::tmBinary);
    ftp.LocalFile = dir / "got.bin";
    ftp.RemoteFile = "pub.txt";
    EXPECT_EQ(Attempt(ftp, TFtpActions::ftpDownload), "");
    EXPECT_TRUE(SameBytes(dir / "got.bin", payload));
  }

  auto bad = Server({"--cert", certs.selfSignedPem, "--key", certs.selfSignedKey});
  TFtpClient ftp;
  Connect(ftp, bad->port());
  ftp.UseTLS = true;
  ftp.CaFile = certs.caPem;
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogon).rfind("161: Certificate verify failed: ", 0), 0u);
}

TEST_F(FtpsTest, AServerThatClosesAfter226CannotKillTheProcessAndTheUploadStands) {
  std::signal(SIGPIPE, SIG_DFL);  // a write that raised SIGPIPE would end this program
  WriteFile(dir / "script.json", R"J({"AUTH": "234 Go ahead", "USER": "331 Password",
      "PASS": "230 OK", "PBSZ": "200 OK", "PROT": "200 OK", "TYPE": "200 OK",
      "EPSV": "229 Entering Extended Passive Mode (|||{epsvport}|)",
      "STOR": {"lines": ["150 Go", "226 Done"], "then": "close"}})J");
  PeerProcess peer({PeerScript("line_peer.py"), "--script", dir / "script.json", "--cert",
                    certs.serverPem, "--key", certs.serverKey});
  TFtpClient ftp;
  Connect(ftp, peer.port());
  ftp.UseTLS = true;
  ftp.CaFile = certs.caPem;
  ftp.Passive = true;
  ftp.LocalFile = dir / "program.zip";
  ftp.RemoteFile = "p.zip";
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpUpload), "");
  for (int i = 0; i < 100 && ReadFile(dir / "data.bin").value_or("").size() < payload.size(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(SameBytes(dir / "data.bin", payload));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the close has arrived
  EXPECT_NE(Attempt(ftp, TFtpActions::ftpLogoff), "");          // QUIT finds no server
  EXPECT_FALSE(ftp.Connected());
}

}  // namespace
}  // namespace vendrix
