#include "catalogue/site_builder.h"

#include <algorithm>

#include "base/file_batch.h"
#include "base/file_io.h"
#include "base/line_list.h"
#include "base/names.h"
#include "base/text_order.h"
#include "catalogue/match_ups.h"
#include "catalogue/site_settings.h"

namespace vendrix {

SiteBuilderEnabled EnabledFor(const SiteDefinition& def) {
  return {def.useCat1, def.useCat2, def.useHttpPost, def.useFtpUpload, def.useEmail};
}

namespace {
constexpr const char* kDefaultScriptFiles[] = {"FTP_DEF_SCRIPT.SCP", "EMAIL_DEF_SCRIPT_NEW.SCP",
                                               "EMAIL_DEF_SCRIPT_UPDATE.SCP"};
}

std::string DefaultScriptFile(const DataTree& tree, DefaultScript which) {
  return tree.DataDir + kDefaultScriptFiles[static_cast<int>(which)];
}

std::string DefaultScriptSource(const DataTree& tree, DefaultScript which) {
  const std::string own = DefaultScriptFile(tree, which);
  if (FileExists(own) || tree.ShareDir.empty()) return own;
  const std::string installed =
      tree.ShareDir + "starter/scripts/" + kDefaultScriptFiles[static_cast<int>(which)];
  return FileExists(installed) ? installed : own;
}

const char* DefaultScriptTitle(DefaultScript which) {
  static constexpr const char* kTitles[] = {"Default FTP Script", "Default NEW EMAIL Script",
                                            "Default UPDATE EMAIL Script"};
  return kTitles[static_cast<int>(which)];
}

SiteBuilder::SiteBuilder(SiteStore& store, MainFlags& flags, UserPrompt& prompt)
    : store_(store), flags_(flags), prompt_(prompt) {}

SiteDefinition& SiteBuilder::Edit() {
  flags_.SiteSaved = false;
  return def_;
}

void SiteBuilder::LoadLists() {
  Lines rejected;
  try {
    store_.LoadSiteLists(lists_, &rejected);
  } catch (const std::exception& e) {
    prompt_.Error(e.what());  // an unreadable list reads as empty
  }
  ReportSkipped(prompt_, "site", "the site lists", rejected, EntryKind::Site);
}

bool SiteBuilder::OpenSite(std::string_view name) {
  // SiteList is kept sorted without regard to case, so it is its own index: a binary
  // search finds the names that sort alike, and the exact one is among them.
  const auto& list = lists_.SiteList;
  const auto [first, last] =
      std::equal_range(list.begin(), list.end(), name,
                       [](std::string_view a, std::string_view b) { return LessNoCase(a, b); });
  const auto it = std::find(first, last, name);
  return it != last && OpenSiteAt(static_cast<int>(it - list.begin()));
}

bool SiteBuilder::OpenSiteAt(int index) {
  if (index < 0 || index >= static_cast<int>(lists_.SiteList.size())) return false;
  contributeVisible_ = false;
  lists_.selected = index;
  store_.LoadSite(lists_.SiteList[index], def_);
  flags_.SiteSaved = true;
  return true;
}

void SiteBuilder::SetUseZipFile(bool on) {
  def_.useZipFile = on;
  if (!on) def_.textFileOption = TextFileOption::AddToUpload;
  flags_.SiteSaved = false;
}

void SiteBuilder::SetTextFileOption(TextFileOption option) {
  if (!def_.useZipFile &&
      (option == TextFileOption::IncludeInZip || option == TextFileOption::Both)) {
    option = TextFileOption::AddToUpload;
  }
  def_.textFileOption = option;
  flags_.SiteSaved = false;
}

void SiteBuilder::EditAll(const SiteDefinition& def) {
  const bool wasZip = def_.useZipFile;
  Edit() = def;
  if (wasZip && !def.useZipFile) SetUseZipFile(false);
  SetTextFileOption(def_.textFileOption);
}

bool SiteBuilder::NewSite() {
  SiteStore& eng = store_;
  // The site's files and the lists that name it as one change: all of it or nothing.
  const SiteLists before = lists_;
  FileBatch batch;
  for (;;) {
    auto typed = prompt_.AskName("New Site Name:");
    if (!typed || typed->empty()) return false;
    if (eng.AddSite(lists_, *typed, prompt_)) break;
  }
  def_.name = *lists_.Selected();
  eng.ClearSite(def_);
  flags_.SiteSaved = false;
  try {
    eng.SaveSite(def_);
    batch.Commit();
  } catch (...) {
    lists_ = before;
    throw;
  }
  contributeVisible_ = true;
  return true;
}

void SiteBuilder::SaveSite() {
  if (!lists_.Selected()) return;
  if (auto why = CheckSiteSettings(def_, store_.MatchUpValues())) {
    prompt_.Error(*why + " The site was not saved.");
    return;
  }
  def_.name = *lists_.Selected();
  store_.SaveSite(def_);
  if (rebuildTable_) rebuildTable_();
  flags_.SiteSaved = true;
}

void SiteBuilder::DeleteSite() {
  const std::string* selected = lists_.Selected();
  if (!selected) return;
  if (prompt_.Confirm("Delete This Site ?", false) != Answer::Yes) return;
  std::string name = *selected;
  const SiteLists before = lists_;
  try {
    FileBatch batch;  // the lists and the site's files: both or neither
    store_.DeleteSite(lists_, name);
    batch.Commit();
  } catch (...) {
    lists_ = before;
    throw;
  }
  if (!lists_.SiteList.empty()) {
    OpenSiteAt(0);
  } else {
    def_ = SiteDefinition{};
  }
}

MatchUps SiteBuilder::MatchUpWindowValues() const {
  const MatchUps& m = store_.MatchUpValues();
  if (m[1].empty() || m[2].empty() || m[3].empty()) return StandardMatchUps();
  return m;
}

void SiteBuilder::CloseMatchUpWindow(const MatchUps& values) {
  store_.MatchUpValues() = values;
}

bool SiteBuilder::LoadDefaultScript(DefaultScript which) {
  if (prompt_.Confirm("Sure you want to do this?", false) != Answer::Yes) return false;
  const std::string path = DefaultScriptSource(store_.Tree(), which);
  std::optional<std::string> data;
  try {
    data = ReadWholeFile(path);
  } catch (const std::exception& e) {
    prompt_.Error(e.what());
    return false;
  }
  if (!data) {
    prompt_.Error("Cannot open file \"" + path + "\". No such file or directory.");
    return false;
  }
  static constexpr ScriptKind kKinds[] = {ScriptKind::FtpNew, ScriptKind::EmailNew,
                                          ScriptKind::EmailUpdate};
  Edit().Script(kKinds[static_cast<int>(which)]) = NormaliseLineEnds(*data);
  return true;
}

DefaultScriptEditor::DefaultScriptEditor(const DataTree& tree, UserPrompt& prompt,
                                         DefaultScript which)
    : path_(DefaultScriptFile(tree, which)) {
  auto data = ReadWholeFile(DefaultScriptSource(tree, which));
  if (!data) {
    prompt.Error("Default Script File Not Found!");
    return;
  }
  text_ = NormaliseLineEnds(*data);
}

void DefaultScriptEditor::Save() const {
  SaveLines(path_, SplitLines(text_));
}

}  // namespace vendrix
