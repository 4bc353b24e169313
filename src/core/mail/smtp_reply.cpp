#include "mail/smtp_reply.h"

#include <cctype>
#include <sstream>

namespace vendrix {
namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

enum class LineEnd { Line, Closed, TooLong };

LineEnd ReadLine(Stream& stream, const Waiter& w, std::string& pending, std::string& line) {
  for (;;) {
    auto nl = pending.find('\n');
    if (nl != std::string::npos) {
      line.assign(pending, 0, nl);
      pending.erase(0, nl + 1);
      while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
      return line.size() > kMaxSmtpReplyLine ? LineEnd::TooLong : LineEnd::Line;
    }
    // A line still without its end after the longest allowed, CR LF included.
    if (pending.size() > kMaxSmtpReplyLine + 2) return LineEnd::TooLong;
    char chunk[4096];
    std::size_t n = stream.ReadSome(chunk, sizeof chunk, w);
    if (n == 0) return LineEnd::Closed;
    pending.append(chunk, n);
  }
}

}  // namespace

int SmtpReplyCode(const std::string& line) {
  if (line.size() < 3) return -1;
  for (int i = 0; i < 3; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(line[i]))) return -1;
  }
  return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

SmtpReplyEnd ReadSmtpReply(Stream& stream, const Waiter& w, std::string& pending, SmtpReply& reply,
                           const std::function<void(const std::string&)>& onLine) {
  reply = SmtpReply{};
  for (;;) {
    std::string line;
    LineEnd got = ReadLine(stream, w, pending, line);
    if (got == LineEnd::Closed) return SmtpReplyEnd::Closed;
    if (got == LineEnd::TooLong) return SmtpReplyEnd::TooLong;
    if (onLine) onLine(line);
    reply.lines.push_back(line);
    bool more = line.size() >= 4 && line[3] == '-' && SmtpReplyCode(line) >= 0;
    if (!more) break;
    if (reply.lines.size() >= kMaxSmtpReplyLines) return SmtpReplyEnd::TooLong;
  }
  reply.code = SmtpReplyCode(reply.Last());
  return SmtpReplyEnd::Reply;
}

SmtpExtensions ParseEhloReply(const SmtpReply& reply) {
  SmtpExtensions ext;
  for (std::size_t i = 1; i < reply.lines.size(); ++i) {
    const std::string& l = reply.lines[i];
    if (l.size() <= 4) continue;
    // "AUTH PLAIN LOGIN", and the older "AUTH=LOGIN".
    std::istringstream words(Upper(l.substr(4)));
    std::string keyword;
    if (!(words >> keyword)) continue;
    std::string rest;
    if (auto eq = keyword.find('='); eq != std::string::npos) {
      rest = keyword.substr(eq + 1);
      keyword.erase(eq);
    }
    if (keyword.empty()) continue;
    ext.keywords.insert(keyword);
    if (keyword != "AUTH") continue;
    if (!rest.empty()) ext.auth.insert(rest);
    std::string mechanism;
    while (words >> mechanism) ext.auth.insert(mechanism);
  }
  return ext;
}

}  // namespace vendrix
