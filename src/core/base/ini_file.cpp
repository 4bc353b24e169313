#include "base/ini_file.h"

#include <charconv>
#include <climits>
#include <cstring>

#include "base/file_io.h"
#include "base/line_list.h"

namespace vendrix {
namespace {

std::string_view Trim(std::string_view s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

// The section name of a "[name]" line, or nullopt for other lines.
std::optional<std::string_view> SectionName(std::string_view line) {
  std::string_view t = Trim(line);
  if (t.empty() || t.front() != '[') return std::nullopt;
  auto close = t.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(t.substr(1, close - 1));
}

// The key of a "key=value" line, or nullopt; comment lines (";") have no key.
std::optional<std::string_view> KeyOf(std::string_view line) {
  std::string_view t = Trim(line);
  if (t.empty() || t.front() == ';') return std::nullopt;
  auto eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(0, eq));
}

// The text written for a value. Values are single-line: a line break inside one would
// split the file's structure. A value that the read rule would change (blanks at
// either end, one pair of enclosing quotes) is enclosed in double quotes, which the
// read rule removes again; every other value is written as it is.
std::string Stored(std::string_view value) {
  std::string v(value);
  for (char& c : v) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  if (v.empty()) return v;
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  const bool quoted =
      v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
  if (blank(v.front()) || blank(v.back()) || quoted) return "\"" + v + "\"";
  return v;
}

// The value of a "key=value" line as the read rule gives it: blanks around it removed
// and one pair of enclosing quotes removed (not yet cut to 1023 characters).
std::string_view ValueOf(std::string_view line) {
  std::string_view v = Trim(line.substr(line.find('=') + 1));
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return v;
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view text) {
  IniDocument doc;
  doc.lines_ = SplitLines(text);
  return doc;
}

IniDocument IniDocument::Load(const std::string& path) {
  auto data = ReadWholeFile(path);
  return data ? Parse(*data) : IniDocument{};
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
  bool inSection = false;
  for (const auto& line : lines_) {
    if (auto name = SectionName(line)) {
      if (inSection) return std::nullopt;  // only the first matching section is read
      inSection = EqualNoCase(*name, section);
      continue;
    }
    if (!inSection) continue;
    auto k = KeyOf(line);
    if (!k || !EqualNoCase(*k, key)) continue;
    std::string_view v = ValueOf(line);
    if (v.size() > kIniMaxValue) v = v.substr(0, kIniMaxValue);
    return std::string(v);
  }
  return std::nullopt;
}

void ScanIniValues(std::string_view text, std::string_view section, const std::string_view* keys,
                   std::optional<std::string_view>* values, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) values[i].reset();
  std::size_t missing = count;
  bool inSection = false;
  std::size_t start = 0;
  // Lines end at CR LF, CR or LF, as SplitLines cuts them. The next CR and the next
  // LF are each looked for once and kept until the scan passes them.
  const char* const data = text.data();
  const std::size_t size = text.size();
  auto next = [&](char c, std::size_t from) {
    const void* hit = std::memchr(data + from, c, size - from);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data) : size;
  };
  std::size_t nextCr = size ? next('\r', 0) : 0;
  std::size_t nextLf = size ? next('\n', 0) : 0;
  while (start < size && missing > 0) {
    if (nextCr < start) nextCr = next('\r', start);
    if (nextLf < start) nextLf = next('\n', start);
    std::size_t end = nextCr < nextLf ? nextCr : nextLf;
    std::string_view line = text.substr(start, end - start);
    start = end;
    if (start < size) {
      if (data[start] == '\r' && start + 1 < size && data[start + 1] == '\n') ++start;
      ++start;
    }
    if (line.empty()) continue;
    // Most lines begin with their key: one look at the first character tells that
    // they are neither a section line nor a comment.
    const char first = line.front();
    const bool blank = first == ' ' || first == '\t';
    if (blank || first == '[') {
      if (auto name = SectionName(line)) {
        if (inSection) return;  // only the first matching section is read
        inSection = EqualNoCase(*name, section);
        continue;
      }
    }
    if (!inSection || first == ';') continue;
    std::optional<std::string_view> k;
    if (blank) {
      k = KeyOf(line);
    } else if (const void* eq = std::memchr(line.data(), '=', line.size())) {
      k = Trim(
          line.substr(0, static_cast<std::size_t>(static_cast<const char*>(eq) - line.data())));
    }
    if (!k) continue;
    for (std::size_t i = 0; i < count; ++i) {
      if (values[i] || !EqualNoCase(*k, keys[i])) continue;
      values[i] = ValueOf(line);
      --missing;
      break;
    }
  }
}

std::string IniDocument::ReadString(std::string_view section, std::string_view key,
                                    std::string_view def) const {
  auto v = Get(section, key);
  return v ? *v : std::string(def.substr(0, kIniMaxValue));
}

std::optional<std::string> CheckIniValue(std::string_view field, std::string_view value) {
  if (value.find_first_of("\r\n") != std::string_view::npos) {
    return std::string(field) + " holds one line only: line breaks are not allowed.";
  }
  if (value.size() > kIniMaxValue) {
    return std::string(field) + " holds at most " + std::to_string(kIniMaxValue) + " characters.";
  }
  return std::nullopt;
}

int ParseIniInteger(std::string_view text, int def) {
  std::string_view t = Trim(text);
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    unsigned long long v = 0;
    auto digits = t.substr(2);
    auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v, 16);
    if (ec != std::errc() || p != digits.data() + digits.size() || v > UINT_MAX) return def;
    return static_cast<int>(static_cast<unsigned>(v));
  }
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  long long v = 0;
  auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v, 10);
  if (t.empty() || ec != std::errc() || p != t.data() + t.size() || v < INT_MIN || v > INT_MAX) {
    return def;
  }
  return static_cast<int>(v);
}

int IniDocument::ReadInteger(std::string_view section, std::string_view key, int def) const {
  auto v = Get(section, key);
  return v ? ParseIniInteger(*v, def) : def;
}

bool IniDocument::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void IniDocument::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
  std::string newLine = std::string(key) + "=" + Stored(value);
  std::size_t sectionLine = lines_.size();
  std::size_t lastContent = 0;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const auto& line = lines_[i];
    if (auto name = SectionName(line)) {
      if (sectionLine != lines_.size()) break;  // past the end of our section
      if (EqualNoCase(*name, section)) {
        sectionLine = i;
        lastContent = i;
      }
      continue;
    }
    if (sectionLine == lines_.size()) continue;
    if (!Trim(line).empty()) lastContent = i;
    auto k = KeyOf(line);
    if (k && EqualNoCase(*k, key)) {
      lines_[i] = std::string(*k) + "=" + Stored(value);
      return;
    }
  }
  if (sectionLine == lines_.size()) {
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(std::move(newLine));
    return;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastContent + 1), std::move(newLine));
}

void IniDocument::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void IniDocument::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

std::string IniDocument::Text() const {
  return JoinLines(lines_);
}

void IniDocument::Save(const std::string& path, const WriteOptions& options) const {
  WriteFileAtomic(path, Text(), options);
}

std::string IniReadString(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view def) {
  return IniDocument::Load(path).ReadString(section, key, def);
}

int IniReadInteger(const std::string& path, std::string_view section, std::string_view key,
                   int def) {
  return IniDocument::Load(path).ReadInteger(section, key, def);
}

void IniWriteString(const std::string& path, std::string_view section, std::string_view key,
                    std::string_view value) {
  IniDocument doc = IniDocument::Load(path);
  doc.WriteString(section, key, value);
  doc.Save(path);
}

void IniWriteInteger(const std::string& path, std::string_view section, std::string_view key,
                     int value) {
  IniWriteString(path, section, key, std::to_string(value));
}

void IniWriteBool(const std::string& path, std::string_view section, std::string_view key,
                  bool value) {
  IniWriteString(path, section, key, value ? "1" : "0");
}

}  // namespace vendrix
