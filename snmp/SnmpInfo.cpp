#include "SnmpInfo.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <utility>

namespace {

uint8_t OctetAt(std::string_view bytes, size_t pos) {
  if (pos < 1 || pos > bytes.size()) throw ERangeError();
  return static_cast<uint8_t>(bytes[pos - 1]);
}

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// NextArc for what is not plain digits.
[[gnu::noinline]] int32_t NextOddArc(std::string_view text, size_t& pos) {
  const size_t start = pos;
  const size_t dot = text.find('.', start);
  const size_t stop = dot == std::string_view::npos ? text.size() : dot;
  pos = dot == std::string_view::npos ? stop : dot + 1;
  return SnmpStrToIntDef(std::string(text.substr(start, stop - start)));
}

// Takes the leading arc of text from pos (moving past its dot) and gives its number: plain
// decimal up to 4294967295, as arcs go, anything else by the text-to-integer rule.
int64_t NextArc(std::string_view text, size_t& pos) {
  const size_t start = pos;
  uint64_t value = 0;
  while (pos < text.size() && pos - start < 10) {
    const auto digit = static_cast<uint8_t>(text[pos] - '0');
    if (digit > 9) break;
    value = value * 10 + digit;
    ++pos;
  }
  if (pos > start && (pos == text.size() || text[pos] == '.') && value <= UINT32_MAX) {
    if (pos < text.size()) ++pos;
    return static_cast<int64_t>(value);
  }
  pos = start;
  return NextOddArc(text, pos);
}

// Number of a value text for the unsigned types: the signed rule, widened to the full
// unsigned 32-bit range so that counters above 2147483647 keep their value.
uint32_t UnsignedTextToInt(std::string_view text) {
  int64_t value = 0;
  bool hex = false;
  if (ParseIntegerText(Trim(text), value, hex) && value >= INT32_MIN && value <= UINT32_MAX) {
    return static_cast<uint32_t>(value);
  }
  return 0;
}

// The same for Counter64: the signed rule's 64-bit pattern, or decimal up to 2^64 - 1.
uint64_t Unsigned64TextToInt(std::string_view text) {
  text = Trim(text);
  int64_t value = 0;
  bool hex = false;
  if (ParseIntegerText(text, value, hex)) return static_cast<uint64_t>(value);
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  uint64_t magnitude = 0;
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, magnitude);
  return error == std::errc() && end == last ? magnitude : 0;
}

// The one encoder: writes items into a buffer sized beforehand (see Encoded). Begin writes the tag
// and a one-octet length placeholder, End fills it in (moving the content when the length needs the
// long form).
class TTlvWriter {
 public:
  explicit TTlvWriter(char* buffer) : base_(buffer), cursor_(buffer) {}

  size_t Begin(int32_t tag) {
    *cursor_++ = static_cast<char>(tag & 0xFF);
    *cursor_++ = '\0';
    return Size() - 1;
  }
  void End(size_t mark) {
    char* lengthOctet = base_ + mark;
    const auto length = static_cast<uint32_t>(cursor_ - lengthOctet - 1);
    if (length <= 127) {
      *lengthOctet = static_cast<char>(length);
      return;
    }
    const int extra = LengthOctets(length);
    std::memmove(lengthOctet + 1 + extra, lengthOctet + 1, length);
    char* header = lengthOctet;
    PutLengthAt(header, length);
    cursor_ += extra;
  }
  void Put(char octet) { *cursor_++ = octet; }
  void Put(std::string_view octets) {
    std::memcpy(cursor_, octets.data(), octets.size());
    cursor_ += octets.size();
  }
  // Short form up to 127, else 0x80+k and the k octets without leading zero.
  void PutLength(uint32_t length) { PutLengthAt(cursor_, length); }
  // Octets of a pattern from its most significant non-zero octet (0 gives 00); with
  // keepPositive a leading 00 where the first octet would read as negative.
  void PutPattern(uint64_t pattern, bool keepPositive) {
    int shift = pattern == 0 ? 0 : (std::bit_width(pattern) - 1) / 8 * 8;
    if (keepPositive && ((pattern >> shift) & 0x80) != 0) Put('\0');
    for (; shift >= 0; shift -= 8) Put(static_cast<char>((pattern >> shift) & 0xFF));
  }
  // INTEGER content; negative values take all four octets.
  void PutSignedInt(int32_t value) {
    const auto pattern = static_cast<uint32_t>(value);
    if (value >= 0) {
      PutPattern(pattern, true);
      return;
    }
    for (int shift = 24; shift >= 0; shift -= 8) Put(static_cast<char>((pattern >> shift) & 0xFF));
  }
  void PutOidArc(uint32_t value) {
    if (value < 0x80) {
      Put(static_cast<char>(value));
      return;
    }
    int shift = 28;
    while ((value >> shift) == 0) shift -= 7;
    for (; shift > 0; shift -= 7) Put(static_cast<char>(((value >> shift) & 0x7F) | 0x80));
    Put(static_cast<char>(value & 0x7F));
  }
  void PutOid(std::string_view text) {
    size_t pos = 0;
    const auto x = static_cast<uint32_t>(NextArc(text, pos));
    const auto y = static_cast<uint32_t>(NextArc(text, pos));
    PutOidArc(x * 40 + y);
    while (pos < text.size()) PutOidArc(static_cast<uint32_t>(NextArc(text, pos)));
  }
  // A dotted quad cut at its first three dots, each part's low eight bits.
  void PutIp(std::string_view text) {
    for (int part = 0; part < 4; ++part) {
      const auto dot = text.find('.');
      const bool last = part == 3 || dot == std::string_view::npos;
      const std::string number(last ? text : text.substr(0, dot));
      text = last ? std::string_view() : text.substr(dot + 1);
      Put(static_cast<char>(SnmpStrToIntDef(number) & 0xFF));
    }
  }
  // A value's content octets by its type.
  void PutValue(const std::string& text, int32_t type) {
    switch (type) {
      case SnmpTag::Integer:
        PutSignedInt(SnmpStrToIntDef(text));
        return;
      case SnmpTag::Null:
      case SnmpTag::NoSuchObject:
      case SnmpTag::NoSuchInstance:
      case SnmpTag::EndOfMibView:
        return;
      case SnmpTag::ObjectId:
        PutOid(text);
        return;
      case SnmpTag::IpAddress:
        PutIp(text);
        return;
      // No leading zero even where the first octet has its high bit set: the form these have
      // always gone out in.
      case SnmpTag::Counter32:
      case SnmpTag::Gauge32:
      case SnmpTag::TimeTicks:
        PutPattern(UnsignedTextToInt(text), false);
        return;
      case SnmpTag::Counter64:
        PutPattern(Unsigned64TextToInt(text), true);
        return;
      default:
        Put(text);
    }
  }
  size_t Size() const { return static_cast<size_t>(cursor_ - base_); }

  // Most octets the content of a value can take.
  static size_t ValueBound(const std::string& text, int32_t type) {
    switch (type) {
      case SnmpTag::Integer:
      case SnmpTag::Counter32:
      case SnmpTag::Gauge32:
      case SnmpTag::TimeTicks:
      case SnmpTag::IpAddress:
        return 5;
      case SnmpTag::Counter64:
        return 9;
      case SnmpTag::Null:
      case SnmpTag::NoSuchObject:
      case SnmpTag::NoSuchInstance:
      case SnmpTag::EndOfMibView:
        return 0;
      case SnmpTag::ObjectId:
        return OidBound(text);
      default:
        return text.size();
    }
  }
  // Three octets a character: an arc of two or more characters (with its dot) takes at most five
  // octets, a shorter one one octet; the empty text gives one.
  static size_t OidBound(std::string_view text) { return 3 * text.size() + 5; }

 private:
  static int LengthOctets(uint32_t length) {
    int count = 1;
    while (count < 4 && (length >> (8 * count)) != 0) ++count;
    return count;
  }
  static void PutLengthAt(char*& at, uint32_t length) {
    if (length <= 127) {
      *at++ = static_cast<char>(length);
      return;
    }
    const int count = LengthOctets(length);
    *at++ = static_cast<char>(0x80 + count);
    for (int shift = 8 * (count - 1); shift >= 0; shift -= 8) {
      *at++ = static_cast<char>((length >> shift) & 0xFF);
    }
  }

  char* base_;
  char* cursor_;
};

// Runs one writer step into a fresh buffer of the given bound. The writer only holds pointers, so
// that the compiler can keep them in registers.
template <class F>
std::string Encoded(size_t capacity, F&& write) {
  std::string buffer(capacity, '\0');
  TTlvWriter out(buffer.data());
  write(out);
  buffer.resize(out.Size());
  return buffer;
}

// The same into a string kept by the caller, whose room is used again.
template <class F>
void EncodedInto(std::string& buffer, size_t capacity, F&& write) {
  buffer.resize(capacity);
  TTlvWriter out(buffer.data());
  write(out);
  buffer.resize(out.Size());
}

int32_t DecodeIntegerValue(std::string_view content) {
  if (content.empty()) return 0;
  const bool negative = static_cast<uint8_t>(content[0]) >= 0x80;
  uint32_t sum = 0;
  for (const char c : content) {
    const auto octet = static_cast<uint8_t>(c);
    sum = (sum << 8) + (negative ? static_cast<uint8_t>(~octet) : octet);
  }
  // -(s + 1) in two's complement is ~s.
  return static_cast<int32_t>(negative ? ~sum : sum);
}

uint32_t DecodeOidArcView(size_t& pos, std::string_view content) {
  uint32_t value = 0;
  uint8_t octet = 0;
  do {
    octet = OctetAt(content, pos++);
    value = value * 128 + (octet & 0x7F);
  } while (octet & 0x80);
  return value;
}

// Writes the decimal digits of value at out (room for 20) and returns the end.
char* WriteDecimal(char* out, uint64_t value) {
  if (value < 10) {
    *out++ = static_cast<char>('0' + value);
    return out;
  }
  return std::to_chars(out, out + 20, value).ptr;
}

// Replaces out by n characters. A string reused across messages keeps its storage, and when the
// length is the same as before nothing but the characters changes.
[[gnu::always_inline]] inline void SetText(std::string& out, const char* text, size_t n) {
  out.resize(n);
  char* to = out.data();
  // Most texts are short: two fixed-size copies that may overlap beat a call to memcpy.
  if (n >= 16 && n <= 32) {
    std::memcpy(to, text, 16);
    std::memcpy(to + n - 16, text + n - 16, 16);
  } else if (n >= 8 && n < 16) {
    std::memcpy(to, text, 8);
    std::memcpy(to + n - 8, text + n - 8, 8);
  } else if (n >= 4 && n < 8) {
    std::memcpy(to, text, 4);
    std::memcpy(to + n - 4, text + n - 4, 4);
  } else if (n < 4) {
    for (size_t i = 0; i < n; ++i) to[i] = text[i];
  } else {
    std::memcpy(to, text, n);
  }
}

// Replaces out by the text that write(char*) -> end puts into at most bound characters.
template <class F>
void WriteText(std::string& out, size_t bound, F&& write) {
  char text[256];
  if (bound <= sizeof text) {
    SetText(out, text, static_cast<size_t>(write(text) - text));
    return;
  }
  out.resize(bound);
  char* end = write(out.data());
  out.resize(static_cast<size_t>(end - out.data()));
}

// A dot and the digits of each arc that takes one octet (".0" to ".127"): the characters in the low
// four octets (in memory order), their number above.
constexpr auto kArcTexts = [] {
  std::array<uint64_t, 128> texts{};
  for (uint32_t arc = 0; arc < 128; ++arc) {
    char text[4] = {'.'};
    uint64_t size = 1;
    if (arc >= 100) text[size++] = static_cast<char>('0' + arc / 100);
    if (arc >= 10) text[size++] = static_cast<char>('0' + arc / 10 % 10);
    text[size++] = static_cast<char>('0' + arc % 10);
    uint64_t packed = 0;
    for (int i = 0; i < 4; ++i) {
      const auto octet = static_cast<uint64_t>(static_cast<uint8_t>(text[i]));
      packed |=
          std::endian::native == std::endian::little ? octet << (8 * i) : octet << (24 - 8 * i);
    }
    texts[arc] = packed | size << 32;
  }
  return texts;
}();

// Writes "." and the decimal arc at out (room for 21) and returns the end.
char* PutArcText(char* out, uint32_t arc) {
  if (arc >= kArcTexts.size()) {
    *out++ = '.';
    return WriteDecimal(out, arc);
  }
  const uint64_t text = kArcTexts[arc];
  const auto characters = static_cast<uint32_t>(text);
  std::memcpy(out, &characters, 4);
  return out + (text >> 32);
}

void SetOidText(std::string& out, std::string_view content) {
  // An arc of k octets has at most 3k digits; with its dot at most four characters an octet. The
  // first arc adds "2." and a decimal write may use 20 characters of room.
  WriteText(out, content.size() * 4 + 24, [content](char* write) {
    if (content.empty()) return write;
    size_t pos = 1;
    const auto first = static_cast<uint8_t>(content[0]);
    const uint32_t arc = first < 0x80 ? (++pos, first) : DecodeOidArcView(pos, content);
    // The first sub-identifier joins two arcs; from 80 on the first arc is 2.
    const uint32_t top = arc < 80 ? arc / 40 : 2;
    *write++ = static_cast<char>('0' + top);
    write = PutArcText(write, arc - top * 40);
    const auto* octets = reinterpret_cast<const uint8_t*>(content.data());
    const uint8_t* end = octets + content.size();
    for (const uint8_t* at = octets + pos - 1; at != end;) {
      if (*at < 0x80) {
        write = PutArcText(write, *at++);
      } else {
        pos = static_cast<size_t>(at - octets) + 1;
        write = PutArcText(write, DecodeOidArcView(pos, content));
        at = octets + pos - 1;
      }
    }
    return write;
  });
}

// Signed decimal.
void SetDecimalText(std::string& out, uint64_t magnitude, bool negative = false) {
  char text[40];
  char* write = text;
  if (negative) *write++ = '-';
  SetText(out, text, static_cast<size_t>(WriteDecimal(write, magnitude) - text));
}

// Each value type has its text made out of line: inlined, they would make every call of
// SetValueText pay for the largest one's stack frame.

[[gnu::noinline]] void SetStringWithoutZeros(std::string& out, std::string_view content) {
  WriteText(out, content.size(), [content](char* write) {
    for (const char c : content) {
      if (c != '\0') *write++ = c;
    }
    return write;
  });
}

// The octets with those of value 0 left out.
[[gnu::noinline]] void SetStringText(std::string& out, std::string_view content) {
  if (content.find('\0') == std::string_view::npos) {
    SetText(out, content.data(), content.size());
  } else {
    SetStringWithoutZeros(out, content);
  }
}

// Each octet in decimal, joined by ".".
[[gnu::noinline]] void SetIpText(std::string& out, std::string_view content) {
  WriteText(out, content.size() * 4 + 20, [content](char* write) {
    for (size_t i = 0; i < content.size(); ++i) {
      if (i > 0) *write++ = '.';
      write = WriteDecimal(write, static_cast<uint8_t>(content[i]));
    }
    return write;
  });
}

// Unsigned, most significant octet first; longer contents keep their low 64 bits.
[[gnu::noinline]] void SetUnsignedText(std::string& out, std::string_view content) {
  uint64_t sum = 0;
  for (const char c : content) sum = (sum << 8) + static_cast<uint8_t>(c);
  SetDecimalText(out, sum);
}

[[gnu::noinline]] void SetIntegerText(std::string& out, std::string_view content) {
  const int32_t value = DecodeIntegerValue(content);
  const auto magnitude = static_cast<uint32_t>(value);
  SetDecimalText(out, value < 0 ? 0 - magnitude : magnitude, value < 0);
}

// Replaces out by the value text of an item's content.
void SetValueText(std::string& out, std::string_view content, int32_t type) {
  switch (type) {
    case SnmpTag::Integer:
      SetIntegerText(out, content);
      return;
    case SnmpTag::OctetString:
    case SnmpTag::Opaque:
      SetStringText(out, content);
      return;
    case SnmpTag::ObjectId:
      SetOidText(out, content);
      return;
    case SnmpTag::IpAddress:
      SetIpText(out, content);
      return;
    // Counter64 takes up to nine octets, the first a leading zero.
    case SnmpTag::Counter32:
    case SnmpTag::Gauge32:
    case SnmpTag::TimeTicks:
    case SnmpTag::Counter64:
      SetUnsignedText(out, content);
      return;
    default:
      out.clear();
  }
}

uint32_t DecodeLengthView(size_t& pos, std::string_view message) {
  const uint8_t first = OctetAt(message, pos++);
  if (first < 0x80) return first;
  uint32_t length = 0;
  for (int count = first & 0x7F; count > 0; --count) {
    length = (length << 8) | OctetAt(message, pos++);
  }
  return length;
}

enum class TItemKind { None, PastEnd, Constructed, Primitive };

// Reads an item's tag and length at pos (at least 1). A primitive item that fits gives its content
// and leaves pos past it; a constructed one leaves pos on its first content octet.
TItemKind ReadHeader(size_t& pos, std::string_view message, int32_t& tag,
                     std::string_view& content) {
  if (pos >= message.size()) {
    tag = SnmpTag::Null;
    return TItemKind::None;
  }
  // The tag and the first length octet are both there.
  const auto octet = static_cast<uint8_t>(message[pos - 1]);
  const auto first = static_cast<uint8_t>(message[pos]);
  tag = octet;
  pos += 2;
  uint32_t length = first;
  if (first >= 0x80) {
    size_t at = pos - 1;
    length = DecodeLengthView(at, message);
    pos = at;
  }
  if (pos + static_cast<uint64_t>(length) - 1 > message.size()) return TItemKind::PastEnd;
  if (octet & 0x20) return TItemKind::Constructed;
  content = std::string_view(message.data() + pos - 1, length);
  pos += length;
  return TItemKind::Primitive;
}

// Replaces out by an item's text: "$" and the tag for a constructed item, the value text for a
// primitive one, empty for none.
void SetItemText(std::string& out, TItemKind kind, int32_t tag, std::string_view content) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  switch (kind) {
    case TItemKind::Constructed:
      out.assign({'$', kHex[(tag >> 4) & 0x0F], kHex[tag & 0x0F]});
      return;
    case TItemKind::Primitive:
      SetValueText(out, content, tag);
      return;
    default:
      out.clear();
  }
}

// Reads one item at pos into out and its type.
void ReadItemInto(std::string& out, size_t& pos, std::string_view message, int32_t& type) {
  std::string_view content;
  const TItemKind kind = ReadHeader(pos, message, type, content);
  // Names are object identifiers: they skip the dispatch by type.
  if (kind == TItemKind::Primitive && type == SnmpTag::ObjectId) {
    SetOidText(out, content);
  } else {
    SetItemText(out, kind, type, content);
  }
}

// The text-to-integer rule applied to an item's text, without building the text where the
// number is known directly.
int32_t ReadNumber(size_t& pos, std::string_view message) {
  int32_t tag = 0;
  std::string_view content;
  const TItemKind kind = ReadHeader(pos, message, tag, content);
  if (kind == TItemKind::Constructed) return tag;
  if (kind == TItemKind::Primitive && tag == SnmpTag::Integer) return DecodeIntegerValue(content);
  std::string text;
  SetItemText(text, kind, tag, content);
  return SnmpStrToIntDef(text);
}

constexpr const char* kErrorStatusNames[] = {"noError",
                                             "tooBig",
                                             "noSuchName",
                                             "badValue",
                                             "readOnly",
                                             "genErr",
                                             "noAccess",
                                             "wrongType",
                                             "wrongLength",
                                             "wrongEncoding",
                                             "wrongValue",
                                             "noCreation",
                                             "inconsistentValue",
                                             "resourceUnavailable",
                                             "commitFailed",
                                             "undoFailed",
                                             "authorizationError",
                                             "notWritable",
                                             "inconsistentName"};

}  // namespace

std::string ErrorStatusName(int32_t status) {
  if (status >= 0 && static_cast<size_t>(status) < std::size(kErrorStatusNames)) {
    return kErrorStatusNames[status];
  }
  return std::to_string(status);
}

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
    value = static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
    return true;
  }
  if (magnitude > static_cast<uint64_t>(INT64_MAX) + (negative ? 1 : 0)) return false;
  value = static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
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
  return Encoded(5, [length](TTlvWriter& out) { out.PutLength(length); });
}

std::string MakeTlv(const std::string& content, int32_t tag) {
  return Encoded(content.size() + 6, [&](TTlvWriter& out) {
    const size_t mark = out.Begin(tag);
    out.Put(content);
    out.End(mark);
  });
}

uint32_t DecodeLength(size_t& pos, const std::string& message) {
  return DecodeLengthView(pos, message);
}

std::string EncodeSignedInt(int32_t value) {
  return Encoded(4, [value](TTlvWriter& out) { out.PutSignedInt(value); });
}

std::string EncodeUnsignedInt(int32_t value) {
  return Encoded(4,
                 [value](TTlvWriter& out) { out.PutPattern(static_cast<uint32_t>(value), false); });
}

std::string EncodeOidArc(uint32_t value) {
  return Encoded(5, [value](TTlvWriter& out) { out.PutOidArc(value); });
}

uint32_t DecodeOidArc(size_t& pos, const std::string& content) {
  return DecodeOidArcView(pos, content);
}

int32_t TakeArc(std::string& text) {
  size_t pos = 0;
  const int64_t arc = NextArc(text, pos);
  // A text without a dot is taken whole.
  text.erase(0, pos);
  return arc > INT32_MAX ? 0 : static_cast<int32_t>(arc);
}

std::string OidTextToBytes(const std::string& text) {
  return Encoded(TTlvWriter::OidBound(text), [&text](TTlvWriter& out) { out.PutOid(text); });
}

std::string OidBytesToText(const std::string& content) {
  std::string text;
  SetOidText(text, content);
  return text;
}

std::string IpTextToBytes(const std::string& text) {
  return Encoded(4, [&text](TTlvWriter& out) { out.PutIp(text); });
}

std::string ReadItem(size_t& pos, const std::string& message, int32_t& valueType) {
  if (pos == 0 && !message.empty()) throw ERangeError();
  std::string text;
  ReadItemInto(text, pos, message, valueType);
  return text;
}

TSNMPInfo::TSNMPInfo(TSnmpRecordOwner* owner) : Owner(owner) {
  if (Owner != nullptr) {
    community_ = Owner->DefaultCommunity();
    TargetPort = Owner->DefaultPort(*this);
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
  count_ = 0;
  if (Owner == nullptr) {
    community_.clear();
    TargetHost.clear();
    TargetPort = 0;
    return;
  }
  community_ = Owner->DefaultCommunity();
  TargetPort = Owner->DefaultPort(*this);
  TargetHost = Owner->DefaultHost();
}

TSNMPInfo::TBinding& TSNMPInfo::NextSlot() {
  if (count_ == bindings_.size()) bindings_.emplace_back();
  return bindings_[count_];
}

void TSNMPInfo::AddVarBind(const std::string& oid, const std::string& value, int32_t valueType) {
  if (count_ == bindings_.size()) {
    // Copied before the vector grows: the texts may be this record's own.
    bindings_.push_back({oid, value, valueType});
  } else {
    TBinding& slot = bindings_[count_];
    slot.oid.assign(oid);
    slot.value.assign(value);
    slot.type = valueType;
  }
  ++count_;
}

namespace {
[[noreturn]] void RaiseIndexError(size_t index) {
  throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
}
}  // namespace

const std::string& TSNMPInfo::OidAt(size_t index) const {
  if (index >= count_) RaiseIndexError(index);
  return bindings_[index].oid;
}

const std::string& TSNMPInfo::ValueAt(size_t index) const {
  if (index >= count_) RaiseIndexError(index);
  return bindings_[index].value;
}

int32_t TSNMPInfo::ValueTypeAt(size_t index) const {
  if (index >= count_) RaiseIndexError(index);
  return bindings_[index].type;
}

std::string TSNMPInfo::EncodeMessage() const {
  std::string message;
  Encode(message, true);
  return message;
}

void TSNMPInfo::EncodeMessage(std::string& message) const {
  Encode(message, true);
}

std::string TSNMPInfo::EncodePdu() const {
  std::string pdu;
  Encode(pdu, false);
  return pdu;
}

void TSNMPInfo::Encode(std::string& into, bool wholeMessage) const {
  // Every item header takes at most six octets, every INTEGER at most five.
  size_t capacity = 8 * 6 + 4 * 5 + community_.size();
  for (size_t i = 0; i < count_; ++i) {
    const TBinding& binding = bindings_[i];
    const int32_t type = binding.type == 0 ? SnmpTag::OctetString : binding.type;
    capacity +=
        3 * 6 + TTlvWriter::OidBound(binding.oid) + TTlvWriter::ValueBound(binding.value, type);
  }
  EncodedInto(into, capacity, [&](TTlvWriter& out) {
    const auto putInteger = [&out](int32_t value) {
      const size_t mark = out.Begin(SnmpTag::Integer);
      out.PutSignedInt(value);
      out.End(mark);
    };
    size_t message = 0;
    if (wholeMessage) {
      message = out.Begin(SnmpTag::Sequence);
      putInteger(Version);
      const size_t community = out.Begin(SnmpTag::OctetString);
      out.Put(community_);
      out.End(community);
    }
    const size_t pdu = out.Begin(PduType);
    putInteger(RequestId);
    putInteger(ErrStatus);
    putInteger(ErrIndex);
    const size_t list = out.Begin(SnmpTag::Sequence);
    for (size_t i = 0; i < count_; ++i) {
      const TBinding& binding = bindings_[i];
      const int32_t type = binding.type == 0 ? SnmpTag::OctetString : binding.type;
      const size_t sequence = out.Begin(SnmpTag::Sequence);
      const size_t name = out.Begin(SnmpTag::ObjectId);
      out.PutOid(binding.oid);
      out.End(name);
      const size_t value = out.Begin(type);
      out.PutValue(binding.value, type);
      out.End(value);
      out.End(sequence);
    }
    out.End(list);
    out.End(pdu);
    if (wholeMessage) out.End(message);
  });
}

void TSNMPInfo::DecodeMessage(const std::string& message) {
  size_t pos = 2;
  const uint32_t endMark = DecodeLengthView(pos, message);
  int32_t type = 0;
  Version = ReadNumber(pos, message);
  std::string_view community;
  const size_t communityPos = pos;
  if (ReadHeader(pos, message, type, community) != TItemKind::Primitive ||
      type != SnmpTag::OctetString || community != community_) {
    pos = communityPos;
    SetCommunity(ReadItem(pos, message, type));
  }
  DecodePduAt(message, pos, endMark);
}

void TSNMPInfo::DecodePdu(const std::string& pdu) {
  // The bindings end with the PDU's content (or the octets that arrived).
  size_t pos = 2;
  const uint64_t length = DecodeLengthView(pos, pdu);
  const auto end = static_cast<size_t>(std::min<uint64_t>(pos + length, pdu.size() + 1));
  pos = 1;
  DecodePduAt(pdu, pos, end);
}

void TSNMPInfo::DecodePduAt(std::string_view bytes, size_t pos, size_t end) {
  PduType = ReadNumber(pos, bytes);
  RequestId = ReadNumber(pos, bytes);
  ErrStatus = ReadNumber(pos, bytes);
  ErrIndex = ReadNumber(pos, bytes);
  int32_t type = 0;
  std::string_view header;
  ReadHeader(pos, bytes, type, header);
  // The loop's own position, whose address no call takes: it can stay in a register.
  size_t at = pos;
  // A length claiming more octets than arrived must not keep the loop alive: stop at the end of
  // the message and on a binding that moves nothing.
  while (at < end && at <= bytes.size()) {
    const size_t start = at;
    ReadHeader(at, bytes, type, header);
    TBinding& slot = NextSlot();
    ReadItemInto(slot.oid, at, bytes, type);
    ReadItemInto(slot.value, at, bytes, slot.type);
    if (at == start) break;
    ++count_;
  }
}
