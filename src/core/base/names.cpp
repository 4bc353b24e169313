#include "base/names.h"

#include "base/cp1252.h"
#include "base/user_prompt.h"

namespace vendrix {
namespace {

// The longest suffix a name of this kind gets in the data tree.
std::size_t LongestSuffix(EntryKind kind) {
  switch (kind) {
    case EntryKind::Any:
      return 0;
    case EntryKind::Company:
      return std::string_view(kAppListSuffix).size();  // "<company> Apps.dat"
    case EntryKind::App:
      return std::string_view(kSiteTableSuffix).size();  // "<app>_SITES.dat"
    case EntryKind::Site:
      return std::string_view(" EMAIL_UPDATE.scp").size();
  }
  return 0;
}

}  // namespace

std::optional<std::string> CheckEntryName(std::string_view name, EntryKind kind) {
  bool bad = name == "." || name == "..";
  for (unsigned char c : name) {
    if (c == '/' || c < 0x20 || c == 0x7F) bad = true;
  }
  if (bad) {
    return "A name may not contain \"/\" or control characters, and may not be \".\" or \"..\".";
  }
  if (kind == EntryKind::Company && name == "companies") {
    return "A company may not be named \"companies\": the list of companies has that file name.";
  }
  if (kind == EntryKind::App && name.size() >= 6 && name.substr(name.size() - 6) == "_SITES") {
    return "An application name may not end in \"_SITES\": site tables have such file names.";
  }
  if (kind == EntryKind::Site && name.find('\xB1') != std::string_view::npos) {
    return "A site name may not contain the character \xB1.";
  }
  // A file is written through a staging file "." + its name + ".XXXXXX" beside it.
  constexpr std::size_t kStagingBytes = 8;
  const std::size_t bytes = Cp1252ToUtf8(name).size() + LongestSuffix(kind) + kStagingBytes;
  if (kind != EntryKind::Any && bytes > kMaxFileNameBytes) {
    return "The name is too long: it may have at most " +
           std::to_string(kMaxFileNameBytes - LongestSuffix(kind) - kStagingBytes) +
           " bytes in UTF-8, so that its files' names, and the names they are written under "
           "first, stay within " +
           std::to_string(kMaxFileNameBytes) + " bytes.";
  }
  return std::nullopt;
}

Lines FilterNames(const Lines& names, Lines* rejected, EntryKind kind) {
  Lines kept;
  kept.reserve(names.size());
  for (const auto& n : names) {
    if (n.empty()) continue;
    if (CheckEntryName(n, kind)) {
      if (rejected) rejected->push_back(n);
    } else {
      kept.push_back(n);
    }
  }
  return kept;
}

void ReportSkipped(UserPrompt& prompt, std::string_view what, std::string_view where,
                   const Lines& rejected, EntryKind kind) {
  for (const auto& bad : rejected) {
    auto why = CheckEntryName(bad, kind);
    prompt.Error("The " + std::string(what) + " \"" + bad + "\" in " + std::string(where) +
                 " was skipped: " + (why ? *why : std::string("it cannot be read.")));
  }
}

std::string TrimLeft(std::string_view s) {
  std::size_t b = 0;
  while (b < s.size() && s[b] == ' ') ++b;
  return std::string(s.substr(b));
}

std::string TrimBoth(std::string_view s) {
  std::string t = TrimLeft(s);
  while (!t.empty() && t.back() == ' ') t.pop_back();
  return t;
}

}  // namespace vendrix
