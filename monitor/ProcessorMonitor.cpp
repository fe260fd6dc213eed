#include <QCheckBox>

#include "Computations.h"
#include "FileEdit.h"
#include "MainWindow.h"
#include "Oids.h"
#include "OptionsDialog.h"
#include "SnmpQueries.h"

void TForm1::BuildProcessors() {
  std::string list;
  const int32_t count = SnmpWalkIndexes(IdSNMP1, Oids::ProcessorIdColumn, list);
  ProcessorList.Clear();
  int top = 0;
  int ordinal = 1;
  for (int32_t i = 0; i < count; ++i) {
    const std::string element = TakeListElement(list);
    auto record = std::make_unique<TProcessor>();
    record->Index = StrToInt(element);
    record->LoadOid = std::string(Oids::ProcessorLoad) + "." + element;
    const int index = record->Index;
    const QString text = QString::number(index);
    ProcessorList.Add(text, std::move(record));
    CreateRow(ScrollBox1, TItemKind::Processor, index, top,
              QStringLiteral("Processor %1 (%2):").arg(ordinal).arg(text), ChartSetup());
    top = RowHeight * ProcessorList.Count();
    ScrollBox1->SetRowCount(ProcessorList.Count());
    ++ordinal;
  }
}

void TForm1::acProcessorUpdateExecute() {
  QWidget* rows = ScrollBox1->Rows();
  for (int i = 0; i < ProcessorList.Count(); ++i) {
    const TProcessor& processor = ProcessorList.Record(i);
    auto* gauge = rows->findChild<TGauge*>(GaugeName(TItemKind::Processor, processor.Index));
    auto* chart = rows->findChild<TChart*>(ChartName(TItemKind::Processor, processor.Index));
    if (!gauge || !chart) continue;
    int32_t load = 0;
    if (!TryStrToInt(SnmpGetValue(IdSNMP1, processor.LoadOid), load)) load = 0;
    gauge->SetPosition(load);
    if (LogKindChecked(TItemKind::Processor)) {
      LogFile.WriteRow(LogTag::Processor, QString::number(processor.Index), QString::number(load));
    }
    PushValue(chart->Series[0], gauge->Position(), QueryInterval, chart->MaxPointsPerPage, Qt::red);
    chart->update();
  }
}
