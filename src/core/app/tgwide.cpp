#include "app/tgwide.h"

#include <unistd.h>

#include <cstdlib>

#include "base/cp1252.h"
#include "base/file_io.h"
#include "base/names.h"
#include "catalogue/match_ups.h"
#include "script/eng_build.h"

namespace vendrix {

TGWide::TGWide(std::string programDir) : ProgramDir(std::move(programDir)) {
  if (ProgramDir.empty()) ProgramDir = "./";
  if (ProgramDir.back() != '/') ProgramDir += '/';
  MatchUpValues = StandardMatchUps();
}

TGWide::~TGWide() = default;

void TGWide::MakeDataTree() {
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

bool TGWide::CreateWorkers() {
  try {
    iniSites_ = std::make_unique<TIniSites>();
    engBuild_ = std::make_unique<TEngBuild>(*this);
    return true;
  } catch (...) {
    return false;
  }
}

std::string TGWide::In(const std::string& dir, std::string_view name, const char* suffix) const {
  return dir + Cp1252ToUtf8(name) + suffix;
}

std::string TGWide::SettingsFile() const {
  return ProgramDir + "settings.dat";
}
std::string TGWide::CompanyListFile() const {
  return CompaniesDir + "companies.dat";
}
std::string TGWide::CompanyFile(std::string_view c) const {
  return In(CompaniesDir, c, ".dat");
}
std::string TGWide::AppListFile(std::string_view c) const {
  return In(DataDir, c, " Apps.dat");
}
std::string TGWide::AppFile(std::string_view a) const {
  return In(DataDir, a, ".dat");
}
std::string TGWide::LongDescFile(std::string_view a) const {
  return In(DataDir, a, ".lds");
}
std::string TGWide::NotesFile(std::string_view a) const {
  return In(DataDir, a, ".nts");
}
std::string TGWide::SiteTableFile(std::string_view a) const {
  return In(DataDir, a, "_SITES.dat");
}

Lines FilterNames(const Lines& names, Lines* rejected) {
  Lines kept;
  kept.reserve(names.size());
  for (const auto& n : names) {
    if (CheckEntryName(n)) {
      if (rejected) rejected->push_back(n);
    } else {
      kept.push_back(n);
    }
  }
  return kept;
}

void ReportSkipped(UserPrompt& prompt, std::string_view what, std::string_view where,
                   const Lines& rejected) {
  for (const auto& bad : rejected) {
    prompt.Error("The " + std::string(what) + " \"" + bad + "\" in " + std::string(where) +
                 " was skipped: " + *CheckEntryName(bad));
  }
}

bool TGWide::LoadAppList(std::string_view company, Lines& apps, Lines* rejected) const {
  if (company.empty() || CheckEntryName(company)) return false;
  auto lines = LoadLines(AppListFile(company));
  if (!lines) return false;
  apps = FilterNames(*lines, rejected);
  return true;
}

void TGWide::SaveAppList(std::string_view company, const Lines& apps) const {
  if (company.empty() || CheckEntryName(company)) return;
  SaveLines(AppListFile(company), apps);
}

std::string ResolveDataRoot(const std::string& dataDir, const std::string& programPath) {
  if (!dataDir.empty()) return dataDir;
  std::string dir = programPath;
  auto slash = dir.rfind('/');
  dir = slash == std::string::npos ? "." : dir.substr(0, slash);
  if (!dir.empty() && ::access(dir.c_str(), W_OK) == 0) return dir;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
    return std::string(xdg) + "/vendrix";
  }
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.local/share/vendrix";
}

}  // namespace vendrix
