#include "qt_text.h"

#include <QStringList>

#include "base/error.h"

namespace vendrix::ui {

std::string FromQtRefusal(const QString& text) {
  return DisplayFromQt("\"" + text.left(60) +
                       "\" holds characters that cannot be stored (Vendrix keeps its files in "
                       "the Windows-1252 code page). Nothing was changed.");
}

std::string FromQt(const QString& text) {
  if (auto exact = ExactFromQt(text)) return std::move(*exact);
  throw VendrixError(FromQtRefusal(text));
}

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
