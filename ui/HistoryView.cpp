#include "HistoryView.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <limits>

#include "Alerts.h"
#include "Computations.h"
#include "GraphPanel.h"
#include "HistoryFeed.h"
#include "Monitors.h"

namespace {

constexpr int64_t kMinuteMs = 60 * 1000;
constexpr int64_t kDaySeconds = 24 * 60 * 60;

int64_t SpanSeconds(TChartSpan span) {
  switch (span) {
    case TChartSpan::Day:
      return kDaySeconds;
    case TChartSpan::Week:
      return 7 * kDaySeconds;
    case TChartSpan::Month:
      return 30 * kDaySeconds;
    case TChartSpan::GraphLength:
      break;
  }
  return 0;
}

// A day is told in hours, longer views in days.
int UnitSeconds(TChartSpan span) {
  return span == TChartSpan::Day ? 60 * 60 : kDaySeconds;
}

// Opens the store for reading; false when there is none yet. Raises EHistoryStore.
bool OpenForReading(THistoryStore& store, const QString& path, int busyTimeoutMs) {
  if (path.isEmpty() || !QFileInfo::exists(path)) return false;
  store.Open(path, THistoryStore::TMode::Read, busyTimeoutMs);
  return true;
}

QString ReadError(const QString& path, const EHistoryStore& error) {
  return QStringLiteral("History not shown: cannot read %1: %2")
      .arg(QDir::toNativeSeparators(path), QString::fromUtf8(error.what()));
}

// Whether the event belongs on the row's chart: one of its own alerts, or one of its host's.
bool EventOnRow(const TStoredEvent& event, const TRowSpec& row) {
  const std::optional<TAlertKind> kind = AlertKindOfLabel(event.Kind);
  if (!kind) return false;
  const std::optional<TItemKind> on = ItemKindOf(*kind);
  return !on || (*on == row.Kind && event.Index == row.Index);
}

}  // namespace

std::vector<TChartEvent> THistoryView::LongViewEvents(const TChart& chart) const {
  const auto found = FCharts.constFind(chart.objectName());
  if (found == FCharts.cend() || found->Span == TChartSpan::GraphLength) return {};
  return found->Events;
}

QString SpanText(TChartSpan span) {
  switch (span) {
    case TChartSpan::GraphLength:
      return QStringLiteral("Graph Length");
    case TChartSpan::Day:
      return QStringLiteral("Last 24 hours");
    case TChartSpan::Week:
      return QStringLiteral("Last 7 days");
    case TChartSpan::Month:
      return QStringLiteral("Last 30 days");
  }
  return {};
}

void THistoryView::Clear() {
  FCharts.clear();
}

QString THistoryView::Recall(const QString& host, const std::vector<TItemView>& items,
                             int graphLength, int intervalMinutes, const QDateTime& now) {
  const int64_t nowMs = now.toMSecsSinceEpoch();
  const int64_t from = (nowMs - int64_t{graphLength + intervalMinutes} * kMinuteMs) / 1000;
  try {
    THistoryStore store;
    if (!OpenForReading(store, Path, BusyTimeoutMs)) return {};
    const QHash<TSeriesKey, std::vector<TStoredPoint>> stored =
        store.HostPoints(host, from, nowMs / 1000 + 1);
    for (const TItemView& item : items) {
      TChartState& state = FCharts[ChartName(item.Row.Kind, item.Row.Index)];
      state.Row = item.Row;
      state.Host = host;
      state.Recalled.clear();
      state.BreakAfterRecalled = item.History->Empty();
      state.RecalledAt = nowMs;
      for (const TSeriesName& name : SeriesNames(item.Row.Kind, item.Row.Index, item.Row.Caption)) {
        THistorySeries& series = state.Recalled.emplace_back();
        const auto found = stored.constFind(SeriesKey(host, item.Row.Kind, item.Row.Index, name));
        if (found == stored.constEnd()) continue;
        for (auto point = found->crbegin(); point != found->crend(); ++point)
          series.Points.push_back({point->Time * 1000, ChartValue(item.Row, point->Value)});
      }
    }
  } catch (const EHistoryStore& e) {
    return ReadError(Path, e);
  }
  return {};
}

QString THistoryView::Draw(TChart& chart, const TItemHistory& live, const QDateTime& now) {
  const auto found = FCharts.find(chart.objectName());
  if (found == FCharts.end() || found->Span == TChartSpan::GraphLength) {
    DrawGraphLength(chart, found == FCharts.end() ? nullptr : &*found, live);
    return {};
  }
  // A long view moves on by whole pixel columns.
  const int64_t nowMs = now.toMSecsSinceEpoch();
  const int columns = std::max(1, chart.PlotRect().width());
  if ((nowMs - found->ReadAt) * columns < SpanSeconds(found->Span) * 1000) return {};
  return DrawLong(chart, *found, live, nowMs);
}

TChartSpan THistoryView::Span(const TChart& chart) const {
  const auto found = FCharts.constFind(chart.objectName());
  return found == FCharts.constEnd() ? TChartSpan::GraphLength : found->Span;
}

QString THistoryView::SetSpan(TChart& chart, TChartSpan span, const QString& host,
                              const TRowSpec& row, const TItemHistory& live, const QDateTime& now) {
  TChartState& state = FCharts[chart.objectName()];
  if (state.Span == TChartSpan::GraphLength && span != TChartSpan::GraphLength)
    state.MinutesAxis = chart.BottomAxis;
  if (state.Span != TChartSpan::GraphLength && span == TChartSpan::GraphLength)
    chart.BottomAxis = state.MinutesAxis;
  state.Span = span;
  state.Host = host;
  state.Row = row;
  if (span == TChartSpan::GraphLength) {
    DrawGraphLength(chart, &state, live);
    return {};
  }
  return DrawLong(chart, state, live, now.toMSecsSinceEpoch());
}

void THistoryView::DrawGraphLength(TChart& chart, const TChartState* state,
                                   const TItemHistory& live) {
  constexpr int64_t kUnknown = std::numeric_limits<int64_t>::min();
  int64_t zero = state && !state->Recalled.empty() ? state->RecalledAt : kUnknown;
  if (!live.Empty()) zero = std::max(zero, live.Time(0));
  double largest = 0;
  for (size_t s = 0; s < live.SeriesCount() && s < chart.Series.size(); ++s) {
    const THistorySeries joined =
        state && s < state->Recalled.size()
            ? JoinedHistory(state->Recalled[s], live.Series(s), state->BreakAfterRecalled, zero,
                            chart.MaxPointsPerPage)
            : live.Series(s);
    for (const THistoryPoint& point : joined.Points)
      if (std::isfinite(point.Y)) largest = std::max(largest, point.Y);
    chart.Series[s].Points = ChartPoints(joined, zero, chart.Series[s].Color);
  }
  chart.LeftAxis.Maximum = live.AxisMaximum;
  // Rates from before the poller's own raise the axis as its own do.
  if (state && state->Row.Kind == TItemKind::Interface)
    chart.LeftAxis.Maximum = std::max(live.AxisMaximum, RoundToTenth(largest));
  chart.Bands.clear();
  // Told in the user's time, as the status bar and the log tell theirs.
  chart.TimeAtZero = zero == kUnknown ? QDateTime() : QDateTime::fromMSecsSinceEpoch(zero);
  chart.UnitSeconds = 60;
  chart.update();
}

QString THistoryView::DrawLong(TChart& chart, TChartState& state, const TItemHistory& live,
                               int64_t now) {
  const int64_t span = SpanSeconds(state.Span);
  const int unit = UnitSeconds(state.Span);
  const int64_t to = now / 1000 + 1;
  const int64_t from = to - span;
  const int columns = std::max(1, chart.PlotRect().width());
  const double columnUnits = static_cast<double>(span) / columns / unit;
  QString error;
  THistoryStore store;
  try {
    OpenForReading(store, Path, BusyTimeoutMs);
  } catch (const EHistoryStore& e) {
    error = ReadError(Path, e);
  }
  const std::vector<TSeriesName> names =
      SeriesNames(state.Row.Kind, state.Row.Index, state.Row.Caption);
  std::vector<TChartBand> bands;
  double largest = 0;
  for (size_t s = 0; s < names.size() && s < chart.Series.size(); ++s) {
    std::vector<TStoredPoint> points;
    if (store.IsOpen()) {
      try {
        points = store.Points(SeriesKey(state.Host, state.Row.Kind, state.Row.Index, names[s]),
                              from, to);
      } catch (const EHistoryStore& e) {
        error = ReadError(Path, e);
      }
    }
    for (TStoredPoint& point : points) point.Value = ChartValue(state.Row, point.Value);
    // The poller's points the writer may not have stored yet.
    const int64_t stored = points.empty() ? from - 1 : points.back().Time;
    for (size_t back = live.Size(); s < live.SeriesCount() && back-- > 0;)
      if (live.Time(back) / 1000 > stored)
        points.push_back({live.Time(back) / 1000, live.Value(s, back)});
    TChartBand& band = bands.emplace_back(TChartBand{chart.Series[s].Color, {}});
    const std::vector<TBucket> buckets = Buckets(points, from, to, columns);
    for (int i = 0; i < columns; ++i) {
      const TBucket& bucket = buckets[static_cast<size_t>(i)];
      band.Columns.push_back({(columns - i - 0.5) * columnUnits, columnUnits, bucket.Minimum,
                              bucket.Average, bucket.Maximum});
      if (std::isfinite(bucket.Maximum)) largest = std::max(largest, bucket.Maximum);
    }
    chart.Series[s].Points.clear();
  }
  chart.Bands = std::move(bands);
  state.Events.clear();
  if (store.IsOpen()) {
    try {
      for (const TStoredEvent& event : store.Events(state.Host, from, to)) {
        if (!EventOnRow(event, state.Row)) continue;
        const double x = static_cast<double>(to - event.Time.toSecsSinceEpoch()) / unit;
        state.Events.push_back({x, event.Text, event.Fired ? AlertColor : ClearedColor});
      }
    } catch (const EHistoryStore& e) {
      error = ReadError(Path, e);
    }
  }
  TChartAxis& bottom = chart.BottomAxis;
  bottom = state.MinutesAxis;
  bottom.Minimum = 0;
  bottom.Maximum = static_cast<double>(span) / unit;
  bottom.Increment = 1;
  bottom.Title = state.Span == TChartSpan::Day ? QStringLiteral("Hours") : QStringLiteral("Days");
  chart.LeftAxis.Maximum = live.AxisMaximum;
  if (state.Row.Kind == TItemKind::Interface)
    chart.LeftAxis.Maximum = std::max(live.AxisMaximum, std::ceil(largest * 10) / 10);
  chart.TimeAtZero = QDateTime::fromSecsSinceEpoch(to);
  chart.UnitSeconds = unit;
  state.ReadAt = now;
  chart.update();
  return error;
}
