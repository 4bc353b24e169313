#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "script/checks.h"
#include "script/submission_builder.h"
#include "script/text_tools.h"
#include "support/session_fixture.h"
#include "zip/compressed_cache.h"
#include "zip/zip_archiver.h"

namespace vendrix {
namespace {

using test::ReadFile;
using test::SessionTest;
using test::WriteFile;

class RecordingLog : public SubmissionLog {
 public:
  std::vector<std::string> lines;
  void AddLogLine(const std::string& l) override { lines.push_back("log: " + l); }
  void AddReportLine(const std::string& l) override { lines.push_back("report: " + l); }
  void AddFtpLine(const std::string& l) override { lines.push_back("ftp: " + l); }
};

class BuilderTest : public SessionTest {
 protected:
  BuilderTest() : builder(session->Wide().EngBuild(), session->Wide(), log) {
    AddCompany("A&B Software");
    session->Company().SetField("CEMAIL", "jo@ab.example");
    AddApp("My Prog");
    App().SetField("VERSION", "1.2");
    prompt.names.push_back(std::string("Site"));
    session->Builder().NewSite();
    row.site = "Site";
    session->Wide().EngBuild().SetCurrentRow(&row);
  }
  AppPage& App() { return session->App(); }
  SiteDefinition& Site() { return session->Builder().Edit(); }
  std::string Files(const std::string& name) { return session->Wide().FilesDir + name; }

  RecordingLog log;
  SubmissionBuilder builder;
  AppSiteRow row;
};

TEST_F(BuilderTest, HttpPostEncodesValuesAndKeepsTheScriptsOwnText) {
  Site().httpNewScriptUrl = "http://127.0.0.1/add?who=%COMPNAME%";
  Site().Script(ScriptKind::HttpNew) = "  name=%APPNAME%&co=%COMPNAME%&ver=%APPVERSION%&x=a b";
  auto http = builder.BuildHttpSubmission(SubmissionKind::New);
  ASSERT_TRUE(http);
  EXPECT_FALSE(http->get);
  EXPECT_EQ(http->url, "http://127.0.0.1/add?who=A%26B%20Software");
  EXPECT_EQ(http->data, "name=My%20Prog&co=A%26B%20Software&ver=1.2&x=a%20b");
  EXPECT_EQ(http->reportData, http->data);
  EXPECT_EQ(http->contentType, "application/x-www-form-urlencoded");
  EXPECT_EQ(log.lines, (std::vector<std::string>{"report: Post Data:", "report: " + http->data}));

  // A value spanning lines (single-line fields refuse line breaks; the memos hold them).
  App().SetLongDesc({"a=b+c", "d"});
  Site().Script(ScriptKind::HttpNew) = "d=%APPLONGDESC%";
  EXPECT_EQ(builder.BuildHttpSubmission(SubmissionKind::New)->data, "d=a%3Db%2Bc%0D%0Ad");
}

TEST_F(BuilderTest, HttpGetJoinsUrlAndDataAndFlattensLineBreaks) {
  Site().httpGet = true;
  Site().httpUpdateScriptUrl = "http://127.0.0.1/get?";
  Site().Script(ScriptKind::HttpUpdate) = "a=%APPVERSION%\r\nb=2\r\n";
  auto http = builder.BuildHttpSubmission(SubmissionKind::Update);
  ASSERT_TRUE(http);
  EXPECT_TRUE(http->get);
  EXPECT_EQ(http->url, "http://127.0.0.1/get?a=1.2%20b=2");
  EXPECT_EQ(http->data, "");
  EXPECT_EQ(http->reportData, "a=1.2\r\nb=2");
}

TEST_F(BuilderTest, TheLastFieldEndsWhereTheScriptsTextEnds) {
  App().SetField("VERSION", "7.1");
  App().SetLongDesc({"x", "y"});
  Site().httpNewScriptUrl = "http://127.0.0.1/add";
  Site().httpUpdateScriptUrl = "http://127.0.0.1/get?";
  struct Case {
    std::string script, post, getUrl;
  } cases[] = {
      {"a=1&version=%APPVERSION%\r\n", "a=1&version=7.1", "a=1&version=7.1"},
      {"a=1&version=%APPVERSION%", "a=1&version=7.1", "a=1&version=7.1"},
      {"version=%APPVERSION%\r\n\r\n\n", "version=7.1", "version=7.1"},
      // A line break inside the script stays; one a value brings is encoded.
      {"a=1\r\nb=%APPLONGDESC%\r\n", "a=1\r\nb=x%0D%0Ay", "a=1%20b=x%0D%0Ay"},
      {"version=%APPVERSION% \r\n", "version=7.1%20", "version=7.1%20"},
  };
  for (const auto& c : cases) {
    Site().Script(ScriptKind::HttpNew) = c.script;
    Site().Script(ScriptKind::HttpUpdate) = c.script;
    Site().httpGet = false;
    auto post = builder.BuildHttpSubmission(SubmissionKind::New);
    Site().httpGet = true;
    auto get = builder.BuildHttpSubmission(SubmissionKind::Update);
    ASSERT_TRUE(post && get) << c.script;
    EXPECT_EQ(post->data, c.post) << c.script;
    EXPECT_EQ(post->reportData, c.post) << c.script;
    EXPECT_EQ(get->url, "http://127.0.0.1/get?" + c.getUrl) << c.script;
  }
}

TEST_F(BuilderTest, HttpFailuresAreLogged) {
  Site().Script(ScriptKind::HttpNew) = "   ";
  EXPECT_FALSE(builder.BuildHttpSubmission(SubmissionKind::New));
  EXPECT_EQ(log.lines, (std::vector<std::string>{"log: No Engine Script For HTTP Post For: Site",
                                                 "report: No Engine Script For HTTP Post For: Site",
                                                 "log: Unable to post HTTP to: Site"}));
  log.lines.clear();
  Site().Script(ScriptKind::HttpNew) = "a=%NOPE%";
  EXPECT_FALSE(builder.BuildHttpSubmission(SubmissionKind::New));
  EXPECT_EQ(log.lines, (std::vector<std::string>{"report: SCRIPT ERROR FOR Site",
                                                 "log: Unable to post HTTP to: Site"}));
  log.lines.clear();
  Site().Script(ScriptKind::HttpNew) = "a=1";
  Site().Script(ScriptKind::HttpUpdate) = "x HARDCODED->FILEMINE";
  EXPECT_FALSE(builder.BuildHttpSubmission(SubmissionKind::New));
  EXPECT_TRUE(log.lines.empty());
}

TEST_F(BuilderTest, MailSubjectsCopiesAndAttachments) {
  App().SetField("PATH", "/dist/prog.exe");
  App().SetField("GIFPATH", "/dist/icon.gif");
  App().SetField("SCREENPATH", "/dist/shot.png");
  Site().emailToName = "new@site.example";
  Site().emailToNameUpdate = "upd@site.example";
  Site().emailSubject = "New: %APPNAME%";
  Site().Script(ScriptKind::EmailNew) = "Hello %APPNAME%\r\nBye";
  Site().Script(ScriptKind::EmailUpdate) = "Update body";
  Site().attachApplication = true;
  Site().attachGif = true;
  Site().attachIco = true;  // no ICO path: not attached
  Site().attachScreen = true;
  MailSender sender{"me@ab.example", "Jo"};

  auto mail = builder.BuildMailSubmission(SubmissionKind::New, false, sender);
  ASSERT_TRUE(mail);
  EXPECT_EQ(mail->to, "new@site.example");
  EXPECT_EQ(mail->subject, "New: My Prog");
  EXPECT_EQ(mail->fromAddress, "me@ab.example");
  ASSERT_EQ(mail->body.size(), 9u);
  EXPECT_EQ(mail->body[0], "Hello My Prog");
  EXPECT_EQ(mail->body[2], "");
  EXPECT_EQ(mail->body[8], "for shareware sites, please visit https://www.halvane.example/vendrix");
  EXPECT_EQ(mail->attachments,
            (std::vector<std::string>{"/dist/prog.exe", "/dist/icon.gif", "/dist/shot.png"}));

  auto copy = builder.BuildMailSubmission(SubmissionKind::New, true, sender);
  EXPECT_EQ(copy->to, "jo@ab.example");
  EXPECT_EQ(copy->subject, "New: My Prog (Site)");
  EXPECT_EQ(copy->body, (Lines{"Hello My Prog", "Bye"}));  // no footer
  EXPECT_EQ(copy->attachments, (std::vector<std::string>{"/dist/icon.gif", "/dist/shot.png"}));

  row.submit = "Update";
  auto update = builder.BuildMailSubmission(SubmissionKind::Update, false, sender);
  EXPECT_EQ(update->to, "upd@site.example");
  EXPECT_EQ(update->subject, "New: My Prog");  // the update subject is empty
  EXPECT_EQ(update->body.front(), "Update body");

  Site().emailSubject = "  ";
  EXPECT_EQ(builder.BuildMailSubmission(SubmissionKind::New, true, sender)->subject,
            "Submission (Site)");
  Site().emailSubject = "Bad %NOPE%";
  EXPECT_EQ(builder.BuildMailSubmission(SubmissionKind::New, false, sender)->subject, "Bad %NOPE%");
}

// Test Script shows a mail script as the site receives it: the footer included, with
// the address of the FooterURL setting, or without the sentence that names it.
TEST_F(BuilderTest, TheMailScriptsPreviewIsTheBodySent) {
  Site().emailToName = "new@site.example";
  Site().Script(ScriptKind::EmailNew) = "Hello %APPNAME%\r\n\r\nBye";
  for (const std::string address : {"https://www.example.org/v", ""}) {
    auto mail = builder.BuildMailSubmission(SubmissionKind::New, false, {"me@x", "Me", address});
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->body.size(), address.empty() ? 8u : 10u);
    EXPECT_EQ(mail->body.back(), address.empty() ? "This shareware submission was auto-submitted "
                                                   "by Vendrix, a Halvane product."
                                                 : "for shareware sites, please visit " + address);
    EXPECT_EQ(SplitLines(RunScriptCheck(session->Wide().EngBuild(),
                                        Site().Script(ScriptKind::EmailNew), address)),
              mail->body);
  }
}

TEST_F(BuilderTest, MailWithoutScriptIsLogged) {
  EXPECT_FALSE(builder.BuildMailSubmission(SubmissionKind::New, false, {}));
  EXPECT_EQ(log.lines, (std::vector<std::string>{"log: No Engine Script For EMAIL Post For: Site",
                                                 "log: Unable to post EMAIL to: Site",
                                                 "log: Site EMail ERROR!!!"}));
}

TEST_F(BuilderTest, ScriptsOfBlanksAndEmptyLinesAreNoScript) {
  Site().Script(ScriptKind::HttpNew) = "  \r\n \r\n\r\n";
  EXPECT_FALSE(builder.BuildHttpSubmission(SubmissionKind::New));
  ASSERT_FALSE(log.lines.empty());
  EXPECT_EQ(log.lines.front(), "log: No Engine Script For HTTP Post For: Site");
  log.lines.clear();
  Site().Script(ScriptKind::EmailNew) = "\r\n   \r\n";
  EXPECT_FALSE(builder.BuildMailSubmission(SubmissionKind::New, false, {}));
  ASSERT_FALSE(log.lines.empty());
  EXPECT_EQ(log.lines.front(), "log: No Engine Script For EMAIL Post For: Site");
  // Leading empty lines of a real script are not sent.
  Site().Script(ScriptKind::HttpNew) = "\r\n a=1";
  auto http = builder.BuildHttpSubmission(SubmissionKind::New);
  ASSERT_TRUE(http);
  EXPECT_EQ(http->data, "a=1");
}

class FtpBuilderTest : public BuilderTest {
 protected:
  FtpBuilderTest() {
    program = dir / "dist/setup.exe";
    WriteFile(program, std::string(5000, 'P'));
    App().SetField("PATH", program);
    App().SetField("8CHAR", "myprog");
    App().SetField("FILENAME", "prog.zip");
    Site().useFtpUpload = true;
    Site().ftpServer = "ftp.example:2121";
    Site().loginName = "anonymous";
    Site().loginPassword = "%CONTEMAIL%";
    Site().remotePath = "\\incoming/";
    Site().Script(ScriptKind::FtpNew) = "Name: %APPNAME%\nVersion %APPVERSION%";
    Site().ftpFileName = "%APPNAME%.TXT";
  }
  std::vector<std::string> Entries(const std::string& zip) {
    TZipArchiver z;
    z.ZipFilename = zip;
    return z.EntryNames();
  }
  std::string program;
};

TEST_F(FtpBuilderTest, CaseAUploadsTheProgramUnderItsFileNameWithTheTextFile) {
  auto plan = builder.BuildFtpSubmission();
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->host, "ftp.example:2121");
  EXPECT_EQ(plan->user, "anonymous");
  EXPECT_EQ(plan->password, "jo@ab.example");
  EXPECT_EQ(plan->remoteDir, "incoming/");
  ASSERT_EQ(plan->files.size(), 2u);
  EXPECT_EQ(plan->files[0].localPath, program);
  EXPECT_EQ(plan->files[0].remoteName, "incoming/prog.zip");
  EXPECT_FALSE(plan->files[0].ascii);
  EXPECT_EQ(plan->files[1].remoteName, "incoming/My Prog.TXT");
  EXPECT_TRUE(plan->files[1].ascii);
  EXPECT_EQ(*ReadFile(Files("My Prog.TXT")), "Name: My Prog\r\nVersion 1.2\r\n");
  EXPECT_FALSE(ReadFile(Files("FTP_Parse_Temp.tmp")));

  Site().use8x3FileName = true;
  Site().textFileOption = TextFileOption::IncludeInZip;  // case A ignores it
  plan = builder.BuildFtpSubmission();
  EXPECT_EQ(plan->files[0].remoteName, "incoming/myprog.zip");
  EXPECT_EQ(plan->files.size(), 2u);
}

TEST_F(FtpBuilderTest, CaseBZipsTheProgramUnderItsEightCharacterName) {
  Site().useZipFile = true;
  Site().use8x3FileName = true;
  Site().textFileOption = TextFileOption::IncludeInZip;
  auto plan = builder.BuildFtpSubmission();
  ASSERT_TRUE(plan);
  ASSERT_EQ(plan->files.size(), 1u);
  EXPECT_EQ(plan->files[0].localPath, Files("myprog.zip"));
  EXPECT_EQ(plan->files[0].remoteName, "incoming/myprog.zip");
  EXPECT_EQ(Entries(Files("myprog.zip")), (std::vector<std::string>{"setup.exe", "My Prog.TXT"}));
  EXPECT_EQ(log.lines[0], "ftp: Zipping File: " + Files("myprog.zip"));
  EXPECT_EQ(log.lines[1], "ftp: Adding To Zip File: " + Files("My Prog.TXT"));

  for (auto option : {TextFileOption::AddToUpload, TextFileOption::Both}) {
    Site().textFileOption = option;
    plan = builder.BuildFtpSubmission();
    ASSERT_EQ(plan->files.size(), 2u);
    EXPECT_EQ(plan->files[1].remoteName, "incoming/My Prog.TXT");
  }
  Site().use8x3FileName = false;
  EXPECT_EQ(builder.BuildFtpSubmission()->files[0].remoteName, "incoming/setup.zip");
}

TEST_F(FtpBuilderTest, EachSiteGetsAFreshArchiveWithOnlyWhatItsPlanLists) {
  Site().useZipFile = true;
  Site().use8x3FileName = true;
  Site().textFileOption = TextFileOption::IncludeInZip;
  ASSERT_TRUE(builder.BuildFtpSubmission());
  ASSERT_EQ(Entries(Files("myprog.zip")), (std::vector<std::string>{"setup.exe", "My Prog.TXT"}));
  // The next site sends the text file beside the archive; the program changed.
  Site().textFileOption = TextFileOption::AddToUpload;
  const std::string other = dir / "dist/other.exe";
  WriteFile(other, "new program");
  App().SetField("PATH", other);
  ASSERT_TRUE(builder.BuildFtpSubmission());
  EXPECT_EQ(Entries(Files("myprog.zip")), (std::vector<std::string>{"other.exe"}));
  // No scratch folder is left behind.
  for (const auto& e : std::filesystem::directory_iterator(Files(""))) {
    EXPECT_FALSE(e.is_directory()) << e.path();
  }
}

TEST_F(FtpBuilderTest, ARunCompressesTheProgramOnceForAllItsSites) {
  std::string data;
  for (int i = 0; i < 200000; ++i) data += std::to_string(i * 7919 % 100003) + ",";
  WriteFile(program, data);
  Site().useZipFile = true;
  Site().use8x3FileName = true;
  Site().textFileOption = TextFileOption::IncludeInZip;
  auto unzipped = [&](const std::string& zip, const std::string& entry) {
    const std::string out = dir / "unzipped";
    std::filesystem::remove(out);
    const std::string cmd = "unzip -p '" + zip + "' '" + entry + "' > '" + out + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return ReadFile(out).value_or("");
  };
  auto oneRun = [&](int sites) {
    CompressedFileCache cache(Files(""));
    SubmissionBuilder run(session->Wide().EngBuild(), session->Wide(), log, &cache);
    for (int i = 0; i < sites; ++i) {
      // Each site's text file differs, and every other one is sent beside the archive.
      Site().Script(ScriptKind::FtpNew) = "Site " + std::to_string(i);
      Site().textFileOption = i % 2 ? TextFileOption::AddToUpload : TextFileOption::IncludeInZip;
      auto plan = run.BuildFtpSubmission();
      ASSERT_TRUE(plan);
      const std::string zip = Files("myprog.zip");
      const std::vector<std::string> expected =
          i % 2 ? std::vector<std::string>{"setup.exe"}
                : std::vector<std::string>{"setup.exe", "My Prog.TXT"};
      EXPECT_EQ(Entries(zip), expected);
      EXPECT_EQ(unzipped(zip, "setup.exe"), data) << "site " << i;
      if (i % 2 == 0) {
        EXPECT_EQ(unzipped(zip, "My Prog.TXT"), "Site " + std::to_string(i) + "\r\n");
      }
    }
    EXPECT_EQ(cache.Compressions(), 1);
  };
  oneRun(3);
  // The copied entry is the compressed one, not the program stored as it is.
  EXPECT_LT(std::filesystem::file_size(Files("myprog.zip")), data.size() / 2);
  EXPECT_EQ(
      std::count_if(log.lines.begin(), log.lines.end(),
                    [](const std::string& l) { return l.rfind("ftp: Zipping File:", 0) == 0; }),
      3);
  // The next run sees the changed program; the cache's own archives are gone after each run.
  data += "and a new version";
  WriteFile(program, data);
  oneRun(2);
  for (const auto& e : std::filesystem::directory_iterator(Files(""))) {
    EXPECT_EQ(e.path().filename().string().rfind(".compressed", 0), std::string::npos) << e.path();
  }
}

TEST_F(FtpBuilderTest, AZipProgramIsCopiedUnderItsOwnName) {
  std::string zip = dir / "dist/prog.zip";
  WriteFile(zip, *ReadFile(program));
  App().SetField("PATH", zip);
  Site().use8x3FileName = true;
  Site().remotePath = "up";  // the folder "up", though its "/" is missing
  auto plan = builder.BuildFtpSubmission();
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->files[0].localPath, Files("prog.zip"));
  EXPECT_EQ(plan->files[0].remoteName, "up/prog.zip");
  EXPECT_EQ(log.lines[0], "ftp: Prepairing Zip File: " + Files("prog.zip"));
  EXPECT_EQ(*ReadFile(Files("prog.zip")), *ReadFile(zip));
}

TEST(RemoteFolder, PutsExactlyOneSlashBeforeTheFileName) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},
      {"/", "/"},
      {"\\", ""},
      {"up", "up/"},
      {"/uploads", "/uploads/"},
      {"/uploads/", "/uploads/"},
      {"in//", "in/"},
      {"\\incoming/", "incoming/"},
      {"a\\b\\", "a\\b/"},
  };
  for (const auto& [path, folder] : cases) EXPECT_EQ(RemoteFolder(path), folder) << path;
}

TEST_F(FtpBuilderTest, AScriptThatFailsMakesNoTextFileAndAMissingProgramNoUpload) {
  Site().Script(ScriptKind::FtpNew) = "%BROKEN";
  auto plan = builder.BuildFtpSubmission();
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->textFile, "");
  EXPECT_EQ(plan->files.size(), 1u);
  EXPECT_TRUE(log.lines.empty());
  Site().useZipFile = true;
  App().SetField("PATH", dir / "dist/missing.exe");
  EXPECT_FALSE(builder.BuildFtpSubmission());
}

TEST_F(FtpBuilderTest, AnArchiveNameFromTheProfileCannotLeaveTheFilesFolder) {
  StoreAppValue("8CHAR", "../../x");  // as a hand-edited file may hold it
  ASSERT_EQ(App().Profile().char8, "../../x");
  Site().useZipFile = true;
  Site().use8x3FileName = true;
  EXPECT_FALSE(builder.BuildFtpSubmission());
  EXPECT_FALSE(std::filesystem::exists(dir / "x.zip"));
  EXPECT_FALSE(std::filesystem::exists(Files("../../x.zip")));
  ASSERT_FALSE(log.lines.empty());
  EXPECT_EQ(log.lines.back(),
            "ftp: The 8-character name \"../../x\" is refused: You can only have alpha-numeric "
            "values in this field.");
  StoreAppValue("8CHAR", "..");
  EXPECT_FALSE(builder.BuildFtpSubmission());
}

TEST_F(FtpBuilderTest, ATextFileNameCannotLeaveTheFilesFolder) {
  Site().ftpFileName = "../../escape.txt";
  EXPECT_EQ(builder.BuildFtpTextFile(), "");
  EXPECT_FALSE(std::filesystem::exists(dir / "escape.txt"));
}

TEST(WrapText, WordsLinesAndLongWords) {
  EXPECT_EQ(WrapText("", 10), "");
  EXPECT_EQ(WrapText("short", 10), "short\r\n");
  EXPECT_EQ(WrapText("aaa bbb ccc ddd", 8), "aaa bbb \r\nccc ddd\r\n");
  EXPECT_EQ(WrapText("abcdefghijkl", 5), "abcde\r\nfghij\r\nkl\r\n");
  EXPECT_EQ(WrapText("abcdefgh ij", 5), "abcde\r\nfgh \r\nij\r\n");
  EXPECT_EQ(WrapText("one\n\ntwo", 72), "one\r\n\r\ntwo\r\n");
}

}  // namespace
}  // namespace vendrix
