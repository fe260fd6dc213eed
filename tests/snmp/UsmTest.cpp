#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "SnmpAgents.h"
#include "SnmpInfo.h"
#include "Usm.h"

namespace {

std::string Hex(std::string hex) {
  std::erase(hex, ' ');
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

const std::string kRfcEngine = Hex("00 00 00 00 00 00 00 00 00 00 00 02");

struct TKeyCase {
  const char* name;
  TUsmAuthProtocol protocol;
  const char* ku;  // empty where only the localized key is known
  const char* kul;
};

class KeyTest : public ::testing::TestWithParam<TKeyCase> {};
TEST_P(KeyTest, PassphraseMaplesyrupLocalizedToEngineTwo) {
  const std::string ku = PassphraseToKey(GetParam().protocol, "maplesyrup");
  if (*GetParam().ku != '\0') {
    EXPECT_EQ(Hex(GetParam().ku), ku);
  }
  EXPECT_EQ(Hex(GetParam().kul), LocalizeKey(GetParam().protocol, ku, kRfcEngine));
}
// MD5 and SHA: RFC 3414 A.3.1 and A.3.2. SHA-2: the usmUser keys net-snmp's snmpd 5.9.3 stored
// after "createUser uNNN SHA-NNN maplesyrup" with "exactEngineID 0x000000000000000000000002".
INSTANTIATE_TEST_SUITE_P(
    Usm, KeyTest,
    ::testing::Values(TKeyCase{"Md5", TUsmAuthProtocol::Md5, "9faf3283884e92834ebc9847d8edd963",
                               "526f5eed9fcce26f8964c2930787d82b"},
                      TKeyCase{"Sha1", TUsmAuthProtocol::Sha1,
                               "9fb5cc0381497b3793528939ff788d5d79145211",
                               "6695febc9288e36282235fc7151f128497b38f3f"},
                      TKeyCase{"Sha224", TUsmAuthProtocol::Sha224, "",
                               "0bd8827c6e29f8065e08e09237f177e410f69b90e1782be682075674"},
                      TKeyCase{"Sha256", TUsmAuthProtocol::Sha256, "",
                               "8982e0e549e866db361a6b625d84cccc11162d453ee8ce3a6445c2d6776f0f8b"},
                      TKeyCase{"Sha384", TUsmAuthProtocol::Sha384, "",
                               "3b298f16164a11184279d5432bf169e2d2a48307de02b3d3f7e2b4f36eb6f045"
                               "5a53689a3937eea07319a633d2ccba78"},
                      TKeyCase{"Sha512", TUsmAuthProtocol::Sha512, "",
                               "22a5a36cedfcc085807a128d7bc6c2382167ad6c0dbc5fdff856740f3d84c099"
                               "ad1ea87a8db096714d9788bd544047c9021e4229ce27e4c0a69250adfcffbb0b"}),
    [](const auto& param) { return std::string(param.param.name); });

// Replies of snmpd 5.9.3 to snmpget -v3 (engine below, boots 1, time 3): the discovery Report
// (msgID 0x5EA8D5C0), a Response to user corvane-auth (SHA "pewter-auth-sha", msgID 0x38E78D72)
// and to user corvane-priv (SHA-256 "pewter-auth-256", AES "pewter-priv-aes", msgID 0x5EA8D5BF),
// both for sysUpTime.0.
const std::string kEngine = Hex("80001f8880042880783739186b00000000");
const std::string kDiscoveryReport =
    Hex("3071020103301102045ea8d5c0020300ffe30401000201030421301f041180001f8880042880783739186b0000"
        "00000201010201030400040004003036041180001f8880042880783739186b000000000400a81f02044be6aa3b"
        "0201000201003011300f060a2b060106030f01010400410101");
const std::string kAuthResponse =
    Hex("3081880201033011020438e78d72020300ffe304010102010304393037041180001f8880042880783739186b00"
        "000000020101020103040c636f7276616e652d61757468040c1baae4c097ec156fbb31fca40400303504118000"
        "1f8880042880783739186b000000000400a21e02046c6151c80201000201003010300e06082b06010201010300"
        "43020135");
const std::string kPrivResponse =
    Hex("30819e020103301102045ea8d5bf020300ffe3040103020103044d304b041180001f8880042880783739186b00"
        "000000020101020103040c636f7276616e652d707269760418c8933945d9bf4beb96cc769c6af8a785d0fd45a4"
        "b4e94860040879766bec55c3f76104375624b207f747142db6e77411fff24e80757bc3afaa4f16aa4636ce957b"
        "ae9e1a5d1ba7327fc66e472417ab6f7c5260e9632cc3be814492");

TUsmKeys KeysFor(TUsmAuthProtocol auth, const std::string& authPass, const std::string& privPass) {
  TUsmKeys keys;
  keys.auth = auth;
  keys.authKey = LocalizeKey(auth, PassphraseToKey(auth, authPass), kEngine);
  if (!privPass.empty()) {
    keys.priv = TUsmPrivProtocol::Aes128;
    keys.privKey = LocalizeKey(auth, PassphraseToKey(auth, privPass), kEngine);
  }
  return keys;
}

// The value of the first binding of a PDU, read by wrapping it into a v1 message.
std::string FirstValue(const std::string& pdu) {
  TSNMPInfo info(nullptr);
  info.DecodeMessage(MakeTlv(Hex("02 01 00 04 00") + pdu, SnmpTag::Sequence));
  return info.Count() == 0 ? "(none)" : info.ValueAt(0);
}

struct TOpenCase {
  const char* name;
  const std::string* message;
  size_t flipOctet;  // 0: none
  TUsmAuthProtocol auth;
  const char *authPass, *privPass;
  TOpenResult result;
  const char* value;
};

class OpenTest : public ::testing::TestWithParam<TOpenCase> {};
TEST_P(OpenTest, AuthenticatesAndDecrypts) {
  const TOpenCase& c = GetParam();
  std::string message = *c.message;
  if (c.flipOctet != 0) message[c.flipOctet] ^= 0x01;
  std::string scoped;
  EXPECT_EQ(c.result, OpenV3Message(message, KeysFor(c.auth, c.authPass, c.privPass), scoped));
  if (c.result == TOpenResult::Ok) {
    EXPECT_EQ(c.value, FirstValue(DecodeScopedPdu(scoped).pdu));
  }
}
INSTANTIATE_TEST_SUITE_P(
    Usm, OpenTest,
    ::testing::Values(TOpenCase{"AuthNoPriv", &kAuthResponse, 0, TUsmAuthProtocol::Sha1,
                                "pewter-auth-sha", "", TOpenResult::Ok, "309"},
                      TOpenCase{"AuthPriv", &kPrivResponse, 0, TUsmAuthProtocol::Sha256,
                                "pewter-auth-256", "pewter-priv-aes", TOpenResult::Ok, "305"},
                      TOpenCase{"WrongPassphrase", &kAuthResponse, 0, TUsmAuthProtocol::Sha1,
                                "pewter-auth-shb", "", TOpenResult::WrongDigest, ""},
                      TOpenCase{"DigestLengthOfAnotherProtocol", &kAuthResponse, 0,
                                TUsmAuthProtocol::Sha256, "pewter-auth-sha", "",
                                TOpenResult::WrongDigest, ""},
                      TOpenCase{"FlippedValueOctet", &kAuthResponse, 138, TUsmAuthProtocol::Sha1,
                                "pewter-auth-sha", "", TOpenResult::WrongDigest, ""},
                      TOpenCase{"WrongPrivacyPassphrase", &kPrivResponse, 0,
                                TUsmAuthProtocol::Sha256, "pewter-auth-256", "pewter-priv-aet",
                                TOpenResult::DecryptionError, ""}),
    [](const auto& param) { return std::string(param.param.name); });

struct TMalformedCase {
  const char* name;
  const char* octets;
};

class MalformedV3Test : public ::testing::TestWithParam<TMalformedCase> {};
TEST_P(MalformedV3Test, RaisesRangeError) {
  EXPECT_THROW(DecodeV3Message(Hex(GetParam().octets)), ERangeError);
}
// Each row breaks one thing in this valid noAuthNoPriv message:
// 30 2A 02 01 03 30 0D 02 01 01 02 02 05 DC 04 01 04 02 01 03 04 10 30 0E 04 00 02 01 00 02 01 00
// 04 00 04 00 04 00 30 04 04 00 04 00
INSTANTIATE_TEST_SUITE_P(
    Usm, MalformedV3Test,
    ::testing::Values(
        TMalformedCase{"Empty", ""},
        TMalformedCase{"TruncatedHeader", "30 2A 02 01 03 30 0D 02 01 01 02"},
        TMalformedCase{"VersionOne",
                       "30 2A 02 01 01 30 0D 02 01 01 02 02 05 DC 04 01 04 02 01 03 04 10 30 0E 04 "
                       "00 02 01 00 02 01 00 04 00 04 00 04 00 30 04 04 00 04 00"},
        TMalformedCase{"SecurityModelTwo",
                       "30 2A 02 01 03 30 0D 02 01 01 02 02 05 DC 04 01 04 02 01 02 04 10 30 0E 04 "
                       "00 02 01 00 02 01 00 04 00 04 00 04 00 30 04 04 00 04 00"},
        TMalformedCase{"FlagsOfTwoOctets",
                       "30 2B 02 01 03 30 0E 02 01 01 02 02 05 DC 04 02 04 00 02 01 03 04 10 30 0E "
                       "04 00 02 01 00 02 01 00 04 00 04 00 04 00 30 04 04 00 04 00"},
        TMalformedCase{"PrivacyWithoutAuthentication",
                       "30 27 02 01 03 30 0D 02 01 01 02 02 05 DC 04 01 06 02 01 03 04 10 30 0E 04 "
                       "00 02 01 00 02 01 00 04 00 04 00 04 00 04 01 00"},
        TMalformedCase{"SecurityParametersNotASequence",
                       "30 2A 02 01 03 30 0D 02 01 01 02 02 05 DC 04 01 04 02 01 03 04 10 31 0E 04 "
                       "00 02 01 00 02 01 00 04 00 04 00 04 00 30 04 04 00 04 00"},
        TMalformedCase{"OctetsAfterTheUsmSequence",
                       "30 2C 02 01 03 30 0D 02 01 01 02 02 05 DC 04 01 04 02 01 03 04 12 30 0E 04 "
                       "00 02 01 00 02 01 00 04 00 04 00 04 00 05 00 30 04 04 00 04 00"},
        TMalformedCase{"NegativeBoots",
                       "30 2A 02 01 03 30 0D 02 01 01 02 02 05 DC 04 01 04 02 01 03 04 10 30 0E 04 "
                       "00 02 01 FF 02 01 00 04 00 04 00 04 00 30 04 04 00 04 00"},
        TMalformedCase{
            "EngineIdOf33Octets",
            "30 4B 02 01 03 30 0D 02 01 01 02 02 05 DC 04 01 04 02 01 03 04 31 30 2F 04 21 00 00 "
            "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
            "00 00 00 02 01 00 02 01 00 04 00 04 00 04 00 30 04 04 00 04 00"},
        TMalformedCase{"UserNameLengthPastItsSequence",
                       "30 2A 02 01 03 30 0D 02 01 01 02 02 05 DC 04 01 04 02 01 03 04 10 30 0E 04 "
                       "00 02 01 00 02 01 00 04 7F 04 00 04 00 30 04 04 00 04 00"},
        TMalformedCase{"OversizedLength", "30 84 FF FF FF F0 02 01 03"},
        TMalformedCase{"IndefiniteLength", "30 80 02 01 03 00 00"},
        TMalformedCase{"OctetAfterTheMessage",
                       "30 2A 02 01 03 30 0D 02 01 01 02 02 05 DC 04 01 04 02 01 03 04 10 30 0E 04 "
                       "00 02 01 00 02 01 00 04 00 04 00 04 00 30 04 04 00 04 00 00"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(UsmMalformed, TheValidBaseOfTheTableDecodes) {
  const TV3Message message =
      DecodeV3Message(Hex("30 2A 02 01 03 30 0D 02 01 01 02 02 05 DC 04 01 04 02 01 03 04 10 30 0E "
                          "04 00 02 01 00 02 01 00 04 00 04 00 04 00 30 04 04 00 04 00"));
  EXPECT_EQ(1500, message.maxSize);
  EXPECT_EQ(Hex("30 04 04 00 04 00"), message.data);
}

TUsmUser User(const std::string& name, TUsmSecurityLevel level, TUsmAuthProtocol auth,
              const std::string& authPass, const std::string& privPass = "") {
  return {name,     level,
          auth,     privPass.empty() ? TUsmPrivProtocol::None : TUsmPrivProtocol::Aes128,
          authPass, privPass};
}

// Request-ids of the PDUs of the discovery report and the authNoPriv response above.
constexpr int32_t kDiscoveryRequestId = 0x4BE6AA3B;
constexpr int32_t kAuthRequestId = 0x6C6151C8;

TEST(UsmPeer, LearnsTheEngineAndDropsWhatIsNotItsAnswer) {
  TUsmUser user = User("corvane-auth", TUsmSecurityLevel::AuthNoPriv, TUsmAuthProtocol::Sha1,
                       "pewter-auth-sha");
  const char* passphrase = user.authPassphrase.data();
  const size_t length = user.authPassphrase.size();
  TUsmPeer peer(user);
  // Only the keys stay: the passphrase's octets are overwritten, not merely let go.
  EXPECT_TRUE(user.authPassphrase.empty());
  EXPECT_TRUE(std::all_of(passphrase, passphrase + length, [](char c) { return c == 0; }));

  EXPECT_THROW(peer.Request(1, "", 0), std::logic_error);
  const TUsmReply discovery =
      peer.ProcessReply(kDiscoveryReport, {0x5EA8D5C0, kDiscoveryRequestId, true}, 100);
  EXPECT_EQ(TUsmReply::TKind::Report, discovery.kind);
  EXPECT_TRUE(discovery.retry);
  EXPECT_EQ(kEngine, peer.Engine().id);
  EXPECT_EQ(100, peer.Engine().learntAt);

  std::string tampered = kAuthResponse;
  tampered[138] ^= 0x01;
  const auto kind = [&peer](const std::string& datagram, int32_t msgId, int32_t requestId,
                            int64_t now) {
    return peer.ProcessReply(datagram, {msgId, requestId, false}, now).kind;
  };
  EXPECT_EQ(TUsmReply::TKind::Dropped, kind(kAuthResponse, 0x38E78D73, kAuthRequestId, 101));
  EXPECT_EQ(TUsmReply::TKind::Dropped, kind(kAuthResponse, 0x38E78D72, kAuthRequestId + 1, 101));
  EXPECT_EQ(TUsmReply::TKind::Dropped, kind(tampered, 0x38E78D72, kAuthRequestId, 101));
  EXPECT_EQ(TUsmReply::TKind::Dropped,
            kind(kAuthResponse.substr(0, 100), 0x38E78D72, kAuthRequestId, 101));
  // Engine time 3 at 100: at 400 the reply's time 3 is far outside the window.
  EXPECT_EQ(TUsmReply::TKind::Dropped, kind(kAuthResponse, 0x38E78D72, kAuthRequestId, 400));
  const TUsmReply answer = peer.ProcessReply(kAuthResponse, {0x38E78D72, kAuthRequestId}, 101);
  ASSERT_EQ(TUsmReply::TKind::Response, answer.kind);
  EXPECT_EQ("309", FirstValue(answer.pdu));
}

// --- Against snmpd ---

const std::string kSysUpTime = "1.3.6.1.2.1.1.3.0";

// A GetRequest PDU for one name: a v1 message with an empty community, less its first five
// octets after the outer header.
std::string GetRequestPdu(int32_t requestId) {
  TSNMPInfo info(nullptr);
  info.PduType = SnmpTag::GetRequest;
  info.RequestId = requestId;
  info.AddVarBind(kSysUpTime, "", SnmpTag::Null);
  const std::string message = info.EncodeMessage();
  size_t pos = 2;
  DecodeLength(pos, message);
  return message.substr(pos - 1 + 5);
}

class TUdpClient {
 public:
  explicit TUdpClient(uint16_t port) : socket_(socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in agent{};
    agent.sin_family = AF_INET;
    agent.sin_port = htons(port);
    agent.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect(socket_, reinterpret_cast<sockaddr*>(&agent), sizeof agent);
  }
  ~TUdpClient() { close(socket_); }
  TUdpClient(const TUdpClient&) = delete;
  TUdpClient& operator=(const TUdpClient&) = delete;

  // Sends the request and gives the first reply the peer does not drop (Dropped after 3 s).
  TUsmReply Exchange(TUsmPeer& peer, const std::string& request, const TUsmExpected& expected,
                     int64_t now) {
    send(socket_, request.data(), request.size(), 0);
    pollfd waiter{socket_, POLLIN, 0};
    std::string buffer(65536, '\0');
    while (poll(&waiter, 1, 3000) > 0) {
      const ssize_t count = recv(socket_, buffer.data(), buffer.size(), 0);
      if (count < 0) break;
      TUsmReply reply = peer.ProcessReply(buffer.substr(0, count), expected, now);
      if (reply.kind != TUsmReply::TKind::Dropped) return reply;
    }
    return {};
  }

 private:
  int socket_;
};

class AgainstSnmpdUsm : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    work_ = std::make_unique<TTempDir>();
    port_ = FreeUdpPort();
    const std::string config = work_->Path() + "/snmpd.conf";
    std::ofstream(config) << "rocommunity pewter 127.0.0.1\n"
                          << "createUser corvane-priv SHA-256 pewter-auth-256 AES pewter-priv-aes\n"
                          << "createUser corvane-auth SHA pewter-auth-sha\n"
                          << "createUser corvane-none\n"
                          << "rouser corvane-priv priv\nrouser corvane-auth auth\n"
                          << "rouser corvane-none noauth\n";
    agent_ = std::make_unique<TAgentProcess>();
    agent_->Start(
        {"snmpd", "-f", "-Lo", "-C", "-c", config, "udp:127.0.0.1:" + std::to_string(port_)},
        {"MIBS=", "SNMP_PERSISTENT_DIR=" + work_->Path()}, work_->Path() + "/snmpd.log");
    ASSERT_TRUE(WaitForAgent(port_, "pewter"));
  }
  static void TearDownTestSuite() {
    agent_.reset();
    work_.reset();
  }

  // Discovery, then a GetRequest for sysUpTime.0 at `now` (the clock starts at 0).
  static TUsmReply Get(TUsmPeer& peer, int64_t now) {
    TUdpClient client(port_);
    if (!peer.Discovered()) {
      const TUsmReply discovery =
          client.Exchange(peer, peer.DiscoveryRequest(1, 1), {1, 1, true}, 0);
      EXPECT_TRUE(discovery.retry);
    }
    return client.Exchange(peer, peer.Request(2, GetRequestPdu(2), now), {2, 2}, now);
  }

  static inline std::unique_ptr<TTempDir> work_;
  static inline std::unique_ptr<TAgentProcess> agent_;
  static inline uint16_t port_ = 0;
};

struct TAgentCase {
  const char* name;
  TUsmUser user;
  TUsmReport report;  // Other: a Response is expected
  std::vector<std::string> snmpget;
};

class AgentCaseTest : public AgainstSnmpdUsm, public ::testing::WithParamInterface<TAgentCase> {};
TEST_P(AgentCaseTest, AnswersLikeNetSnmp) {
  TUsmUser user = GetParam().user;
  TUsmPeer peer(user);
  const TUsmReply reply = Get(peer, 0);
  if (GetParam().report != TUsmReport::Other) {
    EXPECT_EQ(TUsmReply::TKind::Report, reply.kind);
    EXPECT_STREQ(UsmReportText(GetParam().report), UsmReportText(reply.report));
    return;
  }
  ASSERT_EQ(TUsmReply::TKind::Response, reply.kind);
  const int64_t ours = std::stoll(FirstValue(reply.pdu));
  std::vector<std::string> argv = {"snmpget", "-v3", "-Oqv", "-Ot"};
  argv.insert(argv.end(), GetParam().snmpget.begin(), GetParam().snmpget.end());
  argv.insert(argv.end(), {"127.0.0.1:" + std::to_string(port_), kSysUpTime});
  const std::vector<std::string> theirs = SplitLines(RunCommand(argv, nullptr, {"MIBS="}));
  ASSERT_EQ(1u, theirs.size());
  // Timeticks go on between the two requests, by at most a few seconds.
  EXPECT_LE(ours, std::stoll(theirs[0]));
  EXPECT_GT(ours + 500, std::stoll(theirs[0]));
}
INSTANTIATE_TEST_SUITE_P(
    Usm, AgentCaseTest,
    ::testing::Values(TAgentCase{"AuthPrivSha256Aes",
                                 User("corvane-priv", TUsmSecurityLevel::AuthPriv,
                                      TUsmAuthProtocol::Sha256, "pewter-auth-256",
                                      "pewter-priv-aes"),
                                 TUsmReport::Other,
                                 {"-l", "authPriv", "-u", "corvane-priv", "-a", "SHA-256", "-A",
                                  "pewter-auth-256", "-x", "AES", "-X", "pewter-priv-aes"}},
                      TAgentCase{"AuthNoPrivSha",
                                 User("corvane-auth", TUsmSecurityLevel::AuthNoPriv,
                                      TUsmAuthProtocol::Sha1, "pewter-auth-sha"),
                                 TUsmReport::Other,
                                 {"-l", "authNoPriv", "-u", "corvane-auth", "-a", "SHA", "-A",
                                  "pewter-auth-sha"}},
                      TAgentCase{"NoAuthNoPriv",
                                 User("corvane-none", TUsmSecurityLevel::NoAuthNoPriv,
                                      TUsmAuthProtocol::None, ""),
                                 TUsmReport::Other,
                                 {"-l", "noAuthNoPriv", "-u", "corvane-none"}},
                      TAgentCase{"WrongPassphrase",
                                 User("corvane-auth", TUsmSecurityLevel::AuthNoPriv,
                                      TUsmAuthProtocol::Sha1, "pewter-auth-shb"),
                                 TUsmReport::WrongDigest,
                                 {}},
                      TAgentCase{"UnknownUser",
                                 User("corvane-nobody", TUsmSecurityLevel::NoAuthNoPriv,
                                      TUsmAuthProtocol::None, ""),
                                 TUsmReport::UnknownUserName,
                                 {}},
                      TAgentCase{"AuthPrivForAuthOnlyUser",
                                 User("corvane-auth", TUsmSecurityLevel::AuthPriv,
                                      TUsmAuthProtocol::Sha1, "pewter-auth-sha", "pewter-priv-aes"),
                                 TUsmReport::UnsupportedSecLevel,
                                 {}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(AgainstSnmpdUsm, OneResynchronisationAfterAClockJump) {
  TUsmPeer peer(User("corvane-auth", TUsmSecurityLevel::AuthNoPriv, TUsmAuthProtocol::Sha1,
                     "pewter-auth-sha"));
  // The discovery's boots and time do not fit two thousand seconds later.
  const TUsmReply late = Get(peer, 2000);
  ASSERT_EQ(TUsmReply::TKind::Report, late.kind);
  EXPECT_EQ(TUsmReport::NotInTimeWindow, late.report);
  EXPECT_TRUE(late.retry);
  EXPECT_EQ(TUsmReply::TKind::Response, Get(peer, 2000).kind);
}

}  // namespace
