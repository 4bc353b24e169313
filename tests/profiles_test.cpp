#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/program_settings.h"
#include "app/tgwide.h"
#include "base/error.h"
#include "base/ini_file.h"
#include "profiles/app_rules.h"
#include "support/session_fixture.h"

namespace vendrix {
namespace {

using test::ReadFile;
using test::SessionTest;
using test::WriteFile;

using CompanyTest = SessionTest;

TEST_F(CompanyTest, NewCompanyWritesTheFourteenKeysInOrder) {
  AddCompany("Acme");
  EXPECT_EQ(*ReadFile(Data("companies/companies.dat")), "Acme\r\n");
  EXPECT_EQ(*ReadFile(Data("companies/Acme.dat")),
            "[COMPANY]\r\nCONAME=Acme\r\nBHSID=\r\nCONTACT=\r\nCTITLE=\r\nCEMAIL=\r\nCPHONE=\r\n"
            "CFAX=\r\nCADDR=\r\nCCITY=\r\nCSTATE=\r\nCZIP=\r\nCCOUNTRY=\r\nCURL=\r\nCCMAIL=\r\n");
  EXPECT_TRUE(session->Flags().CompanySaved);
}

TEST_F(CompanyTest, DuplicatesAskAgainButTheTestIsCaseSensitive) {
  AddCompany("Acme");
  prompt.names = {std::string("Acme"), std::string("  Acme"), std::string("acme")};
  EXPECT_TRUE(session->Company().NewCompany());
  EXPECT_EQ(prompt.log.back(), "ask: New Company Name");
  int dialogs = 0;
  for (const auto& l : prompt.log) {
    dialogs += l ==
               "dialog: COMPANY NAME DUPLICATE | The company name you entered is already "
               "on the list! | Please click OK to continue...";
  }
  EXPECT_EQ(dialogs, 2);  // the leading blanks are removed before the test
  EXPECT_EQ(session->Company().Names(), (Lines{"Acme", "acme"}));
}

TEST_F(CompanyTest, BlankCancelledAndUnsafeNamesCreateNothing) {
  prompt.names = {std::string("   ")};
  EXPECT_FALSE(session->Company().NewCompany());
  prompt.names = {std::nullopt};
  EXPECT_FALSE(session->Company().NewCompany());
  prompt.names = {std::string("../evil"), std::nullopt};
  EXPECT_FALSE(session->Company().NewCompany());
  EXPECT_TRUE(prompt.Saw(
      "error: A name may not contain \"/\" or control characters, and may not be \".\" or "
      "\"..\"."));
  EXPECT_FALSE(ReadFile(Data("companies/companies.dat")));
  EXPECT_FALSE(std::filesystem::exists(dir / "evil.dat"));
}

// Without a person: the profile comes whole from the caller, a refused name throws
// with the prompt's reason and writes nothing, and nothing is asked.
TEST_F(CompanyTest, CreateMakesAProfileWithoutAskingAndRefusesAsTheEntryDoes) {
  CompanyProfile fields;
  fields.contact = "Jo Bloggs";
  fields.email = "jo@acme.example";
  session->Company().Create("  Acme", fields);
  EXPECT_EQ(session->Company().Shown(), "Acme");
  EXPECT_EQ(IniDocument::Load(Data("companies/Acme.dat")).ReadString("COMPANY", "CEMAIL", ""),
            "jo@acme.example");
  EXPECT_TRUE(session->Flags().CompanySaved);
  auto refusal = [&](const std::string& name) {
    try {
      session->Company().Create(name, {});
    } catch (const VendrixError& e) {
      return std::string(e.what());
    }
    return std::string("created");
  };
  EXPECT_EQ(refusal("Acme"), "The company name you entered is already on the list!");
  EXPECT_EQ(refusal("../evil"),
            "A name may not contain \"/\" or control characters, and may not be \".\" or \"..\".");
  EXPECT_EQ(refusal("   "), "A company needs a name.");
  EXPECT_EQ(*ReadFile(Data("companies/companies.dat")), "Acme\r\n");
  EXPECT_TRUE(prompt.log.empty());

  AppProfile app = session->App().NewAppFields();
  app.version = "2.0";
  session->App().Create("Tool", app);
  EXPECT_EQ(session->App().Profile().version, "2.0");
  EXPECT_EQ(IniDocument::Load(Data("data/Tool.dat")).ReadString("APPINFO", "NAME", ""), "Tool");
  EXPECT_THROW(session->App().Create("Tool", app), VendrixError);
  EXPECT_EQ(session->App().Names(), (Lines{"Tool"}));
  EXPECT_TRUE(prompt.log.empty());
}

TEST_F(CompanyTest, EveryFieldSurvivesASaveAndARestart) {
  AddCompany("Acme");
  CompanyPage& c = session->Company();
  int n = 0;
  for (const auto& f : kCompanyFields) {
    if (f.key != "CONAME" && f.key != "BHSID") {
      // Blanks where the field takes them (not in CURL and CCMAIL).
      const char* tail = f.rule == KeyRule::NoSpace ? "\xE9" : " \xE9";
      EXPECT_TRUE(c.SetField(f.key, "v" + std::to_string(n++) + tail)) << f.key;
    }
  }
  c.SetBhsId("4711");
  EXPECT_FALSE(session->Flags().CompanySaved);
  c.SaveCompany();
  CompanyProfile saved = c.Profile();
  Restart();
  const CompanyProfile& loaded = session->Company().Profile();
  for (const auto& f : kCompanyFields) EXPECT_EQ(loaded.*f.member, saved.*f.member) << f.key;
  EXPECT_TRUE(session->Flags().CompanySaved);
}

TEST_F(CompanyTest, DeletingTheOnlyCompanyEmptiesTheListAndKeepsItsFiles) {
  AddCompany("Acme");
  session->Company().DeleteCompany();
  EXPECT_TRUE(prompt.Saw("confirm: Delete This Company ?"));
  EXPECT_TRUE(session->Company().Names().empty());
  EXPECT_EQ(*ReadFile(Data("companies/companies.dat")), "");
  EXPECT_TRUE(ReadFile(Data("companies/Acme.dat")));
  session->Company().SaveCompany();  // nothing shown: nothing written
  EXPECT_FALSE(ReadFile(Data("companies/.dat")));
}

TEST_F(CompanyTest, BhsIdButtonFollowsTheStoredId) {
  EXPECT_EQ(session->Company().ShowBhsId(), CompanyPage::BhsAction::NoCompany);
  AddCompany("Acme");
  EXPECT_EQ(session->Company().ShowBhsId(), CompanyPage::BhsAction::OpenAccountDialog);
  session->Company().SetBhsId("77");
  EXPECT_EQ(session->Company().ShowBhsId(), CompanyPage::BhsAction::ShownId);
  EXPECT_EQ(prompt.log.back(), "inform: Your BHS ID# is: 77");
}

TEST_F(CompanyTest, AHostileNameInTheListFileIsSkippedAndReported) {
  WriteFile(Data("companies/companies.dat"), "../../outside\r\nGood\r\n");
  Restart();
  EXPECT_EQ(session->Company().Names(), Lines{"Good"});
  EXPECT_NE(prompt.log.front().find("../../outside"), std::string::npos);
  session->Company().SaveCompany();
  EXPECT_FALSE(std::filesystem::exists(dir / "../outside.dat"));
}

TEST_F(CompanyTest, TheListsSpellingIsTheKeyOfTheCompanysFile) {
  // CONAME reads back trimmed and unquoted; the files stay those of the list's entry.
  WriteFile(Data("companies/companies.dat"), "Acme\r\nAcme \r\n\"Beta\"\r\n");
  WriteFile(Data("companies/Acme.dat"), "[COMPANY]\r\nCONAME=Acme\r\nCONTACT=Real Acme\r\n");
  WriteFile(Data("companies/Acme .dat"), "[COMPANY]\r\nCONAME=Acme \r\nCONTACT=Other\r\n");
  WriteFile(Data("companies/\"Beta\".dat"), "[COMPANY]\r\nCONAME=\"Beta\"\r\n");
  Restart();
  CompanyPage& c = session->Company();
  ASSERT_TRUE(session->ChooseCompany("Acme "));
  EXPECT_EQ(c.Shown(), "Acme ");
  EXPECT_EQ(c.Profile().contact, "Other");
  c.SetField("CONTACT", "Changed");
  c.SaveCompany();
  EXPECT_NE(ReadFile(Data("companies/Acme.dat"))->find("CONTACT=Real Acme"), std::string::npos);
  EXPECT_NE(ReadFile(Data("companies/Acme .dat"))->find("CONTACT=Changed"), std::string::npos);
  ASSERT_TRUE(session->ChooseCompany("\"Beta\""));
  EXPECT_EQ(c.Shown(), "\"Beta\"");
  c.DeleteCompany();
  EXPECT_EQ(c.Names(), (Lines{"Acme", "Acme "}));
}

TEST_F(CompanyTest, NamesTheFileSystemCannotHoldAreRefusedBeforeAnythingIsWritten) {
  const std::string euros(90, '\x80');  // 270 bytes in UTF-8
  prompt.names = {euros, std::nullopt};
  EXPECT_FALSE(session->Company().NewCompany());
  EXPECT_FALSE(ReadFile(Data("companies/companies.dat")));
  AddCompany("Acme");
  prompt.names = {std::string(247, 'a'), std::nullopt};  // its site table name is too long
  EXPECT_FALSE(session->App().NewApp());
  EXPECT_FALSE(ReadFile(Data("data/Acme Apps.dat")));
  int tooLong = 0;
  for (const auto& l : prompt.log) tooLong += l.find("The name is too long") != std::string::npos;
  EXPECT_EQ(tooLong, 2);
}

TEST_F(CompanyTest, UnreadableEntriesAreReportedAndNeverStopTheStart) {
  WriteFile(Data("companies/companies.dat"), std::string(90, '\x80') + "\r\nAcme\r\nBad\r\n");
  WriteFile(Data("data/Acme Apps.dat"), std::string(247, 'a') + "\r\nTool\r\n");
  std::filesystem::create_directories(Data("companies/Bad.dat"));  // a folder in its place
  std::filesystem::create_directories(Data("data/Tool.dat"));
  prompt.log.clear();
  Restart();  // expects Initialise to succeed
  EXPECT_EQ(session->Company().Names(), (Lines{"Acme", "Bad"}));
  EXPECT_EQ(session->App().Names(), Lines{"Tool"});
  EXPECT_GE(prompt.log.size(), 3u);  // two skipped entries, one unreadable file
  EXPECT_TRUE(session->ChooseCompany("Bad"));
  EXPECT_EQ(session->Company().Shown(), "Bad");
}

TEST_F(CompanyTest, NamesThatWouldTakeTheProgramsOwnFilesAreRefused) {
  prompt.names = {std::string("companies"), std::nullopt};
  EXPECT_FALSE(session->Company().NewCompany());
  EXPECT_FALSE(ReadFile(Data("companies/companies.dat")));
  AddCompany("Acme");
  prompt.names = {std::string("Acme Apps"), std::string("Tool_SITES"), std::nullopt};
  EXPECT_FALSE(session->App().NewApp());
  EXPECT_FALSE(ReadFile(Data("data/Acme Apps.dat")));
  AddApp("Tool Apps");  // no company "Tool": an ordinary name
  prompt.names = {std::string("Tool"), std::nullopt};
  EXPECT_FALSE(session->Company().NewCompany());  // its list would replace Tool Apps.dat
  EXPECT_EQ(session->Company().Names(), Lines{"Acme"});
  EXPECT_NE(ReadFile(Data("data/Tool Apps.dat"))->find("[APPINFO]"), std::string::npos);
  int refusals = 0;
  for (const auto& l : prompt.log) refusals += l.rfind("error: ", 0) == 0;
  EXPECT_EQ(refusals, 4);
}

TEST_F(CompanyTest, NamesAtTheLengthLimitAreWrittenWhole) {
  const std::string company(238, 'c'), app(237, 'a');
  AddCompany(company);
  AddApp(app);
  session->App().SetField("VERSION", "1");
  session->App().SaveApp();
  session->Company().SaveCompany();
  EXPECT_EQ(*ReadFile(Data("data/" + company + " Apps.dat")), app + "\r\n");
  EXPECT_TRUE(ReadFile(Data("data/" + app + ".dat")));
  for (const auto& l : prompt.log) EXPECT_EQ(l.rfind("error: ", 0), std::string::npos) << l;
}

TEST_F(CompanyTest, AnEntrysFilesAreWrittenBeforeItIsListed) {
  AddCompany("Acme");
  std::filesystem::create_directories(Data("companies/Beta.dat"));  // its file cannot be written
  prompt.names = {std::string("Beta")};
  EXPECT_THROW(session->Company().NewCompany(), VendrixError);
  EXPECT_EQ(*ReadFile(Data("companies/companies.dat")), "Acme\r\n");
  EXPECT_EQ(session->Company().Names(), Lines{"Acme"});
  EXPECT_EQ(session->Company().Shown(), "Acme");

  std::filesystem::create_directories(Data("data/Tool.lds"));
  prompt.names = {std::string("Tool")};
  EXPECT_THROW(session->App().NewApp(), VendrixError);
  EXPECT_FALSE(ReadFile(Data("data/Acme Apps.dat")));
  EXPECT_TRUE(session->App().Names().empty());
  Restart();
  EXPECT_EQ(session->Company().Names(), Lines{"Acme"});
}

TEST_F(CompanyTest, ListsKeepTheLinesTheySkip) {
  WriteFile(Data("companies/companies.dat"), "Bad/Co\r\nAcme\r\n");
  WriteFile(Data("data/Acme Apps.dat"), "Old_SITES\r\nTool\r\n");
  Restart();
  EXPECT_EQ(session->Company().Names(), Lines{"Acme"});
  AddCompany("Beta");
  EXPECT_EQ(*ReadFile(Data("companies/companies.dat")), "Acme\r\nBeta\r\nBad/Co\r\n");
  session->Company().DeleteCompany();
  EXPECT_EQ(*ReadFile(Data("companies/companies.dat")), "Acme\r\nBad/Co\r\n");
  ASSERT_TRUE(session->ChooseCompany("Acme"));
  AddApp("Note");
  EXPECT_EQ(*ReadFile(Data("data/Acme Apps.dat")), "Tool\r\nNote\r\nOld_SITES\r\n");
  session->App().DeleteApp();
  EXPECT_EQ(*ReadFile(Data("data/Acme Apps.dat")), "Tool\r\nOld_SITES\r\n");
}

TEST_F(CompanyTest, FieldValuesThatCouldNotBeReadBackAreRefusedNamingTheField) {
  AddCompany("Acme");
  CompanyPage& c = session->Company();
  AppPage& a = session->App();
  AddApp("Tool");
  prompt.log.clear();
  const std::string long1500(1500, 'x');
  EXPECT_FALSE(c.SetField("CURL", "http://a b"));
  EXPECT_FALSE(c.SetField("CCMAIL", "a b@x"));
  EXPECT_FALSE(c.SetField("CTITLE", long1500));
  EXPECT_FALSE(c.SetField("CONTACT", "Ann\nLee"));
  EXPECT_FALSE(a.SetField("APPURL", "http://x/\r\ny"));
  EXPECT_FALSE(a.SetField("DL1_32", "http://x/" + long1500));
  EXPECT_FALSE(session->AssignBhsId(std::string(1100, '7')));
  EXPECT_EQ(prompt.log, (std::vector<std::string>{
                            "error: CURL may not hold blanks.",
                            "error: CCMAIL may not hold blanks.",
                            "error: CTITLE holds at most 1023 characters.",
                            "error: CONTACT holds one line only: line breaks are not allowed.",
                            "error: APPURL holds one line only: line breaks are not allowed.",
                            "error: DL1_32 holds at most 1023 characters.",
                            "error: The BHS ID# holds at most 1023 characters.",
                        }));
  EXPECT_TRUE(c.SetField("CTITLE", std::string(1023, 'x')));  // the longest that reads back
  EXPECT_TRUE(session->AssignBhsId("12345"));
  c.SaveCompany();
  Restart();
  EXPECT_EQ(session->Company().Profile().title, std::string(1023, 'x'));
  EXPECT_EQ(session->Company().Profile().contact, "");
  EXPECT_EQ(session->Company().Profile().bhsId, "12345");
}

TEST_F(CompanyTest, BlankLinesOfAListAreSkipped) {
  WriteFile(Data("companies/companies.dat"), "\r\nAcme\r\n\r\n");
  WriteFile(Data("data/Acme Apps.dat"), "\r\nTool\r\n");
  Restart();
  EXPECT_EQ(session->Company().Shown(), "Acme");
  EXPECT_EQ(session->App().Shown(), "Tool");
  AddCompany("Beta");
  EXPECT_EQ(*ReadFile(Data("companies/companies.dat")), "Acme\r\nBeta\r\n");
}

using AppTest = SessionTest;

TEST_F(AppTest, EveryChangeOfTheShownCompanyReloadsItsApplications) {
  AddCompany("Alpha");
  AddApp("A1");
  AddCompany("Beta");  // now shown: its list is empty
  EXPECT_TRUE(session->App().Names().empty());
  EXPECT_EQ(session->App().Shown(), "");
  AddApp("B1");
  EXPECT_EQ(*ReadFile(Data("data/Alpha Apps.dat")), "A1\r\n");
  EXPECT_EQ(*ReadFile(Data("data/Beta Apps.dat")), "B1\r\n");
  session->Company().DeleteCompany();  // Alpha shown again, with its own list
  EXPECT_EQ(session->Company().Shown(), "Alpha");
  EXPECT_EQ(session->App().Names(), Lines{"A1"});
  EXPECT_EQ(session->App().Shown(), "A1");
  AddApp("A2");
  EXPECT_EQ(*ReadFile(Data("data/Alpha Apps.dat")), "A1\r\nA2\r\n");
  EXPECT_EQ(*ReadFile(Data("data/Beta Apps.dat")), "B1\r\n");
}

TEST_F(AppTest, TheListsSpellingIsTheKeyOfTheApplicationsFiles) {
  AddCompany("Acme");
  WriteFile(Data("data/Acme Apps.dat"), "Tool \r\n");
  WriteFile(Data("data/Tool.dat"), "[APPINFO]\r\nVERSION=other\r\n");
  Restart();
  EXPECT_EQ(session->App().Shown(), "Tool ");
  session->App().SetField("VERSION", "2.0");
  session->App().SaveApp();
  EXPECT_NE(ReadFile(Data("data/Tool .dat"))->find("VERSION=2.0"), std::string::npos);
  EXPECT_NE(ReadFile(Data("data/Tool.dat"))->find("VERSION=other"), std::string::npos);
}

TEST_F(AppTest, TheFieldRulesApplyToEveryValueEntered) {
  AddCompany("Acme");
  AddApp("Tool");
  AppPage& a = session->App();
  const std::pair<const char*, std::string> refused[] = {{"DAY", "1a"},
                                                         {"DAY", "123"},
                                                         {"SIZE32", "12 345"},
                                                         {"PRICE", "$10"},
                                                         {"APPURL", "http://x y"},
                                                         {"PLATFORM", "Linux"},
                                                         {"SHORTDESC", std::string(47, 'x')},
                                                         {"FILENAME", std::string(17, 'f')},
                                                         {"8CHAR", "../../x"},
                                                         {"8CHAR", "my prog"},
                                                         {"8CHAR", "toolong12"}};
  for (const auto& [key, value] : refused) EXPECT_FALSE(a.EnterValue(key, value)) << key;
  EXPECT_FALSE(a.EnterLongDesc({"costs $5"}));
  EXPECT_FALSE(a.EnterNotes({"$"}));
  EXPECT_TRUE(prompt.Saw("error: You can only have alpha-numeric values in this field."));
  EXPECT_EQ(a.Profile().day, "");
  EXPECT_EQ(a.Profile().char8, "");
  EXPECT_TRUE(a.Profile().longDesc.empty());
  EXPECT_TRUE(a.EnterValue("8CHAR", "MyProg-2"));
  EXPECT_EQ(a.Profile().char8, "myprog-2");
  EXPECT_TRUE(a.EnterValue("STATUS", "Freeware"));
  EXPECT_TRUE(a.EnterValue("PLATFORM", ""));
  EXPECT_TRUE(a.EnterValue("DAY", "07"));
  EXPECT_TRUE(a.EnterValue("YEAR", "2026"));
  EXPECT_EQ(a.Profile().year, "26");
  EXPECT_FALSE(a.EnterValue("YEAR", "2126"));
  EXPECT_EQ(prompt.log.back(), std::string("error: ") + kYearRefused);
  EXPECT_EQ(a.Profile().year, "26");
  EXPECT_FALSE(a.EnterValue("NAME", "Other"));
}

TEST_F(AppTest, SpecialRequirementsShowNoneAtStartWithoutAnApplication) {
  AddCompany("Acme");
  Restart();
  EXPECT_EQ(session->App().Shown(), "");
  EXPECT_EQ(session->App().Profile().specReq, "None");
}

TEST_F(AppTest, NewAppNeedsACompanyFirst) {
  prompt.names = {std::nullopt};
  EXPECT_FALSE(session->App().NewApp());
  EXPECT_EQ(prompt.log[0], "error: You have not entered a company yet!");
  EXPECT_EQ(prompt.log[1], "ask: New Company Name");
}

TEST_F(AppTest, EveryFieldDescriptionAndNotesSurviveASaveAndARestart) {
  AddCompany("Acme");
  AddApp("My Prog");
  AppPage& a = session->App();
  int n = 0;
  for (const auto& f : kAppFields) {
    if (f.key == "NAME") continue;
    std::string value = "v" + std::to_string(n++);
    if (f.rule == KeyRule::DigitsOnly) value = std::to_string(n % 100);
    if (f.key == "PLATFORM") value = "Windows NT";
    if (f.key == "STATUS") value = "Beta";
    if (f.key == "DSTATUS") value = "Dealer";
    if (f.key == "installer") value = "Install/Uninstall";
    if (f.key == "INSTKIND") value = "nullsoft";
    EXPECT_TRUE(a.SetField(f.key, value)) << f.key;
  }
  a.SetLongDesc({"Line one", "", "100% free \xA9"});
  a.SetNotes({"Reg code: 1234"});
  a.SaveApp();
  AppProfile saved = a.Profile();
  Restart();
  const AppProfile& loaded = session->App().Profile();
  for (const auto& f : kAppFields) EXPECT_EQ(loaded.*f.member, saved.*f.member) << f.key;
  EXPECT_EQ(loaded.longDesc, saved.longDesc);
  EXPECT_EQ(loaded.notes, saved.notes);
  EXPECT_EQ(loaded.specReq, "None");  // special requirements are never stored

  auto doc = IniDocument::Load(Data("data/My Prog.dat"));
  EXPECT_EQ(doc.ReadString("COMPANY", "CONAME", ""), "Acme");
  EXPECT_EQ(doc.ReadString("APPINFO", "NAME", ""), "My Prog");
  EXPECT_EQ(*ReadFile(Data("data/My Prog.lds")), "Line one\r\n\r\n100% free \xA9\r\n");
  std::string text = *ReadFile(Data("data/My Prog.dat"));
  EXPECT_LT(text.find("[COMPANY]"), text.find("[APPINFO]"));
  EXPECT_LT(text.find("\r\nFILENAME="), text.find("\r\nSHORTDESC="));
}

TEST_F(AppTest, NewAppKeepsSelectorsAndAttachmentsAndClearsTheRest) {
  AddCompany("Acme");
  AddApp("One");
  AppPage& a = session->App();
  a.SetField("PLATFORM", "Windows 95");
  a.SetField("GIFPATH", "/icons/one.gif");
  a.SetField("VERSION", "1.0");
  a.SetSpecReq("DirectX");
  AddApp("Two");
  EXPECT_EQ(a.Shown(), "Two");
  EXPECT_EQ(a.Profile().platform, "Windows 95");
  EXPECT_EQ(a.Profile().gifPath, "/icons/one.gif");
  EXPECT_EQ(a.Profile().version, "");
  EXPECT_EQ(a.Profile().specReq, "");
  EXPECT_EQ(*ReadFile(Data("data/Acme Apps.dat")), "One\r\nTwo\r\n");
}

TEST_F(AppTest, DeletingTheLastAppLeavesAnEmptyListAndRemovesItsSiteTable) {
  AddCompany("Acme");
  AddApp("Only");
  session->App().SetField("VERSION", "2");
  WriteFile(Data("data/Only_SITES.dat"), "x\r\n");
  session->App().DeleteApp();
  EXPECT_EQ(*ReadFile(Data("data/Acme Apps.dat")), "");
  EXPECT_FALSE(ReadFile(Data("data/Only_SITES.dat")));
  EXPECT_TRUE(ReadFile(Data("data/Only.dat")));
  EXPECT_EQ(session->App().Profile().version, "");
  EXPECT_TRUE(session->App().Names().empty());
}

TEST_F(AppTest, ChoosingACompanyLoadsItsOwnApplicationList) {
  AddCompany("Alpha");
  AddApp("A1");
  AddCompany("Beta");
  ASSERT_TRUE(session->ChooseCompany("Beta"));
  EXPECT_TRUE(session->App().Names().empty());
  AddApp("B1");
  EXPECT_EQ(*ReadFile(Data("data/Alpha Apps.dat")), "A1\r\n");  // not overwritten
  EXPECT_EQ(*ReadFile(Data("data/Beta Apps.dat")), "B1\r\n");
  ASSERT_TRUE(session->ChooseCompany("Alpha"));
  EXPECT_EQ(session->App().Shown(), "A1");
}

// Application files are stored by name alone: a name another company has is refused
// when given (the command line), and offered for opening when asked (the window).
TEST_F(AppTest, NewAppNeverTakesAnotherCompanysApplication) {
  AddCompany("Alpha");
  AddApp("Tidy Notes");
  session->App().SetField("VERSION", "3");
  session->App().SaveApp();
  AddCompany("Other Co");
  const std::string offer =
      "confirm: The company \"Alpha\" has an application named \"Tidy Notes\", and "
      "applications are stored by name alone, so this company cannot have one of that name "
      "too. Open that company's application?";
  auto untouched = [&] {
    EXPECT_NE(ReadFile(Data("data/Tidy Notes.dat"))->find("VERSION=3"), std::string::npos);
    EXPECT_FALSE(ReadFile(Data("data/Other Co Apps.dat")));
  };

  prompt.log.clear();
  EXPECT_FALSE(session->App().NewApp("Tidy Notes"));
  EXPECT_TRUE(
      prompt.Saw("error: The application name \"Tidy Notes\" is refused: the company "
                 "\"Alpha\" has an application of that name, and applications are "
                 "stored by name alone. Choose that company to work on it."))
      << ::testing::PrintToString(prompt.log);
  untouched();

  // No: the name is asked again.
  prompt.log.clear();
  prompt.names = {std::string("Tidy Notes"), std::nullopt};
  prompt.answers = {Answer::No};
  EXPECT_FALSE(session->App().NewApp());
  EXPECT_EQ(prompt.log, (std::vector<std::string>{"ask: New Application Name", offer,
                                                  "ask: New Application Name"}));
  EXPECT_EQ(session->Company().Shown(), "Other Co");
  untouched();

  // Yes: the other company and its application are shown.
  prompt.names = {std::string("Tidy Notes")};
  prompt.answers = {Answer::Yes};
  EXPECT_FALSE(session->App().NewApp());
  EXPECT_EQ(session->Company().Shown(), "Alpha");
  EXPECT_EQ(session->App().Shown(), "Tidy Notes");
  EXPECT_EQ(session->App().Profile().version, "3");
  untouched();
}

TEST_F(AppTest, AnUnreadableSiteTableNeverStopsTheStartAndIsNotSavedOver) {
  AddCompany("Acme");
  AddApp("Tool");
  WriteFile(Data("sites/Sites.dat"), "S1\r\n");
  WriteFile(Data("sites/S1.ini"), "[SETTINGS]\r\nUSE_HTTP_POST=1\r\n");
  std::filesystem::remove(Data("data/Tool_SITES.dat"));
  std::filesystem::create_directories(Data("data/Tool_SITES.dat"));  // a folder in its place
  prompt.log.clear();
  Restart();  // expects Initialise to succeed
  EXPECT_EQ(session->App().Shown(), "Tool");
  ASSERT_EQ(session->Table().Rows().size(), 1u);
  EXPECT_NE(session->Table().Unreadable(), "");
  EXPECT_TRUE(prompt.Saw("error: " + session->Table().Unreadable()));
  EXPECT_THROW(session->Table().Save("Tool"), VendrixError);
  EXPECT_TRUE(std::filesystem::is_directory(Data("data/Tool_SITES.dat")));
}

TEST_F(AppTest, AMissingLongDescriptionLoadsEmpty) {
  AddCompany("Acme");
  AddApp("One");
  session->App().SetLongDesc({"old text"});
  session->App().SaveApp();
  AddApp("Two");
  std::filesystem::remove(Data("data/Two.lds"));
  session->App().Select("One");
  session->App().Select("Two");
  EXPECT_TRUE(session->App().Profile().longDesc.empty());
}

TEST(AppRules, LongDateExamples) {
  EXPECT_EQ(BuildLongDate("5", "1", "99"), "5-Jan-1999");
  EXPECT_EQ(BuildLongDate("05", "12", "03"), "05-Dec-2003");
  EXPECT_EQ(BuildLongDate("", "7", "0"), "Jul-200");
  EXPECT_EQ(BuildLongDate("1", "13", "79"), "1-2079");
  EXPECT_EQ(BuildLongDate("1", "0", "80"), "1-1980");
  EXPECT_EQ(BuildLongDate("", "", ""), "");
}

// A whole year is stored as the two digits the long date reads back as that year;
// any year it could not read back is refused, never cut.
TEST(AppRules, YearTakesTwoDigitsOrAWholeYearItCanReadBack) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {{"", ""},
                                                                      {"7", "7"},
                                                                      {"26", "26"},
                                                                      {"2026", "26"},
                                                                      {"1980", "80"},
                                                                      {"2079", "79"},
                                                                      {"1979", std::nullopt},
                                                                      {"2080", std::nullopt},
                                                                      {"202", std::nullopt},
                                                                      {"20265", std::nullopt},
                                                                      {"2O26", std::nullopt}};
  for (const auto& [typed, stored] : cases) {
    EXPECT_EQ(YearEntry(typed), stored) << typed;
    if (stored && std::string(typed).size() == 4) {
      EXPECT_EQ(BuildLongDate("8", "12", *stored), "8-Dec-" + std::string(typed));
    }
  }
}

TEST(AppRules, EightCharacterNameExitRule) {
  EXPECT_EQ(Char8Exit("ABC12"), "abc12");
  EXPECT_EQ(Char8Exit("my-prog_"), "my-prog_");
  for (const char* bad : {"ab.c", "a b", "a/b", "a(b", "a)b"}) EXPECT_FALSE(Char8Exit(bad)) << bad;
  EXPECT_TRUE(KeyAccepted(KeyRule::DigitsOnly, '\b'));
  EXPECT_FALSE(KeyAccepted(KeyRule::DigitsOnly, 'a'));
  EXPECT_FALSE(KeyAccepted(KeyRule::NoDollar, '$'));
  EXPECT_FALSE(KeyAccepted(KeyRule::NoSpace, ' '));
}

TEST_F(AppTest, RefusedEightCharacterNameEmptiesTheField) {
  AddCompany("Acme");
  AddApp("One");
  session->App().SetField("8CHAR", "ab.c");
  EXPECT_FALSE(session->App().Char8NameExit());
  EXPECT_EQ(prompt.log.back(), "inform: You can only have alpha-numeric values in this field.");
  EXPECT_EQ(session->App().Profile().char8, "");
}

TEST_F(AppTest, BrowseButtonsUseTheirFiltersAndCancelKeepsTheField) {
  AddCompany("Acme");
  AddApp("One");
  prompt.files = {std::string("/dist/setup.exe"), std::nullopt};
  EXPECT_TRUE(session->App().BrowseFor("PATH"));
  EXPECT_EQ(prompt.log.back(), "choose: Select your program [Programs|*.ZIP;*.EXE]");
  EXPECT_FALSE(session->App().BrowseFor("PATH"));
  EXPECT_EQ(session->App().Profile().localPath, "/dist/setup.exe");
}

using CloseTest = SessionTest;

TEST_F(CloseTest, QuestionsComeInOrderAndCancelStopsAtOnce) {
  AddCompany("Acme");
  AddApp("One");
  MainFlags& f = session->Flags();
  f.CompanySaved = false;
  f.AppSaved = false;
  f.SiteTableChanged = true;
  f.SiteSaved = false;
  prompt.log.clear();
  prompt.answers = {Answer::No, Answer::Cancel};
  EXPECT_FALSE(session->CloseQuery());
  EXPECT_EQ(prompt.log, (std::vector<std::string>{"confirm3: Would you like to save Changed "
                                                  "Company Info?",
                                                  "confirm3: Would you like to save One?"}));
  prompt.log.clear();
  prompt.answers = {Answer::No, Answer::No, Answer::No, Answer::No};
  EXPECT_TRUE(session->CloseQuery());
  EXPECT_EQ(prompt.log.size(), 4u);
  EXPECT_EQ(prompt.log[2], "confirm3: Would you like to save Site Engine Info?");
  EXPECT_EQ(prompt.log[3], "confirm3: Would you like to save Added/Changed Engine Info?");
}

TEST_F(CloseTest, YesSavesAndReplacedDataFilesCloseWithoutQuestions) {
  AddCompany("Acme");
  session->Company().SetField("CONTACT", "Jo");
  prompt.log.clear();
  prompt.answers = {Answer::Yes};
  EXPECT_TRUE(session->CloseQuery());
  EXPECT_EQ(IniReadString(Data("companies/Acme.dat"), "COMPANY", "CONTACT", ""), "Jo");
  session->Company().SetField("CONTACT", "Other");
  session->Flags().DataFilesReplaced = true;
  prompt.log.clear();
  EXPECT_TRUE(session->CloseQuery());
  EXPECT_TRUE(prompt.log.empty());
}

TEST(PageRules, PagesSendThePersonWhereDataIsMissing) {
  test::ScriptedPrompt prompt;
  MainFlags flags;
  flags.Posting = true;
  EXPECT_FALSE(CanLeavePage(flags, prompt));
  EXPECT_EQ(prompt.log.back(), "error: Tab Change Not Allowed While Posting!");
  EXPECT_EQ(PageShown(Page::AppInfo, {}, prompt), PageFollowUp::StartNewCompany);
  PageState companyOnly{true, false, false, false, false};
  EXPECT_EQ(PageShown(Page::Sites, companyOnly, prompt), PageFollowUp::GoToAppInfo);
  EXPECT_EQ(prompt.log.back(),
            "error: You have not entered or selected an application yet. Please do so now!");
  PageState full{true, true, true, true, false};
  EXPECT_EQ(PageShown(Page::Sites, full, prompt), PageFollowUp::RecountAndFocusGrid);
  EXPECT_EQ(PageShown(Page::SiteBuilder, full, prompt), PageFollowUp::OpenFirstSite);
  EXPECT_EQ(PageShown(Page::Submit, full, prompt), PageFollowUp::Recount);
}

using SettingsTest = SessionTest;

TEST_F(SettingsTest, DefaultsClampingAndWriteOrder) {
  SettingsDialog dialog(session->Wide().SettingsFile(), prompt);
  ProgramSettings s = dialog.Open();
  EXPECT_EQ(s.port, "80");
  EXPECT_EQ(s.ftpRetries, 3);
  EXPECT_EQ(s.httpTimeOut, 60);
  EXPECT_TRUE(s.showHints);
  EXPECT_FALSE(s.useGridLines);

  WriteFile(session->Wide().SettingsFile(), "[SETTINGS]\r\nFTPRetries=99\r\nHTTPTimeOut=5\r\n");
  dialog.Open();
  EXPECT_EQ(dialog.Fields().ftpRetries, 50);
  EXPECT_EQ(dialog.Fields().httpTimeOut, 10);
  dialog.Fields().smtp = "mail.example";
  ASSERT_TRUE(dialog.Ok());
  EXPECT_EQ(*ReadFile(session->Wide().SettingsFile()),
            "[SETTINGS]\r\nFTPRetries=50\r\nHTTPTimeOut=10\r\nSMTP=mail.example\r\nEMAIL=\r\n"
            "NAME=\r\nPROXY=\r\nPORT=80\r\nShowHints=1\r\n");

  // The posting keys: brought into range like the others and kept where they stand.
  WriteFile(session->Wide().SettingsFile(), "[SETTINGS]\r\nPostAtOnce=40\r\nPostRetries=-1\r\n");
  dialog.Open();
  EXPECT_EQ(dialog.Fields().postAtOnce, 16);
  EXPECT_EQ(dialog.Fields().postRetries, 0);
  ASSERT_TRUE(dialog.Ok());
  const std::string written = *ReadFile(session->Wide().SettingsFile());
  EXPECT_EQ(written.substr(0, 42), "[SETTINGS]\r\nPostAtOnce=16\r\nPostRetries=0\r\n");
  EXPECT_EQ(LoadProgramSettings(session->Wide().SettingsFile()).Problem(), "");
}

TEST_F(SettingsTest, APortThatIsNoPortNumberIsRefusedBeforeAnythingIsWritten) {
  SettingsDialog dialog(session->Wide().SettingsFile(), prompt);
  dialog.Open();
  dialog.Fields().smtp = "x";
  for (const char* port : {"80a", "0", "65536", "99999", ""}) {
    dialog.Fields().port = port;
    EXPECT_FALSE(dialog.Ok()) << port;
    EXPECT_EQ(prompt.log.back(), "error: Proxy Port must be a whole number from 1 to 65535!");
  }
  EXPECT_FALSE(ReadFile(session->Wide().SettingsFile()));
  dialog.Fields().port = "65535";
  EXPECT_TRUE(dialog.Ok());
}

TEST_F(SettingsTest, GridLinesAreWrittenAlone) {
  WriteFile(session->Wide().SettingsFile(), "[SETTINGS]\r\nSMTP=keep\r\n");
  WriteUseGridLines(session->Wide().SettingsFile(), true);
  EXPECT_EQ(*ReadFile(session->Wide().SettingsFile()),
            "[SETTINGS]\r\nSMTP=keep\r\nUseGridLines=1\r\n");
  EXPECT_TRUE(LoadProgramSettings(session->Wide().SettingsFile()).useGridLines);
}

TEST_F(SessionTest, FirstStartMakesTheTreeAndWritesNoDataFile) {
  for (const char* d :
       {"data", "companies", "cat", "sites", "sites/updates", "files", "reports", "images"}) {
    EXPECT_TRUE(std::filesystem::is_directory(dir / d)) << d;
  }
  std::size_t files = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path())) {
    files += e.is_regular_file();
  }
  EXPECT_EQ(files, 0u);
  EXPECT_EQ(session->Wide().DataDir, dir.path() + "/data/");
}

// Where the data tree is found, from the command line, the environment and the program's
// folder; the resolution itself never creates anything.
TEST(DataRoot, ComesFromTheOptionTheEnvironmentOrAPortableCopyNeverFromAnInstalledFolder) {
  test::TempDir t;
  const std::string prog = t / "bin", marked = t / "portable-copy", tree = t / "old-copy";
  for (const auto& d : {prog, marked, tree, tree + "/companies"})
    std::filesystem::create_directories(d);
  WriteFile(marked + "/portable", "");
  WriteFile(tree + "/companies/companies.dat", "Acme\r\n");
  struct Case {
    const char* what;
    std::string option, vendrixData, xdg, home, programDir, expected;
  };
  const Case cases[] = {
      {"the option wins", "/d", "/v", "/x", "/h", marked, "/d"},
      {"then VENDRIX_DATA", "", "/v", "/x", "/h", marked, "/v"},
      {"a portable marker", "", "", "/x", "/h", marked, marked},
      {"a tree a portable copy keeps", "", "", "/x", "/h", tree, tree},
      {"a writable program folder is not enough", "", "", "/x", "/h", prog, "/x/vendrix"},
      {"a relative XDG_DATA_HOME is ignored", "", "", "rel", "/h", prog, "/h/.local/share/vendrix"},
      {"the default", "", "", "", "/h", prog, "/h/.local/share/vendrix"},
      {"an installed program", "", "", "", "/root", "/usr/bin", "/root/.local/share/vendrix"},
  };
  auto set = [](const char* name, const std::string& value) {
    if (value.empty()) {
      ::unsetenv(name);
    } else {
      ::setenv(name, value.c_str(), 1);
    }
  };
  std::vector<std::pair<const char*, std::string>> saved;
  for (const char* name : {"VENDRIX_DATA", "XDG_DATA_HOME", "HOME"}) {
    const char* v = std::getenv(name);
    saved.emplace_back(name, v ? v : "");
  }
  for (const auto& c : cases) {
    set("VENDRIX_DATA", c.vendrixData);
    set("XDG_DATA_HOME", c.xdg);
    set("HOME", c.home);
    EXPECT_EQ(ResolveDataRoot(c.option, c.programDir + "/vendrix-cli"), c.expected) << c.what;
  }
  for (const auto& [name, value] : saved) set(name, value);
  EXPECT_FALSE(std::filesystem::exists(prog + "/companies"));
}

}  // namespace
}  // namespace vendrix
