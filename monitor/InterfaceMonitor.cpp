#include <QLocale>
#include <cmath>

#include "ActivityLog.h"
#include "Monitors.h"
#include "Oids.h"
#include "SnmpQueries.h"

namespace {

QString Text(const TReadValue& value) {
  return value.Ok() ? QString::fromLocal8Bit(value.Text) : QString();
}

QString ValueLabel(int32_t index) {
  return QStringLiteral("lblInterfaceVal%1").arg(index);
}

}  // namespace

std::vector<TItemRead> TInterfaceMonitor::DiscoveryReads(const std::vector<TWalkRow>& rows) {
  List.Clear();
  FPending = WalkIndexes(rows);
  std::vector<TItemRead> reads;
  for (const int32_t index : FPending) {
    reads.push_back(
        {{Oids::Instance(Oids::IfDescr, index), Oids::Instance(Oids::IfSpeed, index),
          Oids::Instance(Oids::IfType, index), Oids::SysUpTime,
          Oids::Instance(Oids::IfInOctets, index), Oids::Instance(Oids::IfOutOctets, index)}});
  }
  return reads;
}

TRowSpec TInterfaceMonitor::Discover(int item, const TItemValues& values) {
  auto record = std::make_unique<TInterface>();
  TInterface& interface = *record;
  interface.Index = FPending.at(static_cast<size_t>(item));
  interface.Descr = Text(values.at(0));
  uint32_t speed = 0;
  if (!values.at(1).Ok() || !TryStrToLW(values[1].Text, speed)) speed = 0;
  interface.Speed = speed == 0 ? 1 : speed;
  interface.ReportedSpeed = speed;
  interface.IfType = Text(values.at(2));
  interface.InOctetsOid = Oids::Instance(Oids::IfInOctets, interface.Index);
  interface.OutOctetsOid = Oids::Instance(Oids::IfOutOctets, interface.Index);
  // The first readings become the baselines of the first rates; a counter or up-time that did
  // not come leaves none, rather than a 0 that would read as a wrap.
  if (values.at(3).Ok()) {
    const uint32_t now = StrToLW(values[3].Text);
    TCounterReading* baselines[] = {&interface.In, &interface.Out};
    for (int s = 0; s < 2; ++s) {
      uint32_t octets = 0;
      const TReadValue& counter = values.at(4 + static_cast<size_t>(s));
      if (counter.Ok() && TryStrToLW(counter.Text, octets)) NextReading(*baselines[s], octets, now);
    }
  }
  interface.History = NewHistory({InColor, OutColor}, 1);
  const TRowSpec spec{TItemKind::Interface, interface.Index, interface.Descr, 1};
  List.Add(QString::number(interface.Index), std::move(record));
  return spec;
}

std::vector<TItemRead> TInterfaceMonitor::PollReads() const {
  std::vector<TItemRead> reads;
  for (int i = 0; i < List.Count(); ++i) {
    const TInterface& interface = List.Record(i);
    reads.push_back({{Oids::SysUpTime, interface.InOctetsOid, interface.OutOctetsOid}});
  }
  return reads;
}

TRowUpdate TInterfaceMonitor::Poll(int item, const TItemValues& values, bool autoHeight) {
  TInterface& interface = List.Record(item);
  TRowUpdate update{TItemKind::Interface, interface.Index, {}, {}, &interface.History, {}, {}};
  const QLocale locale = QLocale::system();
  // A sysUpTime that came but is no number is the agent's fault and is reported; one that did
  // not come leaves this poll without rates.
  std::optional<uint32_t> now;
  if (values.at(0).Ok()) now = StrToLW(values[0].Text);
  QString missing = now ? QString() : MissingText(values[0]);

  struct TDirection {
    TCounterReading& Last;
    const TReadValue& Value;
    const char* Caption;
    const char* Label;
    const QString& Tag;
  };
  const TDirection directions[] = {
      {interface.In, values.at(1), "In: %1", "lblInterfaceIn%1", LogTag::InterfaceIn},
      {interface.Out, values.at(2), "Out: %1", "lblInterfaceOut%1", LogTag::InterfaceOut},
  };
  update.Raw.Name = interface.Descr;
  update.Raw.SpeedBits = interface.ReportedSpeed;
  std::optional<uint64_t>* raws[] = {&update.Raw.InOctets, &update.Raw.OutOctets};
  std::optional<double> percent;
  for (int s = 0; s < 2; ++s) {
    const TDirection& direction = directions[s];
    std::optional<double> rate;
    QString why = missing;
    uint32_t octets = 0;
    if (direction.Value.Ok() && TryStrToLW(direction.Value.Text, octets)) *raws[s] = octets;
    if (now && direction.Value.Ok() && TryStrToLW(direction.Value.Text, octets)) {
      const TRateStep step = NextReading(direction.Last, octets, *now);
      if (step.Kind == TRateStep::Rate) {
        rate = RateKbits(step.Octets, step.Elapsed);
        percent = std::max(percent.value_or(0.0),
                           UtilisationPercent(step.Octets, interface.Speed, step.Elapsed));
      } else {
        why = step.Kind == TRateStep::Restarted ? NoValueText::Restarted : NoValueText::NewBaseline;
      }
    } else if (now) {
      why = direction.Value.Ok() ? NoValueText::NoValue : MissingText(direction.Value);
    }
    if (missing.isEmpty()) missing = why;

    const QString label = QString::fromLatin1(direction.Label).arg(interface.Index);
    TChartSeries& series = interface.History.Series[static_cast<size_t>(s)];
    TrimHistory(series, Setup.Interval, Setup.GraphLength);
    if (rate) {
      update.Labels.emplace_back(
          label, QString::fromLatin1(direction.Caption).arg(FormatNumber(*rate, 2, locale) + " K"));
      if (interface.History.AxisMaximum < *rate)
        interface.History.AxisMaximum = RoundToTenth(*rate);
      StepHistory(series, *rate, Setup.Interval, series.Color);
      update.Log.push_back({direction.Tag, interface.Descr, FormatGeneral(*rate, locale)});
    } else {
      update.Labels.emplace_back(label, QString::fromLatin1(direction.Caption).arg(why));
      StepHistory(series, std::nan(""), Setup.Interval, series.Color);
    }
  }
  if (percent) {
    update.Gauge = RoundToInt(*percent);
    update.Labels.insert(update.Labels.begin(),
                         {ValueLabel(interface.Index), FormatNumber(*percent, 2, locale) + "%"});
  } else {
    update.Labels.insert(update.Labels.begin(), {ValueLabel(interface.Index), missing});
  }
  if (autoHeight) interface.History.AxisMaximum = AutoHeightMaximum(interface.History.Series);
  return update;
}
