#include "HistoryFeed.h"

#include <utility>

#include "HistoryWriter.h"
#include "Monitors.h"
#include "Pollers.h"

TStoredKind StoredKind(TItemKind kind) {
  switch (kind) {
    case TItemKind::Processor:
      return TStoredKind::Processor;
    case TItemKind::Interface:
      return TStoredKind::Interface;
    case TItemKind::Storage:
      return TStoredKind::Storage;
  }
  return TStoredKind::Processor;
}

TSeriesKey SeriesKey(const QString& host, TItemKind kind, int32_t index, const TSeriesName& name) {
  return {host, StoredKind(kind), name.Tag, index, name.Item};
}

void AddStoredValues(std::vector<TStoredValue>& values, const TRowUpdate& update) {
  for (const TSeriesName& name : SeriesNames(update.Kind, update.Index, update.Raw.Name)) {
    TStoredValue value{StoredKind(update.Kind), name.Tag, update.Index, name.Item, std::nullopt};
    for (const TLogLine& line : update.Log) {
      if (line.Tag == name.Tag) value.Value = line.Value;
    }
    values.push_back(std::move(value));
  }
}

THistoryFeed::THistoryFeed(TPollers& pollers, THistoryWriter& writer, QObject* parent)
    : QObject(parent), FWriter(writer) {
  for (TPoller* poller : pollers.All()) Follow(*poller);
  connect(&pollers, &TPollers::PollerAdded, this, [this](TPoller* poller) { Follow(*poller); });
  connect(&pollers, &TPollers::PollerRemoved, this,
          [this](TPoller* poller) { FFollowed.remove(poller); });
}

void THistoryFeed::Follow(TPoller& poller) {
  TPoller* followed = &poller;
  FFollowed.insert(followed, {});
  connect(followed, &TPoller::ItemUpdated, this, [this, followed](const TRowUpdate& update) {
    AddStoredValues(FFollowed[followed].Values, update);
  });
  connect(followed, &TPoller::StatusChanged, this, [this, followed](const TPollerStatus& status) {
    // A Connect or Stop abandons the poll under way, which then never finishes.
    if (status.State != TPollerState::Answering && status.State != TPollerState::Silent)
      FFollowed[followed].Values.clear();
  });
  connect(followed, &TPoller::ConnectFinished, this,
          [this, followed](const TConnectOutcome& outcome) {
            if (outcome.Kind == TConnectOutcome::Connected) FFollowed[followed].RunStarts = true;
          });
  connect(followed, &TPoller::PollFinished, this,
          [this, followed](const TPollResult& result) { Finish(*followed, result); });
}

void THistoryFeed::Finish(TPoller& poller, const TPollResult& result) {
  TFollowed& followed = FFollowed[&poller];
  TStoredPoll poll{poller.Host(), result.Started, std::move(followed.Values)};
  followed.Values.clear();
  if (result.FollowUp) {
    if (followed.LastTime.isValid()) poll.Time = followed.LastTime;
  } else {
    followed.LastTime = result.Started;
  }
  if (poll.Values.empty()) return;
  if (std::exchange(followed.RunStarts, false) && !result.FollowUp) {
    TStoredPoll gap{poll.Host, poll.Time.addSecs(-1), poll.Values};
    for (TStoredValue& value : gap.Values) value.Value.reset();
    FWriter.Store(std::move(gap));
  }
  FWriter.Store(std::move(poll));
}
