#include "History.h"

#include <algorithm>
#include <cmath>

#include "Computations.h"

namespace {

constexpr int64_t kMinuteMs = 60 * 1000;

}  // namespace

void TrimHistory(THistorySeries& series, int64_t time, int graphLength) {
  auto& points = series.Points;
  const int64_t edge = time - int64_t{graphLength} * kMinuteMs;
  // The first point at or beyond the edge is the last one kept.
  const auto beyond =
      std::find_if(points.begin(), points.end(),
                   [edge](const THistoryPoint& point) { return point.Time <= edge; });
  if (beyond != points.end()) points.erase(beyond + 1, points.end());
}

void StepHistory(THistorySeries& series, double value, int64_t time) {
  series.Points.insert(series.Points.begin(), {time, value});
}

void PushValue(THistorySeries& series, double value, int64_t time, int graphLength) {
  TrimHistory(series, time, graphLength);
  StepHistory(series, value, time);
}

double AutoHeightMaximum(const std::vector<THistorySeries>& series) {
  double largest = 0;
  if (series.empty()) return largest;
  const size_t count = series[0].Points.size();
  for (size_t s = 0; s < std::min<size_t>(2, series.size()); ++s) {
    const auto& points = series[s].Points;
    for (size_t i = 0; i < std::min(count, points.size()); ++i) {
      if (std::isfinite(points[i].Y)) largest = std::max(largest, points[i].Y);
    }
  }
  return RoundToTenth(largest);
}

double MinutesBefore(int64_t zero, int64_t time) {
  return static_cast<double>(zero - time) / kMinuteMs;
}

THistorySeries JoinedHistory(const THistorySeries& recalled, const THistorySeries& live,
                             bool breakAfterRecalled, int64_t zero, int graphLength) {
  THistorySeries joined = live;
  const bool anyLive = !live.Points.empty();
  const int64_t oldestLive = anyLive ? live.Points.back().Time : zero;
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
