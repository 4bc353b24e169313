#include "run/post_history.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

#include "base/cp1252.h"
#include "base/error.h"
#include "base/file_io.h"

namespace vendrix {
namespace {

constexpr char kDelimiter = '\xB1';
constexpr std::string_view kStepMark = "step";
constexpr std::size_t kStepFields = 7;

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  for (;;) {
    const auto at = line.find(kDelimiter, start);
    out.push_back(line.substr(start, at == std::string_view::npos ? at : at - start));
    if (at == std::string_view::npos) return out;
    start = at + 1;
  }
}

bool NeedsEscape(char c) {
  return c == '%' || c == kDelimiter || c == '\r' || c == '\n' || c == '\0';
}

std::string Escape(std::string_view s) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : s) {
    if (NeedsEscape(c)) {
      const auto b = static_cast<unsigned char>(c);
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// nullopt for a field that was not written by Escape (a damaged record).
std::optional<std::string> Unescape(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out += s[i];
      continue;
    }
    if (i + 2 >= s.size()) return std::nullopt;
    const int hi = HexDigit(s[i + 1]), lo = HexDigit(s[i + 2]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return out;
}

std::optional<StepState> StateOf(std::string_view word) {
  for (StepState s :
       {StepState::Begun, StepState::Delivered, StepState::NotDelivered, StepState::Uncertain}) {
    if (word == StepStateWord(s)) return s;
  }
  return std::nullopt;
}

// A step record, or nullopt when the line is not a whole one.
std::optional<StepRecord> ParseStep(const std::vector<std::string_view>& f) {
  if (f.size() != kStepFields || f[0] != kStepMark) return std::nullopt;
  auto state = StateOf(f[6]);
  if (!state) return std::nullopt;
  StepRecord r;
  std::string* out[] = {&r.site, &r.version, &r.when, &r.kind, &r.step};
  for (std::size_t k = 0; k < 5; ++k) {
    auto v = Unescape(f[k + 1]);
    if (!v) return std::nullopt;
    *out[k] = std::move(*v);
  }
  if (r.site.empty() || r.step.empty()) return std::nullopt;
  r.state = *state;
  return r;
}

bool ListsStep(std::string_view methods, std::string_view step) {
  std::size_t start = 0;
  for (;;) {
    const auto comma = methods.find(',', start);
    const auto word =
        methods.substr(start, comma == std::string_view::npos ? comma : comma - start);
    if (word == step) return true;
    if (comma == std::string_view::npos) return false;
    start = comma + 1;
  }
}

}  // namespace

const char* StepStateWord(StepState state) {
  switch (state) {
    case StepState::None:
      return "";
    case StepState::Begun:
      return "begun";
    case StepState::Delivered:
      return "delivered";
    case StepState::NotDelivered:
      return "not delivered";
    case StepState::Uncertain:
      return "uncertain";
  }
  return "";
}

PostHistory PostHistory::Load(const std::string& path, std::string* problem) {
  PostHistory history;
  std::optional<std::string> text;
  try {
    text = ReadWholeFile(path);
  } catch (const std::exception& e) {
    if (problem) *problem = e.what();
    return history;
  }
  if (!text) return history;
  if (text->find('\0') != std::string::npos) {
    // Never written so: the file was damaged (a disk or file system fault). What it
    // says cannot be trusted either way.
    if (problem) {
      *problem = "the file " + Utf8ToCp1252(path) + " is damaged (it holds NUL bytes)";
    }
    return history;
  }
  std::size_t start = 0;
  while (start < text->size()) {
    auto end = text->find('\n', start);
    const bool whole = end != std::string::npos;
    if (!whole) end = text->size();
    std::string_view line(text->data() + start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    const auto f = Fields(line);
    if (f[0] == kStepMark) {
      // A record cut short is no record (the step it began never wrote its request:
      // "begun" reaches the disk first).
      if (auto record = ParseStep(f)) history.AddStep(std::move(*record));
      continue;
    }
    if (!whole) continue;  // a post cut short
    // Lines of other shapes are left alone: the file is only appended to.
    if (f.size() != 5 || f[0].empty()) continue;
    history.Add(HistoryEntry{std::string(f[0]), std::string(f[1]), std::string(f[2]),
                             std::string(f[3]), std::string(f[4])});
  }
  return history;
}

void PostHistory::Add(HistoryEntry entry) {
  order_.push_back({true, entries_.size()});
  entries_.push_back(std::move(entry));
}

void PostHistory::AddStep(StepRecord record) {
  order_.push_back({false, steps_.size()});
  steps_.push_back(std::move(record));
}

const HistoryEntry* PostHistory::LastFor(std::string_view site) const {
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    if (it->site == site) return &*it;
  }
  return nullptr;
}

bool PostHistory::AlreadySent(std::string_view site, std::string_view version) const {
  const HistoryEntry* last = LastFor(site);
  return last && !version.empty() && last->version == version;
}

StepStanding PostHistory::StepFor(std::string_view site, std::string_view version,
                                  std::string_view step) const {
  for (auto it = order_.rbegin(); it != order_.rend(); ++it) {
    if (it->post) {
      const HistoryEntry& e = entries_[it->index];
      if (e.site == site && e.version == version && ListsStep(e.methods, step)) {
        return {StepState::Delivered, e.when};
      }
      continue;
    }
    const StepRecord& r = steps_[it->index];
    if (r.site != site || r.version != version || r.step != step) continue;
    return {r.state == StepState::Begun ? StepState::Uncertain : r.state, r.when};
  }
  return {};
}

std::vector<std::string> PostHistory::FtpFilesDelivered(std::string_view site,
                                                        std::string_view version) const {
  std::vector<std::string> files;
  for (const StepRecord& r : steps_) {
    if (r.site != site || r.version != version || r.step.rfind("FTP ", 0) != 0) continue;
    const std::string remote = r.step.substr(4);
    std::erase(files, remote);
    if (r.state == StepState::Delivered) files.push_back(remote);
  }
  return files;
}

std::string PostHistory::PostLine(const HistoryEntry& e) {
  std::string line = e.site;
  for (const std::string* f : {&e.version, &e.when, &e.kind, &e.methods}) {
    line += kDelimiter;
    line += *f;
  }
  const auto bad = [](const std::string& s) {
    return s.find_first_of(std::string("\r\n\0", 3) + kDelimiter) != std::string::npos;
  };
  if (bad(e.site) || bad(e.version) || bad(e.when) || bad(e.kind) || bad(e.methods)) return {};
  return line + "\r\n";
}

std::string PostHistory::StepLine(const StepRecord& r) {
  std::string line(kStepMark);
  for (const std::string* f : {&r.site, &r.version, &r.when, &r.kind, &r.step}) {
    line += kDelimiter;
    line += Escape(*f);
  }
  line += kDelimiter;
  line += StepStateWord(r.state);
  return line + "\r\n";
}

HistoryWriter::HistoryWriter(const std::string& path) : path_(path) {
  const bool existed = FileExists(path);
  fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd_ < 0) throw VendrixError(UnableToWrite(path));
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw VendrixError(UnableToWrite(path));
  }
  if (st.st_size > 0) {
    // A kill may have cut the last line short: the next record starts on a line of its own.
    char last = 0;
    const int rd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (rd >= 0) {
      if (::pread(rd, &last, 1, st.st_size - 1) != 1) last = 0;
      ::close(rd);
    }
    needBreak_ = last != '\n';
  }
  if (!existed) {
    // The new file's name reaches the disk too.
    const auto slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
      (void)::fsync(dfd);
      ::close(dfd);
    }
  }
}

HistoryWriter::~HistoryWriter() {
  if (fd_ < 0) return;
  if (written_ > durable_ && !failure_) (void)::fdatasync(fd_);
  ::close(fd_);
}

void HistoryWriter::Append(std::string lines, bool durable) {
  std::unique_lock lock(mutex_);
  if (failure_) throw VendrixError(*failure_);
  pending_ += lines;
  const std::uint64_t mine = ++queued_;
  if (durable) wanted_ = mine;
  while ((durable ? durable_ : written_) < mine) {
    if (failure_) throw VendrixError(*failure_);
    if (flushing_) {
      flushed_.wait(lock);
      continue;
    }
    // This thread writes what every waiting thread queued, in one write and, when one
    // of them needs it, one flush.
    flushing_ = true;
    std::string batch;
    batch.swap(pending_);
    if (needBreak_) {
      batch.insert(0, "\r\n");
      needBreak_ = false;
    }
    const std::uint64_t upto = queued_;
    const bool flush = wanted_ > durable_;
    lock.unlock();
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < batch.size()) {
      const ssize_t n = ::write(fd_, batch.data() + done, batch.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0)
        ok = false;
      else
        done += static_cast<std::size_t>(n);
    }
    if (ok && flush) {
      while (::fdatasync(fd_) != 0) {
        if (errno != EINTR) {
          ok = false;
          break;
        }
      }
    }
    const std::string why = ok ? std::string() : std::strerror(errno);
    lock.lock();
    flushing_ = false;
    if (!ok) {
      // What reached the file may end inside a line; nothing more is appended.
      failure_ = UnableToWrite(path_) + " (" + why + ")";
      flushed_.notify_all();
      throw VendrixError(*failure_);
    }
    written_ = upto;
    if (flush) durable_ = upto;
    flushed_.notify_all();
  }
}

std::string HistoryTime(int year, int month, int day, int hour, int minute, int second) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute,
                second);
  return buf;
}

}  // namespace vendrix
