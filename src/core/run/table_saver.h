#pragma once
// Saves the site table while a run goes on, at most once a second: when a site's
// mark changed and a save is Due, the run hands over the table's new text, and a
// thread of its own replaces the file atomically (written, flushed to disk, renamed)
// without the run waiting for the disk. Marks made between two saves are on the disk
// as the history's step records, which the next run reads first; the run saves the
// whole table when it ends. Texts handed over faster than the disk takes them are
// coalesced: the newest is written. Due, Post and Flush are called by the run's
// thread.
#include <chrono>
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

  // Whether a text handed over now is in time: none was in the last second.
  bool Due() const;
  // When the next text is in time.
  std::chrono::steady_clock::time_point DueAt() const;
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
  std::chrono::steady_clock::time_point posted_{};  // the last Post (the run's thread)
  std::thread thread_;
};

}  // namespace vendrix
