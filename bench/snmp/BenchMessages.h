#pragma once

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

// The monitor's 40-octet GetRequest for sysUpTime.0, community "public".
inline const std::string kBenchCommunity = "public";
inline const std::string kBenchOid = "1.3.6.1.2.1.1.3.0";

// A GetResponse captured from snmpsimd: ifInOctets.2 = Counter32 4294967295, community "pewter".
inline const std::string kCounterReply(
    "\x30\x2d\x02\x01\x00\x04\x06pewter\xa2\x20\x02\x01\x01\x02\x01\x00\x02\x01\x00\x30\x15\x30"
    "\x13\x06\x0a\x2b\x06\x01\x02\x01\x02\x02\x01\x0a\x02\x41\x05\x00\xff\xff\xff\xff",
    47);

// An SNMPv2c GetBulk reply captured from snmpd (community "public", non-repeaters 0,
// max-repetitions 10): 50 bindings of ifName, ifInMulticastPkts, ifHCInOctets, ifHCOutOctets and
// ifInOctets onwards, OCTET STRING, Counter32 and Counter64 values.
inline const size_t kBulkBindings = 50;
inline std::string BulkReply() {
  std::ifstream in(CORVANE_CORPUS_DIR "/snmpd-v2c-getbulk-50.bin", std::ios::binary);
  if (!in) throw std::runtime_error("cannot read the captured GetBulk reply");
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
