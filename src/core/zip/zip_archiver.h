#pragma once
// TZipArchiver: makes zip archives (PKZIP, deflate level 9) and unpacks them. An
// archive may come from the network, so extraction never writes outside ExtrBaseDir:
// unsafe entry names and links are refused, and the count of entries and the bytes
// actually decompressed are capped.
//
// Failures: Add reports its problems through OnMessage and returns the count added.
// Reading an archive raises EZipError with the texts "Error reading Zip File" (no
// readable zip archive), "Error 2 reading Zip file" to "Error 4 reading Zip file" (an
// entry's header, its data, its decompression) and "Error 5 writing NAME: reason" (writing
// it out: a full disk says so, not "reading"); refused and
// skipped entries are reported through OnMessage. Not thread-safe: one thread uses
// an archiver; Cancel may be set from any thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"

namespace vendrix {

class EZipError : public VendrixError {
 public:
  using VendrixError::VendrixError;
};

struct ZipEntry {
  std::string name;  // as stored in the archive
  std::uint64_t size = 0;
};

class TZipArchiver {
 public:
  // OnProgress types.
  static constexpr int kFileStarts = 0, kStep = 1, kBatchEnds = 2;

  int AddCompLevel = 9;
  bool AddDirNames = false;  // keep folder names of added files
  std::string ExtrBaseDir;
  bool ExtrDirNames = false;  // keep the entries' folders when extracting
  bool ExtrOverWrite = false;
  // Add: the files to add (UTF-8 paths). Extract: the entries to extract (by their
  // name in the archive, or its last part); empty extracts all. Both clear it.
  std::vector<std::string> FSpecArgs;
  // Add: the entry names for FSpecArgs, in the same order; empty (or shorter) uses the
  // file's own name. Add clears it.
  std::vector<std::string> FSpecEntryNames;
  // Add: archives whose entries are copied into ZipFilename as they are stored, their
  // compressed data not compressed again (before FSpecArgs; same entry name replaces).
  // Add clears it.
  std::vector<std::string> CopyFromArchives;
  // The archive (UTF-8 path). Set it with SetZipFilename to read its entry list.
  std::string ZipFilename;
  // The entry list of the archive, read by SetZipFilename and after an Add.
  std::vector<ZipEntry> ZipContents;

  // Extract flushes each file to disk before renaming it into place; a caller that
  // flushes the whole folder once afterwards turns this off.
  bool SyncEachFile = true;
  // Extract writes each file through a temporary file that is renamed into place when
  // whole. A caller that extracts into a staging folder of its own (emptied before,
  // never read while half full) turns this off: each file is then made under its own
  // name, removed again when it cannot be written whole (a name already there is still
  // replaced through a temporary file).
  bool StageEachFile = true;
  // Where each entry goes, for a caller that spreads one archive over folders of its
  // own: given the entry's name (already checked as safe, links refused), an open
  // folder and the file's plain name in it, or nothing to leave the entry out. When
  // set, ExtrBaseDir and ExtrDirNames are not used. A callback that throws ends the
  // extraction with its exception. With sameDir, a plain file of that name there that
  // holds exactly the entry's bytes is hard-linked in instead of written (it counts
  // as written; its permissions are its own).
  // mode: the new file's permissions when they are not ExtrFileMode less the umask.
  struct Target {
    int dir = -1;
    std::string name;
    int sameDir = -1;
    int mode = -1;
  };
  std::function<std::optional<Target>(const std::string& entry)> ExtrRoute;
  // The permissions each extracted file is made with (less the umask).
  unsigned ExtrFileMode = 0644;
  std::uint64_t MaxEntries = 10000;
  std::uint64_t MaxTotalBytes = 1ull << 30;  // bytes written by one extraction

  std::function<void(int type, const std::string& name, std::uint64_t size)> OnProgress;
  std::function<void(int code, const std::string& message)> OnMessage;
  std::function<void()> OnDirUpdate;  // ZipContents was read again
  std::atomic<bool> Cancel{false};

  // Sets ZipFilename; for an existing file, reads its entry list into ZipContents and
  // fires OnDirUpdate. Throws EZipError when the file is no readable archive.
  void SetZipFilename(std::string path);
  // Adds CopyFromArchives' entries and FSpecArgs to ZipFilename (created or extended);
  // each file is deflated on every core (ParallelDeflate) while the archive is written.
  // returns the count of files added. Each file is reported (OnProgress: a file starts, steps while
  // the archive is written, the end of the batch); problems through OnMessage. After one or more
  // files the entry list is read again. Clears FSpecArgs.
  int Add();
  // Extracts the entries named in FSpecArgs (all when empty) into ExtrBaseDir (or
  // where ExtrRoute sends them), each
  // through a new temporary file that replaces the target only when whole (see
  // StageEachFile); returns
  // the count of files written. Throws EZipError for the read errors above; refused
  // entries and existing files kept (without ExtrOverWrite) go to OnMessage. Clears
  // FSpecArgs.
  int Extract();
  // The entry names of ZipFilename (empty when it cannot be read).
  std::vector<std::string> EntryNames() const;

 private:
  void Message(int code, const std::string& text);
  void ReadContents();
  void Progress(int type, const std::string& name, std::uint64_t size);
};

// The checked relative path of an entry (components split on "/" and "\"), or empty
// when the name is unsafe; why says what was wrong.
std::vector<std::string> SafeEntryPath(const std::string& name, std::string& why);

}  // namespace vendrix
