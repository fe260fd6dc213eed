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

std::string TSnmpSession::Start(TSNMPInfo& query, TSnmpTime now, TSnmpTime timeout) {
  query.RequestId = NextRequestId();
  query.Packet = query.EncodeMessage();
  pending_.push_back({query.RequestId, now + timeout, query.Community()});
  return query.Packet;
}

std::optional<int32_t> TSnmpSession::OnDatagram(const std::string& datagram, TSNMPInfo& reply) {
  reply.Reset();
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
    return p.RequestId == reply.RequestId;
  });
  if (match == pending_.end()) return std::nullopt;
  pending_.erase(match);
  return reply.RequestId;
}

std::vector<int32_t> TSnmpSession::OnTick(TSnmpTime now) {
  std::vector<int32_t> expired;
  std::erase_if(pending_, [&](const TPending& p) {
    if (p.Deadline > now) return false;
    expired.push_back(p.RequestId);
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
