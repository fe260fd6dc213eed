#include <gtest/gtest.h>

#include <cmath>

#include "Monitors.h"
#include "ValueText.h"

// The monitors fed with scripted values: no sockets, no waiting.
namespace {

TReadValue V(const std::string& text) {
  return {TValueState::Value, text, 0};
}
const TReadValue Lost{TValueState::NoAnswer, "", 0};
const TReadValue Refused{TValueState::NoValue, "", 0};

std::vector<TWalkRow> Walked(std::initializer_list<const char*> indexes) {
  std::vector<TWalkRow> rows;
  for (const char* index : indexes) rows.push_back({"", index, V(index), {}});
  return rows;
}

// A polled number to two decimals, or why it is missing.
std::string Shown(const TPolledValue& value) {
  if (value.Value) return QString::number(*value.Value, 'f', 2).toStdString();
  switch (value.Missing) {
    case TMissing::None:
      return "<nothing>";
    case TMissing::NoAnswer:
      return "no answer";
    case TMissing::NoValue:
      return "no value";
    case TMissing::Restarted:
      return "agent restarted";
    case TMissing::NewBaseline:
      return "new baseline";
    case TMissing::Measuring:
      return "measuring";
    case TMissing::CountersReset:
      return "counters reset";
  }
  return "?";
}

std::vector<double> Ys(const THistorySeries& series) {
  std::vector<double> ys;
  for (const THistoryPoint& point : series.Points) ys.push_back(point.Y);
  return ys;
}

// NaN compares unequal to itself; gaps are written as -1 here.
std::vector<double> Gapped(std::vector<double> ys) {
  for (double& y : ys)
    if (std::isnan(y)) y = -1;
  return ys;
}

class InterfaceMonitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto reads = Monitor.DiscoveryReads({Walked({"3"})});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].Oids[3], "1.3.6.1.2.1.1.3.0");
    // 10 Mbit/s; baselines at up-time 1000 s.
    Monitor.Discover(0, {V("eth0"), V("10000000"), V("6"), V("100000"), V("1000"), V("2000")});
  }
  TRowUpdate Poll(const TReadValue& upTime, const TReadValue& in, const TReadValue& out) {
    return Monitor.Poll(0, {upTime, in, out}, false);
  }
  TInterfaceMonitor Monitor;
};

TEST_F(InterfaceMonitorTest, LostReadingsAreGapsAndRatesResumeFromTheLastGoodOne) {
  // 61440 octets in over 60 s: 8 Kbit/s; out lost.
  TRowUpdate update = Poll(V("106000"), V("62440"), Lost);
  EXPECT_EQ(Shown(update.In), "8.00");
  EXPECT_EQ(Shown(update.Out), "no answer");
  EXPECT_NEAR(*update.Percent.Value, 0.08192, 1e-12);
  EXPECT_EQ(update.Gauge, 0);
  ASSERT_EQ(update.Log.size(), 1u);
  EXPECT_EQ(update.Log[0].Tag, "InterFaceIn");

  // Nothing answers: no gauge, no log, gaps in both series.
  update = Poll(Lost, Lost, Lost);
  EXPECT_EQ(update.Gauge, std::nullopt);
  EXPECT_TRUE(update.Log.empty());
  EXPECT_EQ(Shown(update.Percent), "no answer");
  EXPECT_EQ(Shown(update.In), "no answer");

  // Out's rate spans from its own last reading (up-time 1000 s) to 1120 s.
  update = Poll(V("112000"), V("62440"), V("124880"));
  EXPECT_EQ(Shown(update.Out), "8.00");
  EXPECT_EQ(Shown(update.In), "0.00");
  EXPECT_EQ(Gapped(Ys(Monitor.List.Record(0).History.Series(1))), (std::vector<double>{8, -1, -1}));
  EXPECT_EQ(Gapped(Ys(Monitor.List.Record(0).History.Series(0))), (std::vector<double>{0, -1, 8}));
  EXPECT_DOUBLE_EQ(Monitor.List.Record(0).History.AxisMaximum, 8.0);
}

TEST_F(InterfaceMonitorTest, ARestartedAgentGivesANewBaselineNotAWrap) {
  TRowUpdate update = Poll(V("500"), V("10"), V("20"));
  EXPECT_EQ(Shown(update.Percent), "agent restarted");
  EXPECT_EQ(Shown(update.In), "agent restarted");
  EXPECT_TRUE(update.Log.empty());
  EXPECT_DOUBLE_EQ(Monitor.List.Record(0).History.AxisMaximum, 1.0);
  update = Poll(V("1500"), V("1290"), V("20"));  // 1280 octets in 10 s
  EXPECT_EQ(Shown(update.In), "1.00");
}

TEST_F(InterfaceMonitorTest, AnUpTimeThatIsNoNumberIsAnError) {
  EXPECT_THROW(Poll(V("soon"), V("1"), V("2")), EConvertError);
  // A refused counter is a gap like a lost one.
  const TRowUpdate update = Poll(V("106000"), Refused, V("2000"));
  EXPECT_EQ(Shown(update.In), "no value");
}

TEST(InterfaceResets, ADifferenceBeyondTheSpeedOrANewDiscontinuityTimeIsAReset) {
  TInterfaceMonitor monitor;
  monitor.DiscoveryReads({Walked({"3"})});
  // 10 Mbit/s; read with its discontinuity time, 0 at discovery.
  monitor.Discover(0, {V("eth0"), V("10000000"), V("6"), V("100000"), V("1000"), V("2000"), V("e0"),
                       V("10"), V("0")});
  ASSERT_EQ(monitor.PollReads().at(0).Oids.back(), "1.3.6.1.2.1.31.1.1.1.19.3");
  const auto poll = [&monitor](const char* upTime, const char* in, const TReadValue& time) {
    return monitor.Poll(0, {V(upTime), V(in), V("2000"), time}, false);
  };
  // Counters cleared while the up-time goes on: no wrap fits 10 Mbit/s for 60 s.
  TRowUpdate update = poll("106000", "10", V("0"));
  EXPECT_EQ(Shown(update.In), "counters reset");
  EXPECT_EQ(update.Percent.Value, 0.0);
  ASSERT_EQ(update.Log.size(), 1u);  // out only
  EXPECT_DOUBLE_EQ(monitor.List.Record(0).History.AxisMaximum, 1.0);
  EXPECT_EQ(Shown(poll("112000", "7690", V("0")).In), "1.00");
  // The agent says the counters had a discontinuity: no rate, however plausible.
  update = poll("118000", "15370", V("4200"));
  EXPECT_EQ(Shown(update.In), "counters reset");
  EXPECT_EQ(Shown(update.Percent), "counters reset");
  EXPECT_TRUE(update.Log.empty());
  // A discontinuity time that does not come is no reset.
  EXPECT_EQ(Shown(poll("124000", "23050", Refused).In), "1.00");
}

// Walked 64-bit counters are the baselines only where both came with one sysUpTime; otherwise
// both are read again together with it.
TEST(InterfaceBaselines, WalkedCountersServeOnlyWhereBothCameWithOneUpTime) {
  const auto cell = [](const char* index, const char* value, const TReadValue& upTime) {
    return TWalkRow{"", index, V(value), upTime};
  };
  const TWalkTable extension = {
      {cell("1", "10", V("500")), cell("2", "20", V("500")), cell("3", "30", Refused),
       cell("4", "40", V("500"))},
      {cell("1", "11", V("500")), cell("2", "21", V("501")), cell("3", "31", Refused)},
      {},
      {}};
  TInterfaceMonitor monitor;
  const auto reads = monitor.DiscoveryReads({Walked({"1", "2", "3", "4"})}, extension);
  ASSERT_EQ(reads.size(), 4u);
  const auto known = [](const TItemRead& read, size_t i) {
    return read.Known.at(i) ? read.Known[i]->Text : std::string("<read>");
  };
  EXPECT_EQ(known(reads[0], 3), "500");
  EXPECT_EQ(known(reads[0], 4), "10");
  EXPECT_EQ(known(reads[0], 5), "11");
  for (size_t r = 1; r < 4; ++r) {
    for (size_t i = 3; i < 6; ++i) EXPECT_EQ(known(reads[r], i), "<read>") << r << " " << i;
  }
  // Without the 64-bit out counter the interface is read through its 32-bit ones.
  EXPECT_EQ(reads[3].Oids[4], "1.3.6.1.2.1.2.2.1.10.4");
}

TEST(ProcessorMonitorTest, LoadsAreClampedOnTheChartAndGapsAreNotLogged) {
  TProcessorMonitor monitor;
  const auto rows = monitor.Discover(Walked({"768", "769"}));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].Caption, "Processor 2 (769):");
  TRowUpdate update = monitor.Poll(0, {V("150")});
  EXPECT_EQ(update.Gauge, 150);  // the gauge holds it at 100 itself
  ASSERT_EQ(update.Log.size(), 1u);
  EXPECT_EQ(update.Log[0].Value, 150);
  update = monitor.Poll(0, {Lost});
  EXPECT_EQ(update.Gauge, std::nullopt);
  EXPECT_TRUE(update.Log.empty());
  EXPECT_EQ(Gapped(Ys(monitor.List.Record(0).History.Series(0))), (std::vector<double>{-1, 100}));
  EXPECT_THROW(monitor.Discover(Walked({"cpu"})), EConvertError);
}

TEST(StorageMonitorTest, SizesBeyondInteger32ReadAsUnsignedAndLostUseIsAGap) {
  TStorageMonitor monitor;
  monitor.DiscoveryReads({Walked({"1", "2", "3"})});
  // A 16 TiB disk reported as a negative Integer32 of 4096-byte units.
  const auto disk =
      monitor.Discover(0, {V("/data"), V("-1"), V("4096"), V("1.3.6.1.2.1.25.2.1.4")});
  ASSERT_TRUE(disk);
  EXPECT_DOUBLE_EQ(disk->AxisMaximum, 16777216.0);
  // An area whose type did not come, and one of a kind not shown, get no row.
  EXPECT_FALSE(monitor.Discover(1, {V("?"), V("10"), V("512"), Lost}));
  EXPECT_FALSE(monitor.Discover(2, {V("cd"), V("10"), V("512"), V("1.3.6.1.2.1.25.2.1.7")}));
  EXPECT_EQ(monitor.List.Count(), 1);

  TRowUpdate update = monitor.Poll(0, {V("-2147483648")});  // 2^31 units: half the disk
  EXPECT_EQ(update.Gauge, 50);
  EXPECT_EQ(Shown(update.UsedMegabytes), "8388608.00");
  EXPECT_EQ(update.Log[0].Value, 2147483648.0);
  EXPECT_EQ(update.Raw.UsedBytes, 8796093022208u);
  EXPECT_EQ(update.Raw.SizeBytes, 17592186040320u);
  update = monitor.Poll(0, {Lost});
  EXPECT_EQ(Shown(update.UsedMegabytes), "no answer");
  EXPECT_DOUBLE_EQ(update.TotalMegabytes, 16777216.0);
  EXPECT_EQ(update.Gauge, std::nullopt);
  EXPECT_TRUE(update.Log.empty());
}

}  // namespace
