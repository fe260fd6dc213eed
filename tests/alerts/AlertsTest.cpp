#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLocale>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <cstdint>
#include <memory>
#include <string>

#include "AlertHistory.h"
#include "Alerts.h"
#include "FakeClock.h"
#include "HistoryWriter.h"
#include "NotificationBus.h"
#include "Notifier.h"
#include "ScriptedTransport.h"

// From a poller's polls through its alert engine to the desktop's notification service and
// the history store.
namespace {

constexpr const char* kLoad768 = "1.3.6.1.2.1.25.3.3.1.2.768";

class AlertsEndToEnd : public Notifications {
 protected:
  void SetUp() override {
    Notifications::SetUp();
    if (IsSkipped()) return;
    FillHost(Mib, 2);
    SetState(1, "1", "2");  // eth1 down, though meant to be up
    SetState(2, "1", "1");
    Mib.Set(kLoad768, 2, "95");
    Offer();
  }
  void SetState(int index, const std::string& admin, const std::string& oper) {
    Mib.Set("1.3.6.1.2.1.2.2.1.7." + std::to_string(index), 2, admin);
    Mib.Set("1.3.6.1.2.1.2.2.1.8." + std::to_string(index), 2, oper);
  }
  // The bodies of the Notify calls so far, once count have come.
  std::vector<QString> Bodies(size_t count) {
    EXPECT_TRUE(Eventually([&] { return Fake.Calls.size() >= count; }));
    std::vector<QString> bodies;
    for (const NotifyCall& call : Fake.Calls) bodies.push_back(call.Body);
    return bodies;
  }

  TFakeClock Clock;
  TScriptedMib Mib;
  TScriptedTransport* Transport = nullptr;
};

TEST_F(AlertsEndToEnd, PollsFireAndClearOneNotificationEach) {
  TPollers pollers(Clock, [this] {
    auto transport = std::make_unique<TScriptedTransport>(Mib, Clock);
    Transport = transport.get();
    return transport;
  });
  TAlerts alerts(pollers);
  TAlertRules rules;
  rules.Processor = 90;
  rules.Storage = 99;
  rules.Down = true;
  rules.NoAnswer = true;
  rules.Polls = 2;
  alerts.SetRules(rules);
  TNotifier notifier(Bus.Connect("client"));
  NotifyAlerts(alerts, notifier);
  QTemporaryDir folder;
  const QString storePath = folder.filePath("history.sqlite");
  THistoryWriter writer(Clock);
  writer.Open(storePath);
  KeepAlertEvents(alerts, writer);
  QSignalSpy counts(&alerts, &TAlerts::CountChanged);

  TPollerSettings settings;
  settings.Host = QStringLiteral("db1.example");
  settings.TimeoutMs = 1000;
  TPoller& poller = pollers.Hold(settings);
  poller.Connect();
  Clock.Advance(5000);  // Connect, the first poll and the reading for the first rates
  ASSERT_TRUE(poller.Connected());
  EXPECT_EQ(alerts.Count(poller), 0);  // held for one poll; the reading between counts for none

  Clock.Advance(55000);
  EXPECT_EQ(Bodies(2),
            (std::vector<QString>{"Processor 768 at 95 % for 2 polls", "Interface eth1 is down"}));
  EXPECT_EQ(Fake.Calls[0].Summary, "Corvane: db1.example");
  EXPECT_EQ(alerts.Count(poller), 2);
  ASSERT_EQ(counts.size(), 1);
  EXPECT_EQ(counts[0][1].toInt(), 2);
  EXPECT_EQ(alerts.States(), std::vector<THostState>{THostState::Alert});
  EXPECT_EQ(alerts.RenderMetrics(),
            "# HELP corvane_alert_active 1 while an alert stands for the host's item (no item: "
            "the host itself).\n# TYPE corvane_alert_active gauge\n"
            "corvane_alert_active{host=\"db1.example\",kind=\"processor\",item=\"768\"} 1\n"
            "corvane_alert_active{host=\"db1.example\",kind=\"interface_down\",item=\"eth1\"} 1\n");

  // Still so: nothing more. Then back to normal: one clearing each.
  Clock.Advance(60000);
  Mib.Set(kLoad768, 2, "20");
  SetState(1, "1", "1");
  Clock.Advance(60000);
  EXPECT_EQ(Bodies(4).size(), 4u);
  EXPECT_EQ(Fake.Calls[2].Body, "Processor 768 is back to normal");
  EXPECT_EQ(Fake.Calls[3].Body, "Interface eth1 is up again");
  EXPECT_EQ(alerts.Count(poller), 0);
  EXPECT_TRUE(alerts.RenderMetrics().isEmpty());

  // The host falls silent: no answer since its last answer, at the second poll without one.
  const QDateTime lastAnswer = poller.Status().LastAnswer;
  Transport->Silent = true;
  Clock.Advance(60000 + 2000);
  EXPECT_EQ(alerts.States(), std::vector<THostState>{THostState::NoAnswer});
  EXPECT_EQ(alerts.Count(poller), 0);
  Clock.Advance(60000);
  const QString since =
      QLocale::system().toString(lastAnswer.toLocalTime().time(), QLocale::ShortFormat);
  EXPECT_EQ(Bodies(5).back(), "No answer from db1.example since " + since);

  // Switched off in the options: it ends at once, and the user is not told what they just did.
  rules.NoAnswer = false;
  alerts.SetRules(rules);
  EXPECT_EQ(alerts.Count(poller), 0);
  QTest::qWait(100);
  EXPECT_EQ(Fake.Calls.size(), 5u);
  ASSERT_EQ(alerts.Events(poller).size(), 6u);
  EXPECT_EQ(alerts.Events(poller).back().Change.Change, TAlertChangeKind::Off);

  // The history store keeps them all, told as the notifications told them.
  writer.Wait();
  THistoryStore store;
  store.Open(storePath, THistoryStore::TMode::Read);
  const std::vector<TStoredEvent> stored = store.Events("db1.example", 0, INT64_MAX);
  ASSERT_EQ(stored.size(), 6u);
  EXPECT_EQ(stored[1], (TStoredEvent{"db1.example", alerts.Events(poller)[1].Time, "interface_down",
                                     1, "eth1", "Interface eth1 is down", true}));
  EXPECT_EQ(stored[2].Text, "Processor 768 is back to normal");
  EXPECT_FALSE(stored[2].Fired);

  // A poller nobody holds any more takes its alerts with it.
  pollers.Release(poller);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  Clock.Advance(120000);
  EXPECT_TRUE(alerts.States().empty());
  EXPECT_TRUE(alerts.RenderMetrics().isEmpty());
}

}  // namespace
