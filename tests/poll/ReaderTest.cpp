#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "FakeClock.h"
#include "Oids.h"
#include "ScriptedTransport.h"
#include "SnmpReader.h"

// The reader and the requester on scripted replies and a clock the test moves.
namespace {

// A request as the agent reads it (read again in its own community, which keeps the version).
TSNMPInfo Asked(const std::string& datagram) {
  TSNMPInfo first(nullptr);
  first.DecodeMessage(datagram);
  TSNMPInfo asked(nullptr);
  asked.SetCommunity(first.Community());
  asked.DecodeMessage(datagram);
  return asked;
}

// The reply to a request with the given bindings (name, type), each valued "1".
std::string Reply(const std::string& request,
                  const std::vector<std::pair<std::string, int32_t>>& bindings) {
  const TSNMPInfo asked = Asked(request);
  TSNMPInfo reply(nullptr);
  reply.SetCommunity(asked.Community());
  reply.Version = asked.Version;
  reply.PduType = SnmpTag::GetResponse;
  reply.RequestId = asked.RequestId;
  for (const auto& [oid, type] : bindings) reply.AddVarBind(oid, "1", type);
  return reply.EncodeMessage();
}

class ReaderTest : public ::testing::Test {
 protected:
  ReaderTest() {
    Requester.TimeoutMs = 1000;
    Reader.Community = "pewter";
    Reader.Version = 1;
    Reader.StartConnection();
  }
  TFakeClock Clock;
  TScriptedMib Mib;
  TScriptedTransport Transport{Mib, Clock};
  TRequester Requester{Transport, Clock};
  TSnmpReader Reader{Requester};
};

struct TBulkCase {
  const char* name;
  int rows;
  int requesterBuffer;               // a reply longer than this is tooBig
  std::vector<int32_t> repetitions;  // max-repetitions of each GetBulk, in order
};

class BulkWalk : public ReaderTest, public ::testing::WithParamInterface<TBulkCase> {};

// One column in GetBulk steps of as many rows as the buffer takes (20 at 1160 octets); a reply
// too big halves them.
TEST_P(BulkWalk, AsksForAsManyRowsAsFitAndGetsEachOnce) {
  FillHost(Mib, GetParam().rows);
  Reader.BufferSize = 1160;
  Requester.BufferSize = GetParam().requesterBuffer;
  std::vector<std::string> names;
  Reader.WalkColumns({Oids::IfDescr}, [&names](const TWalkTable& table) {
    for (const TWalkRow& row : table.at(0)) names.push_back(row.Value.Text);
  });
  Clock.Settle();
  std::vector<int32_t> repetitions;
  for (const std::string& datagram : Transport.Sent) {
    const TSNMPInfo asked = Asked(datagram);
    EXPECT_EQ(asked.PduType, SnmpTag::GetBulkRequest);
    EXPECT_EQ(asked.ErrStatus, 0);  // non-repeaters
    repetitions.push_back(asked.ErrIndex);
  }
  EXPECT_EQ(repetitions, GetParam().repetitions);
  ASSERT_EQ(names.size(), static_cast<size_t>(GetParam().rows));
  for (int i = 0; i < GetParam().rows; ++i) EXPECT_EQ(names[i], "eth" + std::to_string(i + 1));
}

INSTANTIATE_TEST_SUITE_P(Reader, BulkWalk,
                         ::testing::Values(TBulkCase{"FromTheBuffer", 45, 8192, {20, 20, 20}},
                                           TBulkCase{
                                               "TooBigHalves", 45, 400, {20, 10, 10, 10, 10, 10}}),
                         [](const auto& test) { return std::string(test.param.name); });

// Two columns in turn: one that repeats a name ends there, the other goes on.
TEST_F(ReaderTest, ABulkWalkEndsAColumnAtARepeatedName) {
  const std::string a = "1.3.6.1.2.1.2.2.1.2", b = "1.3.6.1.2.1.2.2.1.3";
  Transport.Agent = [&](const std::string& request) {
    if (Transport.Sent.size() > 1) return Reply(request, {{a + ".4", SnmpTag::EndOfMibView}});
    return Reply(request, {{a + ".1", SnmpTag::OctetString},
                           {b + ".1", SnmpTag::Integer},
                           {a + ".2", SnmpTag::OctetString},
                           {b + ".1", SnmpTag::Integer},
                           {a + ".3", SnmpTag::OctetString},
                           {b + ".2", SnmpTag::Integer}});
  };
  std::vector<std::vector<std::string>> indexes;
  Reader.WalkColumns({a, b}, [&indexes](const TWalkTable& table) {
    for (const auto& column : table) {
      std::vector<std::string>& these = indexes.emplace_back();
      for (const TWalkRow& row : column) these.push_back(row.Index);
    }
  });
  Clock.Settle();
  EXPECT_EQ(indexes, (std::vector<std::vector<std::string>>{{"1", "2", "3"}, {"1"}}));
  ASSERT_EQ(Transport.Sent.size(), 2u);
  EXPECT_EQ(Asked(Transport.Sent[1]).OidAt(0), a + ".3");  // only the open column is asked on
}

// A table that goes on past two replies is walked on in two chains of two columns, each
// asking as many bindings a request as before; a column that ends early ends only its own. Every
// request asks for sysUpTime first, and a row carries the one its reply gave.
TEST_F(ReaderTest, ALongBulkWalkGoesOnInChainsAndStampsRowsWithTheirUpTime) {
  FillHost(Mib, 60);
  for (int i = 31; i <= 60; ++i) Mib.Remove(Oids::Instance(Oids::IfHCOutOctets, i));
  Reader.BufferSize = 200 + 20 * 48;  // five rows of four columns, then ten of two
  int ticks = 0;
  Transport.Agent = [&](const std::string& request) {
    Mib.Set(Oids::SysUpTime, 0x43, std::to_string(++ticks));
    return Mib.Answer(request);
  };
  const std::vector<std::string> columns = {Oids::IfHCInOctets, Oids::IfHCOutOctets, Oids::IfName,
                                            Oids::IfHighSpeed};
  int walks = 0;
  TWalkTable table;
  Reader.WalkColumns(
      columns,
      [&](TWalkTable rows) {
        ++walks;
        table = std::move(rows);
      },
      2, true);
  Clock.Settle();
  ASSERT_EQ(walks, 1);
  ASSERT_EQ(table.size(), 4u);
  for (size_t c = 0; c < 4; ++c) {
    const size_t rows = c == 1 ? 30 : 60;
    ASSERT_EQ(table[c].size(), rows) << columns[c];
    for (size_t r = 0; r < rows; ++r) {
      EXPECT_EQ(table[c][r].Oid, columns[c] + "." + std::to_string(r + 1));
      EXPECT_TRUE(table[c][r].UpTime.Ok());
    }
  }
  // Both counters of a row came in one reply.
  for (size_t r = 0; r < 30; ++r) EXPECT_EQ(table[0][r].UpTime.Text, table[1][r].UpTime.Text);
  EXPECT_NE(table[0][0].UpTime.Text, table[0][59].UpTime.Text);
  // Two requests of the whole walk, then the rest in steps of ten in each chain, one past the end.
  std::vector<std::pair<size_t, int32_t>> asked;
  for (const std::string& datagram : Transport.Sent) {
    const TSNMPInfo request = Asked(datagram);
    EXPECT_EQ(request.ErrStatus, 1);  // non-repeaters
    EXPECT_EQ(request.OidAt(0), "1.3.6.1.2.1.1.3");
    asked.emplace_back(request.Count() - 1, request.ErrIndex);
  }
  ASSERT_EQ(asked.size(), 14u);
  EXPECT_EQ(asked[0], std::make_pair(size_t{4}, 5));
  EXPECT_EQ(asked[1], std::make_pair(size_t{4}, 5));
  for (size_t n = 2; n < asked.size(); ++n) EXPECT_EQ(asked[n].second, 10) << n;
}

// Batches go out four at a time; their values reach each in the items' order, whatever order
// the replies come in. Names the agent does not have are no values.
TEST_F(ReaderTest, ReadsBatchesSideBySideAndHandsValuesInOrder) {
  FillHost(Mib, 50);
  Reader.BufferSize = 200 + 10 * 48;  // ten bindings a request: the up-time and nine counters
  Reader.StartConnection();
  Transport.Agent = [](const std::string&) { return std::string(); };
  std::vector<TItemRead> items;
  for (int i = 1; i <= 50; ++i) {
    items.push_back({{Oids::SysUpTime, Oids::Instance(Oids::IfInOctets, i == 7 ? 999 : i)}, {}});
  }
  items[7].Oids[1] = "1.3.6.1.4.1.99999.1.0";
  std::vector<std::pair<size_t, TItemValues>> handed;
  bool done = false;
  Reader.Read(
      items,
      [&handed](size_t item, const TItemValues& values) { handed.emplace_back(item, values); },
      [&done](std::exception_ptr error) { done = !error; });
  Clock.Settle();
  ASSERT_EQ(Transport.Sent.size(), 4u);
  for (size_t i : {3, 2, 1}) Transport.Inject(Mib.Answer(Transport.Sent[i]));
  Clock.Settle();
  // Their places went to the last two batches; nothing is handed before the first is in.
  EXPECT_TRUE(handed.empty());
  ASSERT_EQ(Transport.Sent.size(), 6u);
  for (size_t i : {5, 0}) Transport.Inject(Mib.Answer(Transport.Sent[i]));
  Clock.Settle();
  EXPECT_EQ(handed.size(), 36u);
  EXPECT_FALSE(done);
  Transport.Inject(Mib.Answer(Transport.Sent[4]));
  Clock.Settle();
  ASSERT_TRUE(done);
  ASSERT_EQ(handed.size(), 50u);
  for (size_t i = 0; i < 50; ++i) {
    EXPECT_EQ(handed[i].first, i);
    EXPECT_EQ(handed[i].second.at(0).Text, "100000");
    if (i == 6 || i == 7) {  // no such instance, no such object
      EXPECT_EQ(handed[i].second.at(1).State, TValueState::NoValue);
    } else {
      EXPECT_EQ(handed[i].second.at(1).Text, std::to_string(1000 * (i + 1)));
    }
  }
  EXPECT_EQ(Reader.Run().Requests, 6);
  EXPECT_EQ(Reader.Run().Answers, 6);
}

struct TRowCase {
  const char* name;
  int limit;            // requests in flight
  const char* replies;  // per request in the order sent: a(nswered) or t(imed out)
  bool abandoned;
};

class TimeOutsInARow : public ReaderTest, public ::testing::WithParamInterface<TRowCase> {};

// Two time-outs in a row are two requests sent since the last answer came that went unanswered.
TEST_P(TimeOutsInARow, CountOnlyRequestsSentSinceTheLastAnswer) {
  Requester.InFlightLimit = GetParam().limit;
  const std::string replies = GetParam().replies;
  Transport.Agent = [&](const std::string& request) {
    return replies.at(Transport.Sent.size() - 1) == 'a' ? Mib.Answer(request) : std::string();
  };
  FillHost(Mib, 1);
  for (size_t i = 0; i < replies.size(); ++i) {
    TSNMPInfo request(nullptr);
    request.SetCommunity("pewter");
    request.Version = 1;
    request.PduType = SnmpTag::GetRequest;
    request.AddVarBind(Oids::SysUpTime, "", SnmpTag::Null);
    Requester.Send(request, [](const TSnmpResult&) {});
  }
  Clock.Advance(10000);
  EXPECT_TRUE(Requester.Idle());
  EXPECT_EQ(Requester.Run().Abandoned, GetParam().abandoned);
}

INSTANTIATE_TEST_SUITE_P(Requester, TimeOutsInARow,
                         ::testing::Values(TRowCase{"OneByOneBrokenByAnswers", 1, "tatat", false},
                                           TRowCase{"OneByOneTwoInARow", 1, "atta", true},
                                           TRowCase{"SideBySideLost", 4, "tata", false},
                                           TRowCase{"SideBySideSentBeforeAnswers", 4, "aatt",
                                                    false},
                                           TRowCase{"SideBySideSilent", 4, "tttt", true}),
                         [](const auto& test) { return std::string(test.param.name); });

// SNMPv3: the first request discovers the engine alone; the others follow once it is known.
TEST_F(ReaderTest, SnmpVersionThreeDiscoversTheEngineBeforeRequestsGoOutTogether) {
  Requester.Session.SetSecurity(
      std::make_shared<TUsmPeer>(TUsmUser{"corvane-none", TUsmSecurityLevel::NoAuthNoPriv,
                                          TUsmAuthProtocol::None, TUsmPrivProtocol::None, "", ""}));
  Requester.InFlightLimit = 4;
  Transport.Silent = true;
  for (int i = 0; i < 3; ++i) {
    TSNMPInfo request(nullptr);
    request.PduType = SnmpTag::GetRequest;
    request.AddVarBind(Oids::SysUpTime, "", SnmpTag::Null);
    Requester.Send(request, [](const TSnmpResult&) {});
  }
  ASSERT_EQ(Transport.Sent.size(), 1u);
  const std::string engine = std::string("\x80\x00\x1f\x88\x04", 5) + "agent";
  TSNMPInfo report(nullptr);
  report.PduType = SnmpTag::Report;
  report.AddVarBind(
      "1.3.6.1.6.3.15.1.1." + std::to_string(static_cast<int>(TUsmReport::UnknownEngineId)) + ".0",
      "1", SnmpTag::Counter32);
  TV3Message message;
  message.msgId = DecodeV3Message(Transport.Sent[0]).msgId;
  message.usm = {engine, 1, 100, "", "", ""};
  Transport.Inject(
      SealV3Message(message, EncodeScopedPdu({engine, "", report.EncodePdu()}), {}, 0));
  Clock.Settle();
  ASSERT_EQ(Transport.Sent.size(), 4u);  // the first request again, and the two that waited
  for (size_t i = 1; i < 4; ++i) EXPECT_EQ(DecodeV3Message(Transport.Sent[i]).usm.engineId, engine);
}

}  // namespace
