#include "catalogue/site_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/file_io.h"
#include "base/folder_listing.h"
#include "base/names.h"
#include "base/text_order.h"
#include "catalogue/match_ups.h"
#include "catalogue/site_settings.h"

namespace vendrix {
std::string SiteStore::SiteSettingsFile(std::string_view site) const {
  return tree_.SiteSettingsFile(site);
}

std::string SiteStore::CategoryFile(std::string_view site, int which) const {
  return tree_.CategoryFile(site, which);
}

std::string SiteStore::ScriptFile(std::string_view site, ScriptKind kind) const {
  return tree_.ScriptFile(site, ScriptTag(kind));
}

namespace {

// Splits the lines of a list file into the usable names and the others.
// Makes path readable by its owner only, creating it empty when missing; a link is
// left alone (the write that follows replaces it).
void RestrictToOwner(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  ::fchmod(fd, 0600);
  ::close(fd);
}

void ReadList(const std::string& path, Lines& usable, Lines& skipped, Lines* rejected) {
  auto lines = LoadLines(path);
  if (!lines) return;
  for (auto& name : *lines) {
    if (!name.empty() && !CheckEntryName(name, EntryKind::Site)) {
      usable.push_back(std::move(name));
      continue;
    }
    if (!name.empty() && rejected) rejected->push_back(name);
    skipped.push_back(std::move(name));
  }
}

Lines Merged(const Lines& usable, const Lines& skipped) {
  Lines all = usable;
  all.insert(all.end(), skipped.begin(), skipped.end());
  SortNoCase(all);
  return all;
}

}  // namespace

void SiteStore::LoadSiteLists(SiteLists& lists, Lines* rejected) const {
  lists = SiteLists{};
  ReadList(tree_.CatalogueListFile(), lists.CatalogueSites, lists.CatalogueSkipped, rejected);
  ReadList(tree_.UserListFile(), lists.UserSites, lists.UserSkipped, rejected);
  SortNoCase(lists.CatalogueSites);
  SortNoCase(lists.UserSites);
  lists.SiteList = lists.CatalogueSites;
  lists.SiteList.insert(lists.SiteList.end(), lists.UserSites.begin(), lists.UserSites.end());
  // Two sorted lists merged keep the order a stable sort of both would give.
  std::inplace_merge(
      lists.SiteList.begin(),
      lists.SiteList.begin() + static_cast<std::ptrdiff_t>(lists.CatalogueSites.size()),
      lists.SiteList.end(),
      [](const std::string& a, const std::string& b) { return LessNoCase(a, b); });
  // One entry per name: a site the user made that an update also brought (or a name a
  // file lists twice) is one site with one set of files, posted once.
  std::unordered_set<std::string_view> seen;
  seen.reserve(lists.SiteList.size());
  std::vector<char> first(lists.SiteList.size());
  for (std::size_t i = 0; i < lists.SiteList.size(); ++i) {
    first[i] = seen.insert(lists.SiteList[i]).second;
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < lists.SiteList.size(); ++i) {
    if (first[i] && kept++ != i) lists.SiteList[kept - 1] = std::move(lists.SiteList[i]);
  }
  lists.SiteList.resize(kept);
}

void SiteStore::SaveSiteLists(const SiteLists& lists) const {
  SaveLines(tree_.CatalogueListFile(), Merged(lists.CatalogueSites, lists.CatalogueSkipped));
  SaveLines(tree_.UserListFile(), Merged(lists.UserSites, lists.UserSkipped));
}

bool SiteStore::AddSite(SiteLists& lists, std::string_view typed, UserPrompt& prompt) {
  std::string name = TrimBoth(typed);
  if (name.empty()) return false;
  if (IndexOf(lists.SiteList, name) >= 0) {
    prompt.ErrorDialog("SITE NAME DUPLICATE", "The site name you entered is already on the list!",
                       kErrorDialogInstruction);
    return false;
  }
  if (auto why = CheckEntryName(name, EntryKind::Site)) {
    prompt.Error(*why);
    return false;
  }
  SiteLists updated = lists;
  InsertSorted(updated.UserSites, name);
  InsertSorted(updated.SiteList, name);
  updated.selected = IndexOf(updated.SiteList, name);
  SaveSiteLists(updated);
  lists = std::move(updated);
  matchUps_ = StandardMatchUps();
  return true;
}

void SiteStore::DeleteSite(SiteLists& lists, std::string_view name) const {
  RemoveFile(SiteSettingsFile(name));
  RemoveFile(CategoryFile(name, 1));
  RemoveFile(CategoryFile(name, 2));
  for (ScriptKind k : kScriptKinds) RemoveFile(ScriptFile(name, k));
  for (Lines* l : {&lists.CatalogueSites, &lists.UserSites, &lists.SiteList}) {
    int i = IndexOf(*l, name);
    if (i >= 0) l->erase(l->begin() + i);
  }
  lists.selected = -1;
  SaveSiteLists(lists);
}

void SiteStore::ClearSite(SiteDefinition& def) const {
  ClearSiteDefinition(def);
}

void SiteStore::LoadSite(std::string_view name, SiteDefinition& def) {
  def.name = std::string(name);
  ClearSite(def);
  LoadSettings(name, def);
  LoadCategories(name, def);
  LoadScripts(name, def);
}

void SiteStore::SaveSite(const SiteDefinition& def) const {
  SaveSettings(def);
  SaveCategories(def);
  SaveScripts(def);
}

void SiteStore::LoadSettings(std::string_view name, SiteDefinition& def) {
  if (name.empty()) return;
  const std::string path = SiteSettingsFile(name);
  auto data = ReadWholeFile(path);
  if (!data) {
    matchUps_ = StandardMatchUps();
    return;
  }
  ReadSiteSettings(IniDocument::Parse(*data), def, matchUps_);
}

void SiteStore::SaveSettings(const SiteDefinition& def) const {
  if (def.name.empty()) return;
  const std::string path = SiteSettingsFile(def.name);
  // A file holding an FTP password is its owner's alone, like the program settings
  // (the atomic write keeps the permissions of the file it replaces).
  if (!def.loginPassword.empty()) RestrictToOwner(path);
  IniDocument doc = IniDocument::Load(path);
  WriteSiteSettings(doc, def, matchUps_);
  doc.Save(path);
}

namespace {

// Whether the optional file at path is worth opening (a run's listing may know it is not there).
bool MayExist(const std::string& path) {
  FolderListing* listing = FolderListing::Current();
  return !listing || listing->MayExist(path);
}

}  // namespace

void SiteStore::LoadCategories(std::string_view name, SiteDefinition& def) const {
  Lines* lists[] = {&def.cat1, &def.cat2};
  for (int which = 1; which <= 2; ++which) {
    const std::string path = CategoryFile(name, which);
    if (!MayExist(path)) continue;
    if (auto l = LoadLines(path)) *lists[which - 1] = std::move(*l);
  }
}

void SiteStore::SaveCategories(const SiteDefinition& def) const {
  const Lines* lists[] = {&def.cat1, &def.cat2};
  for (int which = 1; which <= 2; ++which) {
    const Lines& list = *lists[which - 1];
    if (list.empty()) {
      RemoveFile(CategoryFile(def.name, which));
    } else {
      SaveLines(CategoryFile(def.name, which), list);
    }
  }
}

void SiteStore::LoadScripts(std::string_view name, SiteDefinition& def) const {
  for (ScriptKind k : kScriptKinds) {
    const std::string path = ScriptFile(name, k);
    if (!MayExist(path)) continue;
    if (auto data = ReadWholeFile(path)) def.Script(k) = NormaliseLineEnds(*data);
  }
}

void SiteStore::SaveScripts(const SiteDefinition& def) const {
  for (ScriptKind k : kScriptKinds) {
    const std::string& text = def.Script(k);
    if (text.empty()) continue;  // an emptied script keeps its file
    SaveLines(ScriptFile(def.name, k), SplitLines(text));
  }
}

}  // namespace vendrix
