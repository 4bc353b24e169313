#include "profiles/company_profile.h"

namespace vendrix {

const std::array<CompanyField, 14> kCompanyFields = {{
    {"CONAME", "compname", &CompanyProfile::name},
    {"BHSID", "", &CompanyProfile::bhsId},
    {"CONTACT", "conname", &CompanyProfile::contact},
    {"CTITLE", "contitle", &CompanyProfile::title},
    {"CEMAIL", "conmail", &CompanyProfile::email},
    {"CPHONE", "conphone", &CompanyProfile::phone},
    {"CFAX", "confax", &CompanyProfile::fax},
    {"CADDR", "conaddr", &CompanyProfile::address},
    {"CCITY", "concity", &CompanyProfile::city},
    {"CSTATE", "constate", &CompanyProfile::state},
    {"CZIP", "conzip", &CompanyProfile::zip},
    {"CCOUNTRY", "concountry", &CompanyProfile::country},
    {"CURL", "pubpage", &CompanyProfile::url, KeyRule::NoSpace},
    {"CCMAIL", "pubmail", &CompanyProfile::salesEmail, KeyRule::NoSpace},
}};

const CompanyField* FindCompanyField(std::string_view key) {
  for (const auto& f : kCompanyFields) {
    if (f.key == key) return &f;
  }
  return nullptr;
}

std::optional<std::string> CheckCompanyValue(std::string_view key, std::string_view value) {
  const CompanyField* f = FindCompanyField(key);
  if (!f) return "There is no company field " + std::string(key) + ".";
  if (auto why = CheckIniValue(key, value)) return why;
  return BrokenKeyRule(key, f->rule, value);
}

CompanyProfile ReadCompanySection(const IniDocument& doc) {
  CompanyProfile p;
  for (const auto& f : kCompanyFields) p.*f.member = doc.ReadString(kCompanySection, f.key, "");
  return p;
}

void WriteCompanySection(IniDocument& doc, const CompanyProfile& profile) {
  for (const auto& f : kCompanyFields) doc.WriteString(kCompanySection, f.key, profile.*f.member);
}

}  // namespace vendrix
