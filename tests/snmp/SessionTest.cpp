#include <gtest/gtest.h>

#include <memory>
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

std::string Response(int32_t requestId, const std::string& value,
                     const std::string& community = "pewter") {
  TSNMPInfo reply(nullptr);
  reply.SetCommunity(community);
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
  EXPECT_EQ(session.OnDatagram(Response(101, "6", "public"), reply), std::nullopt);
  EXPECT_EQ(session.OnDatagram(std::string("\x30\x03\x02", 3), reply), std::nullopt);
  EXPECT_EQ(session.OnDatagram("", reply), std::nullopt);
  const auto received = session.OnDatagram(Response(101, "42"), reply);
  ASSERT_TRUE(received);
  EXPECT_EQ(received->RequestId, 101);
  EXPECT_EQ(received->Kind, TSnmpReceived::Reply);
  EXPECT_EQ(reply.ValueAt(0), "42");
  EXPECT_EQ(session.OnDatagram(Response(101, "42"), reply), std::nullopt);  // answered already

  EXPECT_TRUE(session.OnTick(milliseconds(5999)).empty());
  const auto ended = session.OnTick(milliseconds(6000));
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].RequestId, 100);
  EXPECT_EQ(ended[0].Kind, TSnmpReceived::TimedOut);
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

// --- SNMPv3, against an agent's side built with the codec ---

const std::string kSysUpTime = "1.3.6.1.2.1.1.3.0";
// An engine ID in the form of RFC 3411 (enterprise 8072, text).
const std::string kEngineA = std::string("\x80\x00\x1f\x88\x04", 5) + "agent-a";

// The keys of user corvane-auth (SHA) at an engine.
TUsmKeys AuthKeys(const std::string& engineId, const std::string& passphrase = "pewter-auth-sha") {
  TUsmKeys keys;
  keys.auth = TUsmAuthProtocol::Sha1;
  keys.authKey = LocalizeKey(keys.auth, PassphraseToKey(keys.auth, passphrase), engineId);
  return keys;
}

std::shared_ptr<TUsmPeer> AuthPeer() {
  return std::make_shared<TUsmPeer>(TUsmUser{"corvane-auth", TUsmSecurityLevel::AuthNoPriv,
                                             TUsmAuthProtocol::Sha1, TUsmPrivProtocol::None,
                                             "pewter-auth-sha", ""});
}

// An agent's engine (boots 1, time 100) answering request datagrams.
struct TFakeEngine {
  std::string Id;

  // A message answering request with the PDU at the flags, signed with keys where they say so.
  static std::string Answer(const std::string& request, TSNMPInfo& pdu, uint8_t flags,
                            const TUsmKeys& keys, const std::string& engineId) {
    const TV3Message asked = DecodeV3Message(request);
    TSNMPInfo askedPdu(nullptr);
    askedPdu.DecodePdu(DecodeScopedPdu(asked.data).pdu);
    pdu.RequestId += askedPdu.RequestId;
    TV3Message message;
    message.msgId = asked.msgId;
    message.flags = flags;
    message.usm = {engineId, 1, 100, flags != 0 ? "corvane-auth" : "", "", ""};
    return SealV3Message(message, EncodeScopedPdu({engineId, "", pdu.EncodePdu()}), keys, 0);
  }
  // A report, plain or signed, from this engine or one claiming another ID.
  std::string Report(const std::string& request, TUsmReport kind, uint8_t flags = 0,
                     const TUsmKeys& keys = {}, const std::string& engineId = "") const {
    TSNMPInfo pdu(nullptr);
    pdu.PduType = SnmpTag::Report;
    pdu.AddVarBind("1.3.6.1.6.3.15.1.1." + std::to_string(static_cast<int>(kind)) + ".0", "1",
                   SnmpTag::Counter32);
    return Answer(request, pdu, flags, keys, engineId.empty() ? Id : engineId);
  }
  // A response signed with the user's keys.
  std::string Response(const std::string& request, const std::string& value,
                       int32_t requestIdShift = 0) const {
    TSNMPInfo pdu(nullptr);
    pdu.PduType = SnmpTag::GetResponse;
    pdu.RequestId = requestIdShift;
    pdu.AddVarBind(kSysUpTime, value, SnmpTag::TimeTicks);
    return Answer(request, pdu, UsmFlag::Auth, AuthKeys(Id), Id);
  }
  // Discovery of this engine for a request just started: the request as it goes out again.
  std::string Discover(TSnmpSession& session, const std::string& discovery) const {
    TSNMPInfo reply(nullptr);
    const auto resend = session.OnDatagram(Report(discovery, TUsmReport::UnknownEngineId), reply);
    EXPECT_TRUE(resend && resend->Kind == TSnmpReceived::Resend);
    return resend ? resend->Datagram : std::string();
  }
};

// A response below the level of its request: no digest at all.
std::string Unsigned(const std::string& request) {
  TSNMPInfo pdu(nullptr);
  pdu.PduType = SnmpTag::GetResponse;
  pdu.AddVarBind(kSysUpTime, "7", SnmpTag::TimeTicks);
  return TFakeEngine::Answer(request, pdu, 0, {}, kEngineA);
}

// A session of user corvane-auth and the agent it talks to.
class SessionV3 : public ::testing::Test {
 protected:
  SessionV3() { session.SetSecurity(AuthPeer()); }
  TSnmpSession session{50};
  const TFakeEngine agent{kEngineA};
  TSNMPInfo query = Get(kSysUpTime);
  TSNMPInfo reply{nullptr};
};

TEST_F(SessionV3, OnlyTheDiscoveryTeachesTheEngineAndReportsEndNoRequest) {
  const std::string discovery = session.Start(query, milliseconds(0), milliseconds(5000));
  // An engine ID of one octet is none (they have 5 to 32).
  EXPECT_EQ(session.OnDatagram(
                agent.Report(discovery, TUsmReport::UnknownEngineId, 0, {}, std::string(1, '\x01')),
                reply),
            std::nullopt);
  EXPECT_FALSE(session.Security()->Discovered());
  const std::string request = agent.Discover(session, discovery);

  // Another engine's ID, a report signed with a key not the user's (as snmpsim signs its
  // wrongDigest report), a response to another request-id and one without the authentication
  // asked for: none ends the request.
  for (const std::string& forged :
       {agent.Report(request, TUsmReport::UnknownEngineId, 0, {}, "another-engine"),
        agent.Report(request, TUsmReport::WrongDigest, UsmFlag::Auth,
                     AuthKeys(agent.Id, "not-the-passphrase")),
        agent.Response(request, "7", 1), Unsigned(request)}) {
    EXPECT_EQ(session.OnDatagram(forged, reply), std::nullopt);
  }
  EXPECT_EQ(session.Security()->Engine().id, agent.Id);
  const auto received = session.OnDatagram(agent.Response(request, "42"), reply);
  ASSERT_TRUE(received);
  EXPECT_EQ(received->Kind, TSnmpReceived::Reply);
  EXPECT_EQ(reply.ValueAt(0), "42");

  // Only a report came: it is told when the deadline comes.
  const std::string next = session.Start(query, milliseconds(1000), milliseconds(5000));
  EXPECT_EQ(session.OnDatagram(agent.Report(next, TUsmReport::WrongDigest), reply), std::nullopt);
  EXPECT_TRUE(session.OnTick(milliseconds(5999)).empty());
  const auto ended = session.OnTick(milliseconds(6000));
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].Kind, TSnmpReceived::Report);
  EXPECT_EQ(ended[0].ReportKind, TUsmReport::WrongDigest);
}

// A request sent again gets a deadline of its own, and the agent's clock is learnt from its
// report once: a second notInTimeWindow report is told when the deadline comes.
TEST_F(SessionV3, ARequestSentAgainWaitsAFullTimeOutAndOnlyOnceForTheClock) {
  const std::string discovery = session.Start(query, milliseconds(0), milliseconds(5000));
  const auto request = session.OnDatagram(agent.Report(discovery, TUsmReport::UnknownEngineId),
                                          reply, milliseconds(3000));
  ASSERT_TRUE(request && request->Kind == TSnmpReceived::Resend);
  EXPECT_EQ(session.NextDeadline(), milliseconds(8000));
  const auto clock = [&](const std::string& datagram, int64_t now) {
    return session.OnDatagram(
        agent.Report(datagram, TUsmReport::NotInTimeWindow, UsmFlag::Auth, AuthKeys(agent.Id)),
        reply, milliseconds(now));
  };
  const auto again = clock(request->Datagram, 4000);
  ASSERT_TRUE(again && again->Kind == TSnmpReceived::Resend);
  EXPECT_EQ(session.NextDeadline(), milliseconds(9000));
  EXPECT_EQ(clock(again->Datagram, 4500), std::nullopt);
  EXPECT_TRUE(session.OnTick(milliseconds(8999)).empty());
  const auto ended = session.OnTick(milliseconds(9000));
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].Kind, TSnmpReceived::Report);
  EXPECT_EQ(ended[0].ReportKind, TUsmReport::NotInTimeWindow);
}

}  // namespace
