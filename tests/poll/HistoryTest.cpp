#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "Computations.h"
#include "History.h"

namespace {

constexpr int64_t kMinute = 60'000;

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
  TItemHistory history(1, 0);
  const auto& minutes = GetParam().Minutes;
  for (size_t i = 0; i < minutes.size(); ++i) {
    history.Push(At(minutes[i]), GetParam().Length);
    history.SetNewest(0, static_cast<double>(i));
  }
  EXPECT_EQ(Drawn(history.Series(0), At(minutes.back())), GetParam().Expected);
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

// Every point as it was pushed, against the plain newest-first series the rule was first written
// for: late and early polls, gaps, a host silent for weeks, a chart growing past its room.
class CompactHistory : public ::testing::TestWithParam<int> {};

TEST_P(CompactHistory, HoldsEveryPointAsThePlainSeriesDoes) {
  const int length = GetParam();
  TItemHistory history(2, 0);
  THistorySeries plain[2];
  std::mt19937 random(7);
  int64_t time = 1'700'000'000'123;
  for (int poll = 0; poll < 3 * length + 200; ++poll) {
    const uint32_t draw = random() % 100;
    if (poll == length || poll == 2 * length) {
      time += int64_t{20} * 24 * 60 * kMinute;  // weeks asleep: beyond the times' first base
    } else if (draw < 10) {
      time += 20'000 + draw * 997;  // a Refresh between ticks
    } else {
      time += kMinute + draw * 13;  // ticks, late by up to a second and a half
    }
    history.Push(time, length);
    for (size_t s = 0; s < 2; ++s) {
      const double value = draw % 7 == 0 ? std::nan("") : 1e7 / 3 + poll * 0.01 + s;
      history.SetNewest(s, value);
      TrimHistory(plain[s], time, length);
      plain[s].Points.insert(plain[s].Points.begin(), {time, value});
      ASSERT_EQ(Drawn(history.Series(s), time), Drawn(plain[s], time)) << "poll " << poll;
    }
  }
  // Room grows in small steps, never to twice what the chart holds.
  EXPECT_LE(history.Capacity(), history.Size() + history.Size() / 8 + 32);
}

INSTANTIATE_TEST_SUITE_P(History, CompactHistory, ::testing::Values(15, 1440));

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
  TItemHistory chart(2, 0);
  chart.Push(0, 15);
  chart.SetNewest(0, 3.0);
  chart.SetNewest(1, 12.36);
  EXPECT_DOUBLE_EQ(AutoHeightMaximum(chart), 12.4);

  TItemHistory idle(2, 0);
  idle.Push(0, 15);
  idle.SetNewest(0, 0);
  idle.SetNewest(1, 0);
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
