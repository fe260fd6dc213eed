#pragma once

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <vector>

#include "HistoryStore.h"
#include "Poller.h"

class THistoryWriter;
class TPollers;

// The kind as the store keeps it.
TStoredKind StoredKind(TItemKind kind);
// The stored series of one series of a host's item.
TSeriesKey SeriesKey(const QString& host, TItemKind kind, int32_t index, const TSeriesName& name);

// The values one poll of one item gives the history: each series of its chart with its logged
// value, or as a gap where there was none.
void AddStoredValues(std::vector<TStoredValue>& values, const TRowUpdate& update);

// Hands every poll of every poller of the registry to the writer as one stored poll, at the
// time the poll started. A reading that stands in the place of the poll before it is stored at
// that poll's time. Each Connect's polls begin with a gap a second before the first of them, so
// that charts do not join them to what an earlier run stored.
class THistoryFeed : public QObject {
  Q_OBJECT
 public:
  THistoryFeed(TPollers& pollers, THistoryWriter& writer, QObject* parent = nullptr);

 private:
  struct TFollowed {
    std::vector<TStoredValue> Values;  // of the poll under way
    QDateTime LastTime;                // of the last poll that was not a follow-up
    bool RunStarts = false;            // the next poll is a Connect's first
  };
  void Follow(TPoller& poller);
  void Finish(TPoller& poller, const TPollResult& result);

  THistoryWriter& FWriter;
  QHash<const TPoller*, TFollowed> FFollowed;
};
