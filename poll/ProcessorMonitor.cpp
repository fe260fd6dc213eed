#include <algorithm>
#include <cmath>

#include "ActivityLog.h"
#include "Monitors.h"
#include "Oids.h"
#include "ValueText.h"

std::vector<TRowSpec> TProcessorMonitor::Discover(const std::vector<TWalkRow>& rows) {
  List.Clear();
  for (const TWalkRow& row : rows) {
    auto record = std::make_unique<TProcessor>();
    record->Index = StrToInt(row.Index);
    record->LoadOid = std::string(Oids::ProcessorLoad) + "." + row.Index;
    record->History = NewHistory(1, 100);
    const QString text = QString::number(record->Index);
    List.Add(text, std::move(record));
  }
  return Rows();
}

std::vector<TRowSpec> TProcessorMonitor::Rows() const {
  std::vector<TRowSpec> rows;
  for (int i = 0; i < List.Count(); ++i) {
    rows.push_back({TItemKind::Processor, List.Record(i).Index,
                    QStringLiteral("Processor %1 (%2):").arg(i + 1).arg(List.Text(i)), 100});
  }
  return rows;
}

std::vector<TItemRead> TProcessorMonitor::PollReads() const {
  std::vector<TItemRead> reads;
  for (int i = 0; i < List.Count(); ++i) reads.push_back({{List.Record(i).LoadOid}, {}});
  return reads;
}

TRowUpdate TProcessorMonitor::Poll(int item, const TItemValues& values) {
  TProcessor& processor = List.Record(item);
  TRowUpdate update;
  update.Kind = TItemKind::Processor;
  update.Index = processor.Index;
  update.History = &processor.History;
  int32_t load = 0;
  if (values.at(0).Ok() && TryStrToInt(values[0].Text, load)) {
    update.Gauge = load;
    update.Raw.Load = load;
    update.Log.push_back(
        {LogTag::Processor, QString::number(processor.Index), static_cast<double>(load)});
    // The chart shows what the gauge shows: the load held within 0 to 100.
    PushHistory(processor.History, 0, std::clamp(load, 0, 100), Setup);
  } else {
    PushHistory(processor.History, 0, std::nan(""), Setup);
  }
  return update;
}
