#include "catalogue/site_settings.h"

#include "catalogue/match_ups.h"

namespace vendrix {

const std::array<std::string_view, 50> kSiteSettingKeys = {
    "BYTE_FORMAT",
    "SITES_WEB_URL",
    "USE_CAT1",
    "USE_CAT2",
    "SITE_TYPE",
    "SITE_SYSTEM",
    "USE_HTTP_POST",
    "HTTP_POST_TYPE",
    "HTTP_NEW_SCRIPT_URL",
    "HTTP_UPDATE_SCRIPT_URL",
    "MUF_Windows31",
    "MUF_Windows95",
    "MUF_WindowsNT",
    "MUF_Windows95NT",
    "MUF_Author",
    "MUF_Distributor",
    "MUF_Dealer",
    "MUF_User",
    "MUF_FeatureLimitDemo",
    "MUF_TimeLimitDemo",
    "MUF_PublicDomain",
    "MUF_Freeware",
    "MUF_Shareware",
    "MUF_Beta",
    "MUF_NoInstallFeature",
    "MUF_InstallFeatureOnly",
    "MUF_UnInstallFeatureOnly",
    "MUF_InstallUninstall",
    "USE_FTP_UPLOAD",
    "USE_ZIP_FILE",
    "USE_8X3_FILENAME",
    "FTP_SERVER",
    "LOGIN_NAME",
    "REMOTE_PATH",
    "LOGIN_PASSWORD",
    "ADD_FILE_TO_ZIP",
    "INCLUDE_IN_ZIP",
    "ADDED_TEXT_BOTH",
    "FTP_FILENAME",
    "USE_EMAIL",
    "EMAIL_SEND_COPY",
    "EMAIL_ATTACH_GIF",
    "EMAIL_ATTACH_ICO",
    "EMAIL_ATTACH_SCREEN",
    "EMAIL_ATTACH_OTHER",
    "EMAIL_ATTACH_APPLICATION",
    "EMAIL_TONAME",
    "EMAIL_SUBJECT",
    "EMAIL_TONAME_UPDATE",
    "EMAIL_SUBJECT_UPDATE",
};

void ClearSiteDefinition(SiteDefinition& def) {
  std::string name = std::move(def.name);
  def = SiteDefinition{};
  def.name = std::move(name);
}

void ReadSiteSettings(const IniDocument& doc, SiteDefinition& def, MatchUps& matchUps) {
  const auto s = kSiteSection;
  auto str = [&](std::string_view key) { return doc.ReadString(s, key, ""); };
  auto flag = [&](std::string_view key) { return doc.ReadBool(s, key, false); };

  int bytes = doc.ReadInteger(s, "BYTE_FORMAT", 1);
  def.byteFormat = bytes == 2   ? ByteFormat::KBytes
                   : bytes == 3 ? ByteFormat::MBytes
                                : ByteFormat::Bytes;
  def.sitesWebUrl = str("SITES_WEB_URL");
  def.useCat1 = flag("USE_CAT1");
  def.useCat2 = flag("USE_CAT2");
  def.freewareOnly = doc.ReadInteger(s, "SITE_TYPE", 2) == 1;
  int system = doc.ReadInteger(s, "SITE_SYSTEM", 3);
  def.siteSystem = system == 1   ? SiteSystem::Only32
                   : system == 2 ? SiteSystem::Only16
                                 : SiteSystem::Both;
  def.useHttpPost = flag("USE_HTTP_POST");
  def.httpGet = doc.ReadInteger(s, "HTTP_POST_TYPE", 1) == 2;
  def.httpNewScriptUrl = str("HTTP_NEW_SCRIPT_URL");
  def.httpUpdateScriptUrl = str("HTTP_UPDATE_SCRIPT_URL");
  for (std::size_t i = 0; i < kMatchUpCount; ++i) {
    matchUps[i] = doc.ReadString(s, kMatchUpTable[i].key, kMatchUpTable[i].standard);
  }
  def.useFtpUpload = flag("USE_FTP_UPLOAD");
  def.useZipFile = flag("USE_ZIP_FILE");
  def.use8x3FileName = flag("USE_8X3_FILENAME");
  def.ftpServer = str("FTP_SERVER");
  def.loginName = str("LOGIN_NAME");
  def.remotePath = str("REMOTE_PATH");
  def.loginPassword = str("LOGIN_PASSWORD");
  // One choice of three, applied in key order: true selects, false clears its own.
  const std::pair<std::string_view, TextFileOption> options[] = {
      {"ADD_FILE_TO_ZIP", TextFileOption::AddToUpload},
      {"INCLUDE_IN_ZIP", TextFileOption::IncludeInZip},
      {"ADDED_TEXT_BOTH", TextFileOption::Both}};
  for (const auto& [key, option] : options) {
    if (flag(key)) {
      def.textFileOption = option;
    } else if (def.textFileOption == option) {
      def.textFileOption = TextFileOption::None;
    }
  }
  def.ftpFileName = str("FTP_FILENAME");
  def.useEmail = flag("USE_EMAIL");
  def.emailSendCopy = flag("EMAIL_SEND_COPY");
  def.attachGif = flag("EMAIL_ATTACH_GIF");
  def.attachIco = flag("EMAIL_ATTACH_ICO");
  def.attachScreen = flag("EMAIL_ATTACH_SCREEN");
  def.attachOther = flag("EMAIL_ATTACH_OTHER");
  def.attachApplication = flag("EMAIL_ATTACH_APPLICATION");
  def.emailToName = str("EMAIL_TONAME");
  def.emailSubject = str("EMAIL_SUBJECT");
  def.emailToNameUpdate = str("EMAIL_TONAME_UPDATE");
  def.emailSubjectUpdate = str("EMAIL_SUBJECT_UPDATE");
}

namespace {

// Hands every key of the settings file, in write order, to str (texts), flag (true or
// false) or number.
template <typename Str, typename Flag, typename Number>
void VisitSiteSettings(const SiteDefinition& def, const MatchUps& matchUps, Str str, Flag flag,
                       Number number) {
  number("BYTE_FORMAT", def.byteFormat == ByteFormat::MBytes   ? 3
                        : def.byteFormat == ByteFormat::KBytes ? 2
                                                               : 1);
  str("SITES_WEB_URL", def.sitesWebUrl);
  flag("USE_CAT1", def.useCat1);
  flag("USE_CAT2", def.useCat2);
  number("SITE_TYPE", def.freewareOnly ? 1 : 2);
  number("SITE_SYSTEM", def.siteSystem == SiteSystem::Both     ? 3
                        : def.siteSystem == SiteSystem::Only16 ? 2
                                                               : 1);
  flag("USE_HTTP_POST", def.useHttpPost);
  number("HTTP_POST_TYPE", def.httpGet ? 2 : 1);
  str("HTTP_NEW_SCRIPT_URL", def.httpNewScriptUrl);
  str("HTTP_UPDATE_SCRIPT_URL", def.httpUpdateScriptUrl);
  for (std::size_t i = 0; i < kMatchUpCount; ++i) str(kMatchUpTable[i].key, matchUps[i]);
  flag("USE_FTP_UPLOAD", def.useFtpUpload);
  flag("USE_ZIP_FILE", def.useZipFile);
  flag("USE_8X3_FILENAME", def.use8x3FileName);
  str("FTP_SERVER", def.ftpServer);
  str("LOGIN_NAME", def.loginName);
  str("REMOTE_PATH", def.remotePath);
  str("LOGIN_PASSWORD", def.loginPassword);
  flag("ADD_FILE_TO_ZIP", def.textFileOption == TextFileOption::AddToUpload);
  flag("INCLUDE_IN_ZIP", def.textFileOption == TextFileOption::IncludeInZip);
  flag("ADDED_TEXT_BOTH", def.textFileOption == TextFileOption::Both);
  str("FTP_FILENAME", def.ftpFileName);
  flag("USE_EMAIL", def.useEmail);
  flag("EMAIL_SEND_COPY", def.emailSendCopy);
  flag("EMAIL_ATTACH_GIF", def.attachGif);
  flag("EMAIL_ATTACH_ICO", def.attachIco);
  flag("EMAIL_ATTACH_SCREEN", def.attachScreen);
  flag("EMAIL_ATTACH_OTHER", def.attachOther);
  flag("EMAIL_ATTACH_APPLICATION", def.attachApplication);
  str("EMAIL_TONAME", def.emailToName);
  str("EMAIL_SUBJECT", def.emailSubject);
  str("EMAIL_TONAME_UPDATE", def.emailToNameUpdate);
  str("EMAIL_SUBJECT_UPDATE", def.emailSubjectUpdate);
}

}  // namespace

void WriteSiteSettings(IniDocument& doc, const SiteDefinition& def, const MatchUps& matchUps) {
  const auto s = kSiteSection;
  VisitSiteSettings(
      def, matchUps,
      [&](std::string_view key, const std::string& v) { doc.WriteString(s, key, v); },
      [&](std::string_view key, bool v) { doc.WriteBool(s, key, v); },
      [&](std::string_view key, int v) { doc.WriteInteger(s, key, v); });
}

std::optional<std::string> CheckSiteSettings(const SiteDefinition& def, const MatchUps& matchUps) {
  std::optional<std::string> why;
  VisitSiteSettings(
      def, matchUps,
      [&](std::string_view key, const std::string& v) {
        if (!why) why = CheckIniValue(key, v);
      },
      [](std::string_view, bool) {}, [](std::string_view, int) {});
  return why;
}

}  // namespace vendrix
