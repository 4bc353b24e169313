#include "exchange/manifest_winget.h"

#include <yaml-cpp/yaml.h>

#include <functional>

namespace vendrix {
namespace {

constexpr const char* kLocale = "en-US";

// A value YAML would read as a number, a date or a boolean is quoted, so that every
// reader sees the text (a version "2.10" is not the number 2.1).
void Put(YAML::Emitter& out, const char* key, const std::string& value) {
  out << YAML::Key << key << YAML::Value;
  const bool numberLike =
      !value.empty() && value.find_first_not_of("0123456789.-+eE:") == std::string::npos;
  if (numberLike) {
    out << YAML::DoubleQuoted << value;
  } else {
    // A text of several lines goes in double quotes with "\n" escapes: the emitter's
    // block style keeps a line break at the end that the text does not have.
    out << value;
  }
}

void PutIf(YAML::Emitter& out, const char* key, const std::string& value) {
  if (!value.empty()) Put(out, key, value);
}

std::string Document(const char* type, const std::function<void(YAML::Emitter&)>& body,
                     const ManifestFacts& f) {
  YAML::Emitter out;
  out << YAML::BeginMap;
  Put(out, "PackageIdentifier", f.identifier);
  Put(out, "PackageVersion", f.version);
  body(out);
  Put(out, "ManifestType", type);
  Put(out, "ManifestVersion", kWingetSchemaVersion);
  out << YAML::EndMap;
  std::string schemaName = std::string(type) == "defaultLocale" ? "defaultLocale" : type;
  return "# yaml-language-server: $schema=https://aka.ms/winget-manifest." + schemaName + "." +
         kWingetSchemaVersion + ".schema.json\n\n" + out.c_str() + "\n";
}

std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return s;
}

bool EndsWithNoCase(const std::string& text, const char* tail) {
  const std::string t = tail;
  if (text.size() < t.size()) return false;
  for (std::size_t i = 0; i < t.size(); ++i) {
    char c = text[text.size() - t.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c != t[i]) return false;
  }
  return true;
}

// What winget calls the installer inside a zip.
const char* NestedType(const ManifestFacts& f) {
  if (f.kind != InstallerKind::Zip) return "portable";
  return EndsWithNoCase(f.pkgExe, ".msi") ? "msi" : "exe";
}

}  // namespace

std::string WingetFolder(const ManifestFacts& f) {
  std::string first = f.identifier.substr(0, 1);
  if (!first.empty() && first[0] >= 'A' && first[0] <= 'Z')
    first[0] = static_cast<char>(first[0] + 32);
  std::string parts = f.identifier;
  for (char& c : parts) {
    if (c == '.') c = '/';
  }
  return "manifests/" + first + "/" + parts + "/" + f.version;
}

std::vector<ManifestFile> WingetManifests(const ManifestFacts& f) {
  const std::string base = WingetFolder(f) + "/" + f.identifier;
  std::vector<ManifestFile> files;
  files.push_back(
      {base + ".yaml",
       Document(
           "version", [&](YAML::Emitter& out) { Put(out, "DefaultLocale", kLocale); }, f)});
  files.push_back({base + ".locale." + kLocale + ".yaml",
                   Document(
                       "defaultLocale",
                       [&](YAML::Emitter& out) {
                         Put(out, "PackageLocale", kLocale);
                         Put(out, "Publisher", f.publisher);
                         PutIf(out, "PublisherUrl", f.publisherUrl);
                         Put(out, "PackageName", f.packageName);
                         PutIf(out, "PackageUrl", f.packageUrl);
                         Put(out, "License", f.license);
                         PutIf(out, "LicenseUrl", f.licenseUrl);
                         Put(out, "ShortDescription", f.shortDescription);
                         PutIf(out, "Description", f.description);
                         if (!f.tags.empty()) {
                           out << YAML::Key << "Tags" << YAML::Value << YAML::BeginSeq;
                           for (const auto& tag : f.tags) {
                             out << (tag.find_first_not_of("0123456789.") == std::string::npos
                                         ? YAML::DoubleQuoted
                                         : YAML::Auto)
                                 << tag;
                           }
                           out << YAML::EndSeq;
                         }
                         PutIf(out, "ReleaseNotes", f.releaseNotes);
                       },
                       f)});
  files.push_back({base + ".installer.yaml",
                   Document(
                       "installer",
                       [&](YAML::Emitter& out) {
                         Put(out, "InstallerType", f.zipped ? "zip" : KindName(f.kind));
                         if (f.zipped) {
                           Put(out, "NestedInstallerType", NestedType(f));
                           out << YAML::Key << "NestedInstallerFiles" << YAML::Value
                               << YAML::BeginSeq << YAML::BeginMap;
                           Put(out, "RelativeFilePath", f.pkgExe);
                           out << YAML::EndMap << YAML::EndSeq;
                         }
                         if ((f.kind == InstallerKind::Exe || f.silentGiven) && !f.silent.empty() &&
                             f.kind != InstallerKind::Portable) {
                           out << YAML::Key << "InstallerSwitches" << YAML::Value << YAML::BeginMap;
                           Put(out, "Silent", f.silent);
                           Put(out, "SilentWithProgress", f.silent);
                           out << YAML::EndMap;
                         }
                         PutIf(out, "ReleaseDate", f.releaseDate);
                         out << YAML::Key << "Installers" << YAML::Value << YAML::BeginSeq
                             << YAML::BeginMap;
                         Put(out, "Architecture", "x86");
                         Put(out, "InstallerUrl", f.installerUrl);
                         Put(out, "InstallerSha256", Upper(f.sha256));
                         out << YAML::EndMap << YAML::EndSeq;
                       },
                       f)});
  return files;
}

}  // namespace vendrix
