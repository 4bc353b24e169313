#include "update/catalogue_trash.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "update/catalogue_switch.h"

namespace vendrix {
namespace {

// Removes the named entries of the current folder, then the folder itself when it is
// empty ("$0" is its name in its parent).
constexpr const char* kRemover = "rm -rf -- \"$@\"; cd .. && rmdir -- \"$0\" 2>/dev/null; exit 0";

std::string TrashPath(const std::string& root) {
  return root + kCatalogueTrash;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// Starts /bin/sh with argv in the folder `dir` (an open handle that carries the
// lock), detached from this process: it is no child of ours to wait for, and it
// keeps the lock until it ends.
void StartDetached(int dir, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null < 0) return;
  // Only async-signal-safe calls between fork and exec.
  const pid_t child = ::fork();
  if (child == 0) {
    ::setsid();
    if (::fork() != 0) ::_exit(0);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    if (::fchdir(dir) != 0 || ::fcntl(dir, F_SETFD, 0) != 0) ::_exit(1);
    ::setpriority(PRIO_PROCESS, 0, 10);
    ::execv("/bin/sh", argv.data());
    ::_exit(127);
  }
  ::close(null);
  if (child > 0) {
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
}

}  // namespace

void TrashFolder(const std::string& root, const std::string& name) {
  const std::string folder = root + name;
  if (!Exists(folder)) return;
  const std::string trash = TrashPath(root);
  // A remover may take an empty trash folder away between our mkdir and rename.
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (::mkdir(trash.c_str(), 0700) != 0 && errno != EEXIST) break;
    std::string place =
        trash + "/" + (name.empty() || name[0] != '.' ? name : name.substr(1)) + ".XXXXXX";
    if (!::mkdtemp(place.data())) {
      if (errno == ENOENT) continue;
      break;
    }
    if (::rename(folder.c_str(), (place + "/" + "folder").c_str()) == 0) return;
    ::rmdir(place.c_str());
    if (errno != ENOENT) break;
  }
  RemoveTree(folder);
}

void EmptyTrash(const std::string& root) {
  const std::string trash = TrashPath(root);
  const int dir = ::open(trash.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dir < 0) return;
  if (::flock(dir, LOCK_EX | LOCK_NB) != 0) {  // a remover is at work
    ::close(dir);
    return;
  }
  std::vector<std::string> args = {"/bin/sh", "-c", kRemover, kCatalogueTrash};
  if (int listing = ::dup(dir); listing >= 0) {
    std::unique_ptr<DIR, int (*)(DIR*)> d(::fdopendir(listing), ::closedir);
    if (!d) ::close(listing);
    while (dirent* e = d ? ::readdir(d.get()) : nullptr) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") args.push_back(n);
    }
  }
  if (args.size() == 4) {
    ::rmdir(trash.c_str());
  } else {
    StartDetached(dir, args);
  }
  ::close(dir);
}

bool WaitForEmptyTrash(const std::string& root, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (int i = 0; Exists(TrashPath(root)); ++i) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    // What came into the trash while a remover was at work waits for the next one.
    if (i % 50 == 0) EmptyTrash(root);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace vendrix
