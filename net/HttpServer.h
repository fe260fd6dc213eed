#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <set>

class QTcpServer;
class QTcpSocket;

// One resource served by GET and HEAD, its text made afresh for every request.
struct THttpResource {
  QByteArray Path;  // for example "/metrics"
  QByteArray ContentType;
  std::function<QByteArray()> Render;  // may throw: the request is then answered with 500
};

// What one peer may take of the server: open connections, the bytes of a request head, and how
// long a connection may go without sending a whole request head (counted from its opening or
// from its last answer having been sent).
struct THttpLimits {
  int Connections = 16;
  qsizetype HeadBytes = 8192;
  std::chrono::milliseconds Idle{5000};
};

// A request head as far as this server cares about it.
struct THttpRequest {
  int Status = 0;      // 0 when it may be answered; else the error status it gets
  QByteArray Problem;  // why it gets that status, for the answer's body
  QByteArray Method;
  QByteArray Path;  // without the query
  bool KeepAlive = false;
};

// The length of the request head at the start of input, up to and including the empty line
// that ends it; 0 while that line has not come. Lines end in LF or CR LF.
qsizetype RequestHeadLength(QByteArrayView input);

// The request of a complete head. A body (a Content-Length above 0 or any Transfer-Encoding)
// gives 413, since no request here has a use for one.
THttpRequest ParseRequestHead(QByteArrayView head);

// The whole answer to a request: an error status of its own, 404 for another path, 405 for
// another method than GET or HEAD, else 200 with the resource (500 when rendering throws).
// close is set when the connection ends after it.
QByteArray AnswerRequest(const THttpRequest& request, const THttpResource& resource, bool& close);

// An answer with a plain-text body and a closed connection; also what a head that outgrows the
// limit gets (431).
QByteArray ErrorAnswer(int status, const QByteArray& problem);

// Serves one resource over HTTP/1.1 from the event loop, bounded by its limits: connections
// beyond them are closed at once, a head over the limit gets 431, a request with a body 413,
// and a connection that is idle too long is closed. Nothing a peer sends is kept beyond one
// request head, and a peer that does not read its answers is not given more.
class THttpServer {
 public:
  explicit THttpServer(THttpResource resource, THttpLimits limits = {});
  ~THttpServer();
  THttpServer(const THttpServer&) = delete;
  THttpServer& operator=(const THttpServer&) = delete;

  // Listens at host and port (0: any free one); the reason it cannot, or an empty text.
  QString Listen(const QHostAddress& host, quint16 port);
  // The port listened at.
  quint16 Port() const;
  // The connections open now, those still finishing included.
  int Connections() const { return static_cast<int>(FConnections.size()); }

 private:
  class TConnection;
  void Accept();
  void Forget(TConnection* connection);

  const THttpResource FResource;
  const THttpLimits FLimits;
  std::unique_ptr<QTcpServer> FListener;
  std::set<TConnection*> FConnections;  // owned
};
