#include <gtest/gtest.h>

#include "script/dry_run.h"
#include "support/session_fixture.h"

namespace vendrix {
namespace {

using test::SessionTest;

class NullLog : public SubmissionLog {
 public:
  void AddLogLine(const std::string&) override {}
  void AddReportLine(const std::string&) override {}
  void AddFtpLine(const std::string&) override {}
};

class Recorder : public DryRunView {
 public:
  std::vector<std::string> started;
  std::vector<DryRunSite> built;
  void SiteStarts(const AppSiteRow& row) override { started.push_back(row.site); }
  void SiteBuilt(const DryRunSite& site) override { built.push_back(site); }
};

class DryRunTest : public SessionTest {
 protected:
  DryRunTest() {
    AddCompany("Acme");
    AddApp("Tool");
    session->App().SetField("STATUS", "Shareware");
    session->App().SetLongDesc({std::string(100, 'x') + " end"});
    session->App().SaveApp();
    MakeSite("Alpha", [](SiteDefinition& d) {
      d.useHttpPost = true;
      d.httpNewScriptUrl = "http://127.0.0.1/add";
      d.Script(ScriptKind::HttpNew) = "desc=%APPLONGDESC%";
    });
    MakeSite("Beta", [](SiteDefinition& d) {
      d.useEmail = true;
      d.emailToName = "files@beta.example";
      d.Script(ScriptKind::EmailNew) = "%APPNAME%";
    });
    MakeSite("Gamma", [](SiteDefinition& d) {
      d.freewareOnly = true;  // does not fit a shareware application
      d.useHttpPost = true;
      d.httpNewScriptUrl = "http://127.0.0.1/add";
      d.Script(ScriptKind::HttpNew) = "x";
    });
    session->BuildSiteTable();
    session->Table().Select(1);
    session->Table().SetPost(false);  // Beta is not marked
  }
  template <typename Edit>
  void MakeSite(const std::string& name, Edit edit) {
    prompt.names.push_back(name);
    ASSERT_TRUE(session->Builder().NewSite());
    edit(session->Builder().Edit());
    session->Builder().SaveSite();
  }
  int Run(const std::optional<std::string>& only) {
    DryRun dry(session->Wide().EngBuild(), session->Builder(), session->Wide(), log);
    return dry.Run(session->Table().Rows(), session->App().Profile(), {"me@acme.example", "Me"},
                   only, view);
  }
  NullLog log;
  Recorder view;
};

TEST_F(DryRunTest, WalksMarkedFittingRowsWithTheWrappedDescriptionAndLeavesTheProfileAlone) {
  const Lines before = session->App().Profile().longDesc;
  session->Flags().AppSaved = true;
  EXPECT_EQ(Run(std::nullopt), 1);
  EXPECT_EQ(view.started, (std::vector<std::string>{"Alpha"}));
  ASSERT_EQ(view.built.size(), 1u);
  ASSERT_TRUE(view.built[0].http && view.built[0].httpRequest);
  // The 100-character word is cut at 72 columns, as a run sends it.
  EXPECT_NE(view.built[0].httpRequest->data.find("%0D%0A"), std::string::npos);
  EXPECT_EQ(session->App().Profile().longDesc, before);
  EXPECT_TRUE(session->Flags().AppSaved);
  EXPECT_EQ(session->Wide().EngBuild().Context().row, nullptr);
  EXPECT_EQ(&session->Wide().EngBuild().Context().App(), &session->App().Profile());
}

TEST_F(DryRunTest, ANamedSiteIsBuiltWhetherMarkedOrNot) {
  EXPECT_EQ(Run(std::string("Beta")), 1);
  ASSERT_EQ(view.built.size(), 1u);
  EXPECT_TRUE(view.built[0].mail);
  ASSERT_EQ(view.built[0].mails.size(), 1u);
  EXPECT_EQ(view.built[0].mails[0].to, "files@beta.example");
  EXPECT_EQ(view.built[0].mails[0].body.front(), "Tool");
  EXPECT_EQ(Run(std::string("Nowhere")), 0);
}

TEST(RowsToPost, MarkedAndFittingInTableOrder) {
  std::vector<AppSiteRow> rows(4);
  rows[0].type = "All 16-32";
  rows[1].type = "All 32";
  rows[1].post = "N";
  rows[2].type = "Free 32";
  rows[3].type = "All 16";
  EXPECT_EQ(RowsToPost(rows, "Windows 95", "Shareware"), (std::vector<std::size_t>{0}));
  EXPECT_EQ(RowsToPost(rows, "Windows 95", "Freeware"), (std::vector<std::size_t>{0, 2}));
  EXPECT_EQ(RowsToPost(rows, "Windows 3.1", "Freeware"), (std::vector<std::size_t>{0, 3}));
}

}  // namespace
}  // namespace vendrix
