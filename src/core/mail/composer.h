#pragma once
// TmsMessageEncoder: writes a TmsMessage as an RFC 5322 / MIME message to a sink,
// lines ended by CR LF, the last line included. Layouts: a text-only message; a text
// part with attachments as multipart/mixed; a lone attachment as a single part; and
// uuencoded attachments after the text (meUU). Attachments are read from their files
// while writing, in blocks. Texts that are not ASCII go out declared: the body as
// UTF-8 quoted-printable, subject and names as RFC 2047 encoded words. Every line
// stays within 998 octets; head lines are folded to 76 characters where they can be,
// and those holding encoded words always are.
// Throws EMessageError: 57110 for a CR, LF or NUL in a header value, an address that
// is not printable ASCII or is over 254 characters, a name over 255; 57111 when an
// attachment cannot be read. Not thread-safe; one encoder per message.
#include <ctime>
#include <functional>
#include <string>

#include "mail/message.h"
#include "mail/spool_file.h"

namespace vendrix {

struct ComposeOptions {
  std::time_t date = 0;  // the "Date:" header; 0: now
  std::string hostName;  // the Message-ID's domain when the sender's address has none
  // Draws a boundary candidate; the default draws eight digits 0 to 8 at random.
  std::function<std::string()> drawBoundary;
  // Runs after each block written (a sender checks for cancellation there).
  std::function<void()> checkpoint;
};

// Eight digits, each 0 to 8, from the system's random source.
std::string RandomBoundary();
// "Mon, 07 Dec 2026 09:42:54 +0100" in local time.
std::string Rfc5322Date(std::time_t t);
// Throws EMessageError 57110 naming what when text holds a CR, LF or NUL.
void RequireOneLine(const std::string& text, const std::string& what);
// Throws EMessageError 57110 naming what unless the address is printable ASCII
// without "<" or ">" and at most 254 characters long.
void RequireAddress(const std::string& address, const std::string& what);
// Checks every header value, address and name of the message (57110), before
// anything is written or sent.
void CheckMessageText(const TmsMessage& m);

class TmsMessageEncoder {
 public:
  explicit TmsMessageEncoder(const TmsMessage& message, ComposeOptions options = {});
  void Encode(ByteSink& out);
  // The boundary of the last multipart message written ("" for other layouts).
  const std::string& Boundary() const { return boundary_; }

 private:
  class Writer;
  void WriteHead(Writer& w);
  void WriteTextPart(Writer& w, bool withHeaders);
  void WriteAttachmentHeaders(Writer& w, const TmsAttItem& a);
  void WriteAttachmentBytes(Writer& w, const TmsAttItem& a);
  void WriteUuAttachment(Writer& w, const TmsAttItem& a);
  std::string ChooseBoundary();

  const TmsMessage& m_;
  ComposeOptions options_;
  std::string boundary_;
  std::vector<std::string> body_;  // the body lines, one line each
  std::vector<TmsAttItem> parts_;  // the attachments with the encoding each goes out in
};

}  // namespace vendrix
