#include "Usm.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "SnmpInfo.h"

namespace {

constexpr size_t kStretchedLength = 1048576;
constexpr int32_t kSecurityModelUsm = 3;
constexpr int32_t kMinMaxSize = 484;
// snmpEngineID is 5 to 32 octets (RFC 3411); messages may carry an empty one.
constexpr size_t kMinEngineIdLength = 5;
constexpr size_t kMaxEngineIdLength = 32;
constexpr size_t kMaxUserNameLength = 32;
constexpr size_t kAesKeyLength = 16;
constexpr size_t kSaltLength = 8;
// A response more than this many seconds older than the engine's time is a replay.
constexpr int64_t kTimeWindow = 150;

const EVP_MD* HashOf(TUsmAuthProtocol protocol) {
  switch (protocol) {
    case TUsmAuthProtocol::Md5:
      return EVP_md5();
    case TUsmAuthProtocol::Sha1:
      return EVP_sha1();
    case TUsmAuthProtocol::Sha224:
      return EVP_sha224();
    case TUsmAuthProtocol::Sha256:
      return EVP_sha256();
    case TUsmAuthProtocol::Sha384:
      return EVP_sha384();
    case TUsmAuthProtocol::Sha512:
      return EVP_sha512();
    case TUsmAuthProtocol::None:
      break;
  }
  throw std::invalid_argument("No authentication protocol chosen.");
}

const unsigned char* Octets(const std::string& bytes) {
  return reinterpret_cast<const unsigned char*>(bytes.data());
}

std::string Hash(TUsmAuthProtocol protocol, const std::string& input) {
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_Digest(input.data(), input.size(), out, &size, HashOf(protocol), nullptr) != 1) {
    throw std::runtime_error("Hash computation failed.");
  }
  return std::string(reinterpret_cast<const char*>(out), size);
}

std::string Integer(int32_t value) {
  return MakeTlv(EncodeSignedInt(value), SnmpTag::Integer);
}

std::string OctetString(const std::string& content) {
  return MakeTlv(content, SnmpTag::OctetString);
}

std::string BigEndian(uint64_t value, int octets) {
  std::string out;
  for (int shift = 8 * (octets - 1); shift >= 0; shift -= 8) {
    out += static_cast<char>((value >> shift) & 0xFF);
  }
  return out;
}

struct TItem {
  uint8_t tag = 0;
  size_t start = 0;               // the tag octet
  size_t offset = 0, length = 0;  // the content
  size_t End() const { return offset + length; }
};

// Walks the items between two offsets of a buffer; every read is checked against the end.
class TCursor {
 public:
  TCursor(std::string_view bytes, size_t begin, size_t end)
      : bytes_(bytes), pos_(begin), end_(end) {}
  TCursor(std::string_view bytes, const TItem& item) : TCursor(bytes, item.offset, item.End()) {}

  bool AtEnd() const { return pos_ == end_; }
  void RequireEnd() const {
    if (!AtEnd()) throw ERangeError();
  }

  TItem Next() {
    TItem item;
    item.start = pos_;
    item.tag = Octet();
    const uint8_t first = Octet();
    if (first < 0x80) {
      item.length = first;
    } else {
      // Definite long form of at most four octets only.
      const int count = first & 0x7F;
      if (count == 0 || count > 4) throw ERangeError();
      for (int i = 0; i < count; ++i) item.length = (item.length << 8) | Octet();
    }
    if (item.length > end_ - pos_) throw ERangeError();
    item.offset = pos_;
    pos_ += item.length;
    return item;
  }
  TItem Expect(int32_t tag) {
    const TItem item = Next();
    if (item.tag != tag) throw ERangeError();
    return item;
  }
  std::string OctetString(size_t maxLength = SIZE_MAX) {
    const TItem item = Expect(SnmpTag::OctetString);
    if (item.length > maxLength) throw ERangeError();
    return std::string(bytes_.substr(item.offset, item.length));
  }
  // A non-negative INTEGER that fits 31 bits.
  int32_t Number(int32_t min = 0) {
    const TItem item = Expect(SnmpTag::Integer);
    const std::string_view content = bytes_.substr(item.offset, item.length);
    if (content.empty() || content.size() > 5 || static_cast<uint8_t>(content[0]) >= 0x80) {
      throw ERangeError();
    }
    int64_t value = 0;
    for (const char c : content) value = (value << 8) | static_cast<uint8_t>(c);
    if (value < min || value > INT32_MAX) throw ERangeError();
    return static_cast<int32_t>(value);
  }

 private:
  uint8_t Octet() {
    if (pos_ >= end_) throw ERangeError();
    return static_cast<uint8_t>(bytes_[pos_++]);
  }
  std::string_view bytes_;
  size_t pos_, end_;
};

// The request-id of a PDU TLV; raises ERangeError when it has none.
int32_t RequestIdOf(const std::string& pdu) {
  TCursor outer(pdu, 0, pdu.size());
  TCursor fields(pdu, outer.Next());
  const TItem id = fields.Expect(SnmpTag::Integer);
  if (id.length == 0 || id.length > 8) throw ERangeError();
  // Two's complement; a leading octet more than needed is tolerated.
  uint64_t bits = static_cast<uint8_t>(pdu[id.offset]) >= 0x80 ? UINT64_MAX : 0;
  for (size_t i = id.offset; i < id.End(); ++i) bits = (bits << 8) | static_cast<uint8_t>(pdu[i]);
  const auto value = static_cast<int64_t>(bits);
  if (value < INT32_MIN || value > INT32_MAX) throw ERangeError();
  return static_cast<int32_t>(value);
}

std::string EmptyGetRequest(int32_t requestId) {
  return MakeTlv(Integer(requestId) + Integer(0) + Integer(0) + MakeTlv("", SnmpTag::Sequence),
                 SnmpTag::GetRequest);
}

}  // namespace

void WipeSecret(char* octets, size_t size) {
  OPENSSL_cleanse(octets, size);
}

void WipeSecret(std::string& secret) {
  WipeSecret(secret.data(), secret.size());
  secret.clear();
}

size_t DigestLength(TUsmAuthProtocol protocol) {
  switch (protocol) {
    case TUsmAuthProtocol::None:
      return 0;
    case TUsmAuthProtocol::Md5:
    case TUsmAuthProtocol::Sha1:
      return 12;
    case TUsmAuthProtocol::Sha224:
      return 16;
    case TUsmAuthProtocol::Sha256:
      return 24;
    case TUsmAuthProtocol::Sha384:
      return 32;
    case TUsmAuthProtocol::Sha512:
      return 48;
  }
  return 0;
}

std::string PassphraseToKey(TUsmAuthProtocol protocol, const std::string& passphrase) {
  if (passphrase.empty()) throw std::invalid_argument("The passphrase is empty.");
  std::string stretched;
  stretched.reserve(kStretchedLength);
  while (stretched.size() < kStretchedLength) {
    stretched.append(passphrase, 0, kStretchedLength - stretched.size());
  }
  std::string key = Hash(protocol, stretched);
  WipeSecret(stretched);
  return key;
}

std::string LocalizeKey(TUsmAuthProtocol protocol, const std::string& key,
                        const std::string& engineId) {
  std::string input = key + engineId + key;
  std::string localized = Hash(protocol, input);
  WipeSecret(input);
  return localized;
}

std::string ComputeDigest(TUsmAuthProtocol protocol, const std::string& localizedKey,
                          const std::string& message) {
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (localizedKey.size() > INT_MAX ||
      HMAC(HashOf(protocol), localizedKey.data(), static_cast<int>(localizedKey.size()),
           Octets(message), message.size(), out, &size) == nullptr) {
    throw std::runtime_error("Digest computation failed.");
  }
  return std::string(reinterpret_cast<const char*>(out), DigestLength(protocol));
}

std::string AesCfb(const std::string& localizedKey, int32_t boots, int32_t time,
                   const std::string& salt, const std::string& input, bool encrypt) {
  if (localizedKey.size() < kAesKeyLength || salt.size() != kSaltLength || input.size() > INT_MAX) {
    throw std::invalid_argument("AES needs a 16-octet key and an 8-octet salt.");
  }
  const std::string iv =
      BigEndian(static_cast<uint32_t>(boots), 4) + BigEndian(static_cast<uint32_t>(time), 4) + salt;
  const std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(
      EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
  std::string output(input.size(), '\0');
  auto* out = reinterpret_cast<unsigned char*>(output.data());
  int written = 0, last = 0;
  if (!context ||
      EVP_CipherInit_ex(context.get(), EVP_aes_128_cfb128(), nullptr, Octets(localizedKey),
                        Octets(iv), encrypt ? 1 : 0) != 1 ||
      EVP_CipherUpdate(context.get(), out, &written, Octets(input),
                       static_cast<int>(input.size())) != 1 ||
      EVP_CipherFinal_ex(context.get(), out + written, &last) != 1) {
    throw std::runtime_error("AES computation failed.");
  }
  return output;
}

std::string EncodeV3Message(const TV3Message& message, size_t* authOffset) {
  const TUsmParameters& usm = message.usm;
  const std::string beforeAuth = OctetString(usm.engineId) + Integer(usm.boots) +
                                 Integer(usm.time) + OctetString(usm.userName);
  const std::string auth = OctetString(usm.authParams);
  const std::string usmContent = beforeAuth + auth + OctetString(usm.privParams);
  const std::string usmSequence = MakeTlv(usmContent, SnmpTag::Sequence);
  const std::string securityParameters = OctetString(usmSequence);
  const std::string global =
      MakeTlv(Integer(message.msgId) + Integer(message.maxSize) +
                  OctetString(std::string(1, static_cast<char>(message.flags))) +
                  Integer(kSecurityModelUsm),
              SnmpTag::Sequence);
  const std::string head = Integer(3) + global;
  // Without privacy data already is the scoped PDU's SEQUENCE.
  const std::string data =
      (message.flags & UsmFlag::Priv) != 0 ? OctetString(message.data) : message.data;
  const std::string body = head + securityParameters + data;
  std::string bytes = MakeTlv(body, SnmpTag::Sequence);
  if (authOffset != nullptr) {
    *authOffset = (bytes.size() - body.size()) + head.size() +
                  (securityParameters.size() - usmSequence.size()) +
                  (usmSequence.size() - usmContent.size()) + beforeAuth.size() +
                  (auth.size() - usm.authParams.size());
  }
  return bytes;
}

TV3Message DecodeV3Message(const std::string& bytes) {
  TV3Message message;
  TCursor outer(bytes, 0, bytes.size());
  const TItem whole = outer.Expect(SnmpTag::Sequence);
  outer.RequireEnd();
  TCursor body(bytes, whole);
  if (body.Number() != 3) throw ERangeError();

  TCursor global(bytes, body.Expect(SnmpTag::Sequence));
  message.msgId = global.Number();
  message.maxSize = global.Number(kMinMaxSize);
  const std::string flags = global.OctetString();
  if (flags.size() != 1) throw ERangeError();
  message.flags = static_cast<uint8_t>(flags[0]);
  // Privacy without authentication is not a valid combination.
  if ((message.flags & (UsmFlag::Auth | UsmFlag::Priv)) == UsmFlag::Priv) throw ERangeError();
  if (global.Number() != kSecurityModelUsm) throw ERangeError();
  global.RequireEnd();

  TCursor wrapper(bytes, body.Expect(SnmpTag::OctetString));
  const TItem usmItem = wrapper.Expect(SnmpTag::Sequence);
  wrapper.RequireEnd();
  TCursor usm(bytes, usmItem);
  message.usm.engineId = usm.OctetString(kMaxEngineIdLength);
  message.usm.boots = usm.Number();
  message.usm.time = usm.Number();
  message.usm.userName = usm.OctetString(kMaxUserNameLength);
  const TItem auth = usm.Expect(SnmpTag::OctetString);
  message.authOffset = auth.offset;
  message.usm.authParams = bytes.substr(auth.offset, auth.length);
  message.usm.privParams = usm.OctetString();
  usm.RequireEnd();

  const bool encrypted = (message.flags & UsmFlag::Priv) != 0;
  const TItem data = body.Expect(encrypted ? SnmpTag::OctetString : SnmpTag::Sequence);
  body.RequireEnd();
  // Without privacy the scoped PDU is kept whole, header included.
  message.data = encrypted ? bytes.substr(data.offset, data.length)
                           : bytes.substr(data.start, data.End() - data.start);
  return message;
}

std::string SealV3Message(TV3Message message, const std::string& scopedPdu, const TUsmKeys& keys,
                          uint64_t salt) {
  const bool auth = (message.flags & UsmFlag::Auth) != 0;
  const bool priv = (message.flags & UsmFlag::Priv) != 0;
  if ((priv && !auth) || (auth && keys.auth == TUsmAuthProtocol::None) ||
      (priv && keys.priv == TUsmPrivProtocol::None)) {
    throw std::invalid_argument("The keys do not serve the security level.");
  }
  message.usm.authParams.assign(DigestLength(auth ? keys.auth : TUsmAuthProtocol::None), '\0');
  message.usm.privParams = priv ? BigEndian(salt, kSaltLength) : std::string();
  message.data = priv ? AesCfb(keys.privKey, message.usm.boots, message.usm.time,
                               message.usm.privParams, scopedPdu, true)
                      : scopedPdu;
  size_t authOffset = 0;
  std::string bytes = EncodeV3Message(message, &authOffset);
  if (auth) {
    const std::string digest = ComputeDigest(keys.auth, keys.authKey, bytes);
    bytes.replace(authOffset, digest.size(), digest);
  }
  return bytes;
}

TOpenResult OpenV3Message(const std::string& bytes, const TUsmKeys& keys, std::string& scopedPdu) {
  const TV3Message message = DecodeV3Message(bytes);
  const TUsmParameters& usm = message.usm;
  if ((message.flags & UsmFlag::Auth) != 0) {
    if (keys.auth == TUsmAuthProtocol::None) return TOpenResult::UnsupportedSecLevel;
    if (usm.authParams.size() != DigestLength(keys.auth)) return TOpenResult::WrongDigest;
    std::string zeroed = bytes;
    zeroed.replace(message.authOffset, usm.authParams.size(), usm.authParams.size(), '\0');
    const std::string digest = ComputeDigest(keys.auth, keys.authKey, zeroed);
    if (CRYPTO_memcmp(digest.data(), usm.authParams.data(), digest.size()) != 0) {
      return TOpenResult::WrongDigest;
    }
  }
  if ((message.flags & UsmFlag::Priv) == 0) {
    scopedPdu = message.data;
    return TOpenResult::Ok;
  }
  if (keys.priv == TUsmPrivProtocol::None) return TOpenResult::UnsupportedSecLevel;
  if (usm.privParams.size() != kSaltLength) return TOpenResult::DecryptionError;
  std::string plain =
      AesCfb(keys.privKey, usm.boots, usm.time, usm.privParams, message.data, false);
  // A wrong key gives noise: it must read as one SEQUENCE (trailing padding is allowed).
  try {
    TCursor cursor(plain, 0, plain.size());
    const TItem item = cursor.Expect(SnmpTag::Sequence);
    plain.resize(item.End());
  } catch (const ERangeError&) {
    return TOpenResult::DecryptionError;
  }
  scopedPdu = std::move(plain);
  return TOpenResult::Ok;
}

std::string EncodeScopedPdu(const TScopedPdu& scoped) {
  return MakeTlv(OctetString(scoped.contextEngineId) + OctetString(scoped.contextName) + scoped.pdu,
                 SnmpTag::Sequence);
}

TScopedPdu DecodeScopedPdu(const std::string& bytes) {
  TCursor outer(bytes, 0, bytes.size());
  TCursor cursor(bytes, outer.Expect(SnmpTag::Sequence));
  outer.RequireEnd();
  TScopedPdu scoped;
  scoped.contextEngineId = cursor.OctetString(kMaxEngineIdLength);
  scoped.contextName = cursor.OctetString();
  const TItem pdu = cursor.Next();
  // PDUs are context-specific constructed items (A0 ...).
  if ((pdu.tag & 0xE0) != 0xA0) throw ERangeError();
  cursor.RequireEnd();
  scoped.pdu = bytes.substr(pdu.start, pdu.End() - pdu.start);
  return scoped;
}

TUsmReport ReportKindOf(const std::string& pdu) {
  TCursor outer(pdu, 0, pdu.size());
  TCursor fields(pdu, outer.Next());
  for (int i = 0; i < 3; ++i) fields.Expect(SnmpTag::Integer);
  TCursor bindings(pdu, fields.Expect(SnmpTag::Sequence));
  if (bindings.AtEnd()) return TUsmReport::Other;
  TCursor binding(pdu, bindings.Expect(SnmpTag::Sequence));
  const TItem name = binding.Expect(SnmpTag::ObjectId);
  const std::string oid = OidBytesToText(pdu.substr(name.offset, name.length));
  // usmStats counters, 1.3.6.1.6.3.15.1.1.<n>.0, in the order of TUsmReport.
  static const std::string kPrefix = "1.3.6.1.6.3.15.1.1.";
  if (oid.size() != kPrefix.size() + 3 || oid.compare(0, kPrefix.size(), kPrefix) != 0 ||
      oid.compare(kPrefix.size() + 1, 2, ".0") != 0) {
    return TUsmReport::Other;
  }
  const char counter = oid[kPrefix.size()];
  if (counter < '1' || counter > '6') return TUsmReport::Other;
  return static_cast<TUsmReport>(counter - '0');
}

const char* UsmReportText(TUsmReport report) {
  switch (report) {
    case TUsmReport::UnsupportedSecLevel:
      return "Unsupported security level.";
    case TUsmReport::NotInTimeWindow:
      return "Not in time window.";
    case TUsmReport::UnknownUserName:
      return "Unknown user name.";
    case TUsmReport::UnknownEngineId:
      return "Unknown engine ID.";
    case TUsmReport::WrongDigest:
      return "Wrong digest (wrong passphrase?).";
    case TUsmReport::DecryptionError:
      return "Decryption error.";
    case TUsmReport::Other:
      break;
  }
  return "Unexpected report from the agent.";
}

TUsmPeer::TUsmPeer(TUsmUser& user) {
  // Whatever happens below, no passphrase outlives this constructor.
  struct TWiper {
    TUsmUser& target;
    ~TWiper() {
      WipeSecret(target.authPassphrase);
      WipeSecret(target.privPassphrase);
    }
  } wiper{user};
  const bool auth = user.level != TUsmSecurityLevel::NoAuthNoPriv;
  const bool priv = user.level == TUsmSecurityLevel::AuthPriv;
  if (auth && user.auth == TUsmAuthProtocol::None) {
    throw std::invalid_argument("The security level needs an authentication protocol.");
  }
  if (priv && user.priv == TUsmPrivProtocol::None) {
    throw std::invalid_argument("The security level needs a privacy protocol.");
  }
  if (user.name.size() > kMaxUserNameLength) {
    throw std::invalid_argument("The user name is longer than 32 octets.");
  }
  // The privacy key is stretched and localized with the authentication protocol's hash. The
  // stretched keys stay, not the passphrases: an engine learnt later needs keys of its own.
  if (auth) authMaster_ = PassphraseToKey(user.auth, user.authPassphrase);
  if (priv) privMaster_ = PassphraseToKey(user.auth, user.privPassphrase);
  user_.name = user.name;
  user_.level = user.level;
  user_.auth = user.auth;
  user_.priv = user.priv;
  // The salt starts anywhere so that restarts do not repeat an IV.
  if (RAND_bytes(reinterpret_cast<unsigned char*>(&salt_), sizeof salt_) != 1) {
    throw std::runtime_error("No random numbers available.");
  }
}

TUsmPeer::~TUsmPeer() {
  WipeSecret(authMaster_);
  WipeSecret(privMaster_);
  for (auto& [engineId, keys] : keys_) {
    WipeSecret(keys.authKey);
    WipeSecret(keys.privKey);
  }
}

const TUsmKeys& TUsmPeer::KeysFor(const std::string& engineId) {
  const auto found = keys_.find(engineId);
  if (found != keys_.end()) return found->second;
  TUsmKeys& keys = keys_[engineId];
  if (!authMaster_.empty()) {
    keys.auth = user_.auth;
    keys.authKey = LocalizeKey(user_.auth, authMaster_, engineId);
  }
  if (!privMaster_.empty()) {
    keys.priv = user_.priv;
    keys.privKey = LocalizeKey(user_.auth, privMaster_, engineId);
  }
  return keys;
}

uint8_t TUsmPeer::RequestFlags() const {
  switch (user_.level) {
    case TUsmSecurityLevel::AuthPriv:
      return UsmFlag::Auth | UsmFlag::Priv | UsmFlag::Reportable;
    case TUsmSecurityLevel::AuthNoPriv:
      return UsmFlag::Auth | UsmFlag::Reportable;
    case TUsmSecurityLevel::NoAuthNoPriv:
      break;
  }
  return UsmFlag::Reportable;
}

std::string TUsmPeer::DiscoveryRequest(int32_t msgId, int32_t requestId) const {
  TV3Message message;
  message.msgId = msgId;
  message.maxSize = MaxSize;
  message.flags = UsmFlag::Reportable;
  return SealV3Message(message, EncodeScopedPdu({"", "", EmptyGetRequest(requestId)}), {}, 0);
}

namespace {
int32_t EngineTimeAt(const TUsmEngine& engine, int64_t now) {
  const int64_t time = engine.time + (now - engine.learntAt);
  return static_cast<int32_t>(std::clamp<int64_t>(time, 0, INT32_MAX));
}
}  // namespace

std::string TUsmPeer::Request(int32_t msgId, const std::string& pdu, int64_t now) {
  if (!Discovered()) throw std::logic_error("The agent's engine is not known yet.");
  TV3Message message;
  message.msgId = msgId;
  message.maxSize = MaxSize;
  message.flags = RequestFlags();
  message.usm.engineId = engine_.id;
  message.usm.boots = engine_.boots;
  message.usm.time = EngineTimeAt(engine_, now);
  message.usm.userName = user_.name;
  return SealV3Message(message, EncodeScopedPdu({engine_.id, "", pdu}), KeysFor(engine_.id),
                       ++salt_);
}

bool TUsmPeer::InTimeWindow(const TUsmParameters& usm, int64_t now) const {
  if (usm.boots == INT32_MAX || usm.boots < engine_.boots) return false;
  return usm.boots > engine_.boots || usm.time >= EngineTimeAt(engine_, now) - kTimeWindow;
}

void TUsmPeer::Learn(const TUsmParameters& usm, int64_t now) {
  // Keys are kept for the engine in use only, however many engines rediscovery meets.
  if (usm.engineId != engine_.id) {
    for (auto& [engineId, keys] : keys_) {
      WipeSecret(keys.authKey);
      WipeSecret(keys.privKey);
    }
    keys_.clear();
  }
  engine_.id = usm.engineId;
  engine_.boots = usm.boots;
  engine_.time = usm.time;
  engine_.learntAt = now;
}

TUsmReply TUsmPeer::ProcessReply(const std::string& datagram, const TUsmExpected& expected,
                                 int64_t now) {
  TUsmReply reply;
  try {
    const TV3Message message = DecodeV3Message(datagram);
    if (message.msgId != expected.msgId) return reply;
    const TUsmParameters& usm = message.usm;
    const bool claimsAuth = (message.flags & UsmFlag::Auth) != 0;
    // Only the engine and user this peer talks to can authenticate anything.
    std::string scoped;
    const bool authentic = claimsAuth && Discovered() && usm.engineId == engine_.id &&
                           usm.userName == user_.name &&
                           OpenV3Message(datagram, KeysFor(engine_.id), scoped) == TOpenResult::Ok;
    if (!authentic) {
      // Read as plain text, only a report is taken, and only to be told: an agent that cannot
      // check the request's digest signs its report with a key that is not ours.
      if ((message.flags & UsmFlag::Priv) != 0) return reply;
      scoped = message.data;
    }
    const TScopedPdu pdu = DecodeScopedPdu(scoped);
    const auto tag = static_cast<uint8_t>(pdu.pdu[0]);
    const int32_t requestId = RequestIdOf(pdu.pdu);
    if (tag == SnmpTag::GetResponse) {
      if (requestId != expected.requestId || claimsAuth != authentic) return reply;
      // A response comes at the level of the request, and in time.
      const uint8_t level = UsmFlag::Auth | UsmFlag::Priv;
      if ((message.flags & level) != (RequestFlags() & level)) return reply;
      if (authentic) {
        if (!InTimeWindow(usm, now)) return reply;
        if (usm.boots > engine_.boots || usm.time > engine_.time) Learn(usm, now);
      }
      reply.kind = TUsmReply::TKind::Response;
      reply.pdu = pdu.pdu;
    } else if (tag == SnmpTag::Report) {
      // An agent that could not read the request reports with request-id 0.
      if (requestId != expected.requestId && requestId != 0) return reply;
      reply.kind = TUsmReply::TKind::Report;
      reply.report = ReportKindOf(pdu.pdu);
      // Discovery learns from an unauthenticated report; the time only from an authentic one.
      const bool engineLearnt = expected.discovery && !authentic &&
                                reply.report == TUsmReport::UnknownEngineId &&
                                usm.engineId.size() >= kMinEngineIdLength;
      if (engineLearnt || (authentic && reply.report == TUsmReport::NotInTimeWindow)) {
        Learn(usm, now);
        reply.retry = true;
      }
    }
  } catch (const ERangeError&) {
    return TUsmReply{};
  }
  return reply;
}
