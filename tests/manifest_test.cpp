// Package manifests: the demo application's files against golden copies checked by
// hand, each channel rule broken once, the packed .nupkg read back, the writer's
// refusals, and the download check against a loopback server.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <yaml-cpp/yaml.h>
#include <functional>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "app/manifest_download.h"
#include "app/manifest_export.h"
#include "base/data_tree.h"
#include "base/error.h"
#include "base/ini_file.h"
#include "base/line_list.h"
#include "exchange/manifest_chocolatey.h"
#include "exchange/manifest_scoop.h"
#include "exchange/manifest_winget.h"
#include "support/peer_process.h"
#include "support/temp_dir.h"

namespace vendrix {
namespace {

using test::PeerProcess;
using test::PeerScript;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const std::string kDemo = std::string(VENDRIX_PEERS_DIR) + "/../../share/demo/";
const std::string kGolden = std::string(VENDRIX_PEERS_DIR) + "/../golden/manifests/";

std::pair<CompanyProfile, AppProfile> Demo() {
  CompanyProfile c =
      ReadCompanySection(IniDocument::Load(kDemo + "companies/Brightfield Software.dat"));
  AppProfile a;
  ReadAppSection(IniDocument::Load(kDemo + "data/Tidy Notes.dat"), a);
  a.longDesc = LoadLines(kDemo + "data/Tidy Notes.lds").value_or(Lines{});
  c.name = "Brightfield Software";
  a.name = "Tidy Notes";
  return {c, a};
}

ManifestPlan DemoPlan(bool pack = false) {
  auto [c, a] = Demo();
  return PlanManifests(c, a, kAllChannels, pack, kDemo);
}

TEST(Manifests, TheDemoApplicationsFilesAreTheGoldenOnes) {
  const ManifestPlan plan = DemoPlan();
  ASSERT_TRUE(plan.findings.empty()) << FindingLine(plan.findings.front());
  int files = 0;
  for (const auto& set : plan.sets) {
    for (const auto& file : set.files) {
      // The package's metadata file is kept here as .package.xml.
      std::string golden = file.path;
      if (const auto dot = golden.rfind(".nu");
          dot != std::string::npos && dot + 7 == golden.size()) {
        golden = golden.substr(0, dot) + ".package.xml";
      }
      EXPECT_EQ(ReadFile(kGolden + golden).value_or("(missing)"), file.bytes) << file.path;
      ++files;
    }
  }
  EXPECT_EQ(files, 6);
}

// Each case breaks one rule of one channel, and that is the one finding of that field.
TEST(Manifests, EachRuleBrokenOnceIsNamedWithItsFieldAndValue) {
  struct Case {
    const char* what;
    std::function<void(ManifestFacts&)> change;
    const char* channel;
    const char* field;
    const char* rule;  // a part of the rule's text
  };
  const std::string tag41(41, 't');
  const std::vector<Case> cases = {
      {"identifier with a blank", [](ManifestFacts& f) { f.identifier = "Bright field.Tidy"; },
       "winget", "PackageIdentifier", "2 to 8 parts"},
      {"identifier of one part", [](ManifestFacts& f) { f.identifier = "TidyNotes"; }, "winget",
       "PackageIdentifier", "2 to 8 parts"},
      {"version with a slash", [](ManifestFacts& f) { f.version = "2/1"; }, "winget",
       "PackageVersion", "without"},
      {"version '..'", [](ManifestFacts& f) { f.version = ".."; }, "winget", "PackageVersion",
       "without"},
      {"short description of 257",
       [](ManifestFacts& f) { f.shortDescription = std::string(257, 'x'); }, "winget",
       "ShortDescription", "at most 256"},
      {"description of 10,001", [](ManifestFacts& f) { f.description = std::string(10001, 'x'); },
       "winget", "Description", "at most 10000"},
      {"no licence", [](ManifestFacts& f) { f.license.clear(); }, "winget", "License", "required"},
      {"17 tags",
       [](ManifestFacts& f) {
         for (int i = 0; i < 12; ++i) f.tags.push_back("t" + std::to_string(i));
       },
       "winget", "Tags", "at most 16 tags"},
      {"a tag of 41", [&](ManifestFacts& f) { f.tags.push_back(tag41); }, "winget", "Tags",
       "at most 40 characters"},
      {"a tag twice", [](ManifestFacts& f) { f.tags.push_back("notes"); }, "winget", "Tags",
       "once"},
      {"http installer",
       [](ManifestFacts& f) { f.installerUrl = "http://brightfield.example/dl/t.exe"; }, "winget",
       "InstallerUrl", "https://"},
      {"plain exe without switches",
       [](ManifestFacts& f) {
         f.kind = InstallerKind::Exe;
         f.silent.clear();
       },
       "winget", "InstallerSwitches.Silent", "required"},
      {"zip without its program",
       [](ManifestFacts& f) {
         f.kind = InstallerKind::Zip;
         f.zipped = true;
         f.pkgExe.clear();
       },
       "winget", "NestedInstallerFiles.RelativeFilePath", "required"},
      {"publisher address", [](ManifestFacts& f) { f.publisherUrl = "brightfield.example"; },
       "winget", "PublisherUrl", "http:// or https://"},
      {"scoop version with a blank", [](ManifestFacts& f) { f.version = "2.1 beta"; }, "scoop",
       "version", "letters, digits"},
      {"scoop without a homepage",
       [](ManifestFacts& f) {
         f.packageUrl.clear();
         f.publisherUrl.clear();
       },
       "scoop", "homepage", "required"},
      {"scoop without a hash", [](ManifestFacts& f) { f.sha256.clear(); }, "scoop", "hash",
       "cannot be read"},
      {"scoop portable zip without bin",
       [](ManifestFacts& f) {
         f.kind = InstallerKind::Portable;
         f.zipped = true;
         f.pkgExe.clear();
       },
       "scoop", "bin", "required"},
      {"nuget id", [](ManifestFacts& f) { f.identifier = "Brightfield.Tidy+Notes"; }, "chocolatey",
       "id", "lower-case"},
      {"nuget version", [](ManifestFacts& f) { f.version = "2.1.0.0.7"; }, "chocolatey", "version",
       "1 to 4 numbers"},
      {"short description only, too short",
       [](ManifestFacts& f) {
         f.description.clear();
         f.shortDescription = "Notes";
       },
       "chocolatey", "description", "at least 30"},
      {"no tags", [](ManifestFacts& f) { f.tags.clear(); }, "chocolatey", "tags", "required"},
      {"no authors", [](ManifestFacts& f) { f.publisher.clear(); }, "chocolatey", "authors",
       "required"},
  };
  const ManifestFacts demo = DemoPlan().facts;
  for (const auto& c : cases) {
    ManifestFacts f = demo;
    c.change(f);
    std::vector<ManifestFinding> found;
    for (auto check : {CheckWinget, CheckScoop, CheckChocolatey}) {
      for (auto& finding : check(f)) {
        if (finding.channel == c.channel && finding.field == c.field) found.push_back(finding);
      }
    }
    ASSERT_EQ(found.size(), 1u) << c.what;
    EXPECT_NE(found[0].rule.find(c.rule), std::string::npos) << c.what << ": " << found[0].rule;
  }
}

// What the profile says, and what each channel is told: the identifier and date made
// from the profile, and the installer's kind decided by INSTKIND or the file's name.
TEST(Manifests, KindsAndNamesReachEveryChannel) {
  struct Case {
    const char* instKind;
    const char* url;
    const char* pkgExe;
    const char* wingetType;    // InstallerType, and NestedInstallerType after "/"
    const char* scoopKey;      // the key Scoop's manifest gets for the kind
    const char* chocoCommand;  // the install script's command
  };
  const Case cases[] = {
      {"", "https://x.example/dl/tidy.msi", "", "msi", "", "Install-ChocolateyPackage"},
      {"", "https://x.example/dl/tidy.zip", "setup.exe", "zip/exe", "installer",
       "Install-ChocolateyInstallPackage"},
      {"", "https://x.example/dl/tidy.zip", "tidy.exe", "zip/exe", "installer",
       "Install-ChocolateyInstallPackage"},
      {"portable", "https://x.example/dl/tidy.zip", "tidy.exe", "zip/portable", "bin",
       "Install-ChocolateyZipPackage"},
      {"portable", "https://x.example/dl/tidy.exe", "", "portable", "bin", "Get-ChocolateyWebFile"},
      {"nullsoft", "https://x.example/dl/tidy-setup.exe", "", "nullsoft", "installer",
       "Install-ChocolateyPackage"},
  };
  auto [company, app] = Demo();
  for (const auto& c : cases) {
    AppProfile a = app;
    a.instKind = c.instKind;
    a.dl1_32 = c.url;
    a.pkgExe = c.pkgExe;
    const ManifestPlan plan = PlanManifests(company, a, kAllChannels, false, kDemo);
    ASSERT_TRUE(plan.findings.empty()) << c.url << ": " << FindingLine(plan.findings.front());
    const YAML::Node installer = YAML::Load(plan.sets[0].files[2].bytes);
    std::string type = installer["InstallerType"].as<std::string>();
    if (installer["NestedInstallerType"])
      type += "/" + installer["NestedInstallerType"].as<std::string>();
    EXPECT_EQ(type, c.wingetType) << c.url << " " << c.instKind;
    const auto scoop = nlohmann::json::parse(plan.sets[1].files[0].bytes);
    if (*c.scoopKey) {
      EXPECT_TRUE(scoop.contains(c.scoopKey)) << c.url << " " << c.instKind;
    }
    EXPECT_NE(plan.sets[2].files[1].bytes.find(c.chocoCommand), std::string::npos)
        << c.url << " " << c.instKind;
  }
  // Names: what the package managers refuse in an identifier is left out.
  EXPECT_EQ(IdentifierPart("Caf\xC3\xA9 \"Tidy\" 2.0: Notes/Pro"), "Caf\xC3\xA9Tidy20NotesPro");
  EXPECT_EQ(IdentifierPart(std::string(40, 'a')), std::string(32, 'a'));
  // A date that does not exist gives none.
  app.day = "30";
  app.month = "2";
  EXPECT_EQ(GatherManifestFacts(company, app, "").releaseDate, "");
}

// Texts YAML, JSON and XML would misread if written by hand come back as they were.
TEST(Manifests, AwkwardTextsSurviveEveryFormat) {
  auto [company, app] = Demo();
  const std::string awkward[] = {"yes",
                                 "2.10",
                                 "a: b # c",
                                 "'quoted' \"twice\"",
                                 "- dash",
                                 "line one\nline two",
                                 "<tag> & ampersand",
                                 "  leading blanks"};
  for (const auto& text : awkward) {
    ManifestFacts f = DemoPlan().facts;
    f.releaseNotes = text;
    f.license = "Li " + text;
    const YAML::Node locale = YAML::Load(WingetManifests(f)[1].bytes);
    EXPECT_EQ(locale["ReleaseNotes"].as<std::string>(), text);
    EXPECT_EQ(locale["License"].as<std::string>(), "Li " + text);
    EXPECT_EQ(nlohmann::json::parse(ScoopManifest(f).bytes)["notes"], text);
    const std::string nuspec = ChocolateyFiles(f)[0].bytes;
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(nuspec.c_str()));
    EXPECT_EQ(
        std::string(doc.child("package").child("metadata").child("releaseNotes").text().get()),
        text);
  }
}

TEST(Manifests, ThePackIsAnOpcZipHoldingTheNuspecAndTheTools) {
  const ManifestPlan plan = DemoPlan(true);
  ASSERT_EQ(plan.sets.size(), 4u);
  const ManifestFile& nupkg = plan.sets.back().files.at(0);
  EXPECT_EQ(nupkg.path, "chocolatey/tidynotes.2.1.nupkg");
  EXPECT_EQ(ChocolateyPackage(plan.facts, plan.sets[2].files).bytes, nupkg.bytes);  // stable
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* src = zip_source_buffer_create(nupkg.bytes.data(), nupkg.bytes.size(), 0, &error);
  zip_t* z = zip_open_from_source(src, ZIP_RDONLY, &error);
  ASSERT_NE(z, nullptr);
  auto read = [&](const std::string& name) -> std::optional<std::string> {
    zip_stat_t st;
    if (zip_stat(z, name.c_str(), 0, &st) != 0) return std::nullopt;
    std::string bytes(st.size, '\0');
    zip_file_t* file = zip_fopen(z, name.c_str(), 0);
    zip_fread(file, bytes.data(), st.size);
    zip_fclose(file);
    return bytes;
  };
  EXPECT_EQ(read("tidynotes.nuspec"), plan.sets[2].files[0].bytes);
  EXPECT_EQ(read("tools/chocolateyinstall.ps1"), plan.sets[2].files[1].bytes);
  const auto rels = read("_rels/.rels").value_or("");
  const auto types = read("[Content_Types].xml").value_or("");
  EXPECT_NE(types.find("Extension=\"psmdcp\""), std::string::npos);
  // The relationship names the core properties part the zip holds.
  const auto at = rels.find("/package/services/metadata/core-properties/");
  ASSERT_NE(at, std::string::npos);
  const std::string core = rels.substr(at + 1, rels.find('"', at) - at - 1);
  EXPECT_NE(read(core).value_or("").find("<dc:identifier>tidynotes</dc:identifier>"),
            std::string::npos);
  EXPECT_EQ(zip_get_num_entries(z, 0), 5);
  zip_close(z);
}

TEST(Manifests, TheWriterKeepsToItsFolderAndToOneManifestPerVersion) {
  TempDir dir;
  const ManifestPlan plan = DemoPlan();
  const std::string out = dir / "out";
  EXPECT_EQ(WriteManifestSets(out, plan.sets, false).size(), 6u);
  // Again: the same files, nothing to refuse.
  for (const auto& w : WriteManifestSets(out, plan.sets, false)) EXPECT_TRUE(w.unchanged);

  struct Case {
    const char* what;
    std::function<void(std::vector<ManifestSet>&)> change;
    std::size_t set;  // the set written
    bool force;
    const char* refusal;  // "" when written
  };
  const std::vector<Case> cases = {
      {"another winget manifest of 2.1", [](auto& s) { s[0].files[1].bytes += "# changed\n"; }, 0,
       false, "is a different one"},
      {"the same, forced", [](auto& s) { s[0].files[1].bytes += "# changed\n"; }, 0, true, ""},
      {"another scoop manifest of 2.1", [](auto& s) { s[1].files[0].bytes += " "; }, 1, false,
       "is a different one"},
      {"a newer scoop manifest replaces the old",
       [](auto& s) {
         s[1].version = "2.2";
         s[1].files[0].bytes = "{\"version\": \"2.2\"}\n";
       },
       1, false, ""},
      {"a path leaving the folder", [](auto& s) { s[0].files[0].path = "manifests/../../x"; }, 0,
       false, "would leave"},
      {"an absolute path", [](auto& s) { s[0].files[0].path = "/tmp/x"; }, 0, false, "no path"},
  };
  for (const auto& c : cases) {
    auto sets = plan.sets;
    c.change(sets);
    std::string refusal;
    try {
      WriteManifestSets(out, {sets[c.set]}, c.force);
    } catch (const VendrixError& e) {
      refusal = e.what();
    }
    if (*c.refusal == '\0') {
      EXPECT_EQ(refusal, "") << c.what;
    } else {
      EXPECT_NE(refusal.find(c.refusal), std::string::npos) << c.what << ": " << refusal;
    }
  }
  EXPECT_FALSE(ReadFile(dir / "x").has_value());
  // A link inside the folder is never followed.
  TempDir other;
  ::mkdir((dir / "trap").c_str(), 0777);
  ::symlink(other.path().c_str(), (dir / "trap/bucket").c_str());
  EXPECT_THROW(WriteManifestSets(dir / "trap", {plan.sets[1]}, false), VendrixError);
  EXPECT_FALSE(ReadFile(other / "tidynotes.json").has_value());
}

// The download check against a loopback server: the right file, another file, a loop
// of redirects, and a file dripped out in small pieces.
TEST(ManifestDownload, TheFileAtTheAddressMustBeTheProgramFile) {
  TempDir dir;
  const std::string program = ReadFile(kDemo + "dist/tidynote.exe").value();
  std::string other = program;
  other[100] = 'X';
  auto ok = [](const std::string& body) {
    return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  };
  nlohmann::json routes = {{"/right", {{"raw", ok(program)}}},
                           {"/other", {{"raw", ok(other)}}},
                           {"/larger", {{"raw", ok(program + "more")}}},
                           {"/hop", {{"raw", "HTTP/1.0 302 Found\r\nLocation: /right\r\n\r\n"}}},
                           {"/loop", {{"raw", "HTTP/1.0 302 Found\r\nLocation: /loop\r\n\r\n"}}},
                           {"/drip", {{"raw", ok(program)}, {"drip", {100, 0.01}}}}};
  WriteFile(dir / "routes.json", routes.dump());
  PeerProcess peer({PeerScript("http_peer.py"), "--routes", dir / "routes.json"});
  const std::string base = "http://127.0.0.1:" + std::to_string(peer.port());
  const std::string sha = DemoPlan().facts.sha256;
  const long long size = static_cast<long long>(program.size());

  const DownloadCheck right = VerifyDownload(base + "/hop", sha, size);
  EXPECT_EQ(right.redirects, 1);
  EXPECT_EQ(right.bytes, size);
  EXPECT_EQ(right.finalUrl, base + "/right");
  // Dripped in pieces of 100 bytes, it still arrives whole and is the same file.
  const DownloadCheck drip = VerifyDownload(base + "/drip", sha, size);
  EXPECT_EQ(drip.bytes, size);
  EXPECT_GT(drip.blocks, 5);

  auto refusal = [&](const std::string& path) {
    try {
      VerifyDownload(base + path, sha, size);
    } catch (const VendrixError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  const std::string notOurs = "Download check: the file at " + base +
                              "/other is not the file you are releasing (its SHA-256 is ";
  EXPECT_EQ(refusal("/other").substr(0, notOurs.size()), notOurs);
  EXPECT_NE(refusal("/larger").find("is not the file you are releasing (it is larger"),
            std::string::npos);
  EXPECT_NE(refusal("/loop").find("163: too many redirects (more than 5"), std::string::npos);
  EXPECT_NE(refusal("/missing").find("151: "), std::string::npos);
}

}  // namespace
}  // namespace vendrix
