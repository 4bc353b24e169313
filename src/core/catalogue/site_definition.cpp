#include "catalogue/site_definition.h"

namespace vendrix {

std::string_view ScriptTag(ScriptKind kind) {
  static constexpr std::string_view kTags[] = {"HTTP_NEW", "HTTP_UPDATE", "FTP_NEW", "EMAIL_NEW",
                                               "EMAIL_UPDATE"};
  return kTags[static_cast<std::size_t>(kind)];
}

bool ScriptKindFromTag(std::string_view tag, ScriptKind& kind) {
  for (ScriptKind k : kScriptKinds) {
    if (ScriptTag(k) == tag) {
      kind = k;
      return true;
    }
  }
  return false;
}

std::string CategoryValue(std::string_view line) {
  auto pos = line.find(kCategoryMarker);
  if (pos != std::string_view::npos && pos >= 1) return std::string(line.substr(0, pos));
  return std::string(line);
}

std::string CategoryLabel(std::string_view line) {
  auto pos = line.find(kCategoryMarker);
  if (pos != std::string_view::npos && pos + kCategoryMarker.size() < line.size()) {
    return std::string(line.substr(pos + kCategoryMarker.size()));
  }
  return std::string(line);
}

}  // namespace vendrix
