#pragma once
// Whole-file reads and atomic whole-file writes. Paths are UTF-8; the texts of the
// errors thrown (VendrixError) are Windows-1252 like every message, with the path
// converted. Any thread; two writers of one file must not overlap.
#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

bool FileExists(const std::string& path);
bool DirExists(const std::string& path);
// Creates one directory level; false when it could not be made (an existing one is fine).
bool MakeDir(const std::string& path);
// Removes a file; a missing file is not an error. Throws VendrixError on other failures.
void RemoveFile(const std::string& path);

// The file's bytes, or nullopt when it does not exist. Throws VendrixError when it
// exists but cannot be read, or is no plain file (a FIFO in its place is never waited on).
std::optional<std::string> ReadWholeFile(const std::string& path);

// How WriteFileAtomic writes.
struct WriteOptions {
  // Flushes the data to disk before the rename, so that the new file survives a power
  // cut. A page written again and again during a run may skip it.
  bool flush = true;
  // The new file's permission bits. Unset: those of the file replaced, or 0666 & ~umask
  // for a new file. The temporary file has these bits from the start, so a file meant
  // for its owner only is never readable by others, not even for a moment.
  std::optional<unsigned> mode;
};

// Replaces the file atomically: a hidden temporary file in the same folder (".NAME.XXXXXX")
// is written, flushed to disk and renamed over the target, so a failure leaves the old
// file whole and no half-written file under the target's name. The only routine that
// writes a file of the data tree. Throws VendrixError("Unable to write to " + path + ": " +
// the system's reason) on any failure, the temporary file removed. Inside a FileBatch
// (file_batch.h) the write is left to the batch's Commit, and RemoveFile, ReadWholeFile
// and FileExists follow the batch.
void WriteFileAtomic(const std::string& path, std::string_view data,
                     const WriteOptions& options = {});

// Opens a file to read without blocking (relative paths inside folder), and makes sure
// it is a plain file: a descriptor, or -1 when the file does not exist. Throws
// VendrixError ("Unable to read ...: reason") otherwise.
int OpenForReading(const std::string& path, int folder = -100 /* AT_FDCWD */);

// Writes data into a new hidden file beside path (".NAME.XXXXXX"), flushed as options
// say, with the permissions WriteFileAtomic gives; returns its path. Throws VendrixError
// ("Unable to write to PATH: reason"), nothing left behind.
std::string StageFile(const std::string& path, std::string_view data, const WriteOptions& options);

// "Unable to write to %s" and "Unable to read %s" (the UTF-8 path converted to
// Windows-1252 here: callers pass it as it is on disk). Callers add ": " and the reason.
std::string UnableToWrite(const std::string& path);
std::string UnableToRead(const std::string& path);

}  // namespace vendrix
