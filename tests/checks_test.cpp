#include <gtest/gtest.h>

#include "script/checks.h"
#include "support/session_fixture.h"

namespace vendrix {
namespace {

using test::ReadFile;
using test::SessionTest;
using test::WriteFile;

class ChecksTest : public SessionTest {
 protected:
  ChecksTest() {
    WriteFile(Data("sites/Sites.dat"), "Alpha\r\nBeta\r\n");
    WriteFile(Data("sites/Alpha.ini"), "[SETTINGS]\r\n");
    WriteFile(Data("sites/Beta.ini"), "[SETTINGS]\r\n");
    WriteFile(Data("sites/Alpha HTTP_NEW.scp"), "a=%APPNAME%&m=%CONTEMAIL%\r\n");
    WriteFile(Data("sites/Alpha EMAIL_NEW.scp"), "Hi %APPNAME\r\n");
    WriteFile(Data("sites/Beta FTP_NEW.scp"), "%CONTEMAIL% %SITECAT1%");
    WriteFile(Data("sites/Outside HTTP_NEW.scp"), "%BROKEN%");  // not in any list
    Restart();
    AddCompany("Acme");
    AddApp("Prog");
  }
  EngineChecker Checker() {
    return EngineChecker(session->Wide().EngBuild(), prompt, session->Builder().Lists().SiteList);
  }
};

TEST_F(ChecksTest, ScriptCheckShowsTheTextOrTheError) {
  TEngBuild& eng = session->Wide().EngBuild();
  EXPECT_EQ(RunScriptCheck(eng, "plain"), "plain");
  EXPECT_EQ(RunScriptCheck(eng, "x=%APPNAME%"), "x=Prog");
  EXPECT_EQ(RunScriptCheck(eng, "x=%APPNAME"), "Script Error! -> []");
  EXPECT_EQ(RunScriptCheck(eng, "%bad%"), "Script Error! -> [bad]");
}

TEST_F(ChecksTest, EngineCheckListsFailingScriptsOfListedSitesOnly) {
  EngineChecker checker = Checker();
  checker.RunEngineCheck();
  ASSERT_EQ(checker.rows.size(), 2u);
  EXPECT_EQ(checker.rows[0].site, "Alpha");
  EXPECT_EQ(checker.rows[0].error, "Error! -> []");
  EXPECT_EQ(checker.rows[0].path, Data("sites/Alpha EMAIL_NEW.scp"));
  EXPECT_EQ(checker.rows[1].error, "Error! -> [%UNKNOWN%]");  // Beta has no categories
  EXPECT_TRUE(checker.loadEnabled);
  EXPECT_TRUE(checker.beginEnabled);
  EXPECT_FALSE(checker.panelVisible);
  EXPECT_EQ(checker.fileName, checker.rows[0].path);
  EXPECT_EQ(checker.editorText, "Hi %APPNAME\r\n");

  checker.editorText = "Hi %APPNAME%\r\n";
  checker.SaveScript();
  checker.selected = 1;
  checker.LoadSelectedScript();
  checker.editorText = "%CONTEMAIL%";
  checker.SaveScript();
  prompt.log.clear();
  checker.RunEngineCheck();
  EXPECT_TRUE(checker.rows.empty());
  EXPECT_EQ(prompt.log, std::vector<std::string>{"inform: No Errors found! :)"});
  EXPECT_FALSE(checker.loadEnabled);
}

TEST_F(ChecksTest, EngineCheckExpandsEachScriptWithItsOwnSite) {
  // Beta's categories are filled, no site is open in the builder: its category script
  // expands, and the check leaves the builder's context as it was.
  WriteFile(Data("cat/Beta Cat1.cat"), "Utilities\r\nGames\r\n");
  const SiteDefinition* open = session->Wide().EngBuild().Context().site;
  EngineChecker checker = Checker();
  checker.RunEngineCheck();
  ASSERT_EQ(checker.rows.size(), 1u);
  EXPECT_EQ(checker.rows[0].site, "Alpha");
  EXPECT_EQ(session->Wide().EngBuild().Context().site, open);
}

TEST(MassChangeWindow, ListsEveryVariableWithItsPercentSigns) {
  auto choices = MassChangeChoices();
  ASSERT_EQ(choices.size(), 62u);
  EXPECT_EQ(choices.front(), "%COMPNAME%");
  EXPECT_EQ(choices.back(), "%FBBSDESC%");
}

TEST_F(ChecksTest, MassChangeRewritesOnlyMatchingFilesOnce) {
  const std::string untouched = *ReadFile(Data("sites/Alpha EMAIL_NEW.scp"));
  EngineChecker checker = Checker();
  EXPECT_FALSE(checker.RunMassChange("", "%APPNAME%"));
  EXPECT_FALSE(checker.RunMassChange("%APPNAME%", "%APPNAME%"));
  EXPECT_TRUE(checker.RunMassChange("%contemail%", "%COMPMAIL%"));  // case-sensitive: no match
  EXPECT_EQ(*ReadFile(Data("sites/Beta FTP_NEW.scp")), "%CONTEMAIL% %SITECAT1%");

  prompt.log.clear();
  EXPECT_TRUE(checker.RunMassChange("%CONTEMAIL%", "%COMPMAIL%"));
  EXPECT_EQ(*ReadFile(Data("sites/Alpha HTTP_NEW.scp")), "a=%APPNAME%&m=%COMPMAIL%\r\n");
  EXPECT_EQ(*ReadFile(Data("sites/Beta FTP_NEW.scp")), "%COMPMAIL% %SITECAT1%\r\n");
  EXPECT_EQ(*ReadFile(Data("sites/Alpha EMAIL_NEW.scp")), untouched);
  EXPECT_EQ(prompt.log.front(), "inform: Mass Change Done!");
  EXPECT_EQ(checker.rows.size(), 2u);  // the engine check ran again

  // The to-box takes no typing: only the variables can be the new text.
  EXPECT_FALSE(checker.RunMassChange("%APPNAME%", "free text"));
  EXPECT_EQ(*ReadFile(Data("sites/Alpha HTTP_NEW.scp")), "a=%APPNAME%&m=%COMPMAIL%\r\n");

  // The new text holds the old one: each occurrence is replaced once.
  EXPECT_TRUE(checker.RunMassChange("APPNAME", "%APPNAME%"));
  EXPECT_EQ(*ReadFile(Data("sites/Alpha HTTP_NEW.scp")), "a=%%APPNAME%%&m=%COMPMAIL%\r\n");
}

TEST_F(ChecksTest, AMassChangeThatFailsPartWaySaysWhatWasAlreadyRewritten) {
  // Beta's script cannot be read: a folder stands in the place of its file.
  std::filesystem::create_directories(Data("sites/Beta HTTP_NEW.scp"));
  EngineChecker checker = Checker();
  prompt.log.clear();
  EXPECT_TRUE(checker.RunMassChange("%APPNAME%", "%COMPNAME%"));
  EXPECT_EQ(checker.rewritten, (std::vector<std::string>{Data("sites/Alpha HTTP_NEW.scp")}));
  ASSERT_EQ(prompt.log.size(), 1u);
  EXPECT_NE(prompt.log[0].find("1 script file was already rewritten"), std::string::npos);
  EXPECT_EQ(*ReadFile(Data("sites/Alpha HTTP_NEW.scp")), "a=%COMPNAME%&m=%CONTEMAIL%\r\n");
}

}  // namespace
}  // namespace vendrix
