#pragma once

#include <QDateTime>
#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

// The history of every polled value, kept in one SQLite file.

enum class TStoredKind { Processor = 0, Interface = 1, Storage = 2 };

// One value of one poll: the item it belongs to, named as in the activity log, and the number,
// or nothing when it did not come (kept as a gap).
struct TStoredValue {
  TStoredKind Kind = TStoredKind::Processor;
  QString Tag;  // the log's kind tag: "Processor", "InterFaceIn", "InterFaceOut", "Storage"
  int32_t Index = 0;
  QString Item;  // the log's item field
  std::optional<double> Value;
};

// Everything one poll of one host read.
struct TStoredPoll {
  QString Host;    // as typed in the Host box
  QDateTime Time;  // when the poll read its values
  std::vector<TStoredValue> Values;
};

// A firing or clearing of an alert on a host.
struct TStoredEvent {
  QString Host;    // as typed in the Host box
  QDateTime Time;  // the poll it came with
  QString Kind;    // "processor", "interface", "interface_down", "storage" or "no_answer"
  int32_t Index = 0;
  QString Item;       // the item's name; empty for the host itself
  QString Text;       // what the notification said
  bool Fired = true;  // false: it ended

  bool operator==(const TStoredEvent&) const = default;
};

// One plotted quantity of one item of one host.
struct TSeriesKey {
  QString Host;
  TStoredKind Kind = TStoredKind::Processor;
  QString Tag;
  int32_t Index = 0;
  QString Item;

  bool operator==(const TSeriesKey&) const = default;
};

size_t qHash(const TSeriesKey& key, size_t seed = 0);

// A stored point: seconds since the epoch (UTC) and the value, NaN for a gap.
struct TStoredPoint {
  int64_t Time = 0;
  double Value = 0;
};

// The values of one stretch of time; all NaN when it holds no number.
struct TBucket {
  double Minimum;
  double Average;
  double Maximum;
};

// A stored value as the activity log would have written it.
struct THistoryRow {
  int64_t Time = 0;  // seconds since the epoch
  QString Tag;
  QString Item;
  double Value = 0;
};

class EHistoryStore : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The store file in the user's application data folder.
QString DefaultHistoryPath();

// The range from <= time < to cut into count equal stretches, each reduced to the minimum,
// average and maximum of the numbers of points in it.
std::vector<TBucket> Buckets(const std::vector<TStoredPoint>& points, int64_t from, int64_t to,
                             int count);

// One connection to the store, used on the thread that opened it. Every failure raises
// EHistoryStore with SQLite's reason.
class THistoryStore {
 public:
  enum class TMode { Write, Read };

  THistoryStore();
  ~THistoryStore();
  THistoryStore(const THistoryStore&) = delete;
  THistoryStore& operator=(const THistoryStore&) = delete;

  // Opens the file; for writing it is created (with its folder) when missing, and the open
  // fails unless the file takes writes. Waits up to busyTimeoutMs for another connection's lock
  // (readers rarely meet one; a reader on the window's thread passes a short time).
  void Open(const QString& path, TMode mode = TMode::Write, int busyTimeoutMs = 5000);
  void Close() noexcept;
  bool IsOpen() const { return FDatabase.isOpen(); }
  QString Path() const { return FPath; }

  // Stores all values of the poll in one transaction; a second poll in the same second
  // replaces the first one's values.
  void Write(const TStoredPoll& poll);

  // The points of a series with from <= time < to, oldest first.
  std::vector<TStoredPoint> Points(const TSeriesKey& key, int64_t from, int64_t to) const;
  // The same for every series of the host that has points then, in one pass.
  QHash<TSeriesKey, std::vector<TStoredPoint>> HostPoints(const QString& host, int64_t from,
                                                          int64_t to) const;
  // Gives visit the numbers stored for the host with since <= time < until, oldest first, each
  // poll's in the log's order.
  void Rows(const QString& host, std::optional<int64_t> since, std::optional<int64_t> until,
            const std::function<void(const THistoryRow&)>& visit) const;
  // Stores one alert event.
  void WriteEvent(const TStoredEvent& event);
  // The alert events of the host with from <= time < to (seconds since the epoch), oldest
  // first; none in a file of the version before they were kept.
  std::vector<TStoredEvent> Events(const QString& host, int64_t from, int64_t to) const;
  // Whether anything at all is stored for the host.
  bool HasHost(const QString& host) const;

  // Removes the values older than days before now (0: all of them) and gives the freed
  // pages back to the file system.
  void RemoveOlderThan(int days, const QDateTime& now);

 private:
  int64_t SeriesId(const TSeriesKey& key);
  // Moves the values of "recent" over to "value".
  void MoveRecent();
  void CreateSchema();

  QString FConnection;
  QString FPath;
  QSqlDatabase FDatabase;
  QHash<TSeriesKey, int64_t> FSeriesIds;
  int64_t FDataVersion = -1;  // what the cache was built under
  bool FHasEvents = false;    // the file has the table of alert events
};
