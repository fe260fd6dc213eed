#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>

#include "ActivityLog.h"
#include "Computations.h"
#include "HistoryCommand.h"
#include "HistoryStore.h"
#include "StoreTestData.h"

namespace {

const TSeriesKey kLoad{"pewter", TStoredKind::Processor, "Processor", 768, "768"};

TStoredValue Load(std::optional<double> value) {
  return {kLoad.Kind, kLoad.Tag, kLoad.Index, kLoad.Item, value};
}

// "seconds after 08:30 UTC:value", "gap" for NaN, so that whole series compare at once.
std::vector<std::string> Texts(const std::vector<TStoredPoint>& points) {
  std::vector<std::string> texts;
  for (const TStoredPoint& point : points)
    texts.push_back(std::to_string(point.Time - PollTime(0).toSecsSinceEpoch()) + ":" +
                    (std::isnan(point.Value) ? "gap" : QString::number(point.Value).toStdString()));
  return texts;
}

std::vector<std::string> Texts(const std::vector<TBucket>& buckets) {
  std::vector<std::string> texts;
  for (const TBucket& bucket : buckets) {
    texts.push_back(std::isnan(bucket.Average) ? "gap"
                                               : QStringLiteral("%1/%2/%3")
                                                     .arg(bucket.Minimum)
                                                     .arg(bucket.Average, 0, 'g', 4)
                                                     .arg(bucket.Maximum)
                                                     .toStdString());
  }
  return texts;
}

int64_t Seconds(int minute, int second = 0) {
  return PollTime(minute).toSecsSinceEpoch() + second;
}

class HistoryStoreTest : public ::testing::Test {
 protected:
  QString Path() const { return Dir.filePath("history.sqlite"); }
  void Write(const QDateTime& time, std::optional<double> value, const QString& host = "pewter") {
    Store.Write({host, time, {Load(value), {TStoredKind::Interface, "InterFaceIn", 3, "eth0", 1}}});
  }

  QTemporaryDir Dir;
  THistoryStore Store;
};

TEST_F(HistoryStoreTest, PointsStandAtTheirPollTimesWithGapsKept) {
  Store.Open(Path());
  Write(PollTime(-120), 10);
  Write(PollTime(0), 12);  // two hours apart: both move over to where old values are kept
  Write(PollTime(0).addSecs(30), std::nullopt);  // an F5 half a minute later, unanswered
  Write(PollTime(1), 14);
  Write(PollTime(1), 15);  // the same second again: the later poll counts
  Write(PollTime(2), 1);
  Write(PollTime(2), std::numeric_limits<double>::infinity());  // no number: a gap too
  Write(PollTime(1), 99, "other");
  Write(PollTime(-30), 20);  // the clock was set back

  EXPECT_EQ(Texts(Store.Points(kLoad, Seconds(0), Seconds(2))),
            (std::vector<std::string>{"0:12", "30:gap", "60:15"}));
  EXPECT_EQ(Texts(Store.Points(kLoad, Seconds(0, 1), Seconds(3))),
            (std::vector<std::string>{"30:gap", "60:15", "120:gap"}));
  EXPECT_EQ(Texts(Store.Points(kLoad, Seconds(-120), Seconds(1))),
            (std::vector<std::string>{"-7200:10", "-1800:20", "0:12", "30:gap"}));
  EXPECT_TRUE(Store
                  .Points({"pewter", TStoredKind::Processor, "Processor", 768, "769"}, Seconds(0),
                          Seconds(3))
                  .empty());
}

// Minutes 0 to 9 hold 1, 3, gap, gap, 5, 7, 2, 4; minutes 8 and 9 hold nothing.
struct TBucketCase {
  int Count;
  std::vector<std::string> Expected;
};

class HistoryBuckets : public HistoryStoreTest,
                       public ::testing::WithParamInterface<TBucketCase> {};

TEST_P(HistoryBuckets, GiveMinimumAverageMaximumPerStretch) {
  Store.Open(Path());
  const std::optional<double> values[] = {1, 3, std::nullopt, std::nullopt, 5, 7, 2, 4};
  for (int minute = 0; minute < 8; ++minute) Write(PollTime(minute), values[minute]);
  EXPECT_EQ(Texts(Buckets(Store.Points(kLoad, Seconds(0), Seconds(10)), Seconds(0), Seconds(10),
                          GetParam().Count)),
            GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Stretches, HistoryBuckets,
    ::testing::Values(TBucketCase{5, {"1/2/3", "gap", "5/6/7", "2/3/4", "gap"}},
                      TBucketCase{3, {"1/2/3", "2/4.667/7", "4/4/4"}},
                      TBucketCase{1, {"1/3.667/7"}},
                      TBucketCase{20, {"1/1/1", "gap",   "3/3/3", "gap",   "gap", "gap",   "gap",
                                       "gap",   "5/5/5", "gap",   "7/7/7", "gap", "2/2/2", "gap",
                                       "4/4/4", "gap",   "gap",   "gap",   "gap", "gap"}},
                      TBucketCase{0, {}}));

// Another connection (another Corvane) may remove series and give their numbers to new ones;
// a writer must not go on writing under the numbers it knew.
TEST_F(HistoryStoreTest, SeriesRemovedByAnotherConnectionAreNotWrittenUnderOldNumbers) {
  Store.Open(Path());
  THistoryStore other;
  other.Open(Path());
  Store.Write(Poll("a", PollTime(0), 4, 0));
  other.RemoveOlderThan(0, PollTime(0));
  other.Write(Poll("b", PollTime(1), 4, 1));
  Store.Write(Poll("a", PollTime(2), 4, 2));

  std::vector<std::string> items;
  other.Rows("b", {}, {}, [&](const THistoryRow& row) {
    items.push_back(QStringLiteral("%1 %2").arg(row.Item).arg(row.Value, 0, 'f', 2).toStdString());
  });
  EXPECT_EQ(items, (std::vector<std::string>{"item 0 10000.25", "item 1 10001.25",
                                             "item 2 10002.25", "item 3 10003.25"}));
  EXPECT_EQ(ValuesPerPoll(Store, "a"), (std::map<int64_t, int>{{Seconds(2), 4}}));
}

struct TRetentionCase {
  int Days;
  int KeptPolls;
};

class HistoryRetention : public HistoryStoreTest,
                         public ::testing::WithParamInterface<TRetentionCase> {};

// Polls every 6 hours for 10 days; "now" is the last one.
TEST_P(HistoryRetention, RemovesOlderValuesAndShrinksTheFile) {
  Store.Open(Path());
  const int polls = 41;
  for (int poll = 0; poll < polls; ++poll)
    Store.Write(Poll("pewter", PollTime(poll * 360), 1000, poll));
  Store.RemoveOlderThan(1, PollTime(0).addYears(-1));  // removes nothing, settles the file
  const qint64 fullSize = QFileInfo(Path()).size();

  Store.RemoveOlderThan(GetParam().Days, PollTime((polls - 1) * 360));
  const std::map<int64_t, int> kept = ValuesPerPoll(Store, "pewter");
  ASSERT_EQ(static_cast<int>(kept.size()), GetParam().KeptPolls);
  if (!kept.empty()) {
    EXPECT_EQ(kept.begin()->first, Seconds((polls - GetParam().KeptPolls) * 360));
  }
  EXPECT_EQ(Store.HasHost("pewter"), GetParam().KeptPolls > 0);
  EXPECT_LT(QFileInfo(Path()).size(), fullSize * std::max(GetParam().KeptPolls, 1) * 2 / polls);
  EXPECT_EQ(QFileInfo(Path() + "-wal").size(), 0);
}

INSTANTIATE_TEST_SUITE_P(Days, HistoryRetention,
                         ::testing::Values(TRetentionCase{2, 9},  // the poll 48 h ago is kept
                                           TRetentionCase{0, 0}, TRetentionCase{30, 41}));

// The rows given to scripts are byte for byte those the activity log writes for the same polls.
// Alert events are kept by host and time beside the values, and go with them. A store of the
// version before them keeps its values and gets their table when next opened for writing.
TEST_F(HistoryStoreTest, AlertEventsAreKeptByHostAndTimeAndGoWithOldValues) {
  Store.Open(Path());
  Write(PollTime(0), 12);
  Store.Close();
  {
    QSqlDatabase older = QSqlDatabase::addDatabase("QSQLITE", "older");
    older.setDatabaseName(Path());
    ASSERT_TRUE(older.open());
    QSqlQuery query(older);
    EXPECT_TRUE(query.exec("DROP TABLE event"));
    EXPECT_TRUE(query.exec("PRAGMA user_version = 1"));
    query.finish();
    older.close();
  }
  QSqlDatabase::removeDatabase("older");
  THistoryStore reader;
  reader.Open(Path(), THistoryStore::TMode::Read);
  EXPECT_TRUE(reader.Events("pewter", Seconds(0), Seconds(10)).empty());
  reader.Close();

  Store.Open(Path());
  EXPECT_EQ(Texts(Store.Points(kLoad, Seconds(0), Seconds(1))), std::vector<std::string>{"0:12"});
  const TStoredEvent fired{
      "pewter", PollTime(1), "processor", 768, "768", "Processor 768 at 95 % for 3 polls", true};
  const TStoredEvent elsewhere{"other", PollTime(2), "no_answer", 0, "", "No answer", true};
  const TStoredEvent cleared{
      "pewter", PollTime(3), "processor", 768, "768", "Processor 768 is back to normal", false};
  for (const TStoredEvent& event : {fired, elsewhere, cleared}) Store.WriteEvent(event);
  EXPECT_EQ(Store.Events("pewter", Seconds(0), Seconds(10)),
            (std::vector<TStoredEvent>{fired, cleared}));
  EXPECT_EQ(Store.Events("pewter", Seconds(2), Seconds(3)), std::vector<TStoredEvent>{});
  Store.RemoveOlderThan(1, PollTime(3).addDays(1));
  EXPECT_EQ(Store.Events("pewter", Seconds(0), Seconds(10)), std::vector<TStoredEvent>{cleared});
}

TEST(HistoryCsv, RowsAreTheActivityLogsOwn) {
  QTemporaryDir dir;
  const QString hostile = "=HYPERLINK(\"http://x\"),\nsecond line";
  const std::vector<TStoredPoll> polls = {
      {"pewter",
       PollTime(0),
       {{TStoredKind::Processor, "Processor", 768, "768", 12},
        {TStoredKind::Processor, "Processor", 769, "769", -1},
        {TStoredKind::Interface, "InterFaceIn", 2, "eth0, uplink", 1234.5678},
        {TStoredKind::Interface, "InterFaceOut", 2, "eth0, uplink", 0.1 + 0.2},
        {TStoredKind::Interface, "InterFaceIn", 10, hostile, std::nullopt},
        {TStoredKind::Interface, "InterFaceOut", 10, hostile, 1e-7},
        {TStoredKind::Storage, "Storage", 1, "C:\\ Label: \"x\"", 123456789012.0}}},
      {"pewter",
       PollTime(0).addSecs(37 * 3600 + 5),
       {{TStoredKind::Processor, "Processor", 768, "768", 7}}}};

  TActivityLog log;
  log.Open(dir.filePath("log.csv"));
  THistoryStore store;
  store.Open(dir.filePath("history.sqlite"));
  for (const TStoredPoll& poll : polls) {
    for (const TStoredValue& value : poll.Values) {
      if (!value.Value) continue;
      // The monitors' texts: loads as whole numbers, everything else in the general form.
      log.WriteRow(poll.Time.toLocalTime(), value.Tag, value.Item,
                   value.Kind == TStoredKind::Processor
                       ? QString::number(static_cast<int>(*value.Value))
                       : FormatGeneral(*value.Value, QLocale::system()));
    }
    store.Write(poll);
  }
  log.Close();

  QByteArray exported;
  store.Rows("pewter", {}, {},
             [&](const THistoryRow& row) { exported += HistoryCsvLine(row, QLocale::system()); });
  QFile written(dir.filePath("log.csv"));
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  EXPECT_EQ(exported, written.readAll());
}

}  // namespace
