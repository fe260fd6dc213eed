#pragma once

#include "Alerts.h"
#include "HistoryStore.h"

class THistoryWriter;

// An alert event as the history store keeps it, its text in the user's locale.
TStoredEvent StoredEvent(const TAlertEvent& event, const QLocale& locale = QLocale::system());

// Keeps every firing and clearing of alerts in the writer's store, from now on.
void KeepAlertEvents(TAlerts& alerts, THistoryWriter& writer);
