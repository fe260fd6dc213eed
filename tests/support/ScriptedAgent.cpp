#include "ScriptedAgent.h"

#include <unistd.h>

#include <charconv>
#include <fstream>
#include <stdexcept>

#include "SnmpInfo.h"

namespace {

std::string Hex(const std::string& octets, size_t from, size_t to) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (size_t i = from; i < to && i < octets.size(); ++i) {
    const auto octet = static_cast<uint8_t>(octets[i]);
    text += kDigits[octet >> 4];
    text += kDigits[octet & 0x0F];
    text += ' ';
  }
  return text;
}

// Length octets at pos (0-based, advanced).
size_t ReadLength(const std::string& octets, size_t& pos) {
  const auto first = static_cast<uint8_t>(octets.at(pos++));
  if (first < 0x80) return first;
  size_t length = 0;
  for (int count = first & 0x7F; count > 0; --count) {
    length = (length << 8) | static_cast<uint8_t>(octets.at(pos++));
  }
  return length;
}

}  // namespace

TScriptedMib::TKey TScriptedMib::KeyOf(const std::string& oid) {
  TKey key;
  const char* cursor = oid.data();
  const char* end = oid.data() + oid.size();
  while (cursor < end) {
    uint32_t arc = 0;
    const auto result = std::from_chars(cursor, end, arc);
    key.push_back(arc);
    cursor = result.ptr;
    if (cursor < end) ++cursor;  // the dot
  }
  return key;
}

void TScriptedMib::Set(const std::string& oid, int32_t type, const std::string& value) {
  const std::lock_guard<std::mutex> guard(lock_);
  objects_[KeyOf(oid)] = {oid, type, value};
}

void TScriptedMib::Remove(const std::string& oid) {
  const std::lock_guard<std::mutex> guard(lock_);
  objects_.erase(KeyOf(oid));
}

void TScriptedMib::Load(const std::string& snmprecPath) {
  std::ifstream in(snmprecPath);
  if (!in) throw std::runtime_error("cannot read " + snmprecPath);
  for (std::string line; std::getline(in, line);) {
    const auto first = line.find('|');
    const auto second = line.find('|', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    Set(line.substr(0, first), std::stoi(line.substr(first + 1, second - first - 1)),
        line.substr(second + 1));
  }
}

std::string TScriptedMib::Answer(const std::string& request) const {
  std::string reply = Reply(request);
  if (reply.size() <= MaxReply) return reply;
  TSNMPInfo query(nullptr);
  query.DecodeMessage(request);
  if (query.PduType != SnmpTag::GetBulkRequest) {
    TSNMPInfo tooBig(nullptr);
    tooBig.SetCommunity(query.Community());
    tooBig.Version = 1;
    tooBig.PduType = SnmpTag::GetResponse;
    tooBig.RequestId = query.RequestId;
    tooBig.ErrStatus = 1;
    return tooBig.EncodeMessage();
  }
  TSNMPInfo answer(nullptr);
  answer.SetCommunity(query.Community());
  answer.DecodeMessage(reply);
  while (reply.size() > MaxReply && answer.Count() > 1) {
    TSNMPInfo shorter(nullptr);
    shorter.SetCommunity(answer.Community());
    shorter.Version = 1;
    shorter.PduType = SnmpTag::GetResponse;
    shorter.RequestId = answer.RequestId;
    for (size_t i = 0; i + 1 < answer.Count(); ++i) {
      shorter.AddVarBind(answer.OidAt(i), answer.ValueAt(i), answer.ValueTypeAt(i));
    }
    answer = shorter;
    reply = answer.EncodeMessage();
  }
  return reply;
}

std::string TScriptedMib::Reply(const std::string& request) const {
  TSNMPInfo query(nullptr);
  try {
    query.DecodeMessage(request);
  } catch (const ERangeError&) {
    return {};
  }
  // The community assignment during decoding resets the version; read it again.
  size_t pos = 2;
  DecodeLength(pos, request);
  int32_t type = 0;
  const int32_t version = SnmpStrToIntDef(ReadItem(pos, request, type));
  const bool v2 = version == 1;

  TSNMPInfo reply(nullptr);
  reply.SetCommunity(query.Community());
  reply.Version = version;
  reply.PduType = SnmpTag::GetResponse;
  reply.RequestId = query.RequestId;

  const std::lock_guard<std::mutex> guard(lock_);
  const auto next = [this](const std::string& oid) { return objects_.upper_bound(KeyOf(oid)); };
  const auto fail = [&](size_t index) {
    reply.ErrStatus = SnmpErrorStatus::NoSuchName;
    reply.ErrIndex = static_cast<int32_t>(index + 1);
    for (size_t i = 0; i < query.Count(); ++i) reply.AddVarBind(query.OidAt(i), "", SnmpTag::Null);
    return reply.EncodeMessage();
  };

  switch (query.PduType) {
    case SnmpTag::GetRequest:
      for (size_t i = 0; i < query.Count(); ++i) {
        const auto found = objects_.find(KeyOf(query.OidAt(i)));
        if (found != objects_.end()) {
          reply.AddVarBind(found->second.Oid, found->second.Text, found->second.Type);
        } else if (!v2) {
          return fail(i);
        } else {
          // An instance of a known column is noSuchInstance, anything else noSuchObject.
          auto column = KeyOf(query.OidAt(i));
          if (!column.empty()) column.pop_back();
          const auto after = objects_.lower_bound(column);
          const bool inColumn = after != objects_.end() &&
                                std::equal(column.begin(), column.end(), after->first.begin());
          reply.AddVarBind(query.OidAt(i), "",
                           inColumn ? SnmpTag::NoSuchInstance : SnmpTag::NoSuchObject);
        }
      }
      return reply.EncodeMessage();
    case SnmpTag::GetNextRequest:
      for (size_t i = 0; i < query.Count(); ++i) {
        const auto found = next(query.OidAt(i));
        if (found != objects_.end()) {
          reply.AddVarBind(found->second.Oid, found->second.Text, found->second.Type);
        } else if (!v2) {
          return fail(i);
        } else {
          reply.AddVarBind(query.OidAt(i), "", SnmpTag::EndOfMibView);
        }
      }
      return reply.EncodeMessage();
    case SnmpTag::GetBulkRequest: {
      if (!v2) return {};
      const auto nonRepeaters = static_cast<size_t>(std::max(query.ErrStatus, 0));
      const int32_t repetitions = std::max(query.ErrIndex, 0);
      const auto add = [&](const std::string& oid) {
        const auto found = next(oid);
        if (found == objects_.end()) {
          reply.AddVarBind(oid, "", SnmpTag::EndOfMibView);
          return oid;
        }
        reply.AddVarBind(found->second.Oid, found->second.Text, found->second.Type);
        return found->second.Oid;
      };
      for (size_t i = 0; i < nonRepeaters && i < query.Count(); ++i) add(query.OidAt(i));
      std::vector<std::string> cursors;
      for (size_t i = nonRepeaters; i < query.Count(); ++i) cursors.push_back(query.OidAt(i));
      for (int32_t round = 0; round < repetitions && !cursors.empty(); ++round) {
        bool any = false;
        for (std::string& cursor : cursors) {
          const std::string before = cursor;
          cursor = add(cursor);
          any = any || cursor != before;
        }
        if (!any) break;
      }
      return reply.EncodeMessage();
    }
    default:
      return {};
  }
}

TScriptedAgent::TScriptedAgent(std::string community) : community_(std::move(community)) {
  udp_ = std::make_unique<TFakeUdpAgent>(
      TFakeUdpAgent::TForgingHandler([this](const std::string& request) {
        TFakeUdpAgent::TOutgoing outgoing;
        {
          const std::lock_guard<std::mutex> guard(lock_);
          received_.push_back(request);
          if (forger_) outgoing = forger_(request);
        }
        if (Silent) return outgoing;
        if (const int delay = DelayMicroseconds; delay > 0) usleep(static_cast<useconds_t>(delay));
        TSNMPInfo probe(nullptr);
        try {
          probe.DecodeMessage(request);
        } catch (const ERangeError&) {
          return outgoing;
        }
        if (probe.Community() != community_) return outgoing;
        std::string answer = Mib.Answer(request);
        if (!answer.empty()) outgoing.Replies.push_back(std::move(answer));
        return outgoing;
      }));
}

void TScriptedAgent::SetForger(TForger forger) {
  const std::lock_guard<std::mutex> guard(lock_);
  forger_ = std::move(forger);
}

TScriptedAgent::~TScriptedAgent() {
  udp_.reset();
}

std::vector<std::string> TScriptedAgent::Received() const {
  const std::lock_guard<std::mutex> guard(lock_);
  return received_;
}

void TScriptedAgent::ClearReceived() {
  const std::lock_guard<std::mutex> guard(lock_);
  received_.clear();
}

void FillHost(TScriptedMib& mib, int interfaces) {
  mib.Set("1.3.6.1.2.1.1.3.0", 0x43, "100000");
  for (int p : {768, 769}) {
    const std::string index = std::to_string(p);
    mib.Set("1.3.6.1.2.1.25.3.3.1.1." + index, 6, "0.0");
    mib.Set("1.3.6.1.2.1.25.3.3.1.2." + index, 2, std::to_string(p - 760));
  }
  for (int i = 1; i <= interfaces; ++i) {
    const std::string index = std::to_string(i);
    mib.Set("1.3.6.1.2.1.2.2.1.1." + index, 2, index);
    mib.Set("1.3.6.1.2.1.2.2.1.2." + index, 4, "eth" + index);
    mib.Set("1.3.6.1.2.1.2.2.1.3." + index, 2, "6");
    mib.Set("1.3.6.1.2.1.2.2.1.5." + index, 0x42, "1000000000");
    mib.Set("1.3.6.1.2.1.2.2.1.10." + index, 0x41, std::to_string(1000 * i));
    mib.Set("1.3.6.1.2.1.2.2.1.16." + index, 0x41, std::to_string(2000 * i));
    // ifXTable: the name, 64-bit counters and the speed in Mbit/s.
    mib.Set("1.3.6.1.2.1.31.1.1.1.1." + index, 4, "e" + index);
    mib.Set("1.3.6.1.2.1.31.1.1.1.6." + index, 0x46, std::to_string(1000 * i));
    mib.Set("1.3.6.1.2.1.31.1.1.1.10." + index, 0x46, std::to_string(2000 * i));
    mib.Set("1.3.6.1.2.1.31.1.1.1.15." + index, 0x42, "1000");
  }
  const struct {
    int Index, Type, Units;
    const char* Descr;
    int Size, Used;
  } areas[] = {{1, 2, 1024, "Physical memory", 2097152, 1048576},
               {5, 5, 512, "Removable disk", 1000, 10},
               {31, 4, 4096, "/", 262144, 250000}};
  for (const auto& area : areas) {
    const std::string index = std::to_string(area.Index);
    const std::string column = "1.3.6.1.2.1.25.2.3.1.";
    mib.Set(column + "1." + index, 2, index);
    mib.Set(column + "2." + index, 6, "1.3.6.1.2.1.25.2.1." + std::to_string(area.Type));
    mib.Set(column + "3." + index, 4, area.Descr);
    mib.Set(column + "4." + index, 2, std::to_string(area.Units));
    mib.Set(column + "5." + index, 2, std::to_string(area.Size));
    mib.Set(column + "6." + index, 2, std::to_string(area.Used));
  }
}

std::string ForgedReply(const std::string& request, const std::string& community,
                        const std::string& value, int32_t type, int32_t idShift) {
  TSNMPInfo first(nullptr);
  first.DecodeMessage(request);
  // Read again in its own community, which keeps the version.
  TSNMPInfo asked(nullptr);
  asked.SetCommunity(first.Community());
  asked.DecodeMessage(request);
  TSNMPInfo reply(nullptr);
  reply.SetCommunity(community);
  reply.Version = asked.Version;
  reply.PduType = SnmpTag::GetResponse;
  reply.RequestId = asked.RequestId + idShift;
  for (size_t i = 0; i < asked.Count(); ++i) reply.AddVarBind(asked.OidAt(i), value, type);
  return reply.EncodeMessage();
}

std::string MaskedHex(const std::string& datagram) {
  // SEQUENCE, version, community, then the PDU's header and its request-id.
  try {
    size_t pos = 1;
    ReadLength(datagram, pos);
    pos += 1;
    pos += ReadLength(datagram, pos);  // version
    pos += 1;
    pos += ReadLength(datagram, pos);  // community
    pos += 1;
    ReadLength(datagram, pos);  // PDU
    const size_t idStart = pos;
    pos += 1;
    const size_t idLength = ReadLength(datagram, pos);
    return Hex(datagram, 0, idStart) + "02 ID " + Hex(datagram, pos + idLength, datagram.size());
  } catch (const std::out_of_range&) {
    return Hex(datagram, 0, datagram.size());
  }
}
