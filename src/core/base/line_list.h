#pragma once
// One-entry-per-line files: a line ends at CR LF, a lone CR or a lone LF;
// files are written with CR LF after every line. LoadLines throws VendrixError for a
// file that exists but cannot be read, SaveLines for a failed write. Any thread.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vendrix {

using Lines = std::vector<std::string>;

// Splits text into lines. A final line without an ending counts; an ending at the
// very end does not start another (empty) line.
Lines SplitLines(std::string_view text);
// Each line followed by CR LF.
std::string JoinLines(const Lines& lines);
// Text with every lone CR or LF made CR LF (how a script reads its file).
std::string NormaliseLineEnds(std::string_view text);

// nullopt when the file does not exist.
std::optional<Lines> LoadLines(const std::string& path);
// Atomic replace; throws VendrixError("Unable to write to ...").
void SaveLines(const std::string& path, const Lines& lines);

}  // namespace vendrix
