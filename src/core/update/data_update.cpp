#include "update/data_update.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_io.h"
#include "base/line_list.h"
#include "net/action_timer.h"
#include "net/http_client.h"
#include "net/net_error.h"
#include "net/url.h"
#include "update/catalogue_install.h"
#include "update/catalogue_switch.h"
#include "zip/zip_archiver.h"

namespace vendrix {
namespace {

constexpr const char* kArchive = "vxsites.zip";
constexpr const char* kNotChanged = " The catalogue was not changed.";

// A Content-Length value, or -1 when it is no whole number.
long long ParseLength(const std::string& text) {
  std::size_t b = text.find_first_not_of(' ');
  std::size_t e = text.find_last_not_of(' ');
  if (b == std::string::npos) return -1;
  std::string digits = text.substr(b, e - b + 1);
  if (digits.empty() || digits.size() > 18 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return -1;
  }
  return std::strtoll(digits.c_str(), nullptr, 10);
}

// Interrupts the download when the server has sent nothing for a while: the wait is
// for silence, so a slow but steady transfer runs on (the whole download has its own
// cap). Moved() is called for every sign of life.
class SilenceWatch {
 public:
  SilenceWatch(int seconds, std::function<void()> interrupt)
      : limit_(std::chrono::seconds(seconds)), interrupt_(std::move(interrupt)) {
    Moved();
    if (seconds > 0) thread_ = std::thread([this] { Run(); });
  }
  ~SilenceWatch() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
  }
  void Moved() { last_ = Clock::now().time_since_epoch().count(); }
  bool Fired() const { return fired_; }

 private:
  using Clock = std::chrono::steady_clock;
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!done_) {
      cv_.wait_for(lock, std::chrono::milliseconds(100));
      if (done_) break;
      if (Clock::now() - Clock::time_point(Clock::duration(last_.load())) >= limit_) {
        fired_ = true;
        interrupt_();
        break;
      }
    }
  }
  const Clock::duration limit_;
  std::function<void()> interrupt_;
  std::atomic<Clock::rep> last_{0};
  std::atomic<bool> fired_{false};
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace

Tgeteng::Tgeteng(UpdateFolders folders, UpdateSource source, UserPrompt& prompt,
                 UpdateObserver& observer)
    : folders_(std::move(folders)),
      source_(std::move(source)),
      prompt_(prompt),
      observer_(observer) {}

Tgeteng::~Tgeteng() = default;

void Tgeteng::Open() {
  complete_ = false;
  cancelled_ = false;
  MakeDir(folders_.updatesDir);
  EmptyFolder(folders_.updatesDir);
  tDiskfile_ = folders_.updatesDir + kArchive;
}

void Tgeteng::SetBar(long long minimum, long long maximum, long long position) {
  barMin_ = minimum;
  barMax_ = std::max(minimum, maximum);
  barPos_ = std::clamp(position, barMin_, barMax_);
  observer_.Bar(barMin_, barMax_, barPos_);
}

void Tgeteng::OnHeader(const std::string& field, const std::string& value) {
  observer_.Trace("Header: " + field + ":" + value, false);
  std::string upper = field;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (upper != "CONTENT-LENGTH") return;
  long long length = ParseLength(value);
  if (length < 0) return;
  expected_ = length;
  sawLength_ = true;
  SetBar(0, expected_, barPos_);
}

void Tgeteng::OnTransfer(long long bytes) {
  received_ = bytes;
  observer_.Trace(std::to_string(bytes) + " bytes written", true);
  if (bytes > maxArchiveBytes && !tooLarge_) {
    tooLarge_ = true;
    std::lock_guard<std::mutex> lock(activeMutex_);
    if (activeHttp_) activeHttp_->SetAction(THttpActions::httpIdle);
    return;
  }
  SetBar(barMin_, barMax_, bytes);
  observer_.Status("Received " + std::to_string(bytes / 1024) + "K of " +
                   std::to_string(expected_ / 1024) + "K");
  long long percent = expected_ > 0 ? bytes * 100 / expected_ : 0;
  observer_.Percent(static_cast<int>(std::clamp(percent, 0LL, 100LL)));
}

UpdateOutcome Tgeteng::StartUpdate() {
  if (tDiskfile_.empty()) Open();
  expected_ = kNoLength;
  sawLength_ = false;
  received_ = 0;
  tooLarge_ = false;
  SetBar(0, 100, 0);
  THttpClient http;
  http.UserAgent = "Mirkel";
  http.ProxyServer = source_.proxyServer;
  http.ProxyPort = source_.proxyPort;
  http.CaFile = source_.caFile;
  http.TimeOut = 0;  // the silence watch and the download cap below bound the wait
  http.SetURL(source_.url);
  http.LocalFile = tDiskfile_;
  std::string writeError;
  auto silence = std::make_unique<SilenceWatch>(waitSeconds, [this] {
    std::lock_guard<std::mutex> lock(activeMutex_);
    if (activeHttp_) activeHttp_->SetAction(THttpActions::httpIdle);
  });
  http.OnConnected = [this, watch = silence.get()](int, const std::string& text) {
    watch->Moved();
    observer_.Trace("Connected: " + text, false);
  };
  http.OnDisconnected = [this](int, const std::string& text) {
    observer_.Trace("Disconnected: " + text, false);
  };
  http.OnHeader = [this, watch = silence.get()](const std::string& f, const std::string& v) {
    watch->Moved();
    OnHeader(f, v);
  };
  http.OnTransfer = [this, watch = silence.get()](long long bytes, std::string_view) {
    watch->Moved();
    OnTransfer(bytes);
  };
  http.OnError = [&writeError](int code, const std::string& text) {
    if (writeError.empty()) writeError = std::to_string(code) + ": " + text;
  };
  observer_.Status("Connecting to Halvane Server");
  std::atomic<bool> timedOut{false};
  std::string failure;
  {
    std::unique_lock<std::mutex> lock(activeMutex_);
    activeHttp_ = &http;
    lock.unlock();
    try {
      if (cancelled_) throw VendrixError("The update was cancelled.");
      HttpTimeout limit(downloadLimit, timedOut,
                        [&http] { http.SetAction(THttpActions::httpIdle); });
      http.SetAction(THttpActions::httpGet);
    } catch (const ENetBase& e) {
      // The host and the reason in words, the code after: "could not resolve host
      // www.example.org (11001)", "www.example.org: Connection refused (10061)".
      const std::string host =
          source_.proxyServer.empty() ? SplitUrl(source_.url).server : source_.proxyServer;
      failure = (e.Description.find(host) == std::string::npos ? host + ": " : "") + e.Description +
                " (" + std::to_string(e.ErrorCode) + ").";
    } catch (const std::exception& e) {
      failure = e.what();
    }
    lock.lock();
    activeHttp_ = nullptr;
  }
  const bool silent = silence->Fired();
  silence.reset();
  if (tooLarge_) {
    failure = "The update archive is larger than " + std::to_string(maxArchiveBytes >> 20) +
              " MB; the download was stopped.";
  } else if (timedOut) {
    failure = "The download took too long and was stopped.";
  } else if (silent) {
    failure = "The update server sent nothing for " + std::to_string(waitSeconds) +
              " seconds; the download was stopped.";
  } else if (cancelled_) {
    failure = "The update was cancelled.";
  } else if (failure.empty() && !writeError.empty()) {
    failure = writeError;
  } else if (failure.empty() && sawLength_ && received_ != expected_) {
    failure = "The download ended early: " + std::to_string(received_) + " of " +
              std::to_string(expected_) + " bytes arrived.";
  }
  if (!failure.empty()) {
    RemoveFile(tDiskfile_);
    observer_.Status("Update failed");
    prompt_.Error(failure + kNotChanged);
    return UpdateOutcome::Failed;
  }
  SetBar(barMin_, barMax_, 0);
  observer_.Status("Unzipping Data Files...");
  return Unzip();
}

UpdateOutcome Tgeteng::Install(const std::string& zipPath) {
  // Read before Open empties the updates folder: the archive may lie in it.
  struct stat st {};
  if (::stat(zipPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    prompt_.Error("File not found: " + Utf8ToCp1252(zipPath));
    return UpdateOutcome::Failed;
  }
  if (st.st_size > maxArchiveBytes) {
    prompt_.Error("The update archive is larger than " + std::to_string(maxArchiveBytes >> 20) +
                  " MB." + kNotChanged);
    return UpdateOutcome::Failed;
  }
  auto data = ReadWholeFile(zipPath);
  if (!data) {
    prompt_.Error("File not found: " + Utf8ToCp1252(zipPath));
    return UpdateOutcome::Failed;
  }
  Open();
  try {
    WriteFileAtomic(tDiskfile_, *data);
  } catch (const VendrixError& e) {
    return Refuse(std::string(e.what()) + "." + kNotChanged);
  }
  observer_.Status("Unzipping Data Files...");
  return Unzip();
}

void Tgeteng::ZipProgress(int type, std::uint64_t size) {
  if (type == TZipArchiver::kFileStarts) {
    SetBar(1, 10, 1);
    long long max = size < 65536 ? 1 : static_cast<long long>(size / 32768);
    SetBar(1, max, barPos_ + (size < 32768 ? 1 : 0));
  } else if (type == TZipArchiver::kStep) {
    if (barPos_ < barMax_) SetBar(barMin_, barMax_, barPos_ + 1);
  } else {
    SetBar(1, 10, 1);
  }
}

void Tgeteng::ZipMessage(int code, const std::string& message) {
  std::string text = Utf8ToCp1252(message);
  if (!unpackError_) firstZipMessage_ = text;
  unpackError_ = true;
  observer_.Status(text);
  observer_.Trace(text, false);
  SetBar(barMin_, barMax_, barPos_ + 1);
  if (code > 0) prompt_.Error("Error Msg from DLL: " + text);
}

UpdateOutcome Tgeteng::Refuse(const std::string& why) {
  try {
    EmptyFolder(folders_.updatesDir);
  } catch (const VendrixError&) {
    // The refusal below is what the person needs to know.
  }
  observer_.Status("Update failed");
  prompt_.Error(why);
  return UpdateOutcome::Failed;
}

UpdateOutcome Tgeteng::Unzip() {
  const std::string archive = folders_.updatesDir + kArchive;
  if (!FileExists(archive)) return UpdateOutcome::NoArchive;
  kept_.clear();
  unpackError_ = false;
  firstZipMessage_.clear();
  TZipArchiver zip;
  zip.ZipFilename = archive;
  zip.MaxTotalBytes = maxUnpackedBytes;
  zip.MaxEntries = maxEntries;
  zip.SyncEachFile = false;   // the switch flushes the whole new catalogue once
  zip.StageEachFile = false;  // the new catalogue is read only once it is whole
  zip.ExtrFileMode = 0666;    // less the umask: a new file's permissions
  zip.ExtrOverWrite = true;   // into empty folders
  const std::vector<std::string> names = zip.EntryNames();
  if (names.empty()) {
    return Refuse("The update archive could not be read (Error reading Zip File)." +
                  std::string(kNotChanged));
  }
  if (std::string why = CheckUpdateEntries(names); !why.empty()) {
    return Refuse(why + kNotChanged);
  }
  Lines userSites;
  if (auto l = LoadLines(folders_.sitesDir + "User_Sites.dat")) userSites = std::move(*l);
  InstallPlan plan = PlanInstall(names, folders_.sitesDir, folders_.catDir, userSites);
  const std::vector<std::string> kept = plan.kept;
  // The files are unpacked straight into the new catalogue, which replaces the old one
  // only when all of them are there and agree; dropped unfinished, it leaves nothing.
  std::optional<CatalogueInstall> install;
  try {
    install.emplace(folders_.updatesDir, folders_.sitesDir, folders_.catDir, std::move(plan));
  } catch (const VendrixError& e) {
    return Refuse(std::string(e.what()) + "." + kNotChanged);
  }
  zip.ExtrRoute = [&install](const std::string& entry) { return install->Route(entry); };
  zip.OnProgress = [this](int type, const std::string&, std::uint64_t size) {
    ZipProgress(type, size);
  };
  zip.OnMessage = [this](int code, const std::string& m) { ZipMessage(code, m); };
  int written = 0;
  std::string unpackFailure;
  {
    std::unique_lock<std::mutex> lock(activeMutex_);
    activeZip_ = &zip;
    if (cancelled_) zip.Cancel = true;
    lock.unlock();
    try {
      written = zip.Extract();
    } catch (const EZipError& e) {  // the archive could not be read
      unpackFailure = "The update archive could not be unpacked (" + std::string(e.what()) + ").";
    } catch (const VendrixError& e) {  // the old catalogue holds a folder where a file goes
      unpackFailure = std::string(e.what()) + ".";
    }
    lock.lock();
    activeZip_ = nullptr;
  }
  if (!unpackFailure.empty()) return Refuse(unpackFailure + kNotChanged);
  if (cancelled_) return Refuse(std::string("The update was cancelled.") + kNotChanged);
  if (unpackError_ || written != static_cast<int>(install->FileCount())) {
    std::string why = "The update archive could not be unpacked without errors";
    if (!firstZipMessage_.empty()) why += " (" + firstZipMessage_ + ")";
    return Refuse(why + "." + kNotChanged);
  }
  if (std::string why = CheckArchiveAgrees(install->ListFile(), names, userSites); !why.empty()) {
    return Refuse(why + kNotChanged);
  }
  observer_.Status("Copy Data Files...");
  kept_ = kept;
  for (const auto& name : kept_) {
    std::string line = "Kept your own file " + Utf8ToCp1252(name);
    observer_.Status(line);
    observer_.Trace(line, false);
  }
  try {
    install->Finish([this](const std::string& s) { observer_.Status(s); });
  } catch (const SwitchPending& e) {
    return Refuse(e.what());
  } catch (const VendrixError& e) {
    return Refuse(std::string(e.what()) + "." + kNotChanged);
  }
  observer_.Status("Cleaning UpDate Directory...");
  EmptyFolder(folders_.updatesDir);
  observer_.Status("Deleting Archive...");
  if (FileExists(archive)) EmptyFolder(folders_.updatesDir);
  observer_.Status("Data Update Complete");
  complete_ = true;
  std::string message = "Data File Update Complete";
  if (!kept_.empty()) {
    message += "\r\nYour own files were left as they were:";
    for (const auto& name : kept_) message += " " + Utf8ToCp1252(name);
  }
  prompt_.Inform(message);
  return UpdateOutcome::Completed;
}

void Tgeteng::Cancel() {
  cancelled_ = true;
  std::lock_guard<std::mutex> lock(activeMutex_);
  if (activeHttp_) activeHttp_->SetAction(THttpActions::httpIdle);
  if (activeZip_) activeZip_->Cancel = true;
}

bool AfterUpdateWindow(bool updateComplete, UserPrompt& prompt) {
  if (!updateComplete) return false;
  prompt.Inform("You must now restart Vendrix!");
  return true;
}

}  // namespace vendrix
