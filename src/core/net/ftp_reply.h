#pragma once
// Reading FTP replies from a control connection, and the numbers of the passive-mode
// replies, kept apart from the client so that they can be checked on their own. Any
// thread; a Stream is used by one thread at a time.
#include <cstdint>
#include <functional>
#include <string>

#include "net/stream.h"

namespace vendrix {

inline constexpr std::size_t kMaxFtpReplyLine = 8192;
inline constexpr int kMaxFtpReplyLines = 1000;  // lines of one multi-line reply

struct FtpReply {
  int code = 0;      // the three digits of the last line; 0 when it has none
  std::string line;  // the last line
};

enum class FtpReplyEnd { Reply, Closed, Unexpected };

// Reads one reply: a line whose fourth character is "-" opens a multi-line reply that
// runs to a line starting with the same three digits and a space. onLine sees every
// line. Closed: the stream ended first; Unexpected: a line longer than
// kMaxFtpReplyLine or more than kMaxFtpReplyLines lines. Throws NetFailure as the
// Stream does (the Waiter's deadline holds for the whole reply).
FtpReplyEnd ReadFtpReply(Stream& stream, const Waiter& w, FtpReply& reply,
                         const std::function<void(const std::string&)>& onLine);

// The size a SIZE command's reply gives: the reply "213", one space and 1 to 18
// digits, and nothing else ("213 100 bytes" says no size); -1 for any other reply.
long long SizeReplyBytes(const FtpReply& reply);

// The port of a 229 reply, "(|||port|)": 1 to 65535 in plain digits; else 0.
std::uint16_t EpsvPort(const std::string& text);

// The address and port of a 227 reply: six numbers separated by any non-digits, each
// 0 to 255, and a port other than 0; taken after "(" when the reply has one, else
// from the text after the reply code. False when there are no such.
bool PasvAddress(const std::string& text, std::string& host, std::uint16_t& port);

}  // namespace vendrix
