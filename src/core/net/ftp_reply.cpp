#include "net/ftp_reply.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

namespace vendrix {

FtpReplyEnd ReadFtpReply(Stream& stream, const Waiter& w, FtpReply& reply,
                         const std::function<void(const std::string&)>& onLine) {
  std::string line;
  std::string code;
  for (int lines = 1;; ++lines) {
    auto result = stream.ReadLine(line, kMaxFtpReplyLine, w);
    if (result == Stream::LineResult::End) return FtpReplyEnd::Closed;
    if (result == Stream::LineResult::TooLong || lines > kMaxFtpReplyLines) {
      return FtpReplyEnd::Unexpected;
    }
    onLine(line);
    if (code.empty()) {
      if (line.size() >= 4 && line[3] == '-') {
        code = line.substr(0, 3);
        continue;
      }
    } else if (!(line.size() >= 4 && line.compare(0, 3, code) == 0 && line[3] == ' ')) {
      continue;  // inside a multi-line reply
    }
    reply.line = line;
    reply.code = line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0]))
                     ? std::atoi(line.substr(0, 3).c_str())
                     : 0;
    return FtpReplyEnd::Reply;
  }
}

long long SizeReplyBytes(const FtpReply& reply) {
  const std::string& l = reply.line;
  if (reply.code != 213 || l.size() < 5 || l.size() > 4 + 18 || l.compare(0, 4, "213 ") != 0) {
    return -1;
  }
  long long n = 0;
  for (std::size_t i = 4; i < l.size(); ++i) {
    if (l[i] < '0' || l[i] > '9') return -1;
    n = n * 10 + (l[i] - '0');
  }
  return n;
}

std::uint16_t EpsvPort(const std::string& text) {
  auto bar = text.find("|||");
  if (bar == std::string::npos) return 0;
  auto end = text.find('|', bar + 3);
  if (end == std::string::npos || end == bar + 3 || end - bar - 3 > 5) return 0;
  long port = 0;
  for (std::size_t i = bar + 3; i < end; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return 0;
    port = port * 10 + (text[i] - '0');
  }
  return port > 0 && port < 65536 ? static_cast<std::uint16_t>(port) : 0;
}

bool PasvAddress(const std::string& text, std::string& host, std::uint16_t& port) {
  std::vector<long> n;
  // The numbers follow "(" when there is one; some servers write them without, so
  // the text after the reply code is scanned for the first six.
  auto open = text.find('(');
  std::size_t from = open != std::string::npos ? open + 1 : std::min<std::size_t>(text.size(), 4);
  long value = -1;
  for (std::size_t i = from; i <= text.size() && n.size() < 6; ++i) {
    if (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
      value = (value < 0 ? 0 : value * 10) + (text[i] - '0');
      if (value > 100000) value = 100000;
    } else if (value >= 0) {
      n.push_back(value);
      value = -1;
    }
  }
  if (n.size() < 6) return false;
  for (long v : n) {
    if (v > 255) return false;
  }
  if (n[4] * 256 + n[5] == 0) return false;
  host = std::to_string(n[0]) + "." + std::to_string(n[1]) + "." + std::to_string(n[2]) + "." +
         std::to_string(n[3]);
  port = static_cast<std::uint16_t>(n[4] * 256 + n[5]);
  return true;
}

}  // namespace vendrix
