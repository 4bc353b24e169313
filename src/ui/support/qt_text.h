#pragma once
// Text between the core (Windows-1252 bytes, CR LF line ends) and Qt (UTF-16, LF).
// Any thread may call these.
#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "base/cp1252.h"
#include "base/line_list.h"

namespace vendrix::ui {

// A core text for a widget.
inline QString ToQt(std::string_view cp1252) {
  return QString::fromStdString(Cp1252ToUtf8(cp1252));
}
// A widget's text for the core, exactly; nullopt when it holds a character that
// Windows-1252 cannot hold (the text guard keeps those out of the fields).
inline std::optional<std::string> ExactFromQt(const QString& text) {
  return Utf8ToCp1252Exact(text.toStdString());
}
// The same for text that is known to be storable (a field behind the text guard, an
// entry the core filled in): never changed; a character Windows-1252 cannot hold
// throws VendrixError naming it.
std::string FromQt(const QString& text);
// The refusal of a text that cannot be stored, in the core's words.
std::string FromQtRefusal(const QString& text);
// Foreign text for display only (never stored): characters Windows-1252 cannot hold
// become "?".
inline std::string DisplayFromQt(const QString& text) {
  return Utf8ToCp1252(text.toStdString());
}
// Paths on disk are UTF-8, not Windows-1252.
inline QString PathToQt(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

// A whole script or memo: core text with CR LF line ends <-> editor text with LF; the
// way back converts as FromQt does.
QString ScriptToQt(std::string_view cp1252);
std::string ScriptFromQt(const QString& text);
QString LinesToQt(const Lines& lines);
Lines LinesFromQt(const QString& text);

}  // namespace vendrix::ui
