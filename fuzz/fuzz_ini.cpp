// INI files: parse -> write -> parse gives the same text, a value written with
// WriteString reads back as written, before and after a save, and the quick scan of
// several keys finds exactly what the document finds.
//
// Input: SECTION \0 KEY \0 VALUE \0 the text of an INI file (without three NULs the
// whole input is the file).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/ini_file.h"
#include "fuzz_support.h"

using vendrix::IniDocument;
using vendrix::fuzz::Require;

namespace {

// A name the profile routines can store and find again.
bool PlainName(std::string_view s) {
  if (s.empty() || s.size() > 64 || s.front() == ' ' || s.back() == ' ') return false;
  for (char c : s) {
    bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '_' || c == ' ';
    if (!ok) return false;
  }
  return true;
}

// A value that reads back exactly: one line, no blanks around it, not quoted.
bool PlainValue(std::string_view v) {
  if (v.size() > vendrix::kIniMaxValue) return false;
  if (v.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;
  if (!v.empty() && (v.front() == ' ' || v.front() == '\t' || v.back() == ' ' || v.back() == '\t' ||
                     v.front() == '"' || v.front() == '\''))
    return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  std::string_view section, key, value, text = in;
  auto a = in.find('\0');
  auto b = a == std::string_view::npos ? a : in.find('\0', a + 1);
  auto c = b == std::string_view::npos ? b : in.find('\0', b + 1);
  if (c != std::string_view::npos) {
    section = in.substr(0, a);
    key = in.substr(a + 1, b - a - 1);
    value = in.substr(b + 1, c - b - 1);
    text = in.substr(c + 1);
  }

  IniDocument doc = IniDocument::Parse(text);
  const std::string once = doc.Text();
  Require(IniDocument::Parse(once).Text() == once, "parse -> write -> parse keeps the text");

  if (!key.empty()) {
    const std::string_view keys[] = {key, "USE_EMAIL", "site_type"};
    std::optional<std::string_view> found[3];
    vendrix::ScanIniValues(text, section, keys, found, 3);
    for (int i = 0; i < 3; ++i) {
      auto expected = doc.Get(section, keys[i]);
      auto scanned =
          found[i]
              ? std::optional<std::string>(std::string(found[i]->substr(0, vendrix::kIniMaxValue)))
              : std::nullopt;
      Require(scanned == expected, "the quick scan reads what the document reads");
    }
  }

  if (PlainName(section) && PlainName(key) && PlainValue(value)) {
    doc.WriteString(section, key, value);
    Require(doc.Get(section, key) == std::string(value), "a written value reads back");
    IniDocument again = IniDocument::Parse(doc.Text());
    Require(again.Get(section, key) == std::string(value), "a written value survives a save");
    Require(again.Text() == doc.Text(), "a written document parses to itself");
  }
  return 0;
}
