#pragma once
// The names a folder holds, for a reader that asks for many files of it that mostly do
// not exist (a site's category and script files): a name the listing did not see is
// not opened at all. The first few questions about a folder are answered "may exist"
// (the caller opens the file as usual); a folder asked about more often is listed once,
// so a short run in a large catalogue never pays for listing it. Files that exist are
// always read from disk by the caller: a listing only spares the opens that would fail.
//
// A listing is a scope of the thread that makes it (Current), as long as the object
// lives; it knows nothing of files made after a folder was listed, so it lives only
// while its thread reads and does not write those folders. Inside a FileBatch every
// name may exist (the batch may hold it). One thread.
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <unordered_set>

namespace vendrix {

class FolderListing {
 public:
  // Questions about a folder answered without listing it.
  static constexpr int kUnlistedQuestions = 32;

  FolderListing();
  ~FolderListing();
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;

  // The listing of this thread, or nullptr.
  static FolderListing* Current();
  // False only when path's folder was listed and did not hold its name. Never throws:
  // a folder that cannot be listed answers true.
  bool MayExist(const std::string& path);
  // How many folders were listed (for tests).
  std::size_t Listed() const { return listed_; }

 private:
  struct Folder {
    int questions = 0;
    bool listed = false;
    std::optional<std::unordered_set<std::string>> names;  // unset: could not be listed
  };
  FolderListing* outer_;
  std::map<std::string, Folder, std::less<>> folders_;
  std::size_t listed_ = 0;
};

}  // namespace vendrix
