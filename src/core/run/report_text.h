#pragma once
// Text helpers of the run reports: HTML escaping, file URLs, the run stamp and safe
// page names. Pure functions; any thread.
#include <ctime>
#include <string>
#include <string_view>

namespace vendrix {

// Escapes text for an HTML page or a double-quoted attribute: & < > " ' become
// character references; CR and LF become &#13; and &#10; so that the text stays on
// one line of the page; other control characters and NUL are dropped.
std::string HtmlEscape(std::string_view text);

// A real file URL ("file:///abs/path") of a UTF-8 path: the path is made absolute and
// every byte outside the unreserved set and "/" is percent-encoded.
std::string FileUrl(const std::string& utf8Path);
// The link from a page in fromDir to a file, relative to that folder ("log.html",
// "../../../images/back.jpg") and percent-encoded as FileUrl's path is, so that a
// moved or copied data tree keeps its reports' links and pictures.
std::string RelativeUrl(const std::string& fromDir, const std::string& utf8Path);

// The run stamp: year, month, day, hour, minute, second and millisecond joined by
// "-"; two digits each for month to second, the millisecond with a leading "0" only
// below 10 (1998-07-04-09-05-03-250).
std::string RunStamp(const std::tm& t, int millisecond);

// A Windows-1252 name as a UTF-8 file-name part that stays inside its folder: "/",
// "\", control characters and the names "." and ".." are replaced by "_".
std::string SafeFileNamePart(std::string_view cp1252Name);

}  // namespace vendrix
