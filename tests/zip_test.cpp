#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

#include <fcntl.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

#include "support/temp_dir.h"
#include "zip/compressed_cache.h"
#include "zip/parallel_deflate.h"
#include "zip/zip_archiver.h"

namespace vendrix {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

int Shell(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str());
}

// An archive written directly with libzip, so that names and attributes can be hostile.
void MakeArchive(const std::string& path,
                 const std::vector<std::pair<std::string, std::string>>& entries,
                 const std::string& linkEntry = "") {
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  ASSERT_NE(z, nullptr);
  for (const auto& [name, data] : entries) {
    void* copy = std::malloc(data.size() + 1);
    std::memcpy(copy, data.data(), data.size());
    zip_source_t* src = zip_source_buffer(z, copy, data.size(), 1);
    zip_int64_t index = zip_file_add(z, name.c_str(), src, ZIP_FL_ENC_RAW);
    ASSERT_GE(index, 0) << name;
    if (name == linkEntry) {
      zip_file_set_external_attributes(z, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                       static_cast<zip_uint32_t>(S_IFLNK | 0777) << 16);
    }
  }
  ASSERT_EQ(zip_close(z), 0);
}

struct Extraction {
  int written = 0;
  std::vector<std::string> messages;
};

// staged: each file through a temporary file (else made under its own name).
Extraction ExtractInto(const std::string& archive, const std::string& folder,
                       std::uint64_t maxBytes = 1ull << 30, bool staged = true) {
  Extraction e;
  TZipArchiver zip;
  zip.StageEachFile = staged;
  zip.ZipFilename = archive;
  zip.ExtrBaseDir = folder;
  zip.ExtrOverWrite = true;
  zip.ExtrDirNames = true;
  zip.MaxTotalBytes = maxBytes;
  zip.OnMessage = [&](int, const std::string& m) { e.messages.push_back(m); };
  e.written = zip.Extract();
  return e;
}

std::size_t CountFiles(const std::string& root) {
  std::size_t n = 0;
  for (const auto& f : std::filesystem::recursive_directory_iterator(root))
    n += f.is_regular_file();
  return n;
}

TEST(Zip, ArchivesOpenInUnzipAndPythonAndExtendExistingOnes) {
  TempDir dir;
  WriteFile(dir / "in/program.exe", std::string(100000, 'x') + "end");
  WriteFile(dir / "in/readme.txt", "Hello\r\n");
  TZipArchiver zip;
  zip.ZipFilename = dir / "out.zip";
  std::vector<std::string> started;
  zip.OnProgress = [&](int type, const std::string& name, std::uint64_t) {
    if (type == TZipArchiver::kFileStarts) started.push_back(name);
  };
  zip.FSpecArgs = {dir / "in/program.exe"};
  EXPECT_EQ(zip.Add(), 1);
  zip.FSpecArgs = {dir / "in/readme.txt"};
  EXPECT_EQ(zip.Add(), 1);
  EXPECT_TRUE(zip.FSpecArgs.empty());
  EXPECT_EQ(started, (std::vector<std::string>{"program.exe", "readme.txt"}));
  EXPECT_EQ(zip.EntryNames(), (std::vector<std::string>{"program.exe", "readme.txt"}));
  EXPECT_LT(std::filesystem::file_size(dir / "out.zip"), 5000u);  // level 9 deflate
  EXPECT_EQ(Shell("unzip -t '" + (dir / "out.zip") + "'"), 0);
  EXPECT_EQ(
      Shell("/usr/bin/python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); "
            "sys.exit(z.testzip() is not None or z.read('readme.txt') != b'Hello\\r\\n')\" '" +
            (dir / "out.zip") + "'"),
      0);

  Extraction e = ExtractInto(dir / "out.zip", dir.path() + "/x");
  std::filesystem::create_directory(dir / "x");
  e = ExtractInto(dir / "out.zip", dir / "x");
  EXPECT_EQ(e.written, 2);
  EXPECT_EQ(*ReadFile(dir / "x/readme.txt"), "Hello\r\n");
  EXPECT_EQ(ReadFile(dir / "x/program.exe")->size(), 100003u);
}

TEST(Zip, AddReportsItsStepsAndReadsTheEntryListAgain) {
  TempDir dir;
  std::string big;
  for (int i = 0; i < 200000; ++i) big += std::to_string(i * 7919 % 100003);
  WriteFile(dir / "in/big.bin", big);
  TZipArchiver zip;
  zip.SetZipFilename(dir / "out.zip");  // a new archive: no list yet
  EXPECT_TRUE(zip.ZipContents.empty());
  std::vector<int> types;
  int dirUpdates = 0;
  zip.OnProgress = [&](int type, const std::string&, std::uint64_t) { types.push_back(type); };
  zip.OnDirUpdate = [&] { ++dirUpdates; };
  zip.FSpecArgs = {dir / "in/big.bin"};
  EXPECT_EQ(zip.Add(), 1);
  ASSERT_GE(types.size(), 3u);
  EXPECT_EQ(types.front(), TZipArchiver::kFileStarts);
  EXPECT_EQ(types.back(), TZipArchiver::kBatchEnds);
  EXPECT_EQ(std::count(types.begin(), types.end(), TZipArchiver::kStep) > 0, true);
  EXPECT_EQ(dirUpdates, 1);
  ASSERT_EQ(zip.ZipContents.size(), 1u);
  EXPECT_EQ(zip.ZipContents[0].name, "big.bin");
  EXPECT_EQ(zip.ZipContents[0].size, big.size());

  TZipArchiver again;
  again.OnDirUpdate = [&] { ++dirUpdates; };
  again.SetZipFilename(dir / "out.zip");  // an existing archive: its list is read
  EXPECT_EQ(dirUpdates, 2);
  EXPECT_EQ(again.ZipContents.size(), 1u);
}

TEST(Zip, ReadErrorsAreRaisedWithTheirTexts) {
  TempDir dir;
  WriteFile(dir / "not.zip", "this is no archive");
  TZipArchiver zip;
  try {
    zip.SetZipFilename(dir / "not.zip");
    FAIL() << "no error raised";
  } catch (const EZipError& e) {
    EXPECT_STREQ(e.what(), "Error reading Zip File");
  }
  zip.ExtrBaseDir = dir.path();
  EXPECT_THROW(zip.Extract(), EZipError);

  // Damaged compressed data fails while it is read, and leaves no file behind.
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + "\n";
  MakeArchive(dir / "bad.zip", {{"data.txt", text}});
  std::string bytes = *ReadFile(dir / "bad.zip");
  for (std::size_t i = 200; i < 400; ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
  WriteFile(dir / "bad.zip", bytes);
  std::filesystem::create_directories(dir / "out");
  TZipArchiver bad;
  bad.ZipFilename = dir / "bad.zip";
  bad.ExtrBaseDir = dir / "out";
  try {
    bad.Extract();
    FAIL() << "no error raised";
  } catch (const EZipError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Error 4 reading Zip file", 0), 0u) << e.what();
  }
  EXPECT_EQ(CountFiles(dir / "out"), 0u);
}

TEST(Zip, ExtractTakesOnlyTheNamedEntriesAndNeverTouchesAFileBesideTheTarget) {
  TempDir dir;
  MakeArchive(dir / "a.zip", {{"a.txt", "A"}, {"sub/b.txt", "B"}, {"c.txt", "C"}});
  std::filesystem::create_directories(dir / "out");
  // A file named as a temporary file of the target might have been named.
  WriteFile(dir / "out/.a.txt.part", "mine");
  TZipArchiver zip;
  zip.ZipFilename = dir / "a.zip";
  zip.ExtrBaseDir = dir / "out";
  zip.FSpecArgs = {"a.txt", "b.txt"};
  EXPECT_EQ(zip.Extract(), 2);
  EXPECT_TRUE(zip.FSpecArgs.empty());
  EXPECT_EQ(*ReadFile(dir / "out/a.txt"), "A");
  EXPECT_EQ(*ReadFile(dir / "out/b.txt"), "B");
  EXPECT_FALSE(ReadFile(dir / "out/c.txt"));
  EXPECT_EQ(*ReadFile(dir / "out/.a.txt.part"), "mine");
  EXPECT_EQ(CountFiles(dir / "out"), 3u);  // no temporary file left behind
}

TEST(Zip, AddRefusalsAreReported) {
  TempDir dir;
  std::vector<std::string> messages;
  TZipArchiver zip;
  zip.OnMessage = [&](int, const std::string& m) { messages.push_back(m); };
  zip.ZipFilename = dir / "a.zip";
  EXPECT_EQ(zip.Add(), 0);
  zip.FSpecArgs = {dir / "x"};
  zip.ZipFilename = "";
  EXPECT_EQ(zip.Add(), 0);
  zip.FSpecArgs = {dir / "x"};
  zip.ZipFilename = dir / "setup.EXE";
  EXPECT_EQ(zip.Add(), 0);
  EXPECT_EQ(messages, (std::vector<std::string>{
                          "Error - no files to zip",
                          "Error - no zip file speci"
                          "fied",
                          "Error - this pgm can NOT add files to a self-extracting archive"}));
}

// Each file made through a temporary file or under its own name alike.
TEST(Zip, HostileEntriesNeverLeaveTheirFolder) {
  for (bool staged : {true, false}) {
    SCOPED_TRACE(staged ? "staged" : "direct");
    TempDir dir;
    std::filesystem::create_directories(dir / "base");
    MakeArchive(dir / "evil.zip",
                {{"../x", "1"},
                 {"..\\y", "2"},
                 {"/abs", "3"},
                 {"\\abs2", "4"},
                 {"C:x", "5"},
                 {"sub/../../z", "6"},
                 {"link", "/etc/passwd"},
                 {"ok/fine.txt", "good"}},
                "link");
    Extraction e = ExtractInto(dir / "evil.zip", dir / "base", 1ull << 30, staged);
    EXPECT_EQ(e.written, 1);
    EXPECT_EQ(*ReadFile(dir / "base/ok/fine.txt"), "good");
    EXPECT_EQ(e.messages.size(), 7u);
    EXPECT_EQ(CountFiles(dir.path()), 2u);  // the archive and the one good file
    EXPECT_FALSE(std::filesystem::exists(dir / "base/link"));
  }
}

TEST(Zip, ARouteSpreadsEntriesOverFoldersAndSeesOnlySafeNames) {
  TempDir dir;
  std::filesystem::create_directories(dir / "one");
  std::filesystem::create_directories(dir / "two");
  MakeArchive(dir / "a.zip",
              {{"list.dat", "L"},
               {"Games.cat", "G"},
               {"mine.ini", "M"},
               {"../out.ini", "X"},
               {"link.ini", "/etc/passwd"}},
              "link.ini");
  const int one = ::open((dir / "one").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const int two = ::open((dir / "two").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  std::vector<std::string> asked;
  TZipArchiver zip;
  zip.ZipFilename = dir / "a.zip";
  zip.StageEachFile = false;
  zip.ExtrFileMode = 0600;
  zip.ExtrRoute = [&](const std::string& entry) -> std::optional<TZipArchiver::Target> {
    asked.push_back(entry);
    if (entry == "mine.ini") return std::nullopt;
    if (entry == "list.dat") return TZipArchiver::Target{one, "List.DAT"};
    return TZipArchiver::Target{two, entry};
  };
  std::vector<std::string> messages;
  zip.OnMessage = [&](int, const std::string& m) { messages.push_back(m); };
  EXPECT_EQ(zip.Extract(), 2);
  ::close(one);
  ::close(two);
  EXPECT_EQ(asked, (std::vector<std::string>{"list.dat", "Games.cat", "mine.ini"}));
  EXPECT_EQ(messages.size(), 2u);
  EXPECT_EQ(*ReadFile(dir / "one/List.DAT"), "L");
  EXPECT_EQ(*ReadFile(dir / "two/Games.cat"), "G");
  EXPECT_EQ(CountFiles(dir.path()), 3u);  // the archive and the two routed files
  struct stat st {};
  ASSERT_EQ(::stat((dir / "two/Games.cat").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(Zip, ARouteLinksOnlyAFileThatHoldsExactlyTheEntrysBytes) {
  TempDir dir;
  std::filesystem::create_directories(dir / "new");
  const std::string big(200000, 'b');
  std::string bigChanged = big;
  bigChanged[150000] = 'c';  // past the first read
  const std::vector<std::pair<std::string, std::string>> entries = {
      {"same", "same bytes"}, {"changed", "abcd"}, {"longer", "12345"}, {"shorter", "123"},
      {"big", big},           {"bigchanged", big}, {"link", "target"},  {"missing", "not there"}};
  MakeArchive(dir / "a.zip", entries);
  WriteFile(dir / "old/same", "same bytes");
  WriteFile(dir / "old/changed", "abce");
  WriteFile(dir / "old/longer", "1234");
  WriteFile(dir / "old/shorter", "1234");
  WriteFile(dir / "old/big", big);
  WriteFile(dir / "old/bigchanged", bigChanged);
  WriteFile(dir / "outside", "target");
  std::filesystem::create_symlink(dir / "outside", dir / "old/link");
  const int to = ::open((dir / "new").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const int old = ::open((dir / "old").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  TZipArchiver zip;
  zip.ZipFilename = dir / "a.zip";
  zip.StageEachFile = false;
  zip.ExtrRoute = [&](const std::string& entry) {
    return std::optional<TZipArchiver::Target>({to, entry, old});
  };
  EXPECT_EQ(zip.Extract(), static_cast<int>(entries.size()));
  ::close(to);
  ::close(old);
  auto inode = [&](const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_ino;
  };
  for (const auto& [name, data] : entries) {
    SCOPED_TRACE(name);
    EXPECT_EQ(*ReadFile(dir / ("new/" + name)), data);
    const bool linked = name == "same" || name == "big";
    if (name != "missing") {
      EXPECT_EQ(inode(dir / ("new/" + name)) == inode(dir / ("old/" + name)), linked);
    }
  }
  EXPECT_EQ(*ReadFile(dir / "old/bigchanged"), bigChanged);
  EXPECT_EQ(*ReadFile(dir / "outside"), "target");
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "new/link"));

  // An entry whose stored bytes are damaged is never taken for the file it matches.
  std::string noise;
  for (unsigned x = 3; noise.size() < 300;) {
    x = x * 1103515245u + 12345u;
    noise += static_cast<char>(x >> 24);
  }
  MakeArchive(dir / "b.zip", {{"noise", noise}});
  std::string damaged = *ReadFile(dir / "b.zip");
  const auto at = damaged.find(noise);
  ASSERT_NE(at, std::string::npos);
  damaged[at + 10] ^= 1;  // the copy on disk now holds exactly the damaged bytes
  WriteFile(dir / "b.zip", damaged);
  std::string spoilt = noise;
  spoilt[10] ^= 1;
  WriteFile(dir / "old/noise", spoilt);
  std::filesystem::remove_all(dir / "new");
  std::filesystem::create_directories(dir / "new");
  const int to2 = ::open((dir / "new").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const int old2 = ::open((dir / "old").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  zip.ZipFilename = dir / "b.zip";
  zip.ExtrRoute = [&](const std::string& entry) {
    return std::optional<TZipArchiver::Target>({to2, entry, old2});
  };
  EXPECT_THROW(zip.Extract(), EZipError);
  ::close(to2);
  ::close(old2);
  EXPECT_FALSE(std::filesystem::exists(dir / "new/noise"));
}

TEST(Zip, ExtractionDoesNotFollowALinkAlreadyInTheFolder) {
  for (bool staged : {true, false}) {
    SCOPED_TRACE(staged ? "staged" : "direct");
    TempDir dir;
    std::filesystem::create_directories(dir / "base");
    std::filesystem::create_directories(dir / "outside");
    std::filesystem::create_directory_symlink(dir / "outside", dir / "base/sub");
    std::filesystem::create_symlink(dir / "outside/target", dir / "base/file");
    MakeArchive(dir / "a.zip", {{"sub/x", "1"}, {"file", "2"}});
    Extraction e = ExtractInto(dir / "a.zip", dir / "base", 1ull << 30, staged);
    EXPECT_EQ(e.written, 1);  // "file" replaces the link instead of writing through it
    EXPECT_FALSE(std::filesystem::exists(dir / "outside/x"));
    EXPECT_FALSE(std::filesystem::exists(dir / "outside/target"));
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "base/file"));
    EXPECT_EQ(*ReadFile(dir / "base/file"), "2");
  }
}

TEST(Zip, ABombStopsAtTheCapWithAMessage) {
  for (bool staged : {true, false}) {
    SCOPED_TRACE(staged ? "staged" : "direct");
    TempDir dir;
    std::filesystem::create_directories(dir / "base");
    MakeArchive(dir / "bomb.zip", {{"a", std::string(8u << 20, '\0')}, {"b", "small"}});
    ASSERT_LT(std::filesystem::file_size(dir / "bomb.zip"), 100000u);
    Extraction e = ExtractInto(dir / "bomb.zip", dir / "base", 1u << 20, staged);
    EXPECT_EQ(e.written, 0);
    ASSERT_FALSE(e.messages.empty());
    EXPECT_NE(e.messages.back().find("extraction stopped"), std::string::npos);
    EXPECT_EQ(CountFiles(dir / "base"), 0u) << "no half-written file is left";
  }
}

TEST(Zip, SafeEntryPaths) {
  std::string why;
  EXPECT_EQ(SafeEntryPath("a\\b/c.txt", why), (std::vector<std::string>{"a", "b", "c.txt"}));
  EXPECT_EQ(SafeEntryPath("./a//b", why), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(SafeEntryPath("", why).empty());
  EXPECT_TRUE(SafeEntryPath("a/../../b", why).empty());
  EXPECT_EQ(why, "\"..\" in path");
  EXPECT_TRUE(SafeEntryPath(std::string("a\0b", 3), why).empty());
}

struct StoredEntry {
  std::string name;
  zip_uint64_t size = 0, compSize = 0;
  zip_uint32_t crc = 0;
};

std::vector<StoredEntry> StoredEntries(const std::string& path) {
  std::vector<StoredEntry> out;
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &err);
  if (!z) return out;
  for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i) {
    zip_stat_t st;
    zip_stat_index(z, static_cast<zip_uint64_t>(i), 0, &st);
    out.push_back({st.name, st.size, st.comp_size, st.crc});
  }
  zip_discard(z);
  return out;
}

std::string Compressible(std::size_t size) {
  std::string data;
  unsigned v = 7;
  while (data.size() < size) {
    v = v * 1103515245u + 12345u;
    data += "line " + std::to_string(v % 1000) + " of the program\n";
  }
  return data;
}

// Half noise, half text, so that blocks both shrink and do not.
std::string Mixed(std::size_t size) {
  std::string data = Compressible(size / 2);
  unsigned v = 99;
  while (data.size() < size) {
    v = v * 1664525u + 1013904223u;
    data += static_cast<char>(v >> 24);
  }
  return data.substr(0, size);
}

TEST(Zip, ParallelDeflateMakesTheSameArchiveEachTimeThatUnzipAccepts) {
  TempDir dir;
  constexpr std::size_t kBlock = ParallelDeflate::kBlockSize;
  // Empty, one byte, around a 64 KiB window and around the compressor's own blocks,
  // and a file of many blocks.
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{65535}, std::size_t{65536},
                           std::size_t{65537}, kBlock - 1, kBlock, kBlock + 1, 24 * kBlock + 17}) {
    SCOPED_TRACE(size);
    const std::string data = Mixed(size);
    WriteFile(dir / "prog.exe", data);
    std::string archives[2];
    for (int round = 0; round < 2; ++round) {
      const std::string zipPath = dir / ("out" + std::to_string(round) + ".zip");
      std::filesystem::remove(zipPath);
      TZipArchiver zip;
      zip.ZipFilename = zipPath;
      zip.FSpecArgs = {dir / "prog.exe"};
      ASSERT_EQ(zip.Add(), 1);
      archives[round] = *ReadFile(zipPath);
    }
    EXPECT_TRUE(archives[0] == archives[1]);
    ASSERT_EQ(Shell("unzip -tq '" + (dir / "out0.zip") + "'"), 0);
    ASSERT_EQ(Shell("unzip -oq -d '" + (dir / "back") + "' '" + (dir / "out0.zip") + "'"), 0);
    EXPECT_TRUE(ReadFile(dir / "back/prog.exe") == data);
  }
  // The stream depends on the bytes alone: any number of threads gives the same.
  const std::string data = Mixed(9 * kBlock + 5);
  WriteFile(dir / "prog.exe", data);
  std::string streams[2];
  for (unsigned threads : {1u, 3u}) {
    const int fd = ::open((dir / "prog.exe").c_str(), O_RDONLY);
    ParallelDeflate deflate(fd, data.size(), 9, threads);
    char buf[7000];
    for (std::int64_t n; (n = deflate.Read(buf, sizeof buf)) > 0;)
      streams[threads / 3].append(buf, static_cast<std::size_t>(n));
    EXPECT_TRUE(deflate.Finished());
    ::close(fd);
  }
  EXPECT_TRUE(streams[0] == streams[1]);
}

TEST(Zip, AFileThatShrinksWhileItIsCompressedIsNoArchive) {
  TempDir dir;
  WriteFile(dir / "prog.exe", Mixed(5 * ParallelDeflate::kBlockSize));
  const int fd = ::open((dir / "prog.exe").c_str(), O_RDONLY);
  // Read as if it were a block longer than it now is.
  ParallelDeflate deflate(fd, 6 * ParallelDeflate::kBlockSize, 9, 2);
  char buf[65536];
  std::int64_t n;
  while ((n = deflate.Read(buf, sizeof buf)) > 0) {
  }
  EXPECT_EQ(n, -1);
  EXPECT_FALSE(deflate.Finished());
  EXPECT_NE(deflate.Error().find("shorter"), std::string::npos);
  ::close(fd);
}

TEST(Zip, EntriesOfAnotherArchiveAreCopiedAsStoredNotCompressedAgain) {
  TempDir dir;
  WriteFile(dir / "prog.exe", Compressible(200000));
  WriteFile(dir / "notes.txt", "read me");
  // Level 1 in the source: a copy compressed again (at 9) would come out smaller.
  TZipArchiver fast;
  fast.ZipFilename = dir / "fast.zip";
  fast.AddCompLevel = 1;
  fast.FSpecArgs = {dir / "prog.exe"};
  fast.FSpecEntryNames = {"Prog 2.exe"};
  ASSERT_EQ(fast.Add(), 1);
  auto source = StoredEntries(dir / "fast.zip");
  ASSERT_EQ(source.size(), 1u);
  EXPECT_EQ(source[0].name, "Prog 2.exe");

  TZipArchiver site;
  site.ZipFilename = dir / "site.zip";
  site.CopyFromArchives = {dir / "fast.zip"};
  site.FSpecArgs = {dir / "notes.txt"};
  EXPECT_EQ(site.Add(), 2);
  EXPECT_TRUE(site.CopyFromArchives.empty());
  auto copied = StoredEntries(dir / "site.zip");
  ASSERT_EQ(copied.size(), 2u);
  EXPECT_EQ(copied[0].name, "Prog 2.exe");
  EXPECT_EQ(copied[0].compSize, source[0].compSize);
  EXPECT_EQ(copied[0].crc, source[0].crc);
  EXPECT_EQ(copied[1].name, "notes.txt");
  // And it unpacks to the same bytes.
  ASSERT_EQ(Shell("unzip -o -d " + (dir / "out") + " " + (dir / "site.zip")), 0);
  EXPECT_EQ(ReadFile(dir / "out/Prog 2.exe"), ReadFile(dir / "prog.exe"));
}

TEST(Zip, TheCacheCompressesAFileOnceUntilItChanges) {
  TempDir dir;
  WriteFile(dir / "prog.exe", Compressible(50000));
  std::vector<std::string> messages;
  auto onMessage = [&](int, const std::string& m) { messages.push_back(m); };
  std::string first, kept;
  {
    CompressedFileCache cache(dir.path() + "/");
    first = cache.ArchiveOf(dir / "prog.exe", "prog.exe", onMessage);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(cache.ArchiveOf(dir / "prog.exe", "prog.exe", onMessage), first);
    EXPECT_EQ(cache.Compressions(), 1);
    // Another entry name is another archive.
    EXPECT_NE(cache.ArchiveOf(dir / "prog.exe", "PROG8.EXE", onMessage), first);
    EXPECT_EQ(cache.Compressions(), 2);
    // A changed program (size and time) is compressed again.
    WriteFile(dir / "prog.exe", Compressible(60000));
    struct timespec times[2] = {{0, UTIME_OMIT}, {12345, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "prog.exe").c_str(), times, 0), 0);
    kept = cache.ArchiveOf(dir / "prog.exe", "prog.exe", onMessage);
    EXPECT_EQ(cache.Compressions(), 3);
    EXPECT_FALSE(std::filesystem::exists(first) && kept != first);
    auto entries = StoredEntries(kept);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].size, std::filesystem::file_size(dir / "prog.exe"));
    // A missing file is no archive, with the reason.
    EXPECT_EQ(cache.ArchiveOf(dir / "missing.exe", "missing.exe", onMessage), "");
    ASSERT_FALSE(messages.empty());
    EXPECT_NE(messages.back().find("File not found"), std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists(kept));  // the cache's archives end with it
}

}  // namespace
}  // namespace vendrix
