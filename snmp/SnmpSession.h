#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "SnmpInfo.h"

// Milliseconds on the caller's monotonic clock; the session keeps no clock of its own.
using TSnmpTime = std::chrono::milliseconds;

// The request/reply bookkeeping of one peer, without any I/O: fresh request-ids, deadlines and
// the matching of received datagrams to the requests still pending.
class TSnmpSession {
 public:
  // Request-ids continue from a random start, or from firstRequestId (1 to 2147483647).
  TSnmpSession();
  explicit TSnmpSession(int32_t firstRequestId);

  // Gives the query a fresh request-id, notes it as pending until now + timeout, and returns
  // the datagram to send (also kept in query.Packet).
  std::string Start(TSNMPInfo& query, TSnmpTime now, TSnmpTime timeout);

  // Decodes a received datagram into reply. When it answers a pending request, that request
  // ends and its id is returned; a datagram that does not decode, or answers nothing pending
  // (a late or foreign one), is dropped.
  std::optional<int32_t> OnDatagram(const std::string& datagram, TSNMPInfo& reply);

  // The pending requests whose deadline has come by now; they end.
  std::vector<int32_t> OnTick(TSnmpTime now);

  // The earliest deadline of the pending requests.
  std::optional<TSnmpTime> NextDeadline() const;
  bool Idle() const { return pending_.empty(); }
  // Forgets every pending request: replies that come later find nothing to complete.
  void Cancel() { pending_.clear(); }

 private:
  struct TPending {
    int32_t RequestId;
    TSnmpTime Deadline;
    std::string Community;
  };
  int32_t NextRequestId();

  int32_t lastRequestId_;
  std::vector<TPending> pending_;
};
