#pragma once
// The site settings file's [SETTINGS] section <-> SiteDefinition, with the mapping
// rules of its integer keys and the one-of-three text-file option. Works on a parsed
// document: nothing throws. Any thread.
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "base/ini_file.h"
#include "catalogue/match_ups.h"
#include "catalogue/site_definition.h"

namespace vendrix {

inline constexpr std::string_view kSiteSection = "SETTINGS";
// The 50 keys in writing order.
extern const std::array<std::string_view, 50> kSiteSettingKeys;

// Reads every key with its default (a missing file is an empty document).
void ReadSiteSettings(const IniDocument& doc, SiteDefinition& def, MatchUps& matchUps);
// Writes all 50 keys in order; an existing document keeps its order.
// Why the definition's texts cannot be stored as they are (one too long for a
// settings value, or holding a line break), naming the key; nullopt when they can.
std::optional<std::string> CheckSiteSettings(const SiteDefinition& def, const MatchUps& matchUps);
void WriteSiteSettings(IniDocument& doc, const SiteDefinition& def, const MatchUps& matchUps);
// The blank state of a definition (match-up values are not part of it).
void ClearSiteDefinition(SiteDefinition& def);

}  // namespace vendrix
