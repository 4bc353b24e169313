#pragma once
// The catalogue of the demo data tree, as the harnesses that need sites use it.
#include <optional>
#include <string>

#include "base/clock.h"
#include "base/data_tree.h"
#include "base/main_flags.h"
#include "base/user_prompt.h"
#include "catalogue/match_ups.h"
#include "catalogue/site_lists.h"
#include "catalogue/site_store.h"
#include "fuzz_support.h"

namespace vendrix::fuzz {

// Answers nothing and shows nothing.
class SilentPrompt : public UserPrompt {
 public:
  void Inform(const std::string&) override {}
  void Error(const std::string&) override {}
  Answer Confirm(const std::string&, bool) override { return Answer::No; }
  std::optional<std::string> AskName(const std::string&) override { return std::nullopt; }
  std::optional<std::string> ChooseFile(const FileChoice&) override { return std::nullopt; }
  void ErrorDialog(const std::string&, const std::string&, const std::string&) override {}
};

struct DemoWorld {
  DemoWorld() {
    tree.MakeDataTree();
    store.LoadSiteLists(lists);
  }
  DataTree tree{DemoTree()};
  MatchUps matchUps = StandardMatchUps();
  SiteStore store{tree, matchUps};
  MainFlags flags;
  SilentPrompt prompt;
  SystemClock clock;
  SiteLists lists;
};

}  // namespace vendrix::fuzz
