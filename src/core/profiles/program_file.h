#pragma once
// Where the program file of an application profile (its PATH key) is to be opened.
// A relative path is read from the data tree's root, as a portable copy that carries
// its program files beside its data expects; an absolute path stands as it is. What
// the profile keeps and shows, and what %APPLOCALPATH% gives, stay as typed: this is
// only the path the run, its checks and the manifests open. Pure: any thread.
#include <string>

#include "profiles/app_profile.h"

namespace vendrix {

// rootDir: the data tree's root (UTF-8, a trailing "/" optional; "" reads a relative
// path from the current folder). Returns a UTF-8 path, "" when PATH is blank.
std::string ProgramFilePath(const AppProfile& app, const std::string& rootDir);
// The same for any file a profile names (ICOPATH, GIFPATH, SCREENPATH, OTHERPATH):
// stored is the key's value as kept (Windows-1252).
std::string ProfileFilePath(const std::string& stored, const std::string& rootDir);

}  // namespace vendrix
