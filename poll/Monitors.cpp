#include "Monitors.h"

#include <algorithm>
#include <cmath>

#include "ActivityLog.h"
#include "Oids.h"
#include "ValueText.h"

// What the three monitors share: walked indexes and cells, reads of one row, chart histories.

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

TItemHistory NewHistory(int count, double axisMaximum) {
  return TItemHistory(static_cast<size_t>(count), axisMaximum);
}

void PushHistory(TItemHistory& history, int series, double value, const TMonitorSetup& setup) {
  history.Push(setup.PollTime, setup.GraphLength);
  history.SetNewest(static_cast<size_t>(series), value);
}

std::vector<TSeriesName> SeriesNames(TItemKind kind, int32_t index, const QString& description) {
  switch (kind) {
    case TItemKind::Processor:
      return {{LogTag::Processor, QString::number(index)}};
    case TItemKind::Interface:
      return {{LogTag::InterfaceIn, description}, {LogTag::InterfaceOut, description}};
    case TItemKind::Storage:
      return {{LogTag::Storage, description}};
  }
  return {};
}

double ChartValue(const TRowSpec& row, double logged) {
  if (!std::isfinite(logged)) return logged;
  switch (row.Kind) {
    case TItemKind::Processor:
      return std::clamp(logged, 0.0, 100.0);
    case TItemKind::Storage:
      return UnitsToMegabytes(row.AllocationUnits, std::llround(logged));
    case TItemKind::Interface:
      break;
  }
  return logged;
}
