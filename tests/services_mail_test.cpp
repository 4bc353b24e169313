// A contribution sent through aiosmtpd with the user's mail settings, read back with
// Python's email package.
#include <gtest/gtest.h>

#include <cstdio>

#include "services/smtp_contribution.h"
#include "support/peer_process.h"
#include "support/scripted_prompt.h"
#include "support/temp_dir.h"

namespace vendrix {
namespace {

using test::PeerProcess;
using test::PeerScript;
using test::ReadFile;
using test::ScriptedPrompt;
using test::TempDir;
using test::WriteFile;

std::string Parsed(const std::string& eml, const std::string& field) {
  std::string out;
  const std::string command =
      "/usr/bin/python3 '" + PeerScript("smtp_check.py") + "' '" + eml + "' " + field;
  if (std::FILE* p = ::popen(command.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

class SilentView : public ContributeView {
 public:
  void Sending(bool) override {}
  void Close() override {}
};

class ContributeMailTest : public ::testing::Test {
 protected:
  ContributeMailTest() : tree(dir / "tree") {
    tree.MakeDataTree();
    company.contact = "Jo Bloggs";
    company.email = "jo@acme.example";
    peer = std::make_unique<PeerProcess>(
        std::vector<std::string>{PeerScript("smtp_peer.py"), "aiosmtpd", "--out", dir / "out",
                                 "--auth", "editor:s3cret&pw", "--auth-in-clear"});
    settings.server = "127.0.0.1:" + std::to_string(peer->port());
    settings.user = "editor";
    settings.password = "s3cret&pw";
    settings.timeOut = 10;
  }
  TContributeFrm::Result Submit(const std::string& site) {
    SmtpContributionSender sender(settings);
    TContributeFrm form(site, company, tree, "engines@halvane.example", sender, prompt, view);
    auto r = form.Submit();
    lastError = form.LastError();
    return r;
  }

  TempDir dir;
  DataTree tree;
  CompanyProfile company;
  std::unique_ptr<PeerProcess> peer;
  ContributionMailSettings settings;
  ScriptedPrompt prompt;
  SilentView view;
  std::string lastError;
};

TEST_F(ContributeMailTest, TheSitesFilesGoOutInOrderThroughTheUsersServer) {
  WriteFile(tree.ScriptFile("My Site", "FTP_NEW"), "ftp\r\n");
  WriteFile(tree.CategoryFile("My Site", 1), "Games\r\n");
  WriteFile(tree.SiteSettingsFile("My Site"), "[SETTINGS]\r\nUSE_FTP=1\r\n");
  ASSERT_EQ(Submit("My Site"), TContributeFrm::Result::Sent) << lastError;
  const std::string eml = dir / "out/msg-1.eml";
  EXPECT_EQ(Parsed(eml, "content_type"), "multipart/mixed");
  EXPECT_EQ(Parsed(eml, "subject"), "New Site Submission for: My Site");
  EXPECT_EQ(Parsed(eml, "to"), "engines@halvane.example");
  EXPECT_EQ(Parsed(eml, "to_names"), "Vendrix Engine Submissions");
  EXPECT_EQ(Parsed(eml, "from_name"), "Jo Bloggs");
  EXPECT_EQ(Parsed(eml, "body"), "New Site Submission for: My Site\n");
  EXPECT_EQ(Parsed(eml, "attachments"), "My Site.ini\nMy Site Cat1.cat\nMy Site FTP_NEW.scp");
  EXPECT_EQ(Parsed(eml, "defects"), "");
  const std::string envelope = ReadFile(dir / "out/msg-1.json").value_or("");
  EXPECT_NE(envelope.find("\"auth\": true"), std::string::npos) << envelope;
  EXPECT_NE(envelope.find("\"mail_from\": \"jo@acme.example\""), std::string::npos) << envelope;
  EXPECT_TRUE(prompt.Saw("inform: Submission Sent. Thank You!"));
}

TEST_F(ContributeMailTest, ASiteWithoutFilesGoesAsPlainText) {
  ASSERT_EQ(Submit("Bare Site"), TContributeFrm::Result::Sent) << lastError;
  const std::string eml = dir / "out/msg-1.eml";
  EXPECT_EQ(Parsed(eml, "content_type"), "text/plain");
  EXPECT_EQ(Parsed(eml, "attachments"), "");
  EXPECT_EQ(Parsed(eml, "body"), "New Site Submission for: Bare Site\n");
}

TEST_F(ContributeMailTest, ARefusalOrAMissingContactSendsNothing) {
  settings.password = "wrong";
  EXPECT_EQ(Submit("My Site"), TContributeFrm::Result::NotSent);
  EXPECT_TRUE(prompt.Saw("error: ERROR -> Submission Could Not Be Sent!"));
  EXPECT_FALSE(lastError.empty());

  settings.password = "s3cret&pw";
  company.email = "jo at acme";
  EXPECT_EQ(Submit("My Site"), TContributeFrm::Result::NoContact);
  EXPECT_FALSE(ReadFile(dir / "out/msg-1.eml"));
}

}  // namespace
}  // namespace vendrix
