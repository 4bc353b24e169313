#pragma once
// Windows-1252 <-> UTF-8. Every data file holds single-byte Windows-1252 text;
// UTF-8 is used only at the edges (terminal, file names, the screens).
#include <string>
#include <string_view>

namespace vendrix {

std::string Cp1252ToUtf8(std::string_view text);
// A character that Windows-1252 cannot hold (or a malformed sequence) becomes "?".
std::string Utf8ToCp1252(std::string_view text);

}  // namespace vendrix
