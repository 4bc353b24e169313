#pragma once
// Reading the head of an HTTP reply (or of a proxy's CONNECT reply) from a Stream,
// with bounded lines, and the meaning of its header lines. Kept apart from the client
// so that it can be checked on its own. Any thread; a Stream is used by one thread at
// a time. Failures raise EHttpClient (154, 155) or NetFailure from the Stream.
#include <functional>
#include <string>

#include "net/stream.h"

namespace vendrix {

inline constexpr std::size_t kMaxHeadLine = 8192;
inline constexpr int kMaxHeadLines = 100;
inline constexpr std::size_t kMaxStatusLine = 1024;  // what is kept of the status line

// How a head ended: no status line before the end of the stream, the empty line
// after the header lines, or the end of the stream inside the head.
enum class HeadEnd { None, Complete, Cut };

// Reads the status line (kept in status, at most kMaxStatusLine characters), then
// header lines up to the empty line or the end of the stream; each header line goes
// to onLine. Fails with 154 for a line longer than kMaxHeadLine and 155 for more
// than kMaxHeadLines header lines.
HeadEnd ReadReplyHead(Stream& stream, const Waiter& w, std::string& status,
                      const std::function<void(const std::string&)>& onLine);

// A header line as field and value: split at the first ":", less one space after
// it; a line that begins with a space or a control character continues the one
// before (empty field, the line less its first character); a line without ":" is
// all field.
void SplitHeaderLine(const std::string& line, std::string& field, std::string& value);

// The value of a Content-Length field (blanks around it allowed), or -1 when it is
// not a plain decimal number of at most 18 digits.
long long ParseContentLength(const std::string& value);

// The seconds of a Retry-After field in its delay form: any run of decimal digits,
// blanks around it allowed ("005" is 5); a count beyond kLongRetryAfter reads as
// kLongRetryAfter. -1 for anything else (a date, a sign, an empty field).
inline constexpr long long kLongRetryAfter = 1LL << 40;
long long ParseRetryAfter(const std::string& value);

}  // namespace vendrix
