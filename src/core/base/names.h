#pragma once
// Names of companies, applications and sites become parts of file names, so a name
// that would reach outside its folder is refused.
#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

// The refusal text for a name that cannot be part of a file name, or nullopt when
// the name is safe. Names are Windows-1252.
std::optional<std::string> CheckEntryName(std::string_view name);

// Removes leading blanks (and, with trailing, trailing blanks).
std::string TrimLeft(std::string_view s);
std::string TrimBoth(std::string_view s);

}  // namespace vendrix
