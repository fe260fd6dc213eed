#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QLocale>
#include <QStringList>

#include "HistoryStore.h"

// A stored row as the activity log writes it: its row text ended by CR LF, in the local 8-bit
// encoding.
QByteArray HistoryCsvLine(const THistoryRow& row, const QLocale& locale);

// Whether the program's arguments ask for the history rather than the window.
bool IsHistoryCommand(const QStringList& arguments);

// `corvane --history HOST [--since YYYY-MM-DDTHH:MM] [--until YYYY-MM-DDTHH:MM]` (times local,
// since included, until not): writes the host's stored rows from the store at storePath to out,
// oldest first. Returns 0 when there were rows; 1 with a line on err when there were none or
// the store cannot be read; 2 with a usage line for arguments it does not understand.
int RunHistoryCommand(const QStringList& arguments, const QString& storePath, QIODevice& out,
                      QIODevice& err);
