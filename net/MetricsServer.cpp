#include "MetricsServer.h"

#include <QRegularExpression>

#include "HttpServer.h"

namespace {

const QByteArray ContentType = "text/plain; version=0.0.4; charset=utf-8";
const QString Example = QStringLiteral("write address:port, for example 127.0.0.1:9163");

}  // namespace

std::optional<TListenAddress> ParseListenAddress(const QString& text, QString& error) {
  QString host;
  QString port;
  if (text.startsWith(QLatin1Char('['))) {
    const qsizetype close = text.indexOf(QLatin1Char(']'));
    if (close < 0 || text.mid(close + 1, 1) != QLatin1String(":")) {
      error = QStringLiteral("write an IPv6 address as [address]:port, for example [::1]:9163");
      return std::nullopt;
    }
    host = text.mid(1, close - 1);
    port = text.mid(close + 2);
  } else {
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0) {
      error = QStringLiteral("no port (%1)").arg(Example);
      return std::nullopt;
    }
    host = text.left(colon);
    port = text.mid(colon + 1);
    if (host.contains(QLatin1Char(':'))) {
      error = QStringLiteral("write an IPv6 address in brackets, for example [::1]:9163");
      return std::nullopt;
    }
  }
  if (host.isEmpty()) {
    error = QStringLiteral("no address (%1)").arg(Example);
    return std::nullopt;
  }

  static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
  const uint number = port.toUInt();
  if (!digits.match(port).hasMatch() || number < 1 || number > 65535) {
    error = QStringLiteral("\"%1\" is no port number from 1 to 65535").arg(port);
    return std::nullopt;
  }
  TListenAddress address;
  address.Port = static_cast<quint16>(number);
  // Names other than localhost would need a lookup, and a listening address is this machine's.
  if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) {
    address.Host = QHostAddress(QHostAddress::LocalHost);
  } else if (!address.Host.setAddress(host)) {
    error = QStringLiteral("\"%1\" is no IP address").arg(host);
    return std::nullopt;
  }
  return address;
}

TMetricsServer::TMetricsServer() = default;

TMetricsServer::~TMetricsServer() = default;

QString TMetricsServer::Serve(const QString& address) {
  if (FAddress == address) return {};
  FAddress = address;
  const QString error = Listen(address);
  if (error.isEmpty()) return {};
  return QStringLiteral("Cannot serve metrics at %1: %2").arg(address, error);
}

QString TMetricsServer::Listen(const QString& address) {
  Close();
  if (address.isEmpty()) return {};
  QString error;
  const std::optional<TListenAddress> where = ParseListenAddress(address, error);
  if (!where) return error;
  auto server = std::make_unique<THttpServer>(
      THttpResource{"/metrics", ContentType, [this] { return Render(); }});
  const QString failure = server->Listen(where->Host, where->Port);
  if (!failure.isEmpty()) return failure;
  FServer = std::move(server);
  return {};
}

void TMetricsServer::Close() {
  FServer.reset();
}

quint16 TMetricsServer::Port() const {
  return FServer ? FServer->Port() : 0;
}
