#include "profiles/company_page.h"

#include "base/file_batch.h"

#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_io.h"
#include "base/names.h"
#include "base/text_order.h"
#include "profiles/app_profile.h"
#include "profiles/new_name.h"

namespace vendrix {

CompanyPage::CompanyPage(const DataTree& tree, MainFlags& flags, UserPrompt& prompt)
    : tree_(tree), flags_(flags), prompt_(prompt) {}

void CompanyPage::SetFieldText(std::string CompanyProfile::*member, std::string value) {
  if (profile_.*member == value) return;
  profile_.*member = std::move(value);
  flags_.CompanySaved = false;
}

bool CompanyPage::SetField(std::string_view key, std::string value) {
  const CompanyField* f = FindCompanyField(key);
  if (!f || f->control.empty() || key == "CONAME") return false;
  if (auto why = CheckCompanyValue(key, value)) {
    prompt_.Error(*why);
    return false;
  }
  SetFieldText(f->member, std::move(value));
  return true;
}

bool CompanyPage::SetBhsId(std::string id) {
  if (auto why = CheckIniValue("The BHS ID#", id)) {
    prompt_.Error(*why);
    return false;
  }
  profile_.bhsId = std::move(id);
  flags_.CompanySaved = false;
  return true;
}

void CompanyPage::ShownChanged() {
  if (onShownChanged_) onShownChanged_();
}

void CompanyPage::LoadList() {
  names_.clear();
  skipped_.clear();
  listUnreadable_.clear();
  const std::string path = tree_.CompanyListFile();
  try {
    if (auto lines = LoadLines(path)) {
      names_ = FilterNames(*lines, &skipped_, EntryKind::Company);
      ReportSkipped(prompt_, "company", Utf8ToCp1252(path), skipped_, EntryKind::Company);
    }
  } catch (const std::exception& e) {
    // An unreadable list reads as none, and is not saved over while it cannot be read.
    listUnreadable_ =
        std::string(e.what()) + ". The company list is not saved over while it cannot be read.";
    prompt_.Error(listUnreadable_);
  }
  SortNoCase(names_);
  profile_.name = names_.empty() ? std::string() : names_.front();
  if (!names_.empty()) LoadCompany();
  ShownChanged();
}

bool CompanyPage::Select(std::string_view name) {
  if (IndexOf(names_, name) < 0) return false;
  profile_.name = std::string(name);
  LoadCompany();
  ShownChanged();
  return true;
}

void CompanyPage::LoadCompany() {
  if (flags_.AddingEntry || profile_.name.empty()) return;
  const std::string path = tree_.CompanyFile(profile_.name);
  std::optional<std::string> data;
  try {
    data = ReadWholeFile(path);
  } catch (const std::exception& e) {
    prompt_.Error(e.what());  // unreadable: as if missing
  }
  if (!data) return;  // the fields keep what they held
  // The list's spelling stays the key of the company's files; CONAME is not read back.
  CompanyProfile read = ReadCompanySection(IniDocument::Parse(*data));
  profile_.bhsId = read.bhsId;
  for (const auto& f : kCompanyFields) {
    if (!f.control.empty() && f.key != "CONAME") SetFieldText(f.member, read.*f.member);
  }
}

void CompanyPage::SaveCompany() {
  if (profile_.name.empty()) return;
  IniDocument doc = IniDocument::Load(tree_.CompanyFile(profile_.name));
  WriteCompanySection(doc, profile_);
  doc.Save(tree_.CompanyFile(profile_.name));
  flags_.CompanySaved = true;
}

NewNameTexts CompanyPage::NameTexts() const {
  return {"New Company Name", "COMPANY NAME DUPLICATE",
          "The company name you entered is already on the list!", EntryKind::Company,
          [this](const std::string& name) { return CollidesWithAppFile(name); }};
}

bool CompanyPage::NewCompany(const std::optional<std::string>& given) {
  auto entered = AskNewName(prompt_, names_, NameTexts(), given);
  if (!entered) return false;
  Create(*entered, CompanyProfile{});
  return true;
}

void CompanyPage::Create(const std::string& typed, const CompanyProfile& fields) {
  const std::string name = TrimLeft(typed);
  if (name.empty()) throw VendrixError("A company needs a name.");
  if (auto refusal = RefuseNewName(names_, name, NameTexts())) throw VendrixError(refusal->text);
  // The company's file and the list as one change (the file first: a listed name always
  // has its file); a failure leaves both as they were.
  const CompanyProfile before = profile_;
  const bool savedBefore = flags_.CompanySaved;
  flags_.AddingEntry = true;
  profile_ = fields;
  profile_.name = name;
  Lines updated = names_;
  InsertSorted(updated, name);
  try {
    FileBatch batch;
    SaveCompany();
    SaveList(updated);
    batch.Commit();
  } catch (...) {
    profile_ = before;
    flags_.CompanySaved = savedBefore;
    flags_.AddingEntry = false;
    throw;
  }
  names_ = std::move(updated);
  flags_.AddingEntry = false;
  ShownChanged();
}

void CompanyPage::SaveList(const Lines& names) const {
  if (!listUnreadable_.empty()) throw VendrixError(listUnreadable_);
  Lines all = names;
  all.insert(all.end(), skipped_.begin(), skipped_.end());
  SaveLines(tree_.CompanyListFile(), all);
}

std::optional<std::string> CompanyPage::CollidesWithAppFile(const std::string& name) const {
  // The company's application list would take the file of an application.
  const std::string path = tree_.AppListFile(name);
  bool clash = false;
  try {
    clash = IniDocument::Load(path).Get(kAppSection, "NAME").has_value();
  } catch (const std::exception&) {
    clash = true;  // something unreadable is in the way
  }
  if (!clash) return std::nullopt;
  return "The company name \"" + name + "\" is refused: its application list would replace " +
         Utf8ToCp1252(path) + ", an application's file.";
}

void CompanyPage::DeleteCompany() {
  if (profile_.name.empty()) return;
  if (prompt_.Confirm("Delete This Company ?", false) != Answer::Yes) return;
  int index = IndexOf(names_, profile_.name);
  Lines updated = names_;
  if (index >= 0) updated.erase(updated.begin() + index);
  // The list and what showing the next company writes, as one change.
  FileBatch batch;
  SaveList(updated);
  names_ = std::move(updated);
  if (!names_.empty()) {
    profile_.name = names_.front();
    LoadCompany();
  } else {
    profile_.name.clear();
  }
  ShownChanged();
  batch.Commit();
}

CompanyPage::BhsAction CompanyPage::ShowBhsId() {
  if (profile_.name.empty()) {
    prompt_.Error("You first need to define a company name!");
    return BhsAction::NoCompany;
  }
  if (profile_.bhsId.empty()) return BhsAction::OpenAccountDialog;
  prompt_.Inform("Your BHS ID# is: " + profile_.bhsId);
  return BhsAction::ShownId;
}

}  // namespace vendrix
