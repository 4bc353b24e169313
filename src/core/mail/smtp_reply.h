#pragma once
// Reading SMTP replies (RFC 5321 4.2) and the EHLO keywords, kept apart from the
// dialogue so that they can be checked on their own. Any thread; a Stream is used by
// one thread at a time.
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "net/stream.h"

namespace vendrix {

inline constexpr std::size_t kMaxSmtpReplyLine = 1024;  // characters, without CR LF
inline constexpr std::size_t kMaxSmtpReplyLines = 100;  // lines of one reply

struct SmtpReply {
  int code = -1;  // the three digits the last line starts with; -1 when it has none
  std::vector<std::string> lines;
  const std::string& Last() const { return lines.back(); }
};

enum class SmtpReplyEnd { Reply, Closed, TooLong };

// Reads one reply: lines end at LF (trailing CR and LF removed); a line whose fourth
// character is "-" after three digits is followed by more, to the first line that is
// not. Closed: the stream ended first; TooLong: a line over kMaxSmtpReplyLine or more
// than kMaxSmtpReplyLines lines. pending holds the bytes received beyond the reply
// (the caller may throw them away, as before a TLS handshake). onLine sees every
// line. Throws NetFailure as the Stream does; the Waiter's deadline holds for the
// whole reply.
SmtpReplyEnd ReadSmtpReply(Stream& stream, const Waiter& w, std::string& pending, SmtpReply& reply,
                           const std::function<void(const std::string&)>& onLine = {});

// The number in a line's first three characters, or -1.
int SmtpReplyCode(const std::string& line);

// What an EHLO reply offers: its keywords (upper case) and the AUTH mechanisms.
struct SmtpExtensions {
  std::set<std::string> keywords;
  std::set<std::string> auth;
  bool Has(const std::string& keyword) const { return keywords.count(keyword) != 0; }
};
SmtpExtensions ParseEhloReply(const SmtpReply& reply);

}  // namespace vendrix
