// The head of an HTTP reply as a server sends it: the reader stays within its limits
// whatever the bytes, and every header line splits into field and value that put
// together give the line again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "net/http_head.h"
#include "net/net_error.h"

using namespace vendrix;
using vendrix::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 256 * 1024) return 0;
  fuzz::FedStream peer(std::string_view(reinterpret_cast<const char*>(data), size));
  std::string status;
  int lines = 0;
  try {
    ReadReplyHead(peer.stream, peer.wait, status, [&](const std::string& line) {
      ++lines;
      Require(!line.empty() && line.size() <= kMaxHeadLine, "header lines are bounded");
      Require(line.find_first_of("\r\n") == std::string::npos, "no line ending inside a line");
      std::string field, value;
      SplitHeaderLine(line, field, value);
      const unsigned char first = static_cast<unsigned char>(line[0]);
      if (first == ' ' || first < 0x20) {
        Require(field.empty() && line.substr(1) == value, "a continued line is its value");
      } else if (auto colon = line.find(':'); colon != std::string::npos) {
        bool space = colon + 1 < line.size() && line[colon + 1] == ' ';
        Require(field + ":" + (space ? " " : "") + value == line, "field and value give the line");
        long long n = ParseContentLength(value);
        Require(n >= -1, "a length is a number or -1");
        if (n >= 0) Require(value.find_first_of("0123456789") != std::string::npos, "digits");
      } else {
        Require(field == line && value.empty(), "a line without a colon is all field");
      }
    });
  } catch (const EHttpClient& e) {
    Require(e.ErrorCode == code::kHttpHeadLine || e.ErrorCode == code::kHttpHeadLines,
            "only the head limits fail");
  }
  Require(status.size() <= kMaxStatusLine, "the status line is cut");
  Require(lines <= kMaxHeadLines, "header lines are counted");
  return 0;
}
