#pragma once

#include <vector>

// The history of an item's chart as plain data: each poll pushes a value so that the newest
// stands at x 0 (minutes ago) and older ones move away. A value of NaN is a gap.

struct THistoryPoint {
  double X = 0;  // minutes before the newest point
  double Y = 0;
};

struct THistorySeries {
  std::vector<THistoryPoint> Points;  // the newest first
};

// The series of one item's chart (in and out for an interface) and its value axis maximum.
struct TItemHistory {
  std::vector<THistorySeries> Series;
  double AxisMaximum = 0;
};

// When the series is full (points x interval beyond the points per page), the oldest point
// goes.
void TrimHistory(THistorySeries& series, int interval, int pointsPerPage);
// The value becomes the newest point at x 0; older points keep their x and take the next older
// value; one point is appended one interval further.
void StepHistory(THistorySeries& series, double value, int interval);
// Trim, then step.
void PushValue(THistorySeries& series, double value, int interval, int pointsPerPage);
// Largest value of the first two series over the first series' points, from 0, to one
// decimal place; gaps are passed over.
double AutoHeightMaximum(const std::vector<THistorySeries>& series);
