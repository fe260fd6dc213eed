#include "Pollers.h"

#include <algorithm>

#include "SlotLimiter.h"

TPollers::TPollers(TClock& clock, TTransportFactory transports, QObject* parent)
    : QObject(parent),
      FClock(clock),
      FTransports(std::move(transports)),
      FSlots(std::make_unique<TSlotLimiter>(clock)) {}

TPollers::~TPollers() {
  // The pollers give their slots back while the limiter is still there.
  for (const TEntry& entry : FEntries) delete entry.Poller;
}

TPoller& TPollers::Hold(const TPollerSettings& settings) {
  for (TEntry& entry : FEntries) {
    if (entry.Poller->Host() != settings.Host) continue;
    ++entry.Holds;
    entry.Poller->SetSettings(settings);
    return *entry.Poller;
  }
  auto* poller = new TPoller(settings, FTransports(), FClock, *FSlots, this);
  poller->AutoHeight = [this] { return AutoHeight && AutoHeight(); };
  FEntries.push_back({poller, 1});
  emit PollerAdded(poller);
  return *poller;
}

void TPollers::Hold(TPoller& poller) {
  for (TEntry& entry : FEntries) {
    if (entry.Poller == &poller) ++entry.Holds;
  }
}

void TPollers::Release(TPoller& poller) {
  const auto found = std::find_if(FEntries.begin(), FEntries.end(), [&poller](const TEntry& entry) {
    return entry.Poller == &poller;
  });
  if (found == FEntries.end() || --found->Holds > 0) return;
  FEntries.erase(found);
  FLastHost = poller.Host();
  poller.Stop();
  emit PollerRemoved(&poller);
  poller.deleteLater();
}

TPoller* TPollers::Find(const QString& host) const {
  for (const TEntry& entry : FEntries) {
    if (entry.Poller->Host() == host) return entry.Poller;
  }
  return nullptr;
}

std::vector<TPoller*> TPollers::All() const {
  std::vector<TPoller*> pollers;
  for (const TEntry& entry : FEntries) pollers.push_back(entry.Poller);
  return pollers;
}

QByteArray TPollers::RenderMetrics() const {
  std::vector<TMetricsValues> hosts;
  for (const TEntry& entry : FEntries) hosts.push_back(entry.Poller->Metrics());
  if (hosts.empty()) {
    TMetricsValues last;
    last.Host = FLastHost;
    hosts.push_back(last);
  }
  std::stable_sort(
      hosts.begin(), hosts.end(),
      [](const TMetricsValues& a, const TMetricsValues& b) { return a.Host < b.Host; });
  return ::RenderMetrics(hosts);
}
