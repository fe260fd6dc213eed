#include "CorvaneIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>
#include <numbers>

QPixmap CorvaneIconPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);

  // Rounded tile.
  p.setPen(QPen(QColor(0x0b, 0x2e, 0x4f), 1));
  p.setBrush(QColor(0x1f, 0x4e, 0x79));
  p.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 5, 5);

  // Graph along the bottom.
  const QPolygonF graph{{4, 27}, {9, 24}, {13, 26}, {18, 21}, {23, 23}, {28, 18}};
  p.setPen(QPen(QColor(0xff, 0xb3, 0x40), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPolyline(graph);

  // Dial: a half circle with ticks.
  const QPointF centre(16, 17);
  const double radius = 12;
  p.setPen(QPen(Qt::white, 2));
  p.drawArc(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), 0, 180 * 16);
  p.setPen(QPen(Qt::white, 1.2));
  for (int tick = 0; tick <= 4; ++tick) {
    const double angle = std::numbers::pi * tick / 4;
    const QPointF dir(std::cos(angle), -std::sin(angle));
    p.drawLine(centre + dir * (radius - 3.5), centre + dir * (radius - 1));
  }

  // Needle.
  const double needle = std::numbers::pi * 0.3;
  p.setPen(QPen(QColor(0x3c, 0xd0, 0x6e), 2.2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(centre, centre + QPointF(std::cos(needle), -std::sin(needle)) * (radius - 2));
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(centre, 2, 2);
  return pixmap;
}

QIcon CorvaneIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48}) icon.addPixmap(CorvaneIconPixmap(size));
  return icon;
}
