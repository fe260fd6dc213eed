#pragma once

#include <QLocale>
#include <QString>
#include <utility>
#include <vector>

#include "MonitorTypes.h"
#include "Poller.h"

// What the window says of a poller's numbers and states: the texts of the value labels, the log
// and the status bar.

// "no answer", "no value", "agent restarted", "new baseline", "measuring", "counters reset".
QString MissingText(TMissing missing);

// The value labels under an item's gauge (object name, text): an interface's utilisation and
// rates, a storage area's size and use; none for a processor.
std::vector<std::pair<QString, QString>> ValueLabels(const TRowUpdate& update,
                                                     const QLocale& locale);

// A log row's value: a processor's load as a whole number, the rest in the log's general form.
QString LogValueText(const TLogLine& line, const QLocale& locale);

// The status bar's text for a poller of host (as typed), whose requests go to target.
QString StatusText(const TPollerStatus& status, const QString& host, const QString& target,
                   const QLocale& locale);
