#pragma once
// Tgeteng: the "Update Data Files" window without its widgets. It downloads the
// catalogue archive "vxsites.zip" into the updates folder, unpacks it there, checks
// every file, and only then replaces the catalogue's files (all of them or none; the
// user's own sites are left alone). Messages go through UserPrompt, progress through
// UpdateObserver.
//
// StartUpdate, Unzip and Install block the calling thread (the GUI calls them on a
// worker thread, with a prompt and observer that forward to its window); Cancel may
// be called from any thread and ends the download or the unpacking at once.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "base/user_prompt.h"
#include "update/update_observer.h"

namespace vendrix {

class THttpClient;
class TZipArchiver;

struct UpdateFolders {
  std::string updatesDir, sitesDir, catDir;  // each ending in "/"
};

struct UpdateSource {
  std::string url;          // the program setting UpdateURL
  std::string proxyServer;  // PROXY; empty for none
  std::uint16_t proxyPort = 80;
  std::string caFile;  // extra trusted certificates (PEM), besides the system's
};

inline constexpr std::int64_t kNoLength = 2147483647;  // expected length before Content-Length

enum class UpdateOutcome {
  Completed,  // catalogue replaced; the window closes and the program must restart
  NoArchive,  // no archive in the updates folder: nothing happened, the window stays
  Failed,     // the download or the installation failed (shown); nothing was replaced
};

class Tgeteng {
 public:
  Tgeteng(UpdateFolders folders, UpdateSource source, UserPrompt& prompt, UpdateObserver& observer);
  ~Tgeteng();
  Tgeteng(const Tgeteng&) = delete;
  Tgeteng& operator=(const Tgeteng&) = delete;

  // Opening the window: the flag cleared, the updates folder emptied, tDiskfile set.
  void Open();
  // "Start Update": the download, then Unzip.
  UpdateOutcome StartUpdate();
  // The unpacking and copying of the archive in the updates folder.
  UpdateOutcome Unzip();
  // Installs an archive already on disk through the same checks as a download.
  UpdateOutcome Install(const std::string& zipPath);
  void Cancel();

  bool UpdateComplete() const { return complete_; }
  const std::string& DiskFile() const { return tDiskfile_; }
  // The archive's files that were left alone because they are the user's.
  const std::vector<std::string>& KeptFiles() const { return kept_; }

  // Bounds of one update; tests shorten them.
  std::chrono::milliseconds downloadLimit = std::chrono::minutes(10);
  int waitSeconds = 60;  // longest silence of the server (the whole download: downloadLimit)
  std::int64_t maxArchiveBytes = 64ll << 20;      // the download
  std::uint64_t maxUnpackedBytes = 256ull << 20;  // everything unpacked
  std::uint64_t maxEntries = 100000;              // files in the archive

 private:
  void OnHeader(const std::string& field, const std::string& value);
  void OnTransfer(long long bytes);
  void ZipProgress(int type, std::uint64_t size);
  void ZipMessage(int code, const std::string& message);
  void SetBar(long long minimum, long long maximum, long long position);
  UpdateOutcome Refuse(const std::string& why);

  UpdateFolders folders_;
  UpdateSource source_;
  UserPrompt& prompt_;
  UpdateObserver& observer_;
  std::string tDiskfile_;
  std::int64_t expected_ = kNoLength;
  bool sawLength_ = false;
  long long received_ = 0;
  bool tooLarge_ = false;
  bool complete_ = false;
  bool unpackError_ = false;
  std::string firstZipMessage_;
  std::vector<std::string> kept_;
  long long barMin_ = 0, barMax_ = 100, barPos_ = 0;

  std::mutex activeMutex_;  // guards the two pointers below against Cancel
  THttpClient* activeHttp_ = nullptr;
  TZipArchiver* activeZip_ = nullptr;
  std::atomic<bool> cancelled_{false};
};

// After the window closes: "You must now restart Vendrix!" when the update completed.
// True when the main window must then close without its save questions.
bool AfterUpdateWindow(bool updateComplete, UserPrompt& prompt);

}  // namespace vendrix
