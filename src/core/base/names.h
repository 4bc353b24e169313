#pragma once
// Names of companies, applications and sites become parts of file names, so a name
// that would reach outside its folder, or make a file name the file system cannot
// hold, is refused; and names read from list files that fail the check are skipped
// and reported, never used. Names are Windows-1252. Pure functions: any thread.
#include <optional>
#include <string>
#include <string_view>

#include "base/line_list.h"

namespace vendrix {

class UserPrompt;

// The fixed parts of the data tree's file names.
inline constexpr const char* kCompanyListName = "companies.dat";
inline constexpr const char* kCompanySuffix = ".dat";
inline constexpr const char* kAppListSuffix = " Apps.dat";
inline constexpr const char* kAppSuffix = ".dat";
inline constexpr const char* kLongDescSuffix = ".lds";
inline constexpr const char* kNotesSuffix = ".nts";
inline constexpr const char* kSiteTableSuffix = "_SITES.dat";
inline constexpr const char* kHistorySuffix = ".hst";  // what each site already got

// What a name names; it decides the longest file name made from it.
enum class EntryKind { Any, Company, App, Site };

// The longest name of one folder entry (bytes, after conversion to UTF-8).
inline constexpr std::size_t kMaxFileNameBytes = 255;

// The refusal text for a name that cannot be part of a file name, or nullopt when
// the name is safe: "/", control characters, "." and ".."; for a kind, a name whose
// longest file name would pass kMaxFileNameBytes, and names that would collide with
// the program's own files (a company "companies", an application ending "_SITES")
// or break the site table (a site name holding its delimiter 0xB1).
std::optional<std::string> CheckEntryName(std::string_view name, EntryKind kind = EntryKind::Any);

// Keeps the entries that may be used in file names; the others go to rejected. Blank
// lines are dropped without a report.
Lines FilterNames(const Lines& names, Lines* rejected, EntryKind kind = EntryKind::Any);
// Tells the person which entries of a list (what: "company", "application", "site";
// where: the list file) were skipped and why.
void ReportSkipped(UserPrompt& prompt, std::string_view what, std::string_view where,
                   const Lines& rejected, EntryKind kind = EntryKind::Any);

// Removes leading blanks (and, with trailing, trailing blanks).
std::string TrimLeft(std::string_view s);
std::string TrimBoth(std::string_view s);

}  // namespace vendrix
