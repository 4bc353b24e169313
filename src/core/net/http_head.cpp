#include "net/http_head.h"

#include <algorithm>

#include "net/net_error.h"

namespace vendrix {

HeadEnd ReadReplyHead(Stream& stream, const Waiter& w, std::string& status,
                      const std::function<void(const std::string&)>& onLine) {
  std::string line;
  bool haveStatus = false;
  int headerLines = 0;
  for (;;) {
    auto r = stream.ReadLine(line, kMaxHeadLine, w);
    if (r == Stream::LineResult::TooLong) {
      throw EHttpClient(code::kHttpHeadLine,
                        "Reply head line longer than " + std::to_string(kMaxHeadLine) + " bytes.");
    }
    if (r == Stream::LineResult::End) return haveStatus ? HeadEnd::Cut : HeadEnd::None;
    if (!haveStatus) {
      haveStatus = true;
      status = line.substr(0, kMaxStatusLine);
      continue;
    }
    if (line.empty()) return HeadEnd::Complete;
    if (++headerLines > kMaxHeadLines) {
      throw EHttpClient(code::kHttpHeadLines, "Reply head has more than " +
                                                  std::to_string(kMaxHeadLines) + " header lines.");
    }
    onLine(line);
  }
}

void SplitHeaderLine(const std::string& line, std::string& field, std::string& value) {
  field.clear();
  value.clear();
  if (line.empty()) return;
  unsigned char c0 = static_cast<unsigned char>(line[0]);
  if (c0 == ' ' || c0 < 0x20) {
    value = line.substr(1);
  } else if (auto colon = line.find(':'); colon != std::string::npos) {
    field = line.substr(0, colon);
    value = line.substr(colon + 1);
    if (!value.empty() && value[0] == ' ') value.erase(0, 1);
  } else {
    field = line;
  }
}

long long ParseContentLength(const std::string& text) {
  std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return -1;
  std::size_t last = text.find_last_not_of(" \t");
  if (last - first + 1 > 18) return -1;
  long long n = 0;
  for (std::size_t i = first; i <= last; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    n = n * 10 + (text[i] - '0');
  }
  return n;
}

long long ParseRetryAfter(const std::string& text) {
  std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return -1;
  std::size_t last = text.find_last_not_of(" \t");
  long long n = 0;
  for (std::size_t i = first; i <= last; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    // Leading zeros are no part of the count; a wait beyond any we keep is just long.
    n = std::min<long long>(n * 10 + (text[i] - '0'), kLongRetryAfter);
  }
  return n;
}

}  // namespace vendrix
