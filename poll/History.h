#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The history of an item's chart as plain data: each poll adds its value at the poll's own
// time, and points too old for the graph go. A value of NaN is a gap.

struct THistoryPoint {
  int64_t Time = 0;  // when its poll started: UTC milliseconds since the epoch
  double Y = 0;
};

// A series on its own (recalled from the store, or joined for a chart).
struct THistorySeries {
  std::vector<THistoryPoint> Points;  // the newest first
};

// The series of one item's chart (in and out for an interface) and its value axis maximum.
// A fleet's pollers each hold a day of these, so they are kept small: the poll times once for
// all series, as milliseconds from a base, and the values exact; oldest first, trimmed points
// dropped in batches, and room grown in small steps rather than doubled.
class TItemHistory {
 public:
  TItemHistory() = default;
  TItemHistory(size_t seriesCount, double axisMaximum);

  size_t SeriesCount() const { return FValues.size(); }
  // Points in each series.
  size_t Size() const { return FTimes.size() - FFirst; }
  bool Empty() const { return Size() == 0; }
  // The time, and a series' value, of the point `back` places before the newest (0: the newest).
  int64_t Time(size_t back) const;
  double Value(size_t series, size_t back) const;
  // Trims to the graph length (minutes) before time as TrimHistory does, then adds a point at
  // time, a gap in every series until SetNewest gives its value.
  void Push(int64_t time, int graphLength);
  void SetNewest(size_t series, double value);
  // One series as points, the newest first.
  THistorySeries Series(size_t series) const;
  // Entries each series has room for, trimmed ones and spare ones included.
  size_t Capacity() const { return FTimes.capacity(); }

  double AxisMaximum = 0;

 private:
  size_t At(size_t back) const { return FTimes.size() - 1 - back; }
  int32_t Offset(int64_t time);
  void MakeRoom(int64_t time, int graphLength);

  int64_t FBase = 0;  // FTimes count milliseconds from it
  size_t FFirst = 0;  // the entries before it are trimmed and wait to be dropped
  std::vector<int32_t> FTimes;
  std::vector<std::vector<double>> FValues;
};

// Drops the points beyond the graph length (minutes) before time. The newest of the points at
// or beyond it stays, so that the line runs to the chart's left edge however late the polls
// came.
void TrimHistory(THistorySeries& series, int64_t time, int graphLength);
// Largest value of the first two series, from 0, to one decimal place; gaps are passed over.
double AutoHeightMaximum(const TItemHistory& history);

// Minutes from time back to zero: where a point stands on a chart whose right edge is zero.
double MinutesBefore(int64_t zero, int64_t time);

// A series as a chart that ends at zero draws it: the live points, then the recalled ones
// (newest first) that are older than all of them, trimmed to the graph length before zero as
// the push rule does. With breakAfterRecalled, a gap stands between recalled and live points.
THistorySeries JoinedHistory(const THistorySeries& recalled, THistorySeries live,
                             bool breakAfterRecalled, int64_t zero, int graphLength);
