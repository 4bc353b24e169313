#pragma once
// The data tree's writer lock: one writer per data tree at a time. A program that is
// about to change the tree (the desktop program while it is open on it, a submission
// run, a command that writes) takes an advisory lock (flock) on the file
// "vendrix.lock" in the tree's folder and keeps it until it ends; the kernel drops
// the lock with its holder, so a killed process never leaves the tree locked.
//
// The holder writes a one-line description of itself into the lock file (the only
// file of the tree that is written in place: replacing it would give a new file that
// another process could lock beside the first). A refused taker reads it to name the
// holder in its message.
//
// Take throws VendrixError: the tree is held by another ("The data tree is in use
// by <holder>. ..."), or the lock file cannot be opened. The descriptor is
// close-on-exec, so programs started by the holder (a browser) never keep the tree
// locked. Any thread; one TreeLock per process and tree.
#include <string>

namespace vendrix {

class TreeLock {
 public:
  // root: the data tree's folder (the one that holds settings.dat). holder (Windows-1252): how the
  // taker is named to a refused one, e.g. "the Vendrix program"; " (process N)" is
  // added.
  static TreeLock Take(const std::string& root, const std::string& holder);

  TreeLock(TreeLock&& other) noexcept;
  TreeLock& operator=(TreeLock&& other) noexcept;
  TreeLock(const TreeLock&) = delete;
  TreeLock& operator=(const TreeLock&) = delete;
  ~TreeLock();

  // The lock file of a data tree (UTF-8).
  static std::string LockFile(const std::string& root);

 private:
  explicit TreeLock(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace vendrix
