#include "profiles/app_profile.h"

namespace vendrix {

using P = AppProfile;
const std::array<AppField, 46> kAppFields = {{
    {"FILENAME", "filename", &P::fileName, KeyRule::Any, 16},
    {"NAME", "AppName", &P::name, KeyRule::NoTyping, 0},
    {"8CHAR", "char8name", &P::char8, KeyRule::Any, 8},
    {"VERSION", "version", &P::version, KeyRule::Any, 0},
    {"DAY", "day", &P::day, KeyRule::DigitsOnly, 2},
    {"MONTH", "month", &P::month, KeyRule::DigitsOnly, 2},
    {"YEAR", "year", &P::year, KeyRule::DigitsOnly, 2},
    {"PLATFORM", "platforms", &P::platform, KeyRule::NoTyping, 0},
    {"DSTATUS", "diststatus", &P::submitter, KeyRule::NoTyping, 0},
    {"SIZE32", "bytesize32", &P::size32, KeyRule::DigitsOnly, 0},
    {"INSTSIZE32", "instsize32", &P::instSize32, KeyRule::DigitsOnly, 0},
    {"SIZE16", "bytesize16", &P::size16, KeyRule::DigitsOnly, 0},
    {"INSTSIZE16", "instsize16", &P::instSize16, KeyRule::DigitsOnly, 0},
    {"PRICE", "price", &P::price, KeyRule::NoDollar, 0},
    {"STATUS", "status", &P::status, KeyRule::NoTyping, 0},
    {"EVAL", "eval", &P::eval, KeyRule::Any, 0},
    {"XDATE", "expiredate", &P::expireDate, KeyRule::Any, 0},
    {"XDAYS", "expireafter", &P::expireAfter, KeyRule::Any, 0},
    {"installer", "installer", &P::installer, KeyRule::NoTyping, 0},
    {"APPURL", "appurl", &P::appUrl, KeyRule::NoSpace, 0},
    {"DL1_32", "dl1_32", &P::dl1_32, KeyRule::NoSpace, 0},
    {"DL2_32", "dl2_32", &P::dl2_32, KeyRule::NoSpace, 0},
    {"DL3_32", "dl3_32", &P::dl3_32, KeyRule::NoSpace, 0},
    {"DL4_32", "dl4_32", &P::dl4_32, KeyRule::NoSpace, 0},
    {"DL1_16", "dl1_16", &P::dl1_16, KeyRule::NoSpace, 0},
    {"DL2_16", "dl2_16", &P::dl2_16, KeyRule::NoSpace, 0},
    {"DL3_16", "dl3_16", &P::dl3_16, KeyRule::NoSpace, 0},
    {"DL4_16", "dl4_16", &P::dl4_16, KeyRule::NoSpace, 0},
    {"SHOT", "screenshot", &P::screenshotUrl, KeyRule::NoSpace, 0},
    {"GIF", "URLGifEdit", &P::gifUrl, KeyRule::NoSpace, 0},
    {"ICO", "URLIcoEdit", &P::icoUrl, KeyRule::NoSpace, 0},
    {"PATH", "localpath", &P::localPath, KeyRule::Any, 0},
    {"ICOPATH", "IcoFileEdit", &P::icoPath, KeyRule::Any, 0},
    {"GIFPATH", "GifFileEdit", &P::gifPath, KeyRule::Any, 0},
    {"SCREENPATH", "ScreenShotEdit", &P::screenPath, KeyRule::Any, 0},
    {"OTHERPATH", "OtherFileEdit", &P::otherPath, KeyRule::Any, 0},
    {"SHORTDESC", "shortdesc", &P::shortDesc, KeyRule::NoDollar, 46},
    {"PADURL", "padurl", &P::padUrl, KeyRule::NoSpace, 0},
    {"LICENSE", "license", &P::license, KeyRule::Any, 0},
    {"LICENSEURL", "licenseurl", &P::licenseUrl, KeyRule::NoSpace, 0},
    {"PKGID", "pkgid", &P::pkgId, KeyRule::NoSpace, 0},
    {"TAGS", "tags", &P::tags, KeyRule::Any, 0},
    {"INSTKIND", "instkind", &P::instKind, KeyRule::NoTyping, 0},
    {"SILENT", "silent", &P::silent, KeyRule::Any, 0},
    {"PKGEXE", "pkgexe", &P::pkgExe, KeyRule::Any, 0},
    {"RELNOTES", "relnotes", &P::relNotes, KeyRule::Any, 0},
}};

const AppField* FindAppField(std::string_view key) {
  for (const auto& f : kAppFields) {
    if (f.key == key) return &f;
  }
  return nullptr;
}

void ReadAppSection(const IniDocument& doc, AppProfile& profile) {
  for (const auto& f : kAppFields) {
    if (f.key == "NAME") continue;
    profile.*f.member = doc.ReadString(kAppSection, f.key, "");
  }
}

void WriteAppSection(IniDocument& doc, const AppProfile& profile) {
  for (const auto& f : kAppFields) doc.WriteString(kAppSection, f.key, profile.*f.member);
}

}  // namespace vendrix
