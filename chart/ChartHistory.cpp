// What a chart of real poll times adds: long views drawn as bands of columns, and tooltips
// that read a point's time and value.
#include <QHelpEvent>
#include <QLocale>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "Chart.h"

namespace {

constexpr double kFar = 1e5;       // mapped coordinates are held this far around the plot
constexpr double kEventReach = 3;  // pixels either side of an event's line that show its text

bool Finite(const TChartColumn& column) {
  return std::isfinite(column.X) && std::isfinite(column.Minimum) &&
         std::isfinite(column.Average) && std::isfinite(column.Maximum);
}

QString ValueText(double value, int decimals, const QLocale& locale) {
  return decimals < 0 ? locale.toString(value, 'g', 15) : locale.toString(value, 'f', decimals);
}

}  // namespace

void TChart::DrawBands(QPainter& p, const QRectF& area) const {
  const auto map = [&](double x, double y) {
    const QPointF pos = MapPoint(x, y, area, BottomAxis, LeftAxis);
    return QPointF(std::clamp(pos.x(), area.left() - kFar, area.right() + kFar),
                   std::clamp(pos.y(), area.top() - kFar, area.bottom() + kFar));
  };
  for (const TChartBand& band : Bands) {
    QPolygonF upper, lower, middle;
    const auto flush = [&] {
      if (middle.size() == 1) {
        p.setPen(QPen(band.Color, 1));
        p.drawLine(upper.front(), lower.front());
      } else if (middle.size() > 1) {
        QPolygonF shape = upper;
        for (auto point = lower.crbegin(); point != lower.crend(); ++point) shape << *point;
        QColor fill = band.Color;
        fill.setAlpha(64);
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawPolygon(shape);
        p.setPen(QPen(band.Color, 1));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(middle);
      }
      upper.clear();
      lower.clear();
      middle.clear();
    };
    for (const TChartColumn& column : band.Columns) {
      if (!Finite(column)) {
        flush();
        continue;
      }
      upper << map(column.X, column.Maximum);
      lower << map(column.X, column.Minimum);
      middle << map(column.X, column.Average);
    }
    flush();
  }
}

void TChart::DrawEvents(QPainter& p, const QRectF& area) const {
  for (const TChartEvent& event : Events) {
    const double x = MapPoint(event.X, 0, area, BottomAxis, LeftAxis).x();
    if (!std::isfinite(x)) continue;
    p.setPen(QPen(event.Color.isValid() ? event.Color : QColor(Qt::darkGray), 1, Qt::DashLine));
    p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
  }
}

QString TChart::ToolTipAt(const QPoint& pos) const {
  const QRect plot = PlotRect();
  if (!plot.contains(pos)) return {};
  const QRectF area(plot.left(), plot.top(), plot.width() - 1, plot.height() - 1);
  const QLocale locale;
  const auto timeAt = [&](double x) {
    const QDateTime moment = TimeAtZero.addSecs(-std::llround(x * UnitSeconds));
    return locale.toString(moment, locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') +
                                       locale.timeFormat(QLocale::LongFormat));
  };
  const QString unit = LeftAxis.Title.isEmpty() ? QString() : QLatin1Char(' ') + LeftAxis.Title;
  QStringList lines;
  double nearest = INFINITY;
  // Distance to a point, or to a column's stretch from its minimum to its maximum.
  const auto consider = [&](double x, double low, double high, const auto& describe) {
    const QPointF top = MapPoint(x, high, area, BottomAxis, LeftAxis);
    const QPointF bottom = MapPoint(x, low, area, BottomAxis, LeftAxis);
    const double y =
        std::clamp<double>(pos.y(), std::min(top.y(), bottom.y()), std::max(top.y(), bottom.y()));
    const double distance = std::hypot(top.x() - pos.x(), y - pos.y());
    if (!(distance < nearest)) return;
    nearest = distance;
    lines = describe();
  };
  for (const TChartSeries& series : Series) {
    for (const TChartPoint& point : series.Points) {
      if (!std::isfinite(point.X) || !std::isfinite(point.Y)) continue;
      consider(point.X, point.Y, point.Y, [&] {
        QStringList text;
        if (TimeAtZero.isValid()) text << timeAt(point.X);
        return text << ValueText(point.Y, ValueDecimals, locale) + unit;
      });
    }
  }
  for (const TChartBand& band : Bands) {
    for (const TChartColumn& column : band.Columns) {
      if (!Finite(column)) continue;
      consider(column.X, column.Minimum, column.Maximum, [&] {
        QStringList text;
        // x counts back in time: the column's larger x is its start.
        if (TimeAtZero.isValid())
          text << timeAt(column.X + column.Width / 2) + QStringLiteral(" \u2013 ") +
                      timeAt(column.X - column.Width / 2);
        return text << QStringLiteral("Average %1%2")
                           .arg(ValueText(column.Average, ValueDecimals, locale), unit)
                    << QStringLiteral("Lowest %1, highest %2")
                           .arg(ValueText(column.Minimum, ValueDecimals, locale),
                                ValueText(column.Maximum, ValueDecimals, locale));
      });
    }
  }
  // Events near the pointer come first: they are what a line across the plot stands for.
  QStringList events;
  for (const TChartEvent& event : Events) {
    const double x = MapPoint(event.X, 0, area, BottomAxis, LeftAxis).x();
    if (std::abs(x - pos.x()) <= kEventReach) events << event.Text;
  }
  return (events + lines).join(QLatin1Char('\n'));
}

bool TChart::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QWidget::event(event);
  const auto* help = static_cast<QHelpEvent*>(event);
  const QString text = ToolTipAt(help->pos());
  if (text.isEmpty()) {
    QToolTip::hideText();
    event->ignore();
  } else {
    // Moving off the spot hides it, so that the next rest shows the point nearest to that.
    QToolTip::showText(help->globalPos(), text, this,
                       QRect(help->pos() - QPoint(2, 2), QSize(5, 5)));
  }
  return true;
}
