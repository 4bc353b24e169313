#pragma once
// The content encodings of the mail client: Base64 (RFC 2045, lines of 76 characters
// from 57 bytes), quoted-printable, uuencode and the SMTP transparency rule. Pure functions and
// small stateful encoders; no I/O.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/base64.h"

namespace vendrix {

// Appends Base64 lines of 76 characters (57 bytes each, the last shorter), each with
// CR LF. Fed in pieces, every piece but the last must be a multiple of 57 bytes.
inline constexpr std::size_t kBase64LineBytes = 57;
void AppendBase64Lines(std::string_view bytes, std::string& out);

// Quoted-printable as this client writes it: a line is cut into pieces of at most 65
// characters, before the last space inside them when there is one (the space starts
// the next piece); every piece but the last ends with the soft break "=". Characters
// below 32, "=" and 127 and up are written "=XX"; so is a space that ends a line.
// Pieces are also kept within the 76 characters a line may have once encoded.
class QuotedPrintableEncoder {
 public:
  // binary: the input is a file's bytes, to arrive unchanged whatever its line ends:
  // CR and LF are encoded too ("=0D=0A"), every output line ends with a soft break, so
  // a decoder adds no line break of its own. A "-" that would start a line is encoded
  // as well, so that no line of the output can look like a MIME boundary.
  explicit QuotedPrintableEncoder(bool binary) : binary_(binary) {}
  void Feed(std::string_view bytes, std::string& out);
  // Ends the current line with a hard line break (text input: one call per line).
  void EndLine(std::string& out);
  // Binary input: writes what is left, ending with "=" CR LF.
  void Finish(std::string& out);

 private:
  enum class Ending { Soft, Hard };
  void EmitPieces(std::string& out, bool all);
  void EmitPiece(std::size_t n, Ending ending, std::string& out);
  std::size_t PieceLength() const;
  bool binary_;
  bool wroteAny_ = false;
  std::string segment_;  // bytes of the current line not yet written
};

// The quoted-printable lines of one text line (without CR LF).
std::vector<std::string> QuotedPrintableLines(std::string_view line);

// Appends uuencoded lines (45 bytes each, the last shorter), each with CR LF. Every
// piece but the last must be a multiple of 45 bytes.
inline constexpr std::size_t kUuLineBytes = 45;
void AppendUuLines(std::string_view bytes, std::string& out);

// SMTP transparency (RFC 5321 4.5.2): a line of the content that begins with "." goes
// out with one more "." in front. Feed the content in any pieces.
class DotStuffer {
 public:
  void Apply(std::string_view bytes, std::string& out);

 private:
  bool atLineStart_ = true;
};

}  // namespace vendrix
