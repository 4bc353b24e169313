#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "base/error.h"
#include "services/site_contribution.h"
#include "support/scripted_prompt.h"
#include "support/session_fixture.h"
#include "support/temp_dir.h"

namespace vendrix {
namespace {

using test::ScriptedPrompt;
using test::TempDir;
using test::WriteFile;

class FakeSender : public ContributionSender {
 public:
  std::vector<ContributionMessage> sent;
  std::vector<std::string> firstAttachment;  // its bytes as they were sent
  std::string failWith;
  void Send(const ContributionMessage& m) override {
    if (!failWith.empty()) throw VendrixError(failWith);
    sent.push_back(m);
    firstAttachment.push_back(
        m.attachments.empty() ? "" : test::ReadFile(m.attachments[0]).value_or(""));
  }
  void Cancel() override {}
};

class NullView : public ContributeView {
 public:
  int closes = 0;
  std::vector<bool> sending;
  void Sending(bool s) override { sending.push_back(s); }
  void Close() override { ++closes; }
};

class ContributeTest : public ::testing::Test {
 protected:
  ContributeTest() : tree(dir.path()) {
    tree.MakeDataTree();
    company.name = "Acme";
    company.contact = "Jo Bloggs";
    company.email = "jo@acme.example";
  }
  TContributeFrm::Result Submit(const std::string& site) {
    TContributeFrm form(site, company, tree, "engines@halvane.example", sender, prompt, view);
    return form.Submit();
  }
  TempDir dir;
  DataTree tree;
  CompanyProfile company;
  FakeSender sender;
  ScriptedPrompt prompt;
  NullView view;
};

TEST_F(ContributeTest, TheMessageCarriesTheSitesExistingFilesInTheirOrder) {
  WriteFile(tree.ScriptFile("My Site", "EMAIL_NEW"), "mail\r\n");
  WriteFile(tree.CategoryFile("My Site", 2), "Tools\r\n");
  WriteFile(tree.ScriptFile("My Site", "HTTP_UPDATE"), "upd\r\n");
  WriteFile(tree.SiteSettingsFile("My Site"), "[SETTINGS]\r\n");
  WriteFile(tree.ScriptFile("Other", "HTTP_NEW"), "not mine\r\n");
  EXPECT_EQ(Submit("My Site"), TContributeFrm::Result::Sent);
  ASSERT_EQ(sender.sent.size(), 1u);
  const ContributionMessage& m = sender.sent[0];
  ASSERT_EQ(m.attachments.size(), 4u);
  EXPECT_EQ(std::filesystem::path(m.attachments[0]).filename(), "My Site.ini");
  EXPECT_EQ(std::vector<std::string>(m.attachments.begin() + 1, m.attachments.end()),
            (std::vector<std::string>{tree.CatDir + "My Site Cat2.cat",
                                      tree.SitesDir + "My Site HTTP_UPDATE.scp",
                                      tree.SitesDir + "My Site EMAIL_NEW.scp"}));
  EXPECT_EQ(m.subject, "New Site Submission for: My Site");
  EXPECT_EQ(m.body, std::vector<std::string>{"New Site Submission for: My Site"});
  EXPECT_EQ(m.senderName, "Jo Bloggs");
  EXPECT_EQ(m.senderAddress, "jo@acme.example");
  EXPECT_EQ(m.to, "engines@halvane.example");
  EXPECT_EQ(m.toName, "Vendrix Engine Submissions");
  EXPECT_EQ(prompt.log, std::vector<std::string>{"inform: Submission Sent. Thank You!"});
  EXPECT_EQ(view.sending, (std::vector<bool>{true, false}));
  EXPECT_EQ(view.closes, 1);

  sender.sent.clear();
  std::string longName(300, 'x');
  EXPECT_EQ(Submit(longName), TContributeFrm::Result::Sent);
  EXPECT_EQ(sender.sent.at(0).subject.size(), 255u);
  EXPECT_TRUE(sender.sent.at(0).attachments.empty());
}

TEST_F(ContributeTest, TheSettingsGoWithoutTheFtpLoginAndNoCopyStays) {
  const std::string ini =
      "[SETTINGS]\r\nFTP_SERVER=ftp.example\r\nLOGIN_NAME=jo\r\nLOGIN_PASSWORD=secret\r\n"
      "USE_EMAIL=1\r\n";
  WriteFile(tree.SiteSettingsFile("Mine"), ini);
  EXPECT_EQ(Submit("Mine"), TContributeFrm::Result::Sent);
  ASSERT_EQ(sender.firstAttachment.size(), 1u);
  EXPECT_EQ(sender.firstAttachment[0],
            "[SETTINGS]\r\nFTP_SERVER=ftp.example\r\nLOGIN_NAME=\r\nLOGIN_PASSWORD=\r\n"
            "USE_EMAIL=1\r\n");
  EXPECT_FALSE(std::filesystem::exists(sender.sent[0].attachments[0])) << "the copy is removed";
  EXPECT_EQ(*test::ReadFile(tree.SiteSettingsFile("Mine")), ini) << "the site's own file stays";
}

TEST_F(ContributeTest, MissingContactStopsBeforeAnythingIsSent) {
  for (auto [contact, email] : {std::pair{"", "jo@acme.example"}, std::pair{"Jo", "jo.acme"}}) {
    company.contact = contact;
    company.email = email;
    prompt.log.clear();
    EXPECT_EQ(Submit("My Site"), TContributeFrm::Result::NoContact);
    EXPECT_EQ(prompt.log, std::vector<std::string>{"error: You do not have your company contact "
                                                   "info filled in. Please do so now!"});
  }
  EXPECT_TRUE(sender.sent.empty());
  EXPECT_TRUE(view.sending.empty());
}

TEST_F(ContributeTest, AFailedSendIsReportedAndKeepsTheReason) {
  sender.failWith = "550 mailbox unavailable";
  TContributeFrm form("My Site", company, tree, "engines@halvane.example", sender, prompt, view);
  EXPECT_EQ(form.Submit(), TContributeFrm::Result::NotSent);
  EXPECT_EQ(prompt.log, std::vector<std::string>{"error: ERROR -> Submission Could Not Be Sent!"});
  EXPECT_EQ(form.LastError(), "550 mailbox unavailable");
  EXPECT_EQ(view.closes, 1);
}

}  // namespace
}  // namespace vendrix

namespace vendrix {
namespace {

class ContributeSessionTest : public test::SessionTest {};

TEST_F(ContributeSessionTest, ContributeSavesTheSiteBuildersChangesFirst) {
  prompt.names.push_back("Fresh Site");
  ASSERT_TRUE(session->Builder().NewSite());
  ASSERT_FALSE(session->Flags().SiteSaved);
  std::remove(session->Wide().SiteSettingsFile("Fresh Site").c_str());
  EXPECT_EQ(session->PrepareContribution(), "Fresh Site");
  EXPECT_TRUE(session->Flags().SiteSaved);
  EXPECT_TRUE(test::ReadFile(session->Wide().SiteSettingsFile("Fresh Site")));
  EXPECT_FALSE(session->ContributeHidden());
  session->ContributionSent();
  EXPECT_TRUE(session->ContributeHidden());
}

}  // namespace
}  // namespace vendrix
