// The history holds over the site table: the table is saved at most once a second, so
// a run that ends at once may leave a row's mark behind what the history says was
// delivered. The next run sends nothing such a site has and mends the row.
#include <ctime>

#include "run/post_history.h"
#include "run_fixture.h"

namespace vendrix::test {
namespace {

TEST_F(RunTest, TheHistoryHoldsOverARowLeftBehindIt) {
  const std::string when = "2026-12-01 10:00:00";
  std::tm t{};
  t.tm_year = 126;
  t.tm_mon = 11;
  t.tm_mday = 1;
  t.tm_hour = 10;
  const std::string recorded = ShortDate(t);
  struct Case {
    const char* name;
    const char* submit;    // the row's mark before the run
    const char* lastPost;  // and its date
    StepState state;       // the form step's record in the history
    const char* submitAfter;
    bool mended;  // the row's date is the record's
  } cases[] = {
      {"delivered, the row still new", "New", "", StepState::Delivered, "Update", true},
      {"delivered, the row's date an older one", "Update", "01/01/20", StepState::Delivered,
       "Update", true},
      {"uncertain: nothing said the site has it", "New", "", StepState::Uncertain, "New", false},
  };
  HttpSite("Held", "/submit/held");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(Data("data/Prog_SITES.dat"));
    WriteFile(Data("data/Prog.hst"),
              PostHistory::StepLine({"Held", "1.5", when, c.submit, "HTTP", StepState::Begun}) +
                  PostHistory::StepLine({"Held", "1.5", when, c.submit, "HTTP", c.state}));
    Load();
    for (auto& r : session->Table().MutableRows()) {
      if (r.site != "Held") continue;
      r.submit = c.submit;
      r.lastPost = c.lastPost;
    }
    const auto formsBefore = Received("http").size();
    Run();
    EXPECT_EQ(Received("http").size(), formsBefore);  // nothing sent again
    ASSERT_EQ(run->Results().size(), 1u);
    EXPECT_EQ(Row("Held").submit, c.submitAfter);
    EXPECT_EQ(Row("Held").lastPost, c.mended ? recorded : c.lastPost);
    // The mended row is on the disk when the run has ended.
    const std::string table = ReadFile(Data("data/Prog_SITES.dat")).value_or("");
    EXPECT_NE(table.find(std::string("Held\xB1") + c.submitAfter), std::string::npos) << table;
  }
}

// Records not flushed on their own are in the file at once (a kill cannot lose them),
// in the order they were appended, and reach the disk with the next flushed one.
TEST(HistoryWriterTest, EveryAppendIsInTheFileInOrder) {
  TempDir dir;
  const std::string path = dir / "App.hst";
  const std::pair<const char*, bool> appends[] = {
      {"a\r\n", true}, {"b\r\n", false}, {"c\r\n", false}, {"d\r\n", true}, {"e\r\n", false}};
  HistoryWriter writer(path);
  std::string expected;
  for (const auto& [line, durable] : appends) {
    writer.Append(line, durable);
    expected += line;
    EXPECT_EQ(ReadFile(path).value_or(""), expected) << line;
  }
}

}  // namespace
}  // namespace vendrix::test
