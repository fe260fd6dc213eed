#pragma once

#include <QColor>
#include <vector>

#include "Chart.h"

// The history of a chart's series: how each poll pushes a value so that the newest stands at
// x 0 and older ones move away. A value of NaN is a gap.

// History: when the series is full (points x interval beyond the points per page), the
// oldest point goes.
void TrimHistory(TChartSeries& series, int interval, int pointsPerPage);
// History: the value becomes the newest point at x 0; older points keep their x and take
// the next older value; one point is appended one interval further.
void StepHistory(TChartSeries& series, double value, int interval, const QColor& color);
// Trim, then step.
void PushValue(TChartSeries& series, double value, int interval, int pointsPerPage,
               const QColor& color);
// Largest value of the first two series over the first series' points, from 0, to one
// decimal place; gaps are passed over.
double AutoHeightMaximum(const std::vector<TChartSeries>& series);
