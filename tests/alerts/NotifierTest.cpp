#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>
#include <QVariantMap>

#include "NotificationBus.h"
#include "Notifier.h"

// The notifier against a notification service on a private bus, and without one.
namespace {

TAlertChange Change(TAlertChangeKind change, TAlertKind kind, const QString& name,
                    std::optional<double> percent = std::nullopt) {
  TAlert alert;
  alert.Kind = kind;
  alert.Index = 2;
  alert.Name = name;
  alert.Percent = percent;
  alert.Polls = 3;
  return {change, alert};
}

TEST_F(Notifications, EachFiringAndClearingIsOneNotifyCall) {
  Offer();
  TNotifier notifier(Bus.Connect("client"));
  QSignalSpy unsent(&notifier, &TNotifier::Unsent);
  const QLocale british(QLocale::English, QLocale::UnitedKingdom);
  // The service says it shows plain text: "&" is sent as it is.
  ASSERT_TRUE(Eventually([&] { return !notifier.BodyMarkup(); }));
  for (const TAlertChange& change :
       {Change(TAlertChangeKind::Fired, TAlertKind::ProcessorLoad, "768", 95),
        Change(TAlertChangeKind::Fired, TAlertKind::InterfaceDown, "R&D uplink"),
        Change(TAlertChangeKind::Cleared, TAlertKind::ProcessorLoad, "768")})
    notifier.Send(AlertNotification("router", change, british));

  ASSERT_TRUE(Eventually([&] { return Fake.Calls.size() == 3; }));
  for (const NotifyCall& call : Fake.Calls) {
    EXPECT_EQ(call.App, "Corvane");
    EXPECT_EQ(call.Replaces, 0u);
    EXPECT_EQ(call.Icon, "corvane");
    EXPECT_EQ(call.Summary, "Corvane: router");
    EXPECT_EQ(call.Hints.value("urgency").toInt(), 1);
    EXPECT_EQ(call.Hints.value("desktop-entry").toString(), "corvane");
  }
  EXPECT_EQ(Fake.Calls[0].Body, "Processor 768 at 95 % for 3 polls");
  EXPECT_EQ(Fake.Calls[1].Body, "Interface R&D uplink is down");
  EXPECT_EQ(Fake.Calls[2].Body, "Processor 768 is back to normal");
  EXPECT_EQ(Fake.Calls[0].Timeout, 30000);
  EXPECT_EQ(Fake.Calls[2].Timeout, 10000);
  QTest::qWait(50);
  EXPECT_EQ(unsent.count(), 0);
}

// Where the service reads markup, an agent's text is shown as text, not as markup.
TEST_F(Notifications, AgentsTextIsNoMarkup) {
  Fake.Capabilities << "body-markup";
  Offer();
  TNotifier notifier(Bus.Connect("client"));
  notifier.Send(AlertNotification(
      "router",
      Change(TAlertChangeKind::Fired, TAlertKind::InterfaceDown, "<img src=\"x\"/>&amp;")));
  ASSERT_TRUE(Eventually([&] { return Fake.Calls.size() == 1; }));
  EXPECT_EQ(Fake.Calls[0].Body, "Interface &lt;img src=&quot;x&quot;/&gt;&amp;amp; is down");
}

// A bus without the service answers at once that there is none: the notification comes back
// long before the notifier would stop waiting.
TEST_F(Notifications, WithoutAServiceItComesBackAtOnce) {
  TNotifier notifier(Bus.Connect("client"));
  notifier.ReplyTimeoutMs = 120000;
  QSignalSpy unsent(&notifier, &TNotifier::Unsent);
  notifier.Send({"Corvane: router", "Storage / at 93 %", true});
  EXPECT_EQ(unsent.count(), 0);  // the call is under way; Send did not wait for it
  ASSERT_TRUE(Eventually([&] { return unsent.count() == 1; }));
  EXPECT_EQ(unsent[0], (QList<QVariant>{"Corvane: router", "Storage / at 93 %"}));
}

// A service that takes the call and never answers holds nothing up.
TEST_F(Notifications, AServiceThatNeverAnswersDelaysNothing) {
  Fake.Hang = true;
  Offer();
  TNotifier notifier(Bus.Connect("client"));
  notifier.ReplyTimeoutMs = 200;
  QSignalSpy unsent(&notifier, &TNotifier::Unsent);
  notifier.Send({"Corvane: router", "router answers again", false});
  EXPECT_EQ(unsent.count(), 0);
  EXPECT_TRUE(Eventually([&] { return Fake.Calls.size() == 1; }));
  EXPECT_TRUE(Eventually([&] { return unsent.count() == 1; }));
}

TEST(Notifier, WithoutABusEveryNotificationComesBackAsItIsSent) {
  TNotifier notifier(QDBusConnection(QStringLiteral("no such connection")));
  QSignalSpy unsent(&notifier, &TNotifier::Unsent);
  notifier.Send({"Corvane: router", "Interface eth0 is down", true});
  EXPECT_EQ(unsent.count(), 1);
}

// Whatever session bus the desktop has, or none (run on Xvfb both ways): a notification goes
// to the service the bus has or starts (a real daemon where one is installed), or comes back.
TEST(SessionBus, NotificationIsTakenOrComesBack) {
  if (qEnvironmentVariableIsEmpty("CORVANE_TEST_SESSION"))
    GTEST_SKIP() << "runs in a session of its own (xvfb_test.sh)";
  const QDBusConnection bus = QDBusConnection::sessionBus();
  const QString name = QStringLiteral("org.freedesktop.Notifications");
  const bool service =
      bus.isConnected() && (bus.interface()->isServiceRegistered(name) ||
                            bus.interface()->activatableServiceNames().value().contains(name));
  TNotifier notifier(bus);
  QSignalSpy unsent(&notifier, &TNotifier::Unsent);
  QSignalSpy delivered(&notifier, &TNotifier::Delivered);
  notifier.Send({"Corvane: router", "Interface eth0 is down", true});
  EXPECT_TRUE(Eventually([&] { return unsent.count() + delivered.count() == 1; }));
  EXPECT_EQ(delivered.count(), service ? 1 : 0);
}

}  // namespace
