#include "profiles/company_page.h"

#include "base/file_io.h"
#include "base/names.h"
#include "base/text_order.h"
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
  SetFieldText(f->member, std::move(value));
  return true;
}

void CompanyPage::SetBhsId(std::string id) {
  profile_.bhsId = std::move(id);
  flags_.CompanySaved = false;
}

void CompanyPage::LoadList() {
  names_.clear();
  if (auto lines = LoadLines(tree_.CompanyListFile())) {
    Lines rejected;
    names_ = FilterNames(*lines, &rejected);
    ReportSkipped(prompt_, "company", tree_.CompanyListFile(), rejected);
  }
  SortNoCase(names_);
  if (!names_.empty()) {
    profile_.name = names_.front();
    LoadCompany();
  }
}

bool CompanyPage::Select(std::string_view name) {
  if (IndexOf(names_, name) < 0) return false;
  profile_.name = std::string(name);
  LoadCompany();
  return true;
}

void CompanyPage::LoadCompany() {
  if (flags_.AddingEntry || profile_.name.empty()) return;
  const std::string path = tree_.CompanyFile(profile_.name);
  auto data = ReadWholeFile(path);
  if (!data) return;  // the fields keep what they held
  CompanyProfile read = ReadCompanySection(IniDocument::Parse(*data));
  if (!read.name.empty()) profile_.name = read.name;
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

bool CompanyPage::NewCompany() {
  auto entered = AskNewName(prompt_, names_,
                            {"New Company Name", "COMPANY NAME DUPLICATE",
                             "The company name you entered is already on the list!"});
  if (!entered) return false;
  const std::string& name = *entered;
  flags_.AddingEntry = true;
  Lines updated = names_;
  InsertSorted(updated, name);
  try {
    SaveLines(tree_.CompanyListFile(), updated);
  } catch (...) {
    flags_.AddingEntry = false;
    throw;
  }
  names_ = std::move(updated);
  flags_.CompanySaved = false;
  profile_.name = name;
  ClearCompanyFields();
  flags_.AddingEntry = false;
  SaveCompany();
  return true;
}

void CompanyPage::DeleteCompany() {
  if (profile_.name.empty()) return;
  if (prompt_.Confirm("Delete This Company ?", false) != Answer::Yes) return;
  int index = IndexOf(names_, profile_.name);
  Lines updated = names_;
  if (index >= 0) updated.erase(updated.begin() + index);
  SaveLines(tree_.CompanyListFile(), updated);
  names_ = std::move(updated);
  if (!names_.empty()) {
    profile_.name = names_.front();
    LoadCompany();
  } else {
    profile_.name.clear();
  }
}

void CompanyPage::ClearCompanyFields() {
  for (const auto& f : kCompanyFields) {
    if (!f.control.empty() && f.key != "CONAME") SetFieldText(f.member, "");
  }
  profile_.bhsId.clear();
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
