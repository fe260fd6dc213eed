#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantMap>

#include "Notifier.h"

// The notifier against a notification service on a private bus, and without one.
namespace {

// A dbus-daemon of the test's own, stopped with the test.
class PrivateBus {
 public:
  PrivateBus() {
    QFile config(Dir.filePath("bus.conf"));
    config.open(QIODevice::WriteOnly);
    config.write(QStringLiteral(
                     "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                     "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">"
                     "<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                     "<auth>EXTERNAL</auth><policy context=\"default\">"
                     "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                     "<allow own=\"*\"/></policy></busconfig>")
                     .arg(Dir.path())
                     .toUtf8());
    config.close();
    Daemon.start("dbus-daemon",
                 {"--config-file=" + config.fileName(), "--print-address", "--nofork"});
    if (Daemon.waitForReadyRead(10000)) Address = QString::fromUtf8(Daemon.readLine()).trimmed();
  }
  ~PrivateBus() {
    Daemon.kill();
    Daemon.waitForFinished();
  }

  QDBusConnection Connect(const QString& name) const {
    return QDBusConnection::connectToBus(Address, name);
  }

  QTemporaryDir Dir;
  QProcess Daemon;
  QString Address;
};

struct NotifyCall {
  QString App;
  uint Replaces;
  QString Icon;
  QString Summary;
  QString Body;
  QVariantMap Hints;
  int Timeout;
};

// What a desktop's notification service offers of the interface, recording the calls.
class FakeNotifications : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  QStringList Capabilities{"body"};
  bool Hang = false;  // takes calls and never answers them
  std::vector<NotifyCall> Calls;

 public slots:
  QStringList GetCapabilities() { return Capabilities; }
  uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
              const QString& body, const QStringList&, const QVariantMap& hints, int timeout) {
    if (Hang) setDelayedReply(true);
    Calls.push_back({app, replaces, icon, summary, body, hints, timeout});
    return static_cast<uint>(Calls.size());
  }
};

class Notifications : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QStandardPaths::findExecutable("dbus-daemon").isEmpty())
      GTEST_SKIP() << "dbus-daemon is not installed";
    ASSERT_FALSE(Bus.Address.isEmpty()) << Bus.Daemon.readAllStandardError().toStdString();
  }
  // Puts the service on the bus, as a desktop session has it.
  void Offer() {
    Service = Bus.Connect("service");
    ASSERT_TRUE(Service.registerObject("/org/freedesktop/Notifications", &Fake,
                                       QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(Service.registerService("org.freedesktop.Notifications"));
  }
  void TearDown() override {
    QDBusConnection::disconnectFromBus("service");
    QDBusConnection::disconnectFromBus("client");
  }

  PrivateBus Bus;
  FakeNotifications Fake;
  QDBusConnection Service{QString()};
};

// Runs the event loop until the condition holds; false when it does not within ten seconds.
template <class Condition>
bool Eventually(Condition condition) {
  return QTest::qWaitFor(condition, 10000);
}

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

#include "NotifierTest.moc"
