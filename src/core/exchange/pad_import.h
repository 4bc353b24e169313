#pragma once
// Reads a PAD file into a company profile and an application profile. Every value
// passes the exact Windows-1252 conversion and the rules of its profile field; a value
// that breaks one is not stored and becomes a finding, and the rest is still read.
// A file that cannot be a PAD file is refused whole: larger than kMaxPadBytes, not
// well-formed XML, declaring a DTD (no DTD or external entity is ever resolved), a
// root other than XML_DIZ_INFO, an encoding other than UTF-8, UTF-16, Windows-1252
// or ISO-8859-1, or no usable Program_Name. Refusals throw VendrixError with the
// reason. Nothing is written. Any thread.
#include <string>
#include <string_view>
#include <vector>

#include "profiles/app_profile.h"
#include "profiles/company_profile.h"

namespace vendrix {

struct PadContent {
  CompanyProfile company;  // name: Company_Name, which may be empty
  AppProfile app;          // name: Program_Name; an empty field is one the file does not give
  std::vector<std::string> findings;  // values not stored, and why (Windows-1252)
};

PadContent PadImport(std::string_view bytes);

// The bytes of the PAD file at a path (UTF-8); throws VendrixError when it is not a
// readable regular file or is larger than kMaxPadBytes (then no more than that is read).
std::string ReadPadFile(const std::string& path);

}  // namespace vendrix
