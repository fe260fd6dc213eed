#include "History.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "Computations.h"

namespace {

constexpr int64_t kMinuteMs = 60 * 1000;
// Spare entries kept at the least: trimmed ones are dropped once they fill it.
constexpr size_t kSpare = 16;

}  // namespace

TItemHistory::TItemHistory(size_t seriesCount, double axisMaximum)
    : AxisMaximum(axisMaximum), FValues(seriesCount) {}

int64_t TItemHistory::Time(size_t back) const {
  return FBase + FTimes.at(At(back));
}

double TItemHistory::Value(size_t series, size_t back) const {
  return FValues.at(series).at(At(back));
}

void TItemHistory::Push(int64_t time, int graphLength) {
  const int64_t edge = time - int64_t{graphLength} * kMinuteMs;
  // The first point at or beyond the edge, from the newest, is the oldest one kept.
  for (size_t back = 0; back < Size(); ++back) {
    if (Time(back) <= edge) {
      FFirst = At(back);
      break;
    }
  }
  MakeRoom(time, graphLength);
  const int32_t offset = Offset(time);
  FTimes.push_back(offset);
  for (auto& values : FValues) values.push_back(std::nan(""));
}

void TItemHistory::SetNewest(size_t series, double value) {
  FValues.at(series).at(At(0)) = value;
}

THistorySeries TItemHistory::Series(size_t series) const {
  THistorySeries points;
  points.Points.reserve(Size());
  for (size_t back = 0; back < Size(); ++back)
    points.Points.push_back({Time(back), Value(series, back)});
  return points;
}

int32_t TItemHistory::Offset(int64_t time) {
  using TLimits = std::numeric_limits<int32_t>;
  if (Empty()) FBase = time;
  const int64_t offset = time - FBase;
  if (offset >= TLimits::min() && offset <= TLimits::max()) return static_cast<int32_t>(offset);
  // Weeks since the base (a machine that slept, a clock set anew): count from this time on. A
  // point kept from further back stands at the offsets' reach, far beyond the chart's edge.
  for (size_t i = FFirst; i < FTimes.size(); ++i)
    FTimes[i] = static_cast<int32_t>(
        std::clamp<int64_t>(FBase + FTimes[i] - time, TLimits::min(), TLimits::max()));
  FBase = time;
  return 0;
}

void TItemHistory::MakeRoom(int64_t time, int graphLength) {
  const auto full = [](const auto& entries) { return entries.size() == entries.capacity(); };
  if (!full(FTimes) && std::none_of(FValues.begin(), FValues.end(), full)) return;
  const auto trimmed = static_cast<std::ptrdiff_t>(FFirst);
  FTimes.erase(FTimes.begin(), FTimes.begin() + trimmed);
  for (auto& values : FValues) values.erase(values.begin(), values.begin() + trimmed);
  FFirst = 0;
  // Room for what the graph length holds at the spacing of the last two polls (never under a
  // minute), so that a chart fills without growing again; past it (Refreshes), a sixteenth more
  // each time. The spare entries let trimmed ones be dropped only every so many polls.
  const size_t held = FTimes.size();
  size_t expected = 0;
  if (!Empty()) {
    const int64_t spacing = std::max(kMinuteMs, time - Time(0));
    expected = static_cast<size_t>(std::max<int64_t>(0, graphLength) * kMinuteMs / spacing + 2);
  }
  const size_t wanted = held >= expected ? held + std::max(kSpare, held / 16) : expected + kSpare;
  const auto grow = [&](auto& entries) {
    if (entries.capacity() < std::max(held, expected) + kSpare) entries.reserve(wanted);
  };
  grow(FTimes);
  for (auto& values : FValues) grow(values);
}

void TrimHistory(THistorySeries& series, int64_t time, int graphLength) {
  auto& points = series.Points;
  const int64_t edge = time - int64_t{graphLength} * kMinuteMs;
  // The first point at or beyond the edge is the last one kept.
  const auto beyond =
      std::find_if(points.begin(), points.end(),
                   [edge](const THistoryPoint& point) { return point.Time <= edge; });
  if (beyond != points.end()) points.erase(beyond + 1, points.end());
}

double AutoHeightMaximum(const TItemHistory& history) {
  double largest = 0;
  for (size_t s = 0; s < std::min<size_t>(2, history.SeriesCount()); ++s) {
    for (size_t back = 0; back < history.Size(); ++back) {
      const double value = history.Value(s, back);
      if (std::isfinite(value)) largest = std::max(largest, value);
    }
  }
  return RoundToTenth(largest);
}

double MinutesBefore(int64_t zero, int64_t time) {
  return static_cast<double>(zero - time) / kMinuteMs;
}

THistorySeries JoinedHistory(const THistorySeries& recalled, THistorySeries live,
                             bool breakAfterRecalled, int64_t zero, int graphLength) {
  THistorySeries joined = std::move(live);
  const bool anyLive = !joined.Points.empty();
  const int64_t oldestLive = anyLive ? joined.Points.back().Time : zero;
  bool first = true;
  for (const THistoryPoint& point : recalled.Points) {
    if (anyLive && point.Time >= oldestLive) continue;
    if (first && breakAfterRecalled && anyLive) joined.Points.push_back({point.Time, std::nan("")});
    first = false;
    joined.Points.push_back(point);
  }
  TrimHistory(joined, zero, graphLength);
  return joined;
}
