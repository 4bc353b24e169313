// PAD import: a file is refused whole with a reason, or every value it stores passes
// the exact text rule and its field's rules; and what was stored, exported and
// imported again, comes back the same.
//
// Input: the bytes of a PAD file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "base/ini_file.h"
#include "base/names.h"
#include "exchange/pad_export.h"
#include "exchange/pad_import.h"
#include "fuzz_support.h"
#include "profiles/app_rules.h"

using namespace vendrix;
using vendrix::fuzz::Require;

namespace {

// One line a profile file stores and reads back.
bool StorableLine(const std::string& v) {
  if (v.size() > kIniMaxValue) return false;
  for (char c : v) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return false;
  }
  return true;
}

std::string Joined(const Lines& lines) {
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  PadContent pad;
  try {
    pad = PadImport(bytes);
  } catch (const VendrixError& e) {
    Require(e.what()[0] != '\0', "a refusal gives its reason");
    return 0;
  }
  Require(!CheckEntryName(pad.app.name, EntryKind::App), "the name can name an application");
  for (const auto& f : kAppFields) {
    const std::string& v = pad.app.*f.member;
    Require(StorableLine(v), "an application value is one storable line");
    if (f.key != "NAME") Require(!CheckAppValue(f.key, v), "an application value passes its rules");
  }
  if (!pad.app.char8.empty()) {
    Require(Char8Exit(pad.app.char8) == pad.app.char8, "the 8 character name passes its exit rule");
  }
  for (const auto& f : kCompanyFields) {
    Require(StorableLine(pad.company.*f.member), "a company value is one storable line");
  }
  for (const auto& line : pad.app.longDesc) Require(StorableLine(line), "description lines");
  for (const auto& line : pad.app.notes) Require(StorableLine(line), "notes lines");
  Require(!CheckMemoText("", Joined(pad.app.longDesc)), "no \"$\" in the long description");
  Require(!CheckMemoText("", Joined(pad.app.notes)), "no \"$\" in the notes");

  // What the export says it cut is all that may differ.
  std::vector<std::string> told;
  PadContent back = PadImport(PadExport(pad.company, pad.app, &told));
  Require(back.findings.empty(), "an export of stored values imports without findings");
  auto cut = [&told](std::string_view element) {
    for (const auto& t : told) {
      if (t.rfind(element, 0) == 0) return true;
    }
    return false;
  };
  for (const auto& f : kCompanyFields) {
    if (f.key != "BHSID" && f.key != "CTITLE") {
      Require(back.company.*f.member == pad.company.*f.member, "company values round trip");
    }
  }
  for (const auto& f : kAppFields) {
    if (f.key == "SHORTDESC" && cut("Char_Desc_45")) continue;
    Require(back.app.*f.member == pad.app.*f.member, "application values round trip");
  }
  if (!cut("Char_Desc_2000")) {
    Require(back.app.longDesc == pad.app.longDesc, "the long description round trips");
  }
  Require(back.app.notes == pad.app.notes, "the notes round trip");
  return 0;
}
