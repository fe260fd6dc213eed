#include "Gauge.h"

#include <QLocale>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr int kLabelCount = 5;        // labels at the ends, the middle and the quarters
constexpr int kMinorTicks = 4;        // between two labels
constexpr double kWarningFrom = 0.8;  // the top fifth of the scale is marked red
const QColor kFaceColor(252, 252, 252);
const QColor kOutlineColor(140, 140, 140);
const QColor kWarningColor(230, 80, 70);
const QColor kNeedleColor(200, 20, 20);
const QColor kHubColor(60, 60, 60);

// The point at distance length from centre in the direction of angle (degrees, counter-clockwise).
QPointF Polar(QPointF centre, double length, double degrees) {
  const double radians = degrees * std::numbers::pi / 180;
  return {centre.x() + length * std::cos(radians), centre.y() - length * std::sin(radians)};
}

}  // namespace

TGauge::TGauge(QWidget* parent) : QWidget(parent) {}

void TGauge::SetRange(int minValue, int maxValue) {
  if (minValue > maxValue) std::swap(minValue, maxValue);
  if (minValue == FMinValue && maxValue == FMaxValue) return;
  FMinValue = minValue;
  FMaxValue = maxValue;
  FPosition = std::clamp(FPosition, FMinValue, FMaxValue);
  update();
}

void TGauge::SetPosition(int value) {
  value = std::clamp(value, FMinValue, FMaxValue);
  if (value == FPosition && FHasPosition) return;
  FPosition = value;
  FHasPosition = true;
  update();
}

void TGauge::ClearPosition() {
  if (!FHasPosition) return;
  FHasPosition = false;
  update();
}

QSize TGauge::sizeHint() const {
  return {100, 60};
}

double TGauge::NeedleAngle(int position, int minValue, int maxValue) {
  if (maxValue <= minValue) return 180;
  const double share = std::clamp(
      (static_cast<double>(position) - minValue) / (static_cast<double>(maxValue) - minValue), 0.0,
      1.0);
  return 180 * (1 - share);
}

void TGauge::paintEvent(QPaintEvent* /*event*/) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  QRectF box = rect();
  if (BorderVisible) {
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(box.adjusted(0.5, 0.5, -0.5, -0.5));
    box.adjust(2, 2, -2, -2);
  }

  // Labels are drawn in a font that grows with the dial, so the scale is sized first from the
  // box and the label height then keeps the end labels above the bottom edge.
  QFont labelFont = font();
  const double roughRadius = std::min(box.width() / 2, box.height());
  labelFont.setPixelSize(std::max(7, static_cast<int>(roughRadius / 5)));
  const QFontMetricsF fm(labelFont);
  const double textHeight = fm.height();
  const double radius = std::min(box.width() / 2 - 1, box.height() - textHeight / 2 - 2);
  if (radius < 8) return;
  const QPointF centre(box.center().x(), box.top() + 1 + radius);

  // Face and the red end of the scale.
  const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
  QPainterPath face;
  face.moveTo(centre);
  face.arcTo(circle, 0, 180);
  face.closeSubpath();
  p.setPen(QPen(kOutlineColor, 1));
  p.setBrush(kFaceColor);
  p.drawPath(face);
  const double band = std::max(2.0, radius / 12);
  p.setPen(QPen(kWarningColor, band, Qt::SolidLine, Qt::FlatCap));
  const QRectF bandCircle =
      circle.adjusted(band / 2 + 1, band / 2 + 1, -band / 2 - 1, -band / 2 - 1);
  p.drawArc(bandCircle, 0, static_cast<int>(16 * 180 * (1 - kWarningFrom)));

  // Ticks inward from the rim, labels inside them.
  const double majorLength = radius * 0.16;
  const double minorLength = radius * 0.08;
  const int steps = (kLabelCount - 1) * (kMinorTicks + 1);
  p.setPen(QPen(Qt::black, 1));
  for (int i = 0; i <= steps; ++i) {
    const double angle = 180.0 * (steps - i) / steps;
    const bool major = i % (kMinorTicks + 1) == 0;
    p.drawLine(Polar(centre, radius - 1, angle),
               Polar(centre, radius - 1 - (major ? majorLength : minorLength), angle));
  }
  p.setFont(labelFont);
  const double labelRadius = radius - 1 - majorLength - textHeight * 0.75;
  const QLocale locale;
  for (int i = 0; i < kLabelCount; ++i) {
    const double value =
        FMinValue + (static_cast<double>(FMaxValue) - FMinValue) * i / (kLabelCount - 1);
    const QString text = locale.toString(static_cast<qlonglong>(std::llround(value)));
    const double width = fm.horizontalAdvance(text);
    QPointF at = Polar(centre, labelRadius, 180.0 * (kLabelCount - 1 - i) / (kLabelCount - 1));
    // The end labels would sit on the baseline, under a needle resting at either end.
    at.setY(std::min(at.y(), centre.y() - textHeight * 0.6));
    p.drawText(QRectF(at.x() - width / 2, at.y() - textHeight / 2, width, textHeight),
               Qt::AlignCenter, text);
  }

  // The needle and its hub; without a value only the hub.
  if (FHasPosition) {
    const double angle = NeedleAngle(FPosition, FMinValue, FMaxValue);
    p.setPen(QPen(kNeedleColor, std::max(1.5, radius / 24), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, Polar(centre, radius * 0.85, angle));
  }
  const double hub = std::max(2.5, radius / 12);
  p.setPen(Qt::NoPen);
  p.setBrush(kHubColor);
  p.drawEllipse(centre, hub, hub);
}
