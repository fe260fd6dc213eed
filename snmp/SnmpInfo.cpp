#include "SnmpInfo.h"

#include <charconv>
#include <stdexcept>

#include "IdSNMP.h"

namespace {

uint8_t OctetAt(const std::string& bytes, size_t pos) {
  if (pos < 1 || pos > bytes.size()) throw ERangeError();
  return static_cast<uint8_t>(bytes[pos - 1]);
}

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// Number of a value text for the unsigned types: the signed rule, widened to the full
// unsigned 32-bit range so that counters above 2147483647 keep their value.
int32_t UnsignedTextToInt(const std::string& text) {
  int64_t value = 0;
  bool hex = false;
  const std::string trimmed = Trim(text);
  if (ParseIntegerText(trimmed, value, hex) && value >= INT32_MIN && value <= UINT32_MAX) {
    return static_cast<int32_t>(static_cast<uint32_t>(value));
  }
  return 0;
}

std::string ValueContent(const std::string& text, int32_t type) {
  switch (type) {
    case SnmpTag::Integer:
      return EncodeSignedInt(SnmpStrToIntDef(text));
    case SnmpTag::Null:
      return {};
    case SnmpTag::ObjectId:
      return OidTextToBytes(text);
    case SnmpTag::IpAddress:
      return IpTextToBytes(text);
    case SnmpTag::Counter32:
    case SnmpTag::Gauge32:
    case SnmpTag::TimeTicks:
      return EncodeUnsignedInt(UnsignedTextToInt(text));
    default:
      return text;
  }
}

std::string DecodeInteger(const std::string& content) {
  if (content.empty()) return "0";
  const bool negative = static_cast<uint8_t>(content[0]) >= 0x80;
  uint32_t sum = 0;
  for (const char c : content) {
    const auto octet = static_cast<uint8_t>(c);
    sum = (sum << 8) + (negative ? static_cast<uint8_t>(~octet) : octet);
  }
  // -(s + 1) in two's complement is ~s.
  const uint32_t pattern = negative ? ~sum : sum;
  return std::to_string(static_cast<int32_t>(pattern));
}

std::string DecodeUnsigned(const std::string& content) {
  uint64_t sum = 0;
  for (const char c : content) sum = (sum << 8) + static_cast<uint8_t>(c);
  return std::to_string(static_cast<int64_t>(sum));
}

std::string DecodeIpAddress(const std::string& content) {
  std::string text;
  for (size_t i = 0; i < content.size(); ++i) {
    if (i > 0) text += '.';
    text += std::to_string(static_cast<uint8_t>(content[i]));
  }
  return text;
}

std::string WithoutZeroOctets(const std::string& content) {
  std::string text;
  text.reserve(content.size());
  for (const char c : content) {
    if (c != '\0') text += c;
  }
  return text;
}

std::string DecodeValue(const std::string& content, int32_t type) {
  switch (type) {
    case SnmpTag::Integer:
      return DecodeInteger(content);
    case SnmpTag::OctetString:
    case SnmpTag::Opaque:
      return WithoutZeroOctets(content);
    case SnmpTag::ObjectId:
      return OidBytesToText(content);
    case SnmpTag::IpAddress:
      return DecodeIpAddress(content);
    case SnmpTag::Counter32:
    case SnmpTag::Gauge32:
    case SnmpTag::TimeTicks:
      return DecodeUnsigned(content);
    default:
      return {};
  }
}

// Content octets of a 32-bit pattern from its most significant non-zero octet (0 gives 00).
std::string SignificantOctets(uint32_t pattern) {
  std::string octets;
  int shift = 24;
  while (shift > 0 && ((pattern >> shift) & 0xFF) == 0) shift -= 8;
  for (; shift >= 0; shift -= 8) octets += static_cast<char>((pattern >> shift) & 0xFF);
  return octets;
}

}  // namespace

bool ParseIntegerText(std::string_view text, int64_t& value, bool& hex) {
  value = 0;
  hex = false;
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i < text.size() && text[i] == '$') {
    hex = true;
    ++i;
  }
  if (i >= text.size()) return false;
  uint64_t magnitude = 0;
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(first, last, magnitude, hex ? 16 : 10);
  if (error != std::errc() || end != last) return false;
  if (hex) {
    const auto pattern = static_cast<int64_t>(magnitude);
    value = negative ? static_cast<int64_t>(0 - magnitude) : pattern;
    return true;
  }
  if (negative) {
    if (magnitude > static_cast<uint64_t>(INT64_MAX) + 1) return false;
    value = static_cast<int64_t>(0 - magnitude);
  } else {
    if (magnitude > static_cast<uint64_t>(INT64_MAX)) return false;
    value = static_cast<int64_t>(magnitude);
  }
  return true;
}

int32_t SnmpStrToIntDef(const std::string& text, int32_t fallback) {
  int64_t value = 0;
  bool hex = false;
  if (!ParseIntegerText(Trim(text), value, hex)) return fallback;
  if (hex && value >= INT32_MIN && value <= UINT32_MAX) {
    return static_cast<int32_t>(static_cast<uint32_t>(value));
  }
  if (value < INT32_MIN || value > INT32_MAX) return fallback;
  return static_cast<int32_t>(value);
}

std::string EncodeLength(uint32_t length) {
  if (length <= 127) return std::string(1, static_cast<char>(length));
  std::string octets;
  for (uint32_t rest = length; rest != 0; rest >>= 8) {
    octets.insert(octets.begin(), static_cast<char>(rest & 0xFF));
  }
  return static_cast<char>(0x80 + octets.size()) + octets;
}

std::string MakeTlv(const std::string& content, int32_t tag) {
  std::string item;
  item.reserve(content.size() + 6);
  item += static_cast<char>(tag & 0xFF);
  item += EncodeLength(static_cast<uint32_t>(content.size()));
  item += content;
  return item;
}

uint32_t DecodeLength(size_t& pos, const std::string& message) {
  const uint8_t first = OctetAt(message, pos++);
  if (first < 0x80) return first;
  uint32_t length = 0;
  for (int count = first & 0x7F; count > 0; --count) {
    length = (length << 8) | OctetAt(message, pos++);
  }
  return length;
}

std::string EncodeSignedInt(int32_t value) {
  const auto pattern = static_cast<uint32_t>(value);
  if (value < 0) {
    return {static_cast<char>(pattern >> 24), static_cast<char>((pattern >> 16) & 0xFF),
            static_cast<char>((pattern >> 8) & 0xFF), static_cast<char>(pattern & 0xFF)};
  }
  std::string octets = SignificantOctets(pattern);
  if (static_cast<uint8_t>(octets[0]) >= 0x80) octets.insert(octets.begin(), '\0');
  return octets;
}

std::string EncodeUnsignedInt(int32_t value) {
  return SignificantOctets(static_cast<uint32_t>(value));
}

std::string EncodeOidArc(uint32_t value) {
  char groups[5];
  int count = 0;
  do {
    groups[count++] = static_cast<char>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  std::string octets;
  for (int i = count - 1; i >= 0; --i) {
    octets += static_cast<char>(i > 0 ? (groups[i] | 0x80) : groups[i]);
  }
  return octets;
}

uint32_t DecodeOidArc(size_t& pos, const std::string& content) {
  uint32_t value = 0;
  uint8_t octet = 0;
  do {
    octet = OctetAt(content, pos++);
    value = value * 128 + (octet & 0x7F);
  } while (octet & 0x80);
  return value;
}

int32_t TakeArc(std::string& text) {
  const auto dot = text.find('.');
  std::string arc;
  if (dot == std::string::npos) {
    arc.swap(text);
  } else {
    arc = text.substr(0, dot);
    text.erase(0, dot + 1);
  }
  return SnmpStrToIntDef(arc);
}

std::string OidTextToBytes(const std::string& text) {
  std::string rest = text;
  const auto x = static_cast<uint32_t>(TakeArc(rest));
  const auto y = static_cast<uint32_t>(TakeArc(rest));
  std::string octets = EncodeOidArc(x * 40 + y);
  while (!rest.empty()) octets += EncodeOidArc(static_cast<uint32_t>(TakeArc(rest)));
  return octets;
}

std::string OidBytesToText(const std::string& content) {
  std::string text;
  size_t pos = 1;
  bool first = true;
  while (pos <= content.size()) {
    uint32_t arc = DecodeOidArc(pos, content);
    if (first) {
      // The first sub-identifier joins two arcs; from 80 on the first arc is 2.
      const uint32_t top = arc < 80 ? arc / 40 : 2;
      text = std::to_string(top);
      arc -= top * 40;
      first = false;
    }
    text += '.';
    text += std::to_string(arc);
  }
  return text;
}

std::string IpTextToBytes(const std::string& text) {
  std::string rest = text;
  std::string octets;
  for (int part = 0; part < 4; ++part) {
    std::string number;
    const auto dot = rest.find('.');
    if (part == 3 || dot == std::string::npos) {
      number.swap(rest);
    } else {
      number = rest.substr(0, dot);
      rest.erase(0, dot + 1);
    }
    octets += static_cast<char>(SnmpStrToIntDef(number) & 0xFF);
  }
  return octets;
}

std::string ReadItem(size_t& pos, const std::string& message, int32_t& valueType) {
  valueType = SnmpTag::Null;
  if (pos >= message.size()) return {};
  const uint8_t tag = OctetAt(message, pos++);
  valueType = tag;
  const uint32_t length = DecodeLength(pos, message);
  if (pos + static_cast<uint64_t>(length) - 1 > message.size()) return {};
  if (tag & 0x20) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    return {'$', kHex[tag >> 4], kHex[tag & 0x0F]};
  }
  const std::string content = message.substr(pos - 1, length);
  pos += length;
  return DecodeValue(content, tag);
}

TSNMPInfo::TSNMPInfo(TIdSNMP* owner) : Owner(owner) {
  if (Owner != nullptr) {
    community_ = Owner->Community();
    TargetPort = Owner->Port();
  }
}

void TSNMPInfo::SetCommunity(const std::string& community) {
  if (community == community_) return;
  Reset();
  community_ = community;
}

void TSNMPInfo::Reset() {
  Version = 0;
  PduType = RequestId = ErrStatus = ErrIndex = 0;
  oids_.clear();
  values_.clear();
  if (Owner == nullptr) {
    community_.clear();
    TargetHost.clear();
    TargetPort = 0;
    return;
  }
  community_ = Owner->Community();
  TargetPort = this == &Owner->TrapInfo() ? Owner->TrapPort() : Owner->Port();
  TargetHost = Owner->Host();
}

void TSNMPInfo::PadValues() {
  while (values_.size() < oids_.size()) values_.push_back({std::string(), 0});
}

void TSNMPInfo::AddVarBind(const std::string& oid, const std::string& value, int32_t valueType) {
  PadValues();
  oids_.push_back(oid);
  if (values_.size() >= oids_.size()) {
    values_[oids_.size() - 1] = {value, valueType};
  } else {
    values_.push_back({value, valueType});
  }
}

const std::string& TSNMPInfo::OidAt(size_t index) const {
  if (index >= oids_.size()) {
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  }
  return oids_[index];
}

const std::string& TSNMPInfo::ValueAt(size_t index) const {
  if (index >= values_.size()) {
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  }
  return values_[index].text;
}

int32_t TSNMPInfo::ValueTypeAt(size_t index) const {
  if (index >= values_.size()) {
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  }
  return values_[index].type;
}

std::string TSNMPInfo::EncodeMessage() {
  PadValues();
  std::string bindings;
  for (size_t i = 0; i < oids_.size(); ++i) {
    const int32_t type = values_[i].type == 0 ? SnmpTag::OctetString : values_[i].type;
    bindings += MakeTlv(MakeTlv(OidTextToBytes(oids_[i]), SnmpTag::ObjectId) +
                            MakeTlv(ValueContent(values_[i].text, type), type),
                        SnmpTag::Sequence);
  }
  const std::string pdu = MakeTlv(EncodeSignedInt(RequestId), SnmpTag::Integer) +
                          MakeTlv(EncodeSignedInt(ErrStatus), SnmpTag::Integer) +
                          MakeTlv(EncodeSignedInt(ErrIndex), SnmpTag::Integer) +
                          MakeTlv(bindings, SnmpTag::Sequence);
  return MakeTlv(MakeTlv(EncodeSignedInt(Version), SnmpTag::Integer) +
                     MakeTlv(community_, SnmpTag::OctetString) + MakeTlv(pdu, PduType),
                 SnmpTag::Sequence);
}

void TSNMPInfo::DecodeMessage(const std::string& message) {
  size_t pos = 2;
  const uint32_t endMark = DecodeLength(pos, message);
  int32_t type = 0;
  Version = SnmpStrToIntDef(ReadItem(pos, message, type));
  SetCommunity(ReadItem(pos, message, type));
  PduType = SnmpStrToIntDef(ReadItem(pos, message, type));
  RequestId = SnmpStrToIntDef(ReadItem(pos, message, type));
  ErrStatus = SnmpStrToIntDef(ReadItem(pos, message, type));
  ErrIndex = SnmpStrToIntDef(ReadItem(pos, message, type));
  ReadItem(pos, message, type);
  // A length claiming more octets than arrived must not keep the loop alive: stop at the end of
  // the message and on a binding that moves nothing.
  while (pos < endMark && pos <= message.size()) {
    const size_t start = pos;
    ReadItem(pos, message, type);
    const std::string oid = ReadItem(pos, message, type);
    const std::string value = ReadItem(pos, message, type);
    if (pos == start) break;
    AddVarBind(oid, value, type);
  }
}
