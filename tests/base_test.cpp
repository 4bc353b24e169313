#include <fcntl.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "base/clock.h"
#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_batch.h"
#include "base/file_io.h"
#include "base/file_reader.h"
#include "base/folder_listing.h"
#include "base/ini_file.h"
#include "base/line_list.h"
#include "base/names.h"
#include "base/program_settings.h"
#include "base/text_order.h"
#include "base/tree_lock.h"
#include "support/temp_dir.h"

namespace vendrix {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

TEST(Cp1252, EveryByteRoundTripsThroughUtf8) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  std::string utf8 = Cp1252ToUtf8(all);
  EXPECT_EQ(Utf8ToCp1252(utf8), all);
  EXPECT_EQ(Cp1252ToUtf8("\x80\xB1\xE9"), "\u20AC\u00B1\u00E9");
  EXPECT_EQ(Cp1252ToUtf8("ab\xE9"
                         "cd\x80"),
            "ab\u00E9cd\u20AC");  // runs of ASCII between converted bytes
}

TEST(Cp1252, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1252("a\u4E2Db"), "a?b");
  EXPECT_EQ(Utf8ToCp1252("\xF0\x9F\x98\x80"), "?");
  EXPECT_EQ(Utf8ToCp1252("x\xC3"), "x?");  // truncated sequence
}

TEST(Cp1252, TheExactConversionRefusesWhatTheCodePageCannotHold) {
  EXPECT_EQ(Utf8ToCp1252Exact("\u20AC caf\u00E9 \u0152"), std::string("\x80 caf\xE9 \x8C"));
  // Two names that would both become "?mega" are refused instead of made one.
  EXPECT_FALSE(Utf8ToCp1252Exact("\u03A9mega"));
  EXPECT_FALSE(Utf8ToCp1252Exact("\u03A3mega"));
  EXPECT_FALSE(Utf8ToCp1252Exact("x\xC3"));
  EXPECT_FALSE(Utf8ToCp1252Exact("\xFF"));
}

// Overlong forms would let a "/" or a NUL slip past a check made on the UTF-8 text;
// surrogates and code points past U+10FFFF are no characters at all.
TEST(Cp1252, OverlongAndSurrogateFormsAreNotUtf8) {
  for (const char* bad : {"\xC0\xAF", "\xC1\x81", "\xC0\x80", "\xE0\x80\xAF", "\xF0\x80\x80\xAF",
                          "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "x\xE2\x82"}) {
    EXPECT_FALSE(IsUtf8(bad)) << bad;
    EXPECT_FALSE(Utf8ToCp1252Exact(bad)) << bad;
  }
  EXPECT_EQ(Utf8ToCp1252(std::string("a\xC0\xAF") + "z"), "a??z");
  EXPECT_TRUE(IsUtf8("\u00E9\u20AC\U0010FFFF\uD7FF\uE000"));
  EXPECT_TRUE(IsUtf8(std::string("nul\0inside", 10)));
}

// Text entering the core is stored exactly or refused with a reason, never changed.
TEST(Cp1252, TextEnteringTheCoreIsStoredExactlyOrRefused) {
  EXPECT_EQ(Utf8ToCp1252Checked("\u0152uvre \u20AC", "The name"), "\x8Cuvre \x80");
  try {
    Utf8ToCp1252Checked("\u0141x Soft", "\"?x Soft\"");
    FAIL() << "a character outside the code page must be refused";
  } catch (const VendrixError& e) {
    EXPECT_STREQ(e.what(),
                 "\"?x Soft\" holds characters that Windows-1252 cannot hold; use others.");
  }
  // What a validator names: the first character the code page lacks, whole.
  EXPECT_EQ(FirstCharNotInCp1252("caf\u00E9 \u2713 \u65E5"), "\u2713");
  EXPECT_EQ(FirstCharNotInCp1252("ab\xFF"), "\xFF");
  EXPECT_FALSE(FirstCharNotInCp1252("caf\u00E9 \u20AC"));
  // A file's text: UTF-8 is converted exactly, other bytes are Windows-1252 already.
  EXPECT_EQ(FileTextToCp1252("caf\u00E9\r\n", "The file"), "caf\xE9\r\n");
  EXPECT_EQ(FileTextToCp1252("caf\xE9\r\n", "The file"), "caf\xE9\r\n");
  EXPECT_THROW(FileTextToCp1252("\u2713 \u65E5", "The file"), VendrixError);
}

TEST(AtomicWrite, AMessageHoldsANonAsciiPathOnceConverted) {
  TempDir dir;
  const std::string path = dir / "M\u00FCller/file.dat";  // the folder does not exist
  try {
    WriteFileAtomic(path, "x");
    FAIL() << "the write should fail";
  } catch (const VendrixError& e) {
    // Messages are Windows-1252 like every text of the core: converted to UTF-8 once
    // at the terminal, the name reads as it was typed.
    EXPECT_EQ(Cp1252ToUtf8(e.what()), "Unable to write to " + path + ": No such file or directory");
  }
}

TEST(LineList, AllThreeLineEndsSplitAndCrLfIsWritten) {
  EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\r\n\r\nb\r\n"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitLines(""), Lines{});
  EXPECT_EQ(SplitLines("\n"), Lines{""});
  EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
  EXPECT_EQ(NormaliseLineEnds("a\rb\nc\r\nd"), "a\r\nb\r\nc\r\nd");

  TempDir dir;
  SaveLines(dir / "l.dat", {"x", "y"});
  EXPECT_EQ(*ReadFile(dir / "l.dat"), "x\r\ny\r\n");
  EXPECT_FALSE(LoadLines(dir / "missing.dat"));
}

TEST(Ini, MissingFileOrKeyGivesTheDefault) {
  TempDir dir;
  EXPECT_EQ(IniReadString(dir / "none.ini", "S", "K", "dflt"), "dflt");
  WriteFile(dir / "a.ini", "[S]\r\nK=v\r\n");
  EXPECT_EQ(IniReadString(dir / "a.ini", "S", "OTHER", "d"), "d");
  EXPECT_EQ(IniReadString(dir / "a.ini", "T", "K", "d"), "d");
  EXPECT_EQ(IniReadInteger(dir / "a.ini", "S", "K", 7), 7);  // not a number
}

TEST(Ini, NamesMatchWithoutCaseAndValuesAreTrimmedAndUnquoted) {
  auto doc = IniDocument::Parse("; comment\r\n[Settings]\r\n  use_cat1 = 1 \r\nQ=\"quoted \"\r\n");
  EXPECT_EQ(doc.ReadString("SETTINGS", "USE_CAT1", ""), "1");
  EXPECT_EQ(doc.ReadString("settings", "q", ""), "quoted ");
  EXPECT_TRUE(doc.ReadBool("SETTINGS", "Use_Cat1", false));
}

TEST(Ini, EveryValueReadsBackAsItWasWritten) {
  const std::string values[] = {"'pw'",   "\"pw\"", " lead", "trail ", "\tx\t", "\"",
                                "\"open", "a\"b\"", "''",    "\"\"",   "plain", ""};
  IniDocument doc;
  for (std::size_t i = 0; i < std::size(values); ++i) {
    doc.WriteString("S", "K" + std::to_string(i), values[i]);
  }
  IniDocument again = IniDocument::Parse(doc.Text());
  for (std::size_t i = 0; i < std::size(values); ++i) {
    EXPECT_EQ(again.ReadString("S", "K" + std::to_string(i), "?"), values[i]) << values[i];
  }
  // Other values are written byte for byte as before.
  EXPECT_NE(doc.Text().find("\r\nK10=plain\r\n"), std::string::npos);
  EXPECT_NE(doc.Text().find("\r\nK7=a\"b\"\r\n"), std::string::npos);
  EXPECT_NE(doc.Text().find("\r\nK0=\"'pw'\"\r\n"), std::string::npos);
}

TEST(Ini, ReadsReturnAtMost1023Characters) {
  auto doc = IniDocument::Parse("[S]\r\nK=" + std::string(1500, 'x') + "\r\n");
  EXPECT_EQ(doc.ReadString("S", "K", "").size(), 1023u);
}

TEST(Ini, IntegersAcceptHexadecimalAndRefuseOtherText) {
  EXPECT_EQ(ParseIniInteger("0x1", 9), 1);
  EXPECT_EQ(ParseIniInteger("0X1F", 9), 31);
  EXPECT_EQ(ParseIniInteger("0x", 9), 9);  // two characters: not hexadecimal
  EXPECT_EQ(ParseIniInteger("-12", 9), -12);
  EXPECT_EQ(ParseIniInteger("12abc", 9), 9);
  EXPECT_EQ(ParseIniInteger("", 9), 9);
  EXPECT_EQ(ParseIniInteger("99999999999", 9), 9);
  auto doc = IniDocument::Parse("[S]\r\nB=2\r\nZ=0\r\nX=yes\r\n");
  EXPECT_TRUE(doc.ReadBool("S", "B", false));
  EXPECT_FALSE(doc.ReadBool("S", "Z", true));
  EXPECT_TRUE(doc.ReadBool("S", "X", true));  // no number: the default
}

TEST(Ini, TheQuickScanReadsWhatTheDocumentReads) {
  const std::string first =
      "[Other]\r\nUSE_EMAIL=9\r\n[settings]\nuse_email = 1 \r; USE_CAT1=1\r\n"
      "SITE_TYPE=\"2\"\r\nSITE_TYPE=1\r\nNAME=" +
      std::string(1500, 'x') + "\r\n[SETTINGS]\r\nUSE_CAT2=1\r\n";
  // Lone CRs only, keys after blanks, a line without "=", a last line without its end.
  const std::string second =
      " [SETTINGS] \r  \tUSE_CAT1 = 7\rUSE_CAT2\r=x\r\t;NAME=n\r\rUSE_EMAIL=\rSITE_TYPE=3";
  const std::string_view keys[] = {"USE_EMAIL", "SITE_TYPE", "USE_CAT1", "USE_CAT2", "NAME"};
  std::optional<std::string_view> values[5];
  for (const std::string* text : {&second, &first}) {
    ScanIniValues(*text, "SETTINGS", keys, values, 5);
    IniDocument doc = IniDocument::Parse(*text);
    for (int i = 0; i < 5; ++i) {
      SCOPED_TRACE(std::string(keys[i]));
      auto expected = doc.Get("SETTINGS", keys[i]);
      ASSERT_EQ(values[i].has_value(), expected.has_value());
      if (expected) {
        EXPECT_EQ(std::string(values[i]->substr(0, kIniMaxValue)), *expected);
      }
    }
  }
  EXPECT_EQ(values[0], "1");  // first matching section only; key case ignored
  EXPECT_EQ(values[1], "2");  // first key wins, quotes removed
  EXPECT_FALSE(values[2]);    // a comment line holds no key
  EXPECT_FALSE(values[3]);    // a second section of the same name is not read
}

TEST(FolderListing, AListedFolderAnswersForItsNamesAndTheNextScopeListsAgain) {
  TempDir dir;
  test::WriteFile(dir / "sites/A.ini", "x");
  test::WriteFile(dir / "sites/A HTTP_NEW.scp", "x");
  const std::string sites = dir / "sites";
  struct Case {
    std::string path;
    bool mayExist;
  } cases[] = {{sites + "/A.ini", true},
               {sites + "/A HTTP_NEW.scp", true},
               {sites + "/A EMAIL_NEW.scp", false},
               {sites + "/a.ini", false},   // names are compared exactly
               {dir / "none/A.ini", true},  // a folder that cannot be listed
               {"A.ini", true}};            // no folder named
  {
    FolderListing listing;
    EXPECT_EQ(FolderListing::Current(), &listing);
    // The first questions about a folder are answered without listing it.
    for (int k = 0; k < FolderListing::kUnlistedQuestions; ++k) {
      EXPECT_TRUE(listing.MayExist(sites + "/B EMAIL_NEW.scp"));
      EXPECT_TRUE(listing.MayExist(dir / "none/B.ini"));
    }
    EXPECT_EQ(listing.Listed(), 0u);
    for (const auto& c : cases) EXPECT_EQ(listing.MayExist(c.path), c.mayExist) << c.path;
    EXPECT_EQ(listing.Listed(), 2u);
    {
      FileBatch batch;
      EXPECT_TRUE(listing.MayExist(sites + "/A EMAIL_NEW.scp")) << "a batch may hold it";
    }
  }
  EXPECT_EQ(FolderListing::Current(), nullptr);
  // A file made after a listing ended is seen by the next one.
  test::WriteFile(dir / "sites/A EMAIL_NEW.scp", "x");
  FolderListing next;
  for (int k = 0; k < FolderListing::kUnlistedQuestions; ++k) next.MayExist(sites + "/B.ini");
  EXPECT_TRUE(next.MayExist(sites + "/A EMAIL_NEW.scp"));
  EXPECT_FALSE(next.MayExist(sites + "/A EMAIL_UPDATE.scp"));
}

TEST(FileReader, ReadsWholeFilesOfAnySizeThroughOneBuffer) {
  TempDir dir;
  const std::string big(200000, 'b');  // larger than the buffer it starts with
  WriteFile(dir / "big.ini", big);
  WriteFile(dir / "small.ini", "s\r\n");
  WriteFile(dir / "empty.ini", "");
  ASSERT_EQ(::mkdir((dir / "folder.ini").c_str(), 0700), 0);
  FileReader reader;
  ASSERT_TRUE(reader.OpenFolder(dir.path()));
  EXPECT_EQ(reader.Read("big.ini"), big);
  EXPECT_EQ(reader.Read("small.ini"), "s\r\n");  // nothing of the longer file before it
  EXPECT_EQ(reader.Read("empty.ini"), "");
  EXPECT_EQ(reader.Read("gone.ini"), std::nullopt);
  EXPECT_THROW(reader.Read("folder.ini"), VendrixError);
  EXPECT_EQ(reader.Read("small.ini"), "s\r\n");
  // Without a folder names are paths; a folder that cannot be opened holds nothing.
  FileReader paths;
  EXPECT_EQ(paths.Read(dir / "small.ini"), "s\r\n");
  EXPECT_FALSE(paths.OpenFolder(dir / "missing"));
  EXPECT_EQ(paths.Read(dir / "small.ini"), std::nullopt);
}

TEST(Ini, WritesKeepTheFileAndAddNewKeysAtTheEndOfTheirSection) {
  TempDir dir;
  std::string path = dir / "f.ini";
  WriteFile(path, "; keep me\r\n[A]\r\nx=1\r\ny=2\r\n\r\n[B]\r\nz=3\r\n");
  IniWriteString(path, "a", "Y", "two");
  IniWriteString(path, "A", "new", "n");
  IniWriteString(path, "C", "k", "v");
  EXPECT_EQ(*ReadFile(path),
            "; keep me\r\n[A]\r\nx=1\r\ny=two\r\nnew=n\r\n\r\n[B]\r\nz=3\r\n[C]\r\nk=v\r\n");
  IniWriteBool(path, "B", "flag", true);
  IniWriteInteger(path, "B", "n", -4);
  EXPECT_EQ(IniReadString(path, "B", "flag", ""), "1");
  EXPECT_EQ(IniReadInteger(path, "B", "n", 0), -4);
}

TEST(Ini, BatchWriteGivesTheSameFileAsKeyByKeyWrites) {
  TempDir dir;
  const std::string start = "[S]\r\nB=old\r\n[T]\r\nq=1\r\n";
  WriteFile(dir / "one.ini", start);
  WriteFile(dir / "batch.ini", start);
  const std::pair<const char*, const char*> keys[] = {{"A", "1"}, {"B", "2"}, {"C", "3"}};
  for (auto [k, v] : keys) IniWriteString(dir / "one.ini", "S", k, v);
  IniWriteString(dir / "one.ini", "U", "z", "9");
  IniDocument doc = IniDocument::Load(dir / "batch.ini");
  for (auto [k, v] : keys) doc.WriteString("S", k, v);
  doc.WriteString("U", "z", "9");
  doc.Save(dir / "batch.ini");
  EXPECT_EQ(*ReadFile(dir / "one.ini"), *ReadFile(dir / "batch.ini"));
}

TEST(Ini, ALineBreakInAValueCannotSplitTheFile) {
  IniDocument doc;
  doc.WriteString("S", "K", "a\r\n[EVIL]\nx=1");
  EXPECT_EQ(doc.Get("EVIL", "x"), std::nullopt);
  EXPECT_EQ(doc.Text(), "[S]\r\nK=a  [EVIL] x=1\r\n");
}

// A full disk in the middle of a save: the file size limit makes write() fail.
TEST(AtomicWrite, AFailedWriteLeavesTheOldFileWhole) {
  TempDir dir;
  std::string path = dir / "company.dat";
  WriteFile(path, "[COMPANY]\r\nCONAME=Acme\r\n");
  struct sigaction ignore {
  }, old{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &old);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 16;
  setrlimit(RLIMIT_FSIZE, &small);
  std::string message;
  try {
    IniWriteString(path, "COMPANY", "CONTACT", std::string(1000, 'x'));
  } catch (const VendrixError& e) {
    message = e.what();
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &old, nullptr);
  EXPECT_EQ(message, "Unable to write to " + path + ": File too large");  // with the reason
  EXPECT_EQ(*ReadFile(path), "[COMPANY]\r\nCONAME=Acme\r\n");
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_EQ(e.path().filename(), "company.dat") << "temporary file left behind";
  }
}

// A file for its owner only has those permissions from its first byte on; without a
// mode the file replaced keeps its own. The temporary file is hidden and goes away.
TEST(AtomicWrite, TheModeIsSetBeforeTheDataAndKeptOtherwise) {
  TempDir dir;
  const std::string path = dir / "vendrix.ini";
  WriteFile(path, "old");
  ::chmod(path.c_str(), 0644);
  WriteFileAtomic(path, "PASSWORD=x\r\n", {.flush = false, .mode = 0600});
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  WriteFileAtomic(path, "PASSWORD=y\r\n");
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(*ReadFile(path), "PASSWORD=y\r\n");
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_EQ(e.path().filename(), "vendrix.ini") << "temporary file left behind";
  }
}

TEST(AtomicWrite, AWriteIntoAMissingFolderFailsWithTheFileName) {
  TempDir dir;
  EXPECT_THROW(
      {
        try {
          WriteFileAtomic(dir / "no/such/file.dat", "x");
        } catch (const VendrixError& e) {
          EXPECT_EQ(std::string(e.what()), "Unable to write to " + (dir / "no/such/file.dat") +
                                               ": No such file or directory");
          throw;
        }
      },
      VendrixError);
}

TEST(Names, NamesThatLeaveTheirFolderAreRefused) {
  EXPECT_FALSE(CheckEntryName("Acme Software"));
  EXPECT_FALSE(CheckEntryName("Caf\xE9 & Co. (UK)"));
  EXPECT_TRUE(CheckEntryName("a/b"));
  EXPECT_TRUE(CheckEntryName("../../etc/passwd"));
  EXPECT_TRUE(CheckEntryName("."));
  EXPECT_TRUE(CheckEntryName(".."));
  EXPECT_TRUE(CheckEntryName("tab\there"));
  EXPECT_TRUE(CheckEntryName(std::string("nul\0x", 5)));
  EXPECT_NE(CheckEntryName("a/b")->find("\"/\""), std::string::npos);
}

TEST(Names, EachKindIsCheckedAgainstItsLongestFileAndTheProgramsOwnFiles) {
  // 90 "\u20AC" are 270 bytes on disk; 247 letters make a 257-byte site table name.
  EXPECT_TRUE(CheckEntryName(std::string(90, '\x80'), EntryKind::Company));
  // Each file is written first as "." + its name + ".XXXXXX": 8 bytes more.
  EXPECT_TRUE(CheckEntryName(std::string(238, 'a'), EntryKind::App));
  EXPECT_FALSE(CheckEntryName(std::string(237, 'a'), EntryKind::App));  // "._SITES.dat.XXXXXX"
  EXPECT_TRUE(CheckEntryName(std::string(239, 'a'), EntryKind::Company));
  EXPECT_FALSE(CheckEntryName(std::string(238, 'a'), EntryKind::Company));  // ". Apps.dat.XXXXXX"
  EXPECT_TRUE(CheckEntryName(std::string(231, 'a'), EntryKind::Site));
  EXPECT_FALSE(CheckEntryName(std::string(230, 'a'), EntryKind::Site));  // " EMAIL_UPDATE.scp"
  EXPECT_FALSE(CheckEntryName(std::string(247, 'a')));                   // no kind: no length rule
  EXPECT_TRUE(CheckEntryName("companies", EntryKind::Company));
  EXPECT_FALSE(CheckEntryName("companies", EntryKind::App));
  EXPECT_TRUE(CheckEntryName("Tool_SITES", EntryKind::App));
  EXPECT_TRUE(CheckEntryName("Plus\xB1Minus", EntryKind::Site));
  EXPECT_FALSE(CheckEntryName("Plus\xB1Minus", EntryKind::App));
  Lines rejected;
  EXPECT_EQ(FilterNames({"", "Acme", "a/b", ""}, &rejected), Lines{"Acme"});
  EXPECT_EQ(rejected, Lines{"a/b"});  // blank lines are dropped without a report
}

TEST(TextOrder, SortIgnoresCaseAndIsStable) {
  Lines names = {"beta", "Alpha", "alpha", "Gamma", "ALPHA"};
  SortNoCase(names);
  EXPECT_EQ(names, (Lines{"Alpha", "alpha", "ALPHA", "beta", "Gamma"}));
  EXPECT_EQ(InsertSorted(names, "Beta"), 4u);
  EXPECT_EQ(IndexOf(names, "alpha"), 1);
  EXPECT_EQ(IndexOf(names, "ALPHa"), -1);
}

TEST(TextOrder, CaseIsIgnoredForEveryWindows1252Letter) {
  Lines names = {"\xE9t\xE9",
                 "Zeta",
                 "\xC9T\xC9 2",
                 "\x9A"
                 "a",
                 "\x8A"
                 "b",
                 "\xFF",
                 "\x9F"
                 "a"};
  SortNoCase(names);
  EXPECT_EQ(names, (Lines{"Zeta",
                          "\x9A"
                          "a",
                          "\x8A"
                          "b",
                          "\xE9t\xE9", "\xC9T\xC9 2", "\xFF",
                          "\x9F"
                          "a"}));
  EXPECT_FALSE(LessNoCase("\xC9", "\xE9"));
  EXPECT_FALSE(LessNoCase("\xE9", "\xC9"));
  EXPECT_TRUE(LessNoCase("\xD7", "\xF7"));  // the multiplication sign is no letter
}

TEST(TextOrder, SortAgreesWithTheComparisonOnEveryByte) {
  Lines names;
  for (int i = 1; i < 256; ++i) {
    names.push_back(std::string(1, static_cast<char>(i)) + "x");
    names.push_back(std::string(1, static_cast<char>(i)));
  }
  std::reverse(names.begin(), names.end());
  Lines expected = names;
  std::stable_sort(expected.begin(), expected.end(),
                   [](const std::string& a, const std::string& b) { return LessNoCase(a, b); });
  SortNoCase(names);
  EXPECT_EQ(names, expected);
}

TEST(Clock, FixedClockAndLocaleFormats) {
  FixedClock clock(MakeTime(2026, 1, 5, 9, 7, 3));
  std::tm t = clock.Now();
  EXPECT_EQ(t.tm_mon, 0);
  EXPECT_EQ(t.tm_wday, 1);  // a Monday
  EXPECT_FALSE(ShortDate(t).empty());
  EXPECT_NE(LongTime(t).find("07"), std::string::npos);
}

TEST(ProgramSettings, ValuesThatAreNoNumberOrOutsideTheirRangeAreNamedNotUsed) {
  TempDir dir;
  const std::string file = dir / "settings.dat";
  auto problem = [&](const std::string& keys) {
    WriteFile(file, "[SETTINGS]\r\n" + keys);
    return LoadProgramSettings(file).Problem();
  };
  EXPECT_EQ(problem(""), "");
  EXPECT_EQ(problem("PORT=8080\r\nFTPRetries=0\r\nHTTPTimeOut=0x3c\r\n"), "");
  // Not cast to 16 bits (70000 would be port 4464), not read with a sign.
  EXPECT_EQ(problem("PORT=70000\r\n"),
            "The setting PORT=70000 cannot be used: PORT is a whole number from 1 to 65535.");
  EXPECT_NE(problem("PORT=+80\r\n"), "");
  EXPECT_NE(problem("PORT=\r\n"), "");
  EXPECT_EQ(
      problem("HTTPTimeOut=0\r\n"),
      "The setting HTTPTimeOut=0 cannot be used: HTTPTimeOut is a whole number from 10 to 60.");
  EXPECT_NE(problem("HTTPTimeOut=61\r\n").find("HTTPTimeOut=61"), std::string::npos);
  EXPECT_NE(problem("FTPRetries=-1\r\n").find("FTPRetries=-1"), std::string::npos);
  EXPECT_EQ(problem("FTPRetries=three\r\n"),
            "The setting FTPRetries=three cannot be used: FTPRetries is a whole number.");
  WriteFile(file, "[SETTINGS]\r\nPORT=70000\r\n");
  const ProgramSettings s = LoadProgramSettings(file);
  EXPECT_EQ(s.ProxyPort(), 0);
  EXPECT_THROW(s.Check(), VendrixError);
}

// The message of a refused take, or "" when the lock was taken (and dropped again).
std::string TakeRefusal(const std::string& root) {
  try {
    TreeLock::Take(root, "a test");
    return "";
  } catch (const VendrixError& e) {
    return e.what();
  }
}

TEST(TreeLock, ASecondWriterIsRefusedNamingTheLiveHolderUntilTheFirstEnds) {
  const std::string pid = std::to_string(::getpid());
  struct Case {
    TreeHolder kind;
    std::string holder, refusalStart, refusalEnd;
  } cases[] = {
      {TreeHolder::Desktop, "the desktop program",
       "The data tree is in use by the desktop program (process " + pid + "): close it first.", ""},
      {TreeHolder::Run, "a submission run",
       "The data tree is in use by a submission run (process " + pid + "), started at 2",
       ". Try again when it has finished."},
  };
  for (const auto& c : cases) {
    TempDir dir;
    {
      TreeLock held = TreeLock::Take(dir.path(), c.holder, c.kind);
      const std::string refusal = TakeRefusal(dir.path());
      EXPECT_EQ(refusal.rfind(c.refusalStart, 0), 0u) << refusal;
      EXPECT_TRUE(refusal.ends_with(c.refusalEnd)) << refusal;
      TreeLock moved = std::move(held);  // still held
      EXPECT_NE(TakeRefusal(dir.path()), "");
      EXPECT_TRUE(TreeLock::Share(dir.path()).Exclusive() == false);  // a reader reads beside it
    }
    EXPECT_EQ(TakeRefusal(dir.path()), "");
    EXPECT_EQ(ReadFile(TreeLock::LockFile(dir.path())), "");  // no record of a writer gone
  }
}

// A writer that finds only readers (the record left by a killed writer names a process
// that is gone) waits for them instead of refusing; a reader's repair holds the tree
// exclusively and then shares it again.
TEST(TreeLock, AWriterWaitsForReadersAndAReaderRepairsOnlyAlone) {
  TempDir dir;
  WriteFile(TreeLock::LockFile(dir.path()),
            "a submission run (process 999999999), started at x\r\n");
  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  pid_t reader = ::fork();
  if (reader == 0) {
    TreeLock shared = TreeLock::Share(dir.path());
    bool repaired = false;
    TreeLock::RepairUnder(dir.path(), [&] { repaired = true; });
    char byte = repaired ? 'y' : 'n';
    (void)!::write(ready[1], &byte, 1);
    (void)!::read(release[0], &byte, 1);
    ::_exit(0);
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  EXPECT_EQ(byte, 'y');
  bool ran = false;
  EXPECT_FALSE(TreeLock::RepairUnder(dir.path(), [&] { ran = true; }));  // the reader holds it
  EXPECT_FALSE(ran);
  std::thread later([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    (void)!::write(release[1], "x", 1);
  });
  EXPECT_EQ(TakeRefusal(dir.path()), "");  // waited for the reader, then took it
  later.join();
  ::waitpid(reader, nullptr, 0);
  for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);
}

TEST(TreeLock, AKilledHolderAndTheProgramsItStartedNeverKeepTheTreeLocked) {
  TempDir dir;
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t holder = ::fork();
  if (holder == 0) {
    TreeLock lock = TreeLock::Take(dir.path(), "a submission run");
    // A program the holder starts (as the desktop program starts a browser); the
    // close-on-exec pipe tells when it runs the program (until then it holds a copy
    // of every descriptor).
    int execed[2];
    if (::pipe2(execed, O_CLOEXEC) != 0) ::_exit(1);
    pid_t started = ::fork();
    if (started == 0) {
      ::execl("/bin/sleep", "sleep", "30", (char*)nullptr);
      ::_exit(127);
    }
    ::close(execed[1]);
    char byte;
    while (::read(execed[0], &byte, 1) > 0) {
    }
    (void)!::write(ready[1], &started, sizeof started);
    ::pause();
    ::_exit(0);
  }
  pid_t started = 0;
  ASSERT_EQ(::read(ready[0], &started, sizeof started), static_cast<ssize_t>(sizeof started));
  EXPECT_NE(TakeRefusal(dir.path()).find("a submission run (process " + std::to_string(holder)),
            std::string::npos);
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  EXPECT_EQ(TakeRefusal(dir.path()), "");  // the started program still runs
  ::kill(started, SIGKILL);
  ::waitpid(started, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
}

TEST(TreeLock, ALinkInPlaceOfTheLockFileIsNotFollowed) {
  TempDir dir;
  WriteFile(dir / "target", "keep");
  std::filesystem::create_symlink(dir / "target", TreeLock::LockFile(dir.path()));
  EXPECT_EQ(TakeRefusal(dir.path()).rfind("Unable to lock the data tree", 0), 0u);
  EXPECT_EQ(ReadFile(dir / "target"), "keep");
}

}  // namespace
}  // namespace vendrix
