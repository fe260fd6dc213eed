#include "AlertHistory.h"

#include "HistoryWriter.h"

TStoredEvent StoredEvent(const TAlertEvent& event, const QLocale& locale) {
  const TAlert& alert = event.Change.Alert;
  return {event.Host,
          event.Time,
          AlertKindLabel(alert.Kind),
          alert.Index,
          alert.Name,
          AlertText(event.Change, event.Host, locale),
          event.Change.Change == TAlertChangeKind::Fired};
}

void KeepAlertEvents(TAlerts& alerts, THistoryWriter& writer) {
  QObject::connect(
      &alerts, &TAlerts::Changed, &writer,
      [&writer](TPoller*, const TAlertEvent& event) { writer.StoreEvent(StoredEvent(event)); });
}
