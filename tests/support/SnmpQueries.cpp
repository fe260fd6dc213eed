#include "SnmpQueries.h"

#include "WalkCursor.h"

namespace {

constexpr int32_t kValueType = SnmpTag::OctetString;

void PrepareQuery(TIdSNMP& snmp, const std::string& oid, int32_t pduType) {
  TSNMPInfo& query = snmp.QueryInfo();
  query.Reset();
  query.AddVarBind(oid, "", kValueType);
  query.PduType = pduType;
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
