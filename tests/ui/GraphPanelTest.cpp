#include <gtest/gtest.h>

#include "Computations.h"
#include "Dialogs.h"
#include "GraphPanel.h"

namespace {
std::vector<double> Xs(const TChartSeries& series) {
  std::vector<double> xs;
  for (const auto& point : series.Points) xs.push_back(point.X);
  return xs;
}
std::vector<double> Ys(const TChartSeries& series) {
  std::vector<double> ys;
  for (const auto& point : series.Points) ys.push_back(point.Y);
  return ys;
}
void PushAll(TChartSeries& series, std::initializer_list<double> values, int interval, int length) {
  for (double value : values) PushValue(series, value, interval, length, Qt::red);
}
}  // namespace

TEST(PushRule, FirstPointStandsAtZero) {
  TChartSeries series;
  PushValue(series, 42, 5, 15, Qt::red);
  EXPECT_EQ(Xs(series), (std::vector<double>{0}));
  EXPECT_EQ(Ys(series), (std::vector<double>{42}));
  EXPECT_EQ(series.Points[0].Color, QColor(Qt::red));
}

TEST(PushRule, NewestValueAtZeroOlderValuesMoveLeft) {
  TChartSeries series;
  PushAll(series, {1, 2, 3}, 5, 15);
  EXPECT_EQ(Xs(series), (std::vector<double>{0, 5, 10}));
  EXPECT_EQ(Ys(series), (std::vector<double>{3, 2, 1}));
}

TEST(PushRule, IntervalFiveLengthFifteenKeepsFourPoints) {
  TChartSeries series;
  PushAll(series, {1, 2, 3, 4, 5, 6}, 5, 15);
  EXPECT_EQ(Xs(series), (std::vector<double>{0, 5, 10, 15}));
  EXPECT_EQ(Ys(series), (std::vector<double>{6, 5, 4, 3}));
}

TEST(PushRule, IntervalOneLengthFifteenKeepsSixteenPoints) {
  TChartSeries series;
  for (int i = 0; i < 40; ++i) PushValue(series, i, 1, 15, Qt::red);
  ASSERT_EQ(series.Points.size(), 16u);
  EXPECT_EQ(series.Points.front().X, 0);
  EXPECT_EQ(series.Points.back().X, 15);
  EXPECT_EQ(series.Points.front().Y, 39);
  EXPECT_EQ(series.Points.back().Y, 24);
}

TEST(PushRule, IntervalTenLengthFifteenKeepsTwoPoints) {
  TChartSeries series;
  PushAll(series, {1, 2, 3}, 10, 15);
  EXPECT_EQ(Xs(series), (std::vector<double>{0, 10}));
  EXPECT_EQ(Ys(series), (std::vector<double>{3, 2}));
}

TEST(AutoHeight, LargestVisibleValueRoundedBothWays) {
  TChart chart;
  chart.AddSeries(TSeriesKind::Line, InColor);
  chart.AddSeries(TSeriesKind::Line, OutColor);
  chart.LeftAxis.Maximum = 500;
  PushValue(chart.Series[0], 3.0, 1, 15, InColor);
  PushValue(chart.Series[1], 12.36, 1, 15, OutColor);
  EXPECT_DOUBLE_EQ(AutoHeightMaximum(chart.Series), 12.4);

  TChart idle;
  idle.AddSeries(TSeriesKind::Line, InColor);
  idle.AddSeries(TSeriesKind::Line, OutColor);
  PushValue(idle.Series[0], 0, 1, 15, InColor);
  PushValue(idle.Series[1], 0, 1, 15, OutColor);
  EXPECT_DOUBLE_EQ(AutoHeightMaximum(idle.Series), 0.0);
}

TEST(HostText, PortIsOptionalAndIPv6LiteralsStandBareOrInBrackets) {
  const struct {
    const char* Text;
    const char* Host;
    int Port;
  } cases[] = {
      {"127.0.0.1", "127.0.0.1", 161},
      {"127.0.0.1:1161", "127.0.0.1", 1161},
      {"router.lan:70000", "router.lan:70000", 161},
      {"fe80::1", "fe80::1", 161},
      {"fe80::1%eth0", "fe80::1%eth0", 161},
      {"::1", "::1", 161},
      {"[::1]:1161", "::1", 1161},
      {"[fe80::1%eth0]", "fe80::1%eth0", 161},
      {"[::1]:x", "[::1]:x", 161},
      {"[::1", "[::1", 161},
  };
  for (const auto& c : cases) {
    QString host;
    int port = 0;
    SplitHostPort(c.Text, host, port);
    EXPECT_EQ(host, c.Host) << c.Text;
    EXPECT_EQ(port, c.Port) << c.Text;
  }
}

TEST(ValueLabel, RatesOfTenGigabitsAndMoreShowWholeAndShortOnesKeepTheFont) {
  TScrollBox box;
  QLabel* label = CreateValueLabel(&box, "lblInterfaceIn1", 0, Qt::AlignLeft);
  const QFont rows = box.Rows()->font();
  // 10, 100 and 400 Gbit/s in K, as the interface row shows them.
  for (const char* text : {"Out: 9,765,625.00 K", "In: 97,656,250.00 K", "Out: 390,625,000.00 K"}) {
    SetValueText(label, text);
    EXPECT_EQ(label->text(), text);
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->contentsRect().width())
        << text;
  }
  SetValueText(label, "In: 0.05 K");
  EXPECT_EQ(label->font(), rows);
}

TEST(MessageBox, QuotedAgentTextIsNotTakenForMarkup) {
  const QString text = "<font color=red>soon</font> is not a valid integer value";
  const auto box = NewMessageBox(QMessageBox::Critical, nullptr, text);
  const auto* shown = box->findChild<QLabel*>("qt_msgbox_label");
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->textFormat(), Qt::PlainText);
  EXPECT_EQ(shown->text(), text);
}
