#pragma once

#include <QColor>
#include <QDateTime>
#include <QRect>
#include <QString>
#include <QWidget>
#include <vector>

// A light chart: a few series of (x, y) points over two axes, painted with QPainter.
// The model (axes, series, points) is plain data that code and tests read directly.

enum class TSeriesKind { Line, Bar, Area, Point };

struct TChartPoint {
  double X = 0;
  double Y = 0;
  QColor Color;  // invalid: drawn in the series colour
};

struct TChartSeries {
  TSeriesKind Kind = TSeriesKind::Line;
  QColor Color;
  bool MarksVisible = false;
  std::vector<TChartPoint> Points;
};

// A stretch of x reduced to the least, average and greatest value in it, as a long view draws
// one pixel column; NaN values where the stretch holds none.
struct TChartColumn {
  double X = 0;      // the middle of the stretch
  double Width = 0;  // its length along x
  double Minimum = 0;
  double Average = 0;
  double Maximum = 0;
};

// Columns drawn as a band from their minimums to their maximums with a line through their
// averages, broken where a column holds nothing.
struct TChartBand {
  QColor Color;
  std::vector<TChartColumn> Columns;
};

// A moment marked across the plot by a thin vertical line, its text in the tooltip (an alert
// that fired or cleared, say).
struct TChartEvent {
  double X = 0;
  QString Text;
  QColor Color;
};

struct TChartAxis {
  double Minimum = 0;
  double Maximum = 1;
  double Increment = 0;  // 0: the view picks a step that keeps labels apart
  int MinorTickCount = 4;
  int MinorTickLength = 3;
  int TickLength = 5;
  bool Inverted = false;
  bool RoundFirstLabel = true;
  // When labels are thinned out for room, keep the major ticks at every Increment, so that
  // unlabelled ticks stand between the labels; otherwise ticks stand only at labels.
  bool LabelsBetweenTicks = false;
  QString Title;
};

class TChart : public QWidget {
  Q_OBJECT
 public:
  explicit TChart(QWidget* parent = nullptr);

  TChartAxis BottomAxis;
  TChartAxis LeftAxis;
  int MaxPointsPerPage = 0;  // the graph length: minutes the chart shows in its own view
  QMargins ChartMargins{2, 5, 2, 0};
  QColor BackColor = Qt::white;

  // Appends an empty series. The returned reference stays valid while the chart holds at
  // most four series (room for four is made on the first call).
  TChartSeries& AddSeries(TSeriesKind kind, const QColor& color);
  int SeriesCount() const { return static_cast<int>(Series.size()); }
  std::vector<TChartSeries> Series;
  std::vector<TChartBand> Bands;    // drawn under the series
  std::vector<TChartEvent> Events;  // drawn over them

  // The moment at x = 0 when x counts time units before it, so that tooltips can tell a point's
  // time; invalid while unknown.
  QDateTime TimeAtZero;
  int UnitSeconds = 60;    // one unit of x
  int ValueDecimals = -1;  // of the values tooltips tell; -1: as many as they have

  // The tooltip for pos: the texts of the events marked within a few pixels, then time and value
  // of the nearest point, or time span and values of the nearest column, in the user's locale;
  // empty outside the plot or on an empty chart.
  QString ToolTipAt(const QPoint& pos) const;

  QSize sizeHint() const override;

  // The rectangle the series are drawn in, for the current size, font, axes and margins.
  QRect PlotRect() const;

  // Pixel position of (x, y) in plot: x = Minimum of the bottom axis at plot's left edge (its
  // right edge when Inverted), y = Maximum of the left axis at the top. Values outside an axis
  // map outside plot. An axis whose range is empty or not finite is drawn as Minimum to Minimum
  // + 1.
  static QPointF MapPoint(double x, double y, const QRectF& plot, const TChartAxis& bottom,
                          const TChartAxis& left);

  // Distance between labelled values on an axis pixels long whose labels need minSpacing
  // pixels each: Increment times 1, 2, 5, 10, 20, ..., or without Increment the smallest
  // 1, 2 or 5 times a power of ten that keeps labels minSpacing apart.
  static double LabelStep(const TChartAxis& axis, double pixels, double minSpacing);

  // The values from Minimum to Maximum that get a tick every step apart: starting at the first
  // multiple of step when RoundFirstLabel, else at Minimum itself.
  static std::vector<double> TickValues(const TChartAxis& axis, double step);

  // An axis label: value with as many decimals as step needs, in the user's locale.
  static QString FormatLabel(double value, double step);

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void DrawBands(QPainter& p, const QRectF& area) const;
  void DrawEvents(QPainter& p, const QRectF& area) const;
};
