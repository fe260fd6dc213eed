#include "Chart.h"

#include <QLocale>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kLabelGapX = 8;           // free pixels between two bottom-axis labels
constexpr int kLabelGapY = 2;           // free pixels between two left-axis labels
constexpr int kTextGap = 2;             // between a tick and its label, a title and the labels
constexpr double kMinTickSpacing = 4;   // closer major ticks would merge into a bar
constexpr double kMinMinorSpacing = 2;  // likewise for minor ticks
constexpr double kFar = 1e5;            // mapped coordinates are held this far around the plot
constexpr int kMaxTicks = 10000;
const QColor kGridColor(208, 208, 208);
const QColor kFrameColor(128, 128, 128);

struct TRange {
  double Lo;
  double Hi;
};

// The range an axis is drawn with: an empty, reversed or non-finite range must not divide by
// zero or turn the scale around.
TRange RangeOf(const TChartAxis& axis) {
  double lo = std::isfinite(axis.Minimum) ? axis.Minimum : 0;
  double hi = std::isfinite(axis.Maximum) ? axis.Maximum : lo + 1;
  if (hi < lo) std::swap(lo, hi);
  if (!(hi - lo > 0) || !std::isfinite(hi - lo)) hi = lo + 1;
  return {lo, hi};
}

int LongestTick(const TChartAxis& axis) {
  return std::max({axis.TickLength, axis.MinorTickLength, 0});
}

double TickStep(const TChartAxis& axis, double labelStep, double pixelsPerUnit) {
  if (axis.LabelsBetweenTicks && axis.Increment > 0 && axis.Increment < labelStep &&
      axis.Increment * pixelsPerUnit >= kMinTickSpacing)
    return axis.Increment;
  return labelStep;
}

struct TAxisLayout {
  double LabelStep = 1;
  double TickStep = 1;
};

struct TChartLayout {
  QRect Plot;
  TAxisLayout Bottom;
  TAxisLayout Left;
};

TChartLayout ComputeLayout(const TChart& chart, const QFontMetrics& fm) {
  TChartLayout layout;
  const QMargins& m = chart.ChartMargins;
  const TChartAxis& bottomAxis = chart.BottomAxis;
  const TChartAxis& leftAxis = chart.LeftAxis;
  const int textHeight = fm.height();

  // Vertically the plot leaves half a label above it (the top label is centred on the top
  // edge) and the ticks, labels and title of the bottom axis below it.
  const int top = m.top() + textHeight / 2;
  const int bottom = chart.height() - m.bottom() - (bottomAxis.Title.isEmpty() ? 0 : textHeight) -
                     textHeight - kTextGap - LongestTick(bottomAxis);
  const TRange leftRange = RangeOf(leftAxis);
  const double plotHeight = bottom - top;
  layout.Left.LabelStep = TChart::LabelStep(leftAxis, plotHeight, textHeight + kLabelGapY);
  layout.Left.TickStep =
      TickStep(leftAxis, layout.Left.LabelStep, plotHeight / (leftRange.Hi - leftRange.Lo));

  int leftLabelWidth = 0;
  for (double value : TChart::TickValues(leftAxis, layout.Left.LabelStep))
    leftLabelWidth = std::max(
        leftLabelWidth, fm.horizontalAdvance(TChart::FormatLabel(value, layout.Left.LabelStep)));

  // Horizontally: the left axis title, labels and ticks, and half of a bottom label at either
  // edge, since labels are centred on their ticks.
  const TRange range = RangeOf(bottomAxis);
  const double leftEdgeValue = bottomAxis.Inverted ? range.Hi : range.Lo;
  const double rightEdgeValue = bottomAxis.Inverted ? range.Lo : range.Hi;
  auto labelWidth = [&](double value, double step) {
    return fm.horizontalAdvance(TChart::FormatLabel(value, step));
  };
  auto widestEdgeLabel = [&](double step) {
    return std::max(labelWidth(range.Lo, step), labelWidth(range.Hi, step));
  };
  const double guess = bottomAxis.Increment > 0 ? bottomAxis.Increment : (range.Hi - range.Lo) / 10;
  const int left = std::max(m.left() + (leftAxis.Title.isEmpty() ? 0 : textHeight + kTextGap) +
                                leftLabelWidth + kTextGap + LongestTick(leftAxis),
                            m.left() + labelWidth(leftEdgeValue, guess) / 2);
  const int right = chart.width() - m.right() - (labelWidth(rightEdgeValue, guess) + 1) / 2;
  layout.Plot = QRect(left, top, right - left, bottom - top);

  const double plotWidth = layout.Plot.width();
  const int guessWidth = widestEdgeLabel(guess);
  double step = TChart::LabelStep(bottomAxis, plotWidth, guessWidth + kLabelGapX);
  if (const int width = widestEdgeLabel(step); width > guessWidth)
    step = TChart::LabelStep(bottomAxis, plotWidth, width + kLabelGapX);
  layout.Bottom.LabelStep = step;
  layout.Bottom.TickStep = TickStep(bottomAxis, step, plotWidth / (range.Hi - range.Lo));
  return layout;
}

double Clamp(double v, double lo, double hi) {
  return std::min(std::max(v, lo), hi);
}

QColor PointColor(const TChartPoint& point, const QColor& fallback) {
  return point.Color.isValid() ? point.Color : fallback;
}

struct TMappedPoint {
  QPointF Pos;
  QColor Color;
  bool AfterGap = false;  // a missing value stands between this point and the one before
};

// Calls draw(first, last) for each run of points with no missing value between them.
template <typename Draw>
void ForEachUnbrokenRun(const std::vector<TMappedPoint>& points, Draw draw) {
  size_t first = 0;
  for (size_t i = 1; i <= points.size(); ++i) {
    if (i == points.size() || points[i].AfterGap) {
      draw(first, i - 1);
      first = i;
    }
  }
}

// Calls draw(first, last, colour) for each run of points from begin to end that share a
// colour; a run ends on the first point of the next one, so that lines and areas join up. A
// segment takes the colour of its earlier point.
template <typename Draw>
void ForEachColourRun(const std::vector<TMappedPoint>& points, size_t begin, size_t end,
                      Draw draw) {
  size_t first = begin;
  while (first < end) {
    const QColor& colour = points[first].Color;
    size_t last = first + 1;
    while (last < end && points[last].Color == colour) ++last;
    draw(first, last, colour);
    first = last;
  }
}

QPolygonF Polyline(const std::vector<TMappedPoint>& points, size_t first, size_t last) {
  QPolygonF line;
  line.reserve(static_cast<qsizetype>(last - first + 3));
  for (size_t i = first; i <= last; ++i) line << points[i].Pos;
  return line;
}

void FillMarker(QPainter& p, QPointF at, const QColor& colour) {
  const QRect box(qRound(at.x()) - 2, qRound(at.y()) - 2, 5, 5);
  p.fillRect(box, colour);
  p.setPen(colour.darker(140));
  p.setBrush(Qt::NoBrush);
  p.drawRect(box.adjusted(0, 0, -1, -1));
}

// Width of a bar: most of the narrowest gap between neighbouring points, within reason.
double BarWidth(const std::vector<TMappedPoint>& points, double plotWidth) {
  double gap = plotWidth;
  for (size_t i = 1; i < points.size(); ++i) {
    const double d = std::abs(points[i].Pos.x() - points[i - 1].Pos.x());
    if (d > 0) gap = std::min(gap, d);
  }
  return Clamp(gap * 0.7, 1, std::max(3.0, plotWidth / 8));
}

void DrawSeries(QPainter& p, const TChartSeries& series, const QRectF& area, const TChart& chart,
                std::vector<TMappedPoint>& mapped) {
  mapped.clear();
  bool gap = false;
  for (const TChartPoint& point : series.Points) {
    if (!std::isfinite(point.X) || !std::isfinite(point.Y)) {
      gap = true;
      continue;
    }
    QPointF pos = TChart::MapPoint(point.X, point.Y, area, chart.BottomAxis, chart.LeftAxis);
    pos.setX(Clamp(pos.x(), area.left() - kFar, area.right() + kFar));
    pos.setY(Clamp(pos.y(), area.top() - kFar, area.bottom() + kFar));
    mapped.push_back({pos, PointColor(point, series.Color), gap && !mapped.empty()});
    gap = false;
  }
  if (mapped.empty()) return;

  const TRange values = RangeOf(chart.LeftAxis);
  const double baseY =
      TChart::MapPoint(0, Clamp(0, values.Lo, values.Hi), area, chart.BottomAxis, chart.LeftAxis)
          .y();

  switch (series.Kind) {
    // A missed poll breaks lines and areas; a point with no neighbour still shows.
    case TSeriesKind::Line:
      ForEachUnbrokenRun(mapped, [&](size_t begin, size_t end) {
        if (begin == end) FillMarker(p, mapped[begin].Pos, mapped[begin].Color);
        ForEachColourRun(mapped, begin, end, [&](size_t first, size_t last, const QColor& colour) {
          p.setPen(QPen(colour, 1));
          p.drawPolyline(Polyline(mapped, first, last));
        });
      });
      break;
    case TSeriesKind::Area:
      ForEachUnbrokenRun(mapped, [&](size_t begin, size_t end) {
        if (begin == end) {
          p.setPen(QPen(mapped[begin].Color, 1));
          p.drawLine(QPointF(mapped[begin].Pos.x(), baseY), mapped[begin].Pos);
        }
        ForEachColourRun(mapped, begin, end, [&](size_t first, size_t last, const QColor& colour) {
          QPolygonF shape = Polyline(mapped, first, last);
          p.setPen(Qt::NoPen);
          QColor fill = colour;
          fill.setAlpha(96);
          p.setBrush(fill);
          p.drawPolygon(shape << QPointF(mapped[last].Pos.x(), baseY)
                              << QPointF(mapped[first].Pos.x(), baseY));
          shape.resize(shape.size() - 2);
          p.setPen(QPen(colour, 1));
          p.setBrush(Qt::NoBrush);
          p.drawPolyline(shape);
        });
      });
      break;
    case TSeriesKind::Bar: {
      const double width = BarWidth(mapped, area.width());
      for (const TMappedPoint& point : mapped) {
        const double x = point.Pos.x() - width / 2;
        const QRect bar = QRectF(QPointF(x, std::min(point.Pos.y(), baseY)),
                                 QPointF(x + width, std::max(point.Pos.y(), baseY)))
                              .toRect();
        p.fillRect(bar, point.Color);
        if (bar.width() >= 4) {
          p.setPen(point.Color.darker(140));
          p.setBrush(Qt::NoBrush);
          p.drawRect(bar.adjusted(0, 0, -1, -1));
        }
      }
      break;
    }
    case TSeriesKind::Point:
      for (const TMappedPoint& point : mapped) FillMarker(p, point.Pos, point.Color);
      break;
  }
}

// Value labels above the points, skipping those that would cover the previous one.
void DrawMarks(QPainter& p, const TChartSeries& series, const std::vector<TMappedPoint>& mapped,
               const QFontMetrics& fm) {
  QRect previous;
  size_t i = 0;
  for (const TChartPoint& point : series.Points) {
    if (!std::isfinite(point.X) || !std::isfinite(point.Y)) continue;
    const QPointF at = mapped[i++].Pos;
    const bool whole = point.Y == std::round(point.Y);
    const QString text = TChart::FormatLabel(point.Y, whole ? 1 : 0.01);
    const int width = fm.horizontalAdvance(text);
    const QRect box(qRound(at.x()) - width / 2, qRound(at.y()) - 4 - fm.height(), width,
                    fm.height());
    if (previous.isValid() && box.adjusted(-kTextGap, 0, kTextGap, 0).intersects(previous))
      continue;
    p.setPen(Qt::black);
    p.drawText(box, Qt::AlignCenter, text);
    previous = box;
  }
}

// Ticks, labels and title of one axis. along(v) is the pixel coordinate of value v along the
// axis; the axis line itself is the plot frame.
template <typename Along>
void DrawAxis(QPainter& p, const TChartAxis& axis, const TAxisLayout& layout, bool horizontal,
              const QRect& plot, const QRect& widget, const QFontMetrics& fm, Along along) {
  const TRange range = RangeOf(axis);
  const std::vector<double> ticks = TChart::TickValues(axis, layout.TickStep);
  auto tick = [&](double value, int length) {
    const int at = qRound(along(value));
    if (horizontal)
      p.drawLine(at, plot.bottom() + 1, at, plot.bottom() + length);
    else
      p.drawLine(plot.left() - length, at, plot.left() - 1, at);
  };

  p.setPen(Qt::black);
  if (axis.TickLength > 0)
    for (double value : ticks) tick(value, axis.TickLength);

  const double pixelsPerStep = std::abs(along(range.Lo + layout.TickStep) - along(range.Lo));
  const int minors = axis.MinorTickCount;
  if (minors > 0 && axis.MinorTickLength > 0 && !ticks.empty() &&
      pixelsPerStep / (minors + 1) >= kMinMinorSpacing) {
    const double minorStep = layout.TickStep / (minors + 1);
    const double eps = minorStep * 1e-6;
    for (double major = ticks.front() - layout.TickStep; major <= range.Hi;
         major += layout.TickStep)
      for (int k = 1; k <= minors; ++k) {
        const double value = major + k * minorStep;
        if (value >= range.Lo - eps && value <= range.Hi + eps) tick(value, axis.MinorTickLength);
      }
  }

  // Labels in value order; one that would touch the previous one is left out.
  const int textHeight = fm.height();
  const int tickRoom = LongestTick(axis) + kTextGap;
  QRect previous;
  for (double value : TChart::TickValues(axis, layout.LabelStep)) {
    const QString text = TChart::FormatLabel(value, layout.LabelStep);
    const int width = fm.horizontalAdvance(text);
    const int at = qRound(along(value));
    QRect box = horizontal
                    ? QRect(at - width / 2, plot.bottom() + 1 + tickRoom, width, textHeight)
                    : QRect(plot.left() - tickRoom - width, at - textHeight / 2, width, textHeight);
    box.moveLeft(
        std::clamp(box.left(), widget.left(), std::max(widget.left(), widget.right() - width)));
    box.moveTop(
        std::clamp(box.top(), widget.top(), std::max(widget.top(), widget.bottom() - textHeight)));
    const QRect room = horizontal ? box.adjusted(-kLabelGapX / 2, 0, kLabelGapX / 2, 0)
                                  : box.adjusted(0, -kLabelGapY / 2, 0, kLabelGapY / 2);
    if (previous.isValid() && room.intersects(previous)) continue;
    p.drawText(box, Qt::AlignCenter, text);
    previous = room;
  }

  if (axis.Title.isEmpty()) return;
  if (horizontal) {
    const QRect box(plot.left(), plot.bottom() + 1 + tickRoom + textHeight, plot.width(),
                    textHeight);
    p.drawText(box, Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip, axis.Title);
  } else {
    // Written upwards, centred on the plot where the widget has room for it, else moved
    // (or, when longer than the widget is high, shortened) to stay whole.
    const QString title = fm.elidedText(axis.Title, Qt::ElideRight, widget.height());
    const int length = fm.horizontalAdvance(title);
    const int centre =
        std::clamp(plot.center().y(), widget.top() + length / 2,
                   std::max(widget.top() + length / 2, widget.bottom() - length / 2));
    p.save();
    p.translate(widget.left(), centre);
    p.rotate(-90);
    p.drawText(QRect(-length / 2 - 1, 0, length + 2, textHeight), Qt::AlignHCenter | Qt::AlignTop,
               title);
    p.restore();
  }
}

void DrawGrid(QPainter& p, const TChart& chart, const TChartLayout& layout, const QRectF& area) {
  p.setPen(QPen(kGridColor, 1, Qt::DotLine));
  const QRect& plot = layout.Plot;
  for (double x : TChart::TickValues(chart.BottomAxis, layout.Bottom.LabelStep)) {
    const int at = qRound(TChart::MapPoint(x, 0, area, chart.BottomAxis, chart.LeftAxis).x());
    if (at > plot.left() && at < plot.right())
      p.drawLine(at, plot.top() + 1, at, plot.bottom() - 1);
  }
  for (double y : TChart::TickValues(chart.LeftAxis, layout.Left.LabelStep)) {
    const int at = qRound(TChart::MapPoint(0, y, area, chart.BottomAxis, chart.LeftAxis).y());
    if (at > plot.top() && at < plot.bottom())
      p.drawLine(plot.left() + 1, at, plot.right() - 1, at);
  }
}

}  // namespace

TChart::TChart(QWidget* parent) : QWidget(parent) {
  // paintEvent fills every pixel, so Qt need not clear the background first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

TChartSeries& TChart::AddSeries(TSeriesKind kind, const QColor& color) {
  if (Series.capacity() < 4) Series.reserve(4);
  TChartSeries& series = Series.emplace_back();
  series.Kind = kind;
  series.Color = color;
  return series;
}

QSize TChart::sizeHint() const {
  return {400, 113};
}

QRect TChart::PlotRect() const {
  return ComputeLayout(*this, fontMetrics()).Plot;
}

QPointF TChart::MapPoint(double x, double y, const QRectF& plot, const TChartAxis& bottom,
                         const TChartAxis& left) {
  const TRange xs = RangeOf(bottom);
  const TRange ys = RangeOf(left);
  const double fx = (x - xs.Lo) / (xs.Hi - xs.Lo);
  const double fy = (y - ys.Lo) / (ys.Hi - ys.Lo);
  const double px =
      bottom.Inverted ? plot.right() - fx * plot.width() : plot.left() + fx * plot.width();
  return {px, plot.bottom() - fy * plot.height()};
}

double TChart::LabelStep(const TChartAxis& axis, double pixels, double minSpacing) {
  const TRange range = RangeOf(axis);
  const double span = range.Hi - range.Lo;
  double least = pixels > 0 ? span * std::max(minSpacing, 1.0) / pixels : span;
  if (!(least > 0) || !std::isfinite(least)) least = span;
  least *= 1 - 1e-9;  // a step that just fits is taken

  const bool fixed = axis.Increment > 0 && std::isfinite(axis.Increment);
  double unit = fixed ? axis.Increment : std::pow(10.0, std::floor(std::log10(least)));
  for (int decade = 0; decade < 700 && std::isfinite(unit); ++decade, unit *= 10)
    for (double factor : {1.0, 2.0, 5.0})
      if (unit * factor >= least) return unit * factor;
  return span;
}

std::vector<double> TChart::TickValues(const TChartAxis& axis, double step) {
  const TRange range = RangeOf(axis);
  std::vector<double> values;
  if (!(step > 0) || !std::isfinite(step)) {
    values.push_back(range.Lo);
    return values;
  }
  const double eps = step * 1e-9;
  const double first = axis.RoundFirstLabel ? std::ceil(range.Lo / step - 1e-9) * step : range.Lo;
  for (int i = 0; i < kMaxTicks; ++i) {
    double value = first + i * step;
    if (value > range.Hi + eps) break;
    if (std::abs(value) < eps) value = 0;
    values.push_back(value);
  }
  return values;
}

QString TChart::FormatLabel(double value, double step) {
  int decimals = 0;
  double scaled = std::abs(step);
  while (decimals < 6 && std::isfinite(scaled) &&
         std::abs(scaled - std::round(scaled)) > 1e-6 * std::max(1.0, scaled)) {
    scaled *= 10;
    ++decimals;
  }
  const double scale = std::pow(10.0, decimals);
  double shown = std::round(value * scale) / scale;
  if (shown == 0) shown = 0;  // no "-0"
  return QLocale().toString(shown, 'f', decimals);
}

void TChart::paintEvent(QPaintEvent* /*event*/) {
  QPainter p(this);
  p.fillRect(rect(), BackColor);
  const QFontMetrics fm = fontMetrics();
  const TChartLayout layout = ComputeLayout(*this, fm);
  const QRect& plot = layout.Plot;
  if (plot.width() < 2 || plot.height() < 2) return;
  // Values map onto the plot's outermost pixel rows and columns.
  const QRectF area(plot.left(), plot.top(), plot.width() - 1, plot.height() - 1);

  // Grid and frame first: a series at the edge of its range is drawn over the axis line.
  DrawGrid(p, *this, layout, area);
  p.setPen(kFrameColor);
  p.setBrush(Qt::NoBrush);
  p.drawRect(plot.adjusted(0, 0, -1, -1));
  p.setPen(Qt::black);
  p.drawLine(plot.bottomLeft(), plot.bottomRight());
  p.drawLine(plot.topLeft(), plot.bottomLeft());

  p.setClipRect(plot);
  DrawBands(p, area);
  std::vector<TMappedPoint> mapped;
  for (const TChartSeries& series : Series) {
    DrawSeries(p, series, area, *this, mapped);
    if (series.MarksVisible) DrawMarks(p, series, mapped, fm);
  }
  DrawEvents(p, area);
  p.setClipping(false);

  DrawAxis(p, BottomAxis, layout.Bottom, true, plot, rect(), fm,
           [&](double x) { return MapPoint(x, 0, area, BottomAxis, LeftAxis).x(); });
  DrawAxis(p, LeftAxis, layout.Left, false, plot, rect(), fm,
           [&](double y) { return MapPoint(0, y, area, BottomAxis, LeftAxis).y(); });
}
