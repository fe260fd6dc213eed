#include "Alerts.h"

#include <algorithm>

struct TAlerts::THost {
  explicit THost(const TAlertRules& rules) : Engine(rules) {}
  TAlertEngine Engine;
  // What the poll under way has read so far.
  std::map<std::pair<TItemKind, int32_t>, TItemReading> Read;
  std::deque<TAlertEvent> Events;
};

namespace {

TAlertItemKind AlertItemKind(TItemKind kind) {
  switch (kind) {
    case TItemKind::Processor:
      return TAlertItemKind::Processor;
    case TItemKind::Interface:
      return TAlertItemKind::Interface;
    case TItemKind::Storage:
      break;
  }
  return TAlertItemKind::Storage;
}

bool Answered(const TReadRun& run) {
  return run.Requests == 0 || run.Answers > 0;
}

}  // namespace

TItemReading ItemReading(const TRowUpdate& update) {
  TItemReading reading;
  reading.Kind = AlertItemKind(update.Kind);
  reading.Index = update.Index;
  const TRawValues& raw = update.Raw;
  switch (update.Kind) {
    case TItemKind::Processor:
      if (raw.Load) reading.Percent = static_cast<double>(*raw.Load);
      break;
    case TItemKind::Interface:
      // Use is measured against the line rate; an interface without one (a loopback, or one
      // whose agent gives no speed) has no use to speak of.
      if (raw.SpeedBits > 0 && !raw.Loopback) {
        // The utilisation is the higher direction's; with one direction alone, it is at least
        // that one's.
        reading.Percent = update.Percent.Value;
        if (update.In.Value && update.Out.Value) reading.OutPercent = update.Percent.Value;
      }
      reading.AdminStatus = raw.AdminStatus;
      reading.OperStatus = raw.OperStatus;
      break;
    case TItemKind::Storage:
      if (raw.SizeBytes && raw.UsedBytes && *raw.SizeBytes > 0)
        reading.Percent =
            100.0 * static_cast<double>(*raw.UsedBytes) / static_cast<double>(*raw.SizeBytes);
      break;
  }
  return reading;
}

TPollReadings PollReadings(const std::vector<TItemView>& items,
                           const std::map<std::pair<TItemKind, int32_t>, TItemReading>& read,
                           const TPollResult& result) {
  TPollReadings readings;
  readings.Time = result.Ended;
  readings.Answered = Answered(result.Run);
  for (const TItemView& item : items) {
    const auto found = read.find({item.Row.Kind, item.Row.Index});
    TItemReading reading = found != read.end() ? found->second : TItemReading{};
    if (result.FollowUp) reading.AdminStatus = reading.OperStatus = std::nullopt;
    reading.Kind = AlertItemKind(item.Row.Kind);
    reading.Index = item.Row.Index;
    // A processor's caption counts processors; its alerts name it by its index.
    reading.Name =
        item.Row.Kind == TItemKind::Processor ? QString::number(item.Row.Index) : item.Row.Caption;
    readings.Items.push_back(std::move(reading));
  }
  return readings;
}

std::optional<TItemKind> ItemKindOf(TAlertKind kind) {
  switch (kind) {
    case TAlertKind::ProcessorLoad:
      return TItemKind::Processor;
    case TAlertKind::InterfaceUse:
    case TAlertKind::InterfaceDown:
      return TItemKind::Interface;
    case TAlertKind::StorageUse:
      return TItemKind::Storage;
    case TAlertKind::NoAnswer:
      break;
  }
  return std::nullopt;
}

TAlerts::TAlerts(TPollers& pollers, QObject* parent) : QObject(parent), FPollers(pollers) {
  for (TPoller* poller : pollers.All()) Add(poller);
  connect(&pollers, &TPollers::PollerAdded, this, &TAlerts::Add);
  connect(&pollers, &TPollers::PollerRemoved, this, [this](TPoller* poller) {
    disconnect(poller, nullptr, this, nullptr);
    // Its alerts end with it, untold: nobody watches that host any more.
    if (FHosts.erase(poller) > 0) emit StatesChanged();
  });
}

TAlerts::~TAlerts() = default;

void TAlerts::Add(TPoller* poller) {
  FHosts[poller] = std::make_unique<THost>(FRules);
  poller->SetReadInterfaceState(FRules.Down);
  connect(poller, &TPoller::ItemUpdated, this, [this, poller](const TRowUpdate& update) {
    FHosts.at(poller)->Read[{update.Kind, update.Index}] = ItemReading(update);
  });
  connect(poller, &TPoller::PollFinished, this, [this, poller](const TPollResult& result) {
    THost& host = *FHosts.at(poller);
    const auto read = std::exchange(host.Read, {});
    // A reading for the first rates that got no answer stands in for nothing.
    if (result.FollowUp && !Answered(result.Run)) return;
    Feed(poller, PollReadings(poller->Items(), read, result));
  });
  connect(poller, &TPoller::ConnectFinished, this, [this, poller](const TConnectOutcome& outcome) {
    FHosts.at(poller)->Read.clear();
    if (outcome.Kind == TConnectOutcome::NoAnswer || outcome.Kind == TConnectOutcome::FellSilent)
      Feed(poller, {FPollers.Clock().Now(), false, {}});
  });
  connect(poller, &TPoller::StatusChanged, this, &TAlerts::StatesChanged);
}

void TAlerts::Feed(TPoller* poller, const TPollReadings& readings) {
  THost& host = *FHosts.at(poller);
  const int before = static_cast<int>(host.Engine.Standing().size());
  Tell(poller, host, host.Engine.Poll(readings), readings.Time, before);
}

void TAlerts::Tell(TPoller* poller, THost& host, const std::vector<TAlertChange>& changes,
                   const QDateTime& time, int before) {
  for (const TAlertChange& change : changes) {
    TAlertEvent event{poller->Host(), time, change};
    host.Events.push_back(event);
    if (host.Events.size() > kKeptEvents) host.Events.pop_front();
    emit Changed(poller, event);
  }
  const int count = static_cast<int>(host.Engine.Standing().size());
  if (count != before) emit CountChanged(poller, count);
  if (!changes.empty()) emit StatesChanged();
}

void TAlerts::SetRules(const TAlertRules& rules) {
  if (rules == FRules) return;
  FRules = rules;
  const QDateTime now = FPollers.Clock().Now();
  for (auto& [poller, host] : FHosts) {
    poller->SetReadInterfaceState(rules.Down);
    const int before = static_cast<int>(host->Engine.Standing().size());
    Tell(poller, *host, host->Engine.SetRules(rules), now, before);
  }
}

const TAlerts::THost* TAlerts::Find(const TPoller& poller) const {
  const auto found = FHosts.find(&poller);
  return found == FHosts.end() ? nullptr : found->second.get();
}

std::vector<TAlert> TAlerts::Standing(const TPoller& poller) const {
  const THost* host = Find(poller);
  return host ? host->Engine.Standing() : std::vector<TAlert>{};
}

int TAlerts::Count(const TPoller& poller) const {
  return static_cast<int>(Standing(poller).size());
}

THostState TAlerts::State(const TPoller& poller) const {
  const std::vector<TAlert> standing = Standing(poller);
  const TPollerStatus& status = poller.Status();
  const bool failed =
      status.State == TPollerState::Failed && (status.Outcome.Kind == TConnectOutcome::NoAnswer ||
                                               status.Outcome.Kind == TConnectOutcome::FellSilent);
  if (status.State == TPollerState::Silent || failed ||
      std::any_of(standing.begin(), standing.end(),
                  [](const TAlert& alert) { return alert.Kind == TAlertKind::NoAnswer; }))
    return THostState::NoAnswer;
  return standing.empty() ? THostState::Normal : THostState::Alert;
}

std::vector<THostState> TAlerts::States() const {
  std::vector<THostState> states;
  for (const TPoller* poller : FPollers.All()) states.push_back(State(*poller));
  return states;
}

const std::deque<TAlertEvent>& TAlerts::Events(const TPoller& poller) const {
  static const std::deque<TAlertEvent> kNone;
  const THost* host = Find(poller);
  return host ? host->Events : kNone;
}

std::vector<TActiveAlert> TAlerts::Active() const {
  std::vector<TActiveAlert> active;
  for (const TPoller* poller : FPollers.All()) {
    for (const TAlert& alert : Standing(*poller))
      active.push_back({poller->Host(), AlertKindLabel(alert.Kind), alert.Name});
  }
  std::stable_sort(active.begin(), active.end(),
                   [](const TActiveAlert& a, const TActiveAlert& b) { return a.Host < b.Host; });
  return active;
}
