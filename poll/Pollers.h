#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "Clock.h"
#include "Poller.h"
#include "Transport.h"

// Every poller of the program by its host text: the host the window shows and the hosts watched
// in the background. It makes them with its transport factory on its clock, and lets
// every Connect and poll pass its slot limiter. Whoever shows or watches a host holds its
// poller; one that nobody holds any more stops and goes.
class TPollers : public QObject {
  Q_OBJECT
 public:
  TPollers(TClock& clock, TTransportFactory transports, QObject* parent = nullptr);
  ~TPollers() override;

  TClock& Clock() const { return FClock; }
  // The limiter between the pollers and their requests; at first one that lets 32 pollers
  // connect or poll at the same moment.
  TPollSlots& Slots() const { return *FSlots; }
  // Replaces the limiter; only while no poller holds a slot.
  void SetSlots(std::unique_ptr<TPollSlots> limiter) { FSlots = std::move(limiter); }
  // Asked at each interface reading of every poller: whether "Auto Height" is on.
  std::function<bool()> AutoHeight;

  // The poller of settings.Host, made if there is none (else given the settings for its next
  // Connect), held once more.
  TPoller& Hold(const TPollerSettings& settings);
  // One more hold on a poller of this registry.
  void Hold(TPoller& poller);
  // One hold given back: a poller nobody holds stops at once and is destroyed from the event
  // loop, so that it may be released from within one of its own signals.
  void Release(TPoller& poller);
  TPoller* Find(const QString& host) const;
  std::vector<TPoller*> All() const;

  // The metrics of every poller, each under its own host label, ordered by host; with none,
  // the host of the last one released, down.
  QByteArray RenderMetrics() const;

 signals:
  // A poller was made: the place to subscribe to its updates.
  void PollerAdded(TPoller* poller);
  // A poller goes; it emits nothing more.
  void PollerRemoved(TPoller* poller);

 private:
  struct TEntry {
    TPoller* Poller;  // a child
    int Holds;
  };
  TClock& FClock;
  TTransportFactory FTransports;
  std::unique_ptr<TPollSlots> FSlots;
  std::vector<TEntry> FEntries;
  QString FLastHost;
};
