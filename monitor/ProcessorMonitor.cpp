#include <algorithm>
#include <cmath>

#include "ActivityLog.h"
#include "Monitors.h"
#include "Oids.h"
#include "SnmpQueries.h"

std::vector<int32_t> WalkIndexes(const std::vector<TWalkRow>& rows) {
  std::vector<int32_t> indexes;
  indexes.reserve(rows.size());
  for (const TWalkRow& row : rows) indexes.push_back(StrToInt(row.Index));
  return indexes;
}

TWalkedCells Cells(const std::vector<std::string>& columns, const TWalkTable& table) {
  TWalkedCells cells;
  for (size_t c = 0; c < columns.size() && c < table.size(); ++c) {
    cells[columns[c]] = ByIndex(table[c]);
  }
  return cells;
}

TItemRead InstanceRead(const std::vector<std::string>& columns, int32_t index,
                       const TWalkedCells& walked) {
  TItemRead read;
  const std::string row = std::to_string(index);
  for (const std::string& column : columns) {
    read.Oids.push_back(column == Oids::SysUpTime ? column : column + "." + row);
    const auto found = walked.find(column);
    if (found == walked.end()) {
      read.Known.emplace_back();
      continue;
    }
    const auto cell = found->second.find(row);
    read.Known.emplace_back(cell != found->second.end() ? cell->second
                                                        : TReadValue{TValueState::NoValue, {}, 0});
  }
  return read;
}

TItemHistory NewHistory(std::initializer_list<QColor> colors, double axisMaximum) {
  TItemHistory history;
  for (const QColor& color : colors)
    history.Series.push_back({TSeriesKind::Line, color, false, {}});
  history.AxisMaximum = axisMaximum;
  return history;
}

void PushHistory(TItemHistory& history, int series, double value, const TMonitorSetup& setup) {
  TChartSeries& target = history.Series.at(static_cast<size_t>(series));
  PushValue(target, value, setup.Interval, setup.GraphLength, target.Color);
}

std::vector<TRowSpec> TProcessorMonitor::Discover(const std::vector<TWalkRow>& rows) {
  List.Clear();
  std::vector<TRowSpec> specs;
  for (const TWalkRow& row : rows) {
    auto record = std::make_unique<TProcessor>();
    record->Index = StrToInt(row.Index);
    record->LoadOid = std::string(Oids::ProcessorLoad) + "." + row.Index;
    record->History = NewHistory({Qt::red}, 100);
    const QString text = QString::number(record->Index);
    specs.push_back({TItemKind::Processor, record->Index,
                     QStringLiteral("Processor %1 (%2):").arg(List.Count() + 1).arg(text), 100});
    List.Add(text, std::move(record));
  }
  return specs;
}

std::vector<TItemRead> TProcessorMonitor::PollReads() const {
  std::vector<TItemRead> reads;
  for (int i = 0; i < List.Count(); ++i) reads.push_back({{List.Record(i).LoadOid}, {}});
  return reads;
}

TRowUpdate TProcessorMonitor::Poll(int item, const TItemValues& values) {
  TProcessor& processor = List.Record(item);
  TRowUpdate update{TItemKind::Processor, processor.Index, {}, {}, &processor.History, {}, {}};
  int32_t load = 0;
  if (values.at(0).Ok() && TryStrToInt(values[0].Text, load)) {
    update.Gauge = load;
    update.Raw.Load = load;
    update.Log.push_back(
        {LogTag::Processor, QString::number(processor.Index), QString::number(load)});
    // The chart shows what the gauge shows: the load held within 0 to 100.
    PushHistory(processor.History, 0, std::clamp(load, 0, 100), Setup);
  } else {
    PushHistory(processor.History, 0, std::nan(""), Setup);
  }
  return update;
}
