#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SnmpInfo.h"
#include "Usm.h"

// Milliseconds on the caller's monotonic clock; the session keeps no clock of its own.
using TSnmpTime = std::chrono::milliseconds;

// What became of a pending request: a received datagram answered it or asks to send it again,
// or its deadline came.
struct TSnmpReceived {
  enum TKind {
    Reply,     // the reply came: the request ends
    Resend,    // the agent's engine or its clock was learnt: Datagram goes out in its place
    TimedOut,  // the deadline came and nothing answered
    Report     // the deadline came and only an SNMPv3 report did (ReportKind tells which)
  };
  TKind Kind = Reply;
  int32_t RequestId = 0;
  TUsmReport ReportKind = TUsmReport::Other;
  std::string Datagram;
};

// The request/reply bookkeeping of one peer, without any I/O: fresh request-ids, deadlines and
// the matching of received datagrams to the requests still pending. A reply must carry the
// request-id and the community asked with. With a security peer the requests go out as SNMPv3
// messages: the first one discovers the agent's engine, and a request the agent finds out of
// its time window is sent once more. Reports end nothing before the deadline: anyone can send
// one, and an answer that authenticates may still come.
class TSnmpSession {
 public:
  // Request-ids continue from a random start, or from firstRequestId (1 to 2147483647).
  TSnmpSession();
  explicit TSnmpSession(int32_t firstRequestId);

  // SNMPv3 from now on through the peer, or (null) the query's own version and community.
  void SetSecurity(std::shared_ptr<TUsmPeer> peer) { security_ = std::move(peer); }
  const TUsmPeer* Security() const { return security_.get(); }
  // The next request discovers the agent's engine afresh (SNMPv3; nothing otherwise).
  void Rediscover() {
    if (security_) security_->ForgetEngine();
  }

  // The longest reply taken: a longer one ends its request as tooBig, with no bindings.
  size_t LargestReply = SIZE_MAX;

  // Gives the query a fresh request-id, notes it as pending until now + timeout, and returns
  // the datagram to send (also kept in query.Packet).
  std::string Start(TSNMPInfo& query, TSnmpTime now, TSnmpTime timeout);

  // Decodes a received datagram into reply. What it does to the pending request it answers
  // comes back (Reply or Resend); a datagram that does not decode, fails its checks, answers
  // nothing pending (a late or foreign one) or is a report is dropped.
  std::optional<TSnmpReceived> OnDatagram(const std::string& datagram, TSNMPInfo& reply,
                                          TSnmpTime now = TSnmpTime(0));

  // The pending requests whose deadline has come by now; they end (TimedOut or Report).
  std::vector<TSnmpReceived> OnTick(TSnmpTime now);

  // The earliest deadline of the pending requests.
  std::optional<TSnmpTime> NextDeadline() const;
  bool Idle() const { return pending_.empty(); }
  // Forgets every pending request: replies that come later find nothing to complete.
  void Cancel() { pending_.clear(); }
  // Forgets one pending request (one that could not be sent, say).
  void Forget(int32_t requestId) {
    std::erase_if(pending_, [requestId](const TPending& p) { return p.RequestId == requestId; });
  }

 private:
  struct TPending {
    int32_t RequestId = 0;
    TSnmpTime Deadline{0};
    std::string Community;
    // SNMPv3: the message's id, the request to send again, and what happened so far.
    int32_t MsgId = 0;
    TSnmpTime Timeout{0};
    std::string Pdu;
    bool Discovery = false;
    bool Resent = false;
    std::optional<TUsmReport> Report;  // the last report that came instead of an answer
  };
  int32_t NextRequestId();
  std::optional<TSnmpReceived> OnSecured(const std::string& datagram, TSNMPInfo& reply,
                                         TSnmpTime now);
  // A reply longer than LargestReply is its request's tooBig.
  void LimitSize(const std::string& datagram, TSNMPInfo& reply) const;

  int32_t lastRequestId_;
  std::vector<TPending> pending_;
  std::shared_ptr<TUsmPeer> security_;
};
