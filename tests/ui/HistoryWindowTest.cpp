#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QFile>
#include <QMenu>
#include <cmath>

#include "HistoryStore.h"
#include "HistoryWriter.h"
#include "ScriptedAgent.h"
#include "WindowFixture.h"

// The window with a history store of its own: what an earlier run left there, what its polls
// add, and the long views.
namespace {

const QDateTime Moment(QDate(2026, 12, 7), QTime(8, 30, 0), Qt::UTC);

using TPoints = std::vector<std::pair<double, double>>;

class HistoryWindow : public TWindowTest {
 protected:
  void SetUp() override {
    Clock.SetNow(Moment);
    TWindowTest::SetUp();
    FillHost(Agent.Mib, 1);
    Path = Folder.path() + "/history/history.sqlite";
  }
  QString Host() const { return QStringLiteral("127.0.0.1:%1").arg(Agent.Port()); }
  void UseHistory() {
    Writer = std::make_unique<THistoryWriter>(Clock);
    Form->UseHistory(*Writer, Path);
  }
  // What an earlier run stored of this host, minutes before Moment: a value for each series.
  void StoreEarlier(const std::vector<std::pair<double, std::vector<TStoredValue>>>& polls) {
    THistoryStore store;
    store.Open(Path);
    for (const auto& [minutes, values] : polls)
      store.Write({Host(), Moment.addSecs(std::llround(minutes * 60)), values});
  }
  static TStoredValue Load(double load) {
    return {TStoredKind::Processor, "Processor", 768, "768", load};
  }
  TChart* Chart(const QString& name) const { return Find<TChart>(name); }
  // Opens a chart's context menu as a right click would, and picks the item with text.
  void Pick(TChart* chart, const QString& text, QStringList* offered = nullptr) {
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(60, 40),
                            chart->mapToGlobal(QPoint(60, 40)));
    QApplication::sendEvent(chart, &click);
    auto* menu = Form->findChild<QMenu*>("mnuChartView");
    ASSERT_NE(menu, nullptr);
    QAction* picked = nullptr;
    for (QAction* action : menu->actions()) {
      if (offered) *offered << action->text() + (action->isChecked() ? "*" : "");
      if (action->text() == text) picked = action;
    }
    ASSERT_NE(picked, nullptr);
    picked->trigger();
    menu->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  TScriptedAgent Agent;
  QString Path;
  std::unique_ptr<THistoryWriter> Writer;
};

// A host polled in an earlier run shows that run's points at Connect, at their times, apart from
// the new ones, which follow poll by poll.
TEST_F(HistoryWindow, ShowingAHostFillsItsChartsFromTheStoreThenGoesOnLive) {
  const TStoredValue eth1{TStoredKind::Interface, "InterFaceIn", 1, "eth1", 50};
  const TStoredValue root{TStoredKind::Storage, "Storage", 31, "/", 131072};  // 512 Mb
  StoreEarlier({{-20, {Load(99)}},  // beyond the graph length and the line into its edge
                {-16, {Load(30)}},
                {-10, {Load(40), eth1, root}},
                {-5, {Load(60)}}});
  UseHistory();
  ConnectTo(Host());
  ASSERT_TRUE(Connected());

  EXPECT_EQ(Points(Chart("ProcessorChart768")->Series[0]),
            (TPoints{{0, 8}, {5, -1}, {5, 60}, {10, 40}, {16, 30}}));
  EXPECT_EQ(Points(Chart("StorageChart31")->Series[0]), (TPoints{{0, 976.6}, {10, -1}, {10, 512}}));
  // The first poll's rate is still to come; the earlier one raises the axis.
  EXPECT_EQ(Points(Chart("InterfaceChart1")->Series[0]), (TPoints{{0, -1}, {10, -1}, {10, 50}}));
  EXPECT_DOUBLE_EQ(Chart("InterfaceChart1")->LeftAxis.Maximum, 50);

  Clock.Advance(60000);
  WaitIdle();
  const TChart* chart = Chart("ProcessorChart768");
  EXPECT_EQ(Points(chart->Series[0]),
            (TPoints{{0, 8}, {1, 8}, {6, -1}, {6, 60}, {11, 40}, {17, 30}}));
  EXPECT_EQ(chart->TimeAtZero, Moment.addSecs(60));
  EXPECT_TRUE(Form->lblHistory->isHidden());
}

// A store that cannot be opened is told once in the status bar; polls and the log go on.
TEST_F(HistoryWindow, AStoreThatCannotBeOpenedGivesOneStatusLineAndPollsAndTheLogGoOn) {
  ASSERT_TRUE(QDir().mkpath(QFileInfo(Path).path()));
  QFile junk(Path);
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write(QByteArray(8192, 'x'));
  junk.close();
  const QString logPath = Folder.path() + "/activity.csv";
  Options->chkLog->setChecked(true);
  Options->chkProcessor->setChecked(true);
  Options->feFile->setText(logPath);
  UseHistory();
  ConnectTo(Host());
  ASSERT_TRUE(Connected());
  for (int tick = 0; tick < 2; ++tick) {
    Clock.Advance(60000);
    WaitIdle();
  }
  ASSERT_TRUE(QTest::qWaitFor([this] { return !Form->lblHistory->isHidden(); }, 5000));
  EXPECT_TRUE(Form->lblHistory->text().startsWith("History off: cannot open " + Path + ": "))
      << Form->lblHistory->text().toStdString();
  EXPECT_TRUE(Boxes.Shown.empty());
  EXPECT_TRUE(Form->lblStatus->text().startsWith("Last poll "))
      << Form->lblStatus->text().toStdString();
  EXPECT_EQ(Points(Chart("ProcessorChart768")->Series[0]), (TPoints{{0, 8}, {1, 8}, {2, 8}}));
  Form->acDisconnect->trigger();
  QFile log(logPath);
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromLocal8Bit(log.readAll()).count(",Processor,768,8\r\n"), 3);
}

// The chart's menu shows a week as columns of lowest, average and highest values, which a poll
// does not undo, and goes back to the graph length.
TEST_F(HistoryWindow, ContextMenuSwitchesToSevenDaysAndBack) {
  std::vector<std::pair<double, std::vector<TStoredValue>>> week;
  for (int hour = 7 * 24 - 1; hour >= 1; --hour)
    week.push_back({-60.0 * hour, {Load(hour % 24 * 4)}});
  StoreEarlier(week);
  {
    // Alerts of an earlier run: this processor's is marked, another's is not.
    THistoryStore store;
    store.Open(Path);
    const QDateTime time = Moment.addDays(-2);
    store.WriteEvent({Host(), time, "processor", 768, "768", "Processor 768 at 95 %", true});
    store.WriteEvent({Host(), time, "processor", 769, "769", "Processor 769 at 95 %", true});
  }
  UseHistory();
  ConnectTo(Host());
  ASSERT_TRUE(Connected());
  TChart* chart = Chart("ProcessorChart768");
  QStringList offered;
  Pick(chart, "Last 7 days", &offered);
  EXPECT_EQ(offered,
            (QStringList{"Graph Length*", "Last 24 hours", "Last 7 days", "Last 30 days"}));
  Clock.Advance(60000);  // a poll: the view stays
  WaitIdle();

  EXPECT_TRUE(chart->Series[0].Points.empty());
  EXPECT_EQ(chart->BottomAxis.Maximum, 7);
  EXPECT_EQ(chart->BottomAxis.Title, "Days");
  ASSERT_EQ(chart->Bands.size(), 1u);
  const std::vector<TChartColumn>& columns = chart->Bands[0].Columns;
  ASSERT_EQ(static_cast<int>(columns.size()), chart->PlotRect().width());
  double lowest = INFINITY, highest = -INFINITY;
  int filled = 0;
  for (const TChartColumn& column : columns) {
    if (std::isnan(column.Average)) continue;
    ++filled;
    lowest = std::min(lowest, column.Minimum);
    highest = std::max(highest, column.Maximum);
  }
  EXPECT_EQ(lowest, 0);
  EXPECT_EQ(highest, 92);
  EXPECT_EQ(filled, 168);  // an hour's value in each of 167 columns, and the first poll's
  EXPECT_EQ(columns.back().Average, 8);  // the newest column: the poll at Connect
  const QRect plot = chart->PlotRect();
  const QPoint newest = TChart::MapPoint(columns.back().X, 8, QRectF(plot).adjusted(0, 0, -1, -1),
                                         chart->BottomAxis, chart->LeftAxis)
                            .toPoint();
  EXPECT_TRUE(chart->ToolTipAt(newest).endsWith("\nAverage 8 % Load\nLowest 8, highest 8"))
      << chart->ToolTipAt(newest).toStdString();
  EXPECT_EQ(chart->TimeAtZero, Moment.addSecs(1));
  ASSERT_EQ(chart->Events.size(), 1u);
  EXPECT_NEAR(chart->Events[0].X, 2, 0.001);
  EXPECT_EQ(chart->Events[0].Text, "Processor 768 at 95 %");

  QStringList again;
  Pick(chart, "Graph Length", &again);
  EXPECT_EQ(again, (QStringList{"Graph Length", "Last 24 hours", "Last 7 days*", "Last 30 days"}));
  EXPECT_TRUE(chart->Bands.empty());
  EXPECT_TRUE(chart->Events.empty());
  EXPECT_EQ(chart->BottomAxis.Maximum, 15);
  EXPECT_EQ(chart->BottomAxis.Title, "Minutes");
  EXPECT_EQ(Points(chart->Series[0]), (TPoints{{0, 8}, {1, 8}}));
}

}  // namespace
