#pragma once
// The data tree's lock: one writer per data tree at a time, readers beside each other.
// A program that is about to change the tree (the desktop program while it is open on
// it, a submission run, a command that writes) takes an advisory lock (flock) on the
// file "vendrix.lock" in the tree's folder exclusively; a command that only reads takes
// it shared. The kernel drops the lock with its holder, so a killed process never
// leaves the tree locked.
//
// A writer writes a one-line record of itself into the lock file (the only file of the
// tree that is written in place: replacing it would give a new file that another
// process could lock beside the first) and empties it when it ends. A refused writer
// reads it to name the holder: "the desktop program (process N): close it first" or
// "a submission run (process N), started at T". A record whose process is gone names
// no one: the tree is then held by readers, and a writer waits for them (a read never
// lasts long), so a read never makes a writer refuse.
//
// Readers never need write access and are never refused: on a tree a writer holds, or
// one whose lock file cannot be opened (a read-only tree), a reader goes on without the
// lock; every file is replaced atomically, so what it reads is each whole.
//
// Take throws VendrixError: the tree is held by another writer ("The data tree is in
// use by <holder>. ..."), or the lock file cannot be opened. The descriptor is
// close-on-exec, so programs started by the holder (a browser) never keep the tree
// locked. Any thread; one TreeLock per process and tree.
#include <functional>
#include <string>

namespace vendrix {

// Who a writer is, for the record a refused writer reads.
enum class TreeHolder {
  Desktop,  // the desktop program: "... (process N): close it first"
  Run,      // a submission run, or a command: "... (process N), started at T"
};

class TreeLock {
 public:
  // The writer's lock. holder (Windows-1252): how the taker is named to a refused one,
  // e.g. "a submission run"; the process and the time are added.
  static TreeLock Take(const std::string& root, const std::string& holder,
                       TreeHolder kind = TreeHolder::Run);
  // A reader's lock (see above: never refused, possibly not held).
  static TreeLock Share(const std::string& root);

  TreeLock(TreeLock&& other) noexcept;
  TreeLock& operator=(TreeLock&& other) noexcept;
  TreeLock(const TreeLock&) = delete;
  TreeLock& operator=(const TreeLock&) = delete;
  ~TreeLock();

  bool Exclusive() const { return exclusive_; }

  // Runs repair with the tree held exclusively: at once in a process that holds it as
  // a writer; a reader (or a process without the lock) takes it for the repair's time
  // and then holds what it held before. False, repair not run, when another process
  // holds the tree (its leftovers are its own business) or the tree is read-only.
  static bool RepairUnder(const std::string& root, const std::function<void()>& repair);

  // Whether the process may write into the tree's folder (false on a read-only tree).
  static bool Writable(const std::string& root);

  // The lock file of a data tree (UTF-8).
  static std::string LockFile(const std::string& root);

 private:
  TreeLock(int fd, bool exclusive) : fd_(fd), exclusive_(exclusive) {}
  void Release();
  int fd_ = -1;
  bool exclusive_ = false;
};

}  // namespace vendrix
