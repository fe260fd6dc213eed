#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "SnmpAgents.h"

// A host's objects as a table of names and typed values that answers Get, GetNext (and, in
// version 2c, GetBulk) requests the way an agent does. Safe to change while an agent serves it.
class TScriptedMib {
 public:
  // Sets one object; the type is the BER tag of the value (2, 4, 6, 0x41 ...).
  void Set(const std::string& oid, int32_t type, const std::string& value);
  void Remove(const std::string& oid);
  // Loads an snmpsim data file ("oid|type|value" lines).
  void Load(const std::string& snmprecPath);

  // The reply to one request datagram, or empty when it is no request this table answers.
  std::string Answer(const std::string& request) const;

  // The largest reply sent: a longer Get or GetNext reply becomes tooBig, a longer GetBulk
  // reply loses bindings from its end.
  std::atomic<size_t> MaxReply{65507};

 private:
  std::string Reply(const std::string& request) const;
  struct TValue {
    std::string Oid;
    int32_t Type;
    std::string Text;
  };
  using TKey = std::vector<uint32_t>;
  static TKey KeyOf(const std::string& oid);

  mutable std::mutex lock_;
  std::map<TKey, TValue> objects_;
};

// A scripted agent on a free 127.0.0.1 port serving a TScriptedMib: it records every request
// datagram, can answer after a delay, can fall silent, and can let a forger send datagrams
// ahead of each answer.
class TScriptedAgent {
 public:
  explicit TScriptedAgent(std::string community = "pewter");
  ~TScriptedAgent();

  TScriptedMib Mib;
  std::atomic<int> DelayMicroseconds{0};
  std::atomic<bool> Silent{false};
  // What the forger gives for a request goes out before the answer: Replies from the agent's
  // own port (a forger who spoofs its address), FromOtherPort from another one.
  using TForger = std::function<TFakeUdpAgent::TOutgoing(const std::string& request)>;
  void SetForger(TForger forger);

  uint16_t Port() const { return udp_->Port(); }
  uint16_t OtherPort() const { return udp_->OtherPort(); }
  int Requests() const { return udp_->Requests(); }
  // The request datagrams received so far, in order.
  std::vector<std::string> Received() const;
  void ClearReceived();

 private:
  std::string community_;
  mutable std::mutex lock_;
  std::vector<std::string> received_;
  TForger forger_;
  std::unique_ptr<TFakeUdpAgent> udp_;
};

// A host with `interfaces` interfaces (in ifTable and ifXTable), two processors and three
// storage areas (one of a type that is not shown), in the layout the monitors walk.
void FillHost(TScriptedMib& mib, int interfaces);

// A v1 or v2c reply to request, with its request-id moved by idShift, in the community given,
// that answers every binding asked for with the value (of the BER type).
std::string ForgedReply(const std::string& request, const std::string& community,
                        const std::string& value, int32_t type = 2, int32_t idShift = 0);

// The octets of a datagram in hexadecimal, with the request-id's content replaced by "ID" so
// that recordings of different runs compare equal.
std::string MaskedHex(const std::string& datagram);
