#include <gtest/gtest.h>

#include "script/eng_build.h"
#include "script/size_rule.h"
#include "support/session_fixture.h"

namespace vendrix {
namespace {

using test::SessionTest;
using test::WriteFile;

class ExpandTest : public SessionTest {
 protected:
  ExpandTest() {
    AddCompany("Acme");
    AddApp("Foo");
    App().SetField("VERSION", "1.2");
    prompt.names.push_back(std::string("Site"));
    session->Builder().NewSite();
  }
  AppPage& App() { return session->App(); }
  SiteDefinition& Site() { return session->Builder().Edit(); }
  TEngBuild& Eng() { return session->Wide().EngBuild(); }
  std::string X(const std::string& text, ExpansionMode mode = ExpansionMode::Preview) {
    return Eng().ExpandText(text, mode);
  }
  void ExpectError(const std::string& text, const std::string& name,
                   ExpansionMode mode = ExpansionMode::Preview) {
    EXPECT_EQ(X(text, mode), text) << text;
    EXPECT_TRUE(Eng().ErrorFlag) << text;
    EXPECT_EQ(Eng().ErrorName, name) << text;
  }
};

TEST_F(ExpandTest, VariablesAndFailures) {
  EXPECT_EQ(X("name=%APPNAME%&ver=%APPVERSION%"), "name=Foo&ver=1.2");
  EXPECT_FALSE(Eng().ErrorFlag);
  EXPECT_EQ(X("no variables here"), "no variables here");
  EXPECT_FALSE(Eng().ErrorFlag);
  ExpectError("100%", "");
  ExpectError("%%", "");
  ExpectError("%appname%", "appname");
  ExpectError("%APPNAME", "");
  ExpectError("a %APPNAME% b %NOSUCH% c", "NOSUCH");
  ExpectError("%UNKNOWN%", "UNKNOWN");
}

TEST_F(ExpandTest, InsertedValuesAreLiteral) {
  App().SetField("SHORTDESC", "100% free");
  App().SetField("PRICE", "50%");
  EXPECT_EQ(X("%APPSHORTDESC% at %APPPRICE% off %APPVERSION%"), "100% free at 50% off 1.2");
  EXPECT_FALSE(Eng().ErrorFlag);
  App().SetField("VERSION", "%APPVERSION%");  // refers to itself
  EXPECT_EQ(X("v%APPVERSION%!"), "v%APPVERSION%!");
  EXPECT_FALSE(Eng().ErrorFlag);
  session->Company().SetField("CONTACT", "A%B");
  EXPECT_EQ(X("%CONTNAME% %APPPRICE%"), "A%B 50%");
}

TEST_F(ExpandTest, ProfileFieldsAndFallbacks) {
  App().SetField("DL1_16", "http://x/16.zip");
  App().SetField("SIZE16", "3000");
  App().SetField("INSTSIZE32", "999");
  App().SetField("8CHAR", "myprog");
  App().SetField("SHORTDESC", "Short");
  App().SetLongDesc({"one", "two"});
  App().SetField("PADURL", "https://acme.example/foo/pad.xml");
  session->Company().SetBhsId("42");
  EXPECT_EQ(X("%APP32DL1%|%APP16DL1%|%APP32DL2%"), "http://x/16.zip|http://x/16.zip|");
  EXPECT_EQ(X("%APPSIZE32%/%APPINSTSIZE32%"), "3000/999");
  EXPECT_EQ(X("%APPLONGDESC%"), "one\r\ntwo");
  EXPECT_EQ(X("pad=%PADURL%"), "pad=https://acme.example/foo/pad.xml");
  EXPECT_EQ(X("%BHSID% %SITENAME% %COMPNAME% %APPREQ%"), "42 Site Acme ");
  EXPECT_EQ(X("[%FBBSDESC%]"), "[myprog.zip      Short]");
  StoreAppValue("8CHAR", "abcdefghijkl");  // 16 characters with ".zip": no blank
  EXPECT_EQ(X("[%FBBSDESC%]"), "[abcdefghijkl.zipShort]");
  StoreAppValue("8CHAR", "abcdefghijk");  // 15: one blank
  EXPECT_EQ(X("[%FBBSDESC%]"), "[abcdefghijk.zip Short]");
}

TEST(SizeRule, KilobytesAndMegabytes) {
  EXPECT_EQ(SizeInKBytes("2047"), "1");
  EXPECT_EQ(SizeInKBytes("2048"), "2");
  EXPECT_EQ(SizeInKBytes("1024"), "1");
  EXPECT_EQ(SizeInKBytes("15000"), "14");
  EXPECT_EQ(SizeInKBytes(""), "1");
  EXPECT_EQ(SizeInKBytes("12x"), "1");
  EXPECT_EQ(SizeInKBytes("5000000000"), "4882812");  // beyond 32 bits
  EXPECT_EQ(SizeInMBytes(std::to_string(1536 * 1024)), "1.5");
  EXPECT_EQ(SizeInMBytes(std::to_string(976 * 1024)), "0.95");
  EXPECT_EQ(SizeInMBytes(std::to_string(1024 * 1024)), "1");
  EXPECT_EQ(SizeInMBytes(std::to_string(2048 * 1024)), "2");
  EXPECT_EQ(SizeInMBytes(std::to_string(500 * 1024 * 1024)), "500");
  EXPECT_EQ(SizeInMBytes("1024"), "0.00");
}

TEST_F(ExpandTest, SizesFollowTheSitesByteFormat) {
  App().SetField("SIZE32", "15000");
  Site().byteFormat = ByteFormat::KBytes;
  EXPECT_EQ(X("%APPSIZE32%"), "14");
  App().SetField("SIZE32", "");
  App().SetField("SIZE16", "3000");
  EXPECT_EQ(X("%APPSIZE32% %APPSIZE16%"), "2 2");
  Site().byteFormat = ByteFormat::MBytes;
  App().SetField("SIZE16", std::to_string(1536 * 1024));
  EXPECT_EQ(X("%APPSIZE16%"), "1.5");
}

TEST_F(ExpandTest, MatchUpValuesWithFallbacks) {
  App().SetField("PLATFORM", "Windows 95");
  App().SetField("DSTATUS", "Author");
  StoreAppValue("installer", "Something Else");
  MatchUps& m = session->Wide().MatchUpValues;
  m[1] = "Win95";
  m[4] = "";
  EXPECT_EQ(X("%APPPLAT%|%APPSUBMITBY%|%APPINSTALL%|%APPSTATUS%"), "Win95|Author|Something Else|");
}

TEST_F(ExpandTest, CategoriesInPreviewMode) {
  Site().cat1 = {"12\">Games", "5\">Other"};
  EXPECT_EQ(X("%SITECAT1%"), "12");
  ExpectError("%SITECAT2%", "%UNKNOWN%");
}

TEST_F(ExpandTest, CategoriesInSubmissionMode) {
  AppSiteRow row;
  row.cat1 = "Games";
  Eng().SetCurrentRow(&row);
  Site().cat1 = {"5\">Video Games", "12\">Games"};
  ExpectError("x %SITECAT1%", "UNKNOWN", ExpansionMode::Submission);  // USE_CAT1 is off
  Site().useCat1 = true;
  Site().name = "Arcade";
  // The line labelled "Games" is sent, not the earlier one that contains the word;
  // a label no line equals falls back to the first line containing it.
  EXPECT_EQ(X("%SITECAT1%", ExpansionMode::Submission), "12");
  row.cat1 = "Video";
  EXPECT_EQ(X("%SITECAT1%", ExpansionMode::Submission), "5");
  row.cat1 = "Music";
  prompt.log.clear();
  EXPECT_EQ(X("%SITECAT1%", ExpansionMode::Submission), "Music");
  const std::string notFound =
      "inform: Could NotFind! Arcade: category Music is not in Arcade Cat1.cat";
  EXPECT_EQ(prompt.log, std::vector<std::string>{notFound});
  row.cat1 = "";
  Site().cat1 = {"1\">One"};
  row.cat1 = "Zzz";
  Site().useCat2 = true;
  Site().cat2 = {"7\">Seven"};
  row.cat2 = "";
  // An empty label is found in no line: "Could NotFind!" (for the primary list only),
  // then the failure.
  prompt.log.clear();
  ExpectError("%SITECAT2%", "%UNKNOWN%", ExpansionMode::Submission);
  EXPECT_TRUE(prompt.log.empty());
  row.cat1 = "";
  ExpectError("%SITECAT1%", "%UNKNOWN%", ExpansionMode::Submission);
  EXPECT_EQ(prompt.log.size(), 1u);
  EXPECT_TRUE(prompt.log.front().starts_with("inform: Could NotFind! Arcade: category"));
  Site().cat1.clear();
  ExpectError("%SITECAT1%", "UNKNOWN", ExpansionMode::Submission);
  Eng().SetCurrentRow(nullptr);
}

TEST_F(ExpandTest, ClockVariablesHaveNoLeadingZeros) {
  clock.Set(MakeTime(2027, 1, 5, 8, 3, 59));
  EXPECT_EQ(X("%CURDATE_DAY%.%CURDATE_MONTH%.%CURDATE_YEAR% %CURTIME_HRS%:%CURTIME_MIN%"),
            "5.1.2027 8:3");
  EXPECT_EQ(X("%CURDATE%"), ShortDate(clock.Now()));
  EXPECT_EQ(X("%CURTIME%"), LongTime(clock.Now()));
}

}  // namespace
}  // namespace vendrix
