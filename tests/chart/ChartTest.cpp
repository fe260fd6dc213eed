#include <gtest/gtest.h>

#include <QImage>
#include <QLocale>
#include <cmath>
#include <string>
#include <vector>

#include "Chart.h"

namespace {

TChartAxis Axis(double minimum, double maximum, double increment = 0, bool inverted = false) {
  TChartAxis axis;
  axis.Minimum = minimum;
  axis.Maximum = maximum;
  axis.Increment = increment;
  axis.Inverted = inverted;
  return axis;
}

// ---- Mapping values to pixels ----

struct MapCase {
  std::string Name;
  friend void PrintTo(const MapCase& c, std::ostream* os) { *os << c.Name; }
  double X, Y;
  bool Inverted;
  double PixelX, PixelY;
};

class MapPointTest : public ::testing::TestWithParam<MapCase> {};

TEST_P(MapPointTest, LandsOnExpectedPixel) {
  const MapCase& c = GetParam();
  const QRectF plot(10, 20, 300, 100);
  const QPointF at = TChart::MapPoint(c.X, c.Y, plot, Axis(0, 15, 5, c.Inverted), Axis(-1, 99));
  EXPECT_DOUBLE_EQ(at.x(), c.PixelX);
  EXPECT_DOUBLE_EQ(at.y(), c.PixelY);
}

INSTANTIATE_TEST_SUITE_P(
    Chart, MapPointTest,
    ::testing::Values(MapCase{"NewestAtRightEdgeWhenInverted", 0, 99, true, 310, 20},
                      MapCase{"OldestAtLeftEdgeWhenInverted", 15, -1, true, 10, 120},
                      MapCase{"MinimumAtLeftEdgeOtherwise", 0, 49, false, 10, 70},
                      MapCase{"FiveMinutesIsAThirdInFromTheRight", 5, 24, true, 210, 95},
                      MapCase{"OutsideTheAxesMapsOutsideThePlot", 30, 199, true, -290, -80}),
    [](const auto& tc) { return tc.param.Name; });

// ---- Label step ----

struct StepCase {
  std::string Name;
  friend void PrintTo(const StepCase& c, std::ostream* os) { *os << c.Name; }
  double Minimum, Maximum, Increment, Pixels, Spacing;
  double Step;
};

class LabelStepTest : public ::testing::TestWithParam<StepCase> {};

TEST_P(LabelStepTest, PicksReadableStep) {
  const StepCase& c = GetParam();
  EXPECT_DOUBLE_EQ(TChart::LabelStep(Axis(c.Minimum, c.Maximum, c.Increment), c.Pixels, c.Spacing),
                   c.Step);
}

INSTANTIATE_TEST_SUITE_P(
    Chart, LabelStepTest,
    ::testing::Values(StepCase{"IncrementKeptWhenLabelsFit", 0, 15, 5, 350, 20, 5},
                      StepCase{"IncrementThatJustFitsIsKept", 0, 100, 25, 64, 16, 25},
                      StepCase{"DenseIncrementGrowsByNiceFactor", 0, 1440, 5, 350, 36, 250},
                      StepCase{"AutomaticSmallRange", 0, 1, 0, 67, 16, 0.5},
                      StepCase{"AutomaticLargeRange", 0, 1024, 0, 67, 16, 500},
                      StepCase{"NoRoomGivesOneStep", 0, 100, 0, 0, 16, 100},
                      StepCase{"EmptyRangeTreatedAsOneUnit", 0, 0, 0, 100, 10, 0.1}),
    [](const auto& tc) { return tc.param.Name; });

// ---- Tick values ----

struct TicksCase {
  std::string Name;
  friend void PrintTo(const TicksCase& c, std::ostream* os) { *os << c.Name; }
  double Minimum, Maximum, Step;
  bool RoundFirst;
  std::vector<double> Values;
};

class TickValuesTest : public ::testing::TestWithParam<TicksCase> {};

TEST_P(TickValuesTest, ListsValues) {
  const TicksCase& c = GetParam();
  TChartAxis axis = Axis(c.Minimum, c.Maximum);
  axis.RoundFirstLabel = c.RoundFirst;
  const std::vector<double> values = TChart::TickValues(axis, c.Step);
  ASSERT_EQ(values.size(), c.Values.size());
  for (size_t i = 0; i < values.size(); ++i) EXPECT_NEAR(values[i], c.Values[i], 1e-9) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Chart, TickValuesTest,
    ::testing::Values(
        TicksCase{"LoadAxisStartsAtZero", -1, 100, 25, true, {0, 25, 50, 75, 100}},
        TicksCase{"UnroundedStartsAtMinimum", 0.3, 1.5, 0.5, false, {0.3, 0.8, 1.3}},
        TicksCase{"RoundedStartsAtMultiple", 0.3, 1.5, 0.5, true, {0.5, 1.0, 1.5}},
        TicksCase{"TenthsReachTheMaximumDespiteRounding", 0, 0.3, 0.1, true, {0, 0.1, 0.2, 0.3}},
        TicksCase{
            "MaximumOffTheStepIsNotLabelled", 0, 1024, 200, false, {0, 200, 400, 600, 800, 1000}}),
    [](const auto& tc) { return tc.param.Name; });

// ---- Label text ----

struct LabelCase {
  std::string Name;
  friend void PrintTo(const LabelCase& c, std::ostream* os) { *os << c.Name; }
  QLocale::Language Language;
  QLocale::Territory Territory;
  double Value, Step;
  QString Text;
};

class FormatLabelTest : public ::testing::TestWithParam<LabelCase> {
 protected:
  void TearDown() override {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  }
};

TEST_P(FormatLabelTest, UsesStepDecimalsAndLocale) {
  const LabelCase& c = GetParam();
  QLocale::setDefault(QLocale(c.Language, c.Territory));
  EXPECT_EQ(TChart::FormatLabel(c.Value, c.Step), c.Text);
}

INSTANTIATE_TEST_SUITE_P(
    Chart, FormatLabelTest,
    ::testing::Values(
        LabelCase{"Grouped", QLocale::English, QLocale::UnitedStates, 1024, 200, "1,024"},
        LabelCase{"HalfStep", QLocale::English, QLocale::UnitedStates, 0.5, 0.5, "0.5"},
        LabelCase{"AccumulatedErrorHidden", QLocale::English, QLocale::UnitedStates, 0.1 + 0.2, 0.1,
                  "0.3"},
        LabelCase{"NoNegativeZero", QLocale::English, QLocale::UnitedStates, -1e-12, 0.1, "0.0"},
        LabelCase{"CommaDecimal", QLocale::German, QLocale::Germany, 1024.5, 0.5, "1.024,5"}),
    [](const auto& tc) { return tc.param.Name; });

// ---- Drawing ----

const QColor kSeriesColour(0, 128, 0);

bool SameColour(QRgb pixel, const QColor& colour) {
  return qRed(pixel) == colour.red() && qGreen(pixel) == colour.green() &&
         qBlue(pixel) == colour.blue();
}

QImage Render(TChart& chart) {
  QImage image(chart.size(), QImage::Format_ARGB32);
  image.fill(Qt::black);
  chart.render(&image);
  return image;
}

// Whether colour shows in the plot within reach pixels of column.
bool ColourNearColumn(const QImage& image, const QRect& plot, int column, const QColor& colour,
                      int reach = 2) {
  for (int x = std::max(0, column - reach); x <= std::min(image.width() - 1, column + reach); ++x)
    for (int y = plot.top(); y <= plot.bottom(); ++y)
      if (SameColour(image.pixel(x, y), colour)) return true;
  return false;
}

// A history chart as a monitor row sets it up: 0..15 minutes, newest at the right.
struct ChartFixture {
  TChart Chart;
  ChartFixture(TSeriesKind kind, const std::vector<double>& xs) {
    Chart.resize(400, 113);
    Chart.BottomAxis = Axis(0, 15, 5, true);
    Chart.BottomAxis.Title = "Minutes";
    Chart.BottomAxis.LabelsBetweenTicks = true;
    Chart.LeftAxis = Axis(-1, 100, 25);
    Chart.LeftAxis.Title = "% Load";
    Chart.MaxPointsPerPage = 15;
    TChartSeries& series = Chart.AddSeries(kind, kSeriesColour);
    for (double x : xs) series.Points.push_back({x, 40 + x * 2, kSeriesColour});
  }
  int Column(double x) const {
    const QRect plot = Chart.PlotRect();
    const QRectF area(plot.left(), plot.top(), plot.width() - 1, plot.height() - 1);
    return qRound(TChart::MapPoint(x, 0, area, Chart.BottomAxis, Chart.LeftAxis).x());
  }
};

struct KindCase {
  std::string Name;
  friend void PrintTo(const KindCase& c, std::ostream* os) { *os << c.Name; }
  TSeriesKind Kind;
  bool JoinsPoints;  // draws between neighbouring points too
};

class SeriesRenderTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(SeriesRenderTest, DrawsEachPointAtItsOwnX) {
  const KindCase& c = GetParam();
  ChartFixture fixture(c.Kind, {0, 5, 10, 15});
  const QImage image = Render(fixture.Chart);
  const QRect plot = fixture.Chart.PlotRect();
  for (double x : {0.0, 5.0, 10.0, 15.0})
    EXPECT_TRUE(ColourNearColumn(image, plot, fixture.Column(x), kSeriesColour)) << "x=" << x;
  for (double between : {2.5, 7.5, 12.5})
    EXPECT_EQ(ColourNearColumn(image, plot, fixture.Column(between), kSeriesColour, 0),
              c.JoinsPoints)
        << "x=" << between;
}

TEST_P(SeriesRenderTest, FullHistoryOfSixteenPointsAllDrawn) {
  // Once full, a 15-minute chart polled every minute keeps one point more than its length.
  std::vector<double> xs;
  for (int i = 0; i <= 15; ++i) xs.push_back(i);
  ChartFixture fixture(GetParam().Kind, xs);
  const QImage image = Render(fixture.Chart);
  for (double x : xs)
    EXPECT_TRUE(ColourNearColumn(image, fixture.Chart.PlotRect(), fixture.Column(x), kSeriesColour))
        << "x=" << x;
}

TEST_P(SeriesRenderTest, ValuesOutsideTheAxisStayInsideThePlot) {
  ChartFixture fixture(GetParam().Kind, {});
  fixture.Chart.Series[0].Points = {
      {0, 1e9, {}}, {5, -500, {}}, {10, 50, {}}, {40, 150, {}}, {15, std::nan(""), {}}};
  const QImage image = Render(fixture.Chart);
  const QRect plot = fixture.Chart.PlotRect();
  int inside = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (SameColour(image.pixel(x, y), kSeriesColour)) {
        ASSERT_TRUE(plot.contains(x, y)) << x << "," << y;
        ++inside;
      }
  EXPECT_GT(inside, 0);
}

TEST_P(SeriesRenderTest, MissedPollLeavesTheSpanBetweenItsNeighboursEmpty) {
  const KindCase& c = GetParam();
  ChartFixture fixture(c.Kind, {0, 5, 10, 15});
  fixture.Chart.Series[0].Points[1].Y = std::nan("");
  const QImage image = Render(fixture.Chart);
  const QRect plot = fixture.Chart.PlotRect();
  // Inside the frame, from a quarter to three quarters of the way between the neighbours at
  // 0 and 10 minutes, only white and the grey of the grid may show.
  for (int x = fixture.Column(7.5); x <= fixture.Column(2.5); ++x)
    for (int y = plot.top() + 1; y < plot.bottom(); ++y) {
      const QRgb pixel = image.pixel(x, y);
      ASSERT_TRUE(qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel))
          << "x=" << x << " y=" << y;
    }
  EXPECT_EQ(ColourNearColumn(image, plot, fixture.Column(12.5), kSeriesColour, 0), c.JoinsPoints);
  EXPECT_TRUE(ColourNearColumn(image, plot, fixture.Column(0), kSeriesColour));
}

INSTANTIATE_TEST_SUITE_P(Chart, SeriesRenderTest,
                         ::testing::Values(KindCase{"Line", TSeriesKind::Line, true},
                                           KindCase{"Bar", TSeriesKind::Bar, false},
                                           KindCase{"Area", TSeriesKind::Area, true},
                                           KindCase{"Point", TSeriesKind::Point, false}),
                         [](const auto& tc) { return tc.param.Name; });

TEST(ChartRender, PointColourWinsOverSeriesColour) {
  const QColor red(255, 0, 0);
  ChartFixture fixture(TSeriesKind::Point, {0, 5, 10});
  fixture.Chart.Series[0].Color = Qt::blue;
  fixture.Chart.Series[0].Points[1].Color = red;
  fixture.Chart.Series[0].Points[2].Color = QColor();  // falls back to the series colour
  const QImage image = Render(fixture.Chart);
  const QRect plot = fixture.Chart.PlotRect();
  EXPECT_TRUE(ColourNearColumn(image, plot, fixture.Column(0), kSeriesColour));
  EXPECT_TRUE(ColourNearColumn(image, plot, fixture.Column(5), red));
  EXPECT_FALSE(ColourNearColumn(image, plot, fixture.Column(5), QColor(Qt::blue)));
  EXPECT_TRUE(ColourNearColumn(image, plot, fixture.Column(10), QColor(Qt::blue)));
}

TEST(ChartRender, SinglePointOfAFirstPollIsVisible) {
  for (TSeriesKind kind : {TSeriesKind::Line, TSeriesKind::Area}) {
    ChartFixture fixture(kind, {0});
    const QImage image = Render(fixture.Chart);
    EXPECT_TRUE(
        ColourNearColumn(image, fixture.Chart.PlotRect(), fixture.Column(0), kSeriesColour));
  }
}

TEST(ChartRender, PointBetweenTwoMissedPollsIsVisible) {
  for (TSeriesKind kind : {TSeriesKind::Line, TSeriesKind::Area}) {
    ChartFixture fixture(kind, {0, 5, 10, 15});
    fixture.Chart.Series[0].Points[0].Y = std::nan("");
    fixture.Chart.Series[0].Points[2].Y = std::nan("");
    const QImage image = Render(fixture.Chart);
    const QRect plot = fixture.Chart.PlotRect();
    EXPECT_TRUE(ColourNearColumn(image, plot, fixture.Column(5), kSeriesColour));
    EXPECT_TRUE(ColourNearColumn(image, plot, fixture.Column(15), kSeriesColour));
    EXPECT_FALSE(ColourNearColumn(image, plot, fixture.Column(10), kSeriesColour));
  }
}

TEST(ChartRender, FlatValueAxisStillDrawsTheSeries) {
  ChartFixture fixture(TSeriesKind::Line, {});
  fixture.Chart.LeftAxis = Axis(0, 0);
  fixture.Chart.Series[0].Points = {{0, 0, {}}, {5, 0, {}}};
  const QImage image = Render(fixture.Chart);
  EXPECT_TRUE(
      ColourNearColumn(image, fixture.Chart.PlotRect(), fixture.Column(2.5), kSeriesColour));
}

TEST(ChartSeries, ReferencesFromAddSeriesSurviveASecondSeries) {
  TChart chart;
  TChartSeries& in = chart.AddSeries(TSeriesKind::Line, QColor(0, 128, 0));
  chart.AddSeries(TSeriesKind::Line, Qt::blue);
  in.Points.push_back({0, 1, {}});
  EXPECT_EQ(chart.Series[0].Points.size(), 1u);
}

}  // namespace
