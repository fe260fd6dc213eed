#include "HttpServer.h"

#include <sys/socket.h>

#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <optional>

namespace {

const QByteArray PlainText = "text/plain; charset=utf-8";

const char* ReasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 413:
      return "Content Too Large";
    case 431:
      return "Request Header Fields Too Large";
    case 505:
      return "HTTP Version Not Supported";
    default:
      return "Internal Server Error";
  }
}

QByteArray StatusLine(int status) {
  return "HTTP/1.1 " + QByteArray::number(status) + ' ' + ReasonPhrase(status) + "\r\n";
}

// The characters of a method or a header name.
bool IsToken(QByteArrayView text) {
  static const QByteArrayView Special = "!#$%&'*+-.^_`|~";
  return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           Special.contains(c);
  });
}

bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte < 0x20 && c != '\t') || byte == 0x7f;
}

QByteArrayView TrimBlanks(QByteArrayView text) {
  while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t')) text = text.sliced(1);
  while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t')) text.chop(1);
  return text;
}

THttpRequest Refused(int status, const char* problem) {
  THttpRequest request;
  request.Status = status;
  request.Problem = problem;
  return request;
}

// The path of an origin-form ("/metrics?x") or absolute-form ("http://host/metrics") target;
// empty for another form.
QByteArray TargetPath(QByteArrayView target) {
  if (!target.startsWith('/')) {
    const qsizetype scheme = target.indexOf("://");
    const QByteArray name = target.first(std::max<qsizetype>(scheme, 0)).toByteArray().toLower();
    if (name != "http" && name != "https") return {};
    target = target.sliced(scheme + 3);
    const qsizetype slash = target.indexOf('/');
    target = slash < 0 ? QByteArrayView("/") : target.sliced(slash);
  }
  const qsizetype query = target.indexOf('?');
  return (query < 0 ? target : target.first(query)).toByteArray();
}

}  // namespace

qsizetype RequestHeadLength(QByteArrayView input) {
  for (qsizetype start = 0;;) {
    const qsizetype end = input.indexOf('\n', start);
    if (end < 0) return 0;
    if (end == start || (end == start + 1 && input[start] == '\r')) return end + 1;
    start = end + 1;
  }
}

THttpRequest ParseRequestHead(QByteArrayView head) {
  THttpRequest request;
  bool version11 = false;
  bool close = false;
  bool body = false;
  std::optional<QByteArray> length;
  QByteArrayView target;
  bool first = true;
  for (qsizetype start = 0; start < head.size();) {
    qsizetype end = head.indexOf('\n', start);
    if (end < 0) end = head.size();
    QByteArrayView line = head.sliced(start, end - start);
    start = end + 1;
    if (line.endsWith('\r')) line.chop(1);
    if (line.contains('\r')) return Refused(400, "A line holds a carriage return of its own.");
    if (line.isEmpty()) break;

    if (first) {
      first = false;
      const qsizetype space = line.indexOf(' ');
      const qsizetype lastSpace = line.lastIndexOf(' ');
      if (space <= 0 || lastSpace <= space + 1 || lastSpace == line.size() - 1)
        return Refused(400, "The request line is not METHOD TARGET HTTP/1.1.");
      request.Method = line.first(space).toByteArray();
      target = line.sliced(space + 1, lastSpace - space - 1);
      const QByteArrayView version = line.sliced(lastSpace + 1);
      if (!IsToken(request.Method))
        return Refused(400, "The request line is not METHOD TARGET HTTP/1.1.");
      if (std::any_of(target.begin(), target.end(),
                      [](char c) { return static_cast<unsigned char>(c) < 0x21 || c == 0x7f; }))
        return Refused(400, "The request target holds spaces or control characters.");
      if (version == "HTTP/1.1") {
        version11 = true;
      } else if (version != "HTTP/1.0") {
        const bool digits = version.size() == 8 && version.startsWith("HTTP/") &&
                            std::isdigit(static_cast<unsigned char>(version[5])) &&
                            version[6] == '.' &&
                            std::isdigit(static_cast<unsigned char>(version[7]));
        if (digits) return Refused(505, "Only HTTP/1.0 and HTTP/1.1 are spoken here.");
        return Refused(400, "The request line is not METHOD TARGET HTTP/1.1.");
      }
      continue;
    }

    if (line.front() == ' ' || line.front() == '\t')
      return Refused(400, "A header line is folded onto the next.");
    const qsizetype colon = line.indexOf(':');
    const QByteArrayView name = line.first(std::max<qsizetype>(colon, 0));
    if (!IsToken(name)) return Refused(400, "A header line is not NAME: VALUE.");
    const QByteArrayView value = TrimBlanks(line.sliced(colon + 1));
    if (std::any_of(value.begin(), value.end(), IsControl))
      return Refused(400, "A header value holds control characters.");

    const QByteArray key = name.toByteArray().toLower();
    if (key == "content-length") {
      const bool digits =
          !value.isEmpty() && value.size() <= 18 &&
          std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
      if (!digits || (length && *length != value))
        return Refused(400, "The Content-Length is no single number.");
      length = value.toByteArray();
      body = body || value.toLongLong() > 0;
    } else if (key == "transfer-encoding") {
      body = true;
    } else if (key == "connection") {
      for (const QByteArray& option : value.toByteArray().split(','))
        close = close || TrimBlanks(option).compare("close", Qt::CaseInsensitive) == 0;
    }
  }
  if (first) return Refused(400, "The request line is not METHOD TARGET HTTP/1.1.");
  if (body) return Refused(413, "A request body is not accepted.");
  request.Path = TargetPath(target);
  if (request.Path.isEmpty()) return Refused(400, "The request target is no path.");
  // An HTTP/1.0 connection ends with its answer; its keep-alive extension is not worth its rules.
  request.KeepAlive = version11 && !close;
  return request;
}

QByteArray ErrorAnswer(int status, const QByteArray& problem) {
  const QByteArray body = problem + '\n';
  return StatusLine(status) + "Content-Type: " + PlainText +
         "\r\nContent-Length: " + QByteArray::number(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

QByteArray AnswerRequest(const THttpRequest& request, const THttpResource& resource, bool& close) {
  close = true;
  if (request.Status != 0) return ErrorAnswer(request.Status, request.Problem);
  if (request.Path != resource.Path)
    return ErrorAnswer(404, "Only " + resource.Path + " is served here.");
  const bool head = request.Method == "HEAD";
  if (request.Method != "GET" && !head) {
    QByteArray answer = ErrorAnswer(405, "Only GET and HEAD are allowed.");
    return answer.insert(answer.indexOf("\r\n") + 2, "Allow: GET, HEAD\r\n");
  }
  QByteArray body;
  // Called from the event loop, which no exception may reach.
  try {
    body = resource.Render();
  } catch (...) {
    return ErrorAnswer(500, "The answer could not be made.");
  }
  close = !request.KeepAlive;
  return StatusLine(200) + "Content-Type: " + resource.ContentType +
         "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" +
         (close ? "Connection: close\r\n" : "") + "\r\n" + (head ? QByteArray() : body);
}

// One peer's connection: it reads request heads one at a time, answers each once the one
// before it has been sent, and after an answer that ends it, sends nothing more and throws away
// what still comes until the peer closes, so the peer gets the answer rather than a reset.
class THttpServer::TConnection : public QObject {
 public:
  TConnection(THttpServer& server, QTcpSocket* socket) : FServer(server), FSocket(socket) {
    FSocket->setParent(this);
    // Qt's own buffer holds no more than one head; beyond it the peer waits.
    FSocket->setReadBufferSize(FServer.FLimits.HeadBytes);
    FDeadline.setSingleShot(true);
    FDeadline.setInterval(FServer.FLimits.Idle);
    connect(&FDeadline, &QTimer::timeout, this, [this] { End(); });
    connect(FSocket, &QTcpSocket::readyRead, this, [this] { Read(); });
    connect(FSocket, &QTcpSocket::bytesWritten, this, [this] { Written(); });
    connect(FSocket, &QTcpSocket::disconnected, this, [this] { End(); });
    connect(FSocket, &QTcpSocket::errorOccurred, this, [this] { End(); });
    FDeadline.start();
    Read();
  }
  ~TConnection() override { QObject::disconnect(FSocket, nullptr, this, nullptr); }

 private:
  void Read() {
    if (FClosing) {
      FSocket->skip(FSocket->bytesAvailable());
      return;
    }
    const qsizetype limit = FServer.FLimits.HeadBytes;
    while (!FClosing && !FEnded && FSocket->bytesToWrite() == 0) {
      if (FInput.size() < limit) FInput += FSocket->read(limit - FInput.size());
      // Empty lines before a request are allowed.
      while (FInput.startsWith("\r\n") || FInput.startsWith('\n'))
        FInput.remove(0, FInput.startsWith('\n') ? 1 : 2);
      const qsizetype length =
          RequestHeadLength(QByteArrayView(FInput).first(std::min(FInput.size(), limit)));
      if (length == 0) {
        if (FInput.size() >= limit) {
          Send(ErrorAnswer(
                   431, "The request head is longer than " + QByteArray::number(limit) + " bytes."),
               true);
        }
        if (FSocket->bytesAvailable() == 0) return;
        continue;
      }
      const THttpRequest request = ParseRequestHead(QByteArrayView(FInput).first(length));
      FInput.remove(0, length);
      bool close = true;
      const QByteArray answer = AnswerRequest(request, FServer.FResource, close);
      Send(answer, close);
    }
  }

  void Send(const QByteArray& answer, bool close) {
    FSocket->write(answer);
    if (close) {
      FClosing = true;
      FInput.clear();
    }
  }

  void Written() {
    FDeadline.start();
    if (FSocket->bytesToWrite() > 0) return;
    if (!FClosing) {
      Read();
      return;
    }
    // All is sent: the peer sees its end, and what it still sends is thrown away.
    ::shutdown(static_cast<int>(FSocket->socketDescriptor()), SHUT_WR);
    FSocket->skip(FSocket->bytesAvailable());
  }

  void End() {
    if (FEnded) return;
    FEnded = true;
    FDeadline.stop();
    QObject::disconnect(FSocket, nullptr, this, nullptr);
    FSocket->abort();
    FServer.Forget(this);
    deleteLater();
  }

  THttpServer& FServer;
  QTcpSocket* FSocket;  // a child
  QTimer FDeadline;
  QByteArray FInput;      // what came of the request heads not yet answered
  bool FClosing = false;  // the last answer has been given
  bool FEnded = false;
};

THttpServer::THttpServer(THttpResource resource, THttpLimits limits)
    : FResource(std::move(resource)), FLimits(limits) {}

THttpServer::~THttpServer() {
  FListener.reset();
  const std::set<TConnection*> connections = std::move(FConnections);
  FConnections.clear();
  for (TConnection* connection : connections) delete connection;
}

QString THttpServer::Listen(const QHostAddress& host, quint16 port) {
  auto listener = std::make_unique<QTcpServer>();
  if (!listener->listen(host, port)) return listener->errorString();
  QObject::connect(listener.get(), &QTcpServer::newConnection, listener.get(),
                   [this] { Accept(); });
  FListener = std::move(listener);
  return {};
}

quint16 THttpServer::Port() const {
  return FListener ? FListener->serverPort() : 0;
}

void THttpServer::Accept() {
  while (QTcpSocket* socket = FListener->nextPendingConnection()) {
    if (Connections() >= FLimits.Connections) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    FConnections.insert(new TConnection(*this, socket));
  }
}

void THttpServer::Forget(TConnection* connection) {
  FConnections.erase(connection);
}
