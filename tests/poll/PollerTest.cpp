#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "FakeClock.h"
#include "Pollers.h"
#include "ScriptedTransport.h"
#include "SlotLimiter.h"

// The poller on a scripted transport and a clock the test moves: no sockets, no waiting.
namespace {

constexpr const char* kUpTime = "1.3.6.1.2.1.1.3.0";

class PollerTest : public ::testing::Test {
 protected:
  void SetUp() override { FillHost(Mib, 2); }
  TPoller& Make(TPollerSettings settings = {}) {
    if (settings.Host.isEmpty()) settings.Host = QStringLiteral("127.0.0.1:1161");
    settings.TimeoutMs = 1000;
    auto transport = std::make_unique<TScriptedTransport>(Mib, Clock);
    Transport = transport.get();
    Poller = std::make_unique<TPoller>(settings, std::move(transport), Clock, Slots);
    QObject::connect(Poller.get(), &TPoller::RowDiscovered,
                     [this](const TRowSpec& row) { Rows.push_back(row); });
    QObject::connect(Poller.get(), &TPoller::ItemUpdated,
                     [this](const TRowUpdate& update) { Updates.push_back(update); });
    QObject::connect(Poller.get(), &TPoller::PollFinished,
                     [this](const TPollResult& result) { Polls.push_back(result); });
    QObject::connect(Poller.get(), &TPoller::ConnectFinished,
                     [this](const TConnectOutcome& outcome) { Connects.push_back(outcome); });
    return *Poller;
  }
  // Connect, discovery and the first poll, all answered at once.
  TPoller& Connected(TPollerSettings settings = {}) {
    TPoller& poller = Make(settings);
    poller.Connect();
    Clock.Settle();
    EXPECT_TRUE(poller.Connected());
    EXPECT_FALSE(poller.Busy());
    return poller;
  }
  const TRowUpdate* Last(TItemKind kind, int32_t index) const {
    for (auto it = Updates.rbegin(); it != Updates.rend(); ++it)
      if (it->Kind == kind && it->Index == index) return &*it;
    return nullptr;
  }

  TFakeClock Clock;
  TScriptedMib Mib;
  TOpenSlots Slots;
  std::unique_ptr<TPoller> Poller;
  TScriptedTransport* Transport = nullptr;
  std::vector<TRowSpec> Rows;
  std::vector<TRowUpdate> Updates;
  std::vector<TPollResult> Polls;
  std::vector<TConnectOutcome> Connects;
};

struct TVersionCase {
  const char* name;
  TSnmpVersion version;
  size_t connectDatagrams;  // probe, discovery, first poll and the identity
};

class PollerConnect : public PollerTest, public ::testing::WithParamInterface<TVersionCase> {};

TEST_P(PollerConnect, FindsTheRowsAndGivesTheFirstPollsValues) {
  TPollerSettings settings;
  settings.Connection.Version = GetParam().version;
  TPoller& poller = Connected(settings);
  ASSERT_EQ(Connects.size(), 1u);
  EXPECT_EQ(Connects[0].Kind, TConnectOutcome::Connected);
  EXPECT_EQ(Transport->Host, "127.0.0.1");
  EXPECT_EQ(Transport->Port, 1161);
  EXPECT_EQ(Transport->Sent.size(), GetParam().connectDatagrams);

  // Storage first (the removable disk is not shown), then processors, then interfaces.
  std::vector<std::pair<TItemKind, int32_t>> rows;
  for (const TRowSpec& row : Rows) rows.emplace_back(row.Kind, row.Index);
  using K = TItemKind;
  EXPECT_EQ(rows, (std::vector<std::pair<TItemKind, int32_t>>{{K::Storage, 1},
                                                              {K::Storage, 31},
                                                              {K::Processor, 768},
                                                              {K::Processor, 769},
                                                              {K::Interface, 1},
                                                              {K::Interface, 2}}));
  EXPECT_EQ(Rows[2].Caption, "Processor 1 (768):");
  EXPECT_DOUBLE_EQ(Rows[1].AxisMaximum, 1024.0);

  ASSERT_EQ(Polls.size(), 1u);
  EXPECT_EQ(Polls[0].Run.Answers, Polls[0].Run.Requests);
  EXPECT_EQ(Last(K::Processor, 769)->Gauge, 9);
  const TRowUpdate* disk = Last(K::Storage, 31);
  EXPECT_EQ(disk->UsedMegabytes.Value, 976.6);
  EXPECT_EQ(disk->Gauge, 95);
  ASSERT_EQ(disk->Log.size(), 1u);
  EXPECT_EQ(disk->Log[0].Value, 250000);
  // Read at the same up-time as discovery: too soon for a rate, so a reading follows.
  EXPECT_EQ(Last(K::Interface, 2)->In.Missing, TMissing::Measuring);
  EXPECT_TRUE(poller.FollowUpPending());
  EXPECT_EQ(poller.Status().State, TPollerState::Answering);
  EXPECT_EQ(poller.Metrics().PollRequests, Polls[0].Run.Requests);

  // Five seconds on, 5120 octets more in on interface 2: 8 Kbit/s, in the first poll's place.
  Mib.Set(kUpTime, 0x43, "100500");
  Mib.Set("1.3.6.1.2.1.2.2.1.10.2", 0x41, "7120");
  Mib.Set("1.3.6.1.2.1.31.1.1.1.6.2", 0x46, "7120");
  Clock.Advance(5000);
  ASSERT_EQ(Polls.size(), 2u);
  EXPECT_TRUE(Polls[1].FollowUp);
  EXPECT_EQ(Last(K::Interface, 2)->In.Value, 8.0);
  EXPECT_FALSE(poller.FollowUpPending());
  // What a view built now shows: the rows by kind, with their histories and last values.
  const std::vector<TItemView> items = poller.Items();
  ASSERT_EQ(items.size(), 6u);
  EXPECT_EQ(items[3].Row.Index, 2);
  EXPECT_EQ(items[3].Row.Caption, "eth2");
  EXPECT_EQ(items[3].History->Size(), 1u);
  EXPECT_EQ(items[3].Last->In.Value, 8.0);

  // The next poll at the interval.
  Clock.Advance(55000 - 1);
  EXPECT_EQ(Polls.size(), 2u);
  Clock.Advance(1);
  EXPECT_EQ(Polls.size(), 3u);
  EXPECT_EQ(poller.Items()[3].History->Size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Poller, PollerConnect,
                         ::testing::Values(TVersionCase{"V1", TSnmpVersion::V1, 46},
                                           TVersionCase{"V2c", TSnmpVersion::V2c, 7}),
                         [](const auto& test) { return std::string(test.param.name); });

// The interfaces' state is read only while asked for: in version 1 one request per value after
// each interface's counters, in 2c within the same requests as the counters.
TEST_P(PollerConnect, ReadsTheInterfacesStateOnlyWhileAskedTo) {
  TPollerSettings settings;
  settings.Connection.Version = GetParam().version;
  TPoller& poller = Connected(settings);
  Clock.Advance(5000);  // the reading for the first rates
  for (const auto& [index, admin, oper] : {std::tuple{1, "1", "2"}, std::tuple{2, "2", "7"}}) {
    Mib.Set("1.3.6.1.2.1.2.2.1.7." + std::to_string(index), 2, admin);
    Mib.Set("1.3.6.1.2.1.2.2.1.8." + std::to_string(index), 2, oper);
  }
  // The names asked for in each request of one poll.
  int upTime = 100000;
  const auto poll = [&] {
    Mib.Set(kUpTime, 0x43, std::to_string(upTime += 6000));
    const size_t from = Transport->Sent.size();
    poller.Refresh();
    Clock.Settle();
    std::vector<std::vector<std::string>> asked;
    for (size_t i = from; i < Transport->Sent.size(); ++i) {
      TSNMPInfo request(nullptr);
      request.SetCommunity("pewter");
      request.DecodeMessage(Transport->Sent[i]);
      auto& names = asked.emplace_back();
      for (size_t b = 0; b < request.Count(); ++b) names.push_back(request.OidAt(b));
    }
    return asked;
  };
  const auto off = poll();
  EXPECT_FALSE(Last(TItemKind::Interface, 1)->Raw.AdminStatus);

  poller.SetReadInterfaceState(true);
  const auto on = poll();
  const TRowUpdate* first = Last(TItemKind::Interface, 1);
  EXPECT_EQ(first->Raw.AdminStatus, 1);
  EXPECT_EQ(first->Raw.OperStatus, 2);
  EXPECT_EQ(Last(TItemKind::Interface, 2)->Raw.OperStatus, 7);
  EXPECT_TRUE(first->In.Value);  // the counters are read as before
  if (GetParam().version == TSnmpVersion::V1) {
    ASSERT_EQ(on.size(), off.size() + 4);
    // Load, load, then interface 1: up-time, in, out, admin, oper.
    EXPECT_EQ(on[5], std::vector<std::string>{"1.3.6.1.2.1.2.2.1.7.1"});
    EXPECT_EQ(on[6], std::vector<std::string>{"1.3.6.1.2.1.2.2.1.8.1"});
  } else {
    ASSERT_EQ(on.size(), off.size());
    ASSERT_EQ(on[0].size(), off[0].size() + 4);
    EXPECT_EQ(std::count(on[0].begin(), on[0].end(), "1.3.6.1.2.1.2.2.1.8.2"), 1);
  }

  poller.SetReadInterfaceState(false);
  EXPECT_EQ(poll(), off);
  EXPECT_FALSE(Last(TItemKind::Interface, 1)->Raw.OperStatus);
}

// Request-ids of four octets and masked, as the window's recording over UDP has them.
TEST_F(PollerTest, VersionOneSendsTheRecordedDatagrams) {
  TPoller& poller = Make();
  poller.Requester().Session = TSnmpSession(0x10000000);
  poller.Connect();
  Clock.Settle();
  for (const char* upTime : {"106000", "112000"}) {
    Mib.Set(kUpTime, 0x43, upTime);
    poller.Refresh();
    Clock.Settle();
  }
  QStringList sent;
  for (const std::string& datagram : Transport->Sent)
    sent << QString::fromStdString(MaskedHex(datagram)).trimmed();
  QFile file(QStringLiteral(CORVANE_TEST_DATA_DIR "/monitor/wire-v1.txt"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(sent, QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts));
}

TEST_F(PollerTest, ASilentHostIsNoAnswerSinceItsLastAnswerOnceTwoDeadlinesPass) {
  TPoller& poller = Connected();
  Clock.Advance(30000);  // with the reading for the first rates
  ASSERT_EQ(Polls.size(), 2u);
  const QDateTime answered = Polls.back().Ended;
  Transport->Silent = true;
  const size_t sent = Transport->Sent.size();
  poller.Refresh();
  Clock.Advance(999);
  EXPECT_TRUE(poller.Busy());
  EXPECT_EQ(Transport->Sent.size(), sent + 1);
  Clock.Advance(1001);
  EXPECT_FALSE(poller.Busy());
  EXPECT_EQ(Transport->Sent.size(), sent + 2);  // the rest of the poll is not asked
  ASSERT_EQ(Polls.size(), 3u);
  EXPECT_TRUE(Polls[2].Run.Abandoned);
  EXPECT_EQ(poller.Status().State, TPollerState::Silent);
  EXPECT_EQ(poller.Status().LastAnswer, answered);
  EXPECT_EQ(poller.Status().LastPoll, Clock.Now());
  EXPECT_EQ(answered.msecsTo(Clock.Now()), 27000);
  EXPECT_FALSE(poller.Metrics().Up);
  EXPECT_EQ(Last(TItemKind::Storage, 31)->UsedMegabytes.Missing, TMissing::NoAnswer);
  EXPECT_TRUE(std::isnan(poller.Items()[0].History->Value(0, 0)));
  // A poll that had no answer leaves nothing for the first-rate reading either.
  EXPECT_FALSE(poller.FollowUpPending());
}

// Stopped while discovery waits for a reply: nothing it started comes later.
TEST_F(PollerTest, StopDuringDiscoveryLeavesNothingBehind) {
  TPoller& poller = Make();
  Transport->DelayMs = 10;
  poller.Connect();
  Clock.Advance(35);  // the probe and the first walk steps
  ASSERT_TRUE(poller.Busy());
  ASSERT_FALSE(Transport->Sent.empty());
  poller.Stop();
  const size_t sent = Transport->Sent.size();
  Clock.Advance(10 * 60 * 1000);
  EXPECT_EQ(Transport->Sent.size(), sent);
  EXPECT_TRUE(Rows.empty() && Updates.empty() && Polls.empty() && Connects.empty());
  EXPECT_TRUE(poller.Items().empty());
  EXPECT_EQ(poller.Status().State, TPollerState::Stopped);
  EXPECT_FALSE(poller.Busy());
  EXPECT_EQ(Clock.Pending(), 0u);
}

TEST_F(PollerTest, RefreshWhileAPollRunsIsSkipped) {
  TPoller& poller = Connected();
  Mib.Set(kUpTime, 0x43, "106000");  // a minute on: rates, so no reading for the first ones
  Transport->DelayMs = 10;
  const size_t sent = Transport->Sent.size();
  poller.Refresh();
  Clock.Advance(5);
  poller.Refresh();
  poller.Poll({TItemKind::Storage});
  Clock.Advance(10000);
  EXPECT_EQ(Polls.size(), 2u);
  // Two loads, two interfaces' up-times and counters, two areas: one poll's worth.
  EXPECT_EQ(Transport->Sent.size(), sent + 2 + 2 * 3 + 2);
}

// A chart's points stand when their polls started: a Refresh half a minute after the first poll
// and a slow one under way when the next tick came (which is then skipped) are not spread one
// interval apart.
TEST_F(PollerTest, PointsStandWhenTheirPollsStarted) {
  TPoller& poller = Connected();
  Clock.Advance(30000);  // the reading for the first rates, in the first poll's place
  poller.Refresh();
  Clock.Advance(30000 + 54000);  // the tick at 1 minute
  Transport->DelayMs = 900;
  poller.Refresh();
  Clock.Advance(6000);
  EXPECT_TRUE(poller.Busy());  // at the tick of 2 minutes
  Transport->DelayMs = 0;
  Clock.Advance(60000);  // the tick at 3 minutes
  std::vector<double> minutes;
  const auto points = poller.Items()[0].History->Series(0).Points;
  for (const THistoryPoint& point : points)
    minutes.push_back(MinutesBefore(points.front().Time, point.Time));
  EXPECT_EQ(minutes, (std::vector<double>{0, 1.1, 2, 2.5, 3}));
}

TEST_F(PollerTest, SnmpVersionThreeWaitsForItsPassphrasesWithoutSendingAnything) {
  TPollerSettings settings;
  settings.Connection.Version = TSnmpVersion::V3;
  settings.Connection.SecurityName = "corvane-priv";
  TPoller& poller = Make(settings);
  int asked = 0;
  QObject::connect(&poller, &TPoller::PassphrasesNeeded, [&asked] { ++asked; });
  poller.Connect();
  Clock.Advance(60000);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(poller.Status().State, TPollerState::PassphraseNeeded);
  EXPECT_TRUE(poller.Busy());
  EXPECT_TRUE(Transport->Host.isEmpty());
  EXPECT_TRUE(Transport->Sent.empty());
  poller.Stop();
  poller.SetPassphrases("too late", "too late");
  Clock.Advance(60000);
  EXPECT_TRUE(Transport->Sent.empty());
  EXPECT_EQ(poller.Status().State, TPollerState::Stopped);
}

// A Disconnect while an SNMPv3 Connect asks for its passphrases, then a Connect in version 2c:
// the passphrases given late change nothing, and nothing of the earlier keys is left.
TEST_F(PollerTest, PassphrasesForAnEarlierConnectAreIgnored) {
  TPollerSettings settings;
  settings.Connection.Version = TSnmpVersion::V3;
  settings.Connection.SecurityName = "corvane-none";
  settings.Connection.SecurityLevel = TSecurityLevel::NoAuthNoPriv;
  TPoller& poller = Make(settings);
  poller.Connect();
  poller.SetPassphrases({}, {});
  Clock.Settle();
  ASSERT_EQ(Transport->Sent.size(), 1u);  // the engine's discovery, which nobody answers
  poller.Connect();
  poller.Stop();
  settings.Connection.Version = TSnmpVersion::V2c;
  poller.SetSettings(settings);
  poller.Connect();
  poller.SetPassphrases({}, {});
  Clock.Settle();
  ASSERT_EQ(Connects.size(), 1u);
  EXPECT_EQ(Connects[0].Kind, TConnectOutcome::Connected);
  EXPECT_EQ(Transport->Sent.size(), 1u + 7u);
  EXPECT_EQ(poller.Status().State, TPollerState::Answering);
}

// Discovery's walks go side by side: after the probe, all four at once.
TEST_F(PollerTest, SnmpVersionTwoWalksTheTablesSideBySide) {
  TPollerSettings settings;
  settings.Connection.Version = TSnmpVersion::V2c;
  TPoller& poller = Make(settings);
  Transport->DelayMs = 10;
  poller.Connect();
  Clock.Advance(10);
  EXPECT_EQ(Transport->Sent.size(), 5u);
  // Probe, walks (whose counters are the first readings), the first poll and the identity.
  Clock.Advance(30);
  EXPECT_TRUE(poller.Connected());
  EXPECT_FALSE(poller.Busy());
  EXPECT_EQ(Rows.size(), 6u);
}

// The seam of the many-hosts limit: a poll that is not granted a slot sends nothing.
TEST_F(PollerTest, APollWaitsForItsSlot) {
  struct TGate : TPollSlots {
    std::function<void()> Waiting;
    int Released = 0;
    bool Open = true;
    void Acquire(TPoller&, std::function<void()> granted) override {
      if (Open)
        granted();
      else
        Waiting = std::move(granted);
    }
    void Release(TPoller&) override { ++Released; }
  } gate;
  auto transport = std::make_unique<TScriptedTransport>(Mib, Clock);
  TScriptedTransport& sent = *transport;
  TPoller poller({QStringLiteral("127.0.0.1")}, std::move(transport), Clock, gate);
  poller.Connect();
  Clock.Settle();
  ASSERT_TRUE(poller.Connected());
  EXPECT_EQ(gate.Released, 2);  // the Connect's and the first poll's
  gate.Open = false;
  const size_t before = sent.Sent.size();
  poller.Refresh();
  Clock.Advance(1000);
  EXPECT_TRUE(poller.Busy());
  EXPECT_EQ(sent.Sent.size(), before);
  gate.Waiting();
  Clock.Settle();
  EXPECT_GT(sent.Sent.size(), before);
  EXPECT_FALSE(poller.Busy());
  EXPECT_EQ(gate.Released, 3);
}

// Forty hosts: 32 connect at once, the others wait their turn in the order they asked, and one
// stopped while it waits never starts.
TEST(Pollers, AtMostThirtyTwoHostsPollAtOnce) {
  TFakeClock clock;
  TScriptedMib mib;
  FillHost(mib, 2);
  std::vector<TScriptedTransport*> transports;
  TPollers pollers(clock, [&]() -> std::unique_ptr<TTransport> {
    auto transport = std::make_unique<TScriptedTransport>(mib, clock);
    // Host n takes 2 x (10 + n) ms to connect: probe, walks (which leave nothing to read).
    transport->DelayMs = 10 + static_cast<int64_t>(transports.size());
    transports.push_back(transport.get());
    return transport;
  });
  const auto& limiter = dynamic_cast<const TSlotLimiter&>(pollers.Slots());
  std::vector<TPoller*> hosts;
  for (int i = 0; i < 40; ++i) {
    TPollerSettings settings;
    settings.Host = QStringLiteral("127.0.0.%1").arg(i + 1);
    settings.Connection.Version = TSnmpVersion::V2c;
    hosts.push_back(&pollers.Hold(settings));
    hosts.back()->Connect();
  }
  const auto started = [&] {
    int count = 0;
    while (count < 40 && !transports[static_cast<size_t>(count)]->Sent.empty()) ++count;
    return count;
  };
  clock.Settle();
  EXPECT_EQ(started(), 32);
  EXPECT_EQ(limiter.Waiting(), 8);
  hosts[33]->Stop();
  EXPECT_EQ(limiter.Waiting(), 7);
  clock.Advance(19);
  EXPECT_EQ(started(), 32);
  clock.Advance(1);  // host 0 has connected: its slot goes to host 32
  EXPECT_EQ(started(), 33);
  clock.Advance(2);  // host 1's goes past the stopped one to host 34
  EXPECT_EQ(started(), 33);
  EXPECT_FALSE(transports[34]->Sent.empty());
  EXPECT_TRUE(transports[35]->Sent.empty());
  int most = 0;
  for (int step = 0; step < 100; ++step) {
    clock.Advance(10);
    most = std::max(most, limiter.Held());
  }
  EXPECT_EQ(most, 32);
  EXPECT_EQ(limiter.Held(), 0);
  for (size_t i = 0; i < 40; ++i) {
    EXPECT_EQ(hosts[i]->Connected(), i != 33) << i;
    EXPECT_EQ(hosts[i]->Status().LastPoll.isValid(), i != 33) << i;
  }
  EXPECT_TRUE(transports[33]->Sent.empty());
}

// Every poller under its own host label; with none left, the last host down.
TEST(Pollers, MetricsOfEveryHostAndTheLastOneDown) {
  TFakeClock clock;
  TScriptedMib a, b;
  FillHost(a, 1);
  FillHost(b, 1);
  TPollers pollers(clock, [&, n = 0]() mutable -> std::unique_ptr<TTransport> {
    return std::make_unique<TScriptedTransport>(n++ == 0 ? a : b, clock);
  });
  TPoller& first = pollers.Hold({QStringLiteral("b.example")});
  TPoller& second = pollers.Hold({QStringLiteral("a.example")});
  EXPECT_EQ(&pollers.Hold({QStringLiteral("a.example")}), &second);
  first.Connect();
  second.Connect();
  clock.Settle();
  const QByteArray text = pollers.RenderMetrics();
  EXPECT_EQ(text.count("# TYPE corvane_up gauge\n"), 1);
  EXPECT_TRUE(text.contains("corvane_up{host=\"a.example\"} 1\ncorvane_up{host=\"b.example\"} 1\n"))
      << text.toStdString();
  EXPECT_TRUE(
      text.contains("corvane_processor_load_percent{host=\"b.example\",index=\"769\"} 9\n"));

  pollers.Release(first);
  pollers.Release(second);
  EXPECT_EQ(pollers.All().size(), 1u);  // a.example is held once more
  pollers.Release(second);
  EXPECT_TRUE(pollers.All().empty());
  EXPECT_EQ(pollers.RenderMetrics(),
            "# HELP corvane_up Whether the last poll of the host got answers (1) or not (0); 0 "
            "while not connected.\n# TYPE corvane_up gauge\ncorvane_up{host=\"a.example\"} 0\n");
}

}  // namespace

namespace {

struct TInFlightCase {
  const char* name;
  int limit;
  size_t sentAtOnce;
  int64_t allTimedOutAfterMs;
};

class RequesterInFlight : public ::testing::TestWithParam<TInFlightCase> {};

// Five requests to a silent agent: as many go out as the limit lets, each deadline frees a place.
TEST_P(RequesterInFlight, SendsUpToItsLimitAndMatchesRepliesInAnyOrder) {
  TFakeClock clock;
  TScriptedMib mib;
  TScriptedTransport transport(mib, clock);
  TRequester requester(transport, clock);
  requester.InFlightLimit = GetParam().limit;
  requester.TimeoutMs = 1000;
  transport.Silent = true;
  std::vector<std::pair<int, std::string>> ended;  // request, value or outcome
  const auto send = [&](int i) {
    TSNMPInfo request(nullptr);
    request.SetCommunity("pewter");
    request.Version = 1;
    request.PduType = SnmpTag::GetRequest;
    request.AddVarBind(kUpTime, "", SnmpTag::Null);
    requester.Send(request, [&ended, i](const TSnmpResult& result) {
      ended.emplace_back(i, result.Replied() ? result.Reply.ValueAt(0) : "timed out");
    });
  };
  for (int i = 0; i < 5; ++i) send(i);
  EXPECT_EQ(transport.Sent.size(), GetParam().sentAtOnce);
  clock.Advance(GetParam().allTimedOutAfterMs - 1);
  EXPECT_LT(ended.size(), 5u);
  clock.Advance(1);
  ASSERT_EQ(ended.size(), 5u);
  EXPECT_EQ(requester.Run().TimeOuts, 5);
  EXPECT_TRUE(requester.Idle());

  // Two more; the reply to the second comes first, and one for a request that ended does not
  // count.
  ended.clear();
  send(5);
  send(6);
  const size_t sixth = transport.Sent.size() - (GetParam().limit > 1 ? 2 : 1);
  transport.Inject(ForgedReply(transport.Sent[0], "pewter", "1", SnmpTag::Integer));
  if (GetParam().limit > 1) {
    transport.Inject(ForgedReply(transport.Sent[sixth + 1], "pewter", "7", SnmpTag::Integer));
  }
  transport.Inject(ForgedReply(transport.Sent[sixth], "pewter", "6", SnmpTag::Integer));
  clock.Settle();
  if (GetParam().limit > 1) {
    EXPECT_EQ(ended, (std::vector<std::pair<int, std::string>>{{6, "7"}, {5, "6"}}));
  } else {
    EXPECT_EQ(ended, (std::vector<std::pair<int, std::string>>{{5, "6"}}));
  }
}

INSTANTIATE_TEST_SUITE_P(Requester, RequesterInFlight,
                         ::testing::Values(TInFlightCase{"OneAtATime", 1, 1, 5000},
                                           TInFlightCase{"ThreeAtOnce", 3, 3, 2000}),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
