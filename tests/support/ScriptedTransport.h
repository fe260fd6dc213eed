#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Clock.h"
#include "ScriptedAgent.h"
#include "Transport.h"

// A transport without sockets that answers each datagram from a table of objects as an agent
// would, on the clock it is given: replies come from the event loop (or DelayMs later on the
// clock), a silent one answers nothing, and every datagram sent is kept.
class TScriptedTransport : public QObject, public TTransport {
  Q_OBJECT
 public:
  TScriptedTransport(const TScriptedMib& mib, TClock& clock, std::string community = "pewter");

  void Open(const QString& host, quint16 port, TOpenedFunction opened) override;
  QString Send(const std::string& datagram) override;
  void Close() override;

  // A datagram as if it came from the agent (a forged reply, junk), from the event loop.
  void Inject(const std::string& datagram);

  bool Silent = false;
  int64_t DelayMs = 0;
  // Where set, answers each datagram in place of the table (empty: no answer): an agent that
  // misbehaves, or answers only some requests.
  std::function<std::string(const std::string& datagram)> Agent;
  // Names that do not resolve.
  std::vector<QString> Unknown;
  // What was opened, and every datagram sent, in order.
  QString Host;
  quint16 Port = 0;
  std::vector<std::string> Sent;

 private:
  void Later(int64_t ms, std::function<void()> f);

  const TScriptedMib& FMib;
  TClock& FClock;
  std::string FCommunity;
  uint64_t FGeneration = 0;  // bumped by Open and Close: what an older one sent goes nowhere
};
