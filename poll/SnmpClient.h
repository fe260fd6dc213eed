#pragma once

#include <QHostAddress>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "SnmpSession.h"

// How one request ended.
struct TSnmpResult {
  enum TOutcome {
    Answered,  // the reply came (an error status, tooBig included, is in Reply)
    TimedOut,  // nothing came in time
    Failed,    // the request could not be sent
    Report     // nothing came in time but an SNMPv3 report, unauthenticated or not taken
  };
  TOutcome Outcome = TimedOut;
  TSNMPInfo Reply{nullptr};  // the decoded reply when answered
  QString Error;             // why it failed, or the report's text
  TUsmReport ReportKind = TUsmReport::Other;
  // A reply came and reports no error.
  bool Ok() const { return Outcome == Answered && Reply.ErrStatus == 0; }
  // The agent answered. A report is no answer: anyone can send one.
  bool Replied() const { return Outcome == Answered; }
};

// The SNMP client of the window: one non-blocking UDP socket watched by the event loop, the
// host resolved once per Open and the socket connected to it (so the kernel drops datagrams
// from anywhere else), one request in flight at a time (so requests go out in the order they
// were queued), deadlines from a timer. Nothing here ever waits.
class TSnmpClient : public QObject {
  Q_OBJECT
 public:
  using TDone = std::function<void(const TSnmpResult&)>;

  explicit TSnmpClient(QObject* parent = nullptr);
  ~TSnmpClient() override;

  // Milliseconds on a monotonic clock; tests replace it and call CheckDeadlines themselves.
  std::function<int64_t()> Now;
  // The longest wait for a reply, in milliseconds.
  int ReceiveTimeout() const { return FTimeoutMs; }
  void SetReceiveTimeout(int milliseconds) { FTimeoutMs = milliseconds; }
  // Replies longer than this end their request as tooBig.
  int BufferSize = 8192;

  // Forgets everything earlier, then resolves host without waiting ("localhost" and address
  // literals need no lookup; of a name's addresses the first IPv4 one is taken, else the first
  // IPv6 one). done gets an empty text, or the error message of a failed lookup or socket.
  void Open(const QString& host, quint16 port, std::function<void(const QString& error)> done);
  // Queues one request for the opened host. done runs later from the event loop, once.
  void Send(TSNMPInfo request, TDone done);
  // Forgets every queued and pending request and any lookup under way: their done functions
  // never run, and replies that come later are dropped.
  void Cancel();
  // Ends the request in flight when its deadline has passed.
  void CheckDeadlines();

  bool Idle() const { return !FInFlight && FQueue.empty(); }
  // Datagrams sent and received since the client was made.
  int Sent() const { return FSent; }
  int Received() const { return FReceived; }
  // The address the requests go to.
  const QHostAddress& Address() const { return FAddress; }
  // The session, for tests that fix its request-ids.
  TSnmpSession Session;

 private:
  struct TQueued {
    TSNMPInfo Request;
    TDone Done;
  };
  void ReadPending();
  // A socket for the address's family connected to address:FPort; an empty text, or the socket
  // error's message.
  QString OpenSocket(const QHostAddress& address);
  void CloseSocket();
  void SendNext();
  void SendDatagram(const std::string& datagram);
  // Ends the request in flight as failed, from the event loop.
  void FailLater(const QString& error);
  void Finish(const TSnmpResult& result);
  void ArmDeadline();
  TSnmpTime Time() const { return TSnmpTime(Now()); }

  int FSocket = -1;
  int FFamily = 0;
  std::unique_ptr<QSocketNotifier> FNotifier;
  QTimer FDeadline;
  QHostAddress FAddress;
  quint16 FPort = 161;
  int FTimeoutMs = 5000;
  std::deque<TQueued> FQueue;
  std::optional<TQueued> FInFlight;
  uint64_t FGeneration = 0;
  int FSent = 0;
  int FReceived = 0;
  std::string FBuffer;
  std::string FDatagram;
  TSnmpResult FResult;
};
