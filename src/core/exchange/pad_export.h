#pragma once
// Writes a company and one of its applications as a PAD 4.0 file in UTF-8: every
// element of kPadElements, empty where the profiles have nothing. Sizes in bytes,
// K and MB come from SIZE32, the year has four digits, URLs are written as stored.
// Importing the file again gives the same values for every field a PAD file carries;
// where it cannot (a value over its element's limit, cut), a finding says so
// ("Char_Desc_2000: 2,431 characters, cut to 2,000"). Texts are written as they are:
// lines kept, never wrapped; blanks at a value's ends are marked as meant
// (xml:space="preserve"). A value holding a control character XML cannot carry is
// refused with VendrixError and nothing is written. Any thread.
#include <string>
#include <vector>

#include "profiles/app_profile.h"
#include "profiles/company_profile.h"

namespace vendrix {

// findings (Windows-1252), when given, receives what the file does not carry whole.
std::string PadExport(const CompanyProfile& company, const AppProfile& app,
                      std::vector<std::string>* findings = nullptr);

// PadExport written to a path (UTF-8) through WriteFileAtomic; VendrixError when it
// cannot be written or the path holds something other than a plain file (a link, a
// device), which the replacement would destroy.
void WritePadFile(const std::string& path, const CompanyProfile& company, const AppProfile& app,
                  std::vector<std::string>* findings = nullptr);

}  // namespace vendrix
