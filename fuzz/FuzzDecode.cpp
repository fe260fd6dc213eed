// Arbitrary octets into the message decoders; only the codec's own range error is expected.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "SnmpInfo.h"
#include "Usm.h"

namespace {

// Runs one decoding of info; what decoded must be readable by index.
template <class F>
bool Decoded(const TSNMPInfo& info, F&& decode) {
  try {
    decode();
  } catch (const ERangeError&) {
    return false;
  }
  for (size_t i = 0; i < info.Count(); ++i) {
    info.OidAt(i);
    info.ValueAt(i);
  }
  return true;
}

// What decoded must encode again, and the message end with its PDU.
void DecodeV1(const std::string& message) {
  TSNMPInfo info(nullptr);
  info.SetCommunity("pewter");
  if (Decoded(info, [&] { info.DecodeMessage(message); }) &&
      !info.EncodeMessage().ends_with(info.EncodePdu())) {
    abort();
  }
}

// The same octets as a PDU alone, into a record that has held other bindings before.
void DecodePdu(const std::string& pdu) {
  static TSNMPInfo info(nullptr);
  info.Reset();
  if (Decoded(info, [&] { info.DecodePdu(pdu); })) info.EncodePdu();
}

// Fixed keys (SHA-256 and AES, localized to an arbitrary engine): no input can carry their digest.
const TUsmKeys& TestKeys() {
  static const TUsmKeys keys = [] {
    TUsmKeys made;
    made.auth = TUsmAuthProtocol::Sha256;
    made.priv = TUsmPrivProtocol::Aes128;
    made.authKey = LocalizeKey(made.auth, std::string(32, '\x5A'), "fuzz-engine");
    made.privKey = LocalizeKey(made.auth, std::string(32, '\xA5'), "fuzz-engine");
    return made;
  }();
  return keys;
}

// A peer taking the message as the reply to its own request, at discovery and after it; a report
// may teach it an engine, whose keys are then tried on the digest.
void ProcessV3(const std::string& message, const TV3Message& decoded) {
  static TUsmPeer peer(TUsmUser{"fuzz", TUsmSecurityLevel::AuthPriv, TUsmAuthProtocol::Sha256,
                                TUsmPrivProtocol::Aes128, "fuzz-auth-pass", "fuzz-priv-pass"});
  peer.ForgetEngine();
  int32_t requestId = 0;
  try {
    TSNMPInfo pdu(nullptr);
    pdu.DecodePdu(DecodeScopedPdu(decoded.data).pdu);
    requestId = pdu.RequestId;
  } catch (const ERangeError&) {
  }
  for (const bool discovery : {true, false}) {
    const TUsmReply reply = peer.ProcessReply(message, {decoded.msgId, requestId, discovery}, 0);
    if (reply.retry && reply.kind != TUsmReply::TKind::Report) abort();
  }
}

void DecodeV3(const std::string& message) {
  TV3Message decoded;
  try {
    decoded = DecodeV3Message(message);
  } catch (const ERangeError&) {
    return;
  }
  // What decoded must encode and decode again to the same fields.
  const TV3Message again = DecodeV3Message(EncodeV3Message(decoded));
  const TUsmParameters &a = decoded.usm, &b = again.usm;
  if (again.msgId != decoded.msgId || again.maxSize != decoded.maxSize ||
      again.flags != decoded.flags || again.data != decoded.data || a.engineId != b.engineId ||
      a.boots != b.boots || a.time != b.time || a.userName != b.userName ||
      a.authParams != b.authParams || a.privParams != b.privParams) {
    abort();
  }
  ProcessV3(message, decoded);
  std::string scoped;
  const TOpenResult result = OpenV3Message(message, TestKeys(), scoped);
  if ((decoded.flags & UsmFlag::Auth) != 0 && result == TOpenResult::Ok) abort();
  if (result != TOpenResult::Ok) return;
  try {
    const TScopedPdu pdu = DecodeScopedPdu(scoped);
    if (pdu.pdu[0] == static_cast<char>(0xA8)) UsmReportText(ReportKindOf(pdu.pdu));
  } catch (const ERangeError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string message(reinterpret_cast<const char*>(data), size);
  DecodeV1(message);
  DecodePdu(message);
  DecodeV3(message);
  return 0;
}
