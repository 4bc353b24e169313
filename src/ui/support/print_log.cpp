#include "print_log.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>

namespace vendrix::ui {

bool PrintLines(QPrinter& printer, const QStringList& lines, const QFont& font) {
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  // The font keeps its size on paper: point sizes scale with the printer's resolution.
  QFont paperFont(font, painter.device());
  painter.setFont(paperFont);
  const QFontMetrics metrics(paperFont, painter.device());
  const QRect page = painter.viewport();
  const int lineHeight = metrics.lineSpacing();
  int y = 0;
  for (const QString& line : lines) {
    if (y + lineHeight > page.height() && y > 0) {
      printer.newPage();
      y = 0;
    }
    // A line wider than the page is cut at the page's edge, as a list shows it.
    painter.drawText(QRect(0, y, page.width(), lineHeight), Qt::AlignLeft | Qt::AlignVCenter, line);
    y += lineHeight;
  }
  painter.end();
  return true;
}

}  // namespace vendrix::ui
