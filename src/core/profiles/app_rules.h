#pragma once
// Input rules of the application page that do not need the page itself.
#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

// The long date shown beside the release date fields: "5-Jan-1999".
std::string BuildLongDate(std::string_view day, std::string_view month, std::string_view year);

inline constexpr const char* kChar8Refused =
    "You can only have alpha-numeric values in this field.";

// The exit rule of the 8-character name: the lower-case text, or nullopt when the
// text holds a blank, ".", "/", "(" or ")" (the field is then emptied after the message).
std::optional<std::string> Char8Exit(std::string_view text);

}  // namespace vendrix
