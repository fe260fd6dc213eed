#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPaintEvent>
#include <string>

#include "Gauge.h"

namespace {

struct ClampCase {
  std::string Name;
  friend void PrintTo(const ClampCase& c, std::ostream* os) { *os << c.Name; }
  int Min, Max, Value, Held;
};

class GaugeClampTest : public ::testing::TestWithParam<ClampCase> {};

TEST_P(GaugeClampTest, HoldsPositionInRange) {
  const ClampCase& c = GetParam();
  TGauge gauge;
  gauge.SetRange(c.Min, c.Max);
  gauge.SetPosition(c.Value);
  EXPECT_EQ(gauge.Position(), c.Held);
}

INSTANTIATE_TEST_SUITE_P(Gauge, GaugeClampTest,
                         ::testing::Values(ClampCase{"BelowRange", 0, 100, -5, 0},
                                           ClampCase{"AboveRange", 0, 100, 150, 100},
                                           ClampCase{"ReversedBoundsSwapped", 100, 0, 150, 100}),
                         [](const auto& tc) { return tc.param.Name; });

TEST(Gauge, NarrowingRangeMovesPositionIntoIt) {
  TGauge gauge;
  gauge.SetPosition(90);
  gauge.SetRange(0, 50);
  EXPECT_EQ(gauge.Position(), 50);
}

struct AngleCase {
  std::string Name;
  friend void PrintTo(const AngleCase& c, std::ostream* os) { *os << c.Name; }
  int Position, Min, Max;
  double Degrees;
};

class NeedleAngleTest : public ::testing::TestWithParam<AngleCase> {};

TEST_P(NeedleAngleTest, PointsAlongHalfCircle) {
  const AngleCase& c = GetParam();
  EXPECT_DOUBLE_EQ(TGauge::NeedleAngle(c.Position, c.Min, c.Max), c.Degrees);
}

INSTANTIATE_TEST_SUITE_P(Gauge, NeedleAngleTest,
                         ::testing::Values(AngleCase{"MinimumPointsLeft", 0, 0, 100, 180},
                                           AngleCase{"HalfPointsUp", 50, 0, 100, 90},
                                           AngleCase{"MaximumPointsRight", 100, 0, 100, 0},
                                           AngleCase{"NegativeRangeMiddle", 0, -50, 50, 90},
                                           AngleCase{"EmptyRangeAtMinimum", 5, 5, 5, 180}),
                         [](const auto& tc) { return tc.param.Name; });

class PaintCounter : public QObject {
 public:
  int Paints = 0;
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++Paints;
    return false;
  }
};

TEST(Gauge, RepaintsOnlyWhenNeedleMoves) {
  TGauge gauge;
  gauge.resize(100, 60);
  gauge.SetPosition(30);
  gauge.show();
  QApplication::processEvents();
  PaintCounter counter;
  gauge.installEventFilter(&counter);

  gauge.SetPosition(30);
  gauge.SetPosition(130);  // held at 100
  QApplication::processEvents();
  const int afterMove = counter.Paints;
  gauge.SetPosition(100);
  gauge.SetPosition(120);  // still 100
  QApplication::processEvents();

  EXPECT_EQ(afterMove, 1);
  EXPECT_EQ(counter.Paints, afterMove);
}

// The needle's colour is the only pure strong red in the dial; its pixels tell where it points.
struct NeedleCase {
  std::string Name;
  friend void PrintTo(const NeedleCase& c, std::ostream* os) { *os << c.Name; }
  int Position;
  double MinMeanX, MaxMeanX;
};

class NeedleRenderTest : public ::testing::TestWithParam<NeedleCase> {};

TEST_P(NeedleRenderTest, NeedlePointsAtPosition) {
  const NeedleCase& c = GetParam();
  TGauge gauge;
  gauge.resize(100, 60);
  gauge.SetPosition(c.Position);
  QImage image(gauge.size(), QImage::Format_ARGB32);
  image.fill(Qt::white);
  gauge.render(&image);
  double sumX = 0;
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      if (qRed(p) == 200 && qGreen(p) == 20 && qBlue(p) == 20) {
        sumX += x;
        ++count;
      }
    }
  ASSERT_GT(count, 10);
  EXPECT_GE(sumX / count, c.MinMeanX);
  EXPECT_LE(sumX / count, c.MaxMeanX);
}

INSTANTIATE_TEST_SUITE_P(Gauge, NeedleRenderTest,
                         ::testing::Values(NeedleCase{"Empty", 0, 0, 35},
                                           NeedleCase{"Half", 50, 47, 53},
                                           NeedleCase{"Full", 100, 65, 100}),
                         [](const auto& tc) { return tc.param.Name; });

}  // namespace
