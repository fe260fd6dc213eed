// The history store: storing one poll of many items (the work on the writer's thread, and how
// late a 10 ms timer fires meanwhile on the caller's), the file size per stored value after a
// day, and reading a month of one series, whole and reduced to a chart's pixel columns.
// Run with QT_QPA_PLATFORM=offscreen (set here when absent).
//   bench_store [items per poll=1000] [days of one-minute polls before timing=1]
//               [parts=write,size,read]
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>

#include "Chart.h"
#include "HistoryWriter.h"

namespace {

const QDateTime kStart(QDate(2026, 7, 1), QTime(0, 0), Qt::UTC);

// A host's items in realistic proportions: a few processors (whole percent), interfaces in and
// out (rates with fractions), storage areas (whole allocation units).
TStoredPoll Poll(const QString& host, int minute, int items, std::mt19937& random) {
  TStoredPoll poll{host, kStart.addSecs(60LL * minute), {}};
  std::uniform_real_distribution<double> rate(0, 50000);
  std::uniform_int_distribution<int> load(0, 100);
  const int processors = std::max(1, items / 25);
  const int storages = std::max(1, items / 10);
  for (int i = 0; i < items; ++i) {
    if (i < processors) {
      poll.Values.push_back({TStoredKind::Processor, "Processor", 768 + i, QString::number(768 + i),
                             double(load(random))});
    } else if (i < items - storages) {
      const int index = (i - processors) / 2;
      const bool in = (i - processors) % 2 == 0;
      poll.Values.push_back({TStoredKind::Interface, in ? "InterFaceIn" : "InterFaceOut", index + 1,
                             QStringLiteral("eth%1").arg(index), rate(random)});
    } else {
      poll.Values.push_back({TStoredKind::Storage, "Storage", i, QStringLiteral("/srv/%1").arg(i),
                             double(1000000 + minute * 7 + i)});
    }
  }
  return poll;
}

double ThreadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double Percentile(std::vector<double> values, double share) {
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(share * (values.size() - 1))];
}

qint64 StoreBytes(const QString& path) {
  return QFileInfo(path).size() + QFileInfo(path + "-wal").size();
}

// How late a 10 ms timer fires while the event loop runs.
double WorstLatenessWhile(const std::function<void()>& start, const std::function<bool()>& done) {
  QElapsedTimer clock;
  clock.start();
  qint64 last = 0;
  double worst = 0;
  QEventLoop loop;
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    worst = std::max(worst, (now - last) / 1e6 - 10);
    last = now;
    if (done()) loop.quit();
  });
  timer.start();
  start();
  loop.exec();
  return worst;
}

void StoringPolls(const QString& dir, int items, int days) {
  const QString path = dir + "/write.sqlite";
  std::mt19937 random(1);
  THistoryStore store;
  store.Open(path);
  const int before = days * 24 * 60;
  for (int minute = 0; minute < before; ++minute)
    store.Write(Poll("switch", minute, items, random));
  std::vector<double> wall, cpu;
  for (int minute = before; minute < before + 120; ++minute) {
    const TStoredPoll poll = Poll("switch", minute, items, random);
    QElapsedTimer clock;
    clock.start();
    const double cpuStart = ThreadCpuMs();
    store.Write(poll);
    cpu.push_back(ThreadCpuMs() - cpuStart);
    wall.push_back(clock.nsecsElapsed() / 1e6);
  }
  std::printf(
      "Storing one poll of %d items after %d day(s), 120 polls: processor time median "
      "%.2f ms, 90%% %.2f ms, worst %.2f ms; wall clock median %.2f ms, worst %.2f ms\n",
      items, days, Percentile(cpu, 0.5), Percentile(cpu, 0.9), Percentile(cpu, 1.0),
      Percentile(wall, 0.5), Percentile(wall, 1.0));
  store.Close();

  // The same through the writer, 60 polls queued one every 20 ms, while this thread's loop runs.
  THistoryWriter writer;
  writer.Open(path);
  writer.Wait();
  int queued = 0;
  QTimer feed;
  feed.setInterval(20);
  QObject::connect(&feed, &QTimer::timeout, [&] {
    if (queued < 60) writer.Store(Poll("switch", before + 120 + queued++, items, random));
  });
  const double idle = WorstLatenessWhile([] {}, [&, ticks = 0]() mutable { return ++ticks == 60; });
  QElapsedTimer clock;
  const double late = WorstLatenessWhile(
      [&] {
        clock.start();
        feed.start();
      },
      [&] { return queued == 60; });
  const double queueing = clock.nsecsElapsed() / 1e6;
  writer.Wait();
  std::printf(
      "  through the writer: 60 polls queued over %.0f ms, timer on the caller's thread "
      "up to %.1f ms late (%.1f ms with nothing to store)\n",
      queueing, late, idle);
}

void BytesPerValue(const QString& dir) {
  const QString path = dir + "/day.sqlite";
  std::mt19937 random(2);
  THistoryStore store;
  store.Open(path);
  const int items = 100, minutes = 24 * 60;
  for (int minute = 0; minute < minutes; ++minute) store.Write(Poll("host", minute, items, random));
  store.RemoveOlderThan(3650, kStart);  // removes nothing; copies the log into the file
  std::printf("A day of %d items every minute: %lld bytes, %.1f bytes per value\n", items,
              static_cast<long long>(StoreBytes(path)),
              double(StoreBytes(path)) / (double(items) * minutes));
}

void ReadingAMonth(const QString& dir) {
  const QString path = dir + "/month.sqlite";
  std::mt19937 random(3);
  THistoryStore store;
  store.Open(path);
  const int minutes = 30 * 24 * 60;
  for (int minute = 0; minute < minutes; ++minute) store.Write(Poll("router", minute, 10, random));
  store.Close();
  THistoryStore reader;
  reader.Open(path, THistoryStore::TMode::Read);
  const TSeriesKey key{"router", TStoredKind::Interface, "InterFaceIn", 1, "eth0"};
  const int64_t from = kStart.toSecsSinceEpoch(), to = from + 60LL * minutes;
  TChart chart;
  chart.resize(400 + 60, 113);
  chart.BottomAxis.Maximum = minutes;
  chart.BottomAxis.Inverted = true;
  chart.BottomAxis.Title = "Minutes";
  chart.LeftAxis.Maximum = 50000;
  chart.LeftAxis.Title = "Kbits per sec";
  QImage image(chart.size(), QImage::Format_RGB32);
  std::vector<double> points, drawn;
  size_t count = 0;
  for (int run = 0; run < 10; ++run) {
    QElapsedTimer clock;
    clock.start();
    count = reader.Points(key, from, to).size();
    points.push_back(clock.nsecsElapsed() / 1e6);

    // As a long view does: the columns of the plot's width, then the chart painted.
    clock.start();
    const int width = chart.PlotRect().width();
    const std::vector<TBucket> buckets = Buckets(reader.Points(key, from, to), from, to, width);
    TChartBand band{Qt::darkGreen, {}};
    const double columnMinutes = double(minutes) / width;
    for (int i = 0; i < width; ++i) {
      band.Columns.push_back({minutes - (i + 0.5) * columnMinutes, columnMinutes,
                              buckets[i].Minimum, buckets[i].Average, buckets[i].Maximum});
    }
    chart.Bands = {band};
    chart.render(&image);
    drawn.push_back(clock.nsecsElapsed() / 1e6);
  }
  std::printf(
      "30 days of one series (%zu points): read median %.1f ms, worst %.1f ms; read, "
      "reduced to the plot's %d columns and drawn median %.1f ms, worst %.1f ms\n",
      count, Percentile(points, 0.5), Percentile(points, 1.0), chart.PlotRect().width(),
      Percentile(drawn, 0.5), Percentile(drawn, 1.0));
}

}  // namespace

int main(int argc, char* argv[]) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  const int items = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int days = argc > 2 ? std::atoi(argv[2]) : 1;
  const QString parts = argc > 3 ? argv[3] : "write,size,read";
  QTemporaryDir dir;
  if (parts.contains("write")) StoringPolls(dir.path(), items, days);
  if (parts.contains("size")) BytesPerValue(dir.path());
  if (parts.contains("read")) ReadingAMonth(dir.path());
  return 0;
}
