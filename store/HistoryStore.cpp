#include "HistoryStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <iterator>
#include <limits>

namespace {

// Version 2 added the alert events; a file of version 1 gets their table when written.
constexpr int kSchemaVersion = 2;
constexpr int kEventsVersion = 2;
constexpr int64_t kSecondsPerDay = 24 * 60 * 60;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Series are few and named once; values are many, so a value row holds only the series'
// number, whole seconds and the number (NULL for a gap), with no row id of its own.
// Values are kept in series order, so that a month of one series is read from a few pages.
// Writing a poll there would touch one page per item, so polls go first to "recent", kept
// in time order where a poll is one append, and move over in bulk once an hour.
const char* const kSchema[] = {
    "CREATE TABLE series (id INTEGER PRIMARY KEY, host TEXT NOT NULL, kind INTEGER NOT NULL, "
    "tag TEXT NOT NULL, item_index INTEGER NOT NULL, item TEXT NOT NULL, "
    "UNIQUE (host, kind, tag, item_index, item))",
    "CREATE TABLE value (series INTEGER NOT NULL, time INTEGER NOT NULL, value REAL, "
    "PRIMARY KEY (series, time)) WITHOUT ROWID",
    "CREATE TABLE recent (time INTEGER NOT NULL, series INTEGER NOT NULL, value REAL, "
    "PRIMARY KEY (time, series)) WITHOUT ROWID",
};

// Few rows, read by host and time to mark the charts.
const char* const kEventSchema[] = {
    "CREATE TABLE IF NOT EXISTS event (host TEXT NOT NULL, time INTEGER NOT NULL, kind TEXT NOT "
    "NULL, "
    "item_index INTEGER NOT NULL, item TEXT NOT NULL, text TEXT NOT NULL, "
    "fired INTEGER NOT NULL)",
    "CREATE INDEX IF NOT EXISTS event_host_time ON event (host, time)",
};

// How much time "recent" spans before it moves over.
constexpr int64_t kRecentSeconds = 60 * 60;

// Both tables hold values; a read asks each.
const char* const kValueTables[] = {"value", "recent"};

const char* const kSeriesWhere =
    "host = :host AND kind = :kind AND tag = :tag AND item_index = :item_index AND item = :item";

QString Reason(const QSqlError& error) {
  return error.databaseText().isEmpty() ? error.text() : error.databaseText();
}

[[noreturn]] void Fail(const QSqlError& error) {
  throw EHistoryStore(Reason(error).toStdString());
}

QSqlQuery Prepared(const QSqlDatabase& database, const QString& sql) {
  QSqlQuery query(database);
  query.setForwardOnly(true);
  if (!query.prepare(sql)) Fail(query.lastError());
  return query;
}

void Run(QSqlQuery& query) {
  if (!query.exec()) Fail(query.lastError());
}

// Runs a statement through all its rows; returns the first column of the first one.
QVariant Exec(const QSqlDatabase& database, const QString& sql) {
  QSqlQuery query(database);
  query.setForwardOnly(true);
  if (!query.exec(sql)) Fail(query.lastError());
  QVariant first;
  if (query.next()) first = query.value(0);
  while (query.next()) {
  }
  return first;
}

void BindSeries(QSqlQuery& query, const TSeriesKey& key) {
  query.bindValue(QStringLiteral(":host"), key.Host);
  query.bindValue(QStringLiteral(":kind"), static_cast<int>(key.Kind));
  query.bindValue(QStringLiteral(":tag"), key.Tag);
  query.bindValue(QStringLiteral(":item_index"), key.Index);
  query.bindValue(QStringLiteral(":item"), key.Item);
}

double NumberOrNaN(const QVariant& value) {
  return value.isNull() ? kNaN : value.toDouble();
}

// Runs body inside BEGIN IMMEDIATE ... COMMIT, rolling back when it raises.
template <typename Body>
void InTransaction(const QSqlDatabase& database, Body body) {
  Exec(database, QStringLiteral("BEGIN IMMEDIATE"));
  try {
    body();
    Exec(database, QStringLiteral("COMMIT"));
  } catch (...) {
    // SQLite has already rolled back after some errors; then this one fails, harmlessly.
    QSqlQuery(database).exec(QStringLiteral("ROLLBACK"));
    throw;
  }
}

}  // namespace

size_t qHash(const TSeriesKey& key, size_t seed) {
  return qHashMulti(seed, key.Host, static_cast<int>(key.Kind), key.Tag, key.Index, key.Item);
}

QString DefaultHistoryPath() {
  return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
      .filePath(QStringLiteral("history.sqlite"));
}

THistoryStore::THistoryStore() {
  static std::atomic<int> count{0};
  FConnection = QStringLiteral("history-%1").arg(++count);
}

THistoryStore::~THistoryStore() {
  Close();
}

void THistoryStore::Open(const QString& path, TMode mode, int busyTimeoutMs) {
  Close();
  FPath = path;
  try {
    if (mode == TMode::Read && !QFileInfo::exists(path)) throw EHistoryStore("no such file");
    if (mode == TMode::Write && !QDir().mkpath(QFileInfo(path).absolutePath()))
      throw EHistoryStore("cannot create its folder");
    FDatabase = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FConnection);
    if (!FDatabase.isValid()) throw EHistoryStore("Qt's SQLite driver is not installed");
    FDatabase.setDatabaseName(path);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs);
    if (mode == TMode::Read) options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    FDatabase.setConnectOptions(options);
    if (!FDatabase.open()) Fail(FDatabase.lastError());
    if (mode == TMode::Write) {
      CreateSchema();
      FHasEvents = true;
    } else {
      const int version = Exec(FDatabase, QStringLiteral("PRAGMA user_version")).toInt();
      if (version < 1 || version > kSchemaVersion)
        throw EHistoryStore("not a history store of this version");
      FHasEvents = version >= kEventsVersion;
    }
  } catch (...) {
    Close();
    throw;
  }
}

void THistoryStore::CreateSchema() {
  // Only takes effect on a new file, before its first table.
  Exec(FDatabase, QStringLiteral("PRAGMA auto_vacuum = INCREMENTAL"));
  const QString journal = Exec(FDatabase, QStringLiteral("PRAGMA journal_mode = WAL")).toString();
  if (journal.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
    throw EHistoryStore("cannot use a write-ahead log");
  // With the log, NORMAL loses no committed poll when the program dies, only at power loss.
  Exec(FDatabase, QStringLiteral("PRAGMA synchronous = NORMAL"));
  InTransaction(FDatabase, [&] {
    const int version = Exec(FDatabase, QStringLiteral("PRAGMA user_version")).toInt();
    if (version < 0 || version > kSchemaVersion)
      throw EHistoryStore("made by another version of Corvane");
    if (version == 0)
      for (const char* statement : kSchema) Exec(FDatabase, QLatin1String(statement));
    if (version < kEventsVersion)
      for (const char* statement : kEventSchema) Exec(FDatabase, QLatin1String(statement));
    // Always written, so that a file which takes no writes fails here and not at a poll.
    Exec(FDatabase, QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion));
  });
}

void THistoryStore::Close() noexcept {
  FSeriesIds.clear();
  FHasEvents = false;
  FDataVersion = -1;
  if (!FDatabase.isValid()) return;
  FDatabase.close();
  FDatabase = QSqlDatabase();
  QSqlDatabase::removeDatabase(FConnection);
}

int64_t THistoryStore::SeriesId(const TSeriesKey& key) {
  if (const auto found = FSeriesIds.constFind(key); found != FSeriesIds.constEnd())
    return found.value();
  QSqlQuery insert = Prepared(
      FDatabase, QStringLiteral("INSERT OR IGNORE INTO series (host, kind, tag, item_index, item) "
                                "VALUES (:host, :kind, :tag, :item_index, :item)"));
  BindSeries(insert, key);
  Run(insert);
  QSqlQuery select =
      Prepared(FDatabase, QStringLiteral("SELECT id FROM series WHERE %1").arg(kSeriesWhere));
  BindSeries(select, key);
  Run(select);
  if (!select.next()) throw EHistoryStore("a series vanished while it was written");
  const int64_t id = select.value(0).toLongLong();
  FSeriesIds.insert(key, id);
  return id;
}

void THistoryStore::Write(const TStoredPoll& poll) {
  if (!IsOpen()) throw EHistoryStore("the store is not open");
  if (!poll.Time.isValid()) throw EHistoryStore("a poll without a time");
  const qint64 time = poll.Time.toSecsSinceEpoch();
  InTransaction(FDatabase, [&] {
    // Another process may have removed series since the ids were cached.
    const int64_t dataVersion = Exec(FDatabase, QStringLiteral("PRAGMA data_version")).toLongLong();
    if (dataVersion != FDataVersion) FSeriesIds.clear();
    FDataVersion = dataVersion;
    QSqlQuery insert =
        Prepared(FDatabase, QStringLiteral("INSERT OR REPLACE INTO recent (series, time, value) "
                                           "VALUES (?, ?, ?)"));
    const QVariant gap(QMetaType::fromType<double>());
    for (const TStoredValue& value : poll.Values) {
      insert.bindValue(0, static_cast<qint64>(SeriesId(
                              {poll.Host, value.Kind, value.Tag, value.Index, value.Item})));
      insert.bindValue(1, time);
      // A value that is no number cannot be drawn or summed: a gap, like a missing one.
      insert.bindValue(2,
                       value.Value && std::isfinite(*value.Value) ? QVariant(*value.Value) : gap);
      Run(insert);
    }
  });
  const QVariant span = Exec(FDatabase, QStringLiteral("SELECT max(time) - min(time) FROM recent"));
  if (span.toLongLong() >= kRecentSeconds) MoveRecent();
}

void THistoryStore::MoveRecent() {
  InTransaction(FDatabase, [&] {
    Exec(FDatabase, QStringLiteral("INSERT OR REPLACE INTO value (series, time, value) "
                                   "SELECT series, time, value FROM recent ORDER BY series, time"));
    Exec(FDatabase, QStringLiteral("DELETE FROM recent"));
  });
}

namespace {

// Joins a series' moved values, in time order, with the recent ones after them. Recent values
// are usually the newer ones, but a clock set back makes them older; and a value written again
// at the same second (a reading that stands in a poll's place) lies in both tables until the
// next move, when the recent one replaces the other: it wins here already.
void MergeRecent(std::vector<TStoredPoint>& points, std::ptrdiff_t recentFrom) {
  const auto earlier = [](const TStoredPoint& a, const TStoredPoint& b) { return a.Time < b.Time; };
  std::inplace_merge(points.begin(), points.begin() + recentFrom, points.end(), earlier);
  // The merge is stable: of two at one second, the recent one comes last.
  const auto last =
      std::unique(points.rbegin(), points.rend(),
                  [](const TStoredPoint& a, const TStoredPoint& b) { return a.Time == b.Time; });
  points.erase(points.begin(), last.base());
}

}  // namespace

std::vector<TStoredPoint> THistoryStore::Points(const TSeriesKey& key, int64_t from,
                                                int64_t to) const {
  std::vector<TStoredPoint> points;
  std::ptrdiff_t recentFrom = 0;
  for (const char* table : kValueTables) {
    QSqlQuery query =
        Prepared(FDatabase, QStringLiteral("SELECT time, value FROM %1 WHERE series = "
                                           "(SELECT id FROM series WHERE %2) AND time >= :from AND "
                                           "time < :to ORDER BY time")
                                .arg(QLatin1String(table), QLatin1String(kSeriesWhere)));
    BindSeries(query, key);
    query.bindValue(QStringLiteral(":from"), static_cast<qint64>(from));
    query.bindValue(QStringLiteral(":to"), static_cast<qint64>(to));
    Run(query);
    recentFrom = static_cast<std::ptrdiff_t>(points.size());
    while (query.next())
      points.push_back({query.value(0).toLongLong(), NumberOrNaN(query.value(1))});
  }
  MergeRecent(points, recentFrom);
  return points;
}

QHash<TSeriesKey, std::vector<TStoredPoint>> THistoryStore::HostPoints(const QString& host,
                                                                       int64_t from,
                                                                       int64_t to) const {
  QHash<TSeriesKey, std::vector<TStoredPoint>> series;
  QHash<TSeriesKey, std::ptrdiff_t> recentFrom;
  for (const char* table : kValueTables) {
    QSqlQuery query = Prepared(
        FDatabase, QStringLiteral("SELECT s.kind, s.tag, s.item_index, s.item, v.time, v.value "
                                  "FROM series s JOIN %1 v ON v.series = s.id WHERE s.host = :host "
                                  "AND v.time >= :from AND v.time < :to ORDER BY s.id, v.time")
                       .arg(QLatin1String(table)));
    query.bindValue(QStringLiteral(":host"), host);
    query.bindValue(QStringLiteral(":from"), static_cast<qint64>(from));
    query.bindValue(QStringLiteral(":to"), static_cast<qint64>(to));
    Run(query);
    const bool recent = table == kValueTables[1];
    TSeriesKey key{host, {}, {}, 0, {}};
    std::vector<TStoredPoint>* points = nullptr;
    while (query.next()) {
      const TSeriesKey row{host, static_cast<TStoredKind>(query.value(0).toInt()),
                           query.value(1).toString(), query.value(2).toInt(),
                           query.value(3).toString()};
      if (!points || !(row == key)) {
        key = row;
        points = &series[key];
        if (recent) recentFrom.insert(key, static_cast<std::ptrdiff_t>(points->size()));
      }
      points->push_back({query.value(4).toLongLong(), NumberOrNaN(query.value(5))});
    }
  }
  for (auto it = recentFrom.cbegin(); it != recentFrom.cend(); ++it)
    MergeRecent(series[it.key()], it.value());
  return series;
}

std::vector<TBucket> Buckets(const std::vector<TStoredPoint>& points, int64_t from, int64_t to,
                             int count) {
  std::vector<TBucket> buckets(std::max(count, 0), TBucket{kNaN, kNaN, kNaN});
  if (count <= 0 || to <= from) return buckets;
  std::vector<int> numbers(count);
  for (const TStoredPoint& point : points) {
    if (point.Time < from || point.Time >= to || std::isnan(point.Value)) continue;
    const auto i = static_cast<size_t>((point.Time - from) * count / (to - from));
    TBucket& bucket = buckets[i];
    if (numbers[i]++ == 0) {
      bucket = {point.Value, point.Value, point.Value};
    } else {
      bucket.Minimum = std::min(bucket.Minimum, point.Value);
      bucket.Maximum = std::max(bucket.Maximum, point.Value);
      bucket.Average += point.Value;  // the sum until the end
    }
  }
  for (size_t i = 0; i < buckets.size(); ++i)
    if (numbers[i] > 0) buckets[i].Average /= numbers[i];
  return buckets;
}

void THistoryStore::Rows(const QString& host, std::optional<int64_t> since,
                         std::optional<int64_t> until,
                         const std::function<void(const THistoryRow&)>& visit) const {
  QStringList parts;
  for (const char* table : kValueTables) {
    parts << QStringLiteral(
                 "SELECT v.time, s.tag, s.item, v.value, s.kind, s.item_index "
                 "FROM series s JOIN %1 v ON v.series = s.id WHERE s.host = :host "
                 "AND v.value IS NOT NULL AND v.time >= :since AND v.time < :until")
                 .arg(QLatin1String(table));
  }
  // By time, then in the log's order: processors, interfaces (in before out), storage.
  QSqlQuery query = Prepared(FDatabase, parts.join(QStringLiteral(" UNION ALL ")) +
                                            QStringLiteral(" ORDER BY 1, 5, 6, 2, 3"));
  query.bindValue(QStringLiteral(":host"), host);
  query.bindValue(QStringLiteral(":since"),
                  static_cast<qint64>(since.value_or(std::numeric_limits<int64_t>::min())));
  query.bindValue(QStringLiteral(":until"),
                  static_cast<qint64>(until.value_or(std::numeric_limits<int64_t>::max())));
  Run(query);
  while (query.next())
    visit({query.value(0).toLongLong(), query.value(1).toString(), query.value(2).toString(),
           query.value(3).toDouble()});
}

void THistoryStore::WriteEvent(const TStoredEvent& event) {
  if (!IsOpen()) throw EHistoryStore("the store is not open");
  if (!event.Time.isValid()) throw EHistoryStore("an event without a time");
  QSqlQuery insert =
      Prepared(FDatabase, QStringLiteral("INSERT INTO event (host, time, kind, item_index, item, "
                                         "text, fired) VALUES (?, ?, ?, ?, ?, ?, ?)"));
  // A null text would go in as NULL.
  const auto text = [](const QString& value) { return value.isNull() ? QLatin1String("") : value; };
  const QVariant values[] = {text(event.Host),   static_cast<qint64>(event.Time.toSecsSinceEpoch()),
                             text(event.Kind),   event.Index,
                             text(event.Item),   text(event.Text),
                             event.Fired ? 1 : 0};
  for (int i = 0; i < static_cast<int>(std::size(values)); ++i) insert.bindValue(i, values[i]);
  Run(insert);
}

std::vector<TStoredEvent> THistoryStore::Events(const QString& host, int64_t from,
                                                int64_t to) const {
  std::vector<TStoredEvent> events;
  if (!FHasEvents) return events;
  QSqlQuery query = Prepared(
      FDatabase, QStringLiteral("SELECT time, kind, item_index, item, text, fired FROM event "
                                "WHERE host = ? AND time >= ? AND time < ? ORDER BY time, rowid"));
  query.bindValue(0, host);
  query.bindValue(1, static_cast<qint64>(from));
  query.bindValue(2, static_cast<qint64>(to));
  Run(query);
  while (query.next())
    events.push_back({host, QDateTime::fromSecsSinceEpoch(query.value(0).toLongLong(), Qt::UTC),
                      query.value(1).toString(), query.value(2).toInt(), query.value(3).toString(),
                      query.value(4).toString(), query.value(5).toInt() != 0});
  return events;
}

bool THistoryStore::HasHost(const QString& host) const {
  QSqlQuery query = Prepared(
      FDatabase, QStringLiteral("SELECT 1 FROM series s WHERE s.host = :host AND "
                                "(EXISTS (SELECT 1 FROM value v WHERE v.series = s.id) OR "
                                "EXISTS (SELECT 1 FROM recent r WHERE r.series = s.id)) LIMIT 1"));
  query.bindValue(QStringLiteral(":host"), host);
  Run(query);
  return query.next();
}

void THistoryStore::RemoveOlderThan(int days, const QDateTime& now) {
  if (!IsOpen()) throw EHistoryStore("the store is not open");
  InTransaction(FDatabase, [&] {
    if (days <= 0) {
      for (const char* table : {"value", "recent", "series", "event"})
        Exec(FDatabase, QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)));
      return;
    }
    const qint64 cutoff = now.toSecsSinceEpoch() - days * kSecondsPerDay;
    // Through the keys: series by series in "value", from the start in "recent".
    for (const char* sql :
         {"DELETE FROM value WHERE series IN (SELECT id FROM series) AND time < ?",
          "DELETE FROM recent WHERE time < ?", "DELETE FROM event WHERE time < ?"}) {
      QSqlQuery remove = Prepared(FDatabase, QLatin1String(sql));
      remove.bindValue(0, cutoff);
      Run(remove);
    }
    Exec(FDatabase,
         QStringLiteral("DELETE FROM series WHERE id NOT IN (SELECT series FROM recent) "
                        "AND NOT EXISTS (SELECT 1 FROM value WHERE value.series = series.id)"));
  });
  FSeriesIds.clear();
  // Qt's driver takes one step of a statement without result columns, and each step of this
  // pragma gives back one page; so it runs once per free page.
  InTransaction(FDatabase, [&] {
    QSqlQuery vacuum = Prepared(FDatabase, QStringLiteral("PRAGMA incremental_vacuum"));
    for (int pages = Exec(FDatabase, QStringLiteral("PRAGMA freelist_count")).toInt(); pages > 0;
         --pages)
      Run(vacuum);
  });
  // The file itself shrinks only when the log is copied back into it.
  Exec(FDatabase, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}
