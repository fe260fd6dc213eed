#include "SnmpQueries.h"

#include <charconv>

#include "WalkCursor.h"

namespace {

constexpr int32_t kValueType = SnmpTag::OctetString;

void PrepareQuery(TIdSNMP& snmp, const std::string& oid, int32_t pduType) {
  TSNMPInfo& query = snmp.QueryInfo();
  query.Reset();
  query.AddVarBind(oid, "", kValueType);
  query.PduType = pduType;
}

bool ParseLeadingBlanks(const std::string& text, int64_t& value, bool& hex) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) {
    value = 0;
    return false;
  }
  return ParseIntegerText(std::string_view(text).substr(first), value, hex);
}

[[noreturn]] void RaiseConvertError(const std::string& text) {
  throw EConvertError(text + " is not a valid integer value");
}

// Next arc of a dotted OID from pos; pos ends past the dot (npos at the end).
uint64_t NextArc(const std::string& oid, size_t& pos) {
  const auto dot = oid.find('.', pos);
  const size_t end = dot == std::string::npos ? oid.size() : dot;
  uint64_t arc = 0;
  std::from_chars(oid.data() + pos, oid.data() + end, arc);
  pos = dot == std::string::npos ? std::string::npos : dot + 1;
  return arc;
}

}  // namespace

std::string SnmpGetValue(TIdSNMP& snmp, const std::string& oid) {
  try {
    PrepareQuery(snmp, oid, SnmpTag::GetRequest);
    if (snmp.ExchangeQuery() && snmp.ReplyInfo().ValueCount() > 0) {
      return snmp.ReplyInfo().ValueAt(0);
    }
  } catch (const std::exception&) {
  }
  return {};
}

int32_t SnmpWalkIndexes(TIdSNMP& snmp, const std::string& base, std::string& list) {
  list.clear();
  int32_t count = 0;
  TWalkCursor cursor({base});
  while (!cursor.Done()) {
    PrepareQuery(snmp, cursor.Asking().front(), SnmpTag::GetNextRequest);
    if (!snmp.ExchangeQuery()) break;
    const TSNMPInfo& reply = snmp.ReplyInfo();
    for (const TWalkHit& row : cursor.Accept(reply).Rows) {
      list += LastArc(reply.OidAt(row.Binding)) + ",";
      ++count;
    }
  }
  return count;
}

std::string TakeListElement(std::string& list) {
  const auto comma = list.find(',');
  std::string element = comma == std::string::npos || comma == 0 ? list : list.substr(0, comma);
  list.erase(0, comma == std::string::npos ? list.size() : comma + 1);
  return element;
}

bool TryStrToLW(const std::string& text, uint32_t& out) {
  int64_t value = 0;
  bool hex = false;
  const bool parsed = ParseLeadingBlanks(text, value, hex);
  out = parsed ? static_cast<uint32_t>(value) : 0;
  return parsed;
}

uint32_t StrToLW(const std::string& text) {
  uint32_t value = 0;
  if (!TryStrToLW(text, value)) RaiseConvertError(text);
  return value;
}

bool TryStrToUInt64(const std::string& text, uint64_t& out) {
  out = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, out);
  return error == std::errc() && stop == end && !text.empty();
}

bool TryStrToInt(const std::string& text, int32_t& out) {
  int64_t value = 0;
  bool hex = false;
  out = 0;
  if (!ParseLeadingBlanks(text, value, hex)) return false;
  if (hex && value >= INT32_MIN && value <= UINT32_MAX) {
    out = static_cast<int32_t>(static_cast<uint32_t>(value));
    return true;
  }
  if (value < INT32_MIN || value > INT32_MAX) return false;
  out = static_cast<int32_t>(value);
  return true;
}

int32_t StrToInt(const std::string& text) {
  int32_t value = 0;
  if (!TryStrToInt(text, value)) RaiseConvertError(text);
  return value;
}

int CompareOids(const std::string& a, const std::string& b) {
  size_t posA = a.empty() ? std::string::npos : 0;
  size_t posB = b.empty() ? std::string::npos : 0;
  while (posA != std::string::npos && posB != std::string::npos) {
    const uint64_t arcA = NextArc(a, posA);
    const uint64_t arcB = NextArc(b, posB);
    if (arcA != arcB) return arcA < arcB ? -1 : 1;
  }
  if (posA == posB) return 0;
  return posA == std::string::npos ? -1 : 1;
}
