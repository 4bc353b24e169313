#pragma once
// The facts every package manifest is made from, gathered once from a company and one
// of its applications: names, version, texts, addresses, the installer's kind and its
// SHA-256. Texts are UTF-8 here (the manifests are UTF-8 files); the profiles' own
// Windows-1252 texts are converted once, in GatherManifestFacts. Nothing is checked
// here (manifest_rules.h does that) and nothing throws. Pure functions: any thread.
#include <string>
#include <string_view>
#include <vector>

#include "profiles/app_profile.h"
#include "profiles/company_profile.h"

namespace vendrix {

// What the program file is, as the package managers tell installers apart.
enum class InstallerKind { Exe, Inno, Nullsoft, Msi, Zip, Portable };

struct ManifestFacts {
  std::string identifier;   // "Publisher.Package" (PKGID, or made from the two names)
  std::string publisher;    // the company name
  std::string packageName;  // the application name
  std::string version;
  std::string license, licenseUrl;
  std::string shortDescription, description;  // the description's lines joined by "\n"
  std::string publisherUrl, packageUrl;
  std::vector<std::string> tags;
  std::string releaseDate;  // "2026-03-14", or "" when the profile's date is incomplete
  std::string installerUrl;
  std::string installerFile;  // the address's last path segment ("tidynote-2.1-setup.exe")
  std::string sha256;         // of the local program file, lower-case hex; "" when unread
  InstallerKind kind = InstallerKind::Exe;
  bool zipped = false;       // the file is a zip (a zip around an installer, or a portable zip)
  std::string silent;        // the installer's silent switches (SILENT, or the kind's own)
  bool silentGiven = false;  // SILENT was filled in
  std::string pkgExe;        // the program inside a zip (PKGEXE)
  std::string releaseNotes;
};

// One file of a manifest: its path under the output folder ("/" between the parts) and
// its bytes.
struct ManifestFile {
  std::string path;
  std::string bytes;
};

// Whether the profile has any of the keys only package manifests use.
bool HasPackageKeys(const AppProfile& app);

// One part of an identifier made from a name: the characters the package managers
// allow in one (no blanks, dots, slashes, quotes, wildcards or control characters),
// at most 32 of them. "Tidy Notes" gives "TidyNotes".
std::string IdentifierPart(std::string_view utf8Name);

// INSTKIND when it names a kind, else the file's ending: ".msi", ".zip" (with PKGEXE
// naming the program inside: a zip around an installer only when that is an ".exe"
// or ".msi"; else portable), anything else an exe.
InstallerKind KindOf(std::string_view instKind, std::string_view fileName, std::string_view pkgExe);
const char* KindName(InstallerKind kind);  // "exe", "inno", ... as INSTKIND spells them
// The switches that make an installer of this kind run without asking anything.
std::string DefaultSilentSwitches(InstallerKind kind);

// sha256: the local program file's digest (lower-case hex), "" when it could not be read.
ManifestFacts GatherManifestFacts(const CompanyProfile& company, const AppProfile& app,
                                  const std::string& sha256);

// The tags as the list in TAGS is written: split at commas and semicolons, blanks at
// each end dropped, empty ones skipped.
std::vector<std::string> SplitTags(std::string_view text);

}  // namespace vendrix
