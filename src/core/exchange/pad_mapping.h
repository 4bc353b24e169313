#pragma once
// How the profile's own texts and the words of a PAD file translate into each other:
// the status, the installer support, the platform and the release year, and the
// lines of the notes that keep what the profile has no field for. Pure functions:
// any thread.
#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

// Lines of the notes that hold PAD facts the profile has no field for; an import
// replaces the lines that start with these and keeps the rest of the notes.
inline constexpr std::string_view kNoteCategory = "PAD category: ";
inline constexpr std::string_view kNoteKeywords = "PAD keywords: ";
inline constexpr std::string_view kNoteSystems = "PAD operating systems: ";

// The status for a Program_Type and Program_Release_Status; expires: Has_Expire_Info
// is "Y". nullopt when the words name no status of the profile.
std::optional<std::string_view> StatusFromPad(std::string_view type, std::string_view release,
                                              bool expires);
struct PadStatus {
  std::string_view type;     // Program_Type
  std::string_view release;  // Program_Release_Status
};
PadStatus StatusToPad(std::string_view status);

// Program_Install_Support <-> the installer texts; nullopt / empty for unknown words.
std::optional<std::string_view> InstallerFromPad(std::string_view support);
std::string_view InstallerToPad(std::string_view installer);

// The nearest platform text for a Program_OS_Support list, nullopt when the list
// names no Windows the profile knows (Linux only, say).
std::optional<std::string_view> PlatformFromPad(std::string_view osList);
// A Program_OS_Support list for a platform text (empty for none).
std::string_view PlatformToPad(std::string_view platform);

// The profile's two-digit year for a four-digit year ("2026" -> "26"), nullopt when
// the text is not four digits.
std::optional<std::string> YearFromPad(std::string_view year);
// The four-digit year of a profile year by the long date's rule (below 80: 20xx,
// 80 to 99: 19xx); empty when the text is not a year of one or two digits.
std::string YearToPad(std::string_view year);

}  // namespace vendrix
