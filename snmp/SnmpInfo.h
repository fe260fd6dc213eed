#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "SnmpErrors.h"

class TSNMPInfo;

// What a record takes its defaults from when it is reset: the client that owns it.
class TSnmpRecordOwner {
 public:
  virtual ~TSnmpRecordOwner() = default;
  virtual std::string DefaultCommunity() const = 0;
  virtual std::string DefaultHost() const = 0;
  // The port a record of this owner is sent to.
  virtual int32_t DefaultPort(const TSNMPInfo& record) const = 0;
};

// BER tags of the value types the codec knows.
namespace SnmpTag {
constexpr int32_t Integer = 2;
constexpr int32_t OctetString = 4;
constexpr int32_t Null = 5;
constexpr int32_t ObjectId = 6;
constexpr int32_t Sequence = 0x30;
constexpr int32_t IpAddress = 0x40;
constexpr int32_t Counter32 = 0x41;
constexpr int32_t Gauge32 = 0x42;
constexpr int32_t TimeTicks = 0x43;
constexpr int32_t Opaque = 0x44;
constexpr int32_t Counter64 = 0x46;
// SNMPv2 replies put these in place of a value: empty content, the tag says why.
constexpr int32_t NoSuchObject = 0x80;
constexpr int32_t NoSuchInstance = 0x81;
constexpr int32_t EndOfMibView = 0x82;
constexpr int32_t GetRequest = 0xA0;
constexpr int32_t GetNextRequest = 0xA1;
constexpr int32_t GetResponse = 0xA2;
constexpr int32_t GetBulkRequest = 0xA5;
constexpr int32_t Report = 0xA8;
}  // namespace SnmpTag

// Values of the version field.
namespace SnmpVersion {
constexpr int32_t V1 = 0;
constexpr int32_t V2c = 1;
}  // namespace SnmpVersion

// error-status values; SNMPv1 agents use 0 to 5.
namespace SnmpErrorStatus {
constexpr int32_t NoError = 0;
constexpr int32_t TooBig = 1;
constexpr int32_t NoSuchName = 2;
constexpr int32_t BadValue = 3;
constexpr int32_t ReadOnly = 4;
constexpr int32_t GenErr = 5;
constexpr int32_t NoAccess = 6;
constexpr int32_t WrongType = 7;
constexpr int32_t WrongLength = 8;
constexpr int32_t WrongEncoding = 9;
constexpr int32_t WrongValue = 10;
constexpr int32_t NoCreation = 11;
constexpr int32_t InconsistentValue = 12;
constexpr int32_t ResourceUnavailable = 13;
constexpr int32_t CommitFailed = 14;
constexpr int32_t UndoFailed = 15;
constexpr int32_t AuthorizationError = 16;
constexpr int32_t NotWritable = 17;
constexpr int32_t InconsistentName = 18;
}  // namespace SnmpErrorStatus

// The name of an error-status ("tooBig"), or its decimal text when it has none.
std::string ErrorStatusName(int32_t status);

// One SNMP message as a record of texts: SNMPv1 with Version 0, SNMPv2c with Version 1. A
// GetBulkRequest carries non-repeaters in ErrStatus and max-repetitions in ErrIndex.
class TSNMPInfo {
 public:
  // Takes community and port from the owner (which may be null: empty defaults).
  explicit TSNMPInfo(TSnmpRecordOwner* owner);

  TSnmpRecordOwner* Owner;
  std::string Packet, TargetHost;
  int32_t TargetPort = 0, Version = 0, PduType = 0, RequestId = 0, ErrStatus = 0, ErrIndex = 0;

  std::string Community() const { return community_; }
  // A different text resets the record first, then is stored; an equal text does nothing.
  void SetCommunity(const std::string& community);

  // Back to the owner's defaults with no bindings; Packet is kept.
  void Reset();
  // Appends a binding; value type 0 goes out as an OCTET STRING.
  void AddVarBind(const std::string& oid, const std::string& value, int32_t valueType);

  // Binding accessors; an index outside the list raises std::out_of_range.
  const std::string& OidAt(size_t index) const;
  const std::string& ValueAt(size_t index) const;
  int32_t ValueTypeAt(size_t index) const;
  size_t Count() const { return count_; }
  // Every name has its value: the same as Count.
  size_t ValueCount() const { return count_; }

  // The message octets of the record.
  std::string EncodeMessage() const;
  // The same into message, whose room is used again.
  void EncodeMessage(std::string& message) const;
  // The PDU alone (tag PduType, request-id, error fields, bindings), as a scoped PDU carries it.
  std::string EncodePdu() const;
  // Fills the record from a message, appending its bindings; raises ERangeError on a read past
  // the end (what was decoded until then stays).
  void DecodeMessage(const std::string& message);
  // Fills PduType, RequestId, ErrStatus and ErrIndex from a PDU and appends its bindings, as
  // DecodeMessage does for the PDU of a message; raises ERangeError as DecodeMessage does.
  void DecodePdu(const std::string& pdu);

 private:
  struct TBinding {
    std::string oid, value;
    int32_t type = 0;
  };
  void Encode(std::string& into, bool wholeMessage) const;
  // Reads the PDU at pos and its bindings until pos reaches end (1-based positions).
  void DecodePduAt(std::string_view bytes, size_t pos, size_t end);
  // The binding after the last one; its strings may hold text from earlier use.
  TBinding& NextSlot();

  std::string community_;
  // Only the first count_ entries are bindings: the rest stay from earlier messages so that
  // decoding the next one reuses their strings' storage instead of allocating.
  std::vector<TBinding> bindings_;
  size_t count_ = 0;
};

// Whole text as an optional sign and decimal digits, or a sign, "$" and hexadecimal digits (a
// 64-bit pattern); false on anything else or a decimal value outside the signed 64-bit range.
bool ParseIntegerText(std::string_view text, int64_t& value, bool& hex);

// The codec's text-to-integer rule: blanks trimmed, signed 32-bit decimal or "$" hexadecimal;
// anything else (or out of range) gives `fallback`.
int32_t SnmpStrToIntDef(const std::string& text, int32_t fallback = 0);

// Tag octet (low eight bits of tag) + length octets + content.
std::string MakeTlv(const std::string& content, int32_t tag);
// Short form up to 127, else 0x80+k and k octets without leading zero.
std::string EncodeLength(uint32_t length);
// Reads a length at pos (1-based, advanced); ERangeError when the octets run out.
uint32_t DecodeLength(size_t& pos, const std::string& message);
// INTEGER content octets; negative values take all four octets.
std::string EncodeSignedInt(int32_t value);
// Counter32/Gauge32/TimeTicks content octets of the value's 32-bit pattern.
std::string EncodeUnsignedInt(int32_t value);
// One OID arc in base 128.
std::string EncodeOidArc(uint32_t value);
// Reads one base-128 arc at pos (1-based, advanced); ERangeError when the octets run out.
uint32_t DecodeOidArc(size_t& pos, const std::string& content);
// "1.3.6.1..." to OID content octets.
std::string OidTextToBytes(const std::string& text);
// OID content octets to dotted text; ERangeError on a last octet with bit 0x80 set.
std::string OidBytesToText(const std::string& content);
// Dotted quad to four octets.
std::string IpTextToBytes(const std::string& text);
// Removes the leading arc (and its dot) from text and returns its number.
int32_t TakeArc(std::string& text);
// Reads one item at pos (1-based, advanced): its text and value type (the tag). Constructed items
// give "$" + tag in hex and leave pos on their first content octet. ERangeError on a read past
// the end.
std::string ReadItem(size_t& pos, const std::string& message, int32_t& valueType);
