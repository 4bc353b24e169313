#pragma once
// The Scoop manifest: one JSON file for a bucket ("bucket/<name>.json") with the
// version, description, homepage, licence, address and hash, "bin" and "shortcuts" or
// the installer's run as the installer's kind needs, and "checkver" and "autoupdate"
// when the address holds the version. Written with nlohmann-json; no check here
// (CheckScoop first). Pure functions: any thread.
#include <string>
#include <string_view>

#include "exchange/manifest_fields.h"

namespace vendrix {

ManifestFile ScoopManifest(const ManifestFacts& facts);
// The "version" of a Scoop manifest's text ("" when it has none or is no JSON).
std::string ScoopManifestVersion(std::string_view text);

}  // namespace vendrix
