#include "SnmpClient.h"

#include <QElapsedTimer>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <cerrno>

#include "IdSNMP.h"

namespace {

constexpr int32_t kHostNotFound = 11001;
constexpr int32_t kMessageTooLong = 10040;

int64_t MonotonicMilliseconds() {
  static QElapsedTimer started = [] {
    QElapsedTimer timer;
    timer.start();
    return timer;
  }();
  return started.elapsed();
}

QString ErrorText(int32_t code) {
  return QString::fromStdString(SocketErrorMessage(code));
}

}  // namespace

TSnmpClient::TSnmpClient(QObject* parent) : QObject(parent), Now(MonotonicMilliseconds) {
  FDeadline.setSingleShot(true);
  FDeadline.setTimerType(Qt::PreciseTimer);
  connect(&FDeadline, &QTimer::timeout, this, &TSnmpClient::CheckDeadlines);
  connect(&FSocket, &QUdpSocket::readyRead, this, &TSnmpClient::ReadPending);
}

void TSnmpClient::Open(const QString& host, quint16 port,
                       std::function<void(const QString& error)> done) {
  Cancel();
  FPort = port;
  const uint64_t generation = FGeneration;
  const auto opened = [this, generation, done](const QHostAddress& address, const QString& error) {
    if (generation != FGeneration) return;
    FAddress = address;
    if (error.isEmpty() && FSocket.state() != QAbstractSocket::BoundState &&
        !FSocket.bind(QHostAddress::AnyIPv4, 0)) {
      done(ErrorText(TIdStack::TranslateErrno(errno)));
      return;
    }
    done(error);
  };

  const std::string text = host.toStdString();
  if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
      TIdStack::IsIPv4Address(text)) {
    const QHostAddress address(QString::fromStdString(TIdStack::ResolveHost(text)));
    // Even a literal answers from the event loop, like a lookup.
    QTimer::singleShot(0, this, [opened, address] { opened(address, QString()); });
    return;
  }
  QHostInfo::lookupHost(host, this, [opened](const QHostInfo& info) {
    for (const QHostAddress& address : info.addresses()) {
      if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        opened(address, QString());
        return;
      }
    }
    opened(QHostAddress(), ErrorText(kHostNotFound));
  });
}

void TSnmpClient::Send(const TSNMPInfo& request, TDone done) {
  FQueue.push_back({request, std::move(done)});
  SendNext();
}

void TSnmpClient::Cancel() {
  ++FGeneration;
  FQueue.clear();
  FInFlight.reset();
  Session.Cancel();
  FDeadline.stop();
}

void TSnmpClient::SendNext() {
  if (FInFlight || FQueue.empty()) return;
  FInFlight = std::move(FQueue.front());
  FQueue.pop_front();
  TSNMPInfo& request = FInFlight->Request;
  const std::string datagram = Session.Start(request, Time(), TSnmpTime(FTimeoutMs));
  ++FSent;
  const qint64 written =
      FSocket.writeDatagram(datagram.data(), static_cast<qint64>(datagram.size()), FAddress, FPort);
  if (written != static_cast<qint64>(datagram.size())) {
    const int32_t code = TIdStack::TranslateErrno(errno);
    Session.Cancel();
    TSnmpResult result;
    result.Outcome = TSnmpResult::Failed;
    result.Error = ErrorText(code);
    // Reported from the event loop, as every other outcome.
    const uint64_t generation = FGeneration;
    QTimer::singleShot(0, this, [this, generation, result] {
      if (generation == FGeneration) Finish(result);
    });
    return;
  }
  ArmDeadline();
}

void TSnmpClient::ArmDeadline() {
  const std::optional<TSnmpTime> deadline = Session.NextDeadline();
  if (!deadline) {
    FDeadline.stop();
    return;
  }
  FDeadline.start(static_cast<int>(std::max<int64_t>((*deadline - Time()).count(), 0)));
}

void TSnmpClient::Finish(TSnmpResult result) {
  if (!FInFlight) return;
  TDone done = std::move(FInFlight->Done);
  FInFlight.reset();
  const uint64_t generation = FGeneration;
  done(result);
  // done may have cancelled, or queued (and so sent) the next request itself.
  if (generation == FGeneration) SendNext();
}

void TSnmpClient::CheckDeadlines() {
  if (!FInFlight) return;
  if (Session.OnTick(Time()).empty()) {
    ArmDeadline();
    return;
  }
  Finish(TSnmpResult{});
}

void TSnmpClient::ReadPending() {
  while (FSocket.hasPendingDatagrams()) {
    const qint64 size = FSocket.pendingDatagramSize();
    const QNetworkDatagram datagram = FSocket.receiveDatagram();
    if (!FInFlight) continue;
    TSnmpResult result;
    if (size > BufferSize) {
      // A reply the buffer cannot hold ends the request in flight, as the blocking read did.
      Session.Cancel();
      result.Outcome = TSnmpResult::Failed;
      result.Error = ErrorText(kMessageTooLong);
      Finish(std::move(result));
      continue;
    }
    const QByteArray data = datagram.data();
    if (!Session.OnDatagram(std::string(data.constData(), static_cast<size_t>(data.size())),
                            result.Reply)) {
      continue;
    }
    result.Outcome = TSnmpResult::Answered;
    Finish(std::move(result));
  }
}
