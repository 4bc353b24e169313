#include "qt_text.h"

#include <QStringList>

namespace vendrix::ui {

QString ScriptToQt(std::string_view cp1252) {
  QString text = ToQt(NormaliseLineEnds(cp1252));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

std::string ScriptFromQt(const QString& text) {
  QString crlf = text;
  crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  crlf.replace(QChar('\n'), QStringLiteral("\r\n"));
  return FromQt(crlf);
}

QString LinesToQt(const Lines& lines) {
  QStringList out;
  out.reserve(static_cast<qsizetype>(lines.size()));
  for (const auto& l : lines) out << ToQt(l);
  return out.join(QChar('\n'));
}

Lines LinesFromQt(const QString& text) {
  if (text.isEmpty()) return {};
  return SplitLines(FromQt(text));
}

}  // namespace vendrix::ui
