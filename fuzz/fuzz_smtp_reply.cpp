// SMTP replies as a server sends them: the reader stays within its limits (lines,
// line length), a reply's code is the three digits its last line starts with, and
// the EHLO keywords and AUTH mechanisms are single upper-case words.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "mail/smtp_reply.h"

using namespace vendrix;
using vendrix::fuzz::Require;

namespace {

bool OneUpperWord(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s) {
    auto u = static_cast<unsigned char>(c);
    if (std::isspace(u) || std::islower(u)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 256 * 1024) return 0;
  fuzz::FedStream peer(std::string_view(reinterpret_cast<const char*>(data), size));
  std::string pending;
  for (int replies = 0; replies < 10000; ++replies) {
    SmtpReply reply;
    std::size_t seen = 0;
    auto end = ReadSmtpReply(peer.stream, peer.wait, pending, reply, [&](const std::string& line) {
      ++seen;
      Require(line.size() <= kMaxSmtpReplyLine, "reply lines are bounded");
    });
    Require(pending.size() <= 4096 + kMaxSmtpReplyLine + 2, "what waits is bounded");
    Require(reply.lines.size() <= kMaxSmtpReplyLines, "reply lines are counted");
    if (end != SmtpReplyEnd::Reply) break;
    Require(seen == reply.lines.size(), "every line is seen once");
    Require(reply.code >= -1 && reply.code <= 999, "a code has three digits");
    if (reply.code >= 0) {
      Require(std::stoi(reply.Last().substr(0, 3)) == reply.code,
              "the code is the start of the last line");
    }
    for (std::size_t i = 0; i + 1 < reply.lines.size(); ++i) {
      Require(reply.lines[i].size() >= 4 && reply.lines[i][3] == '-',
              "only continuation lines come before the last");
    }
    SmtpExtensions ext = ParseEhloReply(reply);
    for (const auto& k : ext.keywords) Require(OneUpperWord(k), "keywords are upper-case words");
    for (const auto& m : ext.auth) Require(OneUpperWord(m), "mechanisms are upper-case words");
    Require(ext.auth.empty() || ext.Has("AUTH"), "mechanisms come with AUTH");
  }
  return 0;
}
