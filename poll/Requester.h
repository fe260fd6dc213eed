#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "Clock.h"
#include "SnmpSession.h"
#include "Transport.h"

// How one request ended: exactly one of these, from the session to the poller.
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

// What one run of requests (a Connect's discovery, or one poll) came to.
struct TReadRun {
  int Requests = 0;
  int Answers = 0;
  int TimeOuts = 0;
  // Requests sent since the last answer came that ended unanswered. With several in flight, one
  // sent before an answer came does not count: the agent was still there after it went out.
  int TimeOutsInARow = 0;
  // Two requests in a row went unanswered: the rest of the run is skipped.
  bool Abandoned = false;
  QString Error;   // the last socket error, if any
  QString Report;  // the last SNMPv3 report's text, if any
};

// The requests of one host over its transport: the session (request-ids, matching, SNMPv3
// security), the queue, deadlines on the clock, one outcome per request, and the counting of
// the run they belong to. At most InFlightLimit requests wait for their replies at once; the
// others go out in the order they were queued. While an SNMPv3 agent's engine is unknown only
// one goes out: its discovery, which the others then follow. Cancelling bumps a generation:
// whatever belongs to an older one never runs.
class TRequester : public QObject {
  Q_OBJECT
 public:
  using TDone = std::function<void(const TSnmpResult&)>;

  TRequester(TTransport& transport, TClock& clock, QObject* parent = nullptr);
  ~TRequester() override;

  // The longest wait for a reply, in milliseconds.
  int TimeoutMs = 5000;
  // Replies longer than this end their request as tooBig.
  int BufferSize = 8192;
  // Requests sent and not yet answered at most (1: each waits for the one before).
  int InFlightLimit = 1;
  // The session, for tests that fix its request-ids.
  TSnmpSession Session;

  // Cancels everything, then opens the transport to host:port; opened as the transport says,
  // unless cancelled first.
  void Open(const QString& host, quint16 port, TTransport::TOpenedFunction opened);
  // Queues one request for the opened host; done runs later from the event loop, once, unless
  // cancelled first. Its outcome is counted in the run.
  void Send(TSNMPInfo request, TDone done);
  // Forgets every queued and pending request and an Open under way: their functions never run,
  // and replies that come later are dropped.
  void Cancel();
  // Runs f from the event loop unless cancelled first.
  void Later(std::function<void()> f);

  // Starts counting a new run; after a run without an answer the next request rediscovers an
  // SNMPv3 agent's engine.
  void StartRun();
  const TReadRun& Run() const { return FRun; }

  bool Idle() const { return FInFlight.empty() && FQueue.empty(); }
  // Datagrams sent and received since the requester was made.
  int Sent() const { return FSent; }
  int Received() const { return FReceived; }

 private:
  struct TQueued {
    TSNMPInfo Request;
    TDone Done;
    uint64_t Serial = 0;  // the how-manieth request sent
  };
  void OnDatagram(const std::string& datagram);
  // How many requests may be in flight now.
  int Limit() const;
  void SendNext();
  bool SendDatagram(int32_t requestId, const std::string& datagram);
  // Ends a request that could not go out, from the event loop.
  void FailLater(int32_t requestId, const QString& error);
  void Finish(int32_t requestId, const TSnmpResult& result);
  void CheckDeadlines();
  void ArmDeadline();
  void Count(const TSnmpResult& result, uint64_t serial);
  TSnmpTime Time() const { return TSnmpTime(FClock.Milliseconds()); }

  TTransport& FTransport;
  TClock& FClock;
  TTimer FDeadline;
  std::deque<TQueued> FQueue;
  std::vector<TQueued> FInFlight;  // by the request-id the session gave them
  uint64_t FGeneration = 0;
  TReadRun FRun;
  uint64_t FSerial = 0;         // requests sent
  uint64_t FAnsweredAfter = 0;  // requests sent before the last answer came
  int FSent = 0;
  int FReceived = 0;
  TSnmpResult FResult;
};
