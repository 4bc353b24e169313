#include "exchange/manifest_rules.h"

#include <set>

namespace vendrix {
namespace {

class Checker {
 public:
  explicit Checker(const char* channel) : channel_(channel) {}

  void Add(const std::string& field, const std::string& rule, std::string_view value) {
    std::string shown(value);
    if (Utf8Length(shown) > 80) {
      std::size_t bytes = 0, characters = 0;
      while (bytes < shown.size() && characters < 77) {
        ++bytes;
        while (bytes < shown.size() && (static_cast<unsigned char>(shown[bytes]) & 0xC0) == 0x80)
          ++bytes;
        ++characters;
      }
      shown = shown.substr(0, bytes) + "...";
    }
    out_.push_back({channel_, field, rule, shown});
  }
  // Present, and within min..max characters.
  void Length(const std::string& field, std::string_view value, std::size_t min, std::size_t max,
              bool required = true) {
    const std::size_t n = Utf8Length(value);
    if (n == 0) {
      if (required) Add(field, "required", value);
      return;
    }
    if (n < min) Add(field, "at least " + std::to_string(min) + " characters", value);
    if (n > max) Add(field, "at most " + std::to_string(max) + " characters", value);
  }
  void Address(const std::string& field, std::string_view value, bool httpsOnly, bool required) {
    if (value.empty()) {
      if (required) Add(field, "required", value);
      return;
    }
    const bool https = StartsNoCase(value, "https://") && value.size() > 8;
    const bool http = StartsNoCase(value, "http://") && value.size() > 7;
    if (httpsOnly && !https) {
      Add(field, "an https:// address", value);
    } else if (!https && !http) {
      Add(field, "an http:// or https:// address", value);
    } else if (value.size() > 2048) {
      Add(field, "at most 2048 characters", value);
    }
    if (value.find_first_of(" \t\r\n") != std::string_view::npos) {
      Add(field, "an address without blanks", value);
    }
  }
  void Sha256(const std::string& field, std::string_view value) {
    if (value.empty()) {
      Add(field, "the SHA-256 of the program file (PATH), which cannot be read", value);
    } else if (value.size() != 64 ||
               value.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) {
      Add(field, "64 hexadecimal digits", value);
    }
  }
  std::vector<ManifestFinding> Take() { return std::move(out_); }

  static bool StartsNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
      char c = text[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
      if (c != prefix[i]) return false;
    }
    return true;
  }

 private:
  std::string channel_;
  std::vector<ManifestFinding> out_;
};

bool HasControl(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) < 0x20) return true;
  }
  return false;
}

// winget's identifier pattern: 2 to 8 parts joined by dots, each 1 to 32 characters
// with no blank, backslash, slash, colon, wildcard, quote, angle bracket, bar or
// control character.
bool WingetIdentifier(std::string_view id) {
  std::size_t parts = 0;
  std::size_t start = 0;
  for (;;) {
    const auto dot = id.find('.', start);
    const std::string_view part =
        id.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    const std::size_t n = Utf8Length(part);
    if (n < 1 || n > 32) return false;
    for (char c : part) {
      const unsigned char u = static_cast<unsigned char>(c);
      if (u <= ' ' || u == 0x7F ||
          std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
        return false;
    }
    ++parts;
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return parts >= 2 && parts <= 8;
}

bool WingetVersion(std::string_view v) {
  if (v.empty() || HasControl(v)) return false;
  return v.find_first_of("\\/:*?\"<>|") == std::string_view::npos;
}

// NuGet's version: 1 to 4 numbers with dots, and an optional "-prerelease" of
// letters, digits, dots and hyphens.
bool NuGetVersion(std::string_view v) {
  const auto dash = v.find('-');
  const std::string_view numbers = v.substr(0, dash);
  std::size_t count = 0, start = 0;
  for (;;) {
    const auto dot = numbers.find('.', start);
    const auto part = numbers.substr(start, dot == std::string_view::npos ? dot : dot - start);
    if (part.empty() || part.size() > 9 ||
        part.find_first_not_of("0123456789") != std::string_view::npos)
      return false;
    ++count;
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  if (count > 4) return false;
  if (dash == std::string_view::npos) return true;
  const auto pre = v.substr(dash + 1);
  return !pre.empty() && pre.find_first_not_of(
                             "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                             "0123456789.-") == std::string_view::npos;
}

}  // namespace

std::size_t Utf8Length(std::string_view text) {
  std::size_t n = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  }
  return n;
}

std::string LowerPackageName(const ManifestFacts& facts) {
  const auto dot = facts.identifier.rfind('.');
  std::string name = dot == std::string::npos ? facts.identifier : facts.identifier.substr(dot + 1);
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return name;
}

std::string FindingLine(const ManifestFinding& f) {
  return f.channel + " " + f.field + ": " + f.rule + " (value: \"" + f.value + "\")";
}

std::vector<ManifestFinding> CheckWinget(const ManifestFacts& f) {
  Checker c("winget");
  if (Utf8Length(f.identifier) > 128 || !WingetIdentifier(f.identifier)) {
    c.Add("PackageIdentifier",
          "2 to 8 parts joined by dots, each 1 to 32 characters without blanks or \\ / : * ? \" "
          "< > |",
          f.identifier);
  }
  if (f.version.empty()) {
    c.Add("PackageVersion", "required", f.version);
  } else if (!WingetVersion(f.version) || Utf8Length(f.version) > 128 || f.version == "." ||
             f.version == "..") {
    c.Add("PackageVersion",
          "at most 128 characters without \\ / : * ? \" < > | or control characters", f.version);
  }
  c.Length("Publisher", f.publisher, 2, 256);
  c.Length("PackageName", f.packageName, 2, 256);
  c.Length("License", f.license, 3, 512);
  c.Length("ShortDescription", f.shortDescription, 3, 256);
  c.Length("Description", f.description, 3, 10000, false);
  c.Length("ReleaseNotes", f.releaseNotes, 1, 10000, false);
  c.Address("PublisherUrl", f.publisherUrl, false, false);
  c.Address("PackageUrl", f.packageUrl, false, false);
  c.Address("LicenseUrl", f.licenseUrl, false, false);
  if (f.tags.size() > 16) {
    c.Add("Tags", "at most 16 tags", std::to_string(f.tags.size()) + " tags");
  }
  std::set<std::string> seen;
  for (const auto& tag : f.tags) {
    if (Utf8Length(tag) > 40) c.Add("Tags", "each tag at most 40 characters", tag);
    if (!seen.insert(tag).second) c.Add("Tags", "each tag once", tag);
  }
  c.Address("InstallerUrl", f.installerUrl, true, true);
  c.Sha256("InstallerSha256", f.sha256);
  if (f.kind == InstallerKind::Exe && f.silent.empty()) {
    c.Add("InstallerSwitches.Silent", "required for an exe installer (SILENT)", f.silent);
  }
  c.Length("InstallerSwitches.Silent", f.silent, 1, 512, false);
  if (f.zipped) {
    c.Length("NestedInstallerFiles.RelativeFilePath", f.pkgExe, 1, 512);
  }
  return c.Take();
}

std::vector<ManifestFinding> CheckScoop(const ManifestFacts& f) {
  Checker c("scoop");
  if (f.version.empty()) {
    c.Add("version", "required", f.version);
  } else if (f.version.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                         "0123456789._-+") != std::string::npos) {
    c.Add("version", "letters, digits and . _ - + only", f.version);
  }
  if (f.shortDescription.empty() && f.description.empty()) {
    c.Add("description", "required", "");
  }
  c.Address("homepage", f.packageUrl.empty() ? f.publisherUrl : f.packageUrl, false, true);
  c.Length("license", f.license, 1, 512);
  c.Address("url", f.installerUrl, false, true);
  c.Sha256("hash", f.sha256);
  if (f.zipped && f.kind != InstallerKind::Zip && f.pkgExe.empty()) {
    c.Add("bin", "required for a zip: the program inside it (PKGEXE)", f.pkgExe);
  }
  return c.Take();
}

std::vector<ManifestFinding> CheckChocolatey(const ManifestFacts& f) {
  Checker c("chocolatey");
  const std::string id = LowerPackageName(f);
  if (id.empty() || Utf8Length(id) > 100 ||
      id.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-_.") != std::string::npos ||
      id.front() == '.' || id.front() == '-') {
    c.Add("id", "1 to 100 lower-case letters, digits, '.', '-' or '_'", id);
  }
  if (f.version.empty()) {
    c.Add("version", "required", f.version);
  } else if (!NuGetVersion(f.version)) {
    c.Add("version", "1 to 4 numbers joined by dots, with an optional -prerelease", f.version);
  }
  c.Length("title", f.packageName, 1, 256);
  c.Length("authors", f.publisher, 1, 4000);
  c.Length("description", f.description.empty() ? f.shortDescription : f.description, 30, 16000);
  c.Length("summary", f.shortDescription, 1, 4000, false);
  c.Address("projectUrl", f.packageUrl.empty() ? f.publisherUrl : f.packageUrl, false, true);
  c.Address("licenseUrl", f.licenseUrl, false, false);
  if (f.tags.empty()) c.Add("tags", "required", "");
  c.Address("url", f.installerUrl, false, true);
  c.Sha256("checksum", f.sha256);
  if (f.kind == InstallerKind::Exe && f.silent.empty()) {
    c.Add("silentArgs", "required for an exe installer (SILENT)", f.silent);
  }
  if (f.kind == InstallerKind::Zip && f.pkgExe.empty()) {
    c.Add("file", "required for a zip around an installer: the installer inside it (PKGEXE)",
          f.pkgExe);
  }
  return c.Take();
}

}  // namespace vendrix
