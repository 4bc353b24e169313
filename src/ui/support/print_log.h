#pragma once
// Prints lines of text as they are, one printed line per line, in the given font,
// on as many pages as they need (Print Log). GUI thread only.
#include <QFont>
#include <QStringList>

class QPrinter;

namespace vendrix::ui {

// False when the printer could not be started.
bool PrintLines(QPrinter& printer, const QStringList& lines, const QFont& font);

}  // namespace vendrix::ui
