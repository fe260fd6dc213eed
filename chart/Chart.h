#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <vector>

// A light chart: a few series of (x, y) points over two axes, painted with QPainter.
// The model (axes, series, points) is plain data that code and tests read directly.

enum class TSeriesKind { Line, Bar, Area, Point };

struct TChartPoint {
  double X = 0;
  double Y = 0;
  QColor Color;
};

struct TChartSeries {
  TSeriesKind Kind = TSeriesKind::Line;
  QColor Color;
  bool MarksVisible = false;
  std::vector<TChartPoint> Points;
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
  bool LabelsBetweenTicks = false;
  QString Title;
};

class TChart : public QWidget {
  Q_OBJECT
 public:
  explicit TChart(QWidget* parent = nullptr);

  TChartAxis BottomAxis;
  TChartAxis LeftAxis;
  int MaxPointsPerPage = 0;
  QMargins ChartMargins{2, 5, 2, 0};
  QColor BackColor = Qt::white;

  TChartSeries& AddSeries(TSeriesKind kind, const QColor& color);
  int SeriesCount() const { return static_cast<int>(Series.size()); }
  std::vector<TChartSeries> Series;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};
