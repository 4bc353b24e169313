#include "exchange/manifest_scoop.h"

#include <nlohmann/json.hpp>

#include "exchange/manifest_rules.h"

namespace vendrix {
namespace {

using Json = nlohmann::ordered_json;

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::size_t start = 0;
  while ((start = text.find_first_not_of(' ', start)) != std::string::npos) {
    const auto end = text.find(' ', start);
    words.push_back(text.substr(start, end - start));
    start = end;
  }
  return words;
}

// A regular expression that matches the text literally.
std::string RegexLiteral(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

ManifestFile ScoopManifest(const ManifestFacts& f) {
  Json j;
  j["version"] = f.version;
  j["description"] = f.shortDescription.empty() ? f.description : f.shortDescription;
  const std::string homepage = f.packageUrl.empty() ? f.publisherUrl : f.packageUrl;
  j["homepage"] = homepage;
  if (f.licenseUrl.empty()) {
    j["license"] = f.license;
  } else {
    j["license"] = Json{{"identifier", f.license}, {"url", f.licenseUrl}};
  }
  if (!f.releaseNotes.empty()) j["notes"] = f.releaseNotes;
  j["url"] = f.installerUrl;
  j["hash"] = f.sha256;
  const std::string program = f.pkgExe;
  switch (f.kind) {
    case InstallerKind::Inno:
      j["innosetup"] = true;
      break;
    case InstallerKind::Exe:
    case InstallerKind::Nullsoft: {
      Json args = Json::array();
      for (const auto& w : Words(f.silent)) args.push_back(w);
      if (f.kind == InstallerKind::Nullsoft) args.push_back("/D=$dir");
      j["installer"] = Json{{"file", f.installerFile}, {"args", args}};
      break;
    }
    case InstallerKind::Zip: {
      Json args = Json::array();
      for (const auto& w : Words(f.silent)) args.push_back(w);
      j["installer"] = Json{{"file", program}, {"args", args}};
      break;
    }
    case InstallerKind::Msi:
    case InstallerKind::Portable:
      break;
  }
  // A portable program is run from where it was unpacked; an installed one from the
  // program file named.
  const std::string bin =
      !program.empty() ? program
                       : (f.kind == InstallerKind::Portable && !f.zipped ? f.installerFile : "");
  if (!bin.empty() && f.kind != InstallerKind::Zip && f.kind != InstallerKind::Exe &&
      f.kind != InstallerKind::Nullsoft) {
    j["bin"] = bin;
    j["shortcuts"] = Json::array({Json::array({bin, f.packageName})});
  }
  const auto at = f.installerFile.find(f.version);
  if (!f.version.empty() && at != std::string::npos &&
      f.installerUrl.find(f.version) != std::string::npos) {
    const std::string pattern = RegexLiteral(f.installerFile.substr(0, at)) + "([\\d.]+)" +
                                RegexLiteral(f.installerFile.substr(at + f.version.size()));
    j["checkver"] = Json{{"url", homepage}, {"regex", pattern}};
    std::string url = f.installerUrl;
    for (auto pos = url.find(f.version); pos != std::string::npos;
         pos = url.find(f.version, pos + 8)) {
      url.replace(pos, f.version.size(), "$version");
    }
    j["autoupdate"] = Json{{"url", url}};
  }
  return {"bucket/" + LowerPackageName(f) + ".json", j.dump(4) + "\n"};
}

std::string ScoopManifestVersion(std::string_view text) {
  const Json j = Json::parse(text, nullptr, false);
  if (j.is_discarded() || !j.is_object() || !j.contains("version") || !j["version"].is_string())
    return "";
  return j["version"].get<std::string>();
}

}  // namespace vendrix
