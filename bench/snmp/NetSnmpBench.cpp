// The same two operations through net-snmp's library (snmp_build / snmp_parse).
#include <benchmark/benchmark.h>
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "BenchMessages.h"

namespace {

netsnmp_session MakeSession(const std::string& community, long version = SNMP_VERSION_1) {
  static bool initialised = false;
  if (!initialised) {
    setenv("MIBS", "", 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    init_snmp("corvane-bench");
    initialised = true;
  }
  netsnmp_session session;
  snmp_sess_init(&session);
  session.version = version;
  session.community = reinterpret_cast<u_char*>(const_cast<char*>(community.c_str()));
  session.community_len = community.size();
  return session;
}

void BM_NetSnmpEncodeGetRequest(benchmark::State& state) {
  netsnmp_session session = MakeSession(kBenchCommunity);
  netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_GET);
  oid name[MAX_OID_LEN];
  size_t nameLength = MAX_OID_LEN;
  read_objid(kBenchOid.c_str(), name, &nameLength);
  snmp_add_null_var(pdu, name, nameLength);
  pdu->version = SNMP_VERSION_1;
  size_t bufferSize = 256;
  auto* buffer = static_cast<u_char*>(malloc(bufferSize));
  size_t used = 0;
  for (auto _ : state) {
    used = 0;
    pdu->reqid = 1;
    if (snmp_build(&buffer, &bufferSize, &used, &session, pdu) != 0) {
      state.SkipWithError("snmp_build failed");
      break;
    }
    benchmark::DoNotOptimize(buffer);
  }
  if (used != 40) state.SkipWithError("unexpected message length");
  free(buffer);
  snmp_free_pdu(pdu);
}
BENCHMARK(BM_NetSnmpEncodeGetRequest);

void BM_NetSnmpDecodeCounterReply(benchmark::State& state) {
  netsnmp_session session = MakeSession("pewter");
  u_char data[64];
  memcpy(data, kCounterReply.data(), kCounterReply.size());
  for (auto _ : state) {
    netsnmp_pdu* pdu = snmp_pdu_create(0);
    if (snmp_parse(nullptr, &session, pdu, data, kCounterReply.size()) != 0 ||
        pdu->variables == nullptr || *pdu->variables->val.integer != 0xFFFFFFFF) {
      state.SkipWithError("snmp_parse failed");
      snmp_free_pdu(pdu);
      break;
    }
    snmp_free_pdu(pdu);
  }
}
BENCHMARK(BM_NetSnmpDecodeCounterReply);

void BM_NetSnmpDecodeBulkReply(benchmark::State& state) {
  netsnmp_session session = MakeSession("public", SNMP_VERSION_2c);
  const std::string reply = BulkReply();
  std::vector<u_char> data(reply.begin(), reply.end());
  size_t count = 0;
  for (auto _ : state) {
    netsnmp_pdu* pdu = snmp_pdu_create(0);
    if (snmp_parse(nullptr, &session, pdu, data.data(), data.size()) != 0) {
      state.SkipWithError("snmp_parse failed");
      snmp_free_pdu(pdu);
      break;
    }
    count = 0;
    for (const netsnmp_variable_list* v = pdu->variables; v != nullptr; v = v->next_variable) {
      ++count;
    }
    snmp_free_pdu(pdu);
  }
  if (count != kBulkBindings) state.SkipWithError("wrong number of bindings");
}
BENCHMARK(BM_NetSnmpDecodeBulkReply);

}  // namespace
