#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTcpServer>
#include <QUrlQuery>
#include <fstream>
#include <map>

#include "ScriptedAgent.h"
#include "WindowFixture.h"

// The window's metrics endpoint on loopback: scraped by the test itself, checked by promtool,
// and scraped by a real Prometheus whose query results must match the window.
namespace {

quint16 FreeTcpPort() {
  QTcpServer probe;
  EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
  return probe.serverPort();
}

struct THttpReply {
  int Status = 0;
  QByteArray ContentType;
  QByteArray Body;
};

// A GET that keeps the event loop running while it waits, so the window can answer.
THttpReply Get(const QUrl& url) {
  QNetworkAccessManager manager;
  manager.setProxy(QNetworkProxy::NoProxy);
  std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(url)));
  if (!QTest::qWaitFor([&reply] { return reply->isFinished(); }, 10000)) return {};
  return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
          reply->rawHeader("Content-Type"), reply->readAll()};
}

// Prometheus on a free loopback port, scraping one target every second, its data in a
// temporary folder.
class TPrometheus {
 public:
  explicit TPrometheus(quint16 target) : Port(FreeTcpPort()) {
    const std::string config = Dir.Path() + "/prometheus.yml";
    std::ofstream(config) << "global:\n"
                          << "  scrape_interval: 1s\n"
                          << "  scrape_timeout: 1s\n"
                          << "scrape_configs:\n"
                          << "  - job_name: corvane\n"
                          << "    static_configs:\n"
                          << "      - targets: ['127.0.0.1:" << target << "']\n";
    Process.Start(
        {"prometheus", "--config.file=" + config, "--storage.tsdb.path=" + Dir.Path() + "/data",
         "--web.listen-address=127.0.0.1:" + std::to_string(Port), "--log.level=warn"},
        {}, Dir.Path() + "/prometheus.log");
  }
  // The result vector of an instant query; empty while Prometheus is not answering yet.
  QJsonArray Query(const QString& promql) const {
    QUrl url(QStringLiteral("http://127.0.0.1:%1/api/v1/query").arg(Port));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("query"), promql);
    url.setQuery(query);
    const THttpReply reply = Get(url);
    LastAnswer = reply.Body;
    return QJsonDocument::fromJson(reply.Body)["data"]["result"].toArray();
  }
  // Queries until the result has `count` series; the last result either way.
  QJsonArray WaitFor(const QString& promql, qsizetype count) const {
    QJsonArray result;
    for (QDeadlineTimer deadline(60000); !deadline.hasExpired(); QTest::qWait(250)) {
      result = Query(promql);
      if (result.size() == count) break;
    }
    return result;
  }
  std::string Log() const {
    std::ifstream in(Dir.Path() + "/prometheus.log");
    return {std::istreambuf_iterator<char>(in), {}};
  }

  TTempDir Dir;  // outlives the process
  TAgentProcess Process;
  const quint16 Port;
  mutable QByteArray LastAnswer;
};

class MetricsEndpoint : public TWindowTest {
 protected:
  void SetUp() override {
    TWindowTest::SetUp();
    FillHost(Agent.Mib, 2);
    Agent.Mib.Set("1.3.6.1.2.1.2.2.1.10.1", 0x41, "4294967295");  // the largest Counter32
  }
  // As a user would: the address in the options, then OK.
  void ServeAt(const QString& address) {
    WhenDialogOpens([this, address] {
      Options->edtMetrics->setText(address);
      Options->Button1->click();
    });
    Form->acOptions->trigger();
  }
  QString Host() const { return QStringLiteral("127.0.0.1:%1").arg(Agent.Port()); }
  THttpReply Scrape(const QString& path = QStringLiteral("/metrics")) const {
    return Get(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(Port).arg(path)));
  }

  TScriptedAgent Agent;
  const quint16 Port = FreeTcpPort();
};

// Series of one query result by the values of two labels.
std::map<std::pair<QString, QString>, QString> ByLabels(const QJsonArray& result, const char* a,
                                                        const char* b) {
  std::map<std::pair<QString, QString>, QString> values;
  for (const QJsonValue& series : result) {
    const QJsonObject metric = series["metric"].toObject();
    values[{metric[a].toString(), metric[b].toString()}] = series["value"][1].toString();
  }
  return values;
}

TEST_F(MetricsEndpoint, PrometheusScrapesWhatTheWindowShows) {
  ServeAt(QStringLiteral("127.0.0.1:%1").arg(Port));
  ConnectTo(Host());
  ASSERT_TRUE(Connected());

  const THttpReply scrape = Scrape();
  EXPECT_EQ(scrape.Status, 200);
  EXPECT_EQ(scrape.ContentType, "text/plain; version=0.0.4; charset=utf-8");
  TTempDir work;
  const std::string file = work.Path() + "/scrape.txt";
  std::ofstream(file) << scrape.Body.toStdString();
  int exitCode = -1;
  const std::string lint =
      RunCommand({"sh", "-c", "promtool check metrics < " + file + " 2>&1"}, &exitCode);
  EXPECT_EQ(exitCode, 0) << lint << scrape.Body.toStdString();
  EXPECT_EQ(lint, "");

  TPrometheus prometheus(Port);
  const QJsonArray octets = prometheus.WaitFor("corvane_interface_octets_total", 4);
  ASSERT_EQ(octets.size(), 4) << prometheus.LastAnswer.toStdString() << prometheus.Log();
  const QJsonObject first = octets[0]["metric"].toObject();
  EXPECT_EQ(first["host"].toString(), Host());
  EXPECT_EQ(ByLabels(octets, "interface", "direction"),
            (std::map<std::pair<QString, QString>, QString>{{{"eth1", "in"}, "4294967295"},
                                                            {{"eth1", "out"}, "2000"},
                                                            {{"eth2", "in"}, "2000"},
                                                            {{"eth2", "out"}, "4000"}}));

  // The storage use and processor loads the window shows for the same poll.
  const QJsonArray used = prometheus.Query("corvane_storage_used_bytes");
  const auto usedBytes = ByLabels(used, "index", "area");
  ASSERT_EQ(usedBytes.size(), 2u) << prometheus.LastAnswer.toStdString();
  for (const auto& [key, bytes] : usedBytes) {
    const double megabytes = RoundToTenth(bytes.toDouble() / 1024 / 1024);
    EXPECT_EQ(LabelText("lblStorageUsed" + key.first),
              "Used: " + FormatNumber(megabytes, 1, QLocale::system()) + " Mb");
  }
  EXPECT_EQ(usedBytes.at({"31", "/"}), "1024000000");
  const auto loads = ByLabels(prometheus.Query("corvane_processor_load_percent"), "index", "host");
  ASSERT_EQ(loads.size(), 2u) << prometheus.LastAnswer.toStdString();
  for (const auto& [key, load] : loads)
    EXPECT_EQ(load.toInt(), Find<TGauge>("ProcessorGauge" + key.first)->Position())
        << load.toStdString();

  // The agent no longer has a counter: the window shows no value, the endpoint leaves it out.
  Agent.Mib.Remove("1.3.6.1.2.1.2.2.1.10.2");
  Refresh();
  EXPECT_EQ(LabelText("lblInterfaceIn2"), "In: no value");
  const QByteArray body = Scrape().Body;
  EXPECT_FALSE(body.contains("index=\"2\",direction=\"in\"")) << body.toStdString();
  EXPECT_TRUE(body.contains("index=\"2\",direction=\"out\"} 4000\n")) << body.toStdString();
  // Disconnected: the last host, down, and nothing else.
  Form->acDisconnect->trigger();
  const QByteArray down = Scrape().Body;
  EXPECT_TRUE(down.endsWith("\ncorvane_up{host=\"" + Host().toUtf8() + "\"} 0\n")) << down.data();
  EXPECT_EQ(down.count("\ncorvane_"), 1) << down.data();
}

TEST_F(MetricsEndpoint, AnAddressThatCannotBeServedIsReportedAndTheProgramGoesOn) {
  QTcpServer taken;
  ASSERT_TRUE(taken.listen(QHostAddress::LocalHost, 0));
  const QString busy = QStringLiteral("127.0.0.1:%1").arg(taken.serverPort());
  const QString inUse =
      QStringLiteral("Cannot serve metrics at %1: The bound address is already in use").arg(busy);

  ServeAt(busy);
  ServeAt("9163");
  ASSERT_EQ(Boxes.Shown.size(), 2u);
  EXPECT_EQ(Boxes.Shown[0].Kind, "error");
  EXPECT_EQ(Boxes.Shown[0].Text, inUse);
  EXPECT_EQ(Boxes.Shown[1].Text,
            "Cannot serve metrics at 9163: no port (write address:port, for example "
            "127.0.0.1:9163)");
  EXPECT_EQ(Form->Metrics.Port(), 0);
  ConnectTo(Host());
  EXPECT_TRUE(Connected());

  ServeAt(QStringLiteral("127.0.0.1:%1").arg(Port));
  EXPECT_EQ(Form->Metrics.Port(), Port);
  EXPECT_EQ(Scrape().Status, 200);
  for (const char* path : {"/", "/metrics/"}) EXPECT_EQ(Scrape(path).Status, 404) << path;
  ServeAt("");
  EXPECT_EQ(Form->Metrics.Port(), 0);
  EXPECT_EQ(Boxes.Shown.size(), 2u);
}

}  // namespace
