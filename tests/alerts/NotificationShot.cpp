// Not a test: sends one alert's notification over the session bus, for the picture that
// notification_shot.sh takes of it. Exits 0 once the service has taken it.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QTimer>
#include <cstdio>

#include "Notifier.h"

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  TNotifier notifier(QDBusConnection::sessionBus());
  QObject::connect(&notifier, &TNotifier::Delivered, [] { QCoreApplication::exit(0); });
  QObject::connect(&notifier, &TNotifier::Unsent, [] {
    std::fputs("no notification service took it\n", stderr);
    QCoreApplication::exit(1);
  });
  QTimer::singleShot(10000, [] { QCoreApplication::exit(2); });

  TAlert alert;
  alert.Kind = TAlertKind::ProcessorLoad;
  alert.Index = 768;
  alert.Name = QStringLiteral("768");
  alert.Percent = 95;
  alert.Polls = 3;
  // Once the loop runs, so that an answer given at once can end it.
  QTimer::singleShot(0, [&] {
    notifier.Send(AlertNotification(QStringLiteral("db1.example.org"),
                                    {TAlertChangeKind::Fired, alert},
                                    QLocale(QLocale::English, QLocale::UnitedKingdom)));
  });
  return QCoreApplication::exec();
}
