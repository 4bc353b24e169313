#include "run/post_history.h"

#include <cstdio>
#include <exception>

#include "base/file_io.h"
#include "base/line_list.h"

namespace vendrix {
namespace {

constexpr char kDelimiter = '\xB1';

std::vector<std::string> Fields(std::string_view line) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (;;) {
    const auto at = line.find(kDelimiter, start);
    out.emplace_back(line.substr(start, at == std::string_view::npos ? at : at - start));
    if (at == std::string_view::npos) return out;
    start = at + 1;
  }
}

}  // namespace

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
  for (auto& line : SplitLines(*text)) {
    if (line.empty()) continue;
    auto f = Fields(line);
    if (f.size() != 5 || f[0].empty()) {
      history.kept_.push_back(std::move(line));
      continue;
    }
    history.entries_.push_back({f[0], f[1], f[2], f[3], f[4]});
  }
  return history;
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

void PostHistory::Save(const std::string& path) const {
  Lines lines = kept_;
  for (const auto& e : entries_) {
    std::string line = e.site;
    for (const std::string* f : {&e.version, &e.when, &e.kind, &e.methods}) {
      line += kDelimiter;
      // A delimiter or line break inside a value would split the line: none is kept.
      for (char c : *f) line += (c == kDelimiter || c == '\r' || c == '\n') ? ' ' : c;
    }
    lines.push_back(std::move(line));
  }
  SaveLines(path, lines);
}

std::string HistoryTime(int year, int month, int day, int hour, int minute, int second) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute,
                second);
  return buf;
}

}  // namespace vendrix
