// The application's history as the run's ledger: where a step stands after any sequence
// of records (including one cut short by a kill), the exact bytes of names and
// versions, and appends from many threads at once.
#include <gtest/gtest.h>

#include <thread>

#include "run/post_history.h"
#include "support/temp_dir.h"

namespace vendrix {
namespace {

std::string Step(const std::string& site, const std::string& version, const std::string& step,
                 StepState state, const std::string& when = "2026-12-08 10:00:00") {
  return PostHistory::StepLine({site, version, when, "New", step, state});
}

std::string Post(const std::string& site, const std::string& version, const std::string& methods) {
  return PostHistory::PostLine({site, version, "2026-12-08 09:00:00", "New", methods});
}

TEST(Ledger, AStepStandsByItsLatestRecord) {
  using S = StepState;
  const std::string v = "2.1";
  struct Case {
    const char* name;
    std::string file;
    S http;  // where Alpha's HTTP step of 2.1 stands
  } cases[] = {
      {"no record", "", S::None},
      {"begun, then the program died", Step("Alpha", v, "HTTP", S::Begun), S::Uncertain},
      {"begun and delivered",
       Step("Alpha", v, "HTTP", S::Begun) + Step("Alpha", v, "HTTP", S::Delivered), S::Delivered},
      {"refused, so sent again later",
       Step("Alpha", v, "HTTP", S::Begun) + Step("Alpha", v, "HTTP", S::NotDelivered),
       S::NotDelivered},
      {"unclear answer",
       Step("Alpha", v, "HTTP", S::Begun) + Step("Alpha", v, "HTTP", S::Uncertain), S::Uncertain},
      {"the outcome cut short by a kill",
       Step("Alpha", v, "HTTP", S::Begun) + Step("Alpha", v, "HTTP", S::Delivered).substr(0, 40),
       S::Uncertain},
      {"a remnant cut short, then later records",
       Step("Alpha", v, "HTTP", S::Begun).substr(0, 30) + "\r\n" +
           Step("Alpha", v, "HTTP", S::Begun) + Step("Alpha", v, "HTTP", S::Delivered),
       S::Delivered},
      {"an older program's post line", Post("Alpha", v, "FTP,HTTP"), S::Delivered},
      {"a post line without the step", Post("Alpha", v, "EMAIL"), S::None},
      {"sent again after a post, killed in flight",
       Post("Alpha", v, "HTTP") + Step("Alpha", v, "HTTP", S::Begun), S::Uncertain},
      {"other sites, steps and versions do not count",
       Step("Alphabet", v, "HTTP", S::Delivered) + Step("Alpha", v, "EMAIL", S::Delivered) +
           Step("Alpha", "2.10", "HTTP", S::Delivered) + Post("Alpha", "2.0", "HTTP"),
       S::None},
  };
  for (const auto& c : cases) {
    test::TempDir dir;
    test::WriteFile(dir / "Tool.hst", "an old line of another shape\r\n" + c.file);
    std::string problem;
    const PostHistory h = PostHistory::Load(dir / "Tool.hst", &problem);
    EXPECT_EQ(problem, "") << c.name;
    EXPECT_EQ(h.StepFor("Alpha", v, "HTTP").state, c.http) << c.name;
  }
}

TEST(Ledger, EveryByteOfANameAndVersionSurvives) {
  test::TempDir dir;
  const std::string path = dir / "Tool.hst";
  const std::string versions[] = {"2.1\xB1",       "50%", "%B1", "a\r\nb", std::string("x\0y", 3),
                                  "caf\xE9 \xB1 1"};
  const std::string site = "Caf\xE9 %41 Site";
  {
    HistoryWriter writer(path);
    for (const auto& version : versions)
      writer.Append(Step(site, version, "FTP", StepState::Delivered));
    // A post line cannot carry these: none is written.
    EXPECT_EQ(Post(site, versions[0], "FTP"), "");
  }
  const PostHistory h = PostHistory::Load(path);
  for (const auto& version : versions) {
    EXPECT_EQ(h.StepFor(site, version, "FTP").state, StepState::Delivered) << version;
  }
  // What older programs made of 0xB1 (a blank) is another version.
  EXPECT_EQ(h.StepFor(site, "2.1 ", "FTP").state, StepState::None);
  EXPECT_EQ(h.StepFor("Caf\xE9 A Site", versions[0], "FTP").state, StepState::None);
}

TEST(Ledger, AppendsAfterALineCutShortAndFromManyThreads) {
  test::TempDir dir;
  const std::string path = dir / "Tool.hst";
  // A kill left the last record without its line break.
  test::WriteFile(path, Step("Alpha", "1", "HTTP", StepState::Begun).substr(0, 25));
  {
    HistoryWriter writer(path);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
      threads.emplace_back([&writer, t] {
        for (int i = 0; i < 25; ++i) {
          writer.Append(
              Step("S" + std::to_string(t), std::to_string(i), "EMAIL", StepState::Begun) +
              Step("S" + std::to_string(t), std::to_string(i), "EMAIL", StepState::Delivered));
        }
      });
    }
    for (auto& th : threads) th.join();
  }
  const PostHistory h = PostHistory::Load(path);
  EXPECT_EQ(h.Steps().size(), 8u * 25u * 2u);
  for (int t = 0; t < 8; ++t) {
    for (int i = 0; i < 25; ++i) {
      EXPECT_EQ(h.StepFor("S" + std::to_string(t), std::to_string(i), "EMAIL").state,
                StepState::Delivered);
    }
  }
}

TEST(Ledger, AHistoryThatCannotBeTrustedIsReported) {
  test::TempDir dir;
  test::WriteFile(dir / "nul.hst",
                  Step("Alpha", "1", "HTTP", StepState::Delivered) + std::string(64, '\0'));
  std::filesystem::create_directories(dir / "folder.hst");
  for (const char* name : {"nul.hst", "folder.hst"}) {
    std::string problem;
    PostHistory::Load(dir / name, &problem);
    EXPECT_NE(problem, "") << name;
  }
  EXPECT_THROW(HistoryWriter(dir / "folder.hst"), std::exception);
}

}  // namespace
}  // namespace vendrix
