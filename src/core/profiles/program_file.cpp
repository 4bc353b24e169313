#include "profiles/program_file.h"

#include "base/cp1252.h"

namespace vendrix {

std::string ProgramFilePath(const AppProfile& app, const std::string& rootDir) {
  return ProfileFilePath(app.localPath, rootDir);
}

std::string ProfileFilePath(const std::string& stored, const std::string& rootDir) {
  if (stored.find_first_not_of(" \t") == std::string::npos) return "";
  const std::string typed = Cp1252ToUtf8(stored);
  if (typed.front() == '/' || rootDir.empty()) return typed;
  return rootDir + (rootDir.back() == '/' ? "" : "/") + typed;
}

}  // namespace vendrix
