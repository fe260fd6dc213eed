// Not a test: polls a scripted host whose processor 768 runs at 95 % under a rule of 90 % that
// fires at the first poll, so that the alert's notification goes over the session bus for the
// picture notification_shot.sh takes of it. Exits 0 once the service has taken it.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "Alerts.h"
#include "Notifier.h"
#include "ScriptedTransport.h"

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  TScriptedMib mib;
  FillHost(mib, 2);
  mib.Set("1.3.6.1.2.1.25.3.3.1.2.768", 2, "95");
  TPollers pollers(SystemClock(),
                   [&mib] { return std::make_unique<TScriptedTransport>(mib, SystemClock()); });
  TAlerts alerts(pollers);
  TAlertRules rules;
  rules.Processor = 90;
  rules.Polls = 1;
  alerts.SetRules(rules);

  TNotifier notifier(QDBusConnection::sessionBus());
  NotifyAlerts(alerts, notifier);
  QObject::connect(&notifier, &TNotifier::Delivered, [] { QCoreApplication::exit(0); });
  QObject::connect(&notifier, &TNotifier::Unsent, [] {
    std::fputs("no notification service took it\n", stderr);
    QCoreApplication::exit(1);
  });
  QTimer::singleShot(10000, [] { QCoreApplication::exit(2); });

  TPollerSettings settings;
  settings.Host = QStringLiteral("db1.example.org");
  pollers.Hold(settings).Connect();
  return QCoreApplication::exec();
}
