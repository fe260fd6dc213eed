#include "Notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include "Alerts.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = kService;

// A firing stays on screen longer than the news that it is over.
constexpr int kAlertShownMs = 30000;
constexpr int kClearingShownMs = 10000;

QDBusMessage Call(const QString& method) {
  return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

}  // namespace

TNotification AlertNotification(const QString& host, const TAlertChange& change,
                                const QLocale& locale) {
  return {AlertSummary(host), AlertText(change, host, locale),
          change.Change == TAlertChangeKind::Fired};
}

TNotifier::TNotifier(QDBusConnection bus, QObject* parent) : QObject(parent), FBus(std::move(bus)) {
  if (!FBus.isConnected()) return;
  auto* watcher = new QDBusPendingCallWatcher(
      FBus.asyncCall(Call(QStringLiteral("GetCapabilities")), ReplyTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    const QDBusPendingReply<QStringList> reply = *w;
    if (!reply.isError()) FMarkup = reply.value().contains(QStringLiteral("body-markup"));
    w->deleteLater();
  });
}

void TNotifier::Send(const TNotification& notification) {
  if (!FBus.isConnected()) {
    emit Unsent(notification.Summary, notification.Body);
    return;
  }
  QVariantMap hints;
  hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(1));  // normal
  hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("corvane"));
  QDBusMessage call = Call(QStringLiteral("Notify"));
  call << QStringLiteral("Corvane") << 0u << QStringLiteral("corvane") << notification.Summary
       << (FMarkup ? notification.Body.toHtmlEscaped() : notification.Body) << QStringList()
       << hints << (notification.Alert ? kAlertShownMs : kClearingShownMs);
  auto* watcher = new QDBusPendingCallWatcher(FBus.asyncCall(call, ReplyTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, notification](QDBusPendingCallWatcher* w) {
            if (w->isError()) {
              emit Unsent(notification.Summary, notification.Body);
            } else {
              emit Delivered();
            }
            w->deleteLater();
          });
}

void NotifyAlerts(TAlerts& alerts, TNotifier& notifier) {
  QObject::connect(&alerts, &TAlerts::Changed, &notifier,
                   [&notifier](TPoller*, const TAlertEvent& event) {
                     if (event.Change.Change == TAlertChangeKind::Off) return;
                     notifier.Send(AlertNotification(event.Host, event.Change));
                   });
}
