// Variable expansion of scripts with the demo profiles and site: it never throws, a
// failure leaves the text as it was, text without "%" stays as it is, and a value
// holding "%" is inserted literally.
//
// Input: VALUE \0 SCRIPT; VALUE becomes the application's short description.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

#include "base/file_io.h"
#include "base/ini_file.h"
#include "catalogue/site_definition.h"
#include "catalogue/site_table.h"
#include "fuzz_world.h"
#include "profiles/app_profile.h"
#include "profiles/company_profile.h"
#include "script/eng_build.h"

using namespace vendrix;
using vendrix::fuzz::Require;

namespace {

struct Scripts {
  Scripts() {
    company = ReadCompanySection(IniDocument::Load(world.tree.CompanyFile("Brightfield Software")));
    ReadAppSection(IniDocument::Load(world.tree.AppFile("Tidy Notes")), app);
    world.store.LoadSite("Demo All Three", site);
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 7;
    clock.Set(t);
  }
  fuzz::DemoWorld world;
  CompanyProfile company;
  AppProfile app;
  SiteDefinition site;
  AppSiteRow row;
  FixedClock clock{std::tm{}};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Scripts s;
  std::string_view in(reinterpret_cast<const char*>(data), size);
  auto nul = in.find('\0');
  std::string_view value = nul == std::string_view::npos ? std::string_view() : in.substr(0, nul);
  std::string_view text = nul == std::string_view::npos ? in : in.substr(nul + 1);
  s.app.shortDesc = std::string(value);
  TEngBuild eng(s.world.store);
  ExpansionContext context;
  context.company = &s.company;
  context.app = &s.app;
  context.site = &s.site;
  context.row = &s.row;
  context.clock = &s.clock;
  context.prompt = &s.world.prompt;
  eng.SetContext(context);
  for (ExpansionMode mode : {ExpansionMode::Preview, ExpansionMode::Submission}) {
    std::string out;
    try {
      out = eng.ExpandText(text, mode);
    } catch (...) {
      Require(false, "an expansion never throws");
    }
    if (eng.ErrorFlag) Require(out == text, "a failed expansion leaves the text");
    if (text.find('%') == std::string_view::npos) {
      Require(!eng.ErrorFlag && out == text, "text without variables stays");
    }
  }
  if (value.find('\0') == std::string_view::npos) {
    std::string out = eng.ExpandText("[%APPSHORTDESC%]", ExpansionMode::Preview);
    Require(!eng.ErrorFlag, "a known variable expands");
    Require(out.size() >= 2 && out.front() == '[' && out.back() == ']', "values stay in place");
  }
  return 0;
}
