#pragma once
// Input rules of the application page that do not need the page itself: the long
// date, the 8-character exit rule and the field rules every caller applies (the
// screens' key filters, the command line). Pure functions: any thread.
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

inline constexpr const char* kYearRefused =
    "YEAR takes the last two digits of the year (26) or the whole year from 1980 to 2079.";

// The release year as typed, as the field stores it: up to two digits as they are; a
// whole year from 1980 to 2079 as its last two digits, which the long date reads back
// as that same year. nullopt (kYearRefused) for anything else.
std::optional<std::string> YearEntry(std::string_view typed);

// The field rules of one APPINFO key (by file key) applied to a whole value: the
// length limit, the digits-only fields, "$" and blanks where the key filters drop
// them, the value lists of the four selectors (or empty). The refusal text, or nullopt
// when the value may be stored. The 8-character exit rule is not part of it (it runs
// when the field is left: Char8Exit).
std::optional<std::string> CheckAppValue(std::string_view key, std::string_view value);
// The memos (long description, notes): "$" is refused.
std::optional<std::string> CheckMemoText(std::string_view what, std::string_view text);

}  // namespace vendrix
