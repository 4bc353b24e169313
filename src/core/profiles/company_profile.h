#pragma once
// A company profile: the fourteen keys of a company file, in write order. The same
// keys form the "COMPANY" section of every application file. Plain data; nothing
// throws. Any thread.
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "base/ini_file.h"
#include "profiles/key_rule.h"

namespace vendrix {

struct CompanyProfile {
  std::string name, bhsId, contact, title, email, phone, fax, address, city, state, zip, country,
      url, salesEmail;
};

struct CompanyField {
  std::string_view key;
  std::string_view control;  // the screen field; empty for BHSID, which is not shown
  std::string CompanyProfile::*member;
  KeyRule rule = KeyRule::Any;
};

extern const std::array<CompanyField, 14> kCompanyFields;

inline constexpr std::string_view kCompanySection = "COMPANY";

const CompanyField* FindCompanyField(std::string_view key);  // exact key, or nullptr
// Why a value may not be stored in a company field (the page, the command line and
// imports all ask this), naming the field; nullopt when it may.
std::optional<std::string> CheckCompanyValue(std::string_view key, std::string_view value);
CompanyProfile ReadCompanySection(const IniDocument& doc);
void WriteCompanySection(IniDocument& doc, const CompanyProfile& profile);

}  // namespace vendrix
