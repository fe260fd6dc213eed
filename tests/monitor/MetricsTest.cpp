#include <gtest/gtest.h>

#include <QLocale>
#include <limits>
#include <string>
#include <vector>

#include "Metrics.h"
#include "MetricsServer.h"
#include "Monitors.h"
#include "SnmpReader.h"

// The exposition text as Prometheus reads it, and the values behind it as polls change them.
namespace {

std::vector<std::string> Samples(const QByteArray& text) {
  std::vector<std::string> lines;
  for (const QByteArray& line : text.split('\n'))
    if (!line.isEmpty() && !line.startsWith('#')) lines.push_back(line.toStdString());
  return lines;
}

TRawValues Interface(const QString& name, std::optional<uint64_t> in, std::optional<uint64_t> out,
                     uint64_t speedBits) {
  TRawValues raw;
  raw.Name = name;
  raw.InOctets = in;
  raw.OutOctets = out;
  raw.SpeedBits = speedBits;
  return raw;
}

TRawValues Processor(std::optional<int64_t> load) {
  TRawValues raw;
  raw.Load = load;
  return raw;
}

TRawValues Storage(const QString& name, std::optional<uint64_t> size,
                   std::optional<uint64_t> used) {
  TRawValues raw;
  raw.Name = name;
  raw.SizeBytes = size;
  raw.UsedBytes = used;
  return raw;
}

constexpr auto P = TItemKind::Processor;
constexpr auto I = TItemKind::Interface;
constexpr auto S = TItemKind::Storage;

struct RenderCase {
  const char* name;
  TMetricsValues values;
  std::vector<std::string> samples;
};
void PrintTo(const RenderCase& c, std::ostream* out) {
  *out << c.name;
}

class Rendering : public ::testing::TestWithParam<RenderCase> {};

TEST_P(Rendering, WritesTheseSamples) {
  EXPECT_EQ(Samples(RenderMetrics(GetParam().values)), GetParam().samples);
}

INSTANTIATE_TEST_SUITE_P(
    Metrics, Rendering,
    ::testing::Values(
        RenderCase{"NeverConnected", {}, {R"(corvane_up{host=""} 0)"}},
        RenderCase{"ConnectedBeforeTheFirstPoll",
                   {"192.0.2.7:1161", true, {}, {}, {}},
                   {R"(corvane_up{host="192.0.2.7:1161"} 1)"}},
        RenderCase{
            "EveryKind",
            {"h",
             true,
             0.25,
             12,
             {{{P, 768}, Processor(105)},
              {{P, 769}, Processor(-1)},
              {{I, 2}, Interface("eth0", 4294967295u, 0, 1000000000)},
              {{I, 10}, Interface("lo", std::numeric_limits<uint64_t>::max(), 7, 10)},
              {{S, 31}, Storage("/", 1073741824, 1024000000)}}},
            {R"(corvane_up{host="h"} 1)", R"(corvane_poll_duration_seconds{host="h"} 0.25)",
             R"(corvane_poll_requests{host="h"} 12)",
             R"(corvane_processor_load_percent{host="h",index="768"} 105)",
             R"(corvane_processor_load_percent{host="h",index="769"} -1)",
             R"(corvane_interface_octets_total{host="h",interface="eth0",index="2",direction="in"} 4294967295)",
             R"(corvane_interface_octets_total{host="h",interface="eth0",index="2",direction="out"} 0)",
             R"(corvane_interface_octets_total{host="h",interface="lo",index="10",direction="in"} 18446744073709551615)",
             R"(corvane_interface_octets_total{host="h",interface="lo",index="10",direction="out"} 7)",
             R"(corvane_interface_speed_bytes_per_second{host="h",interface="eth0",index="2"} 1.25e+08)",
             R"(corvane_interface_speed_bytes_per_second{host="h",interface="lo",index="10"} 1.25)",
             R"(corvane_storage_size_bytes{host="h",area="/",index="31"} 1073741824)",
             R"(corvane_storage_used_bytes{host="h",area="/",index="31"} 1024000000)"}},
        RenderCase{
            "MissingValuesAreLeftOut",
            {"h",
             false,
             0.000012,
             2,
             {{{P, 1}, Processor({})},
              {{I, 1}, Interface("eth1", {}, 5, 0)},
              {{S, 1}, Storage("swap", 4096, {})}}},
            {R"(corvane_up{host="h"} 0)", R"(corvane_poll_duration_seconds{host="h"} 1.2e-05)",
             R"(corvane_poll_requests{host="h"} 2)",
             R"(corvane_interface_octets_total{host="h",interface="eth1",index="1",direction="out"} 5)",
             R"(corvane_storage_size_bytes{host="h",area="swap",index="1"} 4096)"}},
        RenderCase{
            "LabelValuesEscaped",
            {"a\"b\\c", true, {}, {}, {{{I, 3}, Interface("C:\\net\\\"lan\"\nfür\r", 1, {}, 0)}}},
            {R"(corvane_up{host="a\"b\\c"} 1)",
             "corvane_interface_octets_total{host=\"a\\\"b\\\\c\",interface=\"C:"
             "\\\\net\\\\\\\"lan\\\"\\nf\xc3\xbcr\r\",index=\"3\",direction=\"in\"} 1"}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(Metrics, EachFamilyWithSamplesHasItsHelpAndTypeOnceBeforeThem) {
  TMetricsValues values{"h", true, 1, 3, {}};
  values.Items[{I, 1}] = Interface("eth1", 1, 2, 0);
  values.Items[{I, 2}] = Interface("eth2", 3, 4, 0);
  values.Items[{S, 5}] = Storage("/", 10, 5);
  const QByteArray text = RenderMetrics(values);
  EXPECT_TRUE(text.endsWith('\n'));
  std::vector<std::string> headers;
  for (const QByteArray& line : text.split('\n'))
    if (line.startsWith("# TYPE ")) headers.push_back(line.toStdString());
  EXPECT_EQ(
      headers,
      (std::vector<std::string>{
          "# TYPE corvane_up gauge", "# TYPE corvane_poll_duration_seconds gauge",
          "# TYPE corvane_poll_requests gauge", "# TYPE corvane_interface_octets_total counter",
          "# TYPE corvane_storage_size_bytes gauge", "# TYPE corvane_storage_used_bytes gauge"}));
  EXPECT_TRUE(
      text.contains("# HELP corvane_interface_octets_total Octets through the interface: "
                    "the agent's counter as read.\n"
                    "# TYPE corvane_interface_octets_total counter\n"
                    "corvane_interface_octets_total{host=\"h\",interface=\"eth1\","));
}

TEST(Metrics, NumbersKeepTheirDotInACommaLocale) {
  const QLocale before;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  const QByteArray text = RenderMetrics({"h", true, 1234.5, 1000, {}});
  QLocale::setDefault(before);
  EXPECT_TRUE(text.contains("corvane_poll_duration_seconds{host=\"h\"} 1234.5\n")) << text.data();
  EXPECT_TRUE(text.contains("corvane_poll_requests{host=\"h\"} 1000\n")) << text.data();
}

TRowUpdate Update(TItemKind kind, int32_t index, TRawValues raw) {
  TRowUpdate update;
  update.Kind = kind;
  update.Index = index;
  update.Raw = std::move(raw);
  return update;
}

TReadRun Polled(int requests, int answers) {
  TReadRun run;
  run.Requests = requests;
  run.Answers = answers;
  return run;
}

TEST(Metrics, APollShowsWhenItEndsAndKeepsItemsItDidNotAskFor) {
  TMetrics metrics;
  metrics.Connect("h");
  metrics.StartPoll();
  metrics.Add(Update(P, 768, Processor(5)));
  metrics.Add(Update(S, 31, Storage("/", 100, 50)));
  EXPECT_TRUE(metrics.Values().Items.empty()) << "half a poll is not shown";
  metrics.EndPoll(Polled(2, 2));
  EXPECT_EQ(metrics.Values().Items.size(), 2u);
  EXPECT_EQ(metrics.Values().PollRequests, 2);
  ASSERT_TRUE(metrics.Values().PollSeconds);
  EXPECT_GE(*metrics.Values().PollSeconds, 0);

  // Only the processors this time, and the load did not come: left out, the storage kept.
  metrics.StartPoll();
  metrics.Add(Update(P, 768, Processor({})));
  metrics.EndPoll(Polled(1, 1));
  EXPECT_EQ(Samples(RenderMetrics(metrics.Values())).size(), 5u);
  EXPECT_FALSE(metrics.Values().Items.at({P, 768}).Load);
  EXPECT_EQ(metrics.Values().Items.at({S, 31}).UsedBytes, 50u);
}

TEST(Metrics, UpFollowsAnswersAndDisconnectLeavesTheHostDown) {
  TMetrics metrics;
  metrics.Connect("h");
  EXPECT_TRUE(metrics.Values().Up);
  metrics.StartPoll();
  metrics.EndPoll(Polled(2, 0));
  EXPECT_FALSE(metrics.Values().Up);
  metrics.StartPoll();
  metrics.EndPoll(Polled(0, 0));  // nothing asked: nothing learnt
  EXPECT_FALSE(metrics.Values().Up);
  metrics.StartPoll();
  metrics.Add(Update(I, 1, Interface("eth1", 1, 2, 8)));
  metrics.EndPoll(Polled(3, 1));
  EXPECT_TRUE(metrics.Values().Up);

  metrics.StartPoll();
  metrics.Add(Update(I, 1, Interface("eth1", 3, 4, 8)));
  metrics.Disconnect();
  // A poll that ends after the disconnect changes nothing.
  metrics.EndPoll(Polled(3, 3));
  metrics.Add(Update(I, 1, Interface("eth1", 3, 4, 8)));
  EXPECT_EQ(RenderMetrics(metrics.Values()),
            "# HELP corvane_up Whether the last poll of the host got answers (1) or not (0); 0 "
            "while not connected.\n"
            "# TYPE corvane_up gauge\n"
            "corvane_up{host=\"h\"} 0\n");
}

// An interface whose speed did not come has none, rather than the 1 bit/s its rates divide by.
TEST(Metrics, InterfaceSpeedIsAsTheAgentGaveIt) {
  const TReadValue lost{TValueState::NoAnswer, "", 0};
  auto value = [](const char* text) { return TReadValue{TValueState::Value, text, 0}; };
  TInterfaceMonitor monitor;
  monitor.DiscoveryReads({{"", "1", value("1")}, {"", "2", value("2")}});
  monitor.Discover(
      0, {value("eth0"), value("10000000"), value("6"), value("100"), value("1"), value("2")});
  monitor.Discover(1, {value("tun0"), lost, value("1"), value("100"), value("1"), value("2")});
  EXPECT_EQ(monitor.Poll(0, {value("200"), value("5"), lost}, false).Raw.SpeedBits, 10000000u);
  const TRowUpdate update = monitor.Poll(1, {value("200"), value("5"), lost}, false);
  EXPECT_EQ(update.Raw.SpeedBits, 0u);
  EXPECT_EQ(update.Raw.InOctets, 5u);
  EXPECT_FALSE(update.Raw.OutOctets);
}

struct AddressCase {
  const char* name;
  const char* text;
  const char* host;  // nullptr: refused
  quint16 port;
  const char* error;
};

void PrintTo(const AddressCase& c, std::ostream* out) {
  *out << c.text;
}

class ListenAddress : public ::testing::TestWithParam<AddressCase> {};

TEST_P(ListenAddress, ParsesOrSaysWhy) {
  const AddressCase& c = GetParam();
  QString error;
  const std::optional<TListenAddress> address = ParseListenAddress(c.text, error);
  if (c.host == nullptr) {
    EXPECT_FALSE(address);
    EXPECT_EQ(error, c.error);
    return;
  }
  ASSERT_TRUE(address) << error.toStdString();
  EXPECT_EQ(address->Host, QHostAddress(c.host));
  EXPECT_EQ(address->Port, c.port);
}

INSTANTIATE_TEST_SUITE_P(
    Metrics, ListenAddress,
    ::testing::Values(
        AddressCase{"Ipv4", "127.0.0.1:9163", "127.0.0.1", 9163, ""},
        AddressCase{"Ipv6", "[::1]:65535", "::1", 65535, ""},
        AddressCase{"Localhost", "LocalHost:1", "127.0.0.1", 1, ""},
        AddressCase{"Everywhere", "0.0.0.0:9163", "0.0.0.0", 9163, ""},
        AddressCase{"NoPort", "127.0.0.1", nullptr, 0,
                    "no port (write address:port, for example 127.0.0.1:9163)"},
        AddressCase{"NoAddress", ":9163", nullptr, 0,
                    "no address (write address:port, for example 127.0.0.1:9163)"},
        AddressCase{"Ipv6WithoutBrackets", "::1:9163", nullptr, 0,
                    "write an IPv6 address in brackets, for example [::1]:9163"},
        AddressCase{"BracketsWithoutColon", "[::1]9163", nullptr, 0,
                    "write an IPv6 address as [address]:port, for example [::1]:9163"},
        AddressCase{"PortZero", "127.0.0.1:0", nullptr, 0,
                    "\"0\" is no port number from 1 to 65535"},
        AddressCase{"PortTooBig", "127.0.0.1:65536", nullptr, 0,
                    "\"65536\" is no port number from 1 to 65535"},
        AddressCase{"PortWithSign", "127.0.0.1:+80", nullptr, 0,
                    "\"+80\" is no port number from 1 to 65535"},
        AddressCase{"EmptyPort", "[::1]:", nullptr, 0, "\"\" is no port number from 1 to 65535"},
        AddressCase{"HostName", "example.org:9163", nullptr, 0,
                    "\"example.org\" is no IP address"}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
