#include "exchange/manifest_fields.h"

#include <algorithm>
#include <cstdio>

#include "base/cp1252.h"

namespace vendrix {
namespace {

std::string Trimmed(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return "";
  const auto last = s.find_last_not_of(" \t");
  return std::string(s.substr(first, last - first + 1));
}

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && LowerAscii(text.substr(text.size() - tail.size())) == tail;
}

// The last path segment of an address, without its query or fragment.
std::string LastSegment(std::string_view url) {
  url = url.substr(0, url.find_first_of("?#"));
  const auto scheme = url.find("://");
  const auto pathStart = url.find('/', scheme == std::string_view::npos ? 0 : scheme + 3);
  if (pathStart == std::string_view::npos) return "";
  return std::string(url.substr(url.rfind('/') + 1));
}

// "2026-03-14" from the profile's day, month and two-digit year (below 80: 20xx).
std::string IsoDate(const AppProfile& app) {
  auto number = [](const std::string& s) {
    if (s.empty() || s.size() > 2 || s.find_first_not_of("0123456789") != std::string::npos) {
      return -1;
    }
    return std::stoi(s);
  };
  const int day = number(app.day), month = number(app.month), year = number(app.year);
  if (day < 1 || day > 31 || month < 1 || month > 12 || year < 0) return "";
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const int full = year < 80 ? 2000 + year : 1900 + year;
  const bool leap = (full % 4 == 0 && full % 100 != 0) || full % 400 == 0;
  if (day > kDays[month - 1] || (month == 2 && day == 29 && !leap)) return "";
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", full, month, day);
  return text;
}

}  // namespace

bool HasPackageKeys(const AppProfile& app) {
  for (const std::string* v : {&app.license, &app.licenseUrl, &app.pkgId, &app.tags, &app.instKind,
                               &app.silent, &app.pkgExe, &app.relNotes}) {
    if (!Trimmed(*v).empty()) return true;
  }
  return false;
}

std::string IdentifierPart(std::string_view name) {
  static constexpr std::string_view kRefused = ".\\/:*?\"<>|";
  std::string out;
  std::size_t characters = 0;
  for (std::size_t i = 0; i < name.size() && characters < 32;) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    std::size_t length = 1;
    if (c >= 0xF0) {
      length = 4;
    } else if (c >= 0xE0) {
      length = 3;
    } else if (c >= 0xC0) {
      length = 2;
    }
    length = std::min(length, name.size() - i);
    const bool drop =
        c <= ' ' || c == 0x7F || kRefused.find(static_cast<char>(c)) != std::string_view::npos;
    // A no-break space (U+00A0) is a blank too.
    const bool nbsp = length == 2 && c == 0xC2 && static_cast<unsigned char>(name[i + 1]) == 0xA0;
    if (!drop && !nbsp) {
      out.append(name.substr(i, length));
      ++characters;
    }
    i += length;
  }
  return out;
}

InstallerKind KindOf(std::string_view instKind, std::string_view fileName,
                     std::string_view pkgExe) {
  const std::string kind = LowerAscii(Trimmed(instKind));
  if (kind == "exe") return InstallerKind::Exe;
  if (kind == "inno") return InstallerKind::Inno;
  if (kind == "nullsoft") return InstallerKind::Nullsoft;
  if (kind == "msi") return InstallerKind::Msi;
  if (kind == "zip") return InstallerKind::Zip;
  if (kind == "portable") return InstallerKind::Portable;
  if (EndsWith(fileName, ".msi")) return InstallerKind::Msi;
  if (EndsWith(fileName, ".zip")) {
    return EndsWith(pkgExe, ".exe") || EndsWith(pkgExe, ".msi") ? InstallerKind::Zip
                                                                : InstallerKind::Portable;
  }
  return InstallerKind::Exe;
}

const char* KindName(InstallerKind kind) {
  switch (kind) {
    case InstallerKind::Exe:
      return "exe";
    case InstallerKind::Inno:
      return "inno";
    case InstallerKind::Nullsoft:
      return "nullsoft";
    case InstallerKind::Msi:
      return "msi";
    case InstallerKind::Zip:
      return "zip";
    case InstallerKind::Portable:
      return "portable";
  }
  return "exe";
}

std::string DefaultSilentSwitches(InstallerKind kind) {
  switch (kind) {
    case InstallerKind::Inno:
      return "/VERYSILENT /SUPPRESSMSGBOXES /NORESTART /SP-";
    case InstallerKind::Nullsoft:
      return "/S";
    case InstallerKind::Msi:
      return "/quiet /norestart";
    default:
      return "";
  }
}

std::vector<std::string> SplitTags(std::string_view text) {
  std::vector<std::string> tags;
  std::size_t start = 0;
  while (start <= text.size()) {
    const auto end = text.find_first_of(",;", start);
    const std::string tag = Trimmed(
        text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (!tag.empty()) tags.push_back(tag);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return tags;
}

ManifestFacts GatherManifestFacts(const CompanyProfile& company, const AppProfile& app,
                                  const std::string& sha256) {
  ManifestFacts f;
  auto utf8 = [](const std::string& s) { return Cp1252ToUtf8(Trimmed(s)); };
  f.publisher = utf8(company.name);
  f.packageName = utf8(app.name);
  f.identifier = Trimmed(app.pkgId).empty()
                     ? IdentifierPart(f.publisher) + "." + IdentifierPart(f.packageName)
                     : utf8(app.pkgId);
  f.version = utf8(app.version);
  f.license = utf8(app.license);
  f.licenseUrl = utf8(app.licenseUrl);
  f.shortDescription = utf8(app.shortDesc);
  for (const auto& line : app.longDesc) {
    if (!f.description.empty() || !line.empty()) f.description += Cp1252ToUtf8(line) + "\n";
  }
  while (!f.description.empty() && (f.description.back() == '\n' || f.description.back() == ' ')) {
    f.description.pop_back();
  }
  f.publisherUrl = utf8(company.url);
  f.packageUrl = utf8(app.appUrl);
  for (const auto& tag : SplitTags(app.tags)) f.tags.push_back(Cp1252ToUtf8(tag));
  f.releaseDate = IsoDate(app);
  f.installerUrl = utf8(app.dl1_32);
  f.installerFile = LastSegment(f.installerUrl);
  f.sha256 = LowerAscii(sha256);
  f.pkgExe = utf8(app.pkgExe);
  f.kind = KindOf(app.instKind, f.installerFile.empty() ? utf8(app.localPath) : f.installerFile,
                  f.pkgExe);
  f.zipped = f.kind == InstallerKind::Zip ||
             EndsWith(f.installerFile.empty() ? utf8(app.localPath) : f.installerFile, ".zip");
  f.silentGiven = !Trimmed(app.silent).empty();
  f.silent = Trimmed(app.silent).empty() ? DefaultSilentSwitches(f.kind) : utf8(app.silent);
  f.releaseNotes = utf8(app.relNotes);
  return f;
}

}  // namespace vendrix
