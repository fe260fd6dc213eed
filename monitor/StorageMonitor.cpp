#include <QCheckBox>

#include "Computations.h"
#include "FileEdit.h"
#include "MainWindow.h"
#include "Oids.h"
#include "OptionsDialog.h"
#include "SnmpQueries.h"

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

void TForm1::BuildStorage() {
  std::string list;
  const int32_t count = SnmpWalkIndexes(IdSNMP1, Oids::StorageIndex, list);
  StorageList.Clear();
  if (count == 0) return;
  int top = 0;
  for (int32_t i = 0; i < count; ++i) {
    auto record = std::make_unique<TStorage>();
    TStorage& item = *record;
    item.Index = StrToInt(TakeListElement(list));
    item.Descr = QString::fromLocal8Bit(
        SnmpGetValue(IdSNMP1, Oids::Instance(Oids::StorageDescr, item.Index)));
    item.Size = StrToInt(SnmpGetValue(IdSNMP1, Oids::Instance(Oids::StorageSize, item.Index)));
    item.AllocationUnits =
        StrToInt(SnmpGetValue(IdSNMP1, Oids::Instance(Oids::StorageAllocationUnits, item.Index)));
    item.SizeOid = Oids::Instance(Oids::StorageSize, item.Index);
    item.UsedOid = Oids::Instance(Oids::StorageUsed, item.Index);
    const std::string type = SnmpGetValue(IdSNMP1, Oids::Instance(Oids::StorageType, item.Index));
    const size_t dot = type.rfind('.');
    item.TypeName =
        StorageTypeName(StrToInt(dot == std::string::npos ? type : type.substr(dot + 1)));
    if (item.TypeName.isEmpty()) continue;

    const int index = item.Index;
    const double totalMegabytes = UnitsToMegabytes(item.AllocationUnits, item.Size);
    const QString caption = item.Descr;
    StorageList.Add(QString::number(index), std::move(record));

    const TRowControls row =
        CreateRow(ScrollBox3, TItemKind::Storage, index, top, caption, ChartSetup());
    row.Chart->LeftAxis.Maximum = totalMegabytes;
    const int availTop = row.Gauge->y() + row.Gauge->height() + 4;
    QLabel* avail = CreateValueLabel(ScrollBox3, QStringLiteral("lblStorageAvail%1").arg(index),
                                     availTop, Qt::AlignLeft);
    CreateValueLabel(ScrollBox3, QStringLiteral("lblStorageUsed%1").arg(index),
                     availTop + avail->height(), Qt::AlignLeft);
    top = RowHeight * StorageList.Count();
    ScrollBox3->SetRowCount(StorageList.Count());
  }
}

void TForm1::acStorageUpdateExecute() {
  QWidget* rows = ScrollBox3->Rows();
  const QLocale locale = QLocale::system();
  for (int i = 0; i < StorageList.Count(); ++i) {
    const TStorage& item = StorageList.Record(i);
    auto* gauge = rows->findChild<TGauge*>(GaugeName(TItemKind::Storage, item.Index));
    auto* chart = rows->findChild<TChart*>(ChartName(TItemKind::Storage, item.Index));
    if (!gauge || !chart) continue;
    int32_t used = 0;
    if (!TryStrToInt(SnmpGetValue(IdSNMP1, item.UsedOid), used)) used = 0;
    if (LogKindChecked(TItemKind::Storage))
      LogFile.WriteRow(LogTag::Storage, item.Descr, FormatGeneral(used, locale));

    const double usedMegabytes = UnitsToMegabytes(item.AllocationUnits, used);
    const double totalMegabytes = chart->LeftAxis.Maximum;
    if (auto* avail =
            rows->findChild<QLabel*>(QStringLiteral("lblStorageAvail%1").arg(item.Index))) {
      avail->setText(QStringLiteral("Avail: %1 Mb").arg(FormatNumber(totalMegabytes, 1, locale)));
    }
    if (auto* usedLabel =
            rows->findChild<QLabel*>(QStringLiteral("lblStorageUsed%1").arg(item.Index))) {
      usedLabel->setText(QStringLiteral("Used: %1 Mb").arg(FormatNumber(usedMegabytes, 1, locale)));
    }
    gauge->SetPosition(UsedPercent(usedMegabytes, totalMegabytes));
    PushValue(chart->Series[0], usedMegabytes, QueryInterval, chart->MaxPointsPerPage, OutColor);
    chart->update();
  }
}
