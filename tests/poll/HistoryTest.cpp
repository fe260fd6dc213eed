#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "Computations.h"
#include "History.h"

namespace {

int64_t At(double minute) {
  return std::llround(minute * 60000);
}

// The points as (minutes before the newest, value); a gap as -1.
std::vector<std::pair<double, double>> Drawn(const THistorySeries& series, int64_t zero) {
  std::vector<std::pair<double, double>> points;
  for (const auto& point : series.Points)
    points.emplace_back(MinutesBefore(zero, point.Time), std::isnan(point.Y) ? -1 : point.Y);
  return points;
}

struct TPushCase {
  const char* Name;
  int Length;
  std::vector<double> Minutes;  // when each poll started; the i-th pushes the value i
  std::vector<std::pair<double, double>> Expected;
};

class PushRule : public ::testing::TestWithParam<TPushCase> {};

TEST_P(PushRule, PointsStandAtTheirPollsTimesUntilBeyondTheGraphLength) {
  THistorySeries series;
  const auto& minutes = GetParam().Minutes;
  for (size_t i = 0; i < minutes.size(); ++i)
    PushValue(series, static_cast<double>(i), At(minutes[i]), GetParam().Length);
  EXPECT_EQ(Drawn(series, At(minutes.back())), GetParam().Expected);
}

std::vector<std::pair<double, double>> EveryMinute() {
  std::vector<std::pair<double, double>> points;
  for (int i = 0; i <= 15; ++i) points.emplace_back(i, 39 - i);
  return points;
}

INSTANTIATE_TEST_SUITE_P(
    History, PushRule,
    ::testing::Values(
        TPushCase{"FirstPointAtZero", 15, {0}, {{0, 0}}},
        TPushCase{"IntervalFiveKeepsFourPoints",
                  15,
                  {0, 5, 10, 15, 20, 25},
                  {{0, 5}, {5, 4}, {10, 3}, {15, 2}}},
        TPushCase{"IntervalOneKeepsSixteenPoints",
                  15,
                  {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19,
                   20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39},
                  EveryMinute()},
        // The line runs on to the left edge, through the first point beyond it.
        TPushCase{"IntervalTenReachesTheEdge", 15, {0, 10, 20, 30}, {{0, 3}, {10, 2}, {20, 1}}},
        TPushCase{"LatePollKeepsThePointAtTheEdge",
                  15,
                  {0, 5, 10, 15, 20.02},
                  {{0, 4}, {5.02, 3}, {10.02, 2}, {15.02, 1}}},
        // A Refresh half a minute after a tick, and a tick skipped while a poll was under way.
        TPushCase{"RefreshAndSkippedTickAtTheirTimes",
                  15,
                  {0, 1, 1.5, 3},
                  {{0, 3}, {1.5, 2}, {2, 1}, {3, 0}}}),
    [](const auto& test) { return std::string(test.param.Name); });

TEST(JoinedHistory, RecalledPointsGoBeforeTheLiveOnesBrokenWhereTheRunBegan) {
  THistorySeries recalled, live;
  for (double minute : {-20.0, -14.0, -9.0, -4.0, -1.0})
    recalled.Points.insert(recalled.Points.begin(), {At(minute), -minute});
  for (double minute : {-2.0, 0.0}) live.Points.insert(live.Points.begin(), {At(minute), 100});
  // Recalled before the run: a gap after them; the one at -1, which the live points cover, goes;
  // of those beyond 15 minutes only the first stays.
  EXPECT_EQ(Drawn(JoinedHistory(recalled, live, true, At(0), 15), At(0)),
            (std::vector<std::pair<double, double>>{
                {0, 100}, {2, 100}, {4, -1}, {4, 4}, {9, 9}, {14, 14}, {20, 20}}));
  // Recalled from the run itself (its first points, already trimmed from the live ones).
  EXPECT_EQ(Drawn(JoinedHistory(recalled, live, false, At(0), 10), At(0)),
            (std::vector<std::pair<double, double>>{{0, 100}, {2, 100}, {4, 4}, {9, 9}, {14, 14}}));
}

TEST(AutoHeight, LargestVisibleValueRoundedBothWays) {
  std::vector<THistorySeries> chart(2);
  PushValue(chart[0], 3.0, 0, 15);
  PushValue(chart[1], 12.36, 0, 15);
  EXPECT_DOUBLE_EQ(AutoHeightMaximum(chart), 12.4);

  std::vector<THistorySeries> idle(2);
  PushValue(idle[0], 0, 0, 15);
  PushValue(idle[1], 0, 0, 15);
  EXPECT_DOUBLE_EQ(AutoHeightMaximum(idle), 0.0);
}

}  // namespace

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
