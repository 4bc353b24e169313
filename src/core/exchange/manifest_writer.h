#pragma once
// Writes the manifests of one or more channels into an output folder. Every file is
// replaced atomically (WriteFileAtomic); nothing is written outside the folder: a path
// part that is empty, "." or "..", or a folder on the way that is a link or no
// folder, refuses the whole set. A channel whose files there already hold a different
// manifest of the same version is refused unless force is set (a newer version simply
// replaces the old one's files); every refusal comes before the first byte is written.
// Throws VendrixError with the reason. The calling thread; one writer per folder.
#include <string>
#include <vector>

#include "exchange/manifest_fields.h"

namespace vendrix {

// How to learn which version a channel's existing files belong to.
enum class VersionSource {
  InPath,      // the files' paths hold the version (winget, the .nupkg)
  ScoopJson,   // the first file's "version"
  NuspecText,  // the first file's <version>
};

struct ManifestSet {
  std::string channel;  // "winget", "scoop", "chocolatey"
  std::string version;
  VersionSource source = VersionSource::InPath;
  std::vector<ManifestFile> files;  // the first one tells the version of what is there
};

struct WrittenFile {
  std::string path;  // UTF-8, under the output folder
  long long bytes = 0;
  bool unchanged = false;  // the same bytes were there already
};

std::vector<WrittenFile> WriteManifestSets(const std::string& outDirUtf8,
                                           const std::vector<ManifestSet>& sets, bool force);

}  // namespace vendrix
