#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <map>

#include "HistoryStore.h"

// Polls and checks shared by the store tests and their second program.

inline QDateTime PollTime(int minute) {
  return QDateTime(QDate(2026, 7, 12), QTime(8, 30), Qt::UTC).addSecs(60LL * minute);
}

// A poll of items values, the kinds in turn, each value telling its poll and item apart.
inline TStoredPoll Poll(const QString& host, const QDateTime& time, int items, int seed) {
  static const std::pair<TStoredKind, const char*> kinds[] = {
      {TStoredKind::Processor, "Processor"},
      {TStoredKind::Interface, "InterFaceIn"},
      {TStoredKind::Interface, "InterFaceOut"},
      {TStoredKind::Storage, "Storage"}};
  TStoredPoll poll{host, time, {}};
  for (int i = 0; i < items; ++i) {
    const auto& [kind, tag] = kinds[i % 4];
    poll.Values.push_back({kind, QString::fromLatin1(tag), i, QStringLiteral("item %1").arg(i),
                           seed * 10000.0 + i + 0.25});
  }
  return poll;
}

// SQLite's own check of the whole file: "ok" when sound.
inline QString IntegrityCheck(const QString& path) {
  QString result;
  {
    QSqlDatabase database = QSqlDatabase::addDatabase("QSQLITE", "integrity");
    database.setDatabaseName(path);
    if (database.open()) {
      QSqlQuery query(database);
      if (query.exec("PRAGMA integrity_check") && query.next()) result = query.value(0).toString();
    }
  }
  QSqlDatabase::removeDatabase("integrity");
  return result;
}

// How many numbers each poll time of the host holds.
inline std::map<int64_t, int> ValuesPerPoll(const THistoryStore& store, const QString& host) {
  std::map<int64_t, int> counts;
  store.Rows(host, {}, {}, [&](const THistoryRow& row) { ++counts[row.Time]; });
  return counts;
}
