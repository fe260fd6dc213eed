#include "ScriptedTransport.h"

#include <algorithm>

#include "SnmpInfo.h"

TScriptedTransport::TScriptedTransport(const TScriptedMib& mib, TClock& clock,
                                       std::string community)
    : FMib(mib), FClock(clock), FCommunity(std::move(community)) {}

void TScriptedTransport::Later(int64_t ms, std::function<void()> f) {
  const uint64_t generation = FGeneration;
  auto guarded = [this, generation, f = std::move(f)] {
    if (generation == FGeneration) f();
  };
  if (ms > 0) {
    FClock.Schedule(ms, this, std::move(guarded));
  } else {
    FClock.Post(this, std::move(guarded));
  }
}

void TScriptedTransport::Open(const QString& host, quint16 port, TOpenedFunction opened) {
  ++FGeneration;
  Host = host;
  Port = port;
  const bool unknown = std::find(Unknown.begin(), Unknown.end(), host) != Unknown.end();
  Later(0, [opened, unknown] {
    opened(unknown ? TOpened{QStringLiteral("Socket Error # 11001\r\nHost not found."), true}
                   : TOpened{});
  });
}

QString TScriptedTransport::Send(const std::string& datagram) {
  Sent.push_back(datagram);
  if (Silent) return {};
  if (Agent) {
    std::string answer = Agent(datagram);
    if (!answer.empty()) Later(DelayMs, [this, answer = std::move(answer)] { Deliver(answer); });
    return {};
  }
  TSNMPInfo request(nullptr);
  try {
    request.DecodeMessage(datagram);
  } catch (const ERangeError&) {
    return {};
  }
  if (request.Community() != FCommunity) return {};
  std::string answer = FMib.Answer(datagram);
  if (answer.empty()) return {};
  Later(DelayMs, [this, answer = std::move(answer)] { Deliver(answer); });
  return {};
}

void TScriptedTransport::Close() {
  ++FGeneration;
}

void TScriptedTransport::Inject(const std::string& datagram) {
  Later(0, [this, datagram] { Deliver(datagram); });
}
