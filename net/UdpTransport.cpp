#include "UdpTransport.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QHostInfo>
#include <QTimer>
#include <cerrno>
#include <cstring>

#include "SnmpErrors.h"

namespace {

constexpr int32_t kHostNotFound = 11001;
constexpr size_t kLargestDatagram = 65536;

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

TUdpTransport::TUdpTransport(QObject* parent) : QObject(parent) {}

TUdpTransport::~TUdpTransport() {
  CloseSocket();
}

void TUdpTransport::CloseSocket() {
  if (FNotifier) {
    // Closing may come from within the notifier's own signal: it goes once that is over.
    FNotifier->setEnabled(false);
    FNotifier->deleteLater();
    FNotifier = nullptr;
  }
  if (FSocket >= 0) ::close(FSocket);
  FSocket = -1;
  FFamily = 0;
}

void TUdpTransport::Close() {
  ++FGeneration;
  CloseSocket();
}

QString TUdpTransport::OpenSocket(const QHostAddress& address) {
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
    FNotifier = new QSocketNotifier(handle, QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TUdpTransport::ReadPending);
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

void TUdpTransport::Open(const QString& host, quint16 port, TOpenedFunction done) {
  ++FGeneration;
  FPort = port;
  const uint64_t generation = FGeneration;
  const auto opened = [this, generation, done](const QHostAddress& address, QString error) {
    if (generation != FGeneration) return;
    FAddress = address;
    const bool notFound = !error.isEmpty();
    if (error.isEmpty()) error = OpenSocket(address);
    done({error, notFound});
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

QString TUdpTransport::Send(const std::string& datagram) {
  if (FSocket < 0) return ErrorText(SocketErrorCode(ENOTCONN));
  ssize_t sent = ::send(FSocket, datagram.data(), datagram.size(), 0);
  // A refusal can be the late news of an earlier datagram (an ICMP port unreachable): this one
  // may still get through.
  if (sent < 0 && errno == ECONNREFUSED)
    sent = ::send(FSocket, datagram.data(), datagram.size(), 0);
  if (sent == static_cast<ssize_t>(datagram.size())) return {};
  return sent < 0 ? LastErrorText() : QStringLiteral("Not all bytes sent.");
}

void TUdpTransport::ReadPending() {
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
    // A datagram cut by the buffer cannot be read.
    if (static_cast<size_t>(size) > FBuffer.size()) return;
    FDatagram.assign(FBuffer.data(), static_cast<size_t>(size));
    Deliver(FDatagram);
    return;
  }
}
