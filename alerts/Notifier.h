#pragma once

#include <QDBusConnection>
#include <QLocale>
#include <QObject>
#include <QString>

#include "AlertRules.h"

class TAlerts;

// One desktop notification.
struct TNotification {
  QString Summary;
  QString Body;
  bool Alert = true;  // a firing; false: a clearing
};

// The notification of one firing or clearing on the host.
TNotification AlertNotification(const QString& host, const TAlertChange& change,
                                const QLocale& locale = QLocale::system());

// Sends notifications to the desktop's notification service (org.freedesktop.Notifications)
// on the given bus. Nothing here ever waits: each notification is one asynchronous call, and a
// missing, failing or silent service only makes that notification come back through Unsent.
class TNotifier : public QObject {
  Q_OBJECT

 public:
  // The bus may be unconnected: every notification then comes back through Unsent at once.
  explicit TNotifier(QDBusConnection bus, QObject* parent = nullptr);

  // Hands the notification over and returns at once.
  void Send(const TNotification& notification);

  // Whether bodies go out escaped, for a service that reads them as markup.
  bool BodyMarkup() const { return FMarkup; }

  // How long the service may take to answer before its notification counts as unsent.
  int ReplyTimeoutMs = 3000;

 signals:
  // No service took it (no bus, no service, an error, or no answer in time): the window shows
  // it as a tray message where there is a tray, else leaves it to the status bar.
  void Unsent(const QString& summary, const QString& body);
  // The service took it.
  void Delivered();

 private:
  QDBusConnection FBus;
  // Whether the service reads the body as markup; assumed until it says otherwise, so an
  // agent's text is never taken for markup.
  bool FMarkup = true;
};

// Sends every firing and clearing on every host of alerts through the notifier; alerts whose
// rule the user has just switched off are not told.
void NotifyAlerts(TAlerts& alerts, TNotifier& notifier);
