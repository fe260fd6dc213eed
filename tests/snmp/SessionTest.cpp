#include <gtest/gtest.h>

#include <string>

#include "SnmpSession.h"

namespace {

using std::chrono::milliseconds;

TSNMPInfo Get(const std::string& oid) {
  TSNMPInfo query(nullptr);
  query.SetCommunity("pewter");
  query.PduType = SnmpTag::GetRequest;
  query.AddVarBind(oid, "", SnmpTag::OctetString);
  return query;
}

std::string Response(int32_t requestId, const std::string& value) {
  TSNMPInfo reply(nullptr);
  reply.SetCommunity("pewter");
  reply.PduType = SnmpTag::GetResponse;
  reply.RequestId = requestId;
  reply.AddVarBind("1.3.6.1.2.1.1.3.0", value, SnmpTag::TimeTicks);
  return reply.EncodeMessage();
}

TEST(Session, RequestIdsAreFreshAndWrapBeforeTheSignBit) {
  TSnmpSession session(2147483646);
  TSNMPInfo query = Get("1.3.6.1.2.1.1.3.0");
  std::vector<int32_t> ids;
  for (int i = 0; i < 3; ++i) {
    const std::string datagram = session.Start(query, milliseconds(0), milliseconds(10));
    EXPECT_EQ(datagram, query.Packet);
    ids.push_back(query.RequestId);
  }
  EXPECT_EQ(ids, (std::vector<int32_t>{2147483646, 2147483647, 1}));
}

TEST(Session, MatchesRepliesDropsStrangersAndTimesOutTheRest) {
  TSnmpSession session(100);
  TSNMPInfo first = Get("1.3.6.1.2.1.1.3.0");
  TSNMPInfo second = Get("1.3.6.1.2.1.1.5.0");
  session.Start(first, milliseconds(1000), milliseconds(5000));
  session.Start(second, milliseconds(2000), milliseconds(5000));
  EXPECT_EQ(session.NextDeadline(), milliseconds(6000));

  TSNMPInfo reply(nullptr);
  EXPECT_EQ(session.OnDatagram(Response(99, "1"), reply), std::nullopt);  // a late one
  EXPECT_EQ(session.OnDatagram(std::string("\x30\x03\x02", 3), reply), std::nullopt);
  EXPECT_EQ(session.OnDatagram("", reply), std::nullopt);
  const auto received = session.OnDatagram(Response(101, "42"), reply);
  ASSERT_TRUE(received);
  EXPECT_EQ(received->RequestId, 101);
  EXPECT_EQ(received->Kind, TSnmpReceived::Reply);
  EXPECT_EQ(reply.ValueAt(0), "42");
  EXPECT_EQ(session.OnDatagram(Response(101, "42"), reply), std::nullopt);  // answered already

  EXPECT_TRUE(session.OnTick(milliseconds(5999)).empty());
  EXPECT_EQ(session.OnTick(milliseconds(6000)), std::vector<int32_t>{100});
  EXPECT_TRUE(session.Idle());
  EXPECT_EQ(session.OnDatagram(Response(100, "7"), reply), std::nullopt);
}

TEST(Session, CancelledRequestsFindNothingToComplete) {
  TSnmpSession session(7);
  TSNMPInfo query = Get("1.3.6.1.2.1.1.3.0");
  session.Start(query, milliseconds(0), milliseconds(5000));
  session.Cancel();
  TSNMPInfo reply(nullptr);
  EXPECT_EQ(session.OnDatagram(Response(7, "1"), reply), std::nullopt);
  EXPECT_TRUE(session.OnTick(milliseconds(10000)).empty());
  EXPECT_EQ(session.NextDeadline(), std::nullopt);
}

}  // namespace
