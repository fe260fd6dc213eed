#include <algorithm>
#include <cmath>

#include "ActivityLog.h"
#include "Monitors.h"
#include "Oids.h"
#include "ValueText.h"

QString StorageTypeName(int32_t lastArc) {
  switch (lastArc) {
    case 2:
      return QStringLiteral("hrStorageRam");
    case 3:
      return QStringLiteral("hrStorageVirtualMemory");
    case 4:
      return QStringLiteral("hrStorageFixedDisk");
    case 8:
      return QStringLiteral("hrStorageRamDisk");
    default:
      return {};
  }
}

std::vector<std::string> TStorageMonitor::DiscoveryColumns(bool batched) {
  if (!batched) return {Oids::StorageIndex};
  return {Oids::StorageIndex, Oids::StorageType, Oids::StorageDescr, Oids::StorageAllocationUnits,
          Oids::StorageSize};
}

std::vector<TItemRead> TStorageMonitor::DiscoveryReads(const TWalkTable& table) {
  List.Clear();
  FPending = WalkIndexes(table.at(0));
  const TWalkedCells walked = Cells(DiscoveryColumns(table.size() > 1), table);
  std::vector<TItemRead> reads;
  for (const int32_t index : FPending) {
    reads.push_back(InstanceRead(
        {Oids::StorageDescr, Oids::StorageSize, Oids::StorageAllocationUnits, Oids::StorageType},
        index, walked));
  }
  return reads;
}

std::optional<TRowSpec> TStorageMonitor::Discover(int item, const TItemValues& values) {
  auto record = std::make_unique<TStorage>();
  TStorage& area = *record;
  area.Index = FPending.at(static_cast<size_t>(item));
  area.Descr = values.at(0).Ok() ? QString::fromLocal8Bit(values[0].Text) : QString();
  if (!values.at(1).Ok() || !values.at(2).Ok() || !values.at(3).Ok()) return std::nullopt;
  // Agents report the size of big disks beyond 2^31 units as negative numbers: the low 32 bits
  // read as unsigned are the size.
  area.Size = StrToLW(values[1].Text);
  area.AllocationUnits = StrToInt(values[2].Text);
  area.SizeOid = Oids::Instance(Oids::StorageSize, area.Index);
  area.UsedOid = Oids::Instance(Oids::StorageUsed, area.Index);
  const std::string& type = values[3].Text;
  const size_t dot = type.rfind('.');
  area.TypeName = StorageTypeName(StrToInt(dot == std::string::npos ? type : type.substr(dot + 1)));
  if (area.TypeName.isEmpty()) return std::nullopt;

  const double total = UnitsToMegabytes(area.AllocationUnits, area.Size);
  area.History = NewHistory(1, total);
  const TRowSpec rowSpec{TItemKind::Storage, area.Index, area.Descr, total, area.AllocationUnits};
  List.Add(QString::number(area.Index), std::move(record));
  return rowSpec;
}

std::vector<TRowSpec> TStorageMonitor::Rows() const {
  std::vector<TRowSpec> rows;
  for (int i = 0; i < List.Count(); ++i) {
    const TStorage& area = List.Record(i);
    rows.push_back({TItemKind::Storage, area.Index, area.Descr, area.History.AxisMaximum,
                    area.AllocationUnits});
  }
  return rows;
}

std::vector<TItemRead> TStorageMonitor::PollReads() const {
  std::vector<TItemRead> reads;
  for (int i = 0; i < List.Count(); ++i) reads.push_back({{List.Record(i).UsedOid}, {}});
  return reads;
}

TRowUpdate TStorageMonitor::Poll(int item, const TItemValues& values) {
  TStorage& area = List.Record(item);
  TRowUpdate update;
  update.Kind = TItemKind::Storage;
  update.Index = area.Index;
  update.History = &area.History;
  const double total = area.History.AxisMaximum;
  update.TotalMegabytes = total;
  update.Raw.Name = area.Descr;
  const auto units = static_cast<uint64_t>(std::max(area.AllocationUnits, 0));
  update.Raw.SizeBytes = units * area.Size;
  uint32_t used = 0;
  if (values.at(0).Ok() && TryStrToLW(values[0].Text, used)) {
    update.Raw.UsedBytes = units * used;
    update.Log.push_back({LogTag::Storage, area.Descr, static_cast<double>(used)});
    const double usedMegabytes = UnitsToMegabytes(area.AllocationUnits, used);
    update.UsedMegabytes.Value = usedMegabytes;
    update.Gauge = UsedPercent(usedMegabytes, total);
    PushHistory(area.History, 0, usedMegabytes, Setup);
  } else {
    update.UsedMegabytes.Missing = values.at(0).Ok() ? TMissing::NoValue : MissingOf(values[0]);
    PushHistory(area.History, 0, std::nan(""), Setup);
  }
  return update;
}
