// PAD import and export: files written here from the format's element list, the
// refusals of hostile or broken files, and the plan an import shows before it writes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <pugixml.hpp>

#include "app/pad_commands.h"
#include "base/error.h"
#include "base/file_io.h"
#include "base/ini_file.h"
#include "base/line_list.h"
#include "exchange/pad_elements.h"
#include "exchange/pad_export.h"
#include "exchange/pad_import.h"
#include "exchange/pad_plan.h"
#include "exchange/pad_text.h"
#include "support/session_fixture.h"

namespace vendrix::test {
namespace {

std::string Pad(const std::string& body, const std::string& encoding = "UTF-8") {
  return "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>\n<XML_DIZ_INFO>\n" + body +
         "\n</XML_DIZ_INFO>\n";
}

const std::string kProgramOnly = "<Program_Info><Program_Name>Tidy</Program_Name></Program_Info>";

const std::string kFull = Pad(R"(
  <MASTER_PAD_VERSION_INFO><MASTER_PAD_VERSION>4.0</MASTER_PAD_VERSION></MASTER_PAD_VERSION_INFO>
  <Company_Info>
    <Company_Name>Acme Tools</Company_Name>
    <Address_1>1 Main Street</Address_1><Address_2>Suite 5</Address_2>
    <City_Town>Springfield</City_Town><State_Province>IL</State_Province>
    <Zip_Postal_Code>62701</Zip_Postal_Code><Country>US</Country>
    <Company_WebSite_URL>https://acme.example/</Company_WebSite_URL>
    <Contact_Info>
      <Author_First_Name>Ann</Author_First_Name><Author_Last_Name>Other</Author_Last_Name>
      <Contact_First_Name>Jo</Contact_First_Name><Contact_Last_Name>Bloggs</Contact_Last_Name>
      <Contact_Email>jo@acme.example</Contact_Email>
    </Contact_Info>
    <Support_Info>
      <Sales_Email>sales@acme.example</Sales_Email><General_Email>info@acme.example</General_Email>
      <General_Phone>555-0100</General_Phone><Fax_Phone>555-0199</Fax_Phone>
    </Support_Info>
  </Company_Info>
  <Program_Info>
    <Program_Name>Tidy Tool</Program_Name>
    <Program_Version>3.2.1</Program_Version>
    <Program_Release_Month>7</Program_Release_Month>
    <Program_Release_Day>04</Program_Release_Day>
    <Program_Release_Year>2026</Program_Release_Year>
    <Program_Cost_Dollars>24.95</Program_Cost_Dollars>
    <Program_Type>Demo</Program_Type>
    <Program_Release_Status>Major Update</Program_Release_Status>
    <Program_Install_Support>Install Only</Program_Install_Support>
    <Program_OS_Support>WinXP,Windows7,Linux</Program_OS_Support>
    <Program_Category_Class>Utilities::File &amp; Disk Management</Program_Category_Class>
    <File_Info>
      <Filename_Versioned>tidytool-3.2.1-setup.zip</Filename_Versioned>
      <Filename_Generic>TidyTool.zip</Filename_Generic>
      <Filename_Long>tidytool.zip</Filename_Long>
      <File_Size_Bytes>1048576</File_Size_Bytes>
    </File_Info>
    <Expire_Info>
      <Has_Expire_Info>Y</Has_Expire_Info><Expire_Count>21</Expire_Count>
      <Expire_Based_On>Days</Expire_Based_On><Expire_Other_Info>21 days, then nags</Expire_Other_Info>
      <Expire_Month>12</Expire_Month><Expire_Day>31</Expire_Day><Expire_Year>2027</Expire_Year>
    </Expire_Info>
  </Program_Info>
  <Program_Descriptions><English>
    <Keywords>tidy, files</Keywords>
    <Char_Desc_45>Keeps files tidy</Char_Desc_45>
    <Char_Desc_80>Keeps your files tidy.</Char_Desc_80>
    <Char_Desc_250>Keeps your files tidy, every day.</Char_Desc_250>
  </English></Program_Descriptions>
  <Web_Info>
    <Application_URLs>
      <Application_Info_URL>https://acme.example/tidy/</Application_Info_URL>
      <Application_Screenshot_URL>https://acme.example/tidy/shot.png</Application_Screenshot_URL>
      <Application_Icon_URL>https://acme.example/tidy/ICON.ICO?v=2</Application_Icon_URL>
      <Application_XML_File_URL>https://acme.example/tidy/pad.xml</Application_XML_File_URL>
    </Application_URLs>
    <Download_URLs>
      <Primary_Download_URL>https://acme.example/dl/a.zip</Primary_Download_URL>
      <Secondary_Download_URL>https://mirror.example/a.zip</Secondary_Download_URL>
      <Additional_Download_URL_2>https://other.example/a.zip</Additional_Download_URL_2>
    </Download_URLs>
  </Web_Info>
  <Affiliates><Affiliates_FORM>Y</Affiliates_FORM></Affiliates>)");

std::string Refusal(const std::string& bytes) {
  try {
    PadImport(bytes);
  } catch (const VendrixError& e) {
    return e.what();
  }
  return "(accepted)";
}

TEST(PadImport, FullFileFillsBothProfiles) {
  PadContent pad = PadImport(kFull);
  const CompanyProfile& c = pad.company;
  EXPECT_EQ(c.name, "Acme Tools");
  EXPECT_EQ(c.contact, "Jo Bloggs");  // the contact, not the author
  EXPECT_EQ(c.email, "jo@acme.example");
  EXPECT_EQ(c.address, "1 Main Street, Suite 5");
  EXPECT_EQ(c.city + "|" + c.state + "|" + c.zip + "|" + c.country, "Springfield|IL|62701|US");
  EXPECT_EQ(c.url, "https://acme.example/");
  EXPECT_EQ(c.phone, "555-0100");  // no sales phone: the general one
  EXPECT_EQ(c.fax, "555-0199");
  EXPECT_EQ(c.salesEmail, "info@acme.example");  // the general e-mail comes first

  const AppProfile& a = pad.app;
  EXPECT_EQ(a.name, "Tidy Tool");
  EXPECT_EQ(a.version, "3.2.1");
  EXPECT_EQ(a.day + "-" + a.month + "-" + a.year, "04-7-26");
  EXPECT_EQ(a.price, "24.95");
  EXPECT_EQ(a.status, "Time Limit Demo");  // a demo that expires
  EXPECT_EQ(a.installer, "Install Feature Only");
  EXPECT_EQ(a.platform, "Windows NT");
  // The versioned name breaks the 16-character rule; the long name takes its place.
  EXPECT_EQ(a.fileName, "tidytool.zip");
  EXPECT_EQ(a.char8, "tidytool");
  EXPECT_EQ(a.size32, "1048576");
  EXPECT_EQ(a.expireAfter, "21");
  EXPECT_EQ(a.expireDate, "31/12/27");
  EXPECT_EQ(a.eval, "21 days, then nags");
  EXPECT_EQ(a.appUrl, "https://acme.example/tidy/");
  EXPECT_EQ(a.screenshotUrl, "https://acme.example/tidy/shot.png");
  EXPECT_EQ(a.icoUrl, "https://acme.example/tidy/ICON.ICO?v=2");
  EXPECT_EQ(a.gifUrl, "");
  EXPECT_EQ(a.padUrl, "https://acme.example/tidy/pad.xml");
  EXPECT_EQ(
      a.dl1_32 + " " + a.dl2_32 + " " + a.dl3_32 + " " + a.dl4_32,
      "https://acme.example/dl/a.zip https://mirror.example/a.zip  https://other.example/a.zip");
  EXPECT_EQ(a.shortDesc, "Keeps files tidy");
  EXPECT_EQ(a.longDesc, Lines{"Keeps your files tidy, every day."});  // the longest text
  EXPECT_EQ(a.notes, (Lines{"PAD operating systems: WinXP,Windows7,Linux",
                            "PAD category: Utilities::File & Disk Management",
                            "PAD keywords: tidy, files"}));
  EXPECT_TRUE(pad.findings.empty()) << pad.findings.front();
}

TEST(PadImport, MinimalFileGivesANameAndNothingElse) {
  PadContent pad = PadImport(Pad(kProgramOnly));
  EXPECT_EQ(pad.app.name, "Tidy");
  for (const auto& f : kAppFields) {
    if (f.key != "NAME") {
      EXPECT_EQ(pad.app.*f.member, "") << f.key;
    }
  }
  for (const auto& f : kCompanyFields) EXPECT_EQ(pad.company.*f.member, "") << f.key;
  EXPECT_TRUE(pad.app.longDesc.empty());
  EXPECT_TRUE(pad.app.notes.empty());
  EXPECT_TRUE(pad.findings.empty());
}

TEST(PadImport, SingleByteFilesAreReadInWindows1252) {
  // "Café" with e-acute (0xE9) and the euro sign (0x80), as older editors wrote them.
  const std::string body =
      "<Company_Info><Company_Name>Caf\xE9 \x80 Ltd</Company_Name></Company_Info>"
      "<Program_Info><Program_Name>Na\xEFve</Program_Name></Program_Info>";
  for (const std::string encoding : {"windows-1252", "ISO-8859-1"}) {
    PadContent pad = PadImport(Pad(body, encoding));
    EXPECT_EQ(pad.company.name, "Caf\xE9 \x80 Ltd") << encoding;
    EXPECT_EQ(pad.app.name, "Na\xEFve") << encoding;
  }
  // The same text in UTF-8 gives the same Windows-1252 bytes.
  PadContent utf8 = PadImport(
      Pad("<Company_Info><Company_Name>Caf\xC3\xA9 \xE2\x82\xAC Ltd</Company_Name></Company_Info>" +
          kProgramOnly));
  EXPECT_EQ(utf8.company.name, "Caf\xE9 \x80 Ltd");
  // A character Windows-1252 lacks, or a file that says UTF-8 but is not, is a finding.
  PadContent lacking =
      PadImport(Pad("<Company_Info><City_Town>\xE6\x9D\xB1\xE4\xBA\xAC</City_Town>"
                    "<Country>Fran\xE7"
                    "e</Country></Company_Info>" +
                    kProgramOnly));
  EXPECT_EQ(lacking.company.city, "");
  EXPECT_EQ(lacking.company.country, "");
  ASSERT_EQ(lacking.findings.size(), 2u);
  EXPECT_EQ(lacking.findings,
            (std::vector<std::string>{
                "Country holds the byte 0xE7, which is not UTF-8 as the file says; it is not "
                "stored.",
                "City_Town holds a character that Windows-1252 cannot hold; it is not stored."}));
  EXPECT_EQ(Refusal(Pad(kProgramOnly, "Shift_JIS")),
            "The PAD file's encoding \"shift_jis\" is not one Vendrix reads (UTF-8, UTF-16, "
            "Windows-1252 or ISO-8859-1); it is refused.");
}

TEST(PadImport, ValuesOverTheirLimitsBecomeFindingsAndTheRestIsStored) {
  PadContent pad = PadImport(Pad(R"(
  <Program_Info>
    <Program_Name>Tidy</Program_Name>
    <Program_Version>1.0</Program_Version>
    <Program_Release_Month>13</Program_Release_Month>
    <Program_Release_Year>26</Program_Release_Year>
    <Program_Cost_Dollars>$10</Program_Cost_Dollars>
    <Program_Type>Commercial</Program_Type>
    <Program_OS_Support>Linux,Mac OS X</Program_OS_Support>
    <File_Info><Filename_Versioned>a-very-long-file-name.zip</Filename_Versioned>
      <Filename_Generic>too long.zip</Filename_Generic>
      <File_Size_Bytes>1.5 MB</File_Size_Bytes></File_Info>
  </Program_Info>
  <Program_Descriptions><English>
    <Char_Desc_45>This short description is much longer than allowed</Char_Desc_45>
    <Char_Desc_80>Costs $10 only</Char_Desc_80>
  </English></Program_Descriptions>
  <Web_Info><Application_URLs>
    <Application_Info_URL>https://a.example/my page</Application_Info_URL>
    <Application_Icon_URL>https://a.example/icon.png</Application_Icon_URL>
  </Application_URLs></Web_Info>)"));
  EXPECT_EQ(pad.app.version, "1.0");
  EXPECT_EQ(pad.app.notes, Lines{"PAD operating systems: Linux,Mac OS X"});
  for (auto key : {"MONTH", "YEAR", "PRICE", "STATUS", "PLATFORM", "FILENAME", "8CHAR", "SIZE32",
                   "SHORTDESC", "APPURL", "GIF", "ICO"}) {
    EXPECT_EQ(pad.app.*FindAppField(key)->member, "") << key;
  }
  EXPECT_TRUE(pad.app.longDesc.empty());
  EXPECT_EQ(pad.findings,
            (std::vector<std::string>{
                "Program_Release_Month \"13\" is not a month from 1 to 12.",
                "Program_Release_Year \"26\" is not a year of four digits.",
                "Program_Cost_Dollars is not stored: PRICE may not hold \"$\".",
                "Program_Type \"Commercial\" has no matching status; the status is not set.",
                "File_Size_Bytes is not stored: SIZE32 holds digits only.",
                "Filename_Versioned is 25 characters; the application filename holds 16.",
                "Filename_Generic \"too long.zip\" gives no 8 character name: You can only have "
                "alpha-numeric values in this field.",
                "Char_Desc_45 is 50 characters; the short description holds 46.",
                "Char_Desc_80 is not stored: The long description may not hold \"$\".",
                "Application_Info_URL is not stored: APPURL may not hold blanks.",
                "Application_Icon_URL is neither a .gif nor an .ico address; the profile keeps "
                "only those.",
            }));
  // A value longer than a profile file keeps, and one with a line break.
  PadContent big = PadImport(Pad("<Program_Info><Program_Name>T</Program_Name><Program_Version>" +
                                 std::string(1100, '9') +
                                 "</Program_Version></Program_Info><Company_Info><City_Town>a&#10;b"
                                 "</City_Town></Company_Info>"));
  EXPECT_EQ(big.app.version, "");
  EXPECT_EQ(big.findings, (std::vector<std::string>{
                              "City_Town holds a line break or a control character; it is not "
                              "stored.",
                              "Program_Version is 1100 characters; a profile value holds at most "
                              "1023.",
                          }));
}

TEST(PadImport, DescriptionsAreTakenAsTextLineForLine) {
  PadContent pad = PadImport(Pad(kProgramOnly + R"(
  <Program_Descriptions><English>
    <Char_Desc_45>&lt;b&gt;Tidy&lt;/b&gt; &amp;amp; quick</Char_Desc_45>
    <Char_Desc_2000><![CDATA[<p>Tidy   keeps
      <b>files</b> in order.</p><Ctrl>

Caf&eacute; &#8364;5]]></Char_Desc_2000>
  </English></Program_Descriptions>)"));
  EXPECT_EQ(pad.app.shortDesc, "<b>Tidy</b> &amp; quick");
  EXPECT_EQ(pad.app.longDesc, (Lines{"<p>Tidy   keeps", "      <b>files</b> in order.</p><Ctrl>",
                                     "", "Caf&eacute; &#8364;5"}));
  EXPECT_EQ(pad.findings, std::vector<std::string>{});
}

// Bytes a file's declared encoding does not allow, and an element given twice: never
// taken silently. A NUL (which the parser would cut the value at) and a duplicate
// refuse the file; a stray byte makes a finding naming the element and the byte, and
// the value is not stored.
TEST(PadImport, BytesAndElementsTheFileCannotMeanAreNeverTakenSilently) {
  const std::string name = "<Program_Info><Program_Name>Tidy</Program_Name>";
  struct Case {
    std::string body, encoding, outcome;
  } cases[] = {
      {name + "<Program_Version>1.0&#0;evil</Program_Version></Program_Info>", "UTF-8",
       "The PAD file holds a NUL character in \"Program_Version\"; it is refused."},
      {name + "<Program_Version>1.0&#x000;</Program_Version></Program_Info>", "windows-1252",
       "The PAD file holds a NUL character in \"Program_Version\"; it is refused."},
      {name + "<Program_Name>Other</Program_Name></Program_Info>", "UTF-8",
       "The PAD file gives Program_Name more than once; it is refused."},
      {kProgramOnly + "<Company_Info><City_Town>Br\x81stol</City_Town></Company_Info>",
       "windows-1252",
       "City_Town holds the byte 0x81, which Windows-1252 leaves undefined; it is not stored."},
      {kProgramOnly +
           "<Company_Info><Company_Name>R\xC3\xA9sum\xC3\xA9</Company_Name></Company_Info>",
       "windows-1252",
       "Company_Name holds the bytes 0xC3 0xA9, which are UTF-8 for \"\xE9\" while the file says "
       "it is Windows-1252; it is not stored."},
      {kProgramOnly + "<Company_Info><Company_Name>R\xE9sum\xE9</Company_Name></Company_Info>",
       "UTF-8",
       "Company_Name holds the byte 0xE9, which is not UTF-8 as the file says; it is not stored."},
  };
  for (const auto& c : cases) {
    std::string outcome;
    try {
      PadContent pad = PadImport(Pad(c.body, c.encoding));
      EXPECT_EQ(pad.company.name + pad.company.city, "") << c.body;
      for (const auto& f : pad.findings) outcome += f;
    } catch (const VendrixError& e) {
      outcome = e.what();
    }
    EXPECT_EQ(outcome, c.outcome) << c.body;
  }
}

TEST(PadImport, BrokenAndHostileFilesAreRefusedWhole) {
  // A DTD with an external entity: refused before anything is resolved.
  const std::string secret = ::testing::TempDir() + "/pad_secret.txt";
  WriteFileAtomic(secret, "SECRET-MARKER");
  const std::string xxe =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE XML_DIZ_INFO [\n"
      "  <!ENTITY xxe SYSTEM \"file://" +
      secret +
      "\">\n]>\n"
      "<XML_DIZ_INFO><Program_Info><Program_Name>&xxe;</Program_Name>"
      "</Program_Info></XML_DIZ_INFO>";
  const std::string kDtd = "The PAD file declares a DTD (<!DOCTYPE>); it is refused.";
  EXPECT_EQ(Refusal(xxe), kDtd);
  EXPECT_EQ(Refusal("<!DOCTYPE XML_DIZ_INFO SYSTEM \"http://127.0.0.1:9/pad.dtd\">" +
                    Pad(kProgramOnly).substr(Pad(kProgramOnly).find('\n'))),
            kDtd);
  // An entity the file never declares stays text; nothing is looked up.
  EXPECT_EQ(
      PadImport(Pad("<Program_Info><Program_Name>A&xxe;</Program_Name></Program_Info>")).app.name,
      "A&xxe;");

  EXPECT_EQ(Refusal(Pad(kProgramOnly) + std::string(5 << 20, ' ')),
            "The PAD file is larger than 4 MiB; it is refused.");
  EXPECT_EQ(Refusal("<?xml version=\"1.0\"?><rss><Program_Info/></rss>"),
            "The file is not a PAD file: its root element is \"rss\", not XML_DIZ_INFO; it is "
            "refused.");
  EXPECT_EQ(Refusal("<XML_DIZ_INFO><Program_Info></XML_DIZ_INFO>")
                .rfind("The PAD file is not well-formed XML (", 0),
            0u);
  EXPECT_EQ(Refusal("<XML_DIZ_INFO/><XML_DIZ_INFO/>"),
            "The PAD file is not well-formed XML (more than one root element); it is refused.");
  EXPECT_EQ(Refusal(""),
            "The PAD file is not well-formed XML (No document element found at "
            "byte 0); it is refused.");
  EXPECT_EQ(Refusal(Pad("")), "The PAD file gives no Program_Name; it is refused.");
  EXPECT_EQ(Refusal(Pad("<Program_Info><Program_Name>../x</Program_Name></Program_Info>")),
            "The PAD file's Program_Name cannot name an application: A name may not contain "
            "\"/\" or control characters, and may not be \".\" or \"..\".");
}

TEST(PadImport, FilesAreReadUpToTheLimit) {
  const std::string dir = ::testing::TempDir();
  const std::string big = dir + "/pad_big.xml";
  WriteFileAtomic(big, Pad(kProgramOnly) + std::string(5 << 20, ' '));
  try {
    ReadPadFile(big);
    ADD_FAILURE() << "a 5 MiB file was read";
  } catch (const VendrixError& e) {
    EXPECT_STREQ(e.what(), "The PAD file is larger than 4 MiB; it is refused.");
  }
  EXPECT_THROW(ReadPadFile(dir), VendrixError);  // a folder
  EXPECT_THROW(ReadPadFile(dir + "/pad_missing.xml"), VendrixError);
}

// Every leaf of the element list, found by its path in a parsed document.
std::vector<std::string> MissingElements(const std::string& xml) {
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_string(xml.c_str()));
  std::vector<std::string> missing;
  for (auto path : kPadElements) {
    std::string full = std::string(kPadRoot) + "/" + std::string(path);
    if (!doc.first_element_by_path(full.c_str())) missing.push_back(full);
  }
  return missing;
}

TEST(PadExport, WritesEveryElementAndSizesFromTheBytes) {
  CompanyProfile c;
  c.name = "Caf\xE9 Soft";
  c.contact = "Mary Ann Smith";
  AppProfile a;
  a.name = "Tidy";
  a.year = "99";
  a.size32 = "1843200";
  a.expireDate = "5-1-28";
  a.status = "Feature Limit Demo";
  a.expireAfter = "30";
  std::string xml = PadExport(c, a);
  EXPECT_TRUE(MissingElements(xml).empty()) << MissingElements(xml).front();
  pugi::xml_document doc;
  doc.load_string(xml.c_str());
  auto text = [&doc](const char* path) {
    return std::string(doc.first_element_by_path(path).child_value());
  };
  EXPECT_EQ(text("XML_DIZ_INFO/MASTER_PAD_VERSION_INFO/MASTER_PAD_EDITOR"), "Vendrix 2.08");
  EXPECT_EQ(text("XML_DIZ_INFO/Company_Info/Company_Name"), "Caf\xC3\xA9 Soft");  // UTF-8
  EXPECT_EQ(text("XML_DIZ_INFO/Company_Info/Contact_Info/Contact_First_Name"), "Mary Ann");
  EXPECT_EQ(text("XML_DIZ_INFO/Program_Info/Program_Release_Year"), "1999");
  EXPECT_EQ(text("XML_DIZ_INFO/Program_Info/File_Info/File_Size_K"), "1800");
  EXPECT_EQ(text("XML_DIZ_INFO/Program_Info/File_Info/File_Size_MB"), "1.76");
  EXPECT_EQ(text("XML_DIZ_INFO/Program_Info/Expire_Info/Expire_Year"), "2028");
  // A feature-limited demo with days to run says so; the status PAD has no word for goes
  // into the program's own block.
  EXPECT_EQ(text("XML_DIZ_INFO/Program_Info/Expire_Info/Has_Expire_Info"), "Y");
  EXPECT_EQ(text("XML_DIZ_INFO/Program_Info/Program_Type"), "Demo");
  EXPECT_EQ(text("XML_DIZ_INFO/Vendrix_Profile/Status"), "Feature Limit Demo");

  a.shortDesc = "bell\x07";
  EXPECT_THROW(PadExport(c, a), VendrixError);
}

// An application and its company as the profile files hold them.
std::pair<CompanyProfile, AppProfile> StoredProfile(const std::string& dir,
                                                    const std::string& company,
                                                    const std::string& app) {
  const IniDocument companyFile = IniDocument::Load(dir + "companies/" + company + ".dat");
  CompanyProfile c = ReadCompanySection(companyFile);
  AppProfile a;
  ReadAppSection(IniDocument::Load(dir + "data/" + app + ".dat"), a);
  a.longDesc = LoadLines(dir + "data/" + app + ".lds").value_or(Lines{});
  a.notes = LoadLines(dir + "data/" + app + ".nts").value_or(Lines{});
  c.name = company;
  a.name = app;
  return {c, a};
}

// Export and import again: every value a PAD file carries comes back as it was, and
// where one cannot, a finding names its element. The demo's profiles, a plain one, and
// one with every odd value a round trip used to change.
TEST(PadExport, ARoundTripChangesNothingWithoutAFinding) {
  struct Case {
    std::string what;
    CompanyProfile c;
    AppProfile a;
    std::vector<std::string> findings;  // of the export, then of the import
  };
  std::vector<Case> cases;
  const std::string demo = std::string(VENDRIX_PEERS_DIR) + "/../../share/demo/";
  for (const char* app : {"Tidy Notes", "Pixel Ruler"}) {
    auto [c, a] = StoredProfile(demo, "Brightfield Software", app);
    cases.push_back({app, c, a, {}});
  }
  {
    CompanyProfile c;
    c.name = "Acme";
    c.contact = "Jo Bloggs";
    c.email = "jo@acme.example";
    c.address = "1 Main St, Suite 5";
    c.phone = "555";
    c.fax = "556";
    c.salesEmail = "s@acme.example";
    c.url = "https://acme.example/";
    AppProfile a;
    a.name = "Tidy";
    a.fileName = "tidy12.zip";
    a.char8 = "tidy";
    a.version = "1.2";
    a.day = "9";
    a.month = "12";
    a.year = "26";
    a.platform = "Windows 95 and NT";
    a.size32 = "12345";
    a.price = "0.00";
    a.status = "Beta";
    a.expireAfter = "14";
    a.expireDate = "01/02/27";
    a.eval = "two weeks";
    a.installer = "Uninstall Feature Only";
    a.appUrl = "https://acme.example/tidy?x=1&y=<2>";
    a.dl1_32 = "ftp://acme.example/t.zip";
    a.dl4_32 = "https://x.example/t.zip";
    a.screenshotUrl = "https://acme.example/s.png";
    a.gifUrl = "https://acme.example/i.gif";
    a.padUrl = "https://acme.example/pad.xml";
    a.shortDesc = "A tidy tool & more";
    a.longDesc = {"First line with \xE9", "", "Third line"};
    a.notes = {"PAD operating systems: Win98,WinXP,Linux", "PAD category: Utilities::Misc",
               "PAD keywords: a, b"};
    cases.push_back({"plain", c, a, {}});
  }
  {
    CompanyProfile c;
    c.name = "Odd & Co";
    c.contact = " Mira  Holt ";
    c.city = "  Bristol";
    AppProfile a;
    a.name = "Odd Tool";
    a.version = "1.0 ";
    a.status = "Public Domain";
    a.expireAfter = "30";
    a.expireDate = "31-12-2027";
    a.gifUrl = "https://odd.example/i.gif";
    a.icoUrl = "https://odd.example/i.ico";
    a.shortDesc = std::string(46, 's');
    for (int i = 0; i < 41; ++i) {
      a.longDesc.push_back(i % 5 == 0 ? ""
                                      : "  line " + std::to_string(i) + " <b>bold</b> <Ctrl> ");
    }
    a.longDesc.push_back(std::string(700, 'x'));
    a.longDesc.push_back(std::string(900, 'y'));
    a.notes = {"PAD operating systems: Linux,macOS"};
    cases.push_back({"odd",
                     c,
                     a,
                     {"Char_Desc_45: 46 characters, cut to 45",
                      "Char_Desc_2000: 2,562 characters, cut to 2,000"}});
  }
  for (const auto& k : cases) {
    std::vector<std::string> found;
    PadContent back = PadImport(PadExport(k.c, k.a, &found));
    found.insert(found.end(), back.findings.begin(), back.findings.end());
    EXPECT_EQ(found, k.findings) << k.what;
    auto told = [&](std::string_view element) {
      for (const auto& f : found) {
        if (f.rfind(element, 0) == 0) return true;
      }
      return false;
    };
    for (const auto& f : kCompanyFields) {
      if (f.key != "BHSID" && f.key != "CTITLE") {
        EXPECT_EQ(back.company.*f.member, k.c.*f.member) << k.what << " " << f.key;
      }
    }
    for (const auto& f : kAppFields) {
      const bool carried = f.key.find("16") == std::string_view::npos &&
                           f.key.find("PATH") == std::string_view::npos && f.key != "DSTATUS" &&
                           f.key != "INSTSIZE32" &&
                           // The package managers' keys have no PAD element.
                           std::string_view(
                               "LICENSE LICENSEURL PKGID TAGS INSTKIND SILENT "
                               "PKGEXE RELNOTES")
                                   .find(f.key) == std::string_view::npos;
      if (!carried || (f.key == "SHORTDESC" && told("Char_Desc_45"))) continue;
      EXPECT_EQ(back.app.*f.member, k.a.*f.member) << k.what << " " << f.key;
    }
    if (!told("Char_Desc_2000")) {
      EXPECT_EQ(back.app.longDesc, k.a.longDesc) << k.what;
    }
    // Of the notes, the PAD lines travel; the person's own lines stay at home (an import
    // keeps them).
    Lines padLines;
    for (const auto& line : k.a.notes) {
      if (line.rfind("PAD ", 0) == 0) padLines.push_back(line);
    }
    EXPECT_EQ(back.app.notes, padLines) << k.what;
  }
}

TEST(PadExport, ALinkOrDeviceInThePathIsNotReplaced) {
  const std::string dir = ::testing::TempDir();
  const std::string target = dir + "/pad_target.txt";
  const std::string link = dir + "/pad_link.xml";
  WriteFileAtomic(target, "keep");
  ::unlink(link.c_str());
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  AppProfile a;
  a.name = "Tidy";
  EXPECT_THROW(WritePadFile(link, {}, a), VendrixError);
  struct stat st {};
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadWholeFile(target), "keep");
  ::unlink(link.c_str());
}

class PadPlanTest : public SessionTest {
 protected:
  PadPlan Plan(const std::string& xml, std::optional<std::string> company, bool update) {
    return PlanPadImport(session->Wide(), session->Company().Names(), PadImport(xml), company,
                         update);
  }
  std::string Changed(const PadPlan& plan) {
    std::string fields;
    for (const auto& c : plan.changes) fields += c.field + " ";
    return fields;
  }
};

TEST_F(PadPlanTest, ANewCompanyAndApplicationAreMadeFromTheFile) {
  PadPlan plan = Plan(kFull, std::nullopt, false);
  EXPECT_TRUE(plan.newCompany);
  EXPECT_TRUE(plan.newApp);
  EXPECT_EQ(plan.company, "Acme Tools");
  EXPECT_EQ(plan.changes.front().field, "CONAME");
  EXPECT_FALSE(PadPlanRefusal(plan));
  EXPECT_FALSE(FileExists(Data("data/Tidy Tool.dat")));  // planning writes nothing

  ApplyPadPlan(session->Company(), session->App(), plan);
  Restart();
  ASSERT_TRUE(session->ChooseCompany("Acme Tools"));
  EXPECT_EQ(session->Company().Profile().contact, "Jo Bloggs");
  ASSERT_TRUE(session->App().Select("Tidy Tool"));
  const AppProfile& a = session->App().Profile();
  EXPECT_EQ(a.status, "Time Limit Demo");
  EXPECT_EQ(a.padUrl, "https://acme.example/tidy/pad.xml");
  EXPECT_EQ(a.longDesc, Lines{"Keeps your files tidy, every day."});
  // The same file again changes nothing, and an existing application needs updating.
  PadPlan again = Plan(kFull, std::nullopt, false);
  EXPECT_TRUE(again.appExists);
  EXPECT_EQ(Changed(again), "");
  EXPECT_EQ(PadPlanRefusal(again),
            "The application Tidy Tool exists already; it is changed only when you choose to "
            "update it.");
  EXPECT_THROW(ApplyPadPlan(session->Company(), session->App(), again), VendrixError);
}

TEST_F(PadPlanTest, AnUpdateChangesOnlyWhatTheFileGives) {
  AddCompany("Acme Tools");
  session->Company().SetField("CTITLE", "Boss");
  session->Company().SetField("CONTACT", "Old Name");
  session->Company().SaveCompany();
  AddApp("Tidy Tool");
  session->App().SetField("DSTATUS", "Author");
  session->App().SetField("VERSION", "1.0");
  session->App().SetField("SHORTDESC", "Old text");
  session->App().SetNotes({"Reg code: X1", "PAD keywords: old"});
  session->App().SaveApp();

  const std::string xml =
      Pad("<Company_Info><Contact_Info><Contact_First_Name>New</Contact_First_Name>"
          "</Contact_Info></Company_Info>"
          "<Program_Info><Program_Name>Tidy Tool</Program_Name><Program_Version>2.0"
          "</Program_Version><Program_Category_Class>Games</Program_Category_Class></Program_Info>"
          "<Program_Descriptions><English><Keywords>new</Keywords><Char_Desc_45></Char_Desc_45>"
          "</English></Program_Descriptions>");
  // Without updating, the existing company keeps its fields and is not in the table.
  EXPECT_EQ(Changed(Plan(xml, "Acme Tools", false)), "VERSION NOTES ");
  PadPlan plan = Plan(xml, "Acme Tools", true);
  EXPECT_EQ(Changed(plan), "CONTACT VERSION NOTES ");
  EXPECT_EQ(plan.changes[0].oldValue, "Old Name");
  EXPECT_EQ(plan.changes[0].newValue, "New");
  ApplyPadPlan(session->Company(), session->App(), plan);

  Restart();
  ASSERT_TRUE(session->ChooseCompany("Acme Tools"));
  EXPECT_EQ(session->Company().Profile().title, "Boss");
  EXPECT_EQ(session->Company().Profile().contact, "New");
  ASSERT_TRUE(session->App().Select("Tidy Tool"));
  const AppProfile& a = session->App().Profile();
  EXPECT_EQ(a.version, "2.0");
  EXPECT_EQ(a.submitter, "Author");
  EXPECT_EQ(a.shortDesc, "Old text");  // an empty element is "not given"
  EXPECT_EQ(a.notes, (Lines{"Reg code: X1", "PAD category: Games", "PAD keywords: new"}));
}

TEST_F(PadPlanTest, TheCompanyGivenWinsAndBadNamesAreRefused) {
  AddCompany("Mine");
  PadPlan plan = Plan(kFull, "Mine", false);
  EXPECT_FALSE(plan.newCompany);
  EXPECT_EQ(Changed(plan).find("CONTACT"), std::string::npos);
  ApplyPadPlan(session->Company(), session->App(), plan);
  EXPECT_EQ(session->App().Names(), Lines{"Tidy Tool"});
  EXPECT_EQ(session->Company().Names(), Lines{"Mine"});

  EXPECT_THROW(Plan(Pad(kProgramOnly), std::nullopt, false), VendrixError);  // no company name
  EXPECT_THROW(Plan(Pad("<Company_Info><Company_Name>companies</Company_Name></Company_Info>" +
                        kProgramOnly),
                    std::nullopt, false),
               VendrixError);
}

TEST_F(PadPlanTest, TheWindowsCommandsAskBeforeTheyWrite) {
  const std::string file = Data("tidy.xml");
  WriteFileAtomic(file, kFull);
  int previews = 0;
  auto refuse = [&previews](const PadPlan&) { return ++previews, false; };
  auto accept = [&previews](const PadPlan& plan) { return ++previews, !plan.changes.empty(); };

  prompt.files = {file};
  EXPECT_FALSE(ImportPadFile(*session, refuse));  // Cancel in the preview
  EXPECT_EQ(previews, 1);
  EXPECT_TRUE(session->Company().Names().empty());
  prompt.files = {file};
  EXPECT_TRUE(ImportPadFile(*session, accept));
  EXPECT_EQ(session->Company().Shown(), "Acme Tools");
  EXPECT_EQ(session->App().Shown(), "Tidy Tool");

  // An unsaved edit is offered for saving; Cancel stops before any question.
  session->App().SetField("VERSION", "9.9");
  prompt.files = {file};
  prompt.answers = {Answer::Cancel};
  EXPECT_FALSE(ImportPadFile(*session, accept));
  EXPECT_EQ(previews, 2);
  // Saved, then the existing application is updated only after its question.
  prompt.files = {file};
  prompt.answers = {Answer::Yes, Answer::No};
  EXPECT_FALSE(ImportPadFile(*session, accept));
  EXPECT_TRUE(prompt.Saw(
      "confirm: The application Tidy Tool already exists. Update it with the values of the PAD "
      "file?"));
  EXPECT_EQ(previews, 2);
  prompt.files = {file};
  prompt.answers = {Answer::Yes};
  EXPECT_TRUE(ImportPadFile(*session, accept));
  EXPECT_EQ(session->App().Profile().version, "3.2.1");

  // A refused file is an error box.
  WriteFileAtomic(file, "<rss/>");
  prompt.files = {file};
  EXPECT_FALSE(ImportPadFile(*session, accept));
  EXPECT_EQ(prompt.log.back(),
            "error: The file is not a PAD file: its root element is \"rss\", not XML_DIZ_INFO; "
            "it is refused.");

  // The export writes the shown application where the save chooser says.
  prompt.files = {Data("out.xml")};
  EXPECT_TRUE(ExportPadFile(*session));
  EXPECT_EQ(prompt.log.back(), "save: Export PAD File [PAD Files|*.XML]");
  EXPECT_EQ(PadImport(*ReadWholeFile(Data("out.xml"))).app.version, "3.2.1");
  EXPECT_FALSE(ExportPadFile(*session));  // cancelled
}

}  // namespace
}  // namespace vendrix::test
