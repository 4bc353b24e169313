#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "services_http.h"
#include "support/scripted_prompt.h"
#include "support/session_fixture.h"
#include "update/catalogue_install.h"
#include "update/data_update.h"

namespace vendrix {
namespace {

using test::HttpPeer;
using test::MakeZip;
using test::ReadFile;
using test::Reply200;
using test::ScriptedPrompt;
using test::TempDir;
using test::WriteFile;
using test::ZipEntry;
namespace fs = std::filesystem;

class RecordingObserver : public UpdateObserver {
 public:
  std::vector<std::string> statuses, trace;
  int percent = 0;
  void Status(const std::string& text) override { statuses.push_back(text); }
  void Percent(int p) override { percent = p; }
  void Bar(long long, long long, long long) override {}
  void Trace(const std::string& line, bool replaceLast) override {
    if (replaceLast && !trace.empty()) trace.pop_back();
    trace.push_back(line);
  }
  bool Saw(const std::string& s) const {
    return std::find(statuses.begin(), statuses.end(), s) != statuses.end();
  }
};

constexpr const char* kPath = "/vendrix/engines/vxsites.zip";

class UpdateTest : public ::testing::Test {
 protected:
  UpdateTest() {
    for (const char* d : {"sites/updates", "cat"}) fs::create_directories(dir / d);
    WriteFile(dir / "sites/Sites.dat", "Old\r\n");
    WriteFile(dir / "sites/Old.ini", "[SETTINGS]\r\n");
    WriteFile(dir / "cat/Old Cat1.cat", "Games\r\n");
  }

  // Every file of the catalogue folders with its bytes (the updates folder apart).
  std::map<std::string, std::string> Catalogue() const {
    std::map<std::string, std::string> files;
    for (const char* d : {"sites", "cat"}) {
      for (const auto& e : fs::directory_iterator(dir / d)) {
        if (e.is_regular_file())
          files[std::string(d) + "/" + e.path().filename().string()] = *ReadFile(e.path().string());
      }
    }
    return files;
  }
  bool UpdatesEmpty() const { return fs::is_empty(dir / "sites/updates"); }

  Tgeteng& Window(const std::string& url = "", const std::string& ca = "") {
    window = std::make_unique<Tgeteng>(
        UpdateFolders{dir / "sites/updates/", dir / "sites/", dir / "cat/"},
        UpdateSource{url, "", 80, ca}, prompt, observer);
    window->Open();
    return *window;
  }

  std::string Good() {
    return MakeZip(dir, {{"sites.dat", "Alpha\r\n"},
                         {"Alpha.ini", "[SETTINGS]\r\nUSE_CAT1=1\r\n"},
                         {"Alpha Cat1.cat", "Tools\r\n"},
                         {"a.catalog", "odd\r\n"},
                         {"Alpha HTTP_NEW.scp", "name=%COMPNAME%\r\n"}});
  }

  TempDir dir;
  ScriptedPrompt prompt;
  RecordingObserver observer;
  std::unique_ptr<Tgeteng> window;
};

TEST_F(UpdateTest, ArchiveOverTlsLandsWhereTheRulesSayAndTheUpdatesFolderEndsEmpty) {
  HttpPeer peer(dir, true);
  std::string zip = Good();
  peer.Routes({{kPath, Reply200(zip)}});
  Tgeteng& w = Window(peer.Url(kPath), peer.CaPem());
  EXPECT_EQ(w.StartUpdate(), UpdateOutcome::Completed) << ::testing::PrintToString(prompt.log);
  auto files = Catalogue();
  EXPECT_EQ(files["sites/Sites.dat"], "Alpha\r\n");
  EXPECT_EQ(files.count("sites/sites.dat"), 0u) << "the list lands under the catalogue's own name";
  EXPECT_EQ(files["sites/Alpha.ini"], "[SETTINGS]\r\nUSE_CAT1=1\r\n");
  EXPECT_EQ(files["sites/Alpha HTTP_NEW.scp"], "name=%COMPNAME%\r\n");
  EXPECT_EQ(files["cat/Alpha Cat1.cat"], "Tools\r\n");
  EXPECT_EQ(files["cat/a.catalog"], "odd\r\n");
  EXPECT_EQ(files["sites/Old.ini"], "[SETTINGS]\r\n") << "files the archive lacks stay";
  EXPECT_TRUE(UpdatesEmpty());
  EXPECT_TRUE(w.UpdateComplete());
  EXPECT_EQ(observer.percent, 100);
  EXPECT_TRUE(observer.Saw("Connecting to Halvane Server"));
  EXPECT_TRUE(observer.Saw("Copying Sites.Dat..."));
  EXPECT_TRUE(observer.Saw("Copying a.catalog"));
  EXPECT_EQ(observer.statuses.back(), "Data Update Complete");
  EXPECT_EQ(observer.trace.back(), "Disconnected: OK");
  EXPECT_TRUE(prompt.Saw("inform: Data File Update Complete"));
  EXPECT_NE(peer.Requests().at(0).find("User-Agent: Mirkel\r\n"), std::string::npos);

  ScriptedPrompt after;
  EXPECT_TRUE(AfterUpdateWindow(w.UpdateComplete(), after));
  EXPECT_TRUE(after.Saw("inform: You must now restart Vendrix!"));
  EXPECT_FALSE(AfterUpdateWindow(false, after));
}

TEST_F(UpdateTest, OpeningDeletesLeftoversButKeepsFolders) {
  WriteFile(dir / "sites/updates/vxsites.zip", "half");
  WriteFile(dir / "sites/updates/Stale.ini", "x");
  fs::create_directories(dir / "sites/updates/keep");
  Window();
  EXPECT_FALSE(fs::exists(dir / "sites/updates/vxsites.zip"));
  EXPECT_FALSE(fs::exists(dir / "sites/updates/Stale.ini"));
  EXPECT_TRUE(fs::is_directory(dir / "sites/updates/keep"));
  EXPECT_EQ(window->DiskFile(), dir / "sites/updates/vxsites.zip");
}

TEST_F(UpdateTest, HostileArchivesChangeNothing) {
  const std::vector<std::pair<const char*, std::vector<ZipEntry>>> cases = {
      {"traversal", {{"Sites.dat", "Evil\r\n"}, {"../evil.ini", "x"}}},
      {"link", {{"Sites.dat", "Evil\r\n"}, {"Link.ini", "/etc/passwd", true}}},
      {"folder", {{"Sites.dat", "Evil\r\n"}, {"sub/x.ini", "x"}}},
      {"same name twice", {{"Sites.dat", "Evil\r\n"}, {"sites.dat", "Evil2\r\n"}}},
      {"the archive's own name", {{"Sites.dat", "Evil\r\n"}, {"VXSITES.ZIP", "x"}}},
  };
  const auto before = Catalogue();
  for (const auto& [what, entries] : cases) {
    SCOPED_TRACE(what);
    WriteFile(dir / "hostile.zip", MakeZip(dir, entries));
    prompt.log.clear();
    Tgeteng& w = Window();
    EXPECT_EQ(w.Install(dir / "hostile.zip"), UpdateOutcome::Failed);
    EXPECT_EQ(Catalogue(), before);
    EXPECT_TRUE(UpdatesEmpty());
    EXPECT_FALSE(w.UpdateComplete());
    ASSERT_FALSE(prompt.log.empty());
    EXPECT_EQ(prompt.log.back().rfind("error: ", 0), 0u) << prompt.log.back();
  }
  EXPECT_FALSE(fs::exists(dir / "evil.ini"));
  EXPECT_FALSE(fs::exists(dir / "sites/evil.ini"));

  WriteFile(dir / "broken.zip", Good().substr(0, 100));
  EXPECT_EQ(Window().Install(dir / "broken.zip"), UpdateOutcome::Failed);
  EXPECT_EQ(Catalogue(), before);
}

TEST_F(UpdateTest, TruncatedDownloadAnd404ChangeNothing) {
  HttpPeer peer(dir, false);
  std::string zip = Good();
  peer.Routes({{kPath, "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(zip.size()) +
                           "\r\n\r\n" + zip.substr(0, zip.size() - 40)}});
  const auto before = Catalogue();
  Tgeteng& w = Window(peer.Url(kPath));
  EXPECT_EQ(w.StartUpdate(), UpdateOutcome::Failed);
  EXPECT_EQ(Catalogue(), before);
  EXPECT_TRUE(UpdatesEmpty());
  EXPECT_FALSE(w.UpdateComplete());

  prompt.log.clear();
  Tgeteng& w2 = Window(peer.Url("/elsewhere.zip"));
  EXPECT_EQ(w2.StartUpdate(), UpdateOutcome::Failed);
  EXPECT_EQ(Catalogue(), before);
  EXPECT_FALSE(w2.UpdateComplete());
  ASSERT_EQ(prompt.log.size(), 1u);
  EXPECT_EQ(prompt.log[0].rfind("error: 151: 404 Not Found", 0), 0u) << prompt.log[0];
}

TEST_F(UpdateTest, ReplyWithoutContentLengthShowsTheLargestLengthAsTotal) {
  HttpPeer peer(dir, false);
  peer.Routes({{kPath, Reply200(Good(), false)}});
  Tgeteng& w = Window(peer.Url(kPath));
  EXPECT_EQ(w.StartUpdate(), UpdateOutcome::Completed);
  bool sawTotal = false;
  for (const auto& s : observer.statuses) {
    if (s.find("K of 2097151K") != std::string::npos) sawTotal = true;
  }
  EXPECT_TRUE(sawTotal);
  EXPECT_EQ(observer.percent, 0);
}

TEST_F(UpdateTest, UserSitesAndTheirFilesSurvive) {
  WriteFile(dir / "sites/User_Sites.dat", "Mine\r\n");
  WriteFile(dir / "sites/Mine.ini", "[SETTINGS]\r\nmine\r\n");
  WriteFile(dir / "cat/Mine Cat1.cat", "My cats\r\n");
  WriteFile(dir / "sites/Mine HTTP_NEW.scp", "my script\r\n");
  WriteFile(dir / "archive.zip", MakeZip(dir, {{"Sites.dat", "Alpha\r\nMine\r\n"},
                                               {"USER_SITES.DAT", "Theirs\r\n"},
                                               {"Mine.ini", "theirs"},
                                               {"Mine Cat1.cat", "theirs"},
                                               {"mine http_new.scp", "theirs"},
                                               {"Alpha.ini", "alpha"}}));
  Tgeteng& w = Window();
  EXPECT_EQ(w.Install(dir / "archive.zip"), UpdateOutcome::Completed);
  auto files = Catalogue();
  EXPECT_EQ(files["sites/User_Sites.dat"], "Mine\r\n");
  EXPECT_EQ(files["sites/Mine.ini"], "[SETTINGS]\r\nmine\r\n");
  EXPECT_EQ(files["cat/Mine Cat1.cat"], "My cats\r\n");
  EXPECT_EQ(files["sites/Mine HTTP_NEW.scp"], "my script\r\n");
  EXPECT_EQ(files.count("sites/mine http_new.scp"), 0u);
  EXPECT_EQ(files["sites/Sites.dat"], "Alpha\r\nMine\r\n");
  EXPECT_EQ(files["sites/Alpha.ini"], "alpha");
  EXPECT_EQ(w.KeptFiles().size(), 4u);
  EXPECT_TRUE(observer.Saw("Kept your own file USER_SITES.DAT"));
}

TEST_F(UpdateTest, AFileThatCannotBeReplacedLeavesEveryFileAsItWas) {
  fs::create_directories(dir / "sites/Alpha.ini");  // a folder where a file should go
  const auto before = Catalogue();
  WriteFile(dir / "archive.zip", Good());
  Tgeteng& w = Window();
  EXPECT_EQ(w.Install(dir / "archive.zip"), UpdateOutcome::Failed);
  EXPECT_EQ(Catalogue(), before) << "Sites.dat comes first and must not be replaced alone";
  EXPECT_TRUE(UpdatesEmpty());
  for (const auto& e : fs::directory_iterator(dir / "sites")) {
    EXPECT_NE(e.path().filename().string()[0], '.') << "no staged copy is left behind";
  }
}

TEST_F(UpdateTest, ASilentServerEndsAtTheDeadline) {
  HttpPeer peer(dir, false);
  peer.RawRoutes(R"({"/vendrix/engines/vxsites.zip": {"sleep": 30}})");
  Tgeteng& w = Window(peer.Url(kPath));
  w.downloadLimit = std::chrono::milliseconds(300);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(w.StartUpdate(), UpdateOutcome::Failed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_TRUE(
      prompt.Saw("error: The download took too long and was stopped. The catalogue was "
                 "not changed."));
}

TEST(UpdateRules, EntryNamesAndTargets) {
  EXPECT_EQ(CheckUpdateEntries({"Sites.dat", "A b.ini", "A b Cat1.cat"}), "");
  EXPECT_NE(CheckUpdateEntries({}), "");
  for (const char* bad : {"a\\b.ini", "/abs.ini", "..", "c:x.ini", "tab\there", "dir/"}) {
    EXPECT_NE(CheckUpdateEntries({bad}), "") << bad;
  }
  InstallPlan plan =
      PlanInstall({"x.cat.txt", "SITES.DAT", "old vxsites.zip", "b.ini"}, "S/", "C/", {});
  std::vector<std::string> targets;
  for (const auto& c : plan.copies) targets.push_back(c.target);
  EXPECT_EQ(targets, (std::vector<std::string>{"S/Sites.dat", "S/b.ini", "C/x.cat.txt"}));
}

}  // namespace
}  // namespace vendrix

namespace vendrix {
namespace {

class UpdateSessionTest : public test::SessionTest {};

TEST_F(UpdateSessionTest, AfterACompletedUpdateTheMainWindowClosesWithoutQuestions) {
  AddCompany("Acme");  // leaves an unsaved company behind
  session->Company().SetField("CONTACT", "Jo");
  EXPECT_FALSE(session->UpdateWindowClosed(false));
  EXPECT_TRUE(prompt.log.empty() || prompt.log.back() != "inform: You must now restart Vendrix!");
  EXPECT_TRUE(session->UpdateWindowClosed(true));
  EXPECT_EQ(prompt.log.back(), "inform: You must now restart Vendrix!");
  prompt.log.clear();
  EXPECT_TRUE(session->CloseQuery());
  EXPECT_TRUE(prompt.log.empty());
}

}  // namespace
}  // namespace vendrix
