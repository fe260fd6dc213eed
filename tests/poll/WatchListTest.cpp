#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "FakeClock.h"
#include "ScriptedTransport.h"
#include "WatchList.h"

// The watched hosts on scripted transports and a clock the test moves.
namespace {

class WatchListTest : public ::testing::Test {
 protected:
  WatchListTest() { FillHost(Mib, 1); }
  static TPollerSettings Settings(const char* host, int intervalMinutes = 1) {
    TPollerSettings settings;
    settings.Host = QString::fromLatin1(host);
    settings.IntervalMinutes = intervalMinutes;
    settings.TimeoutMs = 1000;
    return settings;
  }

  TFakeClock Clock;
  TScriptedMib Mib;
  // In the order the pollers were made.
  std::vector<TScriptedTransport*> Transports;
  TPollers Pollers{Clock, [this] {
                     auto transport = std::make_unique<TScriptedTransport>(Mib, Clock);
                     Transports.push_back(transport.get());
                     return transport;
                   }};
  TWatchList Watch{Pollers};
};

TEST_F(WatchListTest, HostsArePolledAtTheirIntervalAndAFailedConnectIsTriedAgain) {
  TPoller& answering = Watch.Watch(Settings("a.example"));
  TPoller& silent = Watch.Watch(Settings("b.example", 5));
  Transports[1]->Silent = true;
  Clock.Settle();
  EXPECT_TRUE(answering.Connected());
  Clock.Advance(1000);
  EXPECT_EQ(silent.Status().State, TPollerState::Failed);
  ASSERT_EQ(Transports[1]->Sent.size(), 1u);  // the probe

  // An interval on: the answering host was polled at each minute, the silent one tried again.
  const size_t polled = Transports[0]->Sent.size();
  Clock.Advance(5 * 60000 - 1);
  EXPECT_EQ(Transports[1]->Sent.size(), 1u);
  Transports[1]->Silent = false;
  Clock.Advance(1);
  EXPECT_TRUE(silent.Connected());
  EXPECT_EQ(answering.Status().LastPoll, Clock.Now().addMSecs(-1000));
  EXPECT_GT(Transports[0]->Sent.size(), polled + 4 * 5);  // 5 polls of 2 loads, 3 interface values
  EXPECT_EQ(Watch.Hosts(),
            (std::vector<TWatchedHost>{{"a.example", "pewter", {}}, {"b.example", "pewter", {}}}));

  // No longer watched, it stops at once, unless another holds it too.
  Watch.Unwatch("a.example");
  EXPECT_EQ(Pollers.Find("a.example"), nullptr);
  Pollers.Hold(silent);
  Watch.Unwatch("b.example");
  EXPECT_TRUE(Watch.Pollers().empty());
  const size_t sent = Transports[0]->Sent.size(), other = Transports[1]->Sent.size();
  Clock.Advance(5 * 60000);
  EXPECT_EQ(Transports[0]->Sent.size(), sent);
  EXPECT_GT(Transports[1]->Sent.size(), other);
}

// Watching the host a window has connected keeps what it found; an SNMPv3 host waits for its
// passphrases without sending anything, and is not tried again meanwhile.
TEST_F(WatchListTest, AConnectedHostIsNotConnectedAgainAndVersionThreeWaitsForPassphrases) {
  TPoller& shown = Pollers.Hold(Settings("c.example"));
  shown.Connect();
  Clock.Settle();
  const size_t sent = Transports[0]->Sent.size();
  EXPECT_EQ(&Watch.Watch(shown.Settings()), &shown);
  Clock.Settle();
  EXPECT_EQ(Transports[0]->Sent.size(), sent);
  EXPECT_TRUE(shown.Connected());

  std::vector<TPoller*> wanted;
  QObject::connect(&Watch, &TWatchList::PassphrasesWanted,
                   [&wanted](TPoller* poller) { wanted.push_back(poller); });
  TPollerSettings settings = Settings("router1");
  settings.Connection.Version = TSnmpVersion::V3;
  settings.Connection.SecurityName = "ops";
  settings.Community = "not kept";
  TPoller& v3 = Watch.Watch(settings);
  Clock.Advance(10 * 60000);
  EXPECT_EQ(wanted, std::vector<TPoller*>{&v3});
  EXPECT_EQ(v3.Status().State, TPollerState::PassphraseNeeded);
  EXPECT_TRUE(Transports[1]->Sent.empty());
  EXPECT_EQ(Watch.Hosts()[1], (TWatchedHost{"router1", "", settings.Connection}));
}

}  // namespace
