#pragma once
// The Chocolatey package: "<id>.nuspec" and "tools/chocolateyinstall.ps1" under
// "chocolatey/<id>/", and, packed, "chocolatey/<id>.<version>.nupkg": the OPC zip
// that "choco pack" makes ([Content_Types].xml, _rels/.rels, the core properties
// part, the nuspec and the tools). XML through pugixml; the package through libzip,
// with fixed times, so the same facts give the same bytes. No check here
// (CheckChocolatey first). NupkgBytes throws VendrixError when libzip fails. Pure
// functions: any thread.
#include <string>
#include <string_view>
#include <vector>

#include "exchange/manifest_fields.h"

namespace vendrix {

// The nuspec first, then the install script.
std::vector<ManifestFile> ChocolateyFiles(const ManifestFacts& facts);
// The .nupkg of the files ChocolateyFiles gave.
ManifestFile ChocolateyPackage(const ManifestFacts& facts, const std::vector<ManifestFile>& files);
// The <version> of a nuspec's text ("" when none or no XML).
std::string NuspecVersion(std::string_view text);

}  // namespace vendrix
