#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <filesystem>
#include <map>
#include <set>

#include "base/staging_files.h"
#include "catalogue/site_store.h"
#include "services_http.h"
#include "support/fake_resolver.h"
#include "support/scripted_prompt.h"
#include "support/session_fixture.h"
#include "update/catalogue_install.h"
#include "update/catalogue_switch.h"
#include "update/catalogue_trash.h"
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

TEST_F(UpdateTest, AReplacedFileKeepsItsPermissionsAndTheRestIsCarriedOverAsItWas) {
  auto modeOf = [&](const std::string& rel) {
    struct stat st {};
    EXPECT_EQ(::stat((dir / rel).c_str(), &st), 0) << rel;
    return st.st_mode & 07777;
  };
  WriteFile(dir / "sites/Alpha.ini", "[SETTINGS]\r\nLOGIN_PASSWORD=secret\r\n");
  ASSERT_EQ(::chmod((dir / "sites/Alpha.ini").c_str(), 0600), 0);
  ASSERT_EQ(::chmod((dir / "cat/Old Cat1.cat").c_str(), 0640), 0);
  const mode_t mask = ::umask(0);
  ::umask(mask);
  WriteFile(dir / "update.zip", Good());
  ASSERT_EQ(Window().Install(dir / "update.zip"), UpdateOutcome::Completed)
      << ::testing::PrintToString(prompt.log);
  auto files = Catalogue();
  EXPECT_EQ(files["sites/Alpha.ini"], "[SETTINGS]\r\nUSE_CAT1=1\r\n");
  EXPECT_EQ(modeOf("sites/Alpha.ini"), 0600u);  // the password file stays its owner's
  EXPECT_EQ(modeOf("sites/Alpha HTTP_NEW.scp"), 0666u & ~mask);
  EXPECT_EQ(files["cat/Old Cat1.cat"], "Games\r\n");
  EXPECT_EQ(modeOf("cat/Old Cat1.cat"), 0640u);
  EXPECT_EQ(files["sites/Old.ini"], "[SETTINGS]\r\n");
  EXPECT_TRUE(UpdatesEmpty());
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

TEST_F(UpdateTest, DamageAfterTheFirstFilesTakesAwayWhatWasUnpacked) {
  // Data that does not compress is stored as it is, so one byte of it can be spoiled.
  std::string noise;
  for (unsigned x = 7; noise.size() < 400;) {
    x = x * 1103515245u + 12345u;
    noise += static_cast<char>(x >> 24);
  }
  std::string damaged = MakeZip(dir, {{"Sites.dat", "A\r\nB\r\n"},
                                      {"A.ini", "[SETTINGS]\r\n"},
                                      {"A Cat1.cat", "Games\r\n"},
                                      {"B.ini", noise}});
  const auto at = damaged.find(noise);
  ASSERT_NE(at, std::string::npos);
  damaged[at + 200] ^= 1;
  WriteFile(dir / "damaged.zip", damaged);
  const auto before = Catalogue();
  EXPECT_EQ(Window().Install(dir / "damaged.zip"), UpdateOutcome::Failed);
  EXPECT_EQ(Catalogue(), before);
  EXPECT_TRUE(UpdatesEmpty());
  EXPECT_EQ(prompt.log.back().rfind("error: The update archive could not be unpacked", 0), 0u)
      << prompt.log.back();
  ASSERT_TRUE(WaitForEmptyTrash(dir.path() + "/", 120));
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path())) names.insert(e.path().filename());
  EXPECT_EQ(names, (std::set<std::string>{"cat", "damaged.zip", "made.zip", "sites"}));
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
  EXPECT_EQ(prompt.log[0].rfind("error: 127.0.0.1: 404 Not Found (151).", 0), 0u) << prompt.log[0];
}

// A failed download says which server and why in words, the code after.
TEST_F(UpdateTest, AFailedDownloadNamesTheHostAndTheReasonBeforeTheCode) {
  test::ScopedResolver resolver;  // every name has no address
  const std::pair<const char*, const char*> cases[] = {
      {"http://www.example.org/vendrix/engines/vxsites.zip",
       "could not resolve host www.example.org: it has no address (11004)."},
      {"http://127.0.0.1:1/vxsites.zip", "127.0.0.1: Connection refused (10061)."},
  };
  for (const auto& [url, message] : cases) {
    prompt.log.clear();
    EXPECT_EQ(Window(url).StartUpdate(), UpdateOutcome::Failed);
    EXPECT_EQ(prompt.log, (std::vector<std::string>{std::string("error: ") + message +
                                                    " The catalogue was not changed."}));
  }
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
  // Listed by both files now, the user's site is still one site: one entry, one row.
  DataTree tree(dir.path());
  tree.SitesDir = dir / "sites/";
  MatchUps matchUps = StandardMatchUps();
  SiteLists lists;
  SiteStore(tree, matchUps).LoadSiteLists(lists);
  EXPECT_EQ(lists.SiteList, (Lines{"Alpha", "Mine"}));
}

TEST_F(UpdateTest, TheReplacedCatalogueIsRemovedAfterTheUpdateAndNothingHiddenIsLeft) {
  WriteFile(dir / "archive.zip", Good());
  EXPECT_EQ(Window().Install(dir / "archive.zip"), UpdateOutcome::Completed);
  ASSERT_TRUE(WaitForEmptyTrash(dir.path() + "/", 120));
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path())) names.insert(e.path().filename());
  EXPECT_EQ(names, (std::set<std::string>{"archive.zip", "cat", "made.zip", "sites"}));
  EXPECT_EQ(Catalogue()["sites/Sites.dat"], "Alpha\r\n");
}

TEST_F(UpdateTest, AFileThatCannotBeReplacedLeavesEveryFileAsItWas) {
  fs::create_directories(dir / "sites/Alpha.ini");  // a folder where a file should go
  const auto before = Catalogue();
  WriteFile(dir / "archive.zip", Good());
  Tgeteng& w = Window();
  EXPECT_EQ(w.Install(dir / "archive.zip"), UpdateOutcome::Failed);
  EXPECT_EQ(Catalogue(), before) << "Sites.dat comes first and must not be replaced alone";
  EXPECT_EQ(prompt.log.back(), "error: " + (dir / "sites/Alpha.ini") +
                                   " is not a file; the update was not installed. The catalogue "
                                   "was not changed.");
  EXPECT_TRUE(UpdatesEmpty());
  for (const auto& e : fs::directory_iterator(dir / "sites")) {
    EXPECT_NE(e.path().filename().string()[0], '.') << "no staged copy is left behind";
  }
}

TEST_F(UpdateTest, AnArchiveWhoseListNamesSitesItLacksIsRefusedWhole) {
  WriteFile(dir / "sites/User_Sites.dat", "Mine\r\n");
  WriteFile(dir / "sites/Mine.ini", "[SETTINGS]\r\n");
  const auto before = Catalogue();
  WriteFile(dir / "archive.zip", MakeZip(dir, {{"Sites.dat", "Alpha\r\nBeta\r\nMine\r\nGamma\r\n"},
                                               {"Alpha.ini", "a"},
                                               {"gamma.ini", "wrong case"}}));
  EXPECT_EQ(Window().Install(dir / "archive.zip"), UpdateOutcome::Failed);
  EXPECT_EQ(Catalogue(), before);
  EXPECT_TRUE(
      prompt.Saw("error: The update archive's Sites.dat lists 2 sites whose settings file "
                 "it does not hold: Beta, Gamma. The catalogue was not changed."))
      << ::testing::PrintToString(prompt.log);
}

TEST_F(UpdateTest, EntryNamesInWindows1252AreReadAsWindows1252) {
  // An archive made on Windows without the UTF-8 flag: "\xE9t\xE9 Site" in the maker's code page.
  const std::string site = "\xE9t\xE9 Site";
  const std::string path = dir / "cp.zip";
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  ASSERT_NE(z, nullptr);
  const std::string list = site + "\r\n", ini = "[SETTINGS]\r\n";
  zip_file_add(z, "Sites.dat", zip_source_buffer(z, list.data(), list.size(), 0), 0);
  zip_file_add(z, (site + ".ini").c_str(), zip_source_buffer(z, ini.data(), ini.size(), 0),
               ZIP_FL_ENC_RAW);
  ASSERT_EQ(zip_close(z), 0);
  EXPECT_EQ(Window().Install(path), UpdateOutcome::Completed)
      << ::testing::PrintToString(prompt.log);
  EXPECT_TRUE(fs::exists(dir / "sites/\u00e9t\u00e9 Site.ini"));
}

TEST_F(UpdateTest, AnArchiveInsideTheUpdatesFolderIsInstalledNotDeleted) {
  Tgeteng& w = Window();  // opening empties the updates folder; Install must not
  WriteFile(dir / "sites/updates/mine.zip", Good());
  EXPECT_EQ(w.Install(dir / "sites/updates/mine.zip"), UpdateOutcome::Completed)
      << ::testing::PrintToString(prompt.log);
  EXPECT_EQ(Catalogue()["sites/Alpha.ini"], "[SETTINGS]\r\nUSE_CAT1=1\r\n");
  EXPECT_TRUE(UpdatesEmpty());
}

TEST_F(UpdateTest, TheDownloadWaitIsForSilenceNotForTheWholeTransfer) {
  HttpPeer peer(dir, false);
  peer.RawRoutes("{" + test::JsonBytes(kPath) + R"(: {"drip": [100, 0.3], "raw": )" +
                 test::JsonBytes(Reply200(Good())) + R"(}, "/silent": {"sleep": 30}})");
  Tgeteng& w = Window(peer.Url(kPath));
  w.waitSeconds = 1;  // the drip takes longer, but never pauses that long
  EXPECT_EQ(w.StartUpdate(), UpdateOutcome::Completed) << ::testing::PrintToString(prompt.log);

  Tgeteng& silent = Window(peer.Url("/silent"));
  silent.waitSeconds = 1;
  EXPECT_EQ(silent.StartUpdate(), UpdateOutcome::Failed);
  EXPECT_TRUE(
      prompt.Saw("error: The update server sent nothing for 1 seconds; the download was "
                 "stopped. The catalogue was not changed."))
      << ::testing::PrintToString(prompt.log);
}

TEST_F(UpdateTest, ASilentServerEndsAtTheDeadline) {
  HttpPeer peer(dir, false);
  peer.RawRoutes(R"({"/vendrix/engines/vxsites.zip": {"sleep": 30}})");
  Tgeteng& w = Window(peer.Url(kPath));
  w.downloadLimit = std::chrono::milliseconds(300);
  EXPECT_EQ(w.StartUpdate(), UpdateOutcome::Failed);
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

// The states a kill can leave between building the new catalogue and removing the old.
TEST(CatalogueSwitchRecovery, WithItsJournalASwitchIsFinishedWithoutItUndone) {
  TempDir dir;
  auto make = [&](const std::string& folder, const std::string& text) {
    fs::create_directories(dir / folder);
    WriteFile(dir / (folder + "/Sites.dat"), text);
  };
  auto reset = [&] {
    for (const char* d : {"sites", "cat", ".sites.new", ".cat.new", ".sites.old", ".cat.old"})
      fs::remove_all(dir / d);
    fs::remove(dir / ".catalogue-switch");
  };
  auto state = [&] {
    std::string s = *ReadFile(dir / "sites/Sites.dat") + "|" + *ReadFile(dir / "cat/Sites.dat");
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path())) names.insert(e.path().filename());
    for (const auto& n : names) s += " " + n;
    return s;
  };
  const std::string root = dir.path() + "/";
  struct Case {
    const char* what;
    bool journal;
    std::vector<std::pair<const char*, const char*>> folders;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"building, no journal",
       false,
       {{"sites", "old"}, {"cat", "old"}, {".sites.new", "new"}},
       "old|old"},
      {"journal written",
       true,
       {{"sites", "old"}, {"cat", "old"}, {".sites.new", "new"}, {".cat.new", "new"}},
       "new|new"},
      {"sites moved aside",
       true,
       {{".sites.old", "old"}, {"cat", "old"}, {".sites.new", "new"}, {".cat.new", "new"}},
       "new|new"},
      {"sites switched, cat moved aside",
       true,
       {{".sites.old", "old"}, {"sites", "new"}, {".cat.old", "old"}, {".cat.new", "new"}},
       "new|new"},
      {"both switched, journal left",
       true,
       {{".sites.old", "old"}, {"sites", "new"}, {".cat.old", "old"}, {"cat", "new"}},
       "new|new"},
      {"journal removed, old folders left",
       false,
       {{".sites.old", "old"}, {"sites", "new"}, {"cat", "new"}},
       "new|new"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    reset();
    for (const auto& [folder, text] : c.folders) make(folder, text);
    if (c.journal) WriteFile(dir / ".catalogue-switch", "sites\r\ncat\r\n");
    RecoverCatalogueSwitch(root, "sites", "cat");
    ASSERT_TRUE(WaitForEmptyTrash(root, 120));
    EXPECT_EQ(state(), std::string(c.expected) + " cat sites");
  }
}

// The folders a switch leaves behind go to the trash, whose remover works apart from
// the program: one at a time, following no link, taking what an earlier one left.
TEST(CatalogueTrash, OneRemoverAtATimeTakesEverythingAndFollowsNoLink) {
  TempDir dir, outside;
  const std::string root = dir.path() + "/";
  WriteFile(outside / "keep.txt", "not the catalogue's");
  for (const char* d : {"sites", "cat", ".sites.old/deep", ".catalogue-trash/cat.Ab12Cd/folder"})
    fs::create_directories(dir / d);
  WriteFile(dir / ".sites.old/deep/Old.ini", "old");
  fs::create_directory_symlink(outside.path(), dir / ".sites.old/deep/folder-link");
  fs::create_symlink(outside / "keep.txt", dir / ".sites.old/file-link");
  WriteFile(dir / ".catalogue-trash/cat.Ab12Cd/folder/Old Cat1.cat", "left by a killed remover");

  // While a remover holds the trash, the old folder only joins it.
  const int held = ::open((dir / ".catalogue-trash").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  EXPECT_EQ(RecoverCatalogueSwitch(root, "sites", "cat"), "");
  EXPECT_FALSE(fs::exists(dir / ".sites.old"));
  ::usleep(300 * 1000);
  std::size_t waiting = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir / ".catalogue-trash")) ++waiting;
  EXPECT_EQ(waiting, 2u);
  ::close(held);

  ASSERT_TRUE(WaitForEmptyTrash(root, 120));
  EXPECT_EQ(*ReadFile(outside / "keep.txt"), "not the catalogue's");
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path())) names.insert(e.path().filename());
  EXPECT_EQ(names, (std::set<std::string>{"cat", "sites"}));
}

TEST(CatalogueSwitchRecovery, StagingNamesAreSweptAndNothingElse) {
  for (const char* name : {".Acme.dat.a1B2c3", "..catalogue-switch.XXxx99", ".vendrix-1f-2.part"})
    EXPECT_TRUE(IsStagingName(name)) << name;
  for (const char* name : {"Acme.dat", ".a1B2c3", ".Acme.dat.a1-2c3", ".Acme.dat.a1B2c", ".part"})
    EXPECT_FALSE(IsStagingName(name)) << name;
  TempDir dir;
  WriteFile(dir / ".Acme.dat.a1B2c3", "half");
  WriteFile(dir / ".settings.dat.Zz0099", "half");
  WriteFile(dir / "Acme.dat", "whole");
  fs::create_directories(dir / ".folder.abcdef");
  fs::create_symlink("Acme.dat", dir / ".link.abcdef");
  EXPECT_EQ(SweepStagingFiles(dir.path(), "settings.dat"), 1);
  EXPECT_TRUE(fs::exists(dir / ".Acme.dat.a1B2c3"));
  EXPECT_EQ(SweepStagingFiles(dir.path()), 1);
  EXPECT_FALSE(fs::exists(dir / ".Acme.dat.a1B2c3"));
  EXPECT_TRUE(fs::exists(dir / "Acme.dat"));
  EXPECT_TRUE(fs::is_directory(dir / ".folder.abcdef"));
  EXPECT_TRUE(fs::is_symlink(dir / ".link.abcdef"));
}

}  // namespace
}  // namespace vendrix

namespace vendrix {
namespace {

class UpdateSessionTest : public test::SessionTest {};

TEST_F(UpdateSessionTest, AStartFinishesAnInterruptedSwitchAndSweepsStagingFiles) {
  fs::create_directories(dir / ".sites.new");
  WriteFile(dir / ".sites.new/Sites.dat", "New\r\n");
  WriteFile(dir / ".catalogue-switch", "sites\r\ncat\r\n");
  WriteFile(dir / "companies/.companies.dat.q1w2e3", "half");
  prompt.log.clear();
  Restart();
  ASSERT_TRUE(WaitForEmptyTrash(dir.path() + "/", 120));
  EXPECT_EQ(*ReadFile(dir / "sites/Sites.dat"), "New\r\n");
  EXPECT_TRUE(prompt.Saw("inform: An interrupted update of the site catalogue was finished."));
  for (const auto& e : fs::recursive_directory_iterator(dir.path())) {
    EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
  }
}

TEST_F(UpdateSessionTest, AWindowLeavesTheCataloguesStagingFilesUntilItHasAppeared) {
  WriteFile(dir / "sites/.Sites.dat.a1B2c3", "half");
  WriteFile(dir / "cat/.Games.cat.a1B2c3", "half");
  WriteFile(dir / "companies/.companies.dat.q1w2e3", "half");
  session = std::make_unique<Session>(dir.path(), prompt, clock);
  ASSERT_TRUE(session->Initialise(true));
  session->ShowStep({}, true);
  EXPECT_FALSE(fs::exists(dir / "companies/.companies.dat.q1w2e3"));
  EXPECT_TRUE(fs::exists(dir / "sites/.Sites.dat.a1B2c3"));
  EXPECT_TRUE(fs::exists(dir / "cat/.Games.cat.a1B2c3"));
  session->FinishStartSweep();
  EXPECT_FALSE(fs::exists(dir / "sites/.Sites.dat.a1B2c3"));
  EXPECT_FALSE(fs::exists(dir / "cat/.Games.cat.a1B2c3"));
}

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
