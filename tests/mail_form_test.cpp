// The mail window's logic: the lines its events write, busy state, error flag, the
// setup dialog and its file, driven against a scripted SMTP peer.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <thread>

#include "app/program_settings.h"

#include "mail/mail_error.h"
#include "run/smtp_form.h"
#include "support/peer_process.h"
#include "support/scripted_prompt.h"
#include "support/temp_dir.h"

namespace vendrix {
namespace {

using test::PeerProcess;
using test::PeerScript;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// Records every call as "<where>: <text>".
class RecordingView : public SmtpFormView {
 public:
  std::vector<std::string> calls;
  void AddReportLine(const std::string& l) override { calls.push_back("report: " + l); }
  void SetStatus(const std::string& t) override { calls.push_back("status: " + t); }
  void AddLogLine(const std::string& l) override { calls.push_back("log: " + l); }
  void SetProgress(int p) override { calls.push_back("bar: " + std::to_string(p)); }
  void SetMainProgress(int p) override { calls.push_back("main bar: " + std::to_string(p)); }
  void BusyChanged(bool b) override { calls.push_back(b ? "busy" : "idle"); }
  void ShowError(const std::string& t) override { calls.push_back("message: " + t); }
};

class SmtpFormTest : public ::testing::Test {
 protected:
  TempDir dir;
  RecordingView view;
  TSMTPForm form{&view};
  std::unique_ptr<PeerProcess> peer;

  void Peer(const std::string& json) {
    WriteFile(dir / "script.json", json);
    peer = std::make_unique<PeerProcess>(std::vector<std::string>{
        PeerScript("smtp_peer.py"), "script", "--script", dir / "script.json"});
    TSetupDlg setup;
    setup.ServerEdit = "127.0.0.1:" + std::to_string(peer->port());
    setup.UserAddressEdit = "jo@example.com";
    setup.UserNameEdit = "Jo Dev";
    setup.LogFileNameEdit = dir / "smtp.log";
    form.Apply(setup);
    form.ToEdit = "sites@download.test";
    form.SubjectEdit = "New program";
    form.SetBodyText("Hello\r\nWorld\r\n");
  }
};

TEST_F(SmtpFormTest, SuccessfulSendWritesTheTablesLinesInOrder) {
  Peer(R"({"replies": {"DATA": "354 go"}})");
  form.Send();
  EXPECT_FALSE(form.ErrorFlag());
  EXPECT_FALSE(form.Busy());
  std::vector<std::string> expected = {"busy",
                                       "report: Opening SMTP Connection",
                                       "status: Opening connection",
                                       "log: Opening SMTP Connection",
                                       "report: Preparing Message",
                                       "status: Preparing message",
                                       "log: Preparing Message",
                                       "report: Sending Message",
                                       "status: Sending message",
                                       "log: Sending Message",
                                       "report: Mail Sent",
                                       "log: Mail Sent",
                                       "report: Closing Connection",
                                       "status: Closing connection",
                                       "log: Closing SMTP Connection",
                                       "report: Connection Closed",
                                       "status: Connection closed",
                                       "idle"};
  std::vector<std::string> lines;
  for (const auto& c : view.calls) {
    if (c.find("bar: ") == std::string::npos) lines.push_back(c);
  }
  EXPECT_EQ(lines, expected);
  // Progress: both bars follow the blocks, then go back to 0.
  auto last100 = std::find(view.calls.begin(), view.calls.end(), "bar: 100");
  ASSERT_NE(last100, view.calls.end());
  EXPECT_EQ(last100[1], "main bar: 100");
  EXPECT_EQ(view.calls[view.calls.size() - 2], "main bar: 0");
  std::string received = ReadFile(dir / "data-1.eml").value_or("");
  EXPECT_NE(received.find("X-Vendrix: "), std::string::npos);
  EXPECT_NE(received.find("\r\n\r\nHello\r\nWorld\r\n"), std::string::npos);
}

TEST_F(SmtpFormTest, RejectedAddressSetsTheErrorFlagAndExplainsWhy) {
  Peer(R"({"replies": {"RCPT": "550 5.1.1 unknown user"}})");
  EXPECT_THROW(form.Send(), EServerError);
  EXPECT_TRUE(form.ErrorFlag());
  EXPECT_FALSE(form.Busy());
  EXPECT_EQ(form.ErrorText(), "550 5.1.1 unknown user");
  auto& c = view.calls;
  auto rejected = std::find(c.begin(), c.end(), "report: ERROR -> Address Rejected By Server");
  ASSERT_NE(rejected, c.end());
  EXPECT_EQ(rejected[1], "log: ERROR -> Address Rejected By Server");
  EXPECT_NE(std::find(c.begin(), c.end(), "report: ERROR -> 550 5.1.1 unknown user"), c.end());
  EXPECT_EQ(c.back(), "idle");
}

TEST_F(SmtpFormTest, ErrorsGoThroughOnErrorOnce) {
  Peer(R"({"greeting": "SILENT"})");
  form.msSMTP1.TimeOut = 1;
  EXPECT_THROW(form.Send(), ETimedOutError);
  EXPECT_TRUE(form.ErrorFlag());
  auto& c = view.calls;
  EXPECT_EQ(std::count(c.begin(), c.end(), "report: ERROR -> Operation timed out"), 1);
  auto err = std::find(c.begin(), c.end(), "report: ERROR -> Operation timed out");
  ASSERT_NE(err, c.end());
  EXPECT_EQ(err[1], "status: Operation timed out");
  EXPECT_EQ(err[2], "log: SMTP Error");
}

TEST_F(SmtpFormTest, CancelAndClosingWhileBusy) {
  Peer(R"({"replies": {"MAIL": "SILENT"}})");
  std::thread sender([this] { EXPECT_THROW(form.Send(), ECanceledError); });
  while (!form.Busy()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(form.CloseQuery());
  form.Cancel();
  sender.join();
  EXPECT_TRUE(form.CloseQuery());
  auto& c = view.calls;
  EXPECT_NE(
      std::find(c.begin(), c.end(), "message: Transfer in Progress.  Click Cancel button first."),
      c.end());
  auto cancel = std::find(c.begin(), c.end(), "report: MailSend Operation Canceled!");
  ASSERT_NE(cancel, c.end());
  EXPECT_EQ(cancel[1], "status: Operation has been canceled");
  EXPECT_EQ(cancel[2], "report: ERROR -> Operation has been canceled");
  EXPECT_EQ(form.StatusText(), "Connection closed");
}

TEST_F(SmtpFormTest, PasswordAppearsInNoLineOrFile) {
  Peer(R"({"replies": {"EHLO": "250-peer\n250 AUTH PLAIN",
                       "AUTH": "535 5.7.8 AGpvAGh1bnRlcjI= hunter2 rejected"}})");
  TSetupDlg setup = form.Setup();
  setup.User = "jo";
  setup.Password = "hunter2";
  form.Apply(setup);
  EXPECT_THROW(form.Send(), EServerError);
  for (const auto& c : view.calls) EXPECT_EQ(c.find("hunter2"), std::string::npos) << c;
  for (const auto& c : view.calls) EXPECT_EQ(c.find("AGpvAGh1bnRlcjI="), std::string::npos) << c;
  EXPECT_EQ(form.ErrorText().find("hunter2"), std::string::npos);
  std::string log = ReadFile(dir / "smtp.log").value_or("");
  EXPECT_NE(log.find("AUTH PLAIN ****"), std::string::npos);
  EXPECT_EQ(log.find("hunter2"), std::string::npos);
  EXPECT_EQ(log.find("AGpvAGh1bnRlcjI="), std::string::npos);
}

TEST_F(SmtpFormTest, SetupDialogCarriesTheSixFieldsAndItsFile) {
  TSetupDlg d;
  d.ServerEdit = "mail.example.com:587";
  d.UserAddressEdit = "jo@example.com";
  d.UserNameEdit = "Jo";
  d.LogFileNameEdit = "/tmp/x.log";
  d.CharSetCombo = 1;
  d.EncodingCombo = 1;
  d.Security = SmtpSecurity::StartTls;
  form.Apply(d);
  EXPECT_EQ(form.msSMTP1.Server, "mail.example.com:587");
  EXPECT_EQ(form.msMessage1.CharSet, TCharSet::csISO8859);
  EXPECT_EQ(form.msMessage1.Encoding, TMsgEncoding::meUU);
  TSetupDlg back = form.Setup();
  EXPECT_EQ(back.UserNameEdit, "Jo");
  EXPECT_EQ(back.Security, SmtpSecurity::StartTls);

  d.SaveIni(dir / "vendrix.ini");
  std::string ini = ReadFile(dir / "vendrix.ini").value_or("");
  EXPECT_NE(ini.find("[Setup]\r\nServer=mail.example.com:587\r\nEMail Address=jo@example.com\r\n"
                     "Name=Jo\r\nLog File=/tmp/x.log\r\nCharSet=1\r\nEncoding=1\r\n"),
            std::string::npos)
      << ini;
  TSetupDlg loaded;
  loaded.LoadIni(dir / "vendrix.ini");
  EXPECT_EQ(loaded.ServerEdit, d.ServerEdit);
  EXPECT_EQ(loaded.CharSetCombo, 1);
  // The window reads its file when made and writes it when closed.
  {
    TSMTPForm window(nullptr, dir / "vendrix.ini");
    EXPECT_EQ(window.msSMTP1.Server, "mail.example.com:587");
    EXPECT_EQ(window.msMessage1.Sender.Name, "Jo");
    window.msSMTP1.Server = "other.example.com";
    EXPECT_TRUE(window.Close());
  }
  TSetupDlg reread;
  reread.LoadIni(dir / "vendrix.ini");
  EXPECT_EQ(reread.ServerEdit, "other.example.com");
  TSetupDlg missing;
  missing.LoadIni(dir / "none.ini");
  EXPECT_EQ(missing.ServerEdit, "");
  EXPECT_EQ(missing.EncodingCombo, 0);
  EXPECT_EQ(TSetupDlg::CharSetItems(), (std::vector<std::string>{"US-ASCII", "ISO-8859-1"}));
  EXPECT_EQ(ParseSmtpSecurity("starttls"), SmtpSecurity::StartTls);
  EXPECT_EQ(ParseSmtpSecurity("bogus"), SmtpSecurity::Auto);
}

TEST(EhloReply, KeywordsAndMechanismsInBothForms) {
  SmtpReply r;
  r.lines = {"250-peer.test greets you", "250-starttls", "250-AUTH=LOGIN",
             "250-AUTH cram-md5 plain", "250 SIZE 1000"};
  SmtpExtensions e = ParseEhloReply(r);
  EXPECT_TRUE(e.Has("STARTTLS"));
  EXPECT_TRUE(e.Has("SIZE"));
  EXPECT_FALSE(e.Has("PEER.TEST"));
  EXPECT_EQ(e.auth, (std::set<std::string>{"LOGIN", "CRAM-MD5", "PLAIN"}));
  EXPECT_EQ(SmtpReplyCode("354 go"), 354);
  EXPECT_EQ(SmtpReplyCode("35x"), -1);
}

TEST_F(SmtpFormTest, ToFieldTakesSeveralAddresses) {
  Peer(R"({"replies": {"DATA": "354 go"}})");
  form.ToEdit = "a@x.test; Second <b@x.test>, ";
  form.Send();
  std::string log = ReadFile(dir / "commands.log").value_or("");
  EXPECT_NE(log.find("RCPT TO:<a@x.test>\nRCPT TO:<b@x.test>\n"), std::string::npos) << log;
}

TEST_F(SmtpFormTest, ToFieldSplitsOnlyOutsideQuotesAndReportsAListItCannotRead) {
  Peer(R"({"replies": {"DATA": "354 go"}})");
  form.ToEdit = "\"Doe, John\" <john@example.org>; b@x.test";
  form.Send();
  std::string log = ReadFile(dir / "commands.log").value_or("");
  EXPECT_NE(log.find("RCPT TO:<john@example.org>\nRCPT TO:<b@x.test>\nDATA"), std::string::npos)
      << log;
  // A list that cannot be read is the window's failure, reported like any other.
  view.calls.clear();
  form.ToEdit = "\"Doe, John <john@example.org>";
  EXPECT_THROW(form.Send(), EMessageError);
  EXPECT_TRUE(form.ErrorFlag());
  EXPECT_FALSE(form.Busy());
  ASSERT_FALSE(view.calls.empty());
  EXPECT_EQ(view.calls.back(), "idle");
  EXPECT_NE(std::find(view.calls.begin(), view.calls.end(),
                      "report: ERROR -> The recipient list \"\"Doe, John <john@example.org>\" is "
                      "not valid: a quote is not closed"),
            view.calls.end());
}

}  // namespace
}  // namespace vendrix

namespace vendrix {
namespace {

TEST(MailSettings, KeysDefaultsAndAPasswordFileForTheOwnerOnly) {
  TempDir dir;
  test::ScriptedPrompt prompt;
  const std::string path = dir / "settings.dat";
  ProgramSettings none = LoadProgramSettings(path);
  EXPECT_EQ(none.smtpSecurity, "Auto");
  EXPECT_EQ(none.smtpUser, "");
  EXPECT_EQ(none.smtpPassword, "");

  SettingsDialog dialog(path, prompt);
  dialog.Open();
  dialog.Fields().smtpSecurity = "starttls";
  dialog.Fields().smtpUser = "editor";
  dialog.Fields().smtpPassword = "s3cret";
  ASSERT_TRUE(dialog.Ok());
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ProgramSettings back = LoadProgramSettings(path);
  EXPECT_EQ(back.smtpSecurity, "STARTTLS");
  EXPECT_EQ(back.smtpUser, "editor");
  EXPECT_EQ(back.smtpPassword, "s3cret");

  WriteFile(path, "[SETTINGS]\r\nSMTPSecurity=sometimes\r\n");
  EXPECT_EQ(LoadProgramSettings(path).smtpSecurity, "Auto");
}

}  // namespace
}  // namespace vendrix
