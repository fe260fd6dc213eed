#include "Requester.h"

#include <algorithm>

TRequester::TRequester(TTransport& transport, TClock& clock, QObject* parent)
    : QObject(parent), FTransport(transport), FClock(clock), FDeadline(clock, this) {
  FTransport.SetReceiver([this](const std::string& datagram) { OnDatagram(datagram); });
}

TRequester::~TRequester() {
  FTransport.SetReceiver(nullptr);
}

void TRequester::Open(const QString& host, quint16 port, TTransport::TOpenedFunction opened) {
  Cancel();
  const uint64_t generation = FGeneration;
  FTransport.Open(host, port, [this, generation, opened](const TTransport::TOpened& result) {
    if (generation == FGeneration) opened(result);
  });
}

void TRequester::Send(TSNMPInfo request, TDone done) {
  FQueue.push_back({std::move(request), std::move(done)});
  SendNext();
}

void TRequester::Cancel() {
  ++FGeneration;
  FQueue.clear();
  FInFlight.clear();
  Session.Cancel();
  FDeadline.Stop();
}

void TRequester::Later(std::function<void()> f) {
  const uint64_t generation = FGeneration;
  FClock.Post(this, [this, generation, f = std::move(f)] {
    if (generation == FGeneration) f();
  });
}

void TRequester::StartRun() {
  // An agent restarted with a new engine ID drops what is meant for the old one: after a run
  // without an answer (given up, or its one request timed out) the next one finds the engine
  // again, and the user's keys must still fit it.
  if (FRun.Abandoned || (FRun.Requests > 0 && FRun.Answers == 0)) Session.Rediscover();
  FRun = TReadRun{};
}

void TRequester::Count(const TSnmpResult& result, uint64_t serial) {
  ++FRun.Requests;
  if (result.Replied()) {
    ++FRun.Answers;
    FRun.TimeOutsInARow = 0;
    FAnsweredAfter = FSerial;
    return;
  }
  if (result.Outcome == TSnmpResult::Failed) FRun.Error = result.Error;
  if (result.Outcome == TSnmpResult::Report) FRun.Report = result.Error;
  ++FRun.TimeOuts;
  if (serial > FAnsweredAfter && ++FRun.TimeOutsInARow >= 2) FRun.Abandoned = true;
}

int TRequester::Limit() const {
  // Requests sent before the engine is known would each discover it.
  const TUsmPeer* security = Session.Security();
  if (security && !security->Discovered()) return 1;
  return std::max(InFlightLimit, 1);
}

void TRequester::SendNext() {
  while (static_cast<int>(FInFlight.size()) < Limit() && !FQueue.empty()) {
    FInFlight.push_back(std::move(FQueue.front()));
    FQueue.pop_front();
    FInFlight.back().Serial = ++FSerial;
    TSNMPInfo& request = FInFlight.back().Request;
    std::string datagram;
    try {
      datagram = Session.Start(request, Time(), TSnmpTime(TimeoutMs));
    } catch (const std::exception& error) {
      // A request that cannot be made (no key for its security level, say) fails at once.
      FailLater(request.RequestId, QString::fromLocal8Bit(error.what()));
      continue;
    }
    SendDatagram(request.RequestId, datagram);
  }
}

bool TRequester::SendDatagram(int32_t requestId, const std::string& datagram) {
  ++FSent;
  const QString error = FTransport.Send(datagram);
  if (!error.isEmpty()) {
    FailLater(requestId, error);
    return false;
  }
  ArmDeadline();
  return true;
}

void TRequester::FailLater(int32_t requestId, const QString& error) {
  TSnmpResult result;
  result.Outcome = TSnmpResult::Failed;
  result.Error = error;
  Session.Forget(requestId);
  // Reported from the event loop, as every other outcome.
  Later([this, requestId, result] { Finish(requestId, result); });
}

void TRequester::ArmDeadline() {
  const std::optional<TSnmpTime> deadline = Session.NextDeadline();
  if (!deadline) return;
  // A timer already set for an earlier moment stays: when it fires it sets itself again for
  // the requests then in flight. Restarting it for every request would cost more than the
  // request itself.
  if (FDeadline.Active() && FDeadline.Due() <= deadline->count()) return;
  FDeadline.Start(std::max<int64_t>((*deadline - Time()).count(), 0), [this] { CheckDeadlines(); });
}

void TRequester::Finish(int32_t requestId, const TSnmpResult& result) {
  const auto found =
      std::find_if(FInFlight.begin(), FInFlight.end(),
                   [requestId](const TQueued& q) { return q.Request.RequestId == requestId; });
  if (found == FInFlight.end()) return;
  TDone done = std::move(found->Done);
  const uint64_t serial = found->Serial;
  FInFlight.erase(found);
  const uint64_t generation = FGeneration;
  Count(result, serial);
  done(result);
  // done may have cancelled, or queued (and so sent) the next request itself.
  if (generation == FGeneration) SendNext();
}

void TRequester::CheckDeadlines() {
  const uint64_t generation = FGeneration;
  for (const TSnmpReceived& ended : Session.OnTick(Time())) {
    TSnmpResult result;
    if (ended.Kind == TSnmpReceived::Report) {
      result.Outcome = TSnmpResult::Report;
      result.ReportKind = ended.ReportKind;
      result.Error = QString::fromLatin1(UsmReportText(result.ReportKind));
    }
    Finish(ended.RequestId, result);
    if (generation != FGeneration) return;
  }
  ArmDeadline();
}

void TRequester::OnDatagram(const std::string& datagram) {
  ++FReceived;
  // One that answers nothing is a stranger's.
  if (FInFlight.empty()) return;
  // One result record serves every reply, so that decoding reuses its texts.
  TSnmpResult& result = FResult;
  Session.LargestReply = static_cast<size_t>(std::max(BufferSize, 0));
  const std::optional<TSnmpReceived> received = Session.OnDatagram(datagram, result.Reply, Time());
  if (!received) return;
  if (received->Kind == TSnmpReceived::Resend) {
    // The agent's engine or clock was learnt; the request goes out again, still in flight, and
    // the requests that waited for the engine follow it.
    SendDatagram(received->RequestId, received->Datagram);
    SendNext();
    return;
  }
  result.Outcome = TSnmpResult::Answered;
  result.Error.clear();
  result.ReportKind = TUsmReport::Other;
  Finish(received->RequestId, result);
}
