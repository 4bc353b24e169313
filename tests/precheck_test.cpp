#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "run/post_history.h"
#include "run/precheck.h"
#include "run/precheck_online.h"
#include "script/dry_run.h"
#include "support/peer_process.h"
#include "support/session_fixture.h"

namespace vendrix {
namespace {

using test::PeerProcess;
using test::PeerScript;
using test::SessionTest;
using test::WriteFile;

bool Has(const std::vector<Finding>& findings, FindingSeverity severity, const std::string& where,
         const std::string& field, const std::string& words = "") {
  return std::any_of(findings.begin(), findings.end(), [&](const Finding& f) {
    return f.severity == severity && f.where == where && f.field == field &&
           f.text.find(words) != std::string::npos;
  });
}

std::string Describe(const std::vector<Finding>& findings) {
  std::string out;
  for (const auto& f : findings) {
    out += (f.severity == FindingSeverity::Error ? "E " : "W ") + f.where + " | " + f.field +
           " | " + f.text + "\n";
  }
  return out;
}

class PreCheckTest : public SessionTest {
 protected:
  PreCheckTest() {
    WriteFile(Data("dist/tool.exe"), std::string(4096, 'x'));
    WriteFile(Data("dist/icon.gif"), "GIF89a");
    AddCompany("Acme");
    session->Company().SetField("CEMAIL", "ann@acme.example");
    session->Company().SetField("CURL", "https://acme.example/");
    session->Company().SaveCompany();
    AddApp("Tool");
    auto& app = session->App();
    app.SetField("STATUS", "Shareware");
    app.SetField("VERSION", "1.0");
    app.SetField("PATH", Data("dist/tool.exe"));
    app.SetField("SIZE32", "4096");
    app.SetField("GIFPATH", Data("dist/icon.gif"));
    app.SetField("SHORTDESC", "Keeps notes tidy");
    app.SetField("SHOT", "https://acme.example/shot.png");
    app.SetLongDesc({"A tool that keeps notes tidy."});
    app.SaveApp();
    MakeSite("Forms", [](SiteDefinition& d) {
      d.useHttpPost = true;
      d.httpNewScriptUrl = "http://127.0.0.1/add";
      d.Script(ScriptKind::HttpNew) = "name=%APPNAME%&shot=%APPSCREEN%\r\n";
    });
    MakeSite("Mail", [](SiteDefinition& d) {
      d.useEmail = true;
      d.attachGif = true;
      d.emailToName = "files@mail.example";
      d.Script(ScriptKind::EmailNew) = "%APPNAME% %APPVERSION%";
    });
    session->BuildSiteTable();
    settings.smtpServer = "127.0.0.1:2525";
    settings.senderEmail = "ann@acme.example";
  }
  template <typename Edit>
  void MakeSite(const std::string& name, Edit edit) {
    prompt.names.push_back(name);
    ASSERT_TRUE(session->Builder().NewSite());
    edit(session->Builder().Edit());
    session->Builder().SaveSite();
  }
  std::vector<Finding> Run() {
    PreCheckTarget target = settings;
    target.rows = &session->Table().Rows();
    const AppProfile& app = session->App().Profile();
    target.indexes = RowsToPost(session->Table().Rows(), app.platform, app.status);
    PreCheck check(session->Wide().EngBuild(), session->Builder());
    return check.Run(target);
  }
  PreCheckTarget settings;
};

TEST_F(PreCheckTest, ASoundApplicationAndItsSitesHaveNoFinding) {
  auto findings = Run();
  EXPECT_TRUE(findings.empty()) << Describe(findings);
}

TEST_F(PreCheckTest, TheProgramFileMustExistAndMatchItsSize) {
  session->App().SetField("SIZE32", "5000");
  auto findings = Run();
  EXPECT_TRUE(Has(findings, FindingSeverity::Error, "application", "SIZE32", "4096 bytes"))
      << Describe(findings);
  session->App().SetField("PATH", Data("dist/missing.exe"));
  findings = Run();
  EXPECT_TRUE(Has(findings, FindingSeverity::Error, "application", "PATH", "does not exist"));
  session->App().SetField("PATH", Data("dist"));
  findings = Run();
  EXPECT_TRUE(Has(findings, FindingSeverity::Error, "application", "PATH", "not a regular file"));
  session->App().SetField("PATH", "");
  EXPECT_TRUE(Has(Run(), FindingSeverity::Error, "application", "PATH"));
}

TEST_F(PreCheckTest, ProfileValuesAreCheckedForFormAndPlaceholders) {
  StoreAppValue("APPURL", "acme.example/tool");
  StoreAppValue("GIFPATH", Data("dist/gone.gif"));
  session->App().SetField("SHORTDESC", "TODO: say what it does");
  session->Company().SetField("CEMAIL", "ann at acme");
  auto findings = Run();
  EXPECT_TRUE(Has(findings, FindingSeverity::Error, "application", "APPURL", "not a web address"))
      << Describe(findings);
  EXPECT_TRUE(Has(findings, FindingSeverity::Error, "application", "GIFPATH", "cannot be read"));
  EXPECT_TRUE(Has(findings, FindingSeverity::Warning, "application", "SHORTDESC", "TODO"));
  EXPECT_TRUE(Has(findings, FindingSeverity::Error, "company", "CEMAIL"));
  EXPECT_EQ(FindPlaceholder("A mastodon client"), "");
  EXPECT_EQ(FindPlaceholder("Lorem Ipsum dolor"), "Lorem Ipsum");
  EXPECT_EQ(FindPlaceholder("made by Your Company"), "Your Company");
}

TEST_F(PreCheckTest, EmptyVariablesAndMissingSiteSettingsAreNamed) {
  session->App().SetField("SHOT", "");     // %APPSCREEN% is asked for by Forms
  session->App().SetField("GIFPATH", "");  // Mail attaches the GIF icon
  auto findings = Run();
  EXPECT_TRUE(Has(findings, FindingSeverity::Warning, "Forms", "%APPSCREEN%", "fill in SHOT"))
      << Describe(findings);
  EXPECT_TRUE(Has(findings, FindingSeverity::Warning, "Mail", "GIFPATH"));
  // Mail settings, once for all sites that need them.
  settings.smtpServer.clear();
  settings.senderEmail = "nobody";
  findings = Run();
  EXPECT_EQ(std::count_if(findings.begin(), findings.end(),
                          [](const Finding& f) { return f.field == "SMTP"; }),
            1);
  EXPECT_TRUE(Has(findings, FindingSeverity::Error, "settings", "EMAIL"));
}

TEST_F(PreCheckTest, SitesWithoutAWayToSendOrWithoutCategoryAreErrors) {
  MakeSite("Nothing", [](SiteDefinition&) {});
  MakeSite("Blank", [](SiteDefinition& d) {
    d.useHttpPost = true;
    d.httpNewScriptUrl = "http://127.0.0.1/add";
    d.Script(ScriptKind::HttpNew) = "  \r\n \r\n";
  });
  MakeSite("Cats", [](SiteDefinition& d) {
    d.useCat1 = true;
    d.cat1 = {"Games", "Tools"};
    d.useFtpUpload = true;
    d.ftpServer = "ftp.cats.example:99999";
  });
  session->BuildSiteTable();
  auto findings = Run();
  EXPECT_TRUE(Has(findings, FindingSeverity::Error, "Nothing", "methods")) << Describe(findings);
  EXPECT_TRUE(Has(findings, FindingSeverity::Error, "Blank", "HTTP_NEW", "empty"));
  EXPECT_TRUE(Has(findings, FindingSeverity::Error, "Cats", "category 1"));
  EXPECT_TRUE(Has(findings, FindingSeverity::Error, "Cats", "FTP_SERVER", "port"));
  EXPECT_GE(CountErrors(findings), 4u);

  // A label the list lacks is shown as chosen but would be sent as it stands; a label
  // the list holds is not a finding.
  const std::pair<std::string, std::string> labels[] = {
      {"Utilities", "Cats: category Utilities is not in Cats Cat1.cat"}, {"Games", ""}};
  for (const auto& [label, text] : labels) {
    for (auto& row : session->Table().MutableRows()) {
      if (row.site == "Cats") row.cat1 = label;
    }
    findings = Run();
    const bool found = std::any_of(findings.begin(), findings.end(), [&](const Finding& f) {
      return f.where == "Cats" && f.field == "category 1";
    });
    EXPECT_EQ(found, !text.empty()) << label << "\n" << Describe(findings);
    if (!text.empty()) {
      EXPECT_TRUE(Has(findings, FindingSeverity::Error, "Cats", "category 1", text));
    }
  }
}

TEST(PreCheckServers, ServerNamesSplitWithTheirPorts) {
  auto a = SplitServer("ftp.example", 21);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->host, "ftp.example");
  EXPECT_EQ(a->port, 21);
  auto b = SplitServer("[::1]:2121", 21);
  ASSERT_TRUE(b);
  EXPECT_EQ(b->host, "::1");
  EXPECT_EQ(b->port, 2121);
  EXPECT_FALSE(SplitServer("host:0", 21));
  EXPECT_FALSE(SplitServer("host:abc", 21));
  EXPECT_FALSE(SplitServer("bad host", 21));
}

class PreCheckOnlineTest : public ::testing::Test {
 protected:
  PreCheckOnlineTest() {
    WriteFile(dir / "routes.json", R"({
      "/ok": {"raw": "HTTP/1.0 200 OK\r\nContent-Length: 4096\r\n\r\n"},
      "/short": {"raw": "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n"},
      "/moved": {"raw": "HTTP/1.0 301 Moved\r\nLocation: /ok\r\n\r\n"},
      "/loop": {"raw": "HTTP/1.0 302 Found\r\nLocation: /loop\r\n\r\n"},
      "/nohead": {"raw": "HTTP/1.0 405 Method Not Allowed\r\n\r\n"},
      "/slow": {"sleep": 30}
    })");
    peer = std::make_unique<PeerProcess>(
        std::vector<std::string>{PeerScript("http_peer.py"), "--routes", dir / "routes.json"});
  }
  UrlProbe Probe(const std::string& path, long long size = -1) {
    return {"application", "DL1_32", "http://127.0.0.1:" + std::to_string(peer->port()) + path,
            size};
  }
  test::TempDir dir;
  std::unique_ptr<PeerProcess> peer;
};

TEST_F(PreCheckOnlineTest, AddressesAnswerFollowRedirectsAndOfferTheProgramsSize) {
  OnlineOptions options;
  options.timeoutSeconds = 3;
  EXPECT_FALSE(CheckUrl(Probe("/ok", 4096), options));
  EXPECT_FALSE(CheckUrl(Probe("/moved", 4096), options));
  auto shortFile = CheckUrl(Probe("/short", 4096), options);
  ASSERT_TRUE(shortFile);
  EXPECT_EQ(shortFile->severity, FindingSeverity::Warning);
  EXPECT_NE(shortFile->text.find("offers 100 bytes"), std::string::npos);
  auto missing = CheckUrl(Probe("/missing"), options);
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->severity, FindingSeverity::Error);
  EXPECT_NE(missing->text.find("404"), std::string::npos);
  auto loop = CheckUrl(Probe("/loop"), options);
  ASSERT_TRUE(loop);
  EXPECT_NE(loop->text.find("redirects"), std::string::npos);
  // A server that refuses HEAD is asked for the first byte instead; 405 to both fails.
  auto nohead = CheckUrl(Probe("/nohead"), options);
  ASSERT_TRUE(nohead);
  EXPECT_NE(nohead->text.find("405"), std::string::npos);
}

TEST_F(PreCheckOnlineTest, SlowAddressesEndAtTheirDeadlineAndChecksRunSideBySide) {
  OnlineOptions options;
  options.timeoutSeconds = 2;
  std::vector<UrlProbe> probes;
  for (int i = 0; i < 6; ++i) probes.push_back(Probe("/slow"));
  probes.push_back(Probe("/ok"));
  // A closed port: the server check fails with the reason.
  std::vector<ServerProbe> servers = {{"Site", "FTP_SERVER", "127.0.0.1", 1}};
  auto findings = CheckOnline(probes, servers, options);
  EXPECT_EQ(findings.size(), 7u) << Describe(findings);
  EXPECT_EQ(
      std::count_if(findings.begin(), findings.end(),
                    [](const Finding& f) { return f.text.find("/slow") != std::string::npos; }),
      6);
  EXPECT_TRUE(Has(findings, FindingSeverity::Error, "Site", "FTP_SERVER", "no connection"));
}

}  // namespace
}  // namespace vendrix

namespace vendrix {
namespace {

TEST(PostHistory, KeepsWhatEachSiteGotAndWhatItCouldNotRead) {
  test::TempDir dir;
  const std::string path = dir / "Tool.hst";
  std::string problem;
  PostHistory empty = PostHistory::Load(path, &problem);  // no file yet: empty, no problem
  EXPECT_TRUE(empty.Entries().empty());
  EXPECT_EQ(problem, "");

  WriteFile(path,
            "a line from elsewhere\r\nAlpha\xB1"
            "1.0\xB1"
            "2026-12-01 10:00:00\xB1New\xB1HTTP\r\n");
  PostHistory h = PostHistory::Load(path, &problem);
  ASSERT_EQ(h.Entries().size(), 1u);
  EXPECT_TRUE(h.AlreadySent("Alpha", "1.0"));
  EXPECT_FALSE(h.AlreadySent("Alpha", "1.1"));
  EXPECT_FALSE(h.AlreadySent("Beta", "1.0"));
  EXPECT_FALSE(h.AlreadySent("Alpha", ""));  // no version: nothing to compare
  h.Add({"Alpha", "1.1", HistoryTime(2026, 12, 7, 9, 5, 3), "Update", "FTP,EMAIL"});
  EXPECT_EQ(h.LastFor("Alpha")->version, "1.1");
  HistoryWriter(path).Append(PostHistory::PostLine(h.Entries().back()));
  EXPECT_EQ(*test::ReadFile(path),
            "a line from elsewhere\r\n"
            "Alpha\xB1"
            "1.0\xB1"
            "2026-12-01 10:00:00\xB1New\xB1HTTP\r\n"
            "Alpha\xB1"
            "1.1\xB1"
            "2026-12-07 09:05:03\xB1Update\xB1"
            "FTP,EMAIL\r\n");
}

TEST(PostHistory, AnUnreadableFileIsReportedAndTreatedAsEmpty) {
  test::TempDir dir;
  const std::string path = dir / "Tool.hst";
  std::filesystem::create_directories(path);  // a folder where the file should be
  std::string problem;
  PostHistory h = PostHistory::Load(path, &problem);
  EXPECT_TRUE(h.Entries().empty());
  EXPECT_NE(problem, "");
}

}  // namespace
}  // namespace vendrix
