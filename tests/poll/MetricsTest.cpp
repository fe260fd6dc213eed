#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <optional>
#include <string>
#include <vector>

#include "Metrics.h"
#include "Monitors.h"
#include "Requester.h"

// The exposition text as Prometheus reads it, and the values behind it as polls change them.
namespace {

constexpr auto P = TItemKind::Processor;
constexpr auto I = TItemKind::Interface;
constexpr auto S = TItemKind::Storage;

// The lines of the text without the help lines.
std::vector<std::string> Lines(const QByteArray& text) {
  std::vector<std::string> lines;
  for (const QByteArray& line : text.split('\n'))
    if (!line.isEmpty() && !line.startsWith("# HELP ")) lines.push_back(line.toStdString());
  return lines;
}

// Values of one item as its monitor gives them.
TRawValues Load(std::optional<int64_t> load) {
  TRawValues raw;
  raw.Load = load;
  return raw;
}
TRawValues Counters(const QString& name, std::optional<uint64_t> in, std::optional<uint64_t> out,
                    uint64_t speedBits = 0) {
  TRawValues raw;
  raw.Name = name;
  raw.InOctets = in;
  raw.OutOctets = out;
  raw.SpeedBits = speedBits;
  return raw;
}
TRawValues Area(const QString& name, std::optional<uint64_t> size, std::optional<uint64_t> used) {
  TRawValues raw;
  raw.Name = name;
  raw.SizeBytes = size;
  raw.UsedBytes = used;
  return raw;
}
TRowUpdate Update(TItemKind kind, int32_t index, const TRawValues& raw) {
  TRowUpdate update;
  update.Kind = kind;
  update.Index = index;
  update.Raw = raw;
  return update;
}
TReadRun Polled(int requests, int answers) {
  TReadRun run;
  run.Requests = requests;
  run.Answers = answers;
  return run;
}

struct RenderCase {
  const char* name;
  TMetricsValues values;
  std::vector<std::string> lines;
};
void PrintTo(const RenderCase& c, std::ostream* out) {
  *out << c.name;
}

class Rendering : public ::testing::TestWithParam<RenderCase> {};

TEST_P(Rendering, WritesTheseLines) {
  EXPECT_EQ(Lines(RenderMetrics(GetParam().values)), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Metrics, Rendering,
    ::testing::Values(
        RenderCase{
            "EveryKind",
            {"h",
             true,
             0.25,
             12,
             {{{P, 768}, Load(105)},
              {{P, 769}, Load(-1)},
              {{I, 2}, Counters("eth0", 4294967295u, 0, 1000000000)},
              {{I, 10}, Counters("lo", UINT64_MAX, 7, 10)},
              {{S, 31}, Area("/", 1073741824, 1024000000)}}},
            {"# TYPE corvane_up gauge",
             R"(corvane_up{host="h"} 1)",
             "# TYPE corvane_poll_duration_seconds gauge",
             R"(corvane_poll_duration_seconds{host="h"} 0.25)",
             "# TYPE corvane_poll_requests gauge",
             R"(corvane_poll_requests{host="h"} 12)",
             "# TYPE corvane_processor_load_percent gauge",
             R"(corvane_processor_load_percent{host="h",index="768"} 105)",
             R"(corvane_processor_load_percent{host="h",index="769"} -1)",
             "# TYPE corvane_interface_octets_total counter",
             R"(corvane_interface_octets_total{host="h",interface="eth0",index="2",direction="in"} 4294967295)",
             R"(corvane_interface_octets_total{host="h",interface="eth0",index="2",direction="out"} 0)",
             R"(corvane_interface_octets_total{host="h",interface="lo",index="10",direction="in"} 18446744073709551615)",
             R"(corvane_interface_octets_total{host="h",interface="lo",index="10",direction="out"} 7)",
             "# TYPE corvane_interface_speed_bytes_per_second gauge",
             R"(corvane_interface_speed_bytes_per_second{host="h",interface="eth0",index="2"} 1.25e+08)",
             R"(corvane_interface_speed_bytes_per_second{host="h",interface="lo",index="10"} 1.25)",
             "# TYPE corvane_storage_size_bytes gauge",
             R"(corvane_storage_size_bytes{host="h",area="/",index="31"} 1073741824)",
             "# TYPE corvane_storage_used_bytes gauge",
             R"(corvane_storage_used_bytes{host="h",area="/",index="31"} 1024000000)"}},
        RenderCase{
            "MissingValuesAreLeftOut",
            {"h",
             false,
             0.000012,
             2,
             {{{P, 1}, Load({})},
              {{I, 1}, Counters("eth1", {}, 5)},
              {{S, 1}, Area("swap", 4096, {})}}},
            {"# TYPE corvane_up gauge", R"(corvane_up{host="h"} 0)",
             "# TYPE corvane_poll_duration_seconds gauge",
             R"(corvane_poll_duration_seconds{host="h"} 1.2e-05)",
             "# TYPE corvane_poll_requests gauge", R"(corvane_poll_requests{host="h"} 2)",
             "# TYPE corvane_interface_octets_total counter",
             R"(corvane_interface_octets_total{host="h",interface="eth1",index="1",direction="out"} 5)",
             "# TYPE corvane_storage_size_bytes gauge",
             R"(corvane_storage_size_bytes{host="h",area="swap",index="1"} 4096)"}},
        RenderCase{"LabelValuesEscaped",
                   {"a\"b\\c",
                    true,
                    {},
                    {},
                    {{{I, 3}, Counters("C:\\net\\\"lan\"\nf\xc3\xbcr\r", 1, {})}}},
                   {"# TYPE corvane_up gauge", R"(corvane_up{host="a\"b\\c"} 1)",
                    "# TYPE corvane_interface_octets_total counter",
                    "corvane_interface_octets_total{host=\"a\\\"b\\\\c\",interface=\"C:"
                    "\\\\net\\\\\\\"lan\\\"\\nf\xc3\xbcr\r\",index=\"3\",direction=\"in\"} 1"}}),
    [](const auto& test) { return std::string(test.param.name); });

// One sample per standing alert (items of one name share it), to follow the poll's families:
// promtool takes both as one text.
TEST(Metrics, StandingAlertsFollowThePollsValues) {
  EXPECT_TRUE(RenderAlertMetrics({}).isEmpty());
  const std::vector<TActiveAlert> alerts = {{"h", "processor", "768"},
                                            {"h", "interface_down", "NIC \"A\"\n"},
                                            {"h", "interface_down", "NIC \"A\"\n"},
                                            {"h", "no_answer", ""},
                                            {"g", "storage", "/"}};
  const QByteArray text = RenderAlertMetrics(alerts);
  EXPECT_EQ(Lines(text),
            (std::vector<std::string>{
                "# TYPE corvane_alert_active gauge",
                R"(corvane_alert_active{host="h",kind="processor",item="768"} 1)",
                R"(corvane_alert_active{host="h",kind="interface_down",item="NIC \"A\"\n"} 1)",
                R"(corvane_alert_active{host="h",kind="no_answer",item=""} 1)",
                R"(corvane_alert_active{host="g",kind="storage",item="/"} 1)"}));

  const QString promtool = QStandardPaths::findExecutable("promtool");
  if (promtool.isEmpty()) GTEST_SKIP() << "promtool is not installed";
  QTemporaryFile file;
  ASSERT_TRUE(file.open());
  TMetricsValues values;
  values.Host = "h";
  values.Items[{P, 768}] = Load(99);
  file.write(RenderMetrics(values) + text);
  file.close();
  QProcess check;
  check.setProcessChannelMode(QProcess::MergedChannels);
  check.setStandardInputFile(file.fileName());
  check.start(promtool, {"check", "metrics"});
  ASSERT_TRUE(check.waitForFinished(30000));
  EXPECT_EQ(check.exitCode(), 0);
  EXPECT_EQ(check.readAll().toStdString(), "");
}

TEST(Metrics, APollShowsWhenItEndsAndDisconnectLeavesTheHostDown) {
  TMetrics metrics;
  metrics.Connect("h");
  metrics.StartPoll(1000);
  metrics.Add(Update(P, 768, Load(5)));
  metrics.Add(Update(S, 31, Area("/", 100, 50)));
  EXPECT_TRUE(metrics.Values().Items.empty()) << "half a poll is not shown";
  metrics.EndPoll(Polled(2, 0), 3500);
  EXPECT_FALSE(metrics.Values().Up);
  EXPECT_EQ(metrics.Values().PollRequests, 2);
  EXPECT_EQ(metrics.Values().PollSeconds, 2.5);

  // Only the processors, and the load did not come: left out, while the area keeps its value.
  metrics.StartPoll(4000);
  metrics.Add(Update(P, 768, Load({})));
  metrics.EndPoll(Polled(1, 1), 4000);
  EXPECT_TRUE(metrics.Values().Up);
  EXPECT_FALSE(metrics.Values().Items.at({P, 768}).Load);
  EXPECT_EQ(metrics.Values().Items.at({S, 31}).UsedBytes, 50u);
  metrics.StartPoll(5000);
  metrics.EndPoll(Polled(0, 0), 5000);  // nothing asked, nothing learnt
  EXPECT_TRUE(metrics.Values().Up);

  metrics.StartPoll(6000);
  metrics.Add(Update(I, 1, Counters("eth1", 3, 4)));
  metrics.Disconnect();
  metrics.EndPoll(Polled(3, 3), 7000);  // ends after the disconnect: changes nothing
  EXPECT_EQ(Lines(RenderMetrics(metrics.Values())),
            (std::vector<std::string>{"# TYPE corvane_up gauge", R"(corvane_up{host="h"} 0)"}));
}

// An interface whose speed did not come has none, rather than the 1 bit/s its rates divide by.
TEST(Metrics, InterfaceSpeedIsAsTheAgentGaveIt) {
  const TReadValue lost{TValueState::NoAnswer, "", 0};
  auto value = [](const char* text) { return TReadValue{TValueState::Value, text, 0}; };
  TInterfaceMonitor monitor;
  monitor.DiscoveryReads({{{"", "1", value("1"), {}}, {"", "2", value("2"), {}}}});
  monitor.Discover(
      0, {value("eth0"), value("10000000"), value("6"), value("100"), value("1"), value("2")});
  monitor.Discover(1, {value("tun0"), lost, value("1"), value("100"), value("1"), value("2")});
  EXPECT_EQ(monitor.Poll(0, {value("200"), value("5"), lost}, false).Raw.SpeedBits, 10000000u);
  const TRowUpdate update = monitor.Poll(1, {value("200"), value("5"), lost}, false);
  EXPECT_EQ(update.Raw.SpeedBits, 0u);
  EXPECT_EQ(update.Raw.InOctets, 5u);
  EXPECT_FALSE(update.Raw.OutOctets);
}

}  // namespace
