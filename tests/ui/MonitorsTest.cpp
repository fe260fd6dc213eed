#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <QTextDocument>
#include <QTextStream>
#include <cmath>

#include "WindowFixture.h"

namespace {

const QDateTime Moment(QDate(2026, 12, 7), QTime(8, 30, 0));

class Monitors : public TWindowTest {
 protected:
  void SetUp() override {
    Clock.SetNow(Moment);
    TWindowTest::SetUp();
    Agent.Start(Data("poll1"));
    LogPath = Folder.path() + "/activity.csv";
    Options->chkLog->setChecked(true);
    Options->chkProcessor->setChecked(true);
    Options->chkInterface->setChecked(true);
    Options->chkStorage->setChecked(true);
    Options->feFile->setText(LogPath);
    ConnectTo(HostOf(Agent));
    ASSERT_TRUE(Connected()) << Agent.Log();
  }
  void PollWith(const std::string& data) {
    Agent.Restart(Data(data));
    Refresh();
  }
  TChart* Chart(const QString& name) const { return Find<TChart>(name); }
  int Gauge(const QString& name) const {
    auto* gauge = Find<TGauge>(name);
    return gauge ? gauge->Position() : -1;
  }
  QStringList LogRows() {
    Form->acDisconnect->trigger();  // closes the file
    QFile file(LogPath);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList rows = QString::fromLocal8Bit(file.readAll()).split("\r\n");
    if (!rows.isEmpty() && rows.back().isEmpty()) rows.pop_back();
    return rows;
  }
  static QString Row(const QString& tag, const QString& item, const QString& value) {
    return LogRow(Moment, QLocale::system(), tag, item, value);
  }

  TSnmpSimAgent Agent;
  QString LogPath;
};

TEST_F(Monitors, ProcessorRowsCaptionsPositionsAndClampedLoad) {
  EXPECT_EQ(LabelText("lblProcessor768"), "Processor 1 (768):");
  EXPECT_EQ(LabelText("lblProcessor769"), "Processor 2 (769):");
  EXPECT_EQ(Find<QWidget>("lblProcessor768")->y(), 8);
  EXPECT_EQ(Find<QWidget>("ProcessorGauge769")->geometry(), QRect(0, 128 + 24, 100, 60));
  EXPECT_EQ(Gauge("ProcessorGauge768"), 12);
  EXPECT_EQ(Gauge("ProcessorGauge769"), 100);
  ASSERT_NE(Chart("ProcessorChart769"), nullptr);
  EXPECT_EQ(Points(Chart("ProcessorChart769")->Series[0]),
            (std::vector<std::pair<double, double>>{{0, 100}}));
  EXPECT_EQ(Chart("ProcessorChart769")->Series[0].Points[0].Color, QColor(Qt::red));
  const TChart* chart = Chart("ProcessorChart768");
  EXPECT_EQ(chart->geometry().topLeft(), QPoint(104, 24));
  EXPECT_EQ(chart->height(), 113);
  EXPECT_EQ(chart->LeftAxis.Minimum, -1);
  EXPECT_EQ(chart->LeftAxis.Maximum, 100);
  EXPECT_EQ(chart->LeftAxis.Title, "% Load");
  EXPECT_EQ(chart->BottomAxis.Maximum, 15);
  EXPECT_TRUE(chart->BottomAxis.Inverted);
  EXPECT_EQ(chart->Series[0].Color, QColor(Qt::red));
}

TEST_F(Monitors, EditingTheHostDisconnectsAndEmptiesTheTabs) {
  QTest::keyClicks(Form->cbxHost->lineEdit(), "1");
  EXPECT_TRUE(Form->acConnect->isEnabled());
  EXPECT_EQ(Form->windowTitle(), "Corvane");
  for (TScrollBox* box : {Form->ScrollBox1, Form->ScrollBox2, Form->ScrollBox3}) {
    EXPECT_TRUE(box->Rows()->children().isEmpty());
  }
  EXPECT_EQ(Form->Poller(), nullptr);
  EXPECT_TRUE(Form->Pollers.All().empty());
  EXPECT_FALSE(Form->LogFile.IsOpen());
}

TEST_F(Monitors, ChartsFollowTheWindowWidth) {
  TChart* chart = Chart("ProcessorChart768");
  Form->resize(900, 600);
  QApplication::processEvents();
  const int wide = chart->width();
  EXPECT_EQ(wide, Form->ScrollBox1->Rows()->width() - 144);
  Form->resize(600, 600);
  QApplication::processEvents();
  EXPECT_EQ(chart->width(), wide - 300);
}

TEST_F(Monitors, InterfaceRatesAcrossACounterWrap) {
  EXPECT_EQ(LabelText("lblInterface1"), "wan, uplink");
  // The first poll came at the up-time of the discovery's readings: no rate over no time.
  EXPECT_EQ(LabelText("lblInterfaceIn1"), "In: measuring");
  Clock.SetNow(Moment.addSecs(60));  // the poll a minute on, as the agent's up-time says
  PollWith("poll2");
  // 396 octets in (a wrap), 7680 out, in 60 s on a 100 Mbit/s link.
  EXPECT_EQ(LabelText("lblInterfaceIn1"), "In: 0.05 K");
  EXPECT_EQ(LabelText("lblInterfaceOut1"), "Out: 1.00 K");
  EXPECT_EQ(LabelText("lblInterfaceVal1"), "0.00%");
  EXPECT_EQ(Gauge("InterfaceGauge1"), 0);
  const TChart* chart = Chart("InterfaceChart1");
  EXPECT_EQ(Points(chart->Series[0]),
            (std::vector<std::pair<double, double>>{{0, 396.0 * 8 / 60 / 1024}, {1, -1}}));
  EXPECT_EQ(Points(chart->Series[1]), (std::vector<std::pair<double, double>>{{0, 1.0}, {1, -1}}));
  EXPECT_EQ(chart->Series[0].Color, QColor(0, 128, 0));
  EXPECT_DOUBLE_EQ(chart->LeftAxis.Maximum, 1.0);
  // ifSpeed 0 counts as 1 bit/s: a huge percentage, the gauge held at 100.
  EXPECT_EQ(LabelText("lblInterfaceIn2"), "In: 8.00 K");
  EXPECT_EQ(LabelText("lblInterfaceVal2"), "819,200.00%");
  EXPECT_EQ(Gauge("InterfaceGauge2"), 100);
  EXPECT_DOUBLE_EQ(Chart("InterfaceChart2")->LeftAxis.Maximum, 8.0);
  EXPECT_EQ(Find<QWidget>("InterfaceGauge2")->y(), 128 + 24);
}

TEST_F(Monitors, AutoHeightFollowsTheLargestVisibleValue) {
  Options->chkAutoHeight->setChecked(true);
  Refresh();  // no traffic at all: the axis drops from 1 to 0
  EXPECT_DOUBLE_EQ(Chart("InterfaceChart1")->LeftAxis.Maximum, 0.0);
  PollWith("poll2");
  EXPECT_DOUBLE_EQ(Chart("InterfaceChart1")->LeftAxis.Maximum, 1.0);
  EXPECT_DOUBLE_EQ(Chart("InterfaceChart2")->LeftAxis.Maximum, 8.0);
}

TEST_F(Monitors, StorageKeepsFourTypesAndShowsMegabytes) {
  for (int dropped : {5, 7})
    EXPECT_EQ(Find<QWidget>(QString("StorageGauge%1").arg(dropped)), nullptr);
  EXPECT_EQ(RowCount(Form->ScrollBox3), 4);
  EXPECT_EQ(Find<QWidget>("lblStorage31")->y(), 3 * 128 + 8);
  EXPECT_EQ(Chart("StorageChart31")->LeftAxis.Maximum, 1024.0);
  EXPECT_EQ(LabelText("lblStorageAvail31"), "Avail: 1,024.0 Mb");
  EXPECT_EQ(LabelText("lblStorageUsed31"), "Used: 976.6 Mb");
  EXPECT_EQ(Gauge("StorageGauge31"), 95);
  EXPECT_EQ(LabelText("lblStorageAvail1"), "Avail: 2,048.0 Mb");
  // An area of size 0 shows 0 and does not divide by zero.
  EXPECT_EQ(LabelText("lblStorageAvail8"), "Avail: 0.0 Mb");
  EXPECT_EQ(Gauge("StorageGauge8"), 0);
  Clock.SetNow(Moment.addSecs(60));
  PollWith("poll2");
  EXPECT_EQ(Gauge("StorageGauge31"), 100);
  EXPECT_EQ(LabelText("lblStorageUsed31"), "Used: 1,024.0 Mb");
  EXPECT_EQ(Points(Chart("StorageChart31")->Series[0]),
            (std::vector<std::pair<double, double>>{{0, 1024.0}, {1, 976.6}}));
}

TEST_F(Monitors, LogRowsInPollOrderGatedAtEachRow) {
  PollWith("poll2");
  Options->chkInterface->setChecked(false);
  Refresh();
  // The first poll has no rates yet (its up-time is the discovery's).
  const QStringList poll1 = {Row("Processor", "768", "12"),
                             Row("Processor", "769", "150"),
                             Row("Storage", "Physical memory", "1048576"),
                             Row("Storage", "Virtual memory", "1572864"),
                             Row("Storage", "RAM disk", "0"),
                             Row("Storage", "/", "250000")};
  const QStringList poll2 = {
      Row("Processor", "768", "12"),
      Row("Processor", "769", "150"),
      Row("InterFaceIn", "wan, uplink", FormatGeneral(396.0 * 8 / 60 / 1024, QLocale::system())),
      Row("InterFaceOut", "wan, uplink", "1"),
      Row("InterFaceIn", "lo", "8"),
      Row("InterFaceOut", "lo", "0"),
      Row("Storage", "Physical memory", "1048576"),
      Row("Storage", "Virtual memory", "1572864"),
      Row("Storage", "RAM disk", "0"),
      Row("Storage", "/", "262144")};
  QStringList poll3 = poll2;
  poll3.erase(poll3.begin() + 2, poll3.begin() + 6);
  EXPECT_EQ(LogRows(), poll1 + poll2 + poll3);
  EXPECT_TRUE(poll2[2].contains("\"wan, uplink\""));
}

TEST_F(Monitors, UnreadableUpTimeEndsThePollButNotTheTimer) {
  PollWith("badtime");
  ASSERT_EQ(Boxes.Shown.size(), 1u);
  EXPECT_EQ(Boxes.Shown[0].Kind, "error");
  EXPECT_EQ(Boxes.Shown[0].Text, "soon is not a valid integer value");
  EXPECT_TRUE(Connected());
  // The storage poll of that tick was skipped.
  EXPECT_EQ(Chart("StorageChart31")->Series[0].Points.size(), 1u);
  EXPECT_EQ(Chart("ProcessorChart768")->Series[0].Points.size(), 2u);
}

TEST_F(Monitors, AgentStringsShowAsTheyAreOnOneLine) {
  Agent.Restart(Data("hostile"));
  Options->chkLog->setChecked(false);
  ConnectTo(HostOf(Agent));
  ASSERT_TRUE(Connected()) << Agent.Log();
  const struct {
    const char* Caption;
    const char* Gauge;
    QString Name;  // as the agent has it
  } rows[] = {
      {"lblInterface1", "InterfaceGauge1", "<font color=red>SNMPv3 passphrase expired</font>"},
      {"lblInterface2", "InterfaceGauge2", "=HYPERLINK(\"http://x\",\"<i>lo</i>\")\nsecond line"},
      {"lblStorage31", "StorageGauge31", "@<b>root</b>\nvolume"},
  };
  for (const auto& [name, gauge, agentText] : rows) {
    SCOPED_TRACE(name);
    auto* caption = Find<QLabel>(name);
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->textFormat(), Qt::PlainText);
    EXPECT_EQ(caption->text().toStdString(), QString(agentText).replace('\n', ' ').toStdString());
    // Read as the tooltip shows it: as markup when Qt takes it for some.
    QTextDocument tip;
    if (Qt::mightBeRichText(caption->toolTip()))
      tip.setHtml(caption->toolTip());
    else
      tip.setPlainText(caption->toolTip());
    EXPECT_EQ(tip.toPlainText().toStdString(), agentText.toStdString());
    EXPECT_LT(caption->geometry().bottom(), Find<QWidget>(gauge)->y());
  }
  // Nowhere else does an agent's markup take effect.
  for (QLabel* label : Form->findChildren<QLabel*>()) {
    if (label->text().contains("<font") || label->text().contains("<b>")) {
      EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
    }
  }
}

TEST_F(Monitors, RealHostMatchesNetSnmp) {
  Form->acDisconnect->trigger();
  Options->chkLog->setChecked(false);
  TSnmpdAgent snmpd;
  snmpd.Start();
  ConnectTo(QStringLiteral("127.0.0.1:%1").arg(snmpd.Port()));
  ASSERT_TRUE(Connected()) << snmpd.Log();
  Refresh();
  EXPECT_TRUE(Boxes.Shown.empty()) << Boxes.Shown[0].Text.toStdString();

  const auto interfaces = NetSnmpWalk(snmpd.Port(), "pewter", "1.3.6.1.2.1.2.2.1.1");
  EXPECT_GT(interfaces.size(), 0u);
  EXPECT_EQ(static_cast<size_t>(RowCount(Form->ScrollBox2)), interfaces.size());

  int kept = 0;
  for (const std::string& line : NetSnmpWalk(snmpd.Port(), "pewter", "1.3.6.1.2.1.25.2.3.1.2")) {
    const std::string oid = line.substr(0, line.find(' '));
    const std::string index = oid.substr(oid.rfind('.') + 1);
    const std::string type = line.substr(line.rfind('.') + 1);
    if (type != "2" && type != "3" && type != "4" && type != "8") continue;
    ++kept;
    const auto value = [&](int column) {
      const auto lines = NetSnmpGet(snmpd.Port(), "pewter",
                                    "1.3.6.1.2.1.25.2.3.1." + std::to_string(column) + "." + index);
      return lines.empty() ? 0.0 : std::stod(lines[0].substr(lines[0].find(' ') + 1));
    };
    const double units = value(4);
    const QString name = QString::fromStdString(index);
    EXPECT_EQ(
        LabelText("lblStorageAvail" + name),
        "Avail: " + FormatNumber(UnitsToMegabytes(units, value(5)), 1, QLocale::system()) + " Mb");
    const double used = Find<TChart>("StorageChart" + name)->Series[0].Points[0].Y;
    EXPECT_NEAR(used, UnitsToMegabytes(units, value(6)), 0.02 * value(5) * units / 1048576 + 0.1)
        << name.toStdString();
  }
  EXPECT_GT(kept, 0);
  EXPECT_EQ(RowCount(Form->ScrollBox3), kept);
}

}  // namespace
