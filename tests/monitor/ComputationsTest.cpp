#include <gtest/gtest.h>

#include "ActivityLog.h"
#include "Computations.h"

TEST(InterfaceRate, CounterWrapCountsModulo2To32) {
  EXPECT_EQ(CounterDifference(100, 4294967000u), 396u);
  EXPECT_EQ(CounterDifference(5000, 1000), 4000u);
  EXPECT_EQ(CounterDifference(7, 7), 0u);
}

TEST(InterfaceRate, ElapsedSecondsRoundHalfToEvenAndWrap) {
  EXPECT_EQ(ElapsedSeconds(106000, 100000), 60);
  EXPECT_EQ(ElapsedSeconds(250, 0), 2);  // 2.5 s rounds to even
  EXPECT_EQ(ElapsedSeconds(350, 0), 4);  // 3.5 s rounds to even
  EXPECT_EQ(ElapsedSeconds(149, 100), 0);
  EXPECT_EQ(ElapsedSeconds(100, 4294967196u), 2);  // up-time wrapped: 200 hundredths
}

TEST(InterfaceRate, RatesInKilobitsAndUtilisationAvoid32BitOverflow) {
  EXPECT_DOUBLE_EQ(RateKbits(7680, 60), 1.0);
  EXPECT_DOUBLE_EQ(RateKbits(396, 60), 396.0 * 8 / 60 / 1024);
  // 4294967295 octets x 8 overflows 32 bits; the rate must not.
  EXPECT_DOUBLE_EQ(RateKbits(4294967295u, 1), 4294967295.0 * 8 / 1024);
  EXPECT_DOUBLE_EQ(UtilisationPercent(61440, 1, 60), 819200.0);
  EXPECT_DOUBLE_EQ(UtilisationPercent(1250000, 10000000, 1), 100.0);
  EXPECT_DOUBLE_EQ(UtilisationPercent(4294967295u, 1, 1), 4294967295.0 * 800);
  // 64-bit counters: octets x 8 beyond 2^64 still give the right rate.
  EXPECT_DOUBLE_EQ(RateKbits(UINT64_MAX, 1), 18446744073709551615.0 * 8 / 1024);
}

// Readings of one counter in turn: the rate comes from the last good one and its own up-time.
TEST(InterfaceRate, ReadingsGiveRatesBaselinesAndRestarts) {
  struct TCase {
    const char* Name;
    uint64_t Octets;
    uint32_t UpTime;
    int Bits;
    TRateStep::TKind Kind;
    uint64_t Difference;
    int64_t Elapsed;
  };
  const TCase cases[] = {
      {"first reading is only a baseline", 4294967000u, 100000, 32, TRateStep::NoBaseline, 0, 1},
      {"32-bit wrap counts modulo 2^32", 100, 106000, 32, TRateStep::Rate, 396, 60},
      {"same second counts as one", 200, 106040, 32, TRateStep::Rate, 100, 1},
      {"up-time going back is a restart", 50, 500, 32, TRateStep::Restarted, 0, 1},
      {"after the restart rates resume", 1074, 1500, 32, TRateStep::Rate, 1024, 10},
      {"64-bit counters take the full width", 5000000000u, 2500, 64, TRateStep::Rate,
       5000000000u - 1074, 10},
  };
  TCounterReading last;
  for (const TCase& c : cases) {
    const TRateStep step = NextReading(last, c.Octets, c.UpTime, c.Bits);
    EXPECT_EQ(step.Kind, c.Kind) << c.Name;
    EXPECT_EQ(step.Octets, c.Difference) << c.Name;
    EXPECT_EQ(step.Elapsed, c.Elapsed) << c.Name;
    EXPECT_EQ(last.Octets, c.Octets) << c.Name;
  }
}

TEST(Rounding, HalvesGoToEven) {
  EXPECT_DOUBLE_EQ(RoundToTenth(12.36), 12.4);
  EXPECT_DOUBLE_EQ(RoundToTenth(976.5625), 976.6);
  EXPECT_EQ(RoundToInt(0.5), 0);
  EXPECT_EQ(RoundToInt(1.5), 2);
  EXPECT_EQ(RoundToInt(2.5), 2);
  EXPECT_EQ(RoundToInt(1e12), 2147483647);
}

TEST(StorageSize, MegabytesUseA64BitProduct) {
  EXPECT_DOUBLE_EQ(UnitsToMegabytes(4096, 262144), 1024.0);
  EXPECT_DOUBLE_EQ(UnitsToMegabytes(4096, 250000), 976.6);
  EXPECT_DOUBLE_EQ(UnitsToMegabytes(65536, 2147483647), 134217727.9);
  EXPECT_DOUBLE_EQ(UnitsToMegabytes(0, 100), 0.0);
  EXPECT_EQ(UsedPercent(976.6, 1024.0), 95);
  EXPECT_EQ(UsedPercent(1024.0, 1024.0), 100);
  EXPECT_EQ(UsedPercent(0.0, 0.0), 0);  // an empty area never divides by zero
}

TEST(NumberText, FollowsTheLocaleSeparators) {
  const QLocale us(QLocale::English, QLocale::UnitedStates);
  const QLocale de(QLocale::German, QLocale::Germany);
  EXPECT_EQ(FormatNumber(1024.0, 1, us), "1,024.0");
  EXPECT_EQ(FormatNumber(819200.0, 2, us), "819,200.00");
  EXPECT_EQ(FormatNumber(1024.0, 1, de), "1.024,0");
  EXPECT_EQ(FormatNumber(0.0515625, 2, us), "0.05");
  EXPECT_EQ(FormatGeneral(250000, us), "250000");
  EXPECT_EQ(FormatGeneral(0.0515625, us), "0.0515625");
  EXPECT_EQ(FormatGeneral(2.5, de), "2,5");
  EXPECT_EQ(FormatGeneral(1.0 / 3.0, us), "0.333333333333333");
}

TEST(LogRow, FieldsAreQuotedOnlyWhenTheyWouldBreakTheRow) {
  EXPECT_EQ(CsvField("eth0"), "eth0");
  EXPECT_EQ(CsvField("wan, uplink"), "\"wan, uplink\"");
  EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
}

TEST(LogRow, ItemThatWouldStartAFormulaIsWrittenAsText) {
  const QLocale us(QLocale::English, QLocale::UnitedStates);
  const QDateTime moment(QDate(2026, 12, 7), QTime(8, 30, 0));
  const struct {
    const char* Item;
    const char* Field;
  } cases[] = {
      {"=HYPERLINK(\"http://x\",\"y\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
      {"+1", "'+1"},
      {"-2+3", "'-2+3"},
      {"@SUM(A1)", "'@SUM(A1)"},
      {"\tcmd", "'\tcmd"},
      {"\r=1", "\"'\r=1\""},
      {"eth0", "eth0"},
      {"a=b", "a=b"},
      {" =1", " =1"},
      {"'=1", "'=1"},
      {"768", "768"},
      {"", ""},
  };
  const QString stamp = LogTimestamp(moment, us);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Item);
    EXPECT_EQ(LogRow(moment, us, "Storage", c.Item, "-5"),
              stamp + ",Storage," + QString(c.Field) + ",-5");
  }
}

TEST(LogRow, JoinsTimestampTagItemAndValue) {
  const QLocale us(QLocale::English, QLocale::UnitedStates);
  const QDateTime moment(QDate(2026, 12, 7), QTime(8, 30, 0));
  const QString stamp = LogTimestamp(moment, us);
  EXPECT_TRUE(stamp.startsWith(us.toString(moment.date(), QLocale::ShortFormat) + "-"));
  EXPECT_TRUE(stamp.contains("8:30:00")) << stamp.toStdString();
  EXPECT_FALSE(stamp.contains("UTC")) << stamp.toStdString();
  EXPECT_EQ(LogRow(moment, us, "Processor", "768", "12"), stamp + ",Processor,768,12");
  const QLocale de(QLocale::German, QLocale::Germany);
  EXPECT_EQ(LogRow(moment, de, "InterFaceIn", "wan, uplink", "2,5"),
            LogTimestamp(moment, de) + ",InterFaceIn,\"wan, uplink\",\"2,5\"");
}
