#include "profiles/app_page.h"

#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_batch.h"
#include "base/file_io.h"
#include "base/names.h"
#include "base/text_order.h"
#include "profiles/app_rules.h"
#include "profiles/new_name.h"

namespace vendrix {
namespace {

constexpr const char* kNoCompanyYet = "You have not entered a company yet!";

// The fields a new application takes over from the one shown: the selectors and the
// attachments.
bool KeptForNewApp(std::string_view key) {
  static constexpr std::string_view kKept[] = {"NAME",    "PLATFORM",   "DSTATUS",
                                               "STATUS",  "installer",  "ICOPATH",
                                               "GIFPATH", "SCREENPATH", "OTHERPATH"};
  for (auto k : kKept) {
    if (key == k) return true;
  }
  return false;
}

}  // namespace

AppPage::AppPage(const DataTree& tree, MainFlags& flags, UserPrompt& prompt,
                 const CompanyPage& company)
    : tree_(tree), flags_(flags), prompt_(prompt), company_(company) {}

void AppPage::SetText(std::string AppProfile::*member, std::string value) {
  if (profile_.*member == value) return;
  profile_.*member = std::move(value);
  flags_.AppSaved = false;
}

bool AppPage::SetField(std::string_view key, std::string value) {
  const AppField* f = FindAppField(key);
  if (!f || key == "NAME") return false;
  if (auto why = CheckAppValue(key, value)) {
    prompt_.Error(*why);
    return false;
  }
  SetText(f->member, std::move(value));
  return true;
}

bool AppPage::EnterValue(std::string_view key, std::string value) {
  if (key == "8CHAR") {
    auto lowered = Char8Exit(value);
    if (!lowered) {
      prompt_.Error(kChar8Refused);
      return false;
    }
    value = std::move(*lowered);
  } else if (key == "YEAR") {
    auto year = YearEntry(value);
    if (!year) {
      prompt_.Error(kYearRefused);
      return false;
    }
    value = std::move(*year);
  }
  return SetField(key, std::move(value));
}

bool AppPage::EnterLongDesc(Lines lines) {
  if (auto why = CheckMemoText("The long description", JoinLines(lines))) {
    prompt_.Error(*why);
    return false;
  }
  SetLongDesc(std::move(lines));
  return true;
}

bool AppPage::EnterNotes(Lines lines) {
  if (auto why = CheckMemoText("The notes", JoinLines(lines))) {
    prompt_.Error(*why);
    return false;
  }
  SetNotes(std::move(lines));
  return true;
}

void AppPage::SetLongDesc(Lines lines) {
  if (profile_.longDesc == lines) return;
  profile_.longDesc = std::move(lines);
  flags_.AppSaved = false;
}

void AppPage::SetNotes(Lines lines) {
  if (profile_.notes == lines) return;
  profile_.notes = std::move(lines);
  flags_.AppSaved = false;
}

void AppPage::LoadList() {
  Lines apps;
  Lines rejected;
  bool loaded = false;
  skipped_.clear();
  listUnreadable_.clear();
  const std::string path = tree_.AppListFile(company_.Shown());
  try {
    if (!company_.Shown().empty() && !CheckEntryName(company_.Shown())) {
      if (auto lines = LoadLines(path)) {
        apps = FilterNames(*lines, &rejected, EntryKind::App);
        loaded = true;
      }
    }
  } catch (const std::exception& e) {
    // An unreadable list reads as none, and is not saved over while it cannot be read.
    listUnreadable_ =
        std::string(e.what()) + ". The application list is not saved over while it cannot be read.";
    prompt_.Error(listUnreadable_);
  }
  ReportSkipped(prompt_, "application", Utf8ToCp1252(path), rejected, EntryKind::App);
  skipped_ = std::move(rejected);
  names_ = loaded ? std::move(apps) : Lines{};
  if (!names_.empty()) {
    profile_.name = names_.front();
    LoadApp();
  } else {
    profile_.name.clear();
    // The special requirements keep their text until New Application.
    std::string specReq = profile_.specReq;
    ClearAppFields();
    profile_.specReq = std::move(specReq);
  }
}

bool AppPage::Select(std::string_view name) {
  if (IndexOf(names_, name) < 0) return false;
  flags_.SiteTableChanged = false;
  profile_.name = std::string(name);
  LoadApp();
  return true;
}

void AppPage::LoadApp() {
  if (profile_.name.empty()) return;
  IniDocument doc;
  try {
    doc = IniDocument::Load(tree_.AppFile(profile_.name));
  } catch (const std::exception& e) {
    prompt_.Error(e.what());  // unreadable: loads as all empty
  }
  AppProfile read = profile_;
  ReadAppSection(doc, read);
  for (const auto& f : kAppFields) {
    if (f.key != "NAME") SetText(f.member, read.*f.member);
  }
  auto readLines = [](const std::string& path) {
    try {
      return LoadLines(path).value_or(Lines{});
    } catch (...) {
      return Lines{};  // an unreadable description loads as empty
    }
  };
  SetLongDesc(readLines(tree_.LongDescFile(profile_.name)));
  SetNotes(readLines(tree_.NotesFile(profile_.name)));
  if (hooks_.buildSiteTable) hooks_.buildSiteTable();
}

void AppPage::SaveApp() {
  if (profile_.name.empty()) return;
  const std::string path = tree_.AppFile(profile_.name);
  IniDocument doc = IniDocument::Load(path);
  CompanyProfile company = company_.Profile();
  WriteCompanySection(doc, company);
  WriteAppSection(doc, profile_);
  doc.Save(path);
  SaveLines(tree_.LongDescFile(profile_.name), profile_.longDesc);
  SaveLines(tree_.NotesFile(profile_.name), profile_.notes);
  flags_.AppSaved = true;
}

void AppPage::SaveApplication() {
  SaveApp();
  if (!profile_.name.empty() && hooks_.siteGridHasRows && !hooks_.siteGridHasRows() &&
      hooks_.buildSiteTable) {
    hooks_.buildSiteTable();
  }
}

NewNameTexts AppPage::NameTexts(bool refuseHeldElsewhere) const {
  return {"New Application Name", "APP NAME DUPLICATE",
          "The App name you entered is already on the list!", EntryKind::App,
          [this, refuseHeldElsewhere](const std::string& name) {
            if (auto clash = CollidesWithListFile(name)) return clash;
            return refuseHeldElsewhere ? HeldElsewhere(name) : std::nullopt;
          }};
}

bool AppPage::NewApp(const std::optional<std::string>& given) {
  if (company_.Shown().empty()) {
    prompt_.Error(kNoCompanyYet);
    if (hooks_.startNewCompany) hooks_.startNewCompany();
    return false;
  }
  std::optional<std::string> entered;
  for (;;) {
    // Asked, another company's name is not refused at once: it is offered below.
    entered =
        AskNewName(prompt_, names_, NameTexts(/*refuseHeldElsewhere=*/given.has_value()), given);
    if (!entered || given) break;
    const auto holder = HolderElsewhere(*entered);
    if (!holder) break;
    if (prompt_.Confirm("The company \"" + *holder + "\" has an application named \"" + *entered +
                            "\", and applications are stored by name alone, so this company "
                            "cannot have one of that name too. Open that company's application?",
                        false) == Answer::Yes) {
      if (hooks_.openElsewhere) hooks_.openElsewhere(*holder, *entered);
      return false;
    }
  }
  if (!entered) return false;
  Create(*entered, NewAppFields());
  return true;
}

AppProfile AppPage::NewAppFields() const {
  AppProfile fresh = profile_;
  for (const auto& f : kAppFields) {
    if (!KeptForNewApp(f.key)) fresh.*f.member = "";
  }
  fresh.longDesc.clear();
  fresh.notes.clear();
  fresh.specReq.clear();
  return fresh;
}

void AppPage::Create(const std::string& typed, const AppProfile& fields) {
  if (company_.Shown().empty()) throw VendrixError(kNoCompanyYet);
  const std::string name = TrimLeft(typed);
  if (name.empty()) throw VendrixError("An application needs a name.");
  if (auto refusal = RefuseNewName(names_, name, NameTexts())) throw VendrixError(refusal->text);
  // The application's files, the list and its site table as one change (the files
  // before the list: a listed name always has its files); a failure leaves all as it was.
  const AppProfile before = profile_;
  const Lines namesBefore = names_;
  const bool savedBefore = flags_.AppSaved;
  flags_.AddingEntry = true;
  profile_ = fields;
  profile_.name = name;
  Lines updated = names_;
  updated.push_back(name);
  try {
    FileBatch batch;
    SaveApp();
    SaveList(updated);
    names_ = std::move(updated);
    flags_.AddingEntry = false;
    SaveApplication();
    batch.Commit();
  } catch (...) {
    profile_ = before;
    names_ = namesBefore;
    flags_.AppSaved = savedBefore;
    flags_.AddingEntry = false;
    throw;
  }
}

void AppPage::SaveList(const Lines& names) const {
  if (!listUnreadable_.empty()) throw VendrixError(listUnreadable_);
  Lines all = names;
  all.insert(all.end(), skipped_.begin(), skipped_.end());
  tree_.SaveAppList(company_.Shown(), all);
}

std::optional<std::string> AppPage::HeldElsewhere(const std::string& name) const {
  // Application files are keyed by name alone: another company's application of this
  // name would have its version and descriptions cleared.
  if (auto company = HolderElsewhere(name)) {
    return "The application name \"" + name + "\" is refused: the company \"" + *company +
           "\" has an application of that name, and applications are stored by name alone. "
           "Choose that company to work on it.";
  }
  return std::nullopt;
}

std::optional<std::string> AppPage::HolderElsewhere(const std::string& name) const {
  for (const auto& company : company_.Names()) {
    if (company == company_.Shown()) continue;
    Lines apps;
    try {
      if (!tree_.LoadAppList(company, apps)) continue;
    } catch (const std::exception&) {
      continue;  // an unreadable list was reported when it was shown
    }
    if (IndexOf(apps, name) >= 0) return company;
  }
  return std::nullopt;
}

std::optional<std::string> AppPage::CollidesWithListFile(const std::string& name) const {
  // "<company> Apps" would be the application list file of that company.
  constexpr std::string_view kApps = " Apps";
  if (name.size() <= kApps.size() || name.substr(name.size() - kApps.size()) != kApps) {
    return std::nullopt;
  }
  const std::string company = name.substr(0, name.size() - kApps.size());
  if (IndexOf(company_.Names(), company) < 0) return std::nullopt;
  return "The application name \"" + name + "\" is refused: it is the name of the list of " +
         company + "'s applications.";
}

void AppPage::DeleteApp() {
  if (profile_.name.empty()) return;
  if (prompt_.Confirm("Delete This Application ?", false) != Answer::Yes) return;
  // The list, the site table and what showing the next application writes, as one
  // change; the list goes first, so a kill between leaves an unlisted table, never a
  // listed application without one.
  int index = IndexOf(names_, profile_.name);
  Lines updated = names_;
  if (index >= 0) updated.erase(updated.begin() + index);
  const AppProfile before = profile_;
  const Lines namesBefore = names_;
  try {
    FileBatch batch;
    SaveList(updated);
    RemoveFile(tree_.SiteTableFile(profile_.name));
    names_ = std::move(updated);
    if (names_.empty()) {
      profile_.name.clear();
      ClearAppFields();
    } else {
      profile_.name = names_.front();
      LoadApp();
    }
    batch.Commit();
  } catch (...) {
    profile_ = before;
    names_ = namesBefore;
    throw;
  }
}

void AppPage::ClearAppFields() {
  for (const auto& f : kAppFields) {
    if (!KeptForNewApp(f.key)) SetText(f.member, "");
  }
  SetLongDesc({});
  SetNotes({});
  profile_.specReq.clear();
}

bool AppPage::Char8NameExit() {
  auto lowered = Char8Exit(profile_.char8);
  if (!lowered) {
    prompt_.Inform(kChar8Refused);
    SetText(&AppProfile::char8, "");
    return false;
  }
  SetText(&AppProfile::char8, *lowered);
  return true;
}

std::string AppPage::LongDate() const {
  return BuildLongDate(profile_.day, profile_.month, profile_.year);
}

bool AppPage::BrowseFor(std::string_view key) {
  struct Chooser {
    std::string_view key;
    FileChoice choice;
  };
  static const Chooser kChoosers[] = {
      {"PATH", {"Select your program", "Programs|*.ZIP;*.EXE", "EXE"}},
      {"ICOPATH", {"Select Icon File", "Icons|*.ICO", "ICO"}},
      {"GIFPATH", {"Select Gif File", "Gifs|*.GIF", "GIF"}},
      {"SCREENPATH", {"Select File", "ScreenShots|*.*", ""}},
      {"OTHERPATH", {"Select File", "Files|*.*", ""}},
  };
  for (const auto& c : kChoosers) {
    if (c.key != key) continue;
    auto chosen = prompt_.ChooseFile(c.choice);
    if (!chosen) return false;
    SetField(key, *chosen);
    return true;
  }
  return false;
}

}  // namespace vendrix
