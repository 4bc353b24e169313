#pragma once
// The winget multi-file manifest (schema 1.10.0): the version, default-locale and
// installer files, laid out as the community repository keeps them:
// manifests/<first letter>/<Publisher>/<Package>/<Version>/. Written with yaml-cpp;
// no check here (CheckWinget first). Pure function: any thread.
#include <vector>

#include "exchange/manifest_fields.h"

namespace vendrix {

inline constexpr const char* kWingetSchemaVersion = "1.10.0";

// The folder of the three files ("manifests/h/Halvane/TidyNotes/2.1").
std::string WingetFolder(const ManifestFacts& facts);
std::vector<ManifestFile> WingetManifests(const ManifestFacts& facts);

}  // namespace vendrix
