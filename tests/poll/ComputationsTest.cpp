#include <gtest/gtest.h>

#include "ActivityLog.h"
#include "Computations.h"

TEST(InterfaceRate, CounterWrapCountsModulo2To32) {
  EXPECT_EQ(CounterDifference(100, 4294967000u), 396u);
  EXPECT_EQ(CounterDifference(5000, 1000), 4000u);
  EXPECT_EQ(CounterDifference(7, 7), 0u);
}

TEST(InterfaceRate, RatesInKilobitsOverHundredthsAvoid32BitOverflow) {
  EXPECT_DOUBLE_EQ(RateKbits(7680, 6000), 1.0);
  EXPECT_DOUBLE_EQ(RateKbits(396, 6000), 396.0 * 8 / 60 / 1024);
  // 1,000,000 bit/s over 2.57 s, not over 3 s.
  EXPECT_DOUBLE_EQ(RateKbits(321250, 257), 976.5625);
  // 4294967295 octets x 8 overflows 32 bits; the rate must not.
  EXPECT_DOUBLE_EQ(RateKbits(4294967295u, 100), 4294967295.0 * 8 / 1024);
  EXPECT_DOUBLE_EQ(UtilisationPercent(61440, 1, 6000), 819200.0);
  EXPECT_DOUBLE_EQ(UtilisationPercent(1250000, 10000000, 100), 100.0);
  EXPECT_DOUBLE_EQ(UtilisationPercent(4294967295u, 1, 100), 4294967295.0 * 800);
  // 64-bit counters: octets x 8 beyond 2^64 still give the right rate.
  EXPECT_DOUBLE_EQ(RateKbits(UINT64_MAX, 100), 18446744073709551615.0 * 8 / 1024);
}

// Readings of one counter in turn: what each gives against the baseline it finds.
TEST(InterfaceRate, ReadingsGiveRatesOnlyOverMeasurableTimesAndWithinTheSpeed) {
  constexpr uint64_t k100M = 100000000;
  constexpr uint64_t k1G = 1000000000;
  constexpr uint64_t k2To32 = 4294967296u;
  using T = TRateStep;
  struct TCase {
    uint64_t Octets;
    uint32_t UpTime;
    TCounterLimits Limits;
    TRateStep::TKind Kind;
    uint64_t Difference;
    uint32_t Elapsed;
    const char* Name;
  };
  const TCase cases[] = {
      {1000, 100000, {}, T::NoBaseline, 0, 0, "first reading is only a baseline"},
      {1500, 100003, {}, T::TooShort, 0, 0, "a reading 0.03 s on gives no rate"},
      {9000, 100099, {}, T::TooShort, 0, 0, "nor one 0.99 s on"},
      {322250, 100257, {}, T::Rate, 321250, 257, "from the first baseline, 2.57 s unrounded"},
      {322250, 100357, {}, T::Rate, 0, 100, "one second exactly gives a rate"},
      {100, 106357, {32, k1G}, T::Rate, k2To32 - 322250 + 100, 6000, "a wrap within the speed"},
      {50, 112357, {32, k100M}, T::Reset, 0, 0, "a 32-bit reset beyond the speed"},
      {7730, 118357, {32, k100M}, T::Rate, 7680, 6000, "rates resume from the reset"},
      {10, 124357, {}, T::Rate, k2To32 - 7730 + 10, 6000, "speed unknown: a wrap is a wrap"},
      {900000000000u, 130357, {64, k100M}, T::Reset, 0, 0, "a 64-bit jump beyond the speed"},
      {900750000000u, 136357, {64, k100M}, T::Rate, 750000000, 6000, "a 64-bit step within it"},
      {5, 142357, {64}, T::Reset, 0, 0, "a 64-bit counter going back, speed unknown"},
      {20, 142360, {64, 0, true}, T::Reset, 0, 0, "an announced discontinuity, however soon"},
      {50, 500, {64}, T::Restarted, 0, 0, "up-time going back is a restart"},
      {1074, 1500, {64}, T::Rate, 1024, 1000, "after the restart rates resume"},
  };
  TCounterReading last;
  for (const TCase& c : cases) {
    const TRateStep step = NextReading(last, c.Octets, c.UpTime, c.Limits);
    EXPECT_EQ(step.Kind, c.Kind) << c.Name;
    EXPECT_EQ(step.Octets, c.Difference) << c.Name;
    EXPECT_EQ(step.Elapsed, c.Elapsed) << c.Name;
  }
}

TEST(Identity, UpTimeAndFirstLinesShortened) {
  EXPECT_EQ(UpTimeText(0), "up 0 d 00:00");
  EXPECT_EQ(UpTimeText(((12 * 24 + 3) * 60 + 4) * 6000 + 5999), "up 12 d 03:04");
  EXPECT_EQ(UpTimeText(4294967295u), "up 497 d 02:27");
  const QString descr = "Linux edge1 6.1.0 #1 SMP " + QString(100, 'x') + "\r\nsecond line";
  EXPECT_EQ(
      IdentityText("edge1\n<b>", descr, 360000),
      "edge1 | Linux edge1 6.1.0 #1 SMP " + QString(34, 'x') + QChar(0x2026) + " | up 0 d 01:00");
  EXPECT_EQ(IdentityText("", "  tabs\tand  runs ", std::nullopt), "tabs and runs");
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
