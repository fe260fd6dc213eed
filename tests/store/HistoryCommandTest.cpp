#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include "HistoryCommand.h"
#include "StoreTestData.h"

namespace {

struct TRun {
  int Code = -1;
  QByteArray Out;
  QString Err;
};

// The program itself, as a script runs it: no display, the store under XDG_DATA_HOME.
TRun RunCorvane(const QString& dataHome, const QStringList& arguments) {
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    environment.remove(name);
  environment.insert("XDG_DATA_HOME", dataHome);
  process.setProcessEnvironment(environment);
  process.start(CORVANE_BINARY, arguments);
  if (!process.waitForFinished(30000)) return {};
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          process.readAllStandardOutput(), QString::fromLocal8Bit(process.readAllStandardError())};
}

class HistoryCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    THistoryStore store;
    store.Open(QDir(Data.path()).filePath("Corvane/history.sqlite"));
    for (int poll = 0; poll < 4; ++poll) store.Write(Poll("pewter", PollTime(poll), 3, poll));
    store.Write(Poll("other", PollTime(1), 2, 9));
  }

  // The rows of pewter's polls first to last - 1 as the log writes them.
  QByteArray Rows(int first, int last) {
    THistoryStore store;
    store.Open(QDir(Data.path()).filePath("Corvane/history.sqlite"), THistoryStore::TMode::Read);
    QByteArray rows;
    store.Rows("pewter", PollTime(first).toSecsSinceEpoch(), PollTime(last).toSecsSinceEpoch(),
               [&](const THistoryRow& row) { rows += HistoryCsvLine(row, QLocale::system()); });
    return rows;
  }

  QTemporaryDir Data;
};

TEST_F(HistoryCommand, PrintsTheHostsRowsInLocalTimeRanges) {
  TRun run = RunCorvane(Data.path(), {"--history", "pewter"});
  EXPECT_EQ(run.Code, 0) << run.Err.toStdString();
  EXPECT_EQ(run.Out, Rows(0, 4));
  EXPECT_EQ(run.Out.count('\n'), 12);
  EXPECT_TRUE(run.Err.isEmpty());

  // 08:31 UTC is 10:31 in Berlin, where the tests run; since is included, until is not.
  run = RunCorvane(Data.path(), {"--since", "2026-07-12T10:31", "--history=pewter", "--until",
                                 "2026-07-12T10:33"});
  EXPECT_EQ(run.Code, 0) << run.Err.toStdString();
  EXPECT_EQ(run.Out, Rows(1, 3));
}

struct TFailureCase {
  const char* Name;
  QStringList Arguments;
  int Code;
  const char* Err;  // the first line
};

class HistoryCommandFailure : public HistoryCommand,
                              public ::testing::WithParamInterface<TFailureCase> {};

TEST_P(HistoryCommandFailure, SaysWhyOnStandardErrorOnly) {
  const TRun run = RunCorvane(Data.path(), GetParam().Arguments);
  EXPECT_EQ(run.Code, GetParam().Code);
  EXPECT_TRUE(run.Out.isEmpty());
  EXPECT_EQ(run.Err.section('\n', 0, 0), GetParam().Err);
  if (GetParam().Code == 2) {
    EXPECT_EQ(run.Err.section('\n', 1),
              "Usage: corvane --history HOST [--since YYYY-MM-DDTHH:MM] [--until "
              "YYYY-MM-DDTHH:MM]\n");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, HistoryCommandFailure,
    ::testing::Values(
        TFailureCase{"UnknownHost", {"--history", "Pewter"}, 1, "No history for Pewter."},
        TFailureCase{"NothingInTheRange",
                     {"--history", "pewter", "--until", "2026-07-12T10:30"},
                     1,
                     "No history for pewter in that time."},
        TFailureCase{"NoDate",
                     {"--history", "pewter", "--since", "2026-07-32T10:30"},
                     2,
                     "corvane: --since 2026-07-32T10:30 is not a time of the form "
                     "YYYY-MM-DDTHH:MM"},
        TFailureCase{"UnknownOption",
                     {"--history", "pewter", "--from", "x"},
                     2,
                     "corvane: Unknown option 'from'."},
        TFailureCase{"NoHost", {"--history"}, 2, "corvane: Missing value after '--history'."}),
    [](const ::testing::TestParamInfo<TFailureCase>& param) { return param.param.Name; });

TEST(HistoryCommandWithoutStore, SaysThereIsNoHistoryAndCreatesNothing) {
  QTemporaryDir data;
  const TRun run = RunCorvane(data.path(), {"--history", "pewter"});
  EXPECT_EQ(run.Code, 1);
  EXPECT_EQ(run.Err, "No history for pewter.\n");
  EXPECT_TRUE(QDir(data.path()).isEmpty());
}

}  // namespace
