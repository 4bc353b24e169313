#pragma once
// Text helpers of the PAD exchange, on UTF-8 text as it comes out of the XML parser:
// the encoding a file declares, the blanks around element text, and HTML in
// descriptions reduced to plain text. Pure functions: any thread.
#include <optional>
#include <string>
#include <string_view>

namespace vendrix {

// The encoding named in the XML declaration at the start of the bytes, lower-cased
// ("utf-8", "windows-1252"), or nullopt when there is no declaration or it names none.
std::optional<std::string> DeclaredXmlEncoding(std::string_view bytes);

// Removes blanks, tabs, CR and LF from both ends.
std::string TrimXmlSpace(std::string_view text);

// Whether the text holds something that looks like an HTML tag ("<b>", "</p>", "<br/>").
bool LooksLikeHtml(std::string_view text);

// The text a browser would show, as lines separated by LF: tags removed (<br> ends a
// line, <li>, <div> and lists start one, paragraphs, headings and tables stand apart
// by an empty line; script and style are dropped with their content), character
// references decoded, runs of blanks made one, lines trimmed, blank lines at the ends
// removed and inner runs of them made one. Text that does not look like HTML is
// returned unchanged.
std::string ReduceHtml(std::string_view text);

}  // namespace vendrix
