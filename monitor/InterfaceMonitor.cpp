#include <QCheckBox>

#include "Computations.h"
#include "FileEdit.h"
#include "MainWindow.h"
#include "Oids.h"
#include "OptionsDialog.h"
#include "SnmpQueries.h"

namespace {

QString Text(const std::string& value) {
  return QString::fromLocal8Bit(value);
}

uint32_t ReadCounter(TIdSNMP& snmp, const std::string& oid) {
  uint32_t value = 0;
  if (!TryStrToLW(SnmpGetValue(snmp, oid), value)) value = 0;
  return value;
}

}  // namespace

void TForm1::BuildInterfaces() {
  std::string list;
  const int32_t count = SnmpWalkIndexes(IdSNMP1, Oids::IfIndex, list);
  InterfaceList.Clear();
  if (count == 0) return;
  int top = 0;
  for (int32_t i = 0; i < count; ++i) {
    auto record = std::make_unique<TInterface>();
    TInterface& item = *record;
    item.Index = StrToInt(TakeListElement(list));
    item.Descr = Text(SnmpGetValue(IdSNMP1, Oids::Instance(Oids::IfDescr, item.Index)));
    if (!TryStrToLW(SnmpGetValue(IdSNMP1, Oids::Instance(Oids::IfSpeed, item.Index)), item.Speed)) {
      item.Speed = 0;
    }
    if (item.Speed == 0) item.Speed = 1;
    item.IfType = Text(SnmpGetValue(IdSNMP1, Oids::Instance(Oids::IfType, item.Index)));
    item.InOctetsOid = Oids::Instance(Oids::IfInOctets, item.Index);
    item.OutOctetsOid = Oids::Instance(Oids::IfOutOctets, item.Index);
    item.LastUpTime = StrToLW(SnmpGetValue(IdSNMP1, Oids::SysUpTime));
    item.LastInOctets = ReadCounter(IdSNMP1, item.InOctetsOid);
    item.LastOutOctets = ReadCounter(IdSNMP1, item.OutOctetsOid);
    const int index = item.Index;
    const QString caption = item.Descr;
    InterfaceList.Add(QString::number(index), std::move(record));

    const TRowControls row =
        CreateRow(ScrollBox2, TItemKind::Interface, index, top, caption, ChartSetup());
    const int valueTop = row.Gauge->y() + row.Gauge->height() + 4;
    QLabel* value = CreateValueLabel(ScrollBox2, QStringLiteral("lblInterfaceVal%1").arg(index),
                                     valueTop, Qt::AlignHCenter);
    const int labelHeight = value->height();
    CreateValueLabel(ScrollBox2, QStringLiteral("lblInterfaceIn%1").arg(index),
                     valueTop + labelHeight, Qt::AlignLeft, InColor);
    CreateValueLabel(ScrollBox2, QStringLiteral("lblInterfaceOut%1").arg(index),
                     valueTop + 2 * labelHeight, Qt::AlignLeft, OutColor);
    top = RowHeight * InterfaceList.Count();
    ScrollBox2->SetRowCount(InterfaceList.Count());
  }
}

void TForm1::acInterfaceUpdateExecute() {
  QWidget* rows = ScrollBox2->Rows();
  const QLocale locale = QLocale::system();
  for (int i = 0; i < InterfaceList.Count(); ++i) {
    TInterface& item = InterfaceList.Record(i);
    auto* gauge = rows->findChild<TGauge*>(GaugeName(TItemKind::Interface, item.Index));
    auto* chart = rows->findChild<TChart*>(ChartName(TItemKind::Interface, item.Index));
    if (!gauge || !chart) continue;
    auto* valueLabel =
        rows->findChild<QLabel*>(QStringLiteral("lblInterfaceVal%1").arg(item.Index));
    auto* inLabel = rows->findChild<QLabel*>(QStringLiteral("lblInterfaceIn%1").arg(item.Index));
    auto* outLabel = rows->findChild<QLabel*>(QStringLiteral("lblInterfaceOut%1").arg(item.Index));

    const uint32_t now = StrToLW(SnmpGetValue(IdSNMP1, Oids::SysUpTime));
    int64_t elapsed = ElapsedSeconds(now, item.LastUpTime);
    item.LastUpTime = now;
    const uint32_t in = ReadCounter(IdSNMP1, item.InOctetsOid);
    const uint32_t out = ReadCounter(IdSNMP1, item.OutOctetsOid);
    const uint32_t dIn = CounterDifference(in, item.LastInOctets);
    const uint32_t dOut = CounterDifference(out, item.LastOutOctets);
    if (elapsed == 0) elapsed = 1;

    const double percent = UtilisationPercent(dIn, dOut, item.Speed, elapsed);
    gauge->SetPosition(RoundToInt(percent));
    if (valueLabel) valueLabel->setText(FormatNumber(percent, 2, locale) + QStringLiteral("%"));

    struct TDirection {
      uint32_t Octets;
      QLabel* Label;
      const char* Caption;
      QColor Color;
      const QString& Tag;
    };
    const TDirection directions[] = {
        {dIn, inLabel, "In: %1 K", InColor, LogTag::InterfaceIn},
        {dOut, outLabel, "Out: %1 K", OutColor, LogTag::InterfaceOut},
    };
    for (int s = 0; s < 2; ++s) {
      const TDirection& direction = directions[s];
      TChartSeries& series = chart->Series[s];
      TrimHistory(series, QueryInterval, chart->MaxPointsPerPage);
      const double rate = RateKbits(direction.Octets, elapsed);
      if (direction.Label) {
        direction.Label->setText(
            QString::fromLatin1(direction.Caption).arg(FormatNumber(rate, 2, locale)));
      }
      if (chart->LeftAxis.Maximum < rate) chart->LeftAxis.Maximum = RoundToTenth(rate);
      StepHistory(series, rate, QueryInterval, direction.Color);
      if (LogKindChecked(TItemKind::Interface))
        LogFile.WriteRow(direction.Tag, item.Descr, FormatGeneral(rate, locale));
    }
    if (frmOptions->chkAutoHeight->isChecked()) chart->LeftAxis.Maximum = AutoHeightMaximum(*chart);
    chart->update();
    item.LastInOctets = in;
    item.LastOutOctets = out;
  }
}
