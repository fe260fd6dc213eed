#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "IdSNMP.h"
#include "SnmpAgents.h"

// Points an SNMP component at 127.0.0.1:port with a receive time-out in milliseconds.
inline void AimAt(TIdSNMP& snmp, uint16_t port, int32_t timeoutMs) {
  snmp.SetHost("127.0.0.1");
  snmp.SetPort(port);
  snmp.SetReceiveTimeout(timeoutMs);
}

// One snmpsimd per test suite serving the repository's data files (community "pewter"), and a
// component aimed at it for each test.
class TSnmpSimSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    agent_ = std::make_unique<TSnmpSimAgent>();
    agent_->Start(TestDataDir());
  }
  static void TearDownTestSuite() { agent_.reset(); }
  void SetUp() override { AimAt(snmp_, agent_->Port(), 3000); }

  static inline std::unique_ptr<TSnmpSimAgent> agent_;
  TIdSNMP snmp_;
};
