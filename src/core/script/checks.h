#pragma once
// The script check ("Test Script") and the "Engine Checker" with its mass change:
// scripts expanded in preview mode to find faulty variables. File failures are shown
// through the prompt, never thrown. Not thread-safe: the session's thread.
#include <optional>
#include <string>
#include <vector>

#include "base/line_list.h"
#include "base/user_prompt.h"
#include "script/eng_build.h"

namespace vendrix {

// The text the script check window shows for one script; for a mail script, with the
// footer a mail to the site ends with (footerAddress: the FooterURL setting), so that
// it is what the site will receive.
std::string RunScriptCheck(TEngBuild& eng, const std::string& script,
                           const std::optional<std::string>& footerAddress = std::nullopt);

// The lists of the mass change window: every variable with its percent signs, in
// order; both boxes start at the first.
std::vector<std::string> MassChangeChoices();
// Whether text is one of those: the to-box takes no typing, so nothing else can be
// the new text.
bool IsMassChangeChoice(const std::string& text);

inline constexpr const char* kCheckingPanel = "Checking All Engines. Please Wait...";

struct EngineCheckRow {
  std::string site, error, path;  // path: UTF-8
};

// The "Engine Checker" window without its widgets.
class EngineChecker {
 public:
  EngineChecker(TEngBuild& eng, UserPrompt& prompt, const Lines& siteList)
      : eng_(eng), prompt_(prompt), siteList_(siteList) {}

  // Window state the screen binds.
  bool beginEnabled = true, loadEnabled = false, exitEnabled = true, listEnabled = false;
  bool panelVisible = false;
  std::vector<EngineCheckRow> rows;
  int selected = -1;
  std::string editorText;
  std::string fileName;  // the script in the editor

  // "Begin Checking": expands every script file of every listed site.
  void RunEngineCheck();
  // "Load Selected Script" (or a double click on a row).
  void LoadSelectedScript();
  // "Save Script": writes the editor back to its file.
  void SaveScript();
  // The mass change window's "Replace": false when not accepted (empty from-text,
  // from equal to to, or a to-text that is none of the choices). Rewrites only files
  // that change (listed in rewritten), then checks again. A file that cannot be read
  // or written stops the walk with an error naming how many were already rewritten.
  bool RunMassChange(const std::string& from, const std::string& to);
  std::vector<std::string> rewritten;  // UTF-8 paths of the last mass change

 private:
  template <typename Visit>
  void ForEachScript(Visit visit);
  void Restore();
  TEngBuild& eng_;
  UserPrompt& prompt_;
  const Lines& siteList_;
};

}  // namespace vendrix
