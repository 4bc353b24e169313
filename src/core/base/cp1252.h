#pragma once
// Windows-1252 <-> UTF-8. Every data file holds single-byte Windows-1252 text;
// UTF-8 is used only at the edges (terminal, file names, the screens). Pure
// functions: any thread.
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

}  // namespace vendrix
