#pragma once
// One site's definition: its 50 settings, both category lists and five scripts.
// Plain data and pure functions; nothing throws. Any thread.
#include <array>
#include <string>
#include <string_view>

#include "base/line_list.h"

namespace vendrix {

enum class ByteFormat { Bytes = 1, KBytes = 2, MBytes = 3 };
enum class SiteSystem { Only32 = 1, Only16 = 2, Both = 3 };
// The three text-file options are one choice; None when a file sets all three false.
enum class TextFileOption { None, AddToUpload, IncludeInZip, Both };

enum class ScriptKind { HttpNew, HttpUpdate, FtpNew, EmailNew, EmailUpdate };
inline constexpr std::array<ScriptKind, 5> kScriptKinds = {
    ScriptKind::HttpNew, ScriptKind::HttpUpdate, ScriptKind::FtpNew, ScriptKind::EmailNew,
    ScriptKind::EmailUpdate};
// The file tag of a script kind: "HTTP_NEW", ...
std::string_view ScriptTag(ScriptKind kind);
// The kind of a tag, or false when the tag is none of the five.
bool ScriptKindFromTag(std::string_view tag, ScriptKind& kind);

struct SiteDefinition {
  std::string name;

  ByteFormat byteFormat = ByteFormat::Bytes;
  std::string sitesWebUrl;
  bool useCat1 = false;
  bool useCat2 = false;
  bool freewareOnly = false;  // SITE_TYPE 1; otherwise 2
  SiteSystem siteSystem = SiteSystem::Both;
  bool useHttpPost = false;
  bool httpGet = false;  // HTTP_POST_TYPE 2; otherwise POST
  std::string httpNewScriptUrl, httpUpdateScriptUrl;
  bool useFtpUpload = false;
  bool useZipFile = false;
  bool use8x3FileName = false;
  std::string ftpServer, loginName, remotePath, loginPassword;
  TextFileOption textFileOption = TextFileOption::AddToUpload;
  std::string ftpFileName;
  bool useEmail = false;
  bool emailSendCopy = false;
  bool attachGif = false, attachIco = false, attachScreen = false, attachOther = false,
       attachApplication = false;
  std::string emailToName, emailSubject, emailToNameUpdate, emailSubjectUpdate;

  Lines cat1, cat2;
  // Whole script texts with CR LF line ends, by ScriptKind.
  std::array<std::string, 5> scripts;

  std::string& Script(ScriptKind k) { return scripts[static_cast<std::size_t>(k)]; }
  const std::string& Script(ScriptKind k) const { return scripts[static_cast<std::size_t>(k)]; }
};

// The marker between a category's value and its label.
inline constexpr std::string_view kCategoryMarker = "\">";
// The value part of a category line (the whole line unless the marker starts at
// position 2 or later).
std::string CategoryValue(std::string_view line);
// The label part (the whole line unless the marker is followed by at least one character).
std::string CategoryLabel(std::string_view line);

}  // namespace vendrix
