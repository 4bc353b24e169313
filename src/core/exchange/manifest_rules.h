#pragma once
// Each channel's rules for its manifest, checked before anything is written: the
// winget manifest schema's patterns and lengths, the keys a Scoop manifest needs, and
// the elements and id rules of a Chocolatey package. A finding names the field as the
// channel spells it, the rule it breaks and the value. Pure functions: any thread.
#include <string>
#include <vector>

#include "exchange/manifest_fields.h"

namespace vendrix {

struct ManifestFinding {
  std::string channel;  // "winget", "scoop", "chocolatey"
  std::string field;    // "Tags", "InstallerUrl", "hash", "id"
  std::string rule;     // "at most 16 tags"
  std::string value;    // what was found (UTF-8, cut to 80 characters)
};

std::vector<ManifestFinding> CheckWinget(const ManifestFacts& facts);
std::vector<ManifestFinding> CheckScoop(const ManifestFacts& facts);
std::vector<ManifestFinding> CheckChocolatey(const ManifestFacts& facts);

// "winget Tags: at most 16 tags (value: ...)" on one line.
std::string FindingLine(const ManifestFinding& finding);

// Characters (not bytes) in a UTF-8 text.
std::size_t Utf8Length(std::string_view text);

// The Chocolatey package id and the Scoop manifest's name: the identifier's last part
// in lower case ("Halvane.TidyNotes" gives "tidynotes").
std::string LowerPackageName(const ManifestFacts& facts);

}  // namespace vendrix
