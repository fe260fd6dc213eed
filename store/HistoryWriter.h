#pragma once

#include <QObject>
#include <QThread>
#include <QTimer>

#include "HistoryStore.h"

class TClock;

class THistoryWorker;

// Writes the polls into the store on a thread of its own, so the caller never waits for the
// disk. A store that cannot be opened or written is reported once through Failed; after that
// polls are dropped until the next Open.
class THistoryWriter : public QObject {
  Q_OBJECT

 public:
  // The clock tells when values are old enough to go.
  explicit THistoryWriter(QObject* parent = nullptr);
  THistoryWriter(TClock& clock, QObject* parent = nullptr);
  // Finishes what is queued and closes the store.
  ~THistoryWriter() override;

  // (Re)opens the store, removes what is older than the kept days (set them first), and from
  // then on does so once a day. A lock held by another program is waited for up to
  // busyTimeoutMs at each step.
  void Open(const QString& path, int busyTimeoutMs = 5000);
  // Queues one poll; dropped while the store has failed or no days are kept.
  void Store(TStoredPoll poll);
  // Queues one alert event, under the same conditions as a poll.
  void StoreEvent(TStoredEvent event);
  // How many days of values to keep; 0 keeps nothing (and removes what is stored at the next
  // removal).
  void SetKeepDays(int days);
  // Removes the values older than the kept days now.
  void RemoveOld();
  // Blocks until everything queued before it is done.
  void Wait();

 signals:
  // A line for the status bar saying why history is not kept.
  void Failed(const QString& text);

 private:
  TClock& FClock;
  QThread FThread;
  THistoryWorker* FWorker;
  QTimer FDaily;
};
