#pragma once
// Writes one header field in lines that a mail reader accepts: folded (a CR LF before
// a blank) so that each line stays within 76 characters where a blank allows it, and
// text that is not plain ASCII as RFC 2047 encoded words (UTF-8, Base64), each sized
// to the room left on its line, so that a line holding one is never longer than 76.
// Pure: any thread; one folder per field.
#include <cstddef>
#include <string>
#include <string_view>

namespace vendrix {

class HeaderFolder {
 public:
  static constexpr std::size_t kLine = 76;

  // label: the field's name, colon and padding ("Subject:  "), or the blanks that
  // start a further line of the field; never folded.
  explicit HeaderFolder(std::string_view label);

  // Text kept whole; a fold may come only before its leading blanks.
  void Atom(std::string_view text);
  // Plain text, folded at its blanks.
  void Words(std::string_view text);
  // Windows-1252 text as encoded words, separated from what stands before by a blank
  // when spaceBefore.
  void Encoded(std::string_view cp1252, bool spaceBefore);
  // An unstructured value (a subject): as it stands when it is printable ASCII,
  // else as encoded words.
  void Text(std::string_view cp1252);

  // The lines, separated by CR LF, without one at the end.
  const std::string& Lines() const { return out_; }

 private:
  void Fold();
  std::string out_;
  std::size_t lineLength_;
  bool lineHasContent_ = false;
};

// Whether a header text needs encoded words: it holds a byte outside printable ASCII,
// a word too long for any line, or "=?", which a reader would take for one.
bool NeedsEncodedWords(std::string_view cp1252Text);

}  // namespace vendrix
