#include "net/http_chunked.h"

#include <algorithm>
#include <string>
#include <vector>

#include "net/http_head.h"
#include "net/net_error.h"

namespace vendrix {
namespace {

[[noreturn]] void BadChunks(const std::string& why) {
  throw EHttpClient(code::kHttpBadChunks, "Reply has an invalid chunked body (" + why + ").");
}

[[noreturn]] void ClosedEarly() {
  throw NetFailure(kErrReset, kClosedEarlyText);
}

// One line of the chunk framing; the end of the stream is an early close.
std::string FramingLine(Stream& stream, const Waiter& w) {
  std::string line;
  switch (stream.ReadLine(line, kMaxHeadLine, w)) {
    case Stream::LineResult::Line:
      return line;
    case Stream::LineResult::End:
      ClosedEarly();
    case Stream::LineResult::TooLong:
      break;
  }
  BadChunks("a line longer than " + std::to_string(kMaxHeadLine) + " bytes");
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

long long ParseChunkSize(std::string_view line) {
  std::size_t i = 0;
  long long size = 0;
  for (; i < line.size() && HexValue(line[i]) >= 0; ++i) {
    if (i == 15) return -1;  // more than 15 digits: no body of ours is that large
    size = size * 16 + HexValue(line[i]);
  }
  if (i == 0) return -1;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  if (i < line.size() && line[i] != ';') return -1;
  return size;
}

void ReadChunkedBody(Stream& stream, const Waiter& w, std::size_t blockSize,
                     const std::function<void(std::string_view)>& onData) {
  std::vector<char> block(blockSize);
  for (;;) {
    const std::string sizeLine = FramingLine(stream, w);
    long long left = ParseChunkSize(sizeLine);
    if (left < 0) BadChunks("chunk size \"" + sizeLine.substr(0, 40) + "\"");
    if (left == 0) break;
    while (left > 0) {
      std::size_t want = static_cast<std::size_t>(std::min<long long>(left, block.size()));
      std::size_t n = stream.ReadSome(block.data(), want, w);
      if (n == 0) ClosedEarly();
      left -= static_cast<long long>(n);
      onData(std::string_view(block.data(), n));
    }
    if (!FramingLine(stream, w).empty()) BadChunks("no line end after a chunk");
  }
  // Trailer fields: read so that the reply is whole, and dropped.
  for (int lines = 0; !FramingLine(stream, w).empty();) {
    if (++lines > kMaxHeadLines) BadChunks("too many trailer lines");
  }
}

}  // namespace vendrix
