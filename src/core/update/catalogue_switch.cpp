#include "update/catalogue_switch.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_io.h"
#include "update/catalogue_trash.h"

namespace vendrix {
namespace {

constexpr const char* kJournal = ".catalogue-switch";

std::string NewFolder(const std::string& root, const std::string& name) {
  return root + "." + name + ".new";
}
std::string OldFolder(const std::string& root, const std::string& name) {
  return root + "." + name + ".old";
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

[[noreturn]] void Fail(const std::string& what, const std::string& path, int err) {
  throw VendrixError(what + " " + Utf8ToCp1252(path) + ": " + std::strerror(err));
}

// Flushes a folder's entries (or, with wholeFileSystem, everything written on its
// file system) to disk.
void SyncFolder(const std::string& dir, bool wholeFileSystem) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) Fail("Unable to open", dir, errno);
  int rc = wholeFileSystem ? ::syncfs(fd) : ::fsync(fd);
  int err = errno;
  ::close(fd);
  if (rc != 0) Fail("Unable to flush", dir, err);
}

void Rename(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) Fail("Unable to rename", from, errno);
}

// A copy of a plain file or link, for file systems that cannot hard-link.
void CopyEntry(const std::string& from, const std::string& to, const struct stat& st) {
  if (S_ISLNK(st.st_mode)) {
    std::string target(static_cast<std::size_t>(st.st_size) + 1, '\0');
    ssize_t n = ::readlink(from.c_str(), target.data(), target.size());
    if (n < 0) Fail("Unable to read", from, errno);
    target.resize(static_cast<std::size_t>(n));
    if (::symlink(target.c_str(), to.c_str()) != 0) Fail("Unable to write to", to, errno);
    return;
  }
  if (!S_ISREG(st.st_mode)) return;  // sockets and pipes are no part of a catalogue
  int in = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (in < 0) Fail("Unable to read", from, errno);
  int out =
      ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, st.st_mode & 07777);
  if (out < 0) {
    int err = errno;
    ::close(in);
    Fail("Unable to write to", to, err);
  }
  char buf[65536];
  int err = 0;
  for (;;) {
    ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) err = errno;
    if (n <= 0) break;
    for (ssize_t off = 0; off < n && !err;) {
      ssize_t w = ::write(out, buf + off, static_cast<std::size_t>(n - off));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) err = errno;
      if (w > 0) off += w;
    }
    if (err) break;
  }
  ::close(in);
  if (::close(out) != 0 && !err) err = errno;
  if (err) Fail("Unable to write to", to, err);
}

// Puts from (and, for a folder, everything in it) into to by hard links; an entry
// already in to was replaced by the update and stays.
void CarryEntry(const std::string& from, const std::string& to) {
  struct stat st {};
  if (::lstat(from.c_str(), &st) != 0) Fail("Unable to read", from, errno);
  if (S_ISDIR(st.st_mode)) {
    if (::mkdir(to.c_str(), st.st_mode & 07777) != 0 && !(errno == EEXIST && IsFolder(to))) {
      Fail("Unable to write to", to, errno);
    }
    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(from.c_str()), ::closedir);
    if (!d) Fail("Unable to read", from, errno);
    while (dirent* e = ::readdir(d.get())) {
      std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      CarryEntry(from + "/" + name, to + "/" + name);
    }
    return;
  }
  if (::link(from.c_str(), to.c_str()) == 0) return;
  if (errno == EEXIST) return;
  if (errno == EXDEV || errno == EPERM || errno == EMLINK || errno == ENOTSUP) {
    CopyEntry(from, to, st);
    return;
  }
  Fail("Unable to write to", to, errno);
}

// Replaces the folder root + name by its new one, the old one kept as ".name.old".
// Each step is skipped when it was done before (a start finishing a switch).
void SwitchFolder(const std::string& root, const std::string& name) {
  const std::string current = root + name, fresh = NewFolder(root, name),
                    old = OldFolder(root, name);
  if (!Exists(fresh)) return;  // switched already
  if (Exists(current)) {
    if (Exists(old)) {
      throw VendrixError("The catalogue folder " + Utf8ToCp1252(current) +
                         " cannot be switched: " + Utf8ToCp1252(old) + " is in the way.");
    }
    Rename(current, old);
  }
  Rename(fresh, current);
}

// The renames the journal records, then the journal and the old folders removed.
void FinishSwitch(const std::string& root, const std::string& sites, const std::string& cat) {
  SwitchFolder(root, sites);
  SwitchFolder(root, cat);
  SyncFolder(root, false);
  RemoveFile(root + kJournal);
  SyncFolder(root, false);
}

// Folders that are no part of the catalogue go to the trash, whose remover takes them
// away while the program goes on.
void Discard(const std::string& root, const std::vector<std::string>& folders) {
  for (const auto& name : folders) TrashFolder(root, "." + name);
  EmptyTrash(root);
}

// The old folders once the new ones are in place; what cannot go now goes at the next start.
void DropOldFolders(const std::string& root, const std::string& sites, const std::string& cat) {
  try {
    Discard(root, {sites + ".old", cat + ".old"});
  } catch (const VendrixError&) {
    // The catalogue is whole; RecoverCatalogueSwitch removes the rest.
  }
}

}  // namespace

mode_t NewFileMode() {
  // Read once: the umask cannot be read without being set.
  static const mode_t mode = [] {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
  }();
  return mode;
}

void RemoveTree(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
  if (ec) throw VendrixError("Unable to delete " + Utf8ToCp1252(path) + ": " + ec.message());
}

bool CatalogueSwitchLeftovers(const std::string& root, const std::string& sites,
                              const std::string& cat) {
  return Exists(root + kJournal) || Exists(NewFolder(root, sites)) ||
         Exists(NewFolder(root, cat)) || Exists(OldFolder(root, sites)) ||
         Exists(OldFolder(root, cat)) || Exists(root + kCatalogueTrash);
}

std::string RecoverCatalogueSwitch(const std::string& root, const std::string& sites,
                                   const std::string& cat) {
  if (Exists(root + kJournal)) {
    FinishSwitch(root, sites, cat);
    DropOldFolders(root, sites, cat);
    return "An interrupted update of the site catalogue was finished.";
  }
  bool rolledBack = Exists(NewFolder(root, sites)) || Exists(NewFolder(root, cat));
  // (and what an earlier remover left in the trash)
  Discard(root, {sites + ".new", cat + ".new", sites + ".old", cat + ".old"});
  return rolledBack ? "An interrupted update of the site catalogue was undone; the catalogue is "
                      "as it was before it."
                    : "";
}

CatalogueSwitch::CatalogueSwitch(std::string root, std::string sites, std::string cat)
    : root_(std::move(root)), sites_(std::move(sites)), cat_(std::move(cat)) {
  RecoverCatalogueSwitch(root_, sites_, cat_);
  for (const auto& name : {sites_, cat_}) {
    struct stat st {};
    mode_t mode = ::stat((root_ + name).c_str(), &st) == 0 ? st.st_mode & 07777 : 0777;
    const std::string fresh = NewFolder(root_, name);
    if (::mkdir(fresh.c_str(), 0700) != 0 || ::chmod(fresh.c_str(), mode) != 0) {
      int err = errno;
      RemoveTree(NewFolder(root_, sites_));
      RemoveTree(NewFolder(root_, cat_));
      Fail("Unable to write to", fresh, err);
    }
  }
}

CatalogueSwitch::~CatalogueSwitch() {
  if (switched_) return;
  try {
    Discard(root_, {sites_ + ".new", cat_ + ".new"});
  } catch (const VendrixError&) {
    // The next start removes what is left; the failure that brought us here is reported.
  }
}

std::string CatalogueSwitch::NewPath(bool toCat) const {
  return NewFolder(root_, toCat ? cat_ : sites_);
}

void CatalogueSwitch::Adopt(bool toCat, const std::string& name) {
  (toCat ? addedCat_ : addedSites_).insert(name);
}

void CatalogueSwitch::CarryOver(const std::string& emptyFolder) {
  for (const auto& folder : {sites_, cat_}) {
    const auto& added = folder == sites_ ? addedSites_ : addedCat_;
    const std::string from = root_ + folder;
    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(from.c_str()), ::closedir);
    if (!d) {
      if (errno == ENOENT) continue;
      Fail("Unable to read", from, errno);
    }
    while (dirent* e = ::readdir(d.get())) {
      std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      if (added.count(name) != 0) continue;  // replaced by the update
      const std::string to = NewFolder(root_, folder) + "/" + name;
      if (folder == sites_ && name == emptyFolder && IsFolder(from + "/" + name)) {
        if (::mkdir(to.c_str(), 0777) != 0) Fail("Unable to write to", to, errno);
        continue;
      }
      CarryEntry(from + "/" + name, to);
    }
  }
}

void CatalogueSwitch::Switch() {
  // Everything of the new catalogue reaches the disk before the journal says it is whole.
  SyncFolder(root_, true);
  WriteFileAtomic(root_ + kJournal, sites_ + "\r\n" + cat_ + "\r\n");
  // Once the journal is there (its write returned), the new catalogue wins, now or at
  // the next start: no failure after this point may undo the new folders, or the
  // journal would finish a switch to a catalogue that is gone.
  switched_ = true;
  try {
    SyncFolder(root_, false);
  } catch (const VendrixError&) {
    // Not flushed: the renames go ahead all the same (the journal is there for them).
  }
  try {
    FinishSwitch(root_, sites_, cat_);
  } catch (const VendrixError& e) {
    throw SwitchPending(std::string(e.what()) +
                        "; the new site catalogue is put in place at the next start.");
  }
  DropOldFolders(root_, sites_, cat_);
}

}  // namespace vendrix
