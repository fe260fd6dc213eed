#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class THttpServer;

// Where to listen: one address and port, as the options give them.
struct TListenAddress {
  QHostAddress Host;
  quint16 Port = 0;
};

// "host:port" or "[IPv6]:port" with a numeric address (or localhost, which is 127.0.0.1) and a
// port from 1 to 65535; on other text, nothing, and why in error.
std::optional<TListenAddress> ParseListenAddress(const QString& text, QString& error);

// GET /metrics over HTTP with the text Render gives (the engine renders it), from the event loop,
// within the limits of THttpServer; 404 for other paths.
class TMetricsServer {
 public:
  TMetricsServer();
  ~TMetricsServer();
  TMetricsServer(const TMetricsServer&) = delete;
  TMetricsServer& operator=(const TMetricsServer&) = delete;

  // The text of each answer, made afresh for every request; may throw (500).
  std::function<QByteArray()> Render = [] { return QByteArray(); };

  // Serves at address from now on, or nowhere when it is empty. The address served (or tried)
  // already changes nothing. For one that cannot be served, the message to show; then nothing
  // is served.
  QString Serve(const QString& address);
  // Serves at address; the reason it cannot, or an empty text.
  QString Listen(const QString& address);
  void Close();
  // The port served, 0 when none.
  quint16 Port() const;

 private:
  std::unique_ptr<THttpServer> FServer;
  std::optional<QString> FAddress;  // as last given to Serve
};
