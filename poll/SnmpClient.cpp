#include "SnmpClient.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QHostInfo>
#include <cerrno>
#include <cstring>

#include "SnmpErrors.h"

namespace {

constexpr int32_t kHostNotFound = 11001;
constexpr size_t kLargestDatagram = 65536;

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

QString LastErrorText() {
  return ErrorText(SocketErrorCode(errno));
}

// The socket address of an IPv4 or IPv6 address and a port.
socklen_t SocketAddress(const QHostAddress& address, quint16 port, sockaddr_storage& storage) {
  std::memset(&storage, 0, sizeof storage);
  if (address.protocol() == QAbstractSocket::IPv6Protocol) {
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(port);
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    std::memcpy(&v6->sin6_addr, bytes.c, sizeof bytes.c);
    const QString scope = address.scopeId();
    if (!scope.isEmpty()) {
      bool numeric = false;
      const uint index = scope.toUInt(&numeric);
      v6->sin6_scope_id = numeric ? index : if_nametoindex(scope.toLocal8Bit().constData());
    }
    return sizeof(sockaddr_in6);
  }
  auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
  v4->sin_family = AF_INET;
  v4->sin_port = htons(port);
  v4->sin_addr.s_addr = htonl(address.toIPv4Address());
  return sizeof(sockaddr_in);
}

}  // namespace

TSnmpClient::TSnmpClient(QObject* parent) : QObject(parent), Now(MonotonicMilliseconds) {
  FDeadline.setSingleShot(true);
  FDeadline.setTimerType(Qt::PreciseTimer);
  connect(&FDeadline, &QTimer::timeout, this, &TSnmpClient::CheckDeadlines);
}

TSnmpClient::~TSnmpClient() {
  CloseSocket();
}

void TSnmpClient::CloseSocket() {
  FNotifier.reset();
  if (FSocket >= 0) ::close(FSocket);
  FSocket = -1;
  FFamily = 0;
}

QString TSnmpClient::OpenSocket(const QHostAddress& address) {
  const int family = address.protocol() == QAbstractSocket::IPv6Protocol ? AF_INET6 : AF_INET;
  // One socket, and so one local port, for every request to hosts of the same family.
  if (FSocket < 0 || FFamily != family) {
    CloseSocket();
    const int handle = ::socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (handle < 0) return LastErrorText();
    const int broadcast = 0;
    if (setsockopt(handle, SOL_SOCKET, SO_BROADCAST, &broadcast, sizeof broadcast) != 0) {
      const QString error = LastErrorText();
      ::close(handle);
      return error;
    }
    FSocket = handle;
    FFamily = family;
    FNotifier = std::make_unique<QSocketNotifier>(handle, QSocketNotifier::Read);
    connect(FNotifier.get(), &QSocketNotifier::activated, this, &TSnmpClient::ReadPending);
  }
  // Connected, the socket takes datagrams from the agent's address and port only.
  sockaddr_storage target{};
  const socklen_t size = SocketAddress(address, FPort, target);
  if (::connect(FSocket, reinterpret_cast<const sockaddr*>(&target), size) != 0) {
    return LastErrorText();
  }
  // What was queued before came from anywhere.
  char octet = 0;
  while (::recv(FSocket, &octet, 1, MSG_DONTWAIT) >= 0 || errno == EINTR || errno == ECONNREFUSED) {
  }
  return {};
}

void TSnmpClient::Open(const QString& host, quint16 port,
                       std::function<void(const QString& error)> done) {
  Cancel();
  FPort = port;
  const uint64_t generation = FGeneration;
  const auto opened = [this, generation, done](const QHostAddress& address, QString error) {
    if (generation != FGeneration) return;
    FAddress = address;
    if (error.isEmpty()) error = OpenSocket(address);
    done(error);
  };

  QHostAddress literal;
  if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) {
    literal = QHostAddress(QHostAddress::LocalHost);
  } else if (IsDottedQuad(host.toStdString()) ||
             (host.contains(QLatin1Char(':')) && literal.setAddress(host))) {
    literal = QHostAddress(host);
  }
  if (!literal.isNull()) {
    // Even a literal answers from the event loop, like a lookup.
    QTimer::singleShot(0, this, [opened, literal] { opened(literal, QString()); });
    return;
  }
  QHostInfo::lookupHost(host, this, [opened](const QHostInfo& info) {
    const QList<QHostAddress> addresses = info.addresses();
    for (const auto protocol : {QAbstractSocket::IPv4Protocol, QAbstractSocket::IPv6Protocol}) {
      for (const QHostAddress& address : addresses) {
        if (address.protocol() == protocol) {
          opened(address, QString());
          return;
        }
      }
    }
    opened(QHostAddress(), ErrorText(kHostNotFound));
  });
}

void TSnmpClient::Send(TSNMPInfo request, TDone done) {
  FQueue.push_back({std::move(request), std::move(done)});
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
  std::string datagram;
  try {
    datagram = Session.Start(request, Time(), TSnmpTime(FTimeoutMs));
  } catch (const std::exception& error) {
    // A request that cannot be made (no key for its security level, say) fails at once.
    FailLater(QString::fromLocal8Bit(error.what()));
    return;
  }
  SendDatagram(datagram);
}

void TSnmpClient::SendDatagram(const std::string& datagram) {
  ++FSent;
  ssize_t sent = ::send(FSocket, datagram.data(), datagram.size(), 0);
  // A refusal can be the late news of an earlier datagram (an ICMP port unreachable): this one
  // may still get through.
  if (sent < 0 && errno == ECONNREFUSED)
    sent = ::send(FSocket, datagram.data(), datagram.size(), 0);
  if (sent != static_cast<ssize_t>(datagram.size())) {
    FailLater(sent < 0 ? LastErrorText() : QStringLiteral("Not all bytes sent."));
    return;
  }
  ArmDeadline();
}

void TSnmpClient::FailLater(const QString& error) {
  TSnmpResult result;
  result.Outcome = TSnmpResult::Failed;
  result.Error = error;
  Session.Cancel();
  // Reported from the event loop, as every other outcome.
  const uint64_t generation = FGeneration;
  QTimer::singleShot(0, this, [this, generation, result] {
    if (generation == FGeneration) Finish(result);
  });
}

void TSnmpClient::ArmDeadline() {
  const std::optional<TSnmpTime> deadline = Session.NextDeadline();
  if (!deadline) return;
  // A timer already set for an earlier moment stays: when it fires it sets itself again for
  // the request then in flight. Restarting it for every request would cost more than the
  // request itself.
  const int wait = static_cast<int>(std::max<int64_t>((*deadline - Time()).count(), 0));
  if (FDeadline.isActive() && FDeadline.remainingTime() <= wait) return;
  FDeadline.start(wait);
}

void TSnmpClient::Finish(const TSnmpResult& result) {
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
  const std::vector<TSnmpReceived> ended = Session.OnTick(Time());
  if (ended.empty()) {
    ArmDeadline();
    return;
  }
  TSnmpResult result;
  if (ended.front().Kind == TSnmpReceived::Report) {
    result.Outcome = TSnmpResult::Report;
    result.ReportKind = ended.front().ReportKind;
    result.Error = QString::fromLatin1(UsmReportText(result.ReportKind));
  }
  Finish(result);
}

void TSnmpClient::ReadPending() {
  // The buffer keeps its size from datagram to datagram; what arrived is copied out of it.
  if (FBuffer.size() < kLargestDatagram) FBuffer.resize(kLargestDatagram);
  // One datagram a time: the notifier comes again while more are waiting, and not asking for
  // one that is not there saves a system call per reply.
  while (FSocket >= 0) {
    // MSG_TRUNC gives a datagram's whole length even where the buffer cuts it.
    const ssize_t size = ::recv(FSocket, FBuffer.data(), FBuffer.size(), MSG_TRUNC);
    // Nothing to read; an ICMP error reported on the socket ends nothing either.
    if (size < 0) {
      if (errno == EINTR) continue;
      return;
    }
    ++FReceived;
    // A datagram cut by the buffer cannot be read; one that answers nothing is a stranger's.
    if (!FInFlight || static_cast<size_t>(size) > FBuffer.size()) return;
    FDatagram.assign(FBuffer.data(), static_cast<size_t>(size));
    // One result record serves every reply, so that decoding reuses its texts.
    TSnmpResult& result = FResult;
    Session.LargestReply = static_cast<size_t>(std::max(BufferSize, 0));
    const std::optional<TSnmpReceived> received =
        Session.OnDatagram(FDatagram, result.Reply, Time());
    if (!received) return;
    if (received->Kind == TSnmpReceived::Resend) {
      // The agent's engine or clock was learnt; the request goes out again, still in flight.
      SendDatagram(received->Datagram);
      return;
    }
    result.Outcome = TSnmpResult::Answered;
    result.Error.clear();
    result.ReportKind = TUsmReport::Other;
    Finish(result);
    return;
  }
}
