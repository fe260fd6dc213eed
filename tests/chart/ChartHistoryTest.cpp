#include <gtest/gtest.h>

#include <QImage>
#include <QLocale>
#include <cmath>

#include "Chart.h"

namespace {

const QColor kBand(0, 128, 0);
const double kGap = std::nan("");

// A 15-minute chart as a monitor row sets it up, with its right edge at 08:30:00 UTC.
struct THistoryChart {
  THistoryChart() {
    Chart.resize(400, 113);
    Chart.BottomAxis.Maximum = 15;
    Chart.BottomAxis.Increment = 5;
    Chart.BottomAxis.Inverted = true;
    Chart.BottomAxis.Title = "Minutes";
    Chart.LeftAxis.Minimum = -1;
    Chart.LeftAxis.Maximum = 100;
    Chart.LeftAxis.Increment = 25;
    Chart.LeftAxis.Title = "% Load";
    Chart.TimeAtZero = QDateTime(QDate(2026, 7, 12), QTime(8, 30), Qt::UTC);
  }
  QPoint At(double x, double y) const {
    const QRect plot = Chart.PlotRect();
    const QRectF area(plot.left(), plot.top(), plot.width() - 1, plot.height() - 1);
    return TChart::MapPoint(x, y, area, Chart.BottomAxis, Chart.LeftAxis).toPoint();
  }
  TChart Chart;
};

struct TToolTipCase {
  const char* Name;
  QLocale Locale;
  bool KnowsTime;
  QPointF Hover;  // in chart values, near what it should find
  const char* Expected;
};

class ChartToolTip : public ::testing::TestWithParam<TToolTipCase> {};

TEST_P(ChartToolTip, TellsTheNearestPointOrColumn) {
  QLocale::setDefault(GetParam().Locale);
  THistoryChart history;
  TChartSeries& series = history.Chart.AddSeries(TSeriesKind::Line, Qt::red);
  series.Points = {{0, 12, {}}, {1.5, 1234.5, {}}, {3, kGap, {}}, {4.5, 20, {}}};
  history.Chart.LeftAxis.Maximum = 2000;
  history.Chart.Bands.push_back({kBand, {{10, 2, 3, 14.5, 97}, {12, 2, kGap, kGap, kGap}}});
  history.Chart.Events = {{6, "Processor 768 at 95 %", Qt::red}, {6, "No answer", Qt::red}};
  if (!GetParam().KnowsTime) history.Chart.TimeAtZero = QDateTime();
  const QPoint hover = history.At(GetParam().Hover.x(), GetParam().Hover.y());
  EXPECT_EQ(history.Chart.ToolTipAt(hover).toStdString(), GetParam().Expected);
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);

INSTANTIATE_TEST_SUITE_P(
    Chart, ChartToolTip,
    ::testing::Values(
        TToolTipCase{
            "PointAtItsTime", kUs, true, {1.6, 1200}, "7/12/26 8:28:30 AM UTC\n1,234.5 % Load"},
        TToolTipCase{
            "GermanPoint", kGerman, true, {1.6, 1200}, "12.07.26 08:28:30 UTC\n1.234,5 % Load"},
        TToolTipCase{"NoTimeWhileUnknown", kUs, false, {0.2, 30}, "12 % Load"},
        // Anywhere between a column's lowest and highest value is on that column.
        TToolTipCase{"ColumnSpanAndValues",
                     kUs,
                     true,
                     {10.1, 90},
                     "7/12/26 8:19:00 AM UTC \u2013 7/12/26 8:21:00 AM UTC\nAverage 14.5 % Load\n"
                     "Lowest 3, highest 97"},
        TToolTipCase{"GapIsPassedOver", kUs, true, {3, 0}, "7/12/26 8:25:30 AM UTC\n20 % Load"},
        TToolTipCase{"OutsideThePlot", kUs, true, {-3, 50}, ""},
        // Events marked across the plot come first, then the nearest point as ever.
        TToolTipCase{"EventsNearThePointer",
                     kUs,
                     true,
                     {6.05, 30},
                     "Processor 768 at 95 %\nNo answer\n7/12/26 8:25:30 AM UTC\n20 % Load"}),
    [](const ::testing::TestParamInfo<TToolTipCase>& param) { return param.param.Name; });

bool Blank(QRgb pixel) {
  return pixel == qRgb(255, 255, 255);
}

TEST(ChartBand, SpansMinimumToMaximumWithTheAverageDrawnAndGapsLeftEmpty) {
  THistoryChart history;
  TChartBand band{kBand, {}};
  for (int x = 1; x <= 14; ++x)
    band.Columns.push_back(
        {double(x), 1, x == 7 ? kGap : 20, x == 7 ? kGap : 50, x == 7 ? kGap : 80});
  history.Chart.Bands.push_back(band);
  QImage image(history.Chart.size(), QImage::Format_RGB32);
  history.Chart.render(&image);

  const int column = history.At(3, 0).x();
  EXPECT_EQ(QColor(image.pixel(column, history.At(3, 50).y())), kBand);
  const QColor inside(image.pixel(column, history.At(3, 30).y()));
  EXPECT_FALSE(Blank(inside.rgb()));
  EXPECT_NE(inside, kBand);  // filled lighter than the line
  EXPECT_TRUE(Blank(image.pixel(column, history.At(3, 90).y())));
  const int gap = history.At(7, 0).x();
  for (double y : {22, 30, 40, 60, 70, 78})  // off the grid lines
    EXPECT_TRUE(Blank(image.pixel(gap, history.At(7, y).y()))) << y;
}

}  // namespace
