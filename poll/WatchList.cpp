#include "WatchList.h"

#include <algorithm>

TPollerSettings WatchedSettings(const TWatchedHost& host, const TPollerSettings& base) {
  TPollerSettings settings = base;
  settings.Host = host.Host;
  settings.Community = host.Community;
  settings.Connection = host.Connection;
  return settings;
}

TWatchedHost WatchedHostOf(const TPollerSettings& settings) {
  TWatchedHost host{settings.Host, settings.Community, settings.Connection};
  // A community means nothing to version 3, and passing one on would only spread it.
  if (host.Connection.Version == TSnmpVersion::V3) host.Community.clear();
  return host;
}

TWatchList::TWatchList(TPollers& pollers, QObject* parent) : QObject(parent), FPollers(pollers) {}

TWatchList::~TWatchList() {
  for (const auto& entry : FEntries) {
    disconnect(entry->Link);
    entry->Retry.reset();
    FPollers.Release(*entry->Poller);
  }
}

TPoller& TWatchList::Watch(const TPollerSettings& settings) {
  if (TPoller* watched = Find(settings.Host)) return *watched;
  TPoller& poller = FPollers.Hold(settings);
  auto entry = std::make_unique<TEntry>();
  entry->Poller = &poller;
  entry->Retry = std::make_unique<TTimer>(FPollers.Clock(), this);
  TEntry& added = *entry;
  entry->Link = connect(&poller, &TPoller::StatusChanged, this, [this, &added] { Follow(added); });
  FEntries.push_back(std::move(entry));
  emit Added(&poller);
  if (!poller.Connected() && !poller.Busy()) Connect(added);
  return poller;
}

void TWatchList::Unwatch(const QString& host) {
  const auto found = std::find_if(FEntries.begin(), FEntries.end(), [&host](const auto& entry) {
    return entry->Poller->Host() == host;
  });
  if (found == FEntries.end()) return;
  std::unique_ptr<TEntry> entry = std::move(*found);
  FEntries.erase(found);
  disconnect(entry->Link);
  entry->Retry.reset();
  emit Removed(entry->Poller);
  FPollers.Release(*entry->Poller);
}

TPoller* TWatchList::Find(const QString& host) const {
  for (const auto& entry : FEntries) {
    if (entry->Poller->Host() == host) return entry->Poller;
  }
  return nullptr;
}

std::vector<TPoller*> TWatchList::Pollers() const {
  std::vector<TPoller*> pollers;
  for (const auto& entry : FEntries) pollers.push_back(entry->Poller);
  return pollers;
}

std::vector<TWatchedHost> TWatchList::Hosts() const {
  std::vector<TWatchedHost> hosts;
  for (const auto& entry : FEntries) hosts.push_back(WatchedHostOf(entry->Poller->Settings()));
  return hosts;
}

void TWatchList::Connect(TEntry& entry) {
  TPoller& poller = *entry.Poller;
  poller.Connect();
  // Version 3 asks at once; whoever answers for the list reads the keyring, never the user.
  if (Find(poller.Host()) == &poller && poller.Status().State == TPollerState::PassphraseNeeded)
    emit PassphrasesWanted(&poller);
}

void TWatchList::Follow(TEntry& entry) {
  const TPollerStatus& status = entry.Poller->Status();
  if (status.State != TPollerState::Failed) {
    entry.Retry->Stop();
    return;
  }
  if (status.Outcome.Kind == TConnectOutcome::Report || entry.Retry->Active()) return;
  const int64_t interval =
      std::max<int64_t>(int64_t{entry.Poller->Settings().IntervalMinutes} * 60 * 1000, 60 * 1000);
  entry.Retry->Start(interval, [this, &entry] {
    if (entry.Poller->Status().State == TPollerState::Failed) Connect(entry);
  });
}
