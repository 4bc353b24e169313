#include <gtest/gtest.h>
#include <sys/stat.h>

#include "catalogue/site_rows.h"
#include "catalogue/site_table.h"
#include "profiles/value_lists.h"
#include "script/eng_build.h"
#include "support/session_fixture.h"
#include "support/temp_dir.h"

namespace vendrix {
namespace {

using test::ReadFile;
using test::SessionTest;
using test::WriteFile;

AppSiteRow Row(const std::string& type) {
  AppSiteRow r;
  r.type = type;
  return r;
}

TEST(SiteFits, EveryPlatformAndStatus) {
  for (auto platform : kPlatforms) {
    for (auto status : kStatuses) {
      bool free = status == "Freeware" || status == "Public Domain";
      bool win31 = platform == "Windows 3.1";
      EXPECT_EQ(SiteFitsApp(Row("All 16-32"), platform, status), true);
      EXPECT_EQ(SiteFitsApp(Row("All 32"), platform, status), !win31) << platform;
      EXPECT_EQ(SiteFitsApp(Row("All 16"), platform, status), win31) << platform;
      EXPECT_EQ(SiteFitsApp(Row("Free 16-32"), platform, status), free) << status;
      EXPECT_EQ(SiteFitsApp(Row("Free 32"), platform, status), free && !win31);
    }
  }
  EXPECT_FALSE(SiteFitsApp(Row("All 16"), "", "Shareware"));  // an empty platform is not 3.1
  EXPECT_TRUE(SiteFitsApp(Row("All 32"), "", ""));
}

TEST(SiteRows, ALargeCatalogueReadOnSeveralThreadsKeepsTheListsOrder) {
  test::TempDir dir;
  Lines names;
  std::vector<std::string> expected;  // "site|type|E" of each row, in list order
  for (int i = 0; i < 5000; ++i) {
    const std::string name = i == 2500 ? "Caf\xE9" : "Site " + std::to_string(i);
    names.push_back(name);
    if (i % 7 == 3) continue;  // no settings file: no row
    if (i == 4000) {           // a folder in its place: no row either
      ASSERT_EQ(::mkdir((dir / (name + ".ini")).c_str(), 0700), 0);
      continue;
    }
    const std::string file = i == 2500 ? "Caf\u00E9.ini" : name + ".ini";
    WriteFile(dir / file, "[SETTINGS]\r\nSITE_TYPE=" + std::to_string(1 + i % 2) +
                              "\r\nUSE_EMAIL=" + (i % 3 ? "1" : "0") + "\r\n");
    expected.push_back(name + (i % 2 ? "|All 16-32|" : "|Free 16-32|") + (i % 3 ? "Y" : "N"));
  }
  names.push_back("Site 11");  // listed twice: a row for each listing
  expected.push_back("Site 11|All 16-32|Y");
  const std::vector<AppSiteRow> rows = ReadSiteRows(names, dir.path() + "/");
  std::vector<std::string> got;
  for (const auto& r : rows) got.push_back(r.site + "|" + r.type + "|" + r.e);
  EXPECT_EQ(got, expected);
}

class SiteTableTest : public SessionTest {
 protected:
  SiteTableTest() {
    // Sites: a web site for all, a freeware-only site, a 16-bit site, a 32-bit site
    // with both category lists.
    WriteFile(Data("sites/Sites.dat"), "Web\r\nFreeOnly\r\nSixteen\r\nCats\r\nGone\r\n");
    Site("Web", "USE_HTTP_POST=1\r\nSITES_WEB_URL=http://web.example/\r\n");
    Site("FreeOnly", "SITE_TYPE=1\r\nUSE_EMAIL=1\r\n");
    Site("Sixteen", "SITE_SYSTEM=2\r\nUSE_FTP_UPLOAD=1\r\nUSE_ZIP_FILE=1\r\n");
    Site("Cats", "SITE_SYSTEM=1\r\nUSE_CAT1=1\r\nUSE_CAT2=1\r\n");
    WriteFile(Data("cat/Cats Cat1.cat"), "5\">Video Games\r\n12\">Games\r\n");
    WriteFile(Data("cat/Cats Cat2.cat"), "Misc\r\n");
    Restart();
    AddCompany("Acme");
    prompt.names.push_back(std::string("Prog"));
    session->App().NewApp();
    session->App().SetField("PLATFORM", "Windows 95");
    session->App().SetField("STATUS", "Shareware");
    session->App().SaveApp();
    session->BuildSiteTable();
  }
  void Site(const std::string& name, const std::string& keys) {
    WriteFile(Data("sites/" + name + ".ini"), "[SETTINGS]\r\n" + keys);
  }
  SiteTable& T() { return session->Table(); }
  const AppSiteRow& R(const std::string& site) {
    for (const auto& r : T().Rows()) {
      if (r.site == site) return r;
    }
    throw std::runtime_error("no row " + site);
  }
  int IndexOf(const std::string& site) {
    for (std::size_t i = 0; i < T().Rows().size(); ++i) {
      if (T().Rows()[i].site == site) return static_cast<int>(i);
    }
    return -1;
  }
};

TEST_F(SiteTableTest, BuildsRowsInCatalogueOrderAndForcesIncompatibleRowsToNo) {
  ASSERT_EQ(T().Rows().size(), 4u);  // "Gone" has no settings file
  EXPECT_EQ(T().Rows()[0].site, "Cats");
  EXPECT_EQ(R("Cats").type, "All 32");
  EXPECT_EQ(R("Cats").cat1, "NOT SET!");
  EXPECT_EQ(R("Web").cat1, "N/A");
  EXPECT_EQ(R("Web").h, "Y");
  EXPECT_EQ(R("Sixteen").type, "All 16");
  EXPECT_EQ(R("Sixteen").z, "Y");
  EXPECT_EQ(R("FreeOnly").type, "Free 16-32");
  EXPECT_EQ(R("FreeOnly").post, "N");
  EXPECT_EQ(R("Sixteen").post, "N");
  EXPECT_EQ(R("Web").post, "Y");
  EXPECT_EQ(R("Web").lastPost, "Unknown");
  EXPECT_EQ(T().Counts().total, 2);
  EXPECT_EQ(T().Counts().http, 1);
  // The table was saved at once, fields joined by 0xB1.
  std::string text = *ReadFile(Data("data/Prog_SITES.dat"));
  EXPECT_NE(text.find("Web\xB1New\xB1N/A\xB1N/A\xB1Unknown\xB1Y\r\n"), std::string::npos);
  EXPECT_FALSE(session->Flags().SiteTableChanged);
}

TEST_F(SiteTableTest, AShowThatLeavesTheTableForLaterBuildsItOnce) {
  auto fresh = [&] {
    session = std::make_unique<Session>(dir.path(), prompt, clock);
    ASSERT_TRUE(session->Initialise());
    session->ShowStep({}, true);
  };
  fresh();
  EXPECT_TRUE(T().Rows().empty());
  EXPECT_TRUE(session->SiteTablePending());
  EXPECT_TRUE(session->BuildPendingSiteTable());
  EXPECT_EQ(T().Rows().size(), 4u);
  EXPECT_EQ(T().Counts().total, 2);
  EXPECT_FALSE(session->SiteTablePending());
  EXPECT_FALSE(session->BuildPendingSiteTable());
  // An application chosen meanwhile comes with its table: nothing is left for later.
  fresh();
  ASSERT_TRUE(session->ChooseApp("Prog"));
  EXPECT_FALSE(session->SiteTablePending());
  EXPECT_EQ(T().Rows().size(), 4u);
  EXPECT_FALSE(session->BuildPendingSiteTable());
}

TEST_F(SiteTableTest, MergesTheStoredTableByItsRules) {
  WriteFile(Data("data/Prog_SITES.dat"),
            "Web\xB1Update\xB1Old Cat\xB1x\xB1"
            "1/2/2026\xB1N\r\n"                                    // categories no longer used
            "Cats\xB1Update\xB1Games\r\n"                          // fields missing at the end
            "Left\xB1New\xB1N/A\xB1N/A\xB1Unknown\xB1Y\r\n"        // site left the catalogue
            "FreeOnly\xB1New\xB1N/A\xB1N/A\xB1Unknown\xB1Y\r\n");  // incompatible
  session->App().Select("Prog");
  EXPECT_EQ(R("Web").submit, "Update");
  EXPECT_EQ(R("Web").cat1, "N/A");
  EXPECT_EQ(R("Web").lastPost, "1/2/2026");
  EXPECT_EQ(R("Web").post, "N");
  EXPECT_EQ(R("Cats").cat1, "Games");
  EXPECT_EQ(R("Cats").cat2, "");
  EXPECT_EQ(R("Cats").lastPost, "");
  EXPECT_EQ(R("Cats").post, "");  // read as stored: an empty cell is not "Y", so not posted
  EXPECT_EQ(R("FreeOnly").post, "N");
  std::string text = *ReadFile(Data("data/Prog_SITES.dat"));
  EXPECT_EQ(text.find("Left"), std::string::npos);
  EXPECT_NE(text.find("Sixteen\xB1New"), std::string::npos);
}

TEST_F(SiteTableTest, ANameListedTwiceIsOneRowAndTheUsersLineGivesItsMarks) {
  const std::string catalogue = "Web\r\nFreeOnly\r\nSixteen\r\nCats\r\nGone\r\n";
  // A table saved while a name had a row per listing: the catalogue's line, then the user's.
  const std::string twoLines =
      "Web\xB1New\xB1N/A\xB1N/A\xB1Unknown\xB1Y\r\nWeb\xB1Update\xB1N/A\xB1N/A\xB1"
      "1/2/2026\xB1Y\r\n";
  struct Case {
    const char* what;
    std::string catalogue, user, table;
    std::vector<std::string> webRows;  // the rows whose name is "Web" in any case
    std::string submit;                // the "Web" row's Submit cell
  } cases[] = {
      {"in both lists", catalogue, "Web\r\n", twoLines, {"Web"}, "Update"},
      {"twice in the catalogue", "Web\r\n" + catalogue, "", twoLines, {"Web"}, "Update"},
      {"in both lists, no table yet", catalogue, "Web\r\n", "", {"Web"}, "New"},
      {"another case is another site", catalogue, "web\r\n", twoLines, {"Web", "web"}, "Update"},
  };
  Site("web", "USE_HTTP_POST=1\r\n");
  for (const auto& c : cases) {
    WriteFile(Data("sites/Sites.dat"), c.catalogue);
    WriteFile(Data("sites/User_Sites.dat"), c.user);
    WriteFile(Data("data/Prog_SITES.dat"), c.table);
    Restart();
    session->App().Select("Prog");
    std::vector<std::string> webRows;
    for (const auto& r : T().Rows()) {
      if (r.site == "Web" || r.site == "web") webRows.push_back(r.site);
    }
    EXPECT_EQ(webRows, c.webRows) << c.what;
    EXPECT_EQ(R("Web").submit, c.submit) << c.what;
    EXPECT_EQ(T().Counts().total, 1 + static_cast<int>(c.webRows.size())) << c.what;
    const std::string text = *ReadFile(Data("data/Prog_SITES.dat"));
    EXPECT_EQ(text.find("Web\xB1"), text.rfind("Web\xB1")) << c.what << ": one line per site";
    std::size_t listed = 0;
    for (const auto& n : session->Builder().Lists().SiteList) listed += n == "Web";
    EXPECT_EQ(listed, 1u) << c.what;
  }
}

TEST_F(SiteTableTest, OpeningAnApplicationWritesItsTableOnlyWhenItChanged) {
  const std::string path = Data("data/Prog_SITES.dat");
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  session->App().Select("Prog");  // the stored table reads back as it is: no write
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  // A stored file in another form (LF line ends) is written back in the file format.
  std::string text = *ReadFile(path);
  std::string lf;
  for (char c : text) {
    if (c != '\r') lf += c;
  }
  WriteFile(path, lf);
  session->App().Select("Prog");
  EXPECT_EQ(*ReadFile(path), text);
}

TEST_F(SiteTableTest, DetailPanelShowsCategoriesWithoutMarkingAChange) {
  T().Select(IndexOf("Cats"));
  auto d = T().ShowRowDetails();
  ASSERT_TRUE(d);
  EXPECT_TRUE(d->submitNew);
  EXPECT_EQ(d->cat1.items, (Lines{"Video Games", "Games"}));
  EXPECT_EQ(d->cat1.index, -1);  // "NOT SET!" selects nothing and is shown as it is
  EXPECT_EQ(d->cat1.value, "NOT SET!");
  EXPECT_TRUE(d->cat1.enabled);
  EXPECT_EQ(R("Cats").cat1, "NOT SET!");
  EXPECT_FALSE(session->Flags().SiteTableChanged);

  T().ChooseCategory(1, 1);
  EXPECT_EQ(R("Cats").cat1, "Games");
  EXPECT_TRUE(session->Flags().SiteTableChanged);
  EXPECT_EQ(T().ShowRowDetails()->cat1.index, 1);

  T().Select(IndexOf("Web"));
  d = T().ShowRowDetails();
  EXPECT_FALSE(d->cat1.enabled);
  EXPECT_TRUE(d->cat1.items.empty());
}

TEST_F(SiteTableTest, PostBoxRefusesIncompatibleSitesAndRecounts) {
  T().Select(IndexOf("FreeOnly"));
  EXPECT_FALSE(T().SetPost(true));
  EXPECT_EQ(prompt.log.back(),
            "error: Cannot change post to yes. Applications \"Platform\" or \"Status\" is not "
            "compatible with engines settings!");
  EXPECT_FALSE(session->Flags().SiteTableChanged);
  T().Select(IndexOf("Web"));
  EXPECT_TRUE(T().SetPost(false));
  EXPECT_EQ(T().Counts().total, 1);
  EXPECT_TRUE(session->Flags().SiteTableChanged);
}

TEST_F(SiteTableTest, AllRowsActionsAskFirstAndPostOnlyCompatibleRows) {
  prompt.answers = {Answer::No};
  EXPECT_FALSE(T().ApplyToAll(SiteTable::AllRows::ToUpdate));
  EXPECT_EQ(prompt.log.back(), "confirm: Sure you want to change all to \"Update\"?");
  EXPECT_EQ(R("Web").submit, "New");
  EXPECT_TRUE(T().ApplyToAll(SiteTable::AllRows::ToNoPost));
  EXPECT_EQ(T().Counts().total, 0);
  EXPECT_TRUE(T().ApplyToAll(SiteTable::AllRows::ToPost));
  EXPECT_EQ(R("FreeOnly").post, "N");
  EXPECT_EQ(R("Sixteen").post, "N");
  EXPECT_EQ(T().Counts().total, 2);
  EXPECT_TRUE(session->Flags().SiteTableChanged);
}

TEST_F(SiteTableTest, PlatformChangeKeepsCellsButChangesTheCount) {
  session->App().SetField("PLATFORM", "Windows 3.1");
  EXPECT_EQ(R("Cats").post, "Y");
  EXPECT_EQ(T().Recount().total, 1);
}

TEST_F(SiteTableTest, ArrowsWrapRound) {
  int last = static_cast<int>(T().Rows().size()) - 1;
  T().Select(last);
  T().SelectNext();
  EXPECT_EQ(T().Selected(), 0);
  T().SelectPrev();
  EXPECT_EQ(T().Selected(), last);
}

TEST_F(SiteTableTest, ContextMenuCaptionsAndActions) {
  T().Select(IndexOf("Web"));
  PopupCaptions c = T().Captions();
  EXPECT_EQ(c.asPost, "Set as Post UPDATE");
  EXPECT_EQ(c.toPost, "Set Post To NO");
  EXPECT_EQ(c.changePostDate, "Set Last Post Date To NOW");
  T().PopupAsPost();
  T().PopupToPost();
  T().PopupChangePostDate();
  EXPECT_EQ(R("Web").submit, "Update");
  EXPECT_EQ(R("Web").post, "N");
  EXPECT_EQ(R("Web").lastPost, ShortDate(clock.Now()));
  c = T().Captions();
  EXPECT_EQ(c.asPost, "Set as Post NEW");
  EXPECT_EQ(c.toPost, "Set Post To YES");
  EXPECT_EQ(c.changePostDate, "Set Last Post Date To Unknown");
}

TEST_F(SiteTableTest, ViewInSiteBuilderOpensTheSiteOfTheSameRowNumber) {
  EXPECT_TRUE(session->ViewInSiteBuilder(IndexOf("Sixteen")));
  EXPECT_EQ(session->Builder().Definition().name, "Sixteen");
  EXPECT_EQ(session->Builder().Definition().siteSystem, SiteSystem::Only16);
  EXPECT_FALSE(session->ViewInSiteBuilder(99));
}

TEST_F(SiteTableTest, GoToUrlOpensTheAddressOrSaysThereIsNone) {
  T().Select(IndexOf("Web"));
  EXPECT_EQ(T().GoToUrl(), "http://web.example/");
  T().Select(IndexOf("Cats"));
  EXPECT_EQ(T().GoToUrl(), std::nullopt);
  EXPECT_EQ(prompt.log.back(), "inform: No URL defined for this site!");
}

TEST_F(SiteTableTest, SavingASiteRebuildsTheTableAndClickingTheAppDropsEdits) {
  session->Builder().OpenSite("Web");
  session->Builder().Edit().useZipFile = true;
  session->Builder().SaveSite();
  EXPECT_EQ(R("Web").z, "Y");
  T().Select(IndexOf("Web"));
  T().SetSubmit(false);
  EXPECT_TRUE(session->Flags().SiteTableChanged);
  session->App().Select("Prog");
  EXPECT_FALSE(session->Flags().SiteTableChanged);
  EXPECT_EQ(R("Web").submit, "New");
}

TEST_F(SiteTableTest, ANewSiteAppearsForEveryApplicationOnTheNextLoad) {
  Site("Newcomer", "");
  WriteFile(Data("sites/Sites.dat"), "Web\r\nFreeOnly\r\nSixteen\r\nCats\r\nNewcomer\r\n");
  Restart();
  session->App().Select("Prog");
  EXPECT_EQ(R("Newcomer").post, "Y");
  EXPECT_NE(ReadFile(Data("data/Prog_SITES.dat"))->find("Newcomer"), std::string::npos);
}

TEST_F(SiteTableTest, TheDelimiterCannotReachAField) {
  WriteFile(Data("cat/Cats Cat1.cat"), "5\">Video Games\r\n7\">Games \xB1 Fun\r\n");
  SiteTable& t = session->Table();
  t.Select(0);  // "Cats" comes first
  ASSERT_EQ(t.Rows()[0].site, "Cats");
  auto details = t.ShowRowDetails();
  ASSERT_EQ(details->cat1.items.size(), 2u);
  EXPECT_FALSE(t.ChooseCategory(1, 1));
  EXPECT_FALSE(
      t.SetLastPost("1\xB1"
                    "2"));
  EXPECT_EQ(t.Rows()[0].cat1, "NOT SET!");
  EXPECT_EQ(t.Rows()[0].lastPost, "Unknown");
  EXPECT_TRUE(t.ChooseCategory(1, 0));
  EXPECT_TRUE(t.SetLastPost("2/3/2026"));
  t.Save("Prog");
  session->BuildSiteTable();
  EXPECT_EQ(session->Table().Rows()[0].cat1, "Video Games");
  EXPECT_EQ(session->Table().Rows()[0].lastPost, "2/3/2026");
  EXPECT_EQ(session->Table().Rows()[0].post, "Y");
}

}  // namespace
}  // namespace vendrix
