// FTP replies as a server sends them: the reader stays within its limits, a reply's
// code is the three digits its last line starts with, and the passive-mode numbers
// never give a port outside 1..65535 or an address byte above 255.
#include <arpa/inet.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "net/ftp_reply.h"

using namespace vendrix;
using vendrix::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 256 * 1024) return 0;
  fuzz::FedStream peer(std::string_view(reinterpret_cast<const char*>(data), size));
  for (int replies = 0; replies < 10000; ++replies) {
    FtpReply reply;
    int lines = 0;
    auto end = ReadFtpReply(peer.stream, peer.wait, reply, [&](const std::string& line) {
      ++lines;
      Require(line.size() <= kMaxFtpReplyLine, "reply lines are bounded");
      std::string host;
      std::uint16_t port = 0;
      if (PasvAddress(line, host, port)) {
        in_addr a;
        Require(port != 0, "a PASV port is not 0");
        Require(::inet_pton(AF_INET, host.c_str(), &a) == 1, "a PASV address is IPv4");
      }
      if (std::uint16_t p = EpsvPort(line)) {
        auto bar = line.find("|||") + 3;
        std::string digits = line.substr(bar, line.find('|', bar) - bar);
        Require(
            digits.find_first_not_of("0123456789") == std::string::npos && std::stoul(digits) == p,
            "an EPSV port is the number between the bars");
      }
    });
    Require(lines <= kMaxFtpReplyLines, "reply lines are counted");
    if (end != FtpReplyEnd::Reply) break;
    Require(reply.code >= 0 && reply.code <= 999, "a code has three digits");
    if (reply.code != 0) {
      Require(std::isdigit(static_cast<unsigned char>(reply.line[0])) &&
                  std::stoi(reply.line.substr(0, 3)) == reply.code,
              "the code is the start of the last line");
    }
  }
  return 0;
}
