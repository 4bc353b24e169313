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
    {"CURL", "pubpage", &CompanyProfile::url},
    {"CCMAIL", "pubmail", &CompanyProfile::salesEmail},
}};

const CompanyField* FindCompanyField(std::string_view key) {
  for (const auto& f : kCompanyFields) {
    if (f.key == key) return &f;
  }
  return nullptr;
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
