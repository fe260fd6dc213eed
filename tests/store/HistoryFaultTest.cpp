#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <random>

#include "HistoryWriter.h"
#include "StoreTestData.h"

namespace {

// Runs the second program; as an unprivileged user when we are root, whom no file mode stops.
QProcess* StartChild(const QStringList& arguments, bool unprivileged = false) {
  auto* child = new QProcess;
  QStringList command = arguments;
  if (unprivileged && ::geteuid() == 0) {
    command.prepend(HISTORY_CHILD);
    command = QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups"} + command;
    child->start("setpriv", command);
  } else {
    child->start(HISTORY_CHILD, command);
  }
  return child;
}

// Holds the store locked the way another program in exclusive locking mode does.
std::shared_ptr<void> LockExclusively(const QString& path) {
  const QString name = "locker";
  auto database = std::make_shared<QSqlDatabase>(QSqlDatabase::addDatabase("QSQLITE", name));
  database->setDatabaseName(path);
  EXPECT_TRUE(database->open());
  QSqlQuery query(*database);
  EXPECT_TRUE(query.exec("PRAGMA locking_mode = EXCLUSIVE"));
  EXPECT_TRUE(query.exec("PRAGMA user_version = 1"));  // a write takes the lock for good
  return std::shared_ptr<void>(new int, [database, name](int* p) mutable {
    delete p;
    database->close();
    database.reset();
    QSqlDatabase::removeDatabase(name);
  });
}

constexpr QFileDevice::Permissions kEveryone =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::WriteGroup |
    QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;

void CreateStore(const QString& path) {
  THistoryStore store;
  store.Open(path);
}

struct TFaultCase {
  const char* Name;
  // Sets the fault up for a store at path; what it returns is held while the child runs.
  std::function<std::shared_ptr<void>(const QString& path)> Prepare;
  bool Unprivileged = false;
  long FileSizeLimit = 0;
  const char* Expected;  // how the one report begins, before the path
};

class HistoryFaults : public ::testing::TestWithParam<TFaultCase> {};

// Each fault gives exactly one report however many polls follow, and no crash.
TEST_P(HistoryFaults, ReportOnceAndGoOnWithoutHistory) {
  QTemporaryDir dir;
  QFile::setPermissions(dir.path(), kEveryone);
  const QString path = dir.filePath("sub/history.sqlite");
  ASSERT_TRUE(QDir().mkpath(dir.filePath("sub")));
  const std::shared_ptr<void> held = GetParam().Prepare(path);
  std::unique_ptr<QProcess> child(StartChild(
      {"fault", path, "200", QString::number(GetParam().FileSizeLimit)}, GetParam().Unprivileged));
  ASSERT_TRUE(child->waitForFinished(60000));
  const QStringList lines = QString::fromUtf8(child->readAllStandardOutput()).split('\n');
  EXPECT_EQ(child->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(child->exitCode(), 0) << child->readAllStandardError().toStdString();
  ASSERT_GE(lines.size(), 2);
  EXPECT_EQ(lines[0], "1");
  EXPECT_TRUE(
      lines[1].startsWith(QStringLiteral("History off: %1 %2: ").arg(GetParam().Expected, path)))
      << lines[1].toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Store, HistoryFaults,
    ::testing::Values(TFaultCase{"CorruptFile",
                                 [](const QString& path) {
                                   QFile file(path);
                                   EXPECT_TRUE(file.open(QIODevice::WriteOnly));
                                   file.write(QByteArray(8192, 'x'));
                                   return std::shared_ptr<void>();
                                 },
                                 false, 0, "cannot open"},
                      TFaultCase{"LockedByAnotherProgram",
                                 [](const QString& path) {
                                   CreateStore(path);
                                   return LockExclusively(path);
                                 },
                                 false, 0, "cannot open"},
                      TFaultCase{"ReadOnlyFile",
                                 [](const QString& path) {
                                   CreateStore(path);
                                   QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadOther);
                                   QFile::setPermissions(QFileInfo(path).path(), kEveryone);
                                   return std::shared_ptr<void>();
                                 },
                                 true, 0, "cannot open"},
                      TFaultCase{"ReadOnlyFolder",
                                 [](const QString& path) {
                                   QFile::setPermissions(QFileInfo(path).path(),
                                                         QFile::ReadOwner | QFile::ExeOwner |
                                                             QFile::ReadOther | QFile::ExeOther);
                                   return std::shared_ptr<void>();
                                 },
                                 true, 0, "cannot open"},
                      TFaultCase{"DiskFull", [](const QString&) { return std::shared_ptr<void>(); },
                                 false, 256 * 1024, "cannot write"}),
    [](const ::testing::TestParamInfo<TFaultCase>& param) { return param.param.Name; });

// After a failure polls are dropped without more reports, until the store is opened again.
TEST(HistoryWriter, AfterAFailureDropsPollsUntilReopened) {
  QTemporaryDir dir;
  const QString path = dir.filePath("history.sqlite");
  CreateStore(path);
  THistoryWriter writer;
  QStringList failures;
  QObject::connect(&writer, &THistoryWriter::Failed, &writer,
                   [&](const QString& text) { failures << text; });
  {
    const std::shared_ptr<void> lock = LockExclusively(path);
    writer.Open(path, 50);
    for (int poll = 0; poll < 3; ++poll) writer.Store(Poll("h", PollTime(poll), 10, poll));
    writer.Wait();
  }
  writer.Store(Poll("h", PollTime(3), 10, 3));
  writer.Open(path);
  writer.Store(Poll("h", PollTime(4), 10, 4));
  writer.SetKeepDays(0);
  writer.Store(Poll("h", PollTime(5), 10, 5));  // keeping nothing stores nothing
  writer.Wait();
  QCoreApplication::processEvents();

  ASSERT_EQ(failures.size(), 1);
  EXPECT_TRUE(failures[0].endsWith("database is locked")) << failures[0].toStdString();
  THistoryStore reader;
  reader.Open(path, THistoryStore::TMode::Read);
  EXPECT_EQ(ValuesPerPoll(reader, "h"),
            (std::map<int64_t, int>{{PollTime(4).toSecsSinceEpoch(), 10}}));
  writer.RemoveOld();
  writer.Wait();
  EXPECT_FALSE(reader.HasHost("h"));
}

TEST(HistoryWriter, ClosingWritesWhatIsQueued) {
  QTemporaryDir dir;
  const QString path = dir.filePath("history.sqlite");
  {
    THistoryWriter writer;
    writer.Open(path);
    for (int poll = 0; poll < 20; ++poll) writer.Store(Poll("h", PollTime(poll), 100, poll));
  }
  THistoryStore reader;
  reader.Open(path, THistoryStore::TMode::Read);
  EXPECT_EQ(ValuesPerPoll(reader, "h").size(), 20u);
}

// kill -9 in the middle of a poll loses that poll at most, never the file or an older poll.
TEST(HistoryStoreProcesses, KillNineLosesAtMostThePollBeingWritten) {
  QTemporaryDir dir;
  const QString path = dir.filePath("history.sqlite");
  std::random_device seed;
  std::mt19937 random(seed());
  for (int round = 0; round < 3; ++round) {
    const QString host = QStringLiteral("host%1").arg(round);
    std::unique_ptr<QProcess> child(StartChild({"write", path, host, "500", "0"}));
    ASSERT_TRUE(child->waitForReadyRead(10000));
    const int delayMs = std::uniform_int_distribution<int>(0, 40)(random);
    SCOPED_TRACE(QStringLiteral("killed %1 ms after the first poll").arg(delayMs).toStdString());
    QThread::msleep(delayMs);
    child->kill();
    ASSERT_TRUE(child->waitForFinished(10000));
    const QStringList committed =
        QString::fromUtf8(child->readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);

    ASSERT_EQ(IntegrityCheck(path), "ok");
    THistoryStore store;
    store.Open(path);
    const std::map<int64_t, int> polls = ValuesPerPoll(store, host);
    for (const auto& [time, values] : polls) EXPECT_EQ(values, 500) << time;
    // Every poll reported as committed is there; the one under way may be too.
    EXPECT_GE(polls.size(), committed.size());
    EXPECT_LE(polls.size(), committed.size() + 1);
  }
}

TEST(HistoryStoreProcesses, TwoProcessesWritingAtOnceKeepEveryPoll) {
  QTemporaryDir dir;
  const QString path = dir.filePath("history.sqlite");
  std::unique_ptr<QProcess> first(StartChild({"write", path, "a", "50", "150"}));
  std::unique_ptr<QProcess> second(StartChild({"write", path, "b", "50", "150"}));
  for (QProcess* child : {first.get(), second.get()}) {
    ASSERT_TRUE(child->waitForFinished(60000));
    EXPECT_EQ(child->exitCode(), 0) << child->readAllStandardError().toStdString();
  }
  EXPECT_EQ(IntegrityCheck(path), "ok");
  THistoryStore store;
  store.Open(path, THistoryStore::TMode::Read);
  for (const QString host : {"a", "b"}) {
    const std::map<int64_t, int> polls = ValuesPerPoll(store, host);
    EXPECT_EQ(polls.size(), 150u);
    for (const auto& [time, values] : polls) EXPECT_EQ(values, 50);
  }
}

}  // namespace
