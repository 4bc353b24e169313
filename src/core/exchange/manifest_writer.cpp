#include "exchange/manifest_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_io.h"
#include "exchange/manifest_chocolatey.h"
#include "exchange/manifest_scoop.h"

namespace vendrix {
namespace {

std::vector<std::string> Parts(const std::string& relative) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const auto slash = relative.find('/', start);
    parts.push_back(relative.substr(start, slash == std::string::npos ? slash : slash - start));
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return parts;
}

void Refuse(const std::string& path, const std::string& why) {
  throw VendrixError("The manifest file " + Utf8ToCp1252(path) + " is refused: " + why);
}

// Checks (and with make, creates) every folder from the output folder down to the
// file's, never following a link; refuses a path that would leave the output folder.
void CheckPath(const std::string& root, const std::string& relative, bool make) {
  if (relative.empty() || relative.front() == '/')
    Refuse(relative, "it is no path inside the folder.");
  const auto parts = Parts(relative);
  for (const auto& part : parts) {
    if (part.empty() || part == "." || part == ".." ||
        part.find_first_of(std::string("\\\0", 2)) != std::string::npos) {
      Refuse(relative, "it would leave the output folder.");
    }
    for (char c : part) {
      if (static_cast<unsigned char>(c) < 0x20) Refuse(relative, "it holds a control character.");
    }
  }
  std::string path = root;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    path += "/" + parts[i];
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
      if (errno != ENOENT) Refuse(relative, std::strerror(errno));
      if (!make) return;  // nothing further down exists yet
      if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
        throw VendrixError(UnableToWrite(path) + ": " + std::strerror(errno));
      }
      if (::lstat(path.c_str(), &st) != 0) throw VendrixError(UnableToWrite(path));
    }
    if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode)) {
      Refuse(relative, Utf8ToCp1252(path) + " is a link or no folder.");
    }
  }
  struct stat st {};
  const std::string file = root + "/" + relative;
  if (::lstat(file.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    Refuse(relative, "a link or something else than a file stands there.");
  }
}

}  // namespace

std::vector<WrittenFile> WriteManifestSets(const std::string& outDirUtf8,
                                           const std::vector<ManifestSet>& sets, bool force) {
  std::string root = outDirUtf8;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (root.empty()) throw VendrixError("No output folder given.");
  struct stat st {};
  if (::stat(root.c_str(), &st) != 0) {
    if (!MakeDir(root)) throw VendrixError(UnableToWrite(root) + ": " + std::strerror(errno));
  } else if (!S_ISDIR(st.st_mode)) {
    throw VendrixError(Utf8ToCp1252(root) + " is no folder.");
  }

  // Everything is checked before anything is written.
  std::vector<std::vector<bool>> same(sets.size());
  for (std::size_t s = 0; s < sets.size(); ++s) {
    const ManifestSet& set = sets[s];
    bool sameVersionThere = false;
    std::string differing;
    for (std::size_t i = 0; i < set.files.size(); ++i) {
      const ManifestFile& file = set.files[i];
      CheckPath(root, file.path, false);
      const auto old = ReadWholeFile(root + "/" + file.path);
      same[s].push_back(old && *old == file.bytes);
      if (!old) continue;
      if (i == 0) {
        switch (set.source) {
          case VersionSource::InPath:
            sameVersionThere = true;
            break;
          case VersionSource::ScoopJson:
            sameVersionThere = ScoopManifestVersion(*old) == set.version;
            break;
          case VersionSource::NuspecText:
            sameVersionThere = NuspecVersion(*old) == set.version;
            break;
        }
      }
      if (*old != file.bytes && differing.empty()) differing = file.path;
      if (set.source == VersionSource::InPath && *old != file.bytes) sameVersionThere = true;
    }
    if (sameVersionThere && !differing.empty() && !force) {
      throw VendrixError("The " + set.channel + " manifest of version " +
                         Utf8ToCp1252(set.version) + " in " + Utf8ToCp1252(root) +
                         " is a different one (" + Utf8ToCp1252(differing) +
                         "); it is left as it is. --force replaces it.");
    }
  }

  std::vector<WrittenFile> written;
  for (std::size_t s = 0; s < sets.size(); ++s) {
    for (std::size_t i = 0; i < sets[s].files.size(); ++i) {
      const ManifestFile& file = sets[s].files[i];
      CheckPath(root, file.path, true);
      if (!same[s][i]) WriteFileAtomic(root + "/" + file.path, file.bytes);
      written.push_back({root + "/" + file.path, static_cast<long long>(file.bytes.size()),
                         static_cast<bool>(same[s][i])});
    }
  }
  return written;
}

}  // namespace vendrix
