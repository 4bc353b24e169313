#pragma once
// Text helpers of the builders: form encoding and word wrapping. Pure functions:
// any thread.
#include <string>
#include <string_view>

namespace vendrix {

// Percent-encodes a value for form data: letters, digits and "-._~" stay, every other
// byte becomes %XX (a blank %20, CR %0D, LF %0A).
std::string PercentEncode(std::string_view value);

// Replaces every occurrence of from (not empty) by to, once each, scanning on after
// the inserted text; returns the count of replacements.
std::size_t ReplaceAll(std::string& s, std::string_view from, std::string_view to);

// Re-wraps text to lines of at most width characters, each followed by CR LF; words
// longer than a line are cut; a line keeps the blank after its last word.
std::string WrapText(std::string_view text, std::size_t width);

}  // namespace vendrix
