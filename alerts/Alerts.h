#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "AlertRules.h"
#include "Metrics.h"
#include "Pollers.h"

// One firing or clearing on a host.
struct TAlertEvent {
  QString Host;    // as typed
  QDateTime Time;  // UTC: the end of the poll it came with
  TAlertChange Change;
};

// The kind of items an alert is on; none for the host itself.
std::optional<TItemKind> ItemKindOf(TAlertKind kind);

// The alerts of every poller of a registry: one engine per poller, fed by each poll it ends
// (and by a Connect the host did not answer), all with the same rules. Nothing here waits or
// shows anything; what fires and clears comes out through Changed.
class TAlerts : public QObject {
  Q_OBJECT
 public:
  explicit TAlerts(TPollers& pollers, QObject* parent = nullptr);
  ~TAlerts() override;

  // New rules for every host, at once: alerts whose rule is now off end (told through Changed,
  // as Off), and the interfaces' state is read at each poll only while the down rule is on.
  void SetRules(const TAlertRules& rules);
  const TAlertRules& Rules() const { return FRules; }

  // The alerts that stand on the poller's host, by kind, then index and name.
  std::vector<TAlert> Standing(const TPoller& poller) const;
  // How many stand there: what a list of hosts shows beside each.
  int Count(const TPoller& poller) const;
  // Not answering (its last poll or Connect got no answer, or that alert stands), else in
  // alert while any alert stands, else normal.
  THostState State(const TPoller& poller) const;
  // The state of every poller's host.
  std::vector<THostState> States() const;
  // The firings and clearings on the poller's host while it was polled, oldest first (the
  // newest kKeptEvents).
  const std::deque<TAlertEvent>& Events(const TPoller& poller) const;
  static constexpr size_t kKeptEvents = 1000;
  // Every standing alert of every host, for the metrics endpoint.
  std::vector<TActiveAlert> Active() const;
  QByteArray RenderMetrics() const { return RenderAlertMetrics(Active()); }

 signals:
  // Something fired or cleared on the poller's host.
  void Changed(TPoller* poller, const TAlertEvent& event);
  // The number of alerts standing on the poller's host has changed.
  void CountChanged(TPoller* poller, int count);
  // A host's state may have changed: an alert, an answer or its absence, a poller gone.
  void StatesChanged();

 private:
  struct THost;
  void Add(TPoller* poller);
  void Feed(TPoller* poller, const TPollReadings& readings);
  void Tell(TPoller* poller, THost& host, const std::vector<TAlertChange>& changes,
            const QDateTime& time, int before);
  const THost* Find(const TPoller& poller) const;

  TPollers& FPollers;
  TAlertRules FRules;
  std::map<TPoller*, std::unique_ptr<THost>, std::less<>> FHosts;
};

// The values of one item's update as an engine reads them; the name comes from its row.
TItemReading ItemReading(const TRowUpdate& update);

// What one poll of a poller gives its engine: every item of the poller by its row, each with
// the values this poll read of it (a gap where none came). A reading for the first rates
// stands in the place of the poll before it: it brings only the rates that poll lacked.
TPollReadings PollReadings(const std::vector<TItemView>& items,
                           const std::map<std::pair<TItemKind, int32_t>, TItemReading>& read,
                           const TPollResult& result);
