#include <gtest/gtest.h>

#include <string>

#include "ValueText.h"

namespace {

struct TLwCase {
  const char* text;
  bool valid;
  uint32_t value;
};

class StrToLWTest : public ::testing::TestWithParam<TLwCase> {};
TEST_P(StrToLWTest, ConvertsOrRefuses) {
  uint32_t out = 77;
  EXPECT_EQ(GetParam().valid, TryStrToLW(GetParam().text, out));
  if (GetParam().valid) {
    EXPECT_EQ(GetParam().value, out);
    EXPECT_EQ(GetParam().value, StrToLW(GetParam().text));
  } else {
    try {
      StrToLW(GetParam().text);
      ADD_FAILURE() << "no error raised";
    } catch (const EConvertError& error) {
      EXPECT_EQ(std::string(GetParam().text) + " is not a valid integer value", error.what());
    }
  }
}
INSTANTIATE_TEST_SUITE_P(
    Queries, StrToLWTest,
    ::testing::Values(TLwCase{"4294967295", true, 4294967295u}, TLwCase{"0", true, 0},
                      TLwCase{"  12", true, 12}, TLwCase{"+7", true, 7},
                      TLwCase{"-1", true, 4294967295u}, TLwCase{"4294967296", true, 0},
                      TLwCase{"$FFFFFFFF", true, 4294967295u}, TLwCase{"$1f", true, 31},
                      TLwCase{"", false, 0}, TLwCase{"abc", false, 0}, TLwCase{"12 ", false, 0},
                      TLwCase{"1.5", false, 0}, TLwCase{"$", false, 0}, TLwCase{"-", false, 0},
                      TLwCase{"99999999999999999999", false, 0}));

TEST(StrToInt, RangeIsSignedThirtyTwoBits) {
  EXPECT_EQ(-2147483647 - 1, StrToInt("-2147483648"));
  EXPECT_EQ(2147483647, StrToInt("$7FFFFFFF"));
  int32_t out = 5;
  EXPECT_FALSE(TryStrToInt("2147483648", out));
  EXPECT_FALSE(TryStrToInt("", out));
  EXPECT_THROW(StrToInt("x1"), EConvertError);
}

}  // namespace
