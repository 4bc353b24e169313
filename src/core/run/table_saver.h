#pragma once
// Saves the site table while a run goes on: each accepted site hands over the
// table's new text, and a thread of its own replaces the file atomically (written,
// flushed to disk, renamed), so the marks of the sites sent survive a run that
// crashes or is killed, without the run waiting for the disk. Texts handed over
// faster than the disk takes them are coalesced: the newest is written. Post and
// Flush are called by the run's thread.
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace vendrix {

class TableSaver {
 public:
  TableSaver();
  ~TableSaver();  // writes what is pending
  TableSaver(const TableSaver&) = delete;
  TableSaver& operator=(const TableSaver&) = delete;

  void Post(std::string path, std::string text);
  // Waits until everything handed over is on disk; returns the first error message
  // since the last Flush, if any.
  std::optional<std::string> Flush();

 private:
  void Loop();
  std::mutex mutex_;
  std::condition_variable cv_;
  std::optional<std::pair<std::string, std::string>> pending_;
  bool writing_ = false;
  bool stop_ = false;
  std::optional<std::string> error_;
  std::thread thread_;
};

}  // namespace vendrix
