#pragma once
// PostHistory: what each site already got for one application, step by step, so that
// a run started again (after a kill, a cancel, a failure or an unclear answer) never
// sends a step twice unless the person asks. The file "<app>.hst" in the data folder
// (Windows-1252, CR LF) is only ever appended to. It holds two kinds of lines:
//
//   a post, one per site that got every step of a version (older programs read these):
//     site 0xB1 version 0xB1 "YYYY-MM-DD HH:MM:SS" 0xB1 New|Update 0xB1 FTP,HTTP,EMAIL
//   a step record, written ahead of and after each step that may reach a site:
//     "step" 0xB1 site 0xB1 version 0xB1 when 0xB1 kind 0xB1 FTP|HTTP|EMAIL 0xB1 state
//     state: "begun" (flushed to disk before the step writes its request), then
//     "delivered", "not delivered" (nothing reached the site) or "uncertain".
//
// Fields of a step record are escaped ("%", 0xB1, CR, LF and NUL as "%XX"), so every
// byte of a site name or a version survives. A post line is written only when its
// fields need no escape (older programs read them unescaped). A step whose latest
// record is "begun" is uncertain: the program ended while the step was in flight. A
// record cut short by a kill (the last line without its line break, or a remnant
// followed by later records) is not a record and is ignored; older programs keep such
// lines as they are.
//
// Failures: Load never throws; a file that cannot be read, or that holds NUL bytes
// (a damaged file, never written so), gives an empty history and the reason, and a
// run that gets a reason sends nothing. HistoryWriter throws VendrixError when the
// file cannot be opened or written. PostHistory is plain data for one thread;
// HistoryWriter::Append may be called from any thread.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

struct HistoryEntry {
  std::string site, version, when, kind, methods;
};

enum class StepState { None, Begun, Delivered, NotDelivered, Uncertain };
// "begun", "delivered", "not delivered", "uncertain" ("" for None).
const char* StepStateWord(StepState state);

// The step name under which one file of an FTP upload is recorded as delivered: the
// FTP step sent again after a later file failed does not send it twice.
inline std::string FtpFileStep(const std::string& remote) {
  return "FTP " + remote;
}

struct StepRecord {
  std::string site, version, when, kind;
  std::string step;  // "FTP", "HTTP", "EMAIL"
  StepState state = StepState::None;
};

// Where a step of a site stands for a version: its latest record (a step only begun
// reads as Uncertain), and when that record was written.
struct StepStanding {
  StepState state = StepState::None;
  std::string when;
};

class PostHistory {
 public:
  // The history at path; a missing file is an empty history. When the file cannot be
  // read or is damaged, problem (if given) receives the reason and the history is empty.
  static PostHistory Load(const std::string& path, std::string* problem = nullptr);

  // The latest post of a site, or nullptr.
  const HistoryEntry* LastFor(std::string_view site) const;
  // Whether the site's latest post carried this version.
  bool AlreadySent(std::string_view site, std::string_view version) const;
  // The step's standing for the version: its latest step record, or a later post of
  // the version that lists the step (Delivered).
  StepStanding StepFor(std::string_view site, std::string_view version,
                       std::string_view step) const;
  // The remote files whose upload to the site is recorded as delivered for the version
  // (their own records, FtpFileStep), in the order they were sent.
  std::vector<std::string> FtpFilesDelivered(std::string_view site, std::string_view version) const;

  void Add(HistoryEntry entry);
  void AddStep(StepRecord record);
  const std::vector<HistoryEntry>& Entries() const { return entries_; }
  const std::vector<StepRecord>& Steps() const { return steps_; }

  // The line (CR LF ended) that records a post; empty when a field holds 0xB1, CR or LF,
  // which a post line cannot carry.
  static std::string PostLine(const HistoryEntry& entry);
  // The line (CR LF ended) of a step record.
  static std::string StepLine(const StepRecord& record);

 private:
  // Posts and step records in file order: an index into entries_ (post) or steps_.
  struct Item {
    bool post;
    std::size_t index;
  };
  std::vector<HistoryEntry> entries_;
  std::vector<StepRecord> steps_;
  std::vector<Item> order_;
};

// Appends lines to a history file. A durable append returns once its lines (and every
// line appended before them) are on the disk; any other returns once they are written
// to the file, which a kill of the program cannot undo, and reaches the disk with the
// next durable append or when the writer closes. Lines that several threads append at
// once share one write and one flush. A file whose last line was cut short by a kill
// gets a line break first, so no record joins it.
class HistoryWriter {
 public:
  // Opens (or creates) the file for appending; throws VendrixError when it cannot.
  explicit HistoryWriter(const std::string& path);
  ~HistoryWriter();  // flushes what is written but not yet on the disk
  HistoryWriter(const HistoryWriter&) = delete;
  HistoryWriter& operator=(const HistoryWriter&) = delete;

  // Writes the lines (each CR LF ended) and, when durable, flushes them to the disk
  // (fdatasync); throws VendrixError when that fails, and every later call fails the
  // same way.
  void Append(std::string lines, bool durable = true);

 private:
  std::string path_;
  int fd_ = -1;
  bool needBreak_ = false;  // the file ends inside a line
  std::mutex mutex_;
  std::condition_variable flushed_;
  std::string pending_;
  std::uint64_t queued_ = 0, written_ = 0, durable_ = 0;
  std::uint64_t wanted_ = 0;  // the last durable append queued
  bool flushing_ = false;
  std::optional<std::string> failure_;
};

// "2026-12-07 15:04:05" for the broken-down local time fields.
std::string HistoryTime(int year, int month, int day, int hour, int minute, int second);

}  // namespace vendrix
