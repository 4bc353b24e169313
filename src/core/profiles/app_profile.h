#pragma once
// An application profile: the "APPINFO" keys of an application file in write order,
// the long description and notes (their own files) and the special requirements,
// which live only in memory. Tables and plain data: reads of an IniDocument never
// throw. Any thread.
#include <array>
#include <string>
#include <string_view>

#include "base/ini_file.h"
#include "base/line_list.h"
#include "profiles/key_rule.h"

namespace vendrix {

struct AppProfile {
  std::string fileName, name, char8, version, day, month, year, platform, submitter, size32,
      instSize32, size16, instSize16, price, status, eval, expireDate, expireAfter, installer,
      appUrl, dl1_32, dl2_32, dl3_32, dl4_32, dl1_16, dl2_16, dl3_16, dl4_16, screenshotUrl, gifUrl,
      icoUrl, localPath, icoPath, gifPath, screenPath, otherPath, shortDesc, padUrl;
  // What package managers ask beyond the download sites' fields.
  std::string license, licenseUrl, pkgId, tags, instKind, silent, pkgExe, relNotes;
  Lines longDesc;
  Lines notes;
  std::string specReq = "None";
};

struct AppField {
  std::string_view key;
  std::string_view control;
  std::string AppProfile::*member;
  KeyRule rule;
  int maxLength;  // 0 for none
};

extern const std::array<AppField, 46> kAppFields;
inline constexpr std::string_view kAppSection = "APPINFO";

const AppField* FindAppField(std::string_view key);  // exact key, or nullptr
// Reads every APPINFO key but NAME (the name comes from the selector).
void ReadAppSection(const IniDocument& doc, AppProfile& profile);
void WriteAppSection(IniDocument& doc, const AppProfile& profile);

}  // namespace vendrix
