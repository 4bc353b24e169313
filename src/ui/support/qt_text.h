#pragma once
// Text between the core (Windows-1252 bytes, CR LF line ends) and Qt (UTF-16, LF).
// Any thread may call these.
#include <QString>
#include <string>
#include <string_view>

#include "base/cp1252.h"
#include "base/line_list.h"

namespace vendrix::ui {

// A core text for a widget.
inline QString ToQt(std::string_view cp1252) {
  return QString::fromStdString(Cp1252ToUtf8(cp1252));
}
// A widget's text for the core; characters Windows-1252 cannot hold become "?".
inline std::string FromQt(const QString& text) {
  return Utf8ToCp1252(text.toStdString());
}
// Paths on disk are UTF-8, not Windows-1252.
inline QString PathToQt(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

// A whole script or memo: core text with CR LF line ends <-> editor text with LF.
QString ScriptToQt(std::string_view cp1252);
std::string ScriptFromQt(const QString& text);
QString LinesToQt(const Lines& lines);
Lines LinesFromQt(const QString& text);

}  // namespace vendrix::ui
