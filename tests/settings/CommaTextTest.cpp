#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "SettingsFile.h"
#include "TestHelpers.h"

namespace {

struct CommaCase {
  const char* name;
  QStringList items;
  QString text;
};

class CommaTextBothWays : public ::testing::TestWithParam<CommaCase> {};

TEST_P(CommaTextBothWays, WritesAndReadsBack) {
  EXPECT_EQ(ToCommaText(GetParam().items), GetParam().text);
  EXPECT_EQ(FromCommaText(GetParam().text), GetParam().items);
}

INSTANTIATE_TEST_SUITE_P(
    CommaText, CommaTextBothWays,
    ::testing::Values(CommaCase{"Plain", {"public", "private"}, "public,private"},
                      CommaCase{"EmptyList", {}, ""},
                      CommaCase{"TwoWordsQuoted", {"my net", "x"}, "\"my net\",x"},
                      CommaCase{"LoneEmptyItem", {""}, "\"\""},
                      CommaCase{"EmptyItemsAmongOthersBare", {"a", "", "b", ""}, "a,,b,"},
                      CommaCase{"QuotesDoubled", {"say \"hi\""}, "\"say \"\"hi\"\"\""},
                      CommaCase{"CommaAndControlQuoted", {"a,b", "t\tx"}, "\"a,b\",\"t\tx\""},
                      CommaCase{"LeadingBlankKept", {" lead"}, "\" lead\""}),
    CaseName());

class CommaTextReading : public ::testing::TestWithParam<CommaCase> {};

TEST_P(CommaTextReading, Splits) {
  EXPECT_EQ(FromCommaText(GetParam().text), GetParam().items);
}

INSTANTIATE_TEST_SUITE_P(
    CommaText, CommaTextReading,
    ::testing::Values(CommaCase{"BareSpaceSplits", {"a", "b", "c"}, "a b,c"},
                      CommaCase{"BlanksAroundSkipped", {"a", "b"}, "  a ,\t b  "},
                      CommaCase{"TrailingCommaAddsEmpty", {"a", ""}, " a,"},
                      CommaCase{"LeadingCommaGivesEmpty", {"", "a"}, ",a"},
                      CommaCase{"UnterminatedQuoteRunsToEnd", {"ab,c"}, "\"ab,c"},
                      CommaCase{"TextAfterClosingQuoteIsNextItem", {"ab", "cd"}, "\"ab\"cd"}),
    CaseName());

TEST(CommaText, RandomListsSurviveRoundTrip) {
  const QString alphabet = QStringLiteral("a ,\"\t\x01\u00e9");
  QRandomGenerator random(42);
  for (int run = 0; run < 2000; ++run) {
    QStringList items;
    for (int i = random.bounded(5); i > 0; --i) {
      QString item;
      for (int n = random.bounded(4); n > 0; --n) item += alphabet[random.bounded(alphabet.size())];
      items << item;
    }
    ASSERT_EQ(FromCommaText(ToCommaText(items)), items) << ToCommaText(items).toStdString();
  }
}

}  // namespace
