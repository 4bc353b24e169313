#include "script/checks.h"

#include "base/file_io.h"
#include "base/line_list.h"
#include "script/submission.h"
#include "script/text_tools.h"
#include "script/variables.h"

namespace vendrix {

std::string RunScriptCheck(TEngBuild& eng, const std::string& script,
                           const std::optional<std::string>& footerAddress) {
  std::string expanded = eng.ExpandText(script, ExpansionMode::Preview);
  if (eng.ErrorFlag) return "Script Error! -> [" + eng.ErrorName + "]";
  if (footerAddress) {
    // The mail's body is the script's lines, then the footer's, each ended by CR LF.
    Lines body = SplitLines(expanded);
    const Lines footer = MailFooter(*footerAddress);
    body.insert(body.end(), footer.begin(), footer.end());
    expanded = JoinLines(body);
  }
  return expanded;
}

std::vector<std::string> MassChangeChoices() {
  std::vector<std::string> choices;
  for (const auto& v : kVariables) choices.push_back("%" + std::string(v.name) + "%");
  return choices;
}

bool IsMassChangeChoice(const std::string& text) {
  for (const auto& choice : MassChangeChoices()) {
    if (choice == text) return true;
  }
  return false;
}

template <typename Visit>
void EngineChecker::ForEachScript(Visit visit) {
  for (const auto& site : siteList_) {
    for (ScriptKind kind : kScriptKinds) {
      const std::string path = eng_.ScriptFile(site, kind);
      auto data = ReadWholeFile(path);
      if (!data) continue;
      editorText = NormaliseLineEnds(*data);
      visit(site, path);
    }
  }
}

void EngineChecker::Restore() {
  editorText.clear();
  beginEnabled = true;
  listEnabled = true;
  exitEnabled = true;
  panelVisible = false;
}

void EngineChecker::RunEngineCheck() {
  beginEnabled = loadEnabled = exitEnabled = listEnabled = false;
  panelVisible = true;
  rows.clear();
  selected = -1;
  editorText.clear();
  fileName.clear();
  // Each script is expanded with its own site's definition (categories, match-up
  // values, byte format), not the one open in the builder: a category script of a site
  // whose lists are filled is no finding just because the open site's are empty.
  const ExpansionContext shown = eng_.Context();
  SiteDefinition own;
  std::string ownName;
  bool ownLoaded = false;
  try {
    ForEachScript([&](const std::string& site, const std::string& path) {
      if (!ownLoaded || ownName != site) {
        eng_.LoadSite(site, own);
        ownName = site;
        ownLoaded = true;
        ExpansionContext context = shown;
        context.site = &own;
        eng_.SetContext(context);
      }
      eng_.ExpandText(editorText, ExpansionMode::Preview);
      if (eng_.ErrorFlag) rows.push_back({site, "Error! -> [" + eng_.ErrorName + "]", path});
    });
  } catch (const std::exception& e) {
    eng_.SetContext(shown);
    Restore();
    prompt_.Error(e.what());
    return;
  }
  eng_.SetContext(shown);
  Restore();
  if (rows.empty()) {
    prompt_.Inform("No Errors found! :)");
  } else {
    selected = 0;
    loadEnabled = true;
    LoadSelectedScript();
  }
}

void EngineChecker::LoadSelectedScript() {
  if (selected < 0 || selected >= static_cast<int>(rows.size())) return;
  fileName = rows[selected].path;
  try {
    editorText = NormaliseLineEnds(ReadWholeFile(fileName).value_or(""));
  } catch (const std::exception& e) {
    prompt_.Error(e.what());
  }
}

void EngineChecker::SaveScript() {
  if (fileName.empty()) return;
  try {
    SaveLines(fileName, SplitLines(editorText));
  } catch (const std::exception& e) {
    prompt_.Error(e.what());
  }
}

bool EngineChecker::RunMassChange(const std::string& from, const std::string& to) {
  if (from.empty() || from == to || !IsMassChangeChoice(to)) return false;
  panelVisible = true;
  editorText.clear();
  rewritten.clear();
  try {
    ForEachScript([&](const std::string&, const std::string& path) {
      if (ReplaceAll(editorText, from, to) > 0) {
        SaveLines(path, SplitLines(editorText));
        rewritten.push_back(path);
      }
    });
  } catch (const std::exception& e) {
    Restore();
    prompt_.Error(std::string(e.what()) + "\r\nThe mass change stopped there; " +
                  std::to_string(rewritten.size()) +
                  (rewritten.size() == 1 ? " script file was" : " script files were") +
                  " already rewritten.");
    return true;
  }
  panelVisible = false;
  prompt_.Inform("Mass Change Done!");
  RunEngineCheck();
  return true;
}

}  // namespace vendrix
