// TEngBuild's variable expansion.
#include "base/clock.h"
#include "catalogue/match_ups.h"
#include "catalogue/site_table.h"
#include "profiles/app_profile.h"
#include "profiles/company_profile.h"
#include "script/eng_build.h"
#include "script/size_rule.h"

namespace vendrix {
namespace {

std::string JoinCrLf(const Lines& lines) {
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) out += "\r\n";
    out += lines[i];
  }
  return out;
}

std::string Size(const std::string& bytes, ByteFormat format) {
  switch (format) {
    case ByteFormat::KBytes:
      return SizeInKBytes(bytes);
    case ByteFormat::MBytes:
      return SizeInMBytes(bytes);
    case ByteFormat::Bytes:
      break;
  }
  return bytes;
}

const std::string& OrElse(const std::string& first, const std::string& second) {
  return first.empty() ? second : first;
}

}  // namespace

std::string TEngBuild::ExpandText(std::string_view text, ExpansionMode mode,
                                  const ValueEncoder& encode) {
  ErrorFlag = false;
  ErrorName.clear();
  if (text.find('%') == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  for (;;) {
    std::size_t p = text.find('%', pos);
    if (p == std::string_view::npos) {
      out.append(text.substr(pos));
      return out;
    }
    std::size_t q = text.find('%', p + 1);
    if (q == std::string_view::npos) {
      ErrorFlag = true;
      ErrorName.clear();
      return std::string(text);
    }
    std::string value = ExpandVariable(text.substr(p + 1, q - p - 1), mode);
    if (ErrorFlag) return std::string(text);
    out.append(text.substr(pos, p - pos));
    out += encode ? encode(value) : value;
    pos = q + 1;
  }
}

std::string TEngBuild::CategoryVariable(int which, ExpansionMode mode) {
  const SiteDefinition& site = context_.Site();
  const Lines& list = which == 1 ? site.cat1 : site.cat2;
  const char* kUnknown = "%UNKNOWN%";
  if (mode == ExpansionMode::Preview) {
    if (!list.empty()) return CategoryValue(list.front());
    ErrorFlag = true;
    ErrorName = kUnknown;
    return kUnknown;
  }
  bool used = which == 1 ? site.useCat1 : site.useCat2;
  if (!used || list.empty()) {
    // The reference inserts "%UNKNOWN%" and then fails on the name UNKNOWN when it
    // rescans; values are literal here, so the failure is reported directly.
    ErrorFlag = true;
    ErrorName = "UNKNOWN";
    return "";
  }
  std::string label;
  if (context_.row) label = which == 1 ? context_.row->cat1 : context_.row->cat2;
  // The line whose label is the chosen one is the category shown on the Sites page; a
  // line that merely contains it ("Games" in "Games/Action") is the fallback for
  // labels kept from older lists. An empty label is contained in no line.
  for (const auto& line : list) {
    if (!label.empty() && CategoryLabel(line) == label) return CategoryValue(line);
  }
  for (const auto& line : list) {
    if (!label.empty() && line.find(label) != std::string::npos) return CategoryValue(line);
  }
  if (which == 1 && context_.prompt) {
    context_.prompt->Inform("Could NotFind! " + site.name + ": category " + label + " is not in " +
                            site.name + " Cat1.cat");
  }
  if (!label.empty()) return label;
  ErrorFlag = true;
  ErrorName = kUnknown;
  return kUnknown;
}

std::string TEngBuild::ExpandVariable(std::string_view name, ExpansionMode mode) {
  ErrorFlag = false;
  const CompanyProfile& c = context_.Company();
  const AppProfile& a = context_.App();
  const SiteDefinition& site = context_.Site();

  struct Text {
    std::string_view name;
    const std::string* value;
  };
  const Text texts[] = {
      {"COMPNAME", &c.name},
      {"COMPURL", &c.url},
      {"COMPMAIL", &c.salesEmail},
      {"CONTNAME", &c.contact},
      {"CONTTITLE", &c.title},
      {"CONTEMAIL", &c.email},
      {"CONTPHONE", &c.phone},
      {"CONTFAX", &c.fax},
      {"CONTADDR", &c.address},
      {"CONTCITY", &c.city},
      {"CONTSTATE", &c.state},
      {"CONTZIP", &c.zip},
      {"CONTCOUNTRY", &c.country},
      {"APPNAME", &a.name},
      {"8PLUS3", &a.char8},
      {"APPFILENAME", &a.fileName},
      {"APPVERSION", &a.version},
      {"APPMONTH", &a.month},
      {"APPDAY", &a.day},
      {"APPYEAR", &a.year},
      {"APPLOCALPATH", &a.localPath},
      {"APPPRICE", &a.price},
      {"APPEVAL", &a.eval},
      {"APPEXPDATE", &a.expireDate},
      {"APPEXPAFTER", &a.expireAfter},
      {"APPREQ", &a.specReq},
      {"APPURL", &a.appUrl},
      {"APP32DL1", &OrElse(a.dl1_32, a.dl1_16)},
      {"APP32DL2", &OrElse(a.dl2_32, a.dl2_16)},
      {"APP32DL3", &OrElse(a.dl3_32, a.dl3_16)},
      {"APP32DL4", &OrElse(a.dl4_32, a.dl4_16)},
      {"APP16DL1", &a.dl1_16},
      {"APP16DL2", &a.dl2_16},
      {"APP16DL3", &a.dl3_16},
      {"APP16DL4", &a.dl4_16},
      {"APPSCREEN", &a.screenshotUrl},
      {"APPICONGIF", &a.gifUrl},
      {"APPICONICO", &a.icoUrl},
      {"PADURL", &a.padUrl},
      {"APPSHORTDESC", &a.shortDesc},
      {"SITENAME", &site.name},
      {"BHSID", &c.bhsId},
  };
  for (const auto& t : texts) {
    if (t.name == name) return *t.value;
  }

  struct MatchUp {
    std::string_view name;
    MatchUpGroup group;
    const std::string* field;
  };
  const MatchUp matchUps[] = {{"APPPLAT", MatchUpGroup::Platform, &a.platform},
                              {"APPSUBMITBY", MatchUpGroup::Submitter, &a.submitter},
                              {"APPSTATUS", MatchUpGroup::Status, &a.status},
                              {"APPINSTALL", MatchUpGroup::Installer, &a.installer}};
  for (const auto& m : matchUps) {
    if (m.name != name) continue;
    auto index = MatchUpIndex(m.group, *m.field);
    if (!index || store_.MatchUpValues()[*index].empty()) return *m.field;
    return store_.MatchUpValues()[*index];
  }

  const ByteFormat bytes = site.byteFormat;
  if (name == "APPSIZE32") return Size(OrElse(a.size32, a.size16), bytes);
  if (name == "APPINSTSIZE32") return Size(OrElse(a.instSize32, a.instSize16), bytes);
  if (name == "APPSIZE16") return Size(a.size16, bytes);
  if (name == "APPINSTSIZE16") return Size(a.instSize16, bytes);
  if (name == "APPLONGDESC") return JoinCrLf(a.longDesc);
  if (name == "APPNOTES") return JoinCrLf(a.notes);
  if (name == "SITECAT1") return CategoryVariable(1, mode);
  if (name == "SITECAT2") return CategoryVariable(2, mode);
  if (name == "FBBSDESC") {
    std::string text = a.char8 + ".zip";
    if (text.size() <= 15) text.resize(16, ' ');
    return text + a.shortDesc;
  }
  if (name.substr(0, 3) == "CUR" && context_.clock) {
    std::tm now = context_.clock->Now();
    if (name == "CURDATE") return ShortDate(now);
    if (name == "CURDATE_DAY") return std::to_string(now.tm_mday);
    if (name == "CURDATE_MONTH") return std::to_string(now.tm_mon + 1);
    if (name == "CURDATE_YEAR") return std::to_string(now.tm_year + 1900);
    if (name == "CURTIME") return LongTime(now);
    if (name == "CURTIME_HRS") return std::to_string(now.tm_hour);
    if (name == "CURTIME_MIN") return std::to_string(now.tm_min);
  }
  ErrorFlag = true;
  ErrorName = std::string(name);
  return "";
}

}  // namespace vendrix
