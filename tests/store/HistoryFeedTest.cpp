#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>

#include "FakeClock.h"
#include "HistoryFeed.h"
#include "HistoryWriter.h"
#include "Pollers.h"
#include "ScriptedTransport.h"

namespace {

// Each stored series of the host as "tag item: seconds after since:value ...", "gap" for a gap.
std::vector<std::string> Stored(const QString& path, const QString& host, const QDateTime& since) {
  THistoryStore store;
  store.Open(path, THistoryStore::TMode::Read);
  const int64_t from = since.toSecsSinceEpoch() - 60;
  std::vector<std::string> lines;
  const auto series = store.HostPoints(host, from, from + 3600);
  for (auto it = series.cbegin(); it != series.cend(); ++it) {
    QString line = QStringLiteral("%1 %2:").arg(it.key().Tag, it.key().Item);
    for (const TStoredPoint& point : it.value())
      line += QStringLiteral(" %1:%2")
                  .arg(point.Time - since.toSecsSinceEpoch())
                  .arg(std::isnan(point.Value) ? QStringLiteral("gap")
                                               : QString::number(point.Value, 'g', 15));
    lines.push_back(line.toStdString());
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

// Every poller's polls reach the store, shown in a window or not: each at the time its poll
// started, a value that did not come as a gap, the reading for the first rates in the first
// poll's place, and a gap just before each Connect's first poll.
TEST(HistoryFeed, EveryPollersPollsAreStoredWithGapsAsGaps) {
  QTemporaryDir dir;
  const QString path = dir.filePath("history.sqlite");
  TFakeClock clock;
  TScriptedMib a, b;
  FillHost(a, 1);
  FillHost(b, 1);
  b.Remove("1.3.6.1.2.1.25.3.3.1.2.769");  // no load: a gap, never a 0
  std::vector<TScriptedTransport*> transports;
  TPollers pollers(clock, [&]() -> std::unique_ptr<TTransport> {
    auto transport = std::make_unique<TScriptedTransport>(transports.empty() ? a : b, clock);
    transports.push_back(transport.get());
    return transport;
  });
  THistoryWriter writer(clock);
  writer.Open(path);
  THistoryFeed feed(pollers, writer);
  TPollerSettings settings{QStringLiteral("a.example")};
  settings.TimeoutMs = 1000;
  TPoller& first = pollers.Hold(settings);
  settings.Host = QStringLiteral("b.example");
  TPoller& second = pollers.Hold(settings);
  const QDateTime connected = clock.Now();
  first.Connect();
  second.Connect();
  clock.Settle();

  // Five seconds on, 5120 octets more in on a's interface: 8 Kbit/s, none out.
  a.Set("1.3.6.1.2.1.1.3.0", 0x43, "100500");
  a.Set("1.3.6.1.2.1.2.2.1.10.1", 0x41, "6120");
  clock.Advance(30000);
  // A Refresh of b, which no longer answers.
  transports[1]->Silent = true;
  second.Refresh();
  clock.Advance(2000);
  writer.Wait();

  EXPECT_EQ(Stored(path, "a.example", connected),
            (std::vector<std::string>{"InterFaceIn eth1: -1:gap 0:8",
                                      "InterFaceOut eth1: -1:gap 0:0", "Processor 768: -1:gap 0:8",
                                      "Processor 769: -1:gap 0:9", "Storage /: -1:gap 0:250000",
                                      "Storage Physical memory: -1:gap 0:1048576"}));
  EXPECT_EQ(Stored(path, "b.example", connected),
            (std::vector<std::string>{
                "InterFaceIn eth1: -1:gap 0:gap 30:gap", "InterFaceOut eth1: -1:gap 0:gap 30:gap",
                "Processor 768: -1:gap 0:8 30:gap", "Processor 769: -1:gap 0:gap 30:gap",
                "Storage /: -1:gap 0:250000 30:gap",
                "Storage Physical memory: -1:gap 0:1048576 30:gap"}));
}

}  // namespace
