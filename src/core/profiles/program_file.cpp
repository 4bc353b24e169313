#include "profiles/program_file.h"

#include "base/cp1252.h"

namespace vendrix {

std::string ProgramFilePath(const AppProfile& app, const std::string& rootDir) {
  if (app.localPath.find_first_not_of(" \t") == std::string::npos) return "";
  const std::string typed = Cp1252ToUtf8(app.localPath);
  if (typed.front() == '/' || rootDir.empty()) return typed;
  return rootDir + (rootDir.back() == '/' ? "" : "/") + typed;
}

}  // namespace vendrix
