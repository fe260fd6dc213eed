#pragma once

// SNMPv3 messages with the user-based security model: keys, digests, privacy, the message codec
// and the state kept for one agent. No I/O and no clock: the caller sends, receives and says what
// time it is.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "SnmpErrors.h"

enum class TUsmAuthProtocol { None, Md5, Sha1, Sha224, Sha256, Sha384, Sha512 };
enum class TUsmPrivProtocol { None, Aes128 };
enum class TUsmSecurityLevel { NoAuthNoPriv, AuthNoPriv, AuthPriv };

// Bits of msgFlags.
namespace UsmFlag {
constexpr uint8_t Auth = 0x01;
constexpr uint8_t Priv = 0x02;
constexpr uint8_t Reportable = 0x04;
}  // namespace UsmFlag

// Octets of msgAuthenticationParameters for the protocol (0 for none).
size_t DigestLength(TUsmAuthProtocol protocol);
// Ku: the protocol's hash over the passphrase repeated to 1,048,576 octets. Raises
// std::invalid_argument for an empty passphrase or no protocol.
std::string PassphraseToKey(TUsmAuthProtocol protocol, const std::string& passphrase);
// Kul = H(Ku || engineId || Ku).
std::string LocalizeKey(TUsmAuthProtocol protocol, const std::string& key,
                        const std::string& engineId);
// HMAC of the message with the localized key, cut to DigestLength.
std::string ComputeDigest(TUsmAuthProtocol protocol, const std::string& localizedKey,
                          const std::string& message);
// AES-128 in CFB mode with IV = boots || time || salt (each big-endian); the key is the first 16
// octets of the localized privacy key. The same call encrypts and, with encrypt false, decrypts.
std::string AesCfb(const std::string& localizedKey, int32_t boots, int32_t time,
                   const std::string& salt, const std::string& input, bool encrypt);

// The localized keys for one user and one engine.
struct TUsmKeys {
  TUsmAuthProtocol auth = TUsmAuthProtocol::None;
  TUsmPrivProtocol priv = TUsmPrivProtocol::None;
  std::string authKey, privKey;
};

struct TUsmParameters {
  std::string engineId;
  int32_t boots = 0, time = 0;
  std::string userName, authParams, privParams;
};

// One v3 message. data is the scoped PDU (a whole SEQUENCE) or, with the privacy flag, the
// encrypted octets.
struct TV3Message {
  int32_t msgId = 0, maxSize = 65507;
  uint8_t flags = 0;
  TUsmParameters usm;
  std::string data;
  // Set by DecodeV3Message: where the content of msgAuthenticationParameters starts (0-based).
  size_t authOffset = 0;
};

// The message octets; authOffset receives where the digest goes.
std::string EncodeV3Message(const TV3Message& message, size_t* authOffset = nullptr);
// Header and security parameters read before any authentication. Raises ERangeError on anything
// malformed: short or oversized items, wrong tags, a version or security model other than 3,
// msgFlags not one octet, numbers out of range, octets after the message.
TV3Message DecodeV3Message(const std::string& bytes);

// Builds the message at the level of message.flags: encrypts the scoped PDU with the salt and
// fills the digest in place. Raises std::invalid_argument when the keys lack what the flags ask.
std::string SealV3Message(TV3Message message, const std::string& scopedPdu, const TUsmKeys& keys,
                          uint64_t salt);

enum class TOpenResult { Ok, UnsupportedSecLevel, WrongDigest, DecryptionError };
// Checks the digest and decrypts at the level the message's flags claim; on Ok scopedPdu holds
// the scoped PDU (a whole SEQUENCE TLV, not yet decoded).
// Raises ERangeError when the message is malformed.
TOpenResult OpenV3Message(const std::string& bytes, const TUsmKeys& keys, std::string& scopedPdu);

struct TScopedPdu {
  std::string contextEngineId, contextName;
  std::string pdu;  // the PDU TLV, tag included
};
std::string EncodeScopedPdu(const TScopedPdu& scoped);
// Raises ERangeError when it is not a SEQUENCE of two OCTET STRINGs and a PDU.
TScopedPdu DecodeScopedPdu(const std::string& bytes);

enum class TUsmReport {
  Other,
  UnsupportedSecLevel,
  NotInTimeWindow,
  UnknownUserName,
  UnknownEngineId,
  WrongDigest,
  DecryptionError
};
// The kind of a Report PDU by the name of its first binding (Other when it is none of the
// usmStats counters); raises ERangeError on a malformed PDU.
TUsmReport ReportKindOf(const std::string& pdu);
// The user-facing text of a report: "Unknown user name." ...
const char* UsmReportText(TUsmReport report);

struct TUsmUser {
  std::string name;
  TUsmSecurityLevel level = TUsmSecurityLevel::NoAuthNoPriv;
  TUsmAuthProtocol auth = TUsmAuthProtocol::None;
  TUsmPrivProtocol priv = TUsmPrivProtocol::None;
  std::string authPassphrase, privPassphrase;
};

// The authoritative engine as learnt, with the caller's time (seconds) of learning.
struct TUsmEngine {
  std::string id;
  int32_t boots = 0, time = 0;
  int64_t learntAt = 0;
};

struct TUsmReply {
  enum class TKind { Dropped, Response, Report } kind = TKind::Dropped;
  std::string pdu;                        // Response: the PDU TLV
  TUsmReport report = TUsmReport::Other;  // Report: which one
  bool retry = false;  // the report taught the engine or its time: send the request again once
};

// What a reply must match: the request's msgID and request-id, and whether the request was the
// engine's discovery (the only time an unauthenticated report may teach the engine).
struct TUsmExpected {
  int32_t msgId = 0;
  int32_t requestId = 0;
  bool discovery = false;
};

// Overwrites the octets of a secret before they are freed or reused.
void WipeSecret(char* octets, size_t size);
void WipeSecret(std::string& secret);

// The security state towards one agent: the engine discovered, keys per engine, the salt.
class TUsmPeer {
 public:
  // Derives the user's keys and wipes the passphrases in user: from here on only keys are kept.
  // Raises std::invalid_argument when the level lacks its protocol or passphrase, or the name is
  // over 32 octets (no secret is ever part of the text).
  explicit TUsmPeer(TUsmUser& user);
  explicit TUsmPeer(TUsmUser&& user) : TUsmPeer(user) {}
  ~TUsmPeer();
  TUsmPeer(const TUsmPeer&) = delete;
  TUsmPeer& operator=(const TUsmPeer&) = delete;

  bool Discovered() const { return !engine_.id.empty(); }
  // Forgets the engine, so that the next request discovers it again (an agent restarted with a
  // new engine ID drops what is meant for the old one).
  void ForgetEngine() { engine_ = TUsmEngine{}; }
  // The largest message this side takes, told to the agent in every request.
  int32_t MaxSize = 65507;
  const TUsmEngine& Engine() const { return engine_; }

  // An empty GetRequest with no user and no engine, reportable, to learn the engine.
  std::string DiscoveryRequest(int32_t msgId, int32_t requestId) const;
  // A request carrying the PDU at the user's level, timed for `now` (seconds, caller's clock).
  // Raises std::logic_error before discovery.
  std::string Request(int32_t msgId, const std::string& pdu, int64_t now);
  // What a datagram answers to the expected request. Malformed, unauthentic, out-of-window and
  // mismatched responses are Dropped. A plain report is read even when its digest fails, so that
  // it can be told; only the discovery's unauthenticated unknownEngineID report (with an ID of 5
  // to 32 octets) and an authentic notInTimeWindow report change what the peer knows.
  TUsmReply ProcessReply(const std::string& datagram, const TUsmExpected& expected, int64_t now);

 private:
  const TUsmKeys& KeysFor(const std::string& engineId);
  uint8_t RequestFlags() const;
  bool InTimeWindow(const TUsmParameters& usm, int64_t now) const;
  void Learn(const TUsmParameters& usm, int64_t now);

  TUsmUser user_;
  TUsmEngine engine_;
  std::string authMaster_, privMaster_;
  std::map<std::string, TUsmKeys> keys_;
  uint64_t salt_ = 0;
};
