#pragma once
// Windows-1252 <-> UTF-8. Every data file holds single-byte Windows-1252 text;
// UTF-8 is used only at the edges (terminal, file names, the screens). Text entering
// the core (typed in a window, given on the command line, read from a file the person
// names) passes Utf8ToCp1252Checked or Utf8ToCp1252Exact: it is refused, never changed.
// Only Utf8ToCp1252Checked throws (VendrixError). Pure functions: any thread.
#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

std::string Cp1252ToUtf8(std::string_view text);
// A character that Windows-1252 cannot hold (or a malformed sequence) becomes "?".
// For display texts only: names and values use Utf8ToCp1252Exact.
std::string Utf8ToCp1252(std::string_view text);
// The text in Windows-1252, or nullopt when it holds a character that code page
// cannot hold or is not well-formed UTF-8.
std::optional<std::string> Utf8ToCp1252Exact(std::string_view text);
// The text in Windows-1252; throws VendrixError "<shownAs> holds characters that
// Windows-1252 cannot hold; use others." otherwise. shownAs is Windows-1252 already.
std::string Utf8ToCp1252Checked(std::string_view text, const std::string& shownAs);
// The first character (as UTF-8) that Windows-1252 cannot hold, or the first byte of
// a malformed sequence; nullopt when the whole text converts exactly. For a validator
// that names what it refused.
std::optional<std::string> FirstCharNotInCp1252(std::string_view text);

// True when text is well-formed UTF-8: no overlong forms, surrogates, code points past
// U+10FFFF or cut sequences.
bool IsUtf8(std::string_view text);

// The text of a file the person names (a mail body, a value read from "@file"): text
// that is well-formed UTF-8 is converted as Utf8ToCp1252Checked does (and refused the
// same way); anything else is taken as Windows-1252 already and kept as it is.
std::string FileTextToCp1252(std::string_view bytes, const std::string& shownAs);

}  // namespace vendrix
