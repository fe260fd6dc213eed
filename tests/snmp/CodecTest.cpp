#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "IdSNMP.h"
#include "SnmpInfo.h"

namespace {

std::string Hex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size();) {
    if (hex[i] == ' ') {
      ++i;
      continue;
    }
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    i += 2;
  }
  return bytes;
}

std::string ToHex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const char c : bytes) {
    const auto octet = static_cast<uint8_t>(c);
    if (!text.empty()) text += ' ';
    text += kDigits[octet >> 4];
    text += kDigits[octet & 0x0F];
  }
  return text;
}

// Compares octet strings and names the first differing offset.
::testing::AssertionResult SameOctets(const std::string& expected, const std::string& actual) {
  for (size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
    if (i >= expected.size() || i >= actual.size() || expected[i] != actual[i]) {
      return ::testing::AssertionFailure() << "first difference at offset " << i << "\n  expected "
                                           << ToHex(expected) << "\n  actual   " << ToHex(actual);
    }
  }
  return ::testing::AssertionSuccess();
}

struct TIntCase {
  int32_t value;
  const char* octets;
};

class EncodeSignedIntTest : public ::testing::TestWithParam<TIntCase> {};
TEST_P(EncodeSignedIntTest, GivesContentOctets) {
  EXPECT_TRUE(SameOctets(Hex(GetParam().octets), EncodeSignedInt(GetParam().value)));
}
INSTANTIATE_TEST_SUITE_P(Codec, EncodeSignedIntTest,
                         ::testing::Values(TIntCase{0, "00"}, TIntCase{127, "7F"},
                                           TIntCase{128, "00 80"}, TIntCase{200, "00 C8"},
                                           TIntCase{256, "01 00"}, TIntCase{-1, "FF FF FF FF"},
                                           TIntCase{-129, "FF FF FF 7F"},
                                           TIntCase{2147483647, "7F FF FF FF"},
                                           TIntCase{INT32_MIN, "80 00 00 00"}));

class EncodeUnsignedIntTest : public ::testing::TestWithParam<TIntCase> {};
TEST_P(EncodeUnsignedIntTest, GivesContentOctets) {
  EXPECT_TRUE(SameOctets(Hex(GetParam().octets), EncodeUnsignedInt(GetParam().value)));
}
INSTANTIATE_TEST_SUITE_P(Codec, EncodeUnsignedIntTest,
                         ::testing::Values(TIntCase{0, "00"}, TIntCase{200, "C8"},
                                           TIntCase{65536, "01 00 00"}, TIntCase{-1, "FF FF FF FF"},
                                           TIntCase{INT32_MIN, "80 00 00 00"}));

struct TLengthCase {
  uint32_t length;
  const char* octets;
};

class LengthTest : public ::testing::TestWithParam<TLengthCase> {};
TEST_P(LengthTest, EncodesAndDecodesBack) {
  const std::string octets = Hex(GetParam().octets);
  EXPECT_TRUE(SameOctets(octets, EncodeLength(GetParam().length)));
  size_t pos = 1;
  EXPECT_EQ(GetParam().length, DecodeLength(pos, octets));
  EXPECT_EQ(octets.size() + 1, pos);
}
INSTANTIATE_TEST_SUITE_P(Codec, LengthTest,
                         ::testing::Values(TLengthCase{0, "00"}, TLengthCase{127, "7F"},
                                           TLengthCase{128, "81 80"}, TLengthCase{200, "81 C8"},
                                           TLengthCase{300, "82 01 2C"},
                                           TLengthCase{70000, "83 01 11 70"}));

TEST(DecodeLength, IndefiniteFormGivesZeroAndLongFormIsNotLimited) {
  size_t pos = 1;
  EXPECT_EQ(0u, DecodeLength(pos, Hex("80")));
  pos = 1;
  EXPECT_EQ(0x01020304u, DecodeLength(pos, Hex("86 00 00 01 02 03 04")));
  EXPECT_EQ(8u, pos);
}

struct TOidCase {
  const char* text;
  const char* octets;
};

class OidTest : public ::testing::TestWithParam<TOidCase> {};
TEST_P(OidTest, EncodesAndDecodesBack) {
  const std::string octets = Hex(GetParam().octets);
  EXPECT_TRUE(SameOctets(octets, OidTextToBytes(GetParam().text)));
  EXPECT_EQ(GetParam().text, OidBytesToText(octets));
}
INSTANTIATE_TEST_SUITE_P(
    Codec, OidTest,
    ::testing::Values(TOidCase{"1.3.6.1.2.1.1.3.0", "2B 06 01 02 01 01 03 00"},
                      TOidCase{"1.3.6.1.2.1.25.3.3.1.2.768", "2B 06 01 02 01 19 03 03 01 02 86 00"},
                      TOidCase{"1.3.6.1.4.1.8072.3.2.10", "2B 06 01 04 01 BF 08 03 02 0A"},
                      TOidCase{"1.3.6.1.4.1.4294967295", "2B 06 01 04 01 8F FF FF FF 7F"},
                      TOidCase{"0.0", "00"}, TOidCase{"2.999.1", "88 37 01"}));

TEST(OidBytesToText, ArcsUseTheFullUnsignedRange) {
  EXPECT_EQ("1.3.4294967295", OidBytesToText(Hex("2B 8F FF FF FF 7F")));
}

TEST(OidTextToBytes, ToleratesShortAndOddTexts) {
  EXPECT_EQ(Hex("28"), OidTextToBytes("1"));
  EXPECT_EQ(Hex("2B 06"), OidTextToBytes("1.3.6."));
  EXPECT_EQ(Hex("03 06"), OidTextToBytes(".3.6"));
  EXPECT_EQ(Hex("00"), OidTextToBytes(""));
}

TEST(OidArc, BaseOneHundredTwentyEight) {
  EXPECT_EQ(Hex("00"), EncodeOidArc(0));
  EXPECT_EQ(Hex("7F"), EncodeOidArc(127));
  EXPECT_EQ(Hex("81 00"), EncodeOidArc(128));
  size_t pos = 2;
  EXPECT_EQ(128u, DecodeOidArc(pos, Hex("05 81 00 07")));
  EXPECT_EQ(4u, pos);
}

TEST(TakeArc, ShortensTheTextInPlace) {
  std::string text = "12.x.7.4294967295";
  EXPECT_EQ(12, TakeArc(text));
  EXPECT_EQ("x.7.4294967295", text);
  EXPECT_EQ(0, TakeArc(text));
  EXPECT_EQ(7, TakeArc(text));
  EXPECT_EQ(0, TakeArc(text));
  EXPECT_EQ("", text);
}

TEST(IpTextToBytes, DottedQuadGivesFourOctets) {
  EXPECT_EQ(Hex("C0 A8 01 01"), IpTextToBytes("192.168.1.1"));
  EXPECT_EQ(Hex("0A 00 00 2C"), IpTextToBytes("10.0.0.300"));
  EXPECT_EQ(Hex("0A 01 00 00"), IpTextToBytes("10.1"));
}

TEST(SnmpStrToIntDef, ReadsDecimalAndDollarHex) {
  EXPECT_EQ(162, SnmpStrToIntDef("$A2"));
  EXPECT_EQ(-42, SnmpStrToIntDef("  -42 "));
  EXPECT_EQ(0, SnmpStrToIntDef("2147483648"));
  EXPECT_EQ(0, SnmpStrToIntDef("12abc"));
  EXPECT_EQ(7, SnmpStrToIntDef("", 7));
}

struct TItemCase {
  const char* name;
  const char* octets;
  const char* text;
  int32_t type;
};

class ReadItemTest : public ::testing::TestWithParam<TItemCase> {};
TEST_P(ReadItemTest, DecodesValueText) {
  const std::string message = Hex(GetParam().octets);
  size_t pos = 1;
  int32_t type = 0;
  EXPECT_EQ(GetParam().text, ReadItem(pos, message, type));
  EXPECT_EQ(GetParam().type, type);
}
INSTANTIATE_TEST_SUITE_P(
    Codec, ReadItemTest,
    ::testing::Values(TItemCase{"IntegerMinusOne", "02 01 FF", "-1", 2},
                      TItemCase{"IntegerLeadingZero", "02 02 00 FF", "255", 2},
                      TItemCase{"IntegerEmpty", "02 00", "0", 2},
                      TItemCase{"IntegerLongKeepsLow32Bits", "02 05 01 00 00 00 05", "5", 2},
                      TItemCase{"StringWithoutZeroOctets", "04 04 61 62 00 63", "abc", 4},
                      TItemCase{"Opaque", "44 02 61 62", "ab", 0x44},
                      TItemCase{"Null", "05 00", "", 5},
                      TItemCase{"Oid", "06 03 2B 06 01", "1.3.6.1", 6},
                      TItemCase{"IpAddress", "40 04 C0 A8 01 01", "192.168.1.1", 0x40},
                      TItemCase{"Counter32Max", "41 05 00 FF FF FF FF", "4294967295", 0x41},
                      TItemCase{"Gauge32", "42 01 80", "128", 0x42},
                      TItemCase{"TimeTicks256", "43 02 01 00", "256", 0x43},
                      TItemCase{"Counter64WithoutLeadingZero", "46 08 FF FF FF FF FF FF FF FE",
                                "18446744073709551614", 0x46},
                      TItemCase{"EndOfMibViewIgnoresContent", "82 01 07", "", 0x82},
                      TItemCase{"UnknownTag", "47 01 01", "", 0x47},
                      TItemCase{"Sequence", "30 03 02 01 00", "$30", 0x30},
                      TItemCase{"GetResponse", "A2 00", "$A2", 0xA2},
                      TItemCase{"ContentPastEnd", "04 05 61 62", "", 4},
                      TItemCase{"OneOctetLeft", "04", "", 5}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(ReadItem, ContentPastEndLeavesPositionAfterLength) {
  size_t pos = 1;
  int32_t type = 0;
  ReadItem(pos, Hex("04 05 61 62"), type);
  EXPECT_EQ(3u, pos);
}

TEST(ReadItem, BindingsAfterAnUnknownTagStillDecode) {
  const std::string message = Hex("47 01 01 05 00 02 01 07");
  size_t pos = 1;
  int32_t type = 0;
  ReadItem(pos, message, type);
  ReadItem(pos, message, type);
  EXPECT_EQ(5, type);
  EXPECT_EQ("7", ReadItem(pos, message, type));
}

const std::string kCommunity = "public";
// The GetRequest for sysUpTime.0 with a six-octet community.
const std::string kGetRequest =
    "30 26 02 01 00 04 06 70 75 62 6C 69 63 A0 19 02 01 00 02 01 00 02 01 00 30 0E 30 0C 06 08 "
    "2B 06 01 02 01 01 03 00 04 00";

TEST(EncodeMessage, MonitorGetRequestIsFortyOctets) {
  TSNMPInfo info(nullptr);
  info.SetCommunity(kCommunity);
  info.AddVarBind("1.3.6.1.2.1.1.3.0", "", 4);
  info.PduType = 0xA0;
  const std::string packet = info.EncodeMessage();
  EXPECT_EQ(40u, packet.size());
  EXPECT_TRUE(SameOctets(Hex(kGetRequest), packet));
}

TEST(EncodeMessage, RequestIdIsAFullInteger) {
  TSNMPInfo info(nullptr);
  info.SetCommunity(kCommunity);
  info.PduType = 0xA1;
  info.RequestId = 0x12345678;
  EXPECT_TRUE(SameOctets(
      Hex("30 1B 02 01 00 04 06 70 75 62 6C 69 63 A1 0E 02 04 12 34 56 78 02 01 00 02 01 00 30 00"),
      info.EncodeMessage()));
}

struct TBindingCase {
  const char* name;
  const char* value;
  int32_t type;
  const char* valueItem;
};

class EncodeBindingTest : public ::testing::TestWithParam<TBindingCase> {};
TEST_P(EncodeBindingTest, ValueItemFollowsTheName) {
  TSNMPInfo info(nullptr);
  info.AddVarBind("1.3", GetParam().value, GetParam().type);
  const std::string message = info.EncodeMessage();
  // 30 L 02 01 00 04 00 A0 L 3 x (02 01 00) 30 L 30 L 06 01 2B <value item>
  const std::string expectedTail = Hex("06 01 2B") + Hex(GetParam().valueItem);
  ASSERT_GE(message.size(), expectedTail.size());
  EXPECT_TRUE(SameOctets(expectedTail, message.substr(message.size() - expectedTail.size())));
}
INSTANTIATE_TEST_SUITE_P(
    Codec, EncodeBindingTest,
    ::testing::Values(TBindingCase{"NoTypeIsOctetString", "ab", 0, "04 02 61 62"},
                      TBindingCase{"Integer", "-1", 2, "02 04 FF FF FF FF"},
                      TBindingCase{"NullIgnoresText", "xyz", 5, "05 00"},
                      TBindingCase{"Oid", "1.3.6", 6, "06 02 2B 06"},
                      TBindingCase{"IpAddress", "10.0.0.1", 0x40, "40 04 0A 00 00 01"},
                      TBindingCase{"Counter32Max", "4294967295", 0x41, "41 04 FF FF FF FF"},
                      TBindingCase{"TimeTicks", "256", 0x43, "43 02 01 00"},
                      TBindingCase{"Counter64Hex", "$FF", 0x46, "46 02 00 FF"},
                      TBindingCase{"Counter64NotANumber", "x", 0x46, "46 01 00"},
                      TBindingCase{"NoSuchObjectIgnoresText", "x", 0x80, "80 00"},
                      TBindingCase{"NoSuchInstance", "", 0x81, "81 00"},
                      TBindingCase{"EndOfMibView", "", 0x82, "82 00"},
                      TBindingCase{"OtherTagCarriesText", "x", 0x45, "45 01 78"}),
    [](const auto& param) { return std::string(param.param.name); });

struct TCounter64Case {
  const char* text;
  const char* valueItem;
};

class Counter64Test : public ::testing::TestWithParam<TCounter64Case> {};
TEST_P(Counter64Test, EncodesTheFewestOctetsAndDecodesBack) {
  TSNMPInfo info(nullptr);
  info.AddVarBind("1.3", GetParam().text, SnmpTag::Counter64);
  const std::string message = info.EncodeMessage();
  const std::string item = Hex(GetParam().valueItem);
  ASSERT_GE(message.size(), item.size());
  EXPECT_TRUE(SameOctets(item, message.substr(message.size() - item.size())));
  size_t pos = 1;
  int32_t type = 0;
  EXPECT_EQ(GetParam().text, ReadItem(pos, item, type));
  EXPECT_EQ(SnmpTag::Counter64, type);
}
INSTANTIATE_TEST_SUITE_P(
    Codec, Counter64Test,
    ::testing::Values(TCounter64Case{"0", "46 01 00"}, TCounter64Case{"128", "46 02 00 80"},
                      TCounter64Case{"4294967296", "46 05 01 00 00 00 00"},
                      TCounter64Case{"9223372036854775808", "46 09 00 80 00 00 00 00 00 00 00"},
                      TCounter64Case{"18446744073709551615", "46 09 00 FF FF FF FF FF FF FF FF"}));

TEST(ErrorStatusName, NamesTheV2StatusesAndNumbersTheRest) {
  EXPECT_EQ("noError", ErrorStatusName(SnmpErrorStatus::NoError));
  EXPECT_EQ("tooBig", ErrorStatusName(SnmpErrorStatus::TooBig));
  EXPECT_EQ("wrongEncoding", ErrorStatusName(SnmpErrorStatus::WrongEncoding));
  EXPECT_EQ("inconsistentName", ErrorStatusName(SnmpErrorStatus::InconsistentName));
  EXPECT_EQ("19", ErrorStatusName(19));
  EXPECT_EQ("-1", ErrorStatusName(-1));
}

TEST(TSNMPInfo, AddVarBindPadsEarlierBindings) {
  TSNMPInfo info(nullptr);
  info.AddVarBind("1.3.1", "a", 4);
  info.AddVarBind("1.3.2", "b", 2);
  ASSERT_EQ(2u, info.Count());
  EXPECT_EQ("1.3.2", info.OidAt(1));
  EXPECT_EQ("b", info.ValueAt(1));
  EXPECT_EQ(2, info.ValueTypeAt(1));
  EXPECT_THROW(info.OidAt(2), std::out_of_range);
  EXPECT_THROW(info.ValueAt(5), std::out_of_range);
}

TEST(TSNMPInfo, EqualCommunityKeepsTheRecordAndNewOneResetsIt) {
  TSNMPInfo info(nullptr);
  info.SetCommunity("pewter");
  info.AddVarBind("1.3", "", 4);
  info.RequestId = 9;
  info.SetCommunity("pewter");
  EXPECT_EQ(1u, info.Count());
  info.SetCommunity("other");
  EXPECT_EQ(0u, info.Count());
  EXPECT_EQ(0, info.RequestId);
  EXPECT_EQ("other", info.Community());
}

TEST(TSNMPInfo, ResetTakesOwnerDefaultsAndTrapPort) {
  TIdSNMP snmp;
  snmp.SetHost("agent.example");
  snmp.SetPort(1161);
  snmp.QueryInfo().Reset();
  snmp.TrapInfo().Reset();
  EXPECT_EQ("agent.example", snmp.QueryInfo().TargetHost);
  EXPECT_EQ(1161, snmp.QueryInfo().TargetPort);
  EXPECT_EQ(162, snmp.TrapInfo().TargetPort);
  EXPECT_EQ("pewter", snmp.QueryInfo().Community());
}

TEST(TIdSNMP, NewCommunityEmptiesQueryAndReply) {
  TIdSNMP snmp;
  snmp.QueryInfo().AddVarBind("1.3", "", 4);
  snmp.ReplyInfo().AddVarBind("1.3", "", 4);
  snmp.SetCommunity("secret");
  EXPECT_EQ(0u, snmp.QueryInfo().Count());
  EXPECT_EQ(0u, snmp.ReplyInfo().Count());
  EXPECT_EQ("secret", snmp.ReplyInfo().Community());
}

// Replies captured from snmpd and snmpsimd (community "pewter", request-id 1).
TEST(DecodeMessage, CapturedSnmpdTimeTicksReply) {
  TSNMPInfo info(nullptr);
  info.SetCommunity("pewter");
  info.DecodeMessage(
      Hex("30280201000406706577746572a21b0201010201000201003010300e06082b0601020101030043020133"));
  EXPECT_EQ(162, info.PduType);
  EXPECT_EQ(1, info.RequestId);
  EXPECT_EQ(0, info.ErrStatus);
  ASSERT_EQ(1u, info.Count());
  EXPECT_EQ("1.3.6.1.2.1.1.3.0", info.OidAt(0));
  EXPECT_EQ("307", info.ValueAt(0));
  EXPECT_EQ(0x43, info.ValueTypeAt(0));
}

TEST(DecodeMessage, CapturedThreeBindingReply) {
  TSNMPInfo info(nullptr);
  info.SetCommunity("pewter");
  info.DecodeMessage(
      Hex("30560201000406706577746572a249020101020100020100303e300f06082b060102010103004303057e"
          "403015060d2b06010201041401017f00000140047f0000013014060a2b0601020102020106020406"
          "0a1b2c3d4e5f"));
  ASSERT_EQ(3u, info.Count());
  EXPECT_EQ("360000", info.ValueAt(0));
  EXPECT_EQ("1.3.6.1.2.1.4.20.1.1.127.0.0.1", info.OidAt(1));
  EXPECT_EQ("127.0.0.1", info.ValueAt(1));
  EXPECT_EQ(Hex("0a 1b 2c 3d 4e 5f"), info.ValueAt(2));
}

TEST(DecodeMessage, ErrorStatusReplyStillHasBindings) {
  TSNMPInfo info(nullptr);
  info.SetCommunity("pewter");
  info.DecodeMessage(
      Hex("30250201000406706577746572a218020101020102020101300d300b06072b0601020163000500"));
  EXPECT_EQ(2, info.ErrStatus);
  EXPECT_EQ(1, info.ErrIndex);
  ASSERT_EQ(1u, info.Count());
  EXPECT_EQ("1.3.6.1.2.1.99.0", info.OidAt(0));
  EXPECT_EQ(5, info.ValueTypeAt(0));
}

TEST(DecodeMessage, OtherCommunityResetsVersionButKeepsLaterFields) {
  TSNMPInfo info(nullptr);
  info.SetCommunity("public");
  info.DecodeMessage(
      Hex("30 1B 02 01 01 04 01 78 A2 13 02 01 05 02 01 00 02 01 00 30 08 30 06 "
          "06 01 2B 02 01 07"));
  EXPECT_EQ(0, info.Version);
  EXPECT_EQ("x", info.Community());
  EXPECT_EQ(5, info.RequestId);
  ASSERT_EQ(1u, info.Count());
  EXPECT_EQ("7", info.ValueAt(0));
}

TEST(DecodeMessage, RoundTripOfEncodedRecord) {
  TSNMPInfo sent(nullptr);
  sent.SetCommunity("pewter");
  sent.PduType = 0xA2;
  sent.RequestId = 123456;
  sent.AddVarBind("1.3.6.1.2.1.2.2.1.10.2", "4294967295", 0x41);
  sent.AddVarBind("1.3.6.1.2.1.1.1.0", std::string(300, 'x'), 4);
  TSNMPInfo received(nullptr);
  received.SetCommunity("pewter");
  received.DecodeMessage(sent.EncodeMessage());
  EXPECT_EQ(162, received.PduType);
  EXPECT_EQ(123456, received.RequestId);
  ASSERT_EQ(2u, received.Count());
  EXPECT_EQ("4294967295", received.ValueAt(0));
  EXPECT_EQ(std::string(300, 'x'), received.ValueAt(1));
}

// GetBulk requests as net-snmp's snmpbulkget -v2c -c public sends them.
struct TBulkRequestCase {
  const char* name;
  std::vector<std::string> oids;
  int32_t nonRepeaters, maxRepetitions, requestId;
  const char* octets;
};

class BulkRequestTest : public ::testing::TestWithParam<TBulkRequestCase> {};
TEST_P(BulkRequestTest, MatchesNetSnmp) {
  TSNMPInfo info(nullptr);
  info.SetCommunity("public");
  info.Version = SnmpVersion::V2c;
  info.PduType = SnmpTag::GetBulkRequest;
  info.RequestId = GetParam().requestId;
  info.ErrStatus = GetParam().nonRepeaters;
  info.ErrIndex = GetParam().maxRepetitions;
  for (const std::string& oid : GetParam().oids) info.AddVarBind(oid, "", SnmpTag::Null);
  EXPECT_TRUE(SameOctets(Hex(GetParam().octets), info.EncodeMessage()));
}
INSTANTIATE_TEST_SUITE_P(
    Codec, BulkRequestTest,
    ::testing::Values(
        TBulkRequestCase{"SysUpTimeTenRepetitions",
                         {"1.3.6.1.2.1.1.3.0"},
                         0,
                         10,
                         0x3FCF6CDC,
                         "302902010104067075626c6963a51c02043fcf6cdc02010002010a300e300c06082b06"
                         "0102010103000500"},
        TBulkRequestCase{
            "FiveColumns",
            {"1.3.6.1.2.1.31.1.1.1.1", "1.3.6.1.2.1.31.1.1.1.2", "1.3.6.1.2.1.31.1.1.1.6",
             "1.3.6.1.2.1.31.1.1.1.10", "1.3.6.1.2.1.2.2.1.10"},
            0,
            10,
            0x18EB795B,
            "306a02010104067075626c6963a55d020418eb795b02010002010a304f300e060a2b06"
            "0102011f010101010500300e060a2b060102011f010101020500300e060a2b06010201"
            "1f010101060500300e060a2b060102011f0101010a0500300d06092b06010201020201"
            "0a0500"},
        TBulkRequestCase{
            "OneNonRepeater",
            {"1.3.6.1.2.1.1.3.0", "1.3.6.1.6.3.16.1.5.2.1.6.6.95.110.111.110.101.95.1.1"},
            1,
            3,
            0x272261D5,
            "304302010104067075626c6963a5360204272261d50201010201033028300c06082b06"
            "0102010103000500301806142b06010603100105020106065f6e6f6e655f01010500"}),
    [](const auto& param) { return std::string(param.param.name); });

// Replies captured from snmpd to snmpbulkget and snmpget -v2c -c public.
const std::string kBulkCounter64Reply =
    "3081b802010104067075626c6963a281aa0204074628b202010002010030819b3013060b2b060102011f01010106"
    "014604010ce8ba3013060b2b060102011f0101010a014604010ce8ba3010060b2b060102011f01010106024601"
    "003010060b2b060102011f0101010a024601003010060b2b060102011f01010106034601003010060b2b060102"
    "011f0101010a034601003013060b2b060102011f0101010604460404b8548f3012060b2b060102011f0101010a"
    "044603029984";
const std::string kNoSuchReply =
    "304902010104067075626c6963a23c0204420a8851020100020100302e300e06082b0601020101030043020435"
    "300c06082b060102010163008000300e060a2b060102010202010a638100";
const std::string kEndOfMibViewReply =
    "306202010104067075626c6963a2550204272261d50201000201003047301006082b060102010104000404726f"
    "6f74301906142b06010603100105020106065f6e6f6e655f0102020101301806142b0601060310010502010606"
    "5f6e6f6e655f01028200";

TEST(DecodeMessage, CapturedV2cBulkReplyWithCounter64) {
  TSNMPInfo info(nullptr);
  info.SetCommunity("public");
  info.DecodeMessage(Hex(kBulkCounter64Reply));
  EXPECT_EQ(SnmpVersion::V2c, info.Version);
  EXPECT_EQ(SnmpTag::GetResponse, info.PduType);
  EXPECT_EQ(0x074628B2, info.RequestId);
  const std::vector<std::string> values = {"17623226", "17623226", "0",        "0",
                                           "0",        "0",        "79189135", "170372"};
  ASSERT_EQ(values.size(), info.Count());
  for (size_t i = 0; i < values.size(); ++i) {
    const std::string oid = std::string("1.3.6.1.2.1.31.1.1.1.") + (i % 2 == 0 ? "6." : "10.") +
                            std::to_string(i / 2 + 1);
    EXPECT_EQ(oid, info.OidAt(i));
    EXPECT_EQ(values[i], info.ValueAt(i));
    EXPECT_EQ(SnmpTag::Counter64, info.ValueTypeAt(i));
  }
}

struct TExceptionReplyCase {
  const char* name;
  const std::string* octets;
  std::vector<std::string> oids, values;
  std::vector<int32_t> types;
};

class ExceptionReplyTest : public ::testing::TestWithParam<TExceptionReplyCase> {};
TEST_P(ExceptionReplyTest, ExceptionsAreEmptyValuesAmongTheOthers) {
  TSNMPInfo info(nullptr);
  info.SetCommunity("public");
  info.DecodeMessage(Hex(*GetParam().octets));
  EXPECT_EQ(SnmpErrorStatus::NoError, info.ErrStatus);
  ASSERT_EQ(GetParam().oids.size(), info.Count());
  for (size_t i = 0; i < info.Count(); ++i) {
    EXPECT_EQ(GetParam().oids[i], info.OidAt(i));
    EXPECT_EQ(GetParam().values[i], info.ValueAt(i));
    EXPECT_EQ(GetParam().types[i], info.ValueTypeAt(i));
  }
}
INSTANTIATE_TEST_SUITE_P(
    Codec, ExceptionReplyTest,
    ::testing::Values(
        TExceptionReplyCase{"NoSuchObjectAndNoSuchInstance",
                            &kNoSuchReply,
                            {"1.3.6.1.2.1.1.3.0", "1.3.6.1.2.1.1.99.0", "1.3.6.1.2.1.2.2.1.10.99"},
                            {"1077", "", ""},
                            {SnmpTag::TimeTicks, SnmpTag::NoSuchObject, SnmpTag::NoSuchInstance}},
        TExceptionReplyCase{
            "EndOfMibView",
            &kEndOfMibViewReply,
            {"1.3.6.1.2.1.1.4.0", "1.3.6.1.6.3.16.1.5.2.1.6.6.95.110.111.110.101.95.1.2",
             "1.3.6.1.6.3.16.1.5.2.1.6.6.95.110.111.110.101.95.1.2"},
            {"root", "1", ""},
            {SnmpTag::OctetString, SnmpTag::Integer, SnmpTag::EndOfMibView}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(EncodePdu, IsThePduPartOfTheMessage) {
  TSNMPInfo info(nullptr);
  info.SetCommunity(kCommunity);
  info.AddVarBind("1.3.6.1.2.1.1.3.0", "", 4);
  info.PduType = SnmpTag::GetRequest;
  // 30 26, version 02 01 00, community 04 06 and six octets: the PDU starts at offset 13.
  EXPECT_TRUE(SameOctets(info.EncodeMessage().substr(13), info.EncodePdu()));
}

TEST(DecodePdu, ReadsWhatDecodeMessageReadsAndStopsAtThePdusEnd) {
  const std::string message = Hex(kBulkCounter64Reply);
  TSNMPInfo whole(nullptr);
  whole.SetCommunity("public");
  whole.DecodeMessage(message);
  // 30 81 B8, 02 01 01, 04 06 "public": the PDU starts at offset 14. A binding after it is not
  // the PDU's.
  TSNMPInfo pdu(nullptr);
  pdu.DecodePdu(message.substr(14) + Hex("30 05 06 01 2B 05 00"));
  EXPECT_EQ(whole.PduType, pdu.PduType);
  EXPECT_EQ(whole.RequestId, pdu.RequestId);
  ASSERT_EQ(whole.Count(), pdu.Count());
  for (size_t i = 0; i < pdu.Count(); ++i) {
    EXPECT_EQ(whole.OidAt(i), pdu.OidAt(i));
    EXPECT_EQ(whole.ValueAt(i), pdu.ValueAt(i));
  }
  EXPECT_THROW(pdu.DecodePdu(Hex("A2")), ERangeError);
}

TEST(DecodePdu, ReportRoundTrip) {
  TSNMPInfo sent(nullptr);
  sent.PduType = SnmpTag::Report;
  sent.RequestId = -5;
  sent.AddVarBind("1.3.6.1.6.3.15.1.1.4.0", "7", SnmpTag::Counter32);
  TSNMPInfo received(nullptr);
  received.DecodePdu(sent.EncodePdu());
  EXPECT_EQ(SnmpTag::Report, received.PduType);
  EXPECT_EQ(-5, received.RequestId);
  ASSERT_EQ(1u, received.Count());
  EXPECT_EQ("7", received.ValueAt(0));
}

// The record keeps its binding strings for the next message: nothing of a longer earlier one may
// show through.
TEST(TSNMPInfo, ReusedRecordHoldsOnlyTheNewBindings) {
  TSNMPInfo info(nullptr);
  info.SetCommunity("public");
  info.DecodeMessage(Hex(kBulkCounter64Reply));
  info.Reset();
  info.SetCommunity("public");
  info.DecodeMessage(Hex(kNoSuchReply));
  ASSERT_EQ(3u, info.Count());
  EXPECT_EQ("1.3.6.1.2.1.1.3.0", info.OidAt(0));
  EXPECT_EQ("1077", info.ValueAt(0));
  EXPECT_EQ("", info.ValueAt(1));
  EXPECT_THROW(info.ValueAt(3), std::out_of_range);
  info.Reset();
  info.AddVarBind("1.3", "a", SnmpTag::OctetString);
  TSNMPInfo fresh(nullptr);
  fresh.AddVarBind("1.3", "a", SnmpTag::OctetString);
  EXPECT_TRUE(SameOctets(fresh.EncodeMessage(), info.EncodeMessage()));
}

TEST(TSNMPInfo, AddVarBindTakesTheRecordsOwnTexts) {
  TSNMPInfo info(nullptr);
  const std::string oid = "1.3.6.1.2.1.1.1.0", value(40, 'v');
  info.AddVarBind(oid, value, SnmpTag::OctetString);
  for (size_t i = 0; i < 100; ++i) info.AddVarBind(info.OidAt(i), info.ValueAt(i), 4);
  EXPECT_EQ(oid, info.OidAt(100));
  EXPECT_EQ(value, info.ValueAt(100));
}

TEST(OidBytesToText, LongNameDecodesAsAShortOne) {
  std::string text = "1.3", octets = Hex("2B");
  for (int i = 0; i < 80; ++i) {
    text += ".127.16383";
    octets += Hex("7F FF 7F");
  }
  EXPECT_EQ(text, OidBytesToText(octets));
  EXPECT_TRUE(SameOctets(octets, OidTextToBytes(text)));
}

struct TMalformedCase {
  const char* name;
  const char* octets;
  bool raises;
  size_t bindings;
};

class MalformedMessageTest : public ::testing::TestWithParam<TMalformedCase> {};
TEST_P(MalformedMessageTest, EndsWithoutReadingPastTheEnd) {
  TSNMPInfo info(nullptr);
  info.SetCommunity("pewter");
  const std::string message = Hex(GetParam().octets);
  if (GetParam().raises) {
    try {
      info.DecodeMessage(message);
      ADD_FAILURE() << "no error raised";
    } catch (const ERangeError& error) {
      EXPECT_STREQ("Range check error", error.what());
    }
  } else {
    EXPECT_NO_THROW(info.DecodeMessage(message));
  }
  EXPECT_EQ(GetParam().bindings, info.Count());
}
INSTANTIATE_TEST_SUITE_P(
    Codec, MalformedMessageTest,
    ::testing::Values(
        TMalformedCase{"EmptyDatagram", "", true, 0}, TMalformedCase{"OneOctet", "30", true, 0},
        TMalformedCase{"TruncatedLongFormLength", "30 82 01", true, 0},
        TMalformedCase{"IndefiniteOuterLength", "30 80", false, 0},
        TMalformedCase{"OuterLengthClaimsMoreThanArrived", "30 7F 02 01 00", false, 0},
        TMalformedCase{"HugeOuterLengthNoContent", "30 84 FF FF FF FF", false, 0},
        TMalformedCase{"ItemLengthWrapsAround", "30 0A 02 84 FF FF FF FF 00 00 00 00", false, 0},
        TMalformedCase{"BindingCutAfterName",
                       "30 7F 02 01 00 04 06 70 65 77 74 65 72 A2 0D 02 01 01 02 01 00 02 01 00 "
                       "30 7F 30 7F 06 01 2B",
                       false, 1},
        TMalformedCase{"OidLastOctetHasHighBit",
                       "30 1D 02 01 00 04 06 70 65 77 74 65 72 A2 10 02 01 01 02 01 00 02 01 00 "
                       "30 05 30 03 06 01 81",
                       true, 0},
        TMalformedCase{"OidLaterArcCutShort",
                       "30 1E 02 01 00 04 06 70 65 77 74 65 72 A2 11 02 01 01 02 01 00 02 01 00 "
                       "30 06 30 04 06 02 2B 81",
                       true, 0},
        TMalformedCase{"LongFormLengthCutInValue",
                       "30 20 02 01 00 04 06 70 65 77 74 65 72 A2 13 02 01 01 02 01 00 02 01 00 "
                       "30 08 30 06 06 01 2B 46 82 01",
                       true, 0},
        TMalformedCase{"LengthCutInBinding",
                       "30 1C 02 01 00 04 06 70 65 77 74 65 72 A2 0F 02 01 01 02 01 00 02 01 00 "
                       "30 04 30 02 06 83",
                       true, 0}),
    [](const auto& param) { return std::string(param.param.name); });

}  // namespace
