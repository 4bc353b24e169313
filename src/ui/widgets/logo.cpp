#include "logo.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace vendrix::ui {

QPixmap LogoPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  // A rounded square in deep blue with a white "V" that ends in an arrow upwards:
  // software sent out to the sites.
  QLinearGradient bg(0, 0, 0, s);
  bg.setColorAt(0, QColor(0x2b, 0x6c, 0xb0));
  bg.setColorAt(1, QColor(0x1a, 0x36, 0x5d));
  p.setPen(Qt::NoPen);
  p.setBrush(bg);
  p.drawRoundedRect(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92), s * 0.18, s * 0.18);
  QPen pen(Qt::white, s * 0.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  QPainterPath v;
  v.moveTo(s * 0.22, s * 0.3);
  v.lineTo(s * 0.46, s * 0.78);
  v.lineTo(s * 0.74, s * 0.24);
  p.drawPath(v);
  QPainterPath head;
  head.moveTo(s * 0.58, s * 0.22);
  head.lineTo(s * 0.78, s * 0.16);
  head.lineTo(s * 0.82, s * 0.37);
  p.drawPath(head);
  return pixmap;
}

QIcon LogoIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128, 256}) icon.addPixmap(LogoPixmap(size));
  return icon;
}

}  // namespace vendrix::ui
