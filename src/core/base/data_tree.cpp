#include "base/data_tree.h"

#include "base/cp1252.h"
#include "base/file_io.h"
#include "base/names.h"

namespace vendrix {

DataTree::DataTree(std::string programDir) : ProgramDir(std::move(programDir)) {
  if (ProgramDir.empty()) ProgramDir = "./";
  if (ProgramDir.back() != '/') ProgramDir += '/';
}

void DataTree::MakeDataTree() {
  struct Entry {
    std::string* field;
    const char* rel;
  };
  const Entry entries[] = {
      {&DataDir, "data/"},       {&CompaniesDir, "companies/"},   {&CatDir, "cat/"},
      {&SitesDir, "sites/"},     {&UpdatesDir, "sites/updates/"}, {&FilesDir, "files/"},
      {&ReportsDir, "reports/"}, {&ImagesDir, "images/"}};
  for (const auto& e : entries) {
    *e.field = ProgramDir + e.rel;
    if (!DirExists(*e.field)) MakeDir(*e.field);
  }
}

std::string DataTree::In(const std::string& dir, std::string_view name,
                         std::string_view suffix) const {
  return dir + Cp1252ToUtf8(name) + std::string(suffix);
}

std::string DataTree::SettingsFile() const {
  return ProgramDir + "settings.dat";
}
std::string DataTree::CompanyListFile() const {
  return CompaniesDir + kCompanyListName;
}
std::string DataTree::CompanyFile(std::string_view c) const {
  return In(CompaniesDir, c, kCompanySuffix);
}
std::string DataTree::AppListFile(std::string_view c) const {
  return In(DataDir, c, kAppListSuffix);
}
std::string DataTree::AppFile(std::string_view a) const {
  return In(DataDir, a, kAppSuffix);
}
std::string DataTree::LongDescFile(std::string_view a) const {
  return In(DataDir, a, kLongDescSuffix);
}
std::string DataTree::NotesFile(std::string_view a) const {
  return In(DataDir, a, kNotesSuffix);
}
std::string DataTree::SiteTableFile(std::string_view a) const {
  return In(DataDir, a, kSiteTableSuffix);
}
std::string DataTree::HistoryFile(std::string_view a) const {
  return In(DataDir, a, kHistorySuffix);
}
std::string DataTree::SiteSettingsFile(std::string_view site) const {
  return In(SitesDir, site, ".ini");
}
std::string DataTree::CategoryFile(std::string_view site, int which) const {
  return In(CatDir, site, which == 1 ? " Cat1.cat" : " Cat2.cat");
}
std::string DataTree::ScriptFile(std::string_view site, std::string_view tag) const {
  return In(SitesDir, site, " " + std::string(tag) + ".scp");
}
std::string DataTree::CatalogueListFile() const {
  return SitesDir + "Sites.dat";
}
std::string DataTree::UserListFile() const {
  return SitesDir + "User_Sites.dat";
}

bool DataTree::LoadAppList(std::string_view company, Lines& apps, Lines* rejected) const {
  if (company.empty() || CheckEntryName(company)) return false;
  auto lines = LoadLines(AppListFile(company));
  if (!lines) return false;
  apps = FilterNames(*lines, rejected, EntryKind::App);
  return true;
}

void DataTree::SaveAppList(std::string_view company, const Lines& apps) const {
  if (company.empty() || CheckEntryName(company)) return;
  SaveLines(AppListFile(company), apps);
}

}  // namespace vendrix
