#include "SnmpSession.h"

#include <algorithm>
#include <random>

TSnmpSession::TSnmpSession() {
  std::random_device seed;
  lastRequestId_ = static_cast<int32_t>(seed() % 0x7FFFFFFF);
}

TSnmpSession::TSnmpSession(int32_t firstRequestId) : lastRequestId_(firstRequestId - 1) {}

int32_t TSnmpSession::NextRequestId() {
  lastRequestId_ = lastRequestId_ % 0x7FFFFFFF + 1;
  return lastRequestId_;
}

namespace {

int64_t Seconds(TSnmpTime time) {
  return std::chrono::duration_cast<std::chrono::seconds>(time).count();
}

}  // namespace

std::string TSnmpSession::Start(TSNMPInfo& query, TSnmpTime now, TSnmpTime timeout) {
  query.RequestId = NextRequestId();
  if (!security_) {
    query.EncodeMessage(query.Packet);
    TPending pending;
    pending.RequestId = query.RequestId;
    pending.Deadline = now + timeout;
    pending.Community = query.Community();
    pending_.push_back(std::move(pending));
    return query.Packet;
  }
  TPending pending;
  pending.RequestId = query.RequestId;
  pending.Deadline = now + timeout;
  pending.MsgId = NextRequestId();
  pending.Timeout = timeout;
  pending.Pdu = query.EncodePdu();
  // Until the agent's engine is known, the request waits behind the engine's discovery.
  pending.Discovery = !security_->Discovered();
  query.Packet = pending.Discovery ? security_->DiscoveryRequest(pending.MsgId, query.RequestId)
                                   : security_->Request(pending.MsgId, pending.Pdu, Seconds(now));
  pending_.push_back(std::move(pending));
  return query.Packet;
}

void TSnmpSession::LimitSize(const std::string& datagram, TSNMPInfo& reply) const {
  if (datagram.size() <= LargestReply) return;
  // What the agent would have answered, had it known the limit.
  const std::string community = reply.Community();
  const int32_t version = reply.Version, pduType = reply.PduType, requestId = reply.RequestId;
  reply.Reset();
  reply.SetCommunity(community);
  reply.Version = version;
  reply.PduType = pduType;
  reply.RequestId = requestId;
  reply.ErrStatus = SnmpErrorStatus::TooBig;
}

std::optional<TSnmpReceived> TSnmpSession::OnSecured(const std::string& datagram, TSNMPInfo& reply,
                                                     TSnmpTime now) {
  for (auto p = pending_.begin(); p != pending_.end(); ++p) {
    const TUsmReply answer =
        security_->ProcessReply(datagram, {p->MsgId, p->RequestId, p->Discovery}, Seconds(now));
    if (answer.kind == TUsmReply::TKind::Dropped) continue;
    TSnmpReceived received;
    received.RequestId = p->RequestId;
    if (answer.kind == TUsmReply::TKind::Report) {
      if (!answer.retry || (p->Resent && !p->Discovery)) {
        // Told when the deadline comes, unless an answer comes first.
        p->Report = answer.report;
        return std::nullopt;
      }
      // Learnt the engine (at discovery), or its clock once: the request goes out again.
      p->Resent = p->Resent || !p->Discovery;
      p->Discovery = false;
      p->MsgId = NextRequestId();
      p->Deadline = now + p->Timeout;
      received.Kind = TSnmpReceived::Resend;
      received.Datagram = security_->Request(p->MsgId, p->Pdu, Seconds(now));
      return received;
    }
    try {
      reply.DecodePdu(answer.pdu);
    } catch (const ERangeError&) {
      return std::nullopt;
    }
    pending_.erase(p);
    reply.Version = 3;
    reply.Packet = datagram;
    LimitSize(datagram, reply);
    return received;
  }
  return std::nullopt;
}

std::optional<TSnmpReceived> TSnmpSession::OnDatagram(const std::string& datagram, TSNMPInfo& reply,
                                                      TSnmpTime now) {
  reply.Reset();
  if (security_) return OnSecured(datagram, reply, now);
  // Decoding with the community asked for keeps the reply's version (a different community
  // resets the record while it is read).
  if (!pending_.empty()) reply.SetCommunity(pending_.front().Community);
  reply.Packet = datagram;
  try {
    reply.DecodeMessage(datagram);
  } catch (const ERangeError&) {
    return std::nullopt;
  }
  const auto match = std::find_if(pending_.begin(), pending_.end(), [&reply](const TPending& p) {
    return p.RequestId == reply.RequestId && p.Community == reply.Community();
  });
  if (match == pending_.end()) return std::nullopt;
  pending_.erase(match);
  LimitSize(datagram, reply);
  return TSnmpReceived{TSnmpReceived::Reply, reply.RequestId, TUsmReport::Other, {}};
}

std::vector<TSnmpReceived> TSnmpSession::OnTick(TSnmpTime now) {
  std::vector<TSnmpReceived> expired;
  std::erase_if(pending_, [&](const TPending& p) {
    if (p.Deadline > now) return false;
    TSnmpReceived& ended = expired.emplace_back();
    ended.RequestId = p.RequestId;
    ended.Kind = p.Report ? TSnmpReceived::Report : TSnmpReceived::TimedOut;
    ended.ReportKind = p.Report.value_or(TUsmReport::Other);
    return true;
  });
  return expired;
}

std::optional<TSnmpTime> TSnmpSession::NextDeadline() const {
  if (pending_.empty()) return std::nullopt;
  return std::min_element(
             pending_.begin(), pending_.end(),
             [](const TPending& a, const TPending& b) { return a.Deadline < b.Deadline; })
      ->Deadline;
}
