// The report writer's text rules, the reports list window and the print-log rule.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/clock.h"
#include "base/cp1252.h"
#include "base/error.h"
#include "run/report_text.h"
#include "run/reports_list.h"
#include "run/run_report.h"
#include "run_support.h"
#include "support/scripted_prompt.h"
#include "support/temp_dir.h"

namespace vendrix {
namespace {

namespace fs = std::filesystem;
using test::ScriptedPrompt;
using test::TempDir;
using test::WriteFile;

TEST(ReportText, EscapesMarkupAndKeepsOneLine) {
  EXPECT_EQ(HtmlEscape("<b>\"A&B\"</b> 'x'"), "&lt;b&gt;&quot;A&amp;B&quot;&lt;/b&gt; &#39;x&#39;");
  EXPECT_EQ(HtmlEscape("a\r\nb"), "a&#13;&#10;b");
  EXPECT_EQ(HtmlEscape(std::string("a\0b\x01\tc\x7F", 7)), "ab\tc");
  EXPECT_EQ(HtmlEscape("caf\xE9"), "caf\xE9");  // Windows-1252 text stays as it is
}

TEST(ReportText, FileUrlsAreAbsoluteAndPercentEncoded) {
  EXPECT_EQ(FileUrl("/r/Tidy Notes/Main#1?.htm"), "file:///r/Tidy%20Notes/Main%231%3F.htm");
  EXPECT_EQ(FileUrl("/r/caf\xC3\xA9/a\"b.htm"), "file:///r/caf%C3%A9/a%22b.htm");
  EXPECT_EQ(FileUrl("/a/b/../c"), "file:///a/c");
  const std::string rel = FileUrl("x.htm");
  EXPECT_EQ(rel, "file://" + (fs::current_path() / "x.htm").string());
}

TEST(ReportText, StampShapeAndSafeNames) {
  std::tm t = MakeTime(1998, 7, 4, 9, 5, 3);
  EXPECT_EQ(RunStamp(t, 250), "1998-07-04-09-05-03-250");
  EXPECT_EQ(RunStamp(t, 5), "1998-07-04-09-05-03-05");
  EXPECT_EQ(RunStamp(t, 50), "1998-07-04-09-05-03-50");
  EXPECT_EQ(SafeFileNamePart("../../etc"), ".._.._etc");
  EXPECT_EQ(SafeFileNamePart(".."), "_..");
  EXPECT_EQ(SafeFileNamePart("a\\b\nc"), "a_b_c");
  EXPECT_EQ(SafeFileNamePart("Caf\xE9"), "Caf\xC3\xA9");
}

class ReportsTest : public ::testing::Test {
 protected:
  ReportsTest()
      : clock(MakeTime(2026, 3, 1, 8, 0, 0)), report(dir / "reports/", dir / "img/", clock) {
    fs::create_directories(dir / "reports");
  }
  TempDir dir;
  FixedClock clock;
  TReportsFrm report;
  ScriptedPrompt prompt;
};

// A report folder that cannot be made or written: every message names it as it reads
// on disk (converted to Windows-1252 once), and no page is left half-written.
TEST_F(ReportsTest, AnUnwritableReportFolderIsNamedAsItReads) {
  TReportsFrm broken(dir / "M\u00FCller/reports/", dir / "img/", clock);
  std::vector<std::string> errors;
  broken.OnWriteError = [&](const std::string& m) { errors.push_back(Cp1252ToUtf8(m)); };
  broken.StartRunReport("Tidy");
  broken.WriteLogReport({"line"});
  ASSERT_EQ(errors.size(), 3u);  // the application's folder, the run's folder, the log page
  for (const auto& e : errors) {
    EXPECT_EQ(e.rfind("Unable to write to " + dir / "M\u00FCller/reports/Tidy", 0), 0u) << e;
  }
}

TEST_F(ReportsTest, SitePagesAndMainReportFollowTheLayout) {
  report.StartRunReport("Tidy/Notes");
  EXPECT_EQ(fs::path(report.AppReportDir).filename(), "Tidy_Notes");  // never a sub-folder
  report.CurrentSite = "Simtel";
  report.BeginSiteSection("FTP");
  report.AddReportLine("<script>alert(1)</script>");
  report.EndSiteSection("FTP", "Simtel");
  report.BeginSiteSection("HTTP");
  report.EndSiteSection("HTTP", "Simtel", {"<html><body>ok", "</body></html>"});
  report.SuccessCount = 1;
  report.NotSentCount = 2;
  // Each log line keeps the time it was said.
  EXPECT_TRUE(report.WriteMainReport({"line <1>", "line 2"}, {"09:00:01", "09:07:30"}));

  ASSERT_TRUE(fs::exists(report.RunReportDir + "/Simtel _FTP.htm"));
  ASSERT_TRUE(fs::exists(report.RunReportDir + "/Simtel _HTTP.htm"));
  auto ftp = test::ParsePage(report.RunReportDir + "/Simtel _FTP.htm");
  EXPECT_EQ(ftp.title, "FTP");
  EXPECT_EQ(ftp.scripts, 0);
  EXPECT_TRUE(ftp.Mentions("<script>alert(1)</script>"));
  EXPECT_TRUE(ftp.Mentions("SimtelFTP Log:"));
  auto http = test::ParsePage(report.RunReportDir + "/Simtel _HTTP.htm");
  ASSERT_EQ(http.frames.size(), 1u);
  EXPECT_EQ(http.frames[0].second, "<html><body>ok</body></html>");

  auto main = test::ParsePage(report.MainReportPath);
  std::vector<std::string> labels;
  for (const auto& [label, href] : main.links) labels.push_back(label);
  EXPECT_EQ(labels, (std::vector<std::string>{"View Submission Log", "Simtel FTP", "Simtel HTTP"}));
  EXPECT_EQ(main.links[0].second, report.LogReportUrl);
  auto log = test::ParsePage(report.LogReportPath);
  EXPECT_TRUE(log.Mentions("[09:00:01] - line <1>"));
  EXPECT_TRUE(log.Mentions("[09:07:30] - line 2"));
  const std::string date = ShortDate(clock.Now()), time = LongTime(clock.Now());
  EXPECT_EQ(MainReportFigures(report.MainReportPath),
            (std::vector<std::string>{date, time, time, "Tidy/Notes", "1", "0", "2"}));
}

TEST_F(ReportsTest, PicturesThatAreMissingAreLeftOutNotBroken) {
  // No images folder at all: no logo, no background on any page.
  report.StartRunReport("Tidy");
  report.CurrentSite = "Simtel";
  report.BeginSiteSection("FTP");
  report.EndSiteSection("FTP", "Simtel");
  report.WriteMainReport({"line"});
  for (const std::string& page :
       {report.MainReportPath, report.RunReportDir + "/Simtel _FTP.htm"}) {
    const std::string html = test::ReadFile(page).value_or("");
    EXPECT_EQ(html.find("<img"), std::string::npos) << page;
    EXPECT_EQ(html.find("background="), std::string::npos) << page;
  }
  // With the pictures there, the pages show them.
  WriteFile(dir / "img/vxsr.jpg", "jpeg");
  WriteFile(dir / "img/back.jpg", "jpeg");
  report.StartRunReport("Tidy");
  report.WriteMainReport({"line"});
  const std::string html = test::ReadFile(report.MainReportPath).value_or("");
  EXPECT_NE(html.find("<img src=\"../../../img/vxsr.jpg\""), std::string::npos);
  EXPECT_NE(html.find("background="), std::string::npos);
}

TEST_F(ReportsTest, PagesDeclareTheirEncodingAndSitesWithLikeNamesGetTwoPages) {
  ASSERT_TRUE(report.StartRunReport("Caf\xE9"));
  for (const char* site : {"A\\B", "A_B"}) {
    report.CurrentSite = site;
    report.BeginSiteSection("FTP");
    report.AddReportLine(std::string("from ") + site);
    report.EndSiteSection("FTP", site);
  }
  report.WriteMainReport({"caf\xE9"});
  for (const auto& e : fs::directory_iterator(report.RunReportDir)) {
    EXPECT_NE(
        test::ReadFile(e.path().string()).value_or("").find("<meta charset=\"windows-1252\">"),
        std::string::npos)
        << e.path();
  }
  auto main = test::ParsePage(report.MainReportPath);
  ASSERT_EQ(main.links.size(), 3u);
  EXPECT_NE(main.links[1].second, main.links[2].second);
  EXPECT_TRUE(test::ParsePage(test::UrlPath(main.links[1].second, report.RunReportDir))
                  .Mentions("from A\\B"));
  EXPECT_TRUE(test::ParsePage(test::UrlPath(main.links[2].second, report.RunReportDir))
                  .Mentions("from A_B"));
}

TEST_F(ReportsTest, DeletingNeverFollowsALink) {
  WriteFile(dir / "outside/keep.txt", "keep");
  WriteFile(dir / "outside/sub/keep.txt", "keep");
  fs::create_directories(dir / "reports");
  fs::create_directory_symlink(dir / "outside", dir / "reports/Linked");
  EXPECT_THROW(DeleteAppReports(dir / "reports/", "Linked"), VendrixError);
  EXPECT_THROW(DeleteRunReport(dir / "reports/", "Linked", "sub"), VendrixError);
  EXPECT_TRUE(fs::exists(dir / "reports/Linked"));
  // Links inside an application's folder go as links.
  const std::string run = dir / "reports/App/2026-01-02-03-04-05-100";
  WriteFile(run + "/MainReport.htm", "x");
  fs::create_directory_symlink(dir / "outside", run + "/inner");
  fs::create_directory_symlink(dir / "outside", dir / "reports/App/2026-01-02-03-04-05-101");
  EXPECT_TRUE(DeleteAppReports(dir / "reports/", "App"));
  EXPECT_FALSE(fs::exists(dir / "reports/App"));
  EXPECT_EQ(test::ReadFile(dir / "outside/keep.txt"), "keep");
  EXPECT_EQ(test::ReadFile(dir / "outside/sub/keep.txt"), "keep");
}

TEST_F(ReportsTest, ReportsWindowWalksDeletesAndSaysWhenThereAreNone) {
  std::vector<std::string> opened;
  TReportsListFrm window(dir / "reports/", prompt,
                         [&](const std::string& u) { opened.push_back(u); });
  EXPECT_FALSE(window.Open());
  EXPECT_TRUE(prompt.Saw("inform: No Reports Found"));

  WriteFile(dir / "reports/Zed/2026-01-02-03-04-05-100/MainReport.htm", "x");
  WriteFile(dir / "reports/Zed/2026-01-02-03-04-05-99/MainReport.htm", "x");
  fs::create_directories(dir / "reports/alpha");
  WriteFile(dir / "reports/stray.txt", "not a folder");
  ASSERT_TRUE(window.Open());
  EXPECT_EQ(window.Items(), (std::vector<std::string>{"alpha", "Zed"}));
  EXPECT_FALSE(window.UpEnabled());

  window.Go();  // alpha has no runs
  EXPECT_FALSE(window.AtRunLevel());
  EXPECT_EQ(window.Selected(), 0);

  window.Select(1);
  window.Go();
  ASSERT_TRUE(window.AtRunLevel());
  EXPECT_TRUE(window.UpEnabled());
  // Oldest first: 99 ms comes before 100 ms.
  EXPECT_EQ(window.Items(),
            (std::vector<std::string>{"2026-01-02-03-04-05-99", "2026-01-02-03-04-05-100"}));
  prompt.answers = {Answer::No};
  window.Delete();
  EXPECT_EQ(window.Items().size(), 2u);
  window.Delete();
  window.Delete();
  EXPECT_TRUE(prompt.Saw("confirm: Delete the selected report?"));
  EXPECT_FALSE(window.AtRunLevel());  // the last run went: back to the applications
  EXPECT_TRUE(fs::exists(dir / "reports/Zed"));

  WriteFile(dir / "reports/Zed/2026-01-02-03-04-06-01/MainReport.htm", "x");
  window.Select(1);
  window.Go();
  window.Go();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], FileUrl(dir / "reports/Zed/2026-01-02-03-04-06-01/MainReport.htm"));
  EXPECT_FALSE(window.Visible());

  ASSERT_TRUE(window.Open());
  window.Delete();  // alpha
  window.Delete();  // Zed with its run
  EXPECT_TRUE(prompt.Saw("confirm: Delete all reports for selected site?"));
  EXPECT_FALSE(window.Visible());
  EXPECT_FALSE(fs::exists(dir / "reports/Zed"));
}

TEST_F(ReportsTest, PrintLogNeedsALog) {
  EXPECT_FALSE(PrintLogLines({}, prompt).has_value());
  EXPECT_TRUE(prompt.Saw("inform: You do not have a log to print."));
  EXPECT_EQ(PrintLogLines({"a", "b"}, prompt).value(), (Lines{"a", "b"}));
}

}  // namespace
}  // namespace vendrix
