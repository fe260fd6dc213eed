#pragma once

#include <cstdint>
#include <vector>

// The history of an item's chart as plain data: each poll adds its value at the poll's own
// time, and points too old for the graph go. A value of NaN is a gap.

struct THistoryPoint {
  int64_t Time = 0;  // when its poll started: UTC milliseconds since the epoch
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

// Drops the points beyond the graph length (minutes) before time. The newest of the points at
// or beyond it stays, so that the line runs to the chart's left edge however late the polls
// came.
void TrimHistory(THistorySeries& series, int64_t time, int graphLength);
// The value becomes the newest point, at time.
void StepHistory(THistorySeries& series, double value, int64_t time);
// Trim, then step.
void PushValue(THistorySeries& series, double value, int64_t time, int graphLength);
// Largest value of the first two series over the first series' points, from 0, to one
// decimal place; gaps are passed over.
double AutoHeightMaximum(const std::vector<THistorySeries>& series);

// Minutes from time back to zero: where a point stands on a chart whose right edge is zero.
double MinutesBefore(int64_t zero, int64_t time);

// A series as a chart that ends at zero draws it: the live points, then the recalled ones
// (newest first) that are older than all of them, trimmed to the graph length before zero as
// the push rule does. With breakAfterRecalled, a gap stands between recalled and live points.
THistorySeries JoinedHistory(const THistorySeries& recalled, const THistorySeries& live,
                             bool breakAfterRecalled, int64_t zero, int graphLength);
