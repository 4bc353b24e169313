#pragma once
// Folders the catalogue no longer needs (the catalogue an update replaced, or a new
// one that was never switched in) are moved into the hidden folder
// ".catalogue-trash" of the data tree and removed there by a process of their own
// that outlives the program: on a slow disk the removal of some 40,000 files takes
// minutes, and neither the update nor the person waits for it.
//
// One remover at a time: it holds a lock on the trash folder. What it leaves (it was
// killed, or another remover was at work) goes with the next EmptyTrash, which every
// start calls. The remover works inside the trash folder through the handle this
// process opened (never through a path that could since have become a link), follows
// no link (rm -rf) and removes the trash folder when it is empty.
//
// One thread; the caller holds the data tree's lock.
#include <string>

namespace vendrix {

inline constexpr const char* kCatalogueTrash = ".catalogue-trash";

// Moves root + name (root ends with "/"), when it exists, into the trash. Where it
// cannot be moved there it is removed at once; throws VendrixError when that fails too.
void TrashFolder(const std::string& root, const std::string& name);

// Starts a remover for everything in the trash, unless one is at work; an empty trash
// folder is removed at once. Failures are left for the next call: nothing is thrown.
void EmptyTrash(const std::string& root);

// Waits until the trash folder is gone, at most `seconds`; true when it is. For tests
// and benchmarks, which must not see a removal still under way.
bool WaitForEmptyTrash(const std::string& root, double seconds);

}  // namespace vendrix
