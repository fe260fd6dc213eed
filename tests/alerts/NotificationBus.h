#pragma once

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusContext>
#include <QFile>
#include <QObject>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantMap>
#include <ostream>
#include <vector>

// A private session bus and a notification service on it, for the notifier's tests.

// Texts in failure messages as text.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

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
