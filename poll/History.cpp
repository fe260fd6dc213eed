#include "History.h"

#include <algorithm>
#include <cmath>

#include "Computations.h"

void TrimHistory(THistorySeries& series, int interval, int pointsPerPage) {
  const auto count = static_cast<int64_t>(series.Points.size());
  if (count > 0 && count * interval > pointsPerPage) series.Points.pop_back();
}

void StepHistory(THistorySeries& series, double value, int interval) {
  auto& points = series.Points;
  if (points.empty()) {
    points.push_back({0, value});
    return;
  }
  const auto count = static_cast<double>(points.size());
  points.push_back({count * interval, points.back().Y});
  for (size_t i = points.size() - 1; i >= 1; --i) points[i].Y = points[i - 1].Y;
  points[0].Y = value;
}

void PushValue(THistorySeries& series, double value, int interval, int pointsPerPage) {
  TrimHistory(series, interval, pointsPerPage);
  StepHistory(series, value, interval);
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
