#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "net/ftp_client.h"
#include "net/ftp_form.h"
#include "net/net_error.h"
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
  ftp.OnIdle = [&] {
    if (busy.empty()) {
      try {
        ftp.SetAction(TFtpActions::ftpMakeDirectory);
      } catch (const EFtpClient& e) {
        busy = e.what();
      }
    }
  };
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ftp.SetAction(TFtpActions::ftpIdle);
  });
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogon), "301: Interrupted");
  stopper.join();
  EXPECT_EQ(busy, "143: Busy performing current action.");
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

  auto bad = Server({"--cert", certs.selfSignedPem, "--key", certs.selfSignedKey});
  TFtpClient ftp;
  Connect(ftp, bad->port());
  ftp.UseTLS = true;
  ftp.CaFile = certs.caPem;
  EXPECT_EQ(Attempt(ftp, TFtpActions::ftpLogon).rfind("161: Certificate verify failed: ", 0), 0u);
}

}  // namespace
}  // namespace vendrix
