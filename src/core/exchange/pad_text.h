#pragma once
// Text helpers of the PAD exchange: the encoding a file declares and the bytes it
// holds against it, and the layout around element text (UTF-8, as it comes out of the
// XML parser). Text is taken as text: markup in a description is kept as written.
// Pure functions: any thread.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

// The encoding named in the XML declaration at the start of the bytes, lower-cased
// ("utf-8", "windows-1252"), or nullopt when there is no declaration or it names none.
std::optional<std::string> DeclaredXmlEncoding(std::string_view bytes);

// Element text without the layout around it: a run of blanks at either end is the
// value's own and is kept, unless it holds a line break (the file's indentation).
std::string TrimLayout(std::string_view text);

// A byte of a PAD file that its declared encoding does not allow.
struct PadByteProblem {
  std::string element;  // the element it stands in (its name; "" before the root)
  std::string
      text;  // what is wrong, in words: "the byte 0x81, which Windows-1252 leaves undefined"
  bool nul = false;  // a NUL (a byte, or a reference to one): the file is refused whole
};

// The bytes a file's declared encoding does not allow, in file order: for a
// single-byte file (latin: Windows-1252 or ISO-8859-1) NUL, the bytes Windows-1252
// leaves undefined and UTF-8 sequences (a file that says Windows-1252 but holds
// UTF-8); for a UTF-8 file NUL and bytes that are not UTF-8. References to character 0
// ("&#0;") count as NUL in both.
std::vector<PadByteProblem> CheckPadBytes(std::string_view bytes, bool latin);

}  // namespace vendrix
