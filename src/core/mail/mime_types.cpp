#include "mail/mime_types.h"

#include <cctype>
#include <optional>
#include <sstream>

#include "base/file_io.h"

namespace vendrix {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

MimeTypeTable MimeTypeTable::Load(const std::string& path) {
  MimeTypeTable table;
  std::optional<std::string> text;
  try {
    text = ReadWholeFile(path);
  } catch (const std::exception&) {
    return table;  // an unreadable table types everything as octet-stream
  }
  if (!text) return table;
  std::istringstream in(*text);
  std::string line;
  while (std::getline(in, line)) {
    if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string type, ext;
    if (!(words >> type) || type.find('/') == std::string::npos) continue;
    while (words >> ext) table.types_.emplace(Lower(ext), Lower(type));
  }
  return table;
}

std::string MimeTypeTable::TypeOf(const std::string& fileName) const {
  auto slash = fileName.rfind('/');
  std::string base = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
  auto dot = base.rfind('.');
  if (dot != std::string::npos && dot + 1 < base.size()) {
    auto it = types_.find(Lower(base.substr(dot + 1)));
    if (it != types_.end()) return it->second;
  }
  return "application/octet-stream";
}

const MimeTypeTable& SystemMimeTypes() {
  static const MimeTypeTable table = MimeTypeTable::Load("/etc/mime.types");
  return table;
}

}  // namespace vendrix
