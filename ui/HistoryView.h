#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <cstdint>
#include <vector>

#include "Chart.h"
#include "History.h"
#include "Poller.h"

// What a chart shows: the option's graph length, or one of the long views of its context menu.
enum class TChartSpan { GraphLength, Day, Week, Month };

// The menu's text of a span: "Graph Length", "Last 24 hours", "Last 7 days", "Last 30 days".
QString SpanText(TChartSpan span);

// What the charts of the host shown take from the history store: the points from before the
// poller's own, read once when the host is shown, and the long views, read when the user picks
// one. Reads go to the store on the caller's thread, waiting little for a lock; a store that
// cannot be read leaves the charts with the poller's points, and the calls say why.
class THistoryView {
 public:
  QString Path;  // the store; empty: none
  int BusyTimeoutMs = 200;

  // Forgets all charts: their rows are gone.
  void Clear();
  // Reads the points of the host's items from the graph length (plus one poll interval, for the
  // line into the left edge) before now up to the poller's own. A chart draws them from its next
  // Draw on; while the poller has none, a gap is to follow them.
  QString Recall(const QString& host, const std::vector<TItemView>& items, int graphLength,
                 int intervalMinutes, const QDateTime& now);
  // Draws an item's history on its chart. In the graph length, the live points follow the
  // recalled ones and the newest poll (or the moment of the recall, when later) is at 0 minutes.
  // A long view is read again once the time of one of its pixel columns has passed, with the
  // live points the store may not have yet.
  QString Draw(TChart& chart, const TItemHistory& live, const QDateTime& now);
  TChartSpan Span(const TChart& chart) const;
  // The alerts' firings and clearings on the chart's item (and its host) the store had for the
  // long view shown, as the chart marks them; empty in the graph length.
  std::vector<TChartEvent> LongViewEvents(const TChart& chart) const;
  // Shows the chart of host's row in the span.
  QString SetSpan(TChart& chart, TChartSpan span, const QString& host, const TRowSpec& row,
                  const TItemHistory& live, const QDateTime& now);

 private:
  struct TChartState {
    std::vector<THistorySeries> Recalled;
    bool BreakAfterRecalled = false;
    int64_t RecalledAt = 0;  // UTC milliseconds
    TChartSpan Span = TChartSpan::GraphLength;
    QString Host;
    TRowSpec Row;
    int64_t ReadAt = 0;      // when the long view was read, UTC milliseconds
    TChartAxis MinutesAxis;  // the graph length's axis, while a long view is shown
    std::vector<TChartEvent> Events;  // of the long view
  };
  void DrawGraphLength(TChart& chart, const TChartState* state, const TItemHistory& live);
  QString DrawLong(TChart& chart, TChartState& state, const TItemHistory& live, int64_t now);

  QHash<QString, TChartState> FCharts;  // by chart name
};
