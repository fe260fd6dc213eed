#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "IdSNMP.h"
#include "SnmpAgents.h"
#include "SnmpSimFixture.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

void PrepareGet(TIdSNMP& snmp, const std::string& oid) {
  snmp.QueryInfo().Reset();
  snmp.QueryInfo().AddVarBind(oid, "", 4);
  snmp.QueryInfo().PduType = 0xA0;
}

// A GetResponse to request carrying the given request-id and one OCTET STRING value.
std::string Reply(const std::string& request, int32_t requestId, const std::string& value) {
  TSNMPInfo decoded(nullptr);
  decoded.DecodeMessage(request);
  TSNMPInfo reply(nullptr);
  reply.SetCommunity(decoded.Community());
  reply.PduType = 0xA2;
  reply.RequestId = requestId;
  reply.AddVarBind(decoded.OidAt(0), value, 4);
  return reply.EncodeMessage();
}

int32_t RequestIdOf(const std::string& request) {
  TSNMPInfo decoded(nullptr);
  decoded.DecodeMessage(request);
  return decoded.RequestId;
}

using AgainstSnmpSim = TSnmpSimSuite;

TEST_F(AgainstSnmpSim, GetRequestReadsTheValue) {
  PrepareGet(snmp_, "1.3.6.1.2.1.2.2.1.10.2");
  ASSERT_TRUE(snmp_.ExchangeQuery());
  EXPECT_EQ(162, snmp_.ReplyInfo().PduType);
  EXPECT_EQ(snmp_.QueryInfo().RequestId, snmp_.ReplyInfo().RequestId);
  ASSERT_EQ(1u, snmp_.ReplyInfo().Count());
  EXPECT_EQ("1.3.6.1.2.1.2.2.1.10.2", snmp_.ReplyInfo().OidAt(0));
  EXPECT_EQ("4294967295", snmp_.ReplyInfo().ValueAt(0));
  EXPECT_EQ("127.0.0.1", snmp_.QueryInfo().TargetHost);
  EXPECT_EQ(agent_->Port(), snmp_.QueryInfo().TargetPort);
}

TEST_F(AgainstSnmpSim, ErrorStatusGivesFalseWithBindingsReadable) {
  PrepareGet(snmp_, "1.3.6.1.2.1.99.0");
  EXPECT_FALSE(snmp_.ExchangeQuery());
  EXPECT_EQ(2, snmp_.ReplyInfo().ErrStatus);
  ASSERT_EQ(1u, snmp_.ReplyInfo().Count());
  EXPECT_EQ("1.3.6.1.2.1.99.0", snmp_.ReplyInfo().OidAt(0));
}

TEST_F(AgainstSnmpSim, LocalhostInAnyCaseReachesTheAgent) {
  snmp_.SetHost("LocalHost");
  PrepareGet(snmp_, "1.3.6.1.2.1.1.5.0");
  ASSERT_TRUE(snmp_.ExchangeQuery());
  EXPECT_EQ("pewter-host", snmp_.ReplyInfo().ValueAt(0));
}

TEST_F(AgainstSnmpSim, ExchangesUseFreshPositiveRequestIds) {
  PrepareGet(snmp_, "1.3.6.1.2.1.1.3.0");
  ASSERT_TRUE(snmp_.ExchangeQuery());
  const int32_t first = snmp_.QueryInfo().RequestId;
  PrepareGet(snmp_, "1.3.6.1.2.1.1.3.0");
  ASSERT_TRUE(snmp_.ExchangeQuery());
  EXPECT_GT(first, 0);
  EXPECT_GT(snmp_.QueryInfo().RequestId, 0);
  EXPECT_NE(first, snmp_.QueryInfo().RequestId);
}

TEST(Exchange, NoAgentGivesFalseAfterTheTimeout) {
  TIdSNMP snmp;
  AimAt(snmp, FreeUdpPort(), 300);
  PrepareGet(snmp, "1.3.6.1.2.1.1.3.0");
  const auto start = Clock::now();
  EXPECT_FALSE(snmp.ExchangeQuery());
  EXPECT_GE(MillisecondsSince(start), 250);
  EXPECT_EQ(0u, snmp.ReplyInfo().Count());
  EXPECT_TRUE(snmp.ReplyInfo().Packet.empty());
  EXPECT_EQ("", snmp.QueryInfo().TargetHost);
  EXPECT_EQ(0, snmp.QueryInfo().TargetPort);
}

TEST(Exchange, LateRepliesJunkAndOtherPortsAreDropped) {
  TFakeUdpAgent agent([](const std::string& request) {
    const int32_t id = RequestIdOf(request);
    return TFakeUdpAgent::TOutgoing{
        {Reply(request, id - 1, "stale"), "\x30", std::string(9000, 'x'),
         Reply(request, id + 1, std::string(9000, 'x')), Reply(request, id, "fresh")},
        {Reply(request, id, "forged")}};
  });
  TIdSNMP snmp;
  AimAt(snmp, agent.Port(), 2000);
  for (int round = 0; round < 2; ++round) {
    PrepareGet(snmp, "1.3.6.1.2.1.1.5.0");
    ASSERT_TRUE(snmp.ExchangeQuery());
    ASSERT_EQ(1u, snmp.ReplyInfo().Count());
    EXPECT_EQ("fresh", snmp.ReplyInfo().ValueAt(0));
  }
}

TEST(Exchange, OnlyMismatchedRepliesEndInTheTimeout) {
  TFakeUdpAgent agent([](const std::string& request) {
    return std::vector<std::string>{Reply(request, RequestIdOf(request) + 1, "other")};
  });
  TIdSNMP snmp;
  AimAt(snmp, agent.Port(), 300);
  PrepareGet(snmp, "1.3.6.1.2.1.1.5.0");
  EXPECT_FALSE(snmp.ExchangeQuery());
  EXPECT_EQ(0u, snmp.ReplyInfo().Count());
}

TEST(Exchange, ReplyLongerThanTheBufferIsTooBig) {
  TFakeUdpAgent agent([](const std::string& request) {
    return std::vector<std::string>{Reply(request, RequestIdOf(request), std::string(9000, 'x'))};
  });
  TIdSNMP snmp;
  AimAt(snmp, agent.Port(), 2000);
  PrepareGet(snmp, "1.3.6.1.2.1.1.5.0");
  EXPECT_FALSE(snmp.ExchangeQuery());
  EXPECT_EQ(SnmpErrorStatus::TooBig, snmp.ReplyInfo().ErrStatus);
  EXPECT_EQ(0u, snmp.ReplyInfo().Count());
}

TEST(Exchange, UnresolvableHostIsHostNotFound) {
  TIdSNMP snmp;
  snmp.SetHost("no..such..host");  // malformed: fails without asking a name server
  PrepareGet(snmp, "1.3.6.1.2.1.1.3.0");
  try {
    snmp.ExchangeQuery();
    FAIL() << "no error raised";
  } catch (const EIdSocketError& error) {
    EXPECT_EQ(11001, error.LastError);
    EXPECT_STREQ("Socket Error # 11001\r\nHost not found.", error.what());
  }
}

TEST(Exchange, PortOutsideRangeIsARangeError) {
  TIdSNMP snmp;
  snmp.SetHost("127.0.0.1");
  snmp.SetPort(70000);
  PrepareGet(snmp, "1.3.6.1.2.1.1.3.0");
  EXPECT_THROW(snmp.ExchangeQuery(), ERangeError);
}

TEST(Exchange, ReceiveWithoutSocketIsClosedGracefully) {
  TIdSNMP snmp;
  std::string host;
  int32_t port = 0;
  EXPECT_THROW(snmp.ReceiveDatagram(host, port, 10), EIdConnClosedGracefully);
}

TEST(ResolveHost, OnlyNamesGoToTheLookup) {
  std::vector<std::string> looked;
  const THostLookup lookup = [&looked](const std::string& host) {
    looked.push_back(host);
    return std::string("192.0.2.1");
  };
  EXPECT_EQ("127.0.0.1", TIdStack::ResolveHost("LOCALHOST", lookup));
  EXPECT_EQ("127.0.0.1", TIdStack::ResolveHost("localhost", lookup));
  EXPECT_EQ("10.0.0.255", TIdStack::ResolveHost("10.0.0.255", lookup));
  EXPECT_TRUE(looked.empty());
  for (const char* name : {"10.0.0.300", "10.0.0", "10.0.0.1.2", "10..0.1", "agent"}) {
    EXPECT_EQ("192.0.2.1", TIdStack::ResolveHost(name, lookup));
  }
  EXPECT_EQ(5u, looked.size());
}

TEST(SocketErrors, LinuxErrnoMapsToBsdNumbering) {
  EXPECT_EQ(10054, TIdStack::TranslateErrno(ECONNRESET));
  EXPECT_EQ(10040, TIdStack::TranslateErrno(EMSGSIZE));
  EXPECT_EQ(10061, TIdStack::TranslateErrno(ECONNREFUSED));
  EXPECT_EQ(10035, TIdStack::TranslateErrno(EAGAIN));
  EXPECT_EQ(10065, TIdStack::TranslateErrno(EHOSTUNREACH));
  EXPECT_EQ(10038, TIdStack::TranslateErrno(ENOTSOCK));
}

TEST(SocketErrors, NotASocketHasItsOwnClassAndUnknownCodesAnEmptyText) {
  EXPECT_THROW(RaiseSocketError(10038), EIdNotASocket);
  EXPECT_EQ("Socket Error # 12345\r\n", SocketErrorMessage(12345));
}

}  // namespace
