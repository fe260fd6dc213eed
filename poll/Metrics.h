#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "MonitorTypes.h"

struct TReadRun;

// What the metrics endpoint shows: the host, how its last poll went, and the values of the
// last poll of each item as the agent gave them.
struct TMetricsValues {
  QString Host;     // the host box's text of the connection (or of the last one)
  bool Up = false;  // the last poll got answers
  std::optional<double> PollSeconds;
  std::optional<int> PollRequests;
  std::map<std::pair<TItemKind, int32_t>, TRawValues> Items;  // by kind and index
};

// The values of each host in the Prometheus text exposition format (version 0.0.4), independent
// of the locale: a family per metric that has samples, a value that did not come left out.
QByteArray RenderMetrics(const std::vector<TMetricsValues>& hosts);
QByteArray RenderMetrics(const TMetricsValues& values);

// An alert that stands, as the metrics name it.
struct TActiveAlert {
  QString Host;
  QString Kind;  // "processor", "interface", "interface_down", "storage" or "no_answer"
  QString Item;  // the item's name; empty for no answer
};

// corvane_alert_active{host,kind,item} 1 for each alert that stands, in the same format, to
// follow RenderMetrics' text; empty when none stands. Items of one name share one sample.
QByteArray RenderAlertMetrics(const std::vector<TActiveAlert>& alerts);

// A label value as the format wants it: backslash, double quote and line feed escaped.
QByteArray EscapeLabelValue(const QString& value);

// The values of one host as its connection and polls change them. Items of a poll show once
// the poll has ended, so a scrape never sees half of one; items that a poll did not ask for
// keep the values of their own last poll. Times are milliseconds of the poller's clock.
class TMetrics {
 public:
  explicit TMetrics(const QString& host = QString()) { FValues.Host = host; }
  const TMetricsValues& Values() const { return FValues; }

  // A connection to host has come through: up, no poll yet.
  void Connect(const QString& host);
  void StartPoll(int64_t now);
  // One item's values of the poll under way.
  void Add(const TRowUpdate& update);
  // The poll under way has ended: up when it got answers (unchanged when it asked nothing).
  void EndPoll(const TReadRun& run, int64_t now);
  // Nothing but the last host, down.
  void Disconnect();

 private:
  TMetricsValues FValues;
  std::map<std::pair<TItemKind, int32_t>, TRawValues> FPending;
  std::optional<int64_t> FPollStart;
  bool FConnected = false;
};
