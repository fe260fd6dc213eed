#include <cmath>

#include "ActivityLog.h"
#include "Monitors.h"
#include "Oids.h"
#include "ValueText.h"

namespace {

constexpr const char* kSoftwareLoopback = "24";  // ifType softwareLoopback

QString Text(const TReadValue& value) {
  return value.Ok() ? QString::fromLocal8Bit(value.Text) : QString();
}

// An octet counter's reading, as wide as the counter.
std::optional<uint64_t> Octets(const TReadValue& value, int bits) {
  if (!value.Ok()) return std::nullopt;
  if (bits == 64) {
    uint64_t octets = 0;
    if (TryStrToUInt64(value.Text, octets)) return octets;
    return std::nullopt;
  }
  uint32_t octets = 0;
  if (TryStrToLW(value.Text, octets)) return octets;
  return std::nullopt;
}

// A TimeTicks value, or nothing where it did not come or is no number.
std::optional<uint32_t> Ticks(const TReadValue& value) {
  uint32_t ticks = 0;
  if (value.Ok() && TryStrToLW(value.Text, ticks)) return ticks;
  return std::nullopt;
}

}  // namespace

std::vector<std::string> TInterfaceMonitor::DiscoveryColumns(bool batched) {
  if (!batched) return {Oids::IfIndex};
  return {Oids::IfIndex, Oids::IfDescr, Oids::IfType, Oids::IfSpeed};
}

std::vector<std::string> TInterfaceMonitor::ExtensionColumns(bool batched) {
  if (!batched) return {};
  // The counters side by side, so that a walk in chains takes them in the same requests.
  return {Oids::IfHCInOctets, Oids::IfHCOutOctets, Oids::IfName, Oids::IfHighSpeed,
          Oids::IfCounterDiscontinuityTime};
}

std::vector<TItemRead> TInterfaceMonitor::DiscoveryReads(const TWalkTable& table,
                                                         const TWalkTable& extension) {
  List.Clear();
  FPending.clear();
  FUnnamed.clear();
  TWalkedCells walked = Cells(DiscoveryColumns(table.size() > 1), table);
  walked.merge(Cells(ExtensionColumns(!extension.empty()), extension));
  const auto& highCapacity = walked[Oids::IfHCInOctets];
  const auto& highCapacityOut = walked[Oids::IfHCOutOctets];
  // The up-time each counter came with, by row.
  std::unordered_map<std::string, TReadValue> upTimes[2];
  for (size_t c = 0; c < 2 && c < extension.size(); ++c) {
    for (const TWalkRow& cell : extension[c]) upTimes[c].emplace(cell.Index, cell.UpTime);
  }
  std::vector<TItemRead> reads;
  for (const int32_t index : WalkIndexes(table.at(0))) {
    // An interface whose ifXTable row has both 64-bit counters is read through them.
    const std::string row = std::to_string(index);
    const bool wide = highCapacity.contains(row) && highCapacityOut.contains(row) &&
                      highCapacity.at(row).Ok() && highCapacityOut.at(row).Ok();
    FPending.push_back({index, wide ? 64 : 32});
    std::vector<std::string> columns = {Oids::IfDescr,
                                        Oids::IfSpeed,
                                        Oids::IfType,
                                        Oids::SysUpTime,
                                        wide ? Oids::IfHCInOctets : Oids::IfInOctets,
                                        wide ? Oids::IfHCOutOctets : Oids::IfOutOctets};
    if (!extension.empty()) {
      columns.push_back(Oids::IfName);
      columns.push_back(Oids::IfHighSpeed);
      columns.push_back(Oids::IfCounterDiscontinuityTime);
    }
    TItemRead read = InstanceRead(columns, index, walked);
    // The baselines are both counters at one sysUpTime: as walked where they came with the same
    // one, otherwise read now.
    read.Known[4] = read.Known[5] = std::nullopt;
    if (wide) {
      const TReadValue& in = upTimes[0][row];
      if (in.Ok() && in.Text == upTimes[1][row].Text) {
        read.Known[3] = in;
        read.Known[4] = highCapacity.at(row);
        read.Known[5] = highCapacityOut.at(row);
      }
    }
    reads.push_back(std::move(read));
  }
  return reads;
}

TRowSpec TInterfaceMonitor::Discover(int item, const TItemValues& values) {
  auto record = std::make_unique<TInterface>();
  TInterface& interface = *record;
  const TPending& pending = FPending.at(static_cast<size_t>(item));
  interface.Index = pending.Index;
  interface.CounterBits = pending.Bits;
  interface.Descr = Text(values.at(0));
  uint32_t speed = 0;
  if (!values.at(1).Ok() || !TryStrToLW(values[1].Text, speed)) speed = 0;
  interface.Speed = speed == 0 ? 1 : speed;
  interface.ReportedSpeed = speed;
  // ifSpeed stops at 4,294,967,295; a faster interface tells its speed in Mbit/s.
  uint32_t megabits = 0;
  if (speed == UINT32_MAX && values.size() > 7 && values[7].Ok() &&
      TryStrToLW(values[7].Text, megabits) && megabits > 0) {
    interface.Speed = interface.ReportedSpeed = uint64_t{megabits} * 1000000;
  }
  interface.IfType = Text(values.at(2));
  // A loopback has no line rate whatever speed its agent gives, and an ifSpeed at its ceiling
  // only says the interface is at least that fast: differences are checked against neither.
  const bool ceiling = interface.ReportedSpeed == UINT32_MAX;
  if (!ceiling && values.at(2).Ok() && values[2].Text != kSoftwareLoopback) {
    interface.KnownSpeed = interface.ReportedSpeed;
  }
  const bool wide = pending.Bits == 64;
  interface.InOctetsOid =
      Oids::Instance(wide ? Oids::IfHCInOctets : Oids::IfInOctets, pending.Index);
  interface.OutOctetsOid =
      Oids::Instance(wide ? Oids::IfHCOutOctets : Oids::IfOutOctets, pending.Index);
  // The first readings become the baselines of the first rates; a counter or up-time that did
  // not come leaves none, rather than a 0 that would read as a wrap.
  if (values.at(3).Ok()) {
    const uint32_t now = StrToLW(values[3].Text);
    TCounterReading* baselines[] = {&interface.In, &interface.Out};
    for (int s = 0; s < 2; ++s) {
      if (const auto octets = Octets(values.at(4 + static_cast<size_t>(s)), pending.Bits)) {
        NextReading(*baselines[s], *octets, now, {pending.Bits});
      }
    }
  }
  // Read at each poll where the agent has it.
  if (values.size() > 8 && values[8].Ok()) {
    interface.DiscontinuityOid = Oids::Instance(Oids::IfCounterDiscontinuityTime, pending.Index);
    interface.DiscontinuityTime = Ticks(values[8]);
  }
  if (interface.Descr.isEmpty() && values.size() > 6 && values[6].Ok()) {
    interface.Descr = Text(values[6]);
  }
  if (interface.Descr.isEmpty()) {
    // SNMPv1 asks for the name afterwards; until then, and without one, it is its number.
    if (values.size() <= 6) FUnnamed.push_back(List.Count());
    interface.Descr = QStringLiteral("Interface %1").arg(interface.Index);
  }
  interface.History = NewHistory(2, 1);
  const TRowSpec rowSpec{TItemKind::Interface, interface.Index, interface.Descr, 1};
  List.Add(QString::number(interface.Index), std::move(record));
  return rowSpec;
}

std::vector<TItemRead> TInterfaceMonitor::NameReads() {
  std::vector<TItemRead> reads;
  for (const int position : FUnnamed) {
    reads.push_back({{Oids::Instance(Oids::IfName, List.Record(position).Index)}, {}});
  }
  return reads;
}

std::optional<TRowSpec> TInterfaceMonitor::Name(int read, const TItemValues& values) {
  TInterface& interface = List.Record(FUnnamed.at(static_cast<size_t>(read)));
  if (!values.at(0).Ok() || values[0].Text.empty()) return std::nullopt;
  interface.Descr = Text(values[0]);
  return TRowSpec{TItemKind::Interface, interface.Index, interface.Descr, 1};
}

std::vector<TRowSpec> TInterfaceMonitor::Rows() const {
  std::vector<TRowSpec> rows;
  for (int i = 0; i < List.Count(); ++i) {
    rows.push_back({TItemKind::Interface, List.Record(i).Index, List.Record(i).Descr, 1});
  }
  return rows;
}

std::vector<TItemRead> TInterfaceMonitor::PollReads() const {
  std::vector<TItemRead> reads;
  for (int i = 0; i < List.Count(); ++i) reads.push_back(PollRead(List.Record(i), ReadState));
  return reads;
}

TItemRead TInterfaceMonitor::PollRead(const TInterface& interface, bool state) {
  TItemRead read{{Oids::SysUpTime, interface.InOctetsOid, interface.OutOctetsOid}, {}};
  if (!interface.DiscontinuityOid.empty()) read.Oids.push_back(interface.DiscontinuityOid);
  if (state) {
    read.Oids.push_back(Oids::Instance(Oids::IfAdminStatus, interface.Index));
    read.Oids.push_back(Oids::Instance(Oids::IfOperStatus, interface.Index));
  }
  return read;
}

bool TInterfaceMonitor::Measuring() const {
  for (int i = 0; i < List.Count(); ++i) {
    if (List.Record(i).Measuring) return true;
  }
  return false;
}

std::vector<TItemRead> TInterfaceMonitor::FollowUpReads() {
  FFollowUp.clear();
  std::vector<TItemRead> reads;
  for (int i = 0; i < List.Count(); ++i) {
    if (!List.Record(i).Measuring) continue;
    FFollowUp.push_back(i);
    // Only the rates are missing; the state of the poll before stands.
    reads.push_back(PollRead(List.Record(i), false));
  }
  return reads;
}

TRowUpdate TInterfaceMonitor::Poll(int item, const TItemValues& values, bool autoHeight) {
  return Reading(List.Record(item), values, autoHeight, false);
}

TRowUpdate TInterfaceMonitor::FollowUp(int read, const TItemValues& values, bool autoHeight) {
  return Reading(List.Record(FFollowUp.at(static_cast<size_t>(read))), values, autoHeight, true);
}

TRowUpdate TInterfaceMonitor::Reading(TInterface& interface, const TItemValues& values,
                                      bool autoHeight, bool inPlace) {
  TRowUpdate update;
  update.Kind = TItemKind::Interface;
  update.Index = interface.Index;
  update.History = &interface.History;
  // A sysUpTime that came but is no number is the agent's fault and is reported; one that did
  // not come leaves this poll without rates.
  std::optional<uint32_t> now;
  if (values.at(0).Ok()) now = StrToLW(values[0].Text);
  TMissing missing = now ? TMissing::None : MissingOf(values[0]);

  // A new counter discontinuity time: the counters were reset or replaced since the baseline.
  TCounterLimits limits{interface.CounterBits, interface.KnownSpeed, false};
  const size_t stateAt = interface.DiscontinuityOid.empty() ? 3 : 4;
  if (stateAt == 4) {
    if (const auto time = Ticks(values.at(3)); time && now) {
      limits.Discontinuity = interface.DiscontinuityTime && *interface.DiscontinuityTime != *time;
      interface.DiscontinuityTime = time;
    }
  }

  struct TDirection {
    TCounterReading& Last;
    const TReadValue& Value;
    TPolledValue& Rate;
    std::optional<uint64_t>& Raw;
    const QString& Tag;
  };
  const TDirection directions[] = {
      {interface.In, values.at(1), update.In, update.Raw.InOctets, LogTag::InterfaceIn},
      {interface.Out, values.at(2), update.Out, update.Raw.OutOctets, LogTag::InterfaceOut},
  };
  if (values.size() >= stateAt + 2) {
    int32_t state = 0;
    if (values[stateAt].Ok() && TryStrToInt(values[stateAt].Text, state))
      update.Raw.AdminStatus = state;
    if (values[stateAt + 1].Ok() && TryStrToInt(values[stateAt + 1].Text, state))
      update.Raw.OperStatus = state;
  }
  update.Raw.Name = interface.Descr;
  update.Raw.SpeedBits = interface.ReportedSpeed;
  update.Raw.Loopback = interface.IfType == QLatin1String(kSoftwareLoopback);
  update.Raw.CounterBits = interface.CounterBits;
  std::optional<double> percent;
  bool measuring = false;
  for (int s = 0; s < 2; ++s) {
    const TDirection& direction = directions[s];
    std::optional<double> rate;
    TMissing why = missing;
    const std::optional<uint64_t> octets = Octets(direction.Value, interface.CounterBits);
    direction.Raw = octets;
    if (now && octets) {
      const TRateStep step = NextReading(direction.Last, *octets, *now, limits);
      switch (step.Kind) {
        case TRateStep::Rate:
          rate = RateKbits(step.Octets, step.Elapsed);
          percent = std::max(percent.value_or(0.0),
                             UtilisationPercent(step.Octets, interface.Speed, step.Elapsed));
          break;
        case TRateStep::NoBaseline:
          why = TMissing::NewBaseline;
          break;
        case TRateStep::Restarted:
          why = TMissing::Restarted;
          break;
        case TRateStep::TooShort:
          why = TMissing::Measuring;
          measuring = true;
          break;
        case TRateStep::Reset:
          why = TMissing::CountersReset;
          break;
      }
    } else if (now) {
      why = direction.Value.Ok() ? TMissing::NoValue : MissingOf(direction.Value);
    }
    if (missing == TMissing::None) missing = why;

    // A reading in place takes the place of the poll before it, which had no rate; else both
    // directions get a new point.
    TItemHistory& history = interface.History;
    if (s == 0 && !(inPlace && !history.Empty())) history.Push(Setup.PollTime, Setup.GraphLength);
    history.SetNewest(static_cast<size_t>(s), rate ? *rate : std::nan(""));
    if (rate) {
      direction.Rate.Value = rate;
      if (interface.History.AxisMaximum < *rate)
        interface.History.AxisMaximum = RoundToTenth(*rate);
      update.Log.push_back({direction.Tag, interface.Descr, *rate});
    } else {
      direction.Rate.Missing = why;
    }
  }
  interface.Measuring = measuring;
  if (percent) {
    update.Gauge = RoundToInt(*percent);
    update.Percent.Value = percent;
  } else {
    update.Percent.Missing = missing;
  }
  if (autoHeight) interface.History.AxisMaximum = AutoHeightMaximum(interface.History);
  return update;
}
