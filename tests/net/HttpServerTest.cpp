#include <gtest/gtest.h>

#include <QTcpSocket>
#include <QTest>
#include <memory>
#include <stdexcept>
#include <vector>

#include "HttpServer.h"

// What the HTTP server makes of request heads, and what it lets a peer take of it over a real
// loopback connection.
namespace {

const THttpResource Resource{"/metrics", "text/plain; version=0.0.4",
                             [] { return QByteArray("corvane_up 1\n"); }};

// Bytes of a literal, NULs included.
template <std::size_t N>
QByteArray Bytes(const char (&text)[N]) {
  return QByteArray(text, N - 1);
}

struct HeadCase {
  const char* name;
  QByteArray head;
  const char* statusLine;
  bool close;
};
void PrintTo(const HeadCase& c, std::ostream* out) {
  *out << c.name;
}

class RequestHead : public ::testing::TestWithParam<HeadCase> {};

TEST_P(RequestHead, GetsThisAnswer) {
  const HeadCase& c = GetParam();
  ASSERT_EQ(RequestHeadLength(c.head + "GET"), c.head.size()) << "the head ends where it should";
  bool close = false;
  const QByteArray answer = AnswerRequest(ParseRequestHead(c.head), Resource, close);
  EXPECT_EQ(answer.left(answer.indexOf("\r\n")), c.statusLine) << answer.toStdString();
  EXPECT_EQ(close, c.close);
  EXPECT_EQ(answer.contains("\r\nConnection: close\r\n"), c.close);
}

INSTANTIATE_TEST_SUITE_P(
    HttpServer, RequestHead,
    ::testing::Values(
        HeadCase{"Get", "GET /metrics HTTP/1.1\r\nHost: a\r\n\r\n", "HTTP/1.1 200 OK", false},
        HeadCase{"QueryAndBareLineFeeds", "GET /metrics?x=1 HTTP/1.1\nHost: a\n\n",
                 "HTTP/1.1 200 OK", false},
        HeadCase{"AbsoluteTarget", "HEAD hTTp://[::1]:9163/metrics HTTP/1.1\r\n\r\n",
                 "HTTP/1.1 200 OK", false},
        HeadCase{"Http10Closes", "GET /metrics HTTP/1.0\r\nConnection: keep-alive\r\n\r\n",
                 "HTTP/1.1 200 OK", true},
        HeadCase{"ConnectionClose", "GET /metrics HTTP/1.1\r\nConnection: TE, Close \r\n\r\n",
                 "HTTP/1.1 200 OK", true},
        HeadCase{"ZeroLength", "GET /metrics HTTP/1.1\r\nContent-Length: 0\r\n\r\n",
                 "HTTP/1.1 200 OK", false},
        HeadCase{"OtherPath", "GET /metrics/ HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found", true},
        HeadCase{"Post", "POST /metrics HTTP/1.1\r\n\r\n", "HTTP/1.1 405 Method Not Allowed", true},
        HeadCase{"Length", "GET /metrics HTTP/1.1\r\ncontent-length: 1\r\n\r\n",
                 "HTTP/1.1 413 Content Too Large", true},
        HeadCase{"ChunkedToOtherPath", "POST /x HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n",
                 "HTTP/1.1 413 Content Too Large", true},
        HeadCase{"Http2", "GET /metrics HTTP/2.0\r\n\r\n",
                 "HTTP/1.1 505 HTTP Version Not Supported", true},
        HeadCase{"NoVersion", "GET /metrics\r\n\r\n", "HTTP/1.1 400 Bad Request", true},
        HeadCase{"Binary", Bytes("\x16\x03\x01\x00\xa5 / HTTP/1.1\r\n\r\n"),
                 "HTTP/1.1 400 Bad Request", true},
        HeadCase{"NoColon", "GET /metrics HTTP/1.1\r\nHost\r\n\r\n", "HTTP/1.1 400 Bad Request",
                 true},
        HeadCase{"SpaceBeforeColon", "GET /metrics HTTP/1.1\r\nHost : a\r\n\r\n",
                 "HTTP/1.1 400 Bad Request", true},
        HeadCase{"Folded", "GET /metrics HTTP/1.1\r\nA: b\r\n c\r\n\r\n",
                 "HTTP/1.1 400 Bad Request", true},
        HeadCase{"BareCarriageReturn", "GET /metrics HTTP/1.1\r\nA: b\rc\r\n\r\n",
                 "HTTP/1.1 400 Bad Request", true},
        HeadCase{"ControlInValue", Bytes("GET /metrics HTTP/1.1\r\nA: b\0c\r\n\r\n"),
                 "HTTP/1.1 400 Bad Request", true},
        HeadCase{"TwoLengths",
                 "GET /metrics HTTP/1.1\r\nContent-Length: 0\r\nContent-Length: 00\r\n\r\n",
                 "HTTP/1.1 400 Bad Request", true}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(HttpServer, AnswersAreTheseBytes) {
  bool close = false;
  EXPECT_EQ(AnswerRequest(ParseRequestHead("GET /metrics HTTP/1.1\r\n\r\n"), Resource, close),
            "HTTP/1.1 200 OK\r\nContent-Type: text/plain; version=0.0.4\r\n"
            "Content-Length: 13\r\n\r\ncorvane_up 1\n");
  EXPECT_EQ(AnswerRequest(ParseRequestHead("HEAD /metrics HTTP/1.0\r\n\r\n"), Resource, close),
            "HTTP/1.1 200 OK\r\nContent-Type: text/plain; version=0.0.4\r\n"
            "Content-Length: 13\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(AnswerRequest(ParseRequestHead("PUT /metrics HTTP/1.1\r\n\r\n"), Resource, close),
            "HTTP/1.1 405 Method Not Allowed\r\nAllow: GET, HEAD\r\n"
            "Content-Type: text/plain; charset=utf-8\r\nContent-Length: 31\r\n"
            "Connection: close\r\n\r\nOnly GET and HEAD are allowed.\n");
  const THttpResource failing{"/metrics", "text/plain",
                              []() -> QByteArray { throw std::runtime_error("no"); }};
  EXPECT_TRUE(AnswerRequest(ParseRequestHead("GET /metrics HTTP/1.1\r\n\r\n"), failing, close)
                  .startsWith("HTTP/1.1 500 Internal Server Error\r\n"));
  EXPECT_EQ(RequestHeadLength("GET / HTTP/1.1\r\nA: b\r\n\r"), 0);
}

// A peer on loopback; what it received so far, and whether the server closed on it.
class TPeer {
 public:
  explicit TPeer(quint16 port) { Socket.connectToHost(QHostAddress::LocalHost, port); }
  void Send(const QByteArray& bytes) { Socket.write(bytes); }
  // Waits until the server has closed the connection; what came before.
  QByteArray WaitClosed(int milliseconds = 10000) {
    EXPECT_TRUE(QTest::qWaitFor([this] { return Closed(); }, milliseconds)) << "still open";
    return Received += Socket.readAll();
  }
  bool Closed() const { return Socket.state() == QAbstractSocket::UnconnectedState; }
  QByteArray WaitFor(int answers) {
    (void)QTest::qWaitFor(
        [this, answers] {
          Received += Socket.readAll();
          return Received.count("HTTP/1.1 ") >= answers || Closed();
        },
        10000);
    return Received;
  }

  QTcpSocket Socket;
  QByteArray Received;
};

class HttpServerOnLoopback : public ::testing::Test {
 protected:
  void Start(THttpResource resource = Resource) {
    Server = std::make_unique<THttpServer>(std::move(resource), Limits);
    ASSERT_EQ(Server->Listen(QHostAddress::LocalHost, 0), "");
  }
  bool AllClosed() {
    return QTest::qWaitFor([this] { return Server->Connections() == 0; }, 10000);
  }

  THttpLimits Limits{16, 8192, std::chrono::milliseconds(300)};
  std::unique_ptr<THttpServer> Server;
};

TEST_F(HttpServerOnLoopback, AnswersRequestsInARowThenClosesTheIdleConnection) {
  Start();
  TPeer peer(Server->Port());
  peer.Send("\r\nGET /metrics HTTP/1.1\r\n\r\nHEAD /metrics?a HTTP/1.1\r\n\r\n");
  QTest::qWait(50);
  peer.Send("GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n");
  const QByteArray answers = peer.WaitClosed();
  EXPECT_EQ(answers.count("HTTP/1.1 200 OK\r\n"), 3) << answers.toStdString();
  EXPECT_EQ(answers.count("corvane_up 1\n"), 2) << answers.toStdString();
  EXPECT_TRUE(AllClosed());

  // A head that comes a line at a time, too slowly to be done within the idle limit.
  TPeer slow(Server->Port());
  slow.Send("GET /metrics HTTP/1.1\r\n");
  for (int line = 0; line < 20 && !slow.Closed(); ++line) {
    QTest::qWait(50);
    slow.Send("A: b\r\n");
  }
  EXPECT_EQ(slow.WaitClosed(), "");
}

TEST_F(HttpServerOnLoopback, RefusesWhatItCannotTakeAndKeepsNothingOfIt) {
  Start();
  const QByteArray longHead =
      "GET /metrics HTTP/1.1\r\nCookie: " + QByteArray(8192, 'a') + "\r\n\r\n";
  const QByteArray withBody =
      "POST /metrics HTTP/1.1\r\nContent-Length: 4194304\r\n\r\n" + QByteArray(4194304, 'b');
  const QByteArray chunked = "GET /metrics HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n" +
                             QByteArray(65536, 'c') + "\r\n";
  const std::vector<std::pair<QByteArray, QByteArray>> cases{
      {longHead, "HTTP/1.1 431 Request Header Fields Too Large\r\n"},
      {QByteArray(20000, '\x16'), "HTTP/1.1 431 Request Header Fields Too Large\r\n"},
      {withBody, "HTTP/1.1 413 Content Too Large\r\n"},
      {chunked, "HTTP/1.1 413 Content Too Large\r\n"},
      {"DELETE /metrics HTTP/1.1\r\n\r\nGET /metrics HTTP/1.1\r\n\r\n",
       "HTTP/1.1 405 Method Not Allowed\r\n"},
      {"GET /metrics HTTP/1.1\r\nA\r\n\r\n", "HTTP/1.1 400 Bad Request\r\n"}};
  for (const auto& [request, statusLine] : cases) {
    TPeer peer(Server->Port());
    peer.Send(request);
    // The answer is all the peer gets, however much it still sends: the server closes.
    const QByteArray answer = peer.WaitClosed();
    EXPECT_TRUE(answer.startsWith(statusLine)) << answer.left(200).toStdString();
    EXPECT_EQ(answer.count("HTTP/1.1 "), 1) << answer.toStdString();
    EXPECT_TRUE(peer.Closed());
  }
  EXPECT_TRUE(AllClosed());
}

TEST_F(HttpServerOnLoopback, ServesSixteenConnectionsAndClosesMore) {
  Start();
  std::vector<std::unique_ptr<TPeer>> peers;
  for (int i = 0; i < 16; ++i) peers.push_back(std::make_unique<TPeer>(Server->Port()));
  ASSERT_TRUE(QTest::qWaitFor([this] { return Server->Connections() == 16; }, 10000));

  TPeer refused(Server->Port());
  refused.Send("GET /metrics HTTP/1.1\r\n\r\n");
  EXPECT_EQ(refused.WaitClosed(), "");
  EXPECT_EQ(Server->Connections(), 16);
  peers.back()->Send("GET /metrics HTTP/1.1\r\nConnection: close\r\n\r\n");
  EXPECT_TRUE(peers.back()->WaitClosed().startsWith("HTTP/1.1 200 OK\r\n"));

  // A place has come free.
  ASSERT_TRUE(QTest::qWaitFor([this] { return Server->Connections() == 15; }, 10000));
  TPeer next(Server->Port());
  next.Send("GET /metrics HTTP/1.1\r\n\r\n");
  EXPECT_TRUE(next.WaitFor(1).startsWith("HTTP/1.1 200 OK\r\n"));
}

// Requests that come faster than their answers are taken do not pile answers up.
TEST_F(HttpServerOnLoopback, APeerThatDoesNotReadGetsNoMoreAnswers) {
  int renders = 0;
  Start({"/metrics", "text/plain", [&renders] {
           ++renders;
           return QByteArray(32 * 1024 * 1024, 'x');
         }});
  TPeer peer(Server->Port());
  peer.Socket.setReadBufferSize(1);
  QByteArray requests;
  for (int i = 0; i < 200; ++i) requests += "GET /metrics HTTP/1.1\r\n\r\n";
  peer.Send(requests);
  ASSERT_TRUE(QTest::qWaitFor([&renders] { return renders > 0; }, 10000));
  EXPECT_TRUE(AllClosed()) << "stalled at the idle limit";
  EXPECT_EQ(renders, 1);
}

}  // namespace
