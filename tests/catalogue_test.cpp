#include <gtest/gtest.h>

#include "base/ini_file.h"
#include "catalogue/match_ups.h"
#include "catalogue/site_settings.h"
#include "script/eng_build.h"
#include "script/variables.h"
#include "support/session_fixture.h"

namespace vendrix {
namespace {

using test::ReadFile;
using test::SessionTest;
using test::WriteFile;

class CatalogueTest : public SessionTest {
 protected:
  TEngBuild& Eng() { return session->Wide().EngBuild(); }
  SiteBuilder& Builder() { return session->Builder(); }
  SiteDefinition Load(const std::string& name) {
    SiteDefinition def;
    Eng().LoadSite(name, def);
    return def;
  }
  void AddSite(const std::string& name) {
    prompt.names.push_back(name);
    ASSERT_TRUE(Builder().NewSite());
  }
};

TEST_F(CatalogueTest, IntegerKeysMapToTheirChoices) {
  WriteFile(Data("sites/S.ini"),
            "[SETTINGS]\r\nSITE_TYPE=0\r\nSITE_SYSTEM=7\r\nBYTE_FORMAT=0\r\nHTTP_POST_TYPE=5\r\n"
            "USE_HTTP_POST=2\r\n");
  SiteDefinition def = Load("S");
  EXPECT_FALSE(def.freewareOnly);
  EXPECT_EQ(def.siteSystem, SiteSystem::Both);
  EXPECT_EQ(def.byteFormat, ByteFormat::Bytes);
  EXPECT_FALSE(def.httpGet);
  EXPECT_TRUE(def.useHttpPost);

  WriteFile(
      Data("sites/S.ini"),
      "[SETTINGS]\r\nSITE_TYPE=0x1\r\nSITE_SYSTEM=2\r\nBYTE_FORMAT=3\r\nHTTP_POST_TYPE=2\r\n");
  def = Load("S");
  EXPECT_TRUE(def.freewareOnly);
  EXPECT_EQ(def.siteSystem, SiteSystem::Only16);
  EXPECT_EQ(def.byteFormat, ByteFormat::MBytes);
  EXPECT_TRUE(def.httpGet);
}

TEST_F(CatalogueTest, TextFileOptionsAreOneChoiceReadInKeyOrder) {
  auto optionOf = [&](const std::string& keys) {
    WriteFile(Data("sites/T.ini"), "[SETTINGS]\r\n" + keys);
    return Load("T").textFileOption;
  };
  EXPECT_EQ(optionOf(""), TextFileOption::None);
  EXPECT_EQ(optionOf("ADD_FILE_TO_ZIP=1\r\n"), TextFileOption::AddToUpload);
  EXPECT_EQ(optionOf("ADD_FILE_TO_ZIP=1\r\nINCLUDE_IN_ZIP=1\r\n"), TextFileOption::IncludeInZip);
  EXPECT_EQ(optionOf("ADD_FILE_TO_ZIP=0\r\nINCLUDE_IN_ZIP=1\r\nADDED_TEXT_BOTH=1\r\n"),
            TextFileOption::Both);
  EXPECT_EQ(optionOf("INCLUDE_IN_ZIP=1\r\nADDED_TEXT_BOTH=0\r\n"), TextFileOption::IncludeInZip);
}

TEST_F(CatalogueTest, AMissingSettingsFileGivesTheBlankStateAndStandardMatchUps) {
  session->Wide().MatchUpValues[1] = "Win95";
  SiteDefinition def = Load("Nowhere");
  EXPECT_EQ(def.textFileOption, TextFileOption::AddToUpload);
  EXPECT_EQ(def.siteSystem, SiteSystem::Both);
  EXPECT_EQ(session->Wide().MatchUpValues, StandardMatchUps());
  Eng().SaveSite(def);
  auto doc = IniDocument::Load(Eng().SiteSettingsFile("Nowhere"));
  std::string text = *ReadFile(Eng().SiteSettingsFile("Nowhere"));
  std::size_t last = 0;
  for (auto key : kSiteSettingKeys) {  // all 50 keys, in writing order
    auto pos = text.find("\r\n" + std::string(key) + "=");
    ASSERT_NE(pos, std::string::npos) << key;
    EXPECT_GT(pos, last) << key;
    last = pos;
  }
  EXPECT_EQ(doc.ReadString("SETTINGS", "MUF_Windows95", ""), "Windows 95");
  EXPECT_EQ(doc.ReadString("SETTINGS", "ADD_FILE_TO_ZIP", ""), "1");
}

TEST_F(CatalogueTest, SavingKeepsTheFilesOrderAndAddsMissingKeysAtTheEnd) {
  WriteFile(Data("sites/K.ini"), "[SETTINGS]\r\nUSE_EMAIL=1\r\nBYTE_FORMAT=2\r\n");
  SiteDefinition def = Load("K");
  def.emailToName = "subs@example.test";
  Eng().SaveSite(def);
  std::string text = *ReadFile(Data("sites/K.ini"));
  EXPECT_EQ(text.rfind("[SETTINGS]\r\nUSE_EMAIL=1\r\nBYTE_FORMAT=2\r\nSITES_WEB_URL=\r\n", 0), 0u);
  EXPECT_NE(text.find("EMAIL_TONAME=subs@example.test\r\n"), std::string::npos);
}

TEST_F(CatalogueTest, LongValuesReadBackAs1023Characters) {
  WriteFile(Data("sites/L.ini"), "[SETTINGS]\r\nSITES_WEB_URL=" + std::string(1500, 'u') + "\r\n");
  EXPECT_EQ(Load("L").sitesWebUrl.size(), 1023u);
}

TEST_F(CatalogueTest, EmptyScriptsAreNotWrittenAndEmptyCategoriesAreDeleted) {
  SiteDefinition def = Load("C");
  def.name = "C";
  def.cat1 = {"12\">Games", "", "Misc"};
  def.Script(ScriptKind::HttpNew) = "a=%APPNAME%\r\n";
  def.Script(ScriptKind::FtpNew) = "one\rtwo";
  Eng().SaveSite(def);
  EXPECT_EQ(*ReadFile(Data("cat/C Cat1.cat")), "12\">Games\r\n\r\nMisc\r\n");
  EXPECT_FALSE(ReadFile(Data("cat/C Cat2.cat")));
  EXPECT_EQ(*ReadFile(Data("sites/C FTP_NEW.scp")), "one\r\ntwo\r\n");

  def.cat1.clear();
  def.Script(ScriptKind::HttpNew).clear();
  Eng().SaveSite(def);
  EXPECT_FALSE(ReadFile(Data("cat/C Cat1.cat")));
  EXPECT_EQ(*ReadFile(Data("sites/C HTTP_NEW.scp")), "a=%APPNAME%\r\n");
  EXPECT_EQ(Load("C").Script(ScriptKind::HttpNew), "a=%APPNAME%\r\n");
}

TEST_F(CatalogueTest, ScriptsReadWholeWithLoneLineEndsAsCrLf) {
  WriteFile(Data("sites/R EMAIL_NEW.scp"), "Hello\nWorld\rEnd");
  EXPECT_EQ(Load("R").Script(ScriptKind::EmailNew), "Hello\r\nWorld\r\nEnd");
}

TEST_F(CatalogueTest, NoSiteIsOpenAfterTheStart) {
  AddSite("Alpha");
  Builder().Edit().cat1 = {"12\">Games"};
  Builder().SaveSite();
  Restart();
  EXPECT_EQ(Builder().Lists().SiteList, Lines{"Alpha"});
  EXPECT_EQ(Builder().Lists().selected, -1);
  EXPECT_EQ(Builder().Definition().name, "");
  // The checks work on the blank definition, not on the first site's.
  Eng().ExpandText("%SITECAT1%", ExpansionMode::Preview);
  EXPECT_TRUE(Eng().ErrorFlag);
  EXPECT_EQ(Eng().ExpandText("[%SITENAME%]", ExpansionMode::Preview), "[]");
}

TEST(CategoryLines, ValueAndLabelOnTheMarkerCases) {
  EXPECT_EQ(CategoryValue("12\">Games"), "12");
  EXPECT_EQ(CategoryLabel("12\">Games"), "Games");
  EXPECT_EQ(CategoryValue("Games"), "Games");
  EXPECT_EQ(CategoryLabel("Games"), "Games");
  EXPECT_EQ(CategoryValue("\">Games"), "\">Games");  // a marker at position 1 is no value
  EXPECT_EQ(CategoryLabel("\">Games"), "Games");
  EXPECT_EQ(CategoryValue("12\">"), "12");
  EXPECT_EQ(CategoryLabel("12\">"), "12\">");
  EXPECT_EQ(CategoryValue("1\">a\">b"), "1");
  EXPECT_EQ(CategoryLabel("1\">a\">b"), "a\">b");
}

TEST_F(CatalogueTest, SiteListsMergeSortedWithANameInBothListsOnce) {
  WriteFile(Data("sites/Sites.dat"), "zeta\r\nAlpha\r\nShared\r\ngamma\r\n");
  WriteFile(Data("sites/User_Sites.dat"), "beta\r\nGamma\r\nShared\r\n");
  Restart();
  // Names equal but for case are two sites: the catalogue's before the user's.
  EXPECT_EQ(Builder().Lists().SiteList,
            (Lines{"Alpha", "beta", "gamma", "Gamma", "Shared", "zeta"}));
  EXPECT_EQ(Builder().Lists().CatalogueSites, (Lines{"Alpha", "gamma", "Shared", "zeta"}));
}

TEST_F(CatalogueTest, EverySiteOfALargeCatalogueIsFoundByItsExactName) {
  // Names that sort alike (case only), a name in both lists (one entry), numbers that
  // sort as text.
  std::string catalogue = "Shared\r\n", user = "Shared\r\nsite 00007\r\n";
  for (int i = 0; i < 50000; ++i) catalogue += "Site " + std::to_string(i) + "\r\n";
  WriteFile(Data("sites/Sites.dat"), catalogue);
  WriteFile(Data("sites/User_Sites.dat"), user);
  Restart();
  const Lines list = Builder().Lists().SiteList;
  ASSERT_EQ(list.size(), 50002u);
  for (std::size_t i = 0; i < list.size(); ++i) {
    ASSERT_TRUE(Builder().OpenSite(list[i])) << list[i];
    ASSERT_EQ(Builder().Lists().selected, static_cast<int>(i)) << list[i];
  }
  for (const char* missing : {"site 0", "Site 50000", "Site 1 ", "", "Shared2"}) {
    EXPECT_FALSE(Builder().OpenSite(missing)) << missing;
  }
}

TEST_F(CatalogueTest, HostileNamesInAListFileNeverReachTheFileSystem) {
  WriteFile(Data("sites/Sites.dat"), "../../../escape\r\nGood\r\n..\r\n");
  WriteFile(Data("sites/User_Sites.dat"), "a/b\r\n");
  Restart();
  EXPECT_EQ(Builder().Lists().SiteList, Lines{"Good"});
  int reports = 0;
  for (const auto& l : prompt.log) reports += l.find("was skipped") != std::string::npos;
  EXPECT_EQ(reports, 3);
  EXPECT_TRUE(session->Builder().OpenSite("Good"));
  EXPECT_FALSE(session->Builder().OpenSite("../../../escape"));
}

TEST_F(CatalogueTest, UnusableListEntriesAreSkippedButWrittenBackAsRead) {
  const std::string tooLong(240, 'a');  // " EMAIL_UPDATE.scp" makes it 257 bytes
  WriteFile(Data("sites/Sites.dat"), "Plus\xB1Minus\r\nGood\r\n../x\r\n" + tooLong + "\r\n\r\n");
  WriteFile(Data("sites/User_Sites.dat"), "Mine\r\n");
  Restart();
  EXPECT_EQ(Builder().Lists().SiteList, (Lines{"Good", "Mine"}));
  int reports = 0;
  for (const auto& l : prompt.log) reports += l.find("was skipped") != std::string::npos;
  EXPECT_EQ(reports, 3);
  AddSite("New");  // saves both lists
  EXPECT_EQ(*ReadFile(Data("sites/Sites.dat")),
            "\r\n../x\r\n" + tooLong + "\r\nGood\r\nPlus\xB1Minus\r\n");
  EXPECT_EQ(*ReadFile(Data("sites/User_Sites.dat")), "Mine\r\nNew\r\n");
  session->BuildSiteTable();  // an overlong name never reaches a file name
}

TEST_F(CatalogueTest, AddSiteTrimsRefusesDuplicatesAndKeepsCase) {
  AddSite("  My Site  ");
  EXPECT_EQ(Builder().Lists().UserSites, Lines{"My Site"});
  EXPECT_TRUE(ReadFile(Data("sites/My Site.ini")));
  EXPECT_EQ(*ReadFile(Data("sites/User_Sites.dat")), "My Site\r\n");
  EXPECT_EQ(*ReadFile(Data("sites/Sites.dat")), "");
  EXPECT_FALSE(session->Flags().SiteSaved);
  EXPECT_TRUE(Builder().ContributeVisible());

  prompt.names = {std::string("My Site"), std::string("my site")};
  EXPECT_TRUE(Builder().NewSite());
  EXPECT_TRUE(
      prompt.Saw("dialog: SITE NAME DUPLICATE | The site name you entered is already on "
                 "the list! | Please click OK to continue..."));
  EXPECT_EQ(*Builder().Lists().Selected(), "my site");

  prompt.names = {std::string("bad\xB1name"), std::string("x/y"), std::nullopt};
  EXPECT_FALSE(Builder().NewSite());
  EXPECT_EQ(Builder().Lists().SiteList.size(), 2u);
}

TEST_F(CatalogueTest, DeleteSiteRemovesEveryFileAndOpensTheFirstLeft) {
  AddSite("Alpha");
  AddSite("Beta");
  Builder().Edit().cat1 = {"x"};
  Builder().Edit().Script(ScriptKind::EmailUpdate) = "body";
  Builder().SaveSite();
  ASSERT_TRUE(ReadFile(Data("sites/Beta EMAIL_UPDATE.scp")));
  Builder().DeleteSite();
  EXPECT_TRUE(prompt.Saw("confirm: Delete This Site ?"));
  EXPECT_FALSE(ReadFile(Data("sites/Beta.ini")));
  EXPECT_FALSE(ReadFile(Data("cat/Beta Cat1.cat")));
  EXPECT_FALSE(ReadFile(Data("sites/Beta EMAIL_UPDATE.scp")));
  EXPECT_EQ(Builder().Definition().name, "Alpha");
  EXPECT_TRUE(session->Flags().SiteSaved);
  Builder().DeleteSite();
  EXPECT_TRUE(Builder().Lists().SiteList.empty());
  EXPECT_EQ(Builder().Lists().Selected(), nullptr);
}

TEST_F(CatalogueTest, OpeningAnotherSiteDropsUnsavedEditsAndMatchUps) {
  AddSite("A");
  AddSite("B");
  Builder().OpenSite("A");
  Builder().Edit().sitesWebUrl = "http://lost.example";
  MatchUps m = Builder().MatchUpWindowValues();
  m[1] = "Win95";
  Builder().CloseMatchUpWindow(m);
  EXPECT_FALSE(session->Flags().SiteSaved);
  Builder().OpenSite("B");
  Builder().OpenSite("A");
  EXPECT_EQ(Builder().Definition().sitesWebUrl, "");
  EXPECT_EQ(session->Wide().MatchUpValues[1], "Windows 95");

  Builder().CloseMatchUpWindow(m);
  EXPECT_TRUE(session->Flags().SiteSaved);  // the match-up window marks nothing
  Builder().SaveSite();
  Builder().OpenSite("B");
  Builder().OpenSite("A");
  EXPECT_EQ(session->Wide().MatchUpValues[1], "Win95");
}

TEST_F(CatalogueTest, MatchUpWindowShowsStandardTextsWhenAWindowsValueIsEmpty) {
  session->Wide().MatchUpValues[3] = "";
  session->Wide().MatchUpValues[5] = "Dist";
  EXPECT_EQ(Builder().MatchUpWindowValues(), StandardMatchUps());
}

TEST_F(CatalogueTest, ZipOptionRuleAndEnablingState) {
  AddSite("Z");
  Builder().SetTextFileOption(TextFileOption::IncludeInZip);
  EXPECT_EQ(Builder().Definition().textFileOption, TextFileOption::AddToUpload);
  Builder().SetUseZipFile(true);
  Builder().SetTextFileOption(TextFileOption::Both);
  EXPECT_EQ(Builder().Definition().textFileOption, TextFileOption::Both);
  Builder().SetUseZipFile(false);
  EXPECT_EQ(Builder().Definition().textFileOption, TextFileOption::AddToUpload);
  // A definition edited as a whole passes the same rule.
  SiteDefinition def = Builder().Definition();
  def.textFileOption = TextFileOption::Both;
  Builder().EditAll(def);
  EXPECT_EQ(Builder().Definition().textFileOption, TextFileOption::AddToUpload);
  def.useZipFile = true;
  Builder().EditAll(def);
  EXPECT_EQ(Builder().Definition().textFileOption, TextFileOption::Both);
  def.useZipFile = false;
  Builder().EditAll(def);
  EXPECT_EQ(Builder().Definition().textFileOption, TextFileOption::AddToUpload);
  Builder().Edit().useFtpUpload = true;
  Builder().Edit().useCat2 = true;
  SiteBuilderEnabled e = EnabledFor(Builder().Definition());
  EXPECT_TRUE(e.ftpControls);
  EXPECT_TRUE(e.cat2Editor);
  EXPECT_FALSE(e.cat1Editor);
  EXPECT_FALSE(e.emailControls);
}

TEST_F(CatalogueTest, DefaultScriptsLoadAfterTheQuestionAndTheEditorSaves) {
  AddSite("D");
  prompt.answers = {Answer::Yes};
  EXPECT_FALSE(Builder().LoadDefaultScript(DefaultScript::Ftp));
  EXPECT_NE(prompt.log.back().find("FTP_DEF_SCRIPT.SCP"), std::string::npos);

  DefaultScriptEditor editor(session->Wide(), prompt, DefaultScript::Ftp);
  EXPECT_EQ(prompt.log.back(), "error: Default Script File Not Found!");
  editor.Text() = "Name: %APPNAME%\nVersion: %APPVERSION%";
  editor.Save();
  EXPECT_EQ(*ReadFile(Data("data/FTP_DEF_SCRIPT.SCP")),
            "Name: %APPNAME%\r\nVersion: %APPVERSION%\r\n");

  prompt.answers = {Answer::No};
  EXPECT_FALSE(Builder().LoadDefaultScript(DefaultScript::Ftp));
  prompt.answers = {Answer::Yes};
  EXPECT_TRUE(Builder().LoadDefaultScript(DefaultScript::Ftp));
  EXPECT_EQ(Builder().Definition().Script(ScriptKind::FtpNew),
            "Name: %APPNAME%\r\nVersion: %APPVERSION%\r\n");
}

TEST(Variables, SixtyOneInOrderWithUniqueNames) {
  EXPECT_EQ(kVariables.front().name, "COMPNAME");
  EXPECT_EQ(kVariables.back().name, "FBBSDESC");
  EXPECT_EQ(kVariables[6].description, "Contact Telephone");
  for (std::size_t i = 0; i < kVariables.size(); ++i) {
    for (std::size_t j = i + 1; j < kVariables.size(); ++j) {
      EXPECT_NE(kVariables[i].name, kVariables[j].name);
    }
  }
}

}  // namespace
}  // namespace vendrix
