#include <gtest/gtest.h>

#include <vector>

#include "Computations.h"
#include "History.h"

namespace {
std::vector<double> Xs(const THistorySeries& series) {
  std::vector<double> xs;
  for (const auto& point : series.Points) xs.push_back(point.X);
  return xs;
}
std::vector<double> Ys(const THistorySeries& series) {
  std::vector<double> ys;
  for (const auto& point : series.Points) ys.push_back(point.Y);
  return ys;
}
void PushAll(THistorySeries& series, std::initializer_list<double> values, int interval,
             int length) {
  for (double value : values) PushValue(series, value, interval, length);
}
}  // namespace

TEST(PushRule, FirstPointStandsAtZero) {
  THistorySeries series;
  PushValue(series, 42, 5, 15);
  EXPECT_EQ(Xs(series), (std::vector<double>{0}));
  EXPECT_EQ(Ys(series), (std::vector<double>{42}));
}

TEST(PushRule, NewestValueAtZeroOlderValuesMoveLeft) {
  THistorySeries series;
  PushAll(series, {1, 2, 3}, 5, 15);
  EXPECT_EQ(Xs(series), (std::vector<double>{0, 5, 10}));
  EXPECT_EQ(Ys(series), (std::vector<double>{3, 2, 1}));
}

TEST(PushRule, IntervalFiveLengthFifteenKeepsFourPoints) {
  THistorySeries series;
  PushAll(series, {1, 2, 3, 4, 5, 6}, 5, 15);
  EXPECT_EQ(Xs(series), (std::vector<double>{0, 5, 10, 15}));
  EXPECT_EQ(Ys(series), (std::vector<double>{6, 5, 4, 3}));
}

TEST(PushRule, IntervalOneLengthFifteenKeepsSixteenPoints) {
  THistorySeries series;
  for (int i = 0; i < 40; ++i) PushValue(series, i, 1, 15);
  ASSERT_EQ(series.Points.size(), 16u);
  EXPECT_EQ(series.Points.front().X, 0);
  EXPECT_EQ(series.Points.back().X, 15);
  EXPECT_EQ(series.Points.front().Y, 39);
  EXPECT_EQ(series.Points.back().Y, 24);
}

TEST(PushRule, IntervalTenLengthFifteenKeepsTwoPoints) {
  THistorySeries series;
  PushAll(series, {1, 2, 3}, 10, 15);
  EXPECT_EQ(Xs(series), (std::vector<double>{0, 10}));
  EXPECT_EQ(Ys(series), (std::vector<double>{3, 2}));
}

TEST(AutoHeight, LargestVisibleValueRoundedBothWays) {
  std::vector<THistorySeries> chart(2);
  PushValue(chart[0], 3.0, 1, 15);
  PushValue(chart[1], 12.36, 1, 15);
  EXPECT_DOUBLE_EQ(AutoHeightMaximum(chart), 12.4);

  std::vector<THistorySeries> idle(2);
  PushValue(idle[0], 0, 1, 15);
  PushValue(idle[1], 0, 1, 15);
  EXPECT_DOUBLE_EQ(AutoHeightMaximum(idle), 0.0);
}

TEST(HostText, PortIsOptionalAndIPv6LiteralsStandBareOrInBrackets) {
  const struct {
    const char* Text;
    const char* Host;
    int Port;
  } cases[] = {
      {"127.0.0.1", "127.0.0.1", 161},
      {"127.0.0.1:1161", "127.0.0.1", 1161},
      {"router.lan:70000", "router.lan:70000", 161},
      {"fe80::1", "fe80::1", 161},
      {"fe80::1%eth0", "fe80::1%eth0", 161},
      {"::1", "::1", 161},
      {"[::1]:1161", "::1", 1161},
      {"[fe80::1%eth0]", "fe80::1%eth0", 161},
      {"[::1]:x", "[::1]:x", 161},
      {"[::1", "[::1", 161},
  };
  for (const auto& c : cases) {
    QString host;
    int port = 0;
    SplitHostPort(c.Text, host, port);
    EXPECT_EQ(host, c.Host) << c.Text;
    EXPECT_EQ(port, c.Port) << c.Text;
  }
}
