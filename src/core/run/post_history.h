#pragma once
// PostHistory: what each site already got for one application, so that a run started
// again (after a kill, a cancel or a failure) sends only what is left. The file
// "<app>.hst" in the data folder holds one line per successful post, oldest first:
//   site 0xB1 version 0xB1 "YYYY-MM-DD HH:MM:SS" 0xB1 New|Update 0xB1 FTP,HTTP,EMAIL
// (Windows-1252, CR LF, replaced whole on every save).
//
// Failures: Load never throws: a file that cannot be read gives an empty history and
// the reason (the run says so and starts). Save throws VendrixError when the file
// cannot be written. Not thread-safe: one thread (the run's saver) owns a history.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

struct HistoryEntry {
  std::string site, version, when, kind, methods;
};

class PostHistory {
 public:
  // The history at path; a missing file is an empty history. When the file cannot be
  // read, problem (if given) receives the reason and the history is empty.
  static PostHistory Load(const std::string& path, std::string* problem = nullptr);

  // The latest entry of a site, or nullptr.
  const HistoryEntry* LastFor(std::string_view site) const;
  // Whether the site's latest successful post carried this version.
  bool AlreadySent(std::string_view site, std::string_view version) const;
  void Add(HistoryEntry entry) { entries_.push_back(std::move(entry)); }
  const std::vector<HistoryEntry>& Entries() const { return entries_; }
  // Lines that could not be read are kept as they were, so nothing is lost on save.
  void Save(const std::string& path) const;

 private:
  std::vector<HistoryEntry> entries_;
  std::vector<std::string> kept_;  // unreadable lines, written back first
};

// "2026-12-07 15:04:05" for the broken-down local time fields.
std::string HistoryTime(int year, int month, int day, int hour, int minute, int second);

}  // namespace vendrix
