// The history in the window's own path: what each poll of a host with 1000 values costs when its
// poller feeds the store (on the writer's thread; on the window's thread, against the same polls
// without a store, with how late a 10 ms timer fires there meanwhile), and how long a 30-day
// view of one interface polled every minute takes from the store to the drawn chart.
// Run with QT_QPA_PLATFORM=offscreen (set here when absent).
//   bench_history [polls=30] [interfaces=498: 1000 values with the processors and areas]
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>

#include "HistoryWriter.h"
#include "MainWindow.h"
#include "OptionsDialog.h"
#include "ScriptedAgent.h"

namespace {

double ThreadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Processor time of the writer's thread (named "history") so far, from the kernel's account.
double WriterCpuMs() {
  for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile comm("/proc/self/task/" + task + "/comm");
    if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != "history") continue;
    QFile stat("/proc/self/task/" + task + "/schedstat");
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    return stat.readAll().split(' ').value(0).toDouble() / 1e6;
  }
  return -1;
}

double Percentile(std::vector<double> values, double share) {
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(share * (values.size() - 1))];
}

// Runs step in the window's event loop until the window is idle again; how late a 10 ms timer
// fired meanwhile.
double InWindow(TForm1& form, const std::function<void()>& step) {
  QElapsedTimer clock;
  qint64 last = 0;
  double worst = 0;
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  timer.setInterval(10);
  QEventLoop loop;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    worst = std::max(worst, (now - last) / 1e6 - 10);
    last = now;
    if (!form.Busy()) loop.quit();
  });
  clock.start();
  timer.start();
  step();
  loop.exec();
  return worst;
}

struct TWindow {
  explicit TWindow(const QString& settings) : Form(settings) {
    auto* options = new TfrmOptions(&Form);
    Form.SetOptionsDialog(options);
    Form.resize(640, 600);
  }
  void Connect(uint16_t port) {
    Form.show();
    Form.cbxHost->setEditText(QStringLiteral("127.0.0.1:%1").arg(port));
    InWindow(Form, [this] { Form.acConnect->trigger(); });
  }
  TForm1 Form;
};

void FeedingTheStore(const QString& dir, int polls, int interfaces) {
  TScriptedAgent agent;
  FillHost(agent.Mib, interfaces);
  const int values = 2 + 2 * interfaces + 2;
  std::vector<double> with, without, lateWith, lateWithout, writer;
  {
    TWindow plain(dir + "/plain/corvane");
    plain.Connect(agent.Port());
    for (int poll = 0; poll < polls; ++poll) {
      const double cpu = ThreadCpuMs();
      lateWithout.push_back(InWindow(plain.Form, [&] { plain.Form.acRefresh->trigger(); }));
      without.push_back(ThreadCpuMs() - cpu);
    }
  }
  THistoryWriter history;
  TWindow window(dir + "/fed/corvane");
  window.Form.UseHistory(history, dir + "/feed.sqlite");
  window.Connect(agent.Port());
  history.Wait();
  for (int poll = 0; poll < polls; ++poll) {
    const double cpu = ThreadCpuMs();
    const double writerBefore = WriterCpuMs();
    lateWith.push_back(InWindow(window.Form, [&] { window.Form.acRefresh->trigger(); }));
    with.push_back(ThreadCpuMs() - cpu);
    history.Wait();
    writer.push_back(WriterCpuMs() - writerBefore);
  }
  std::printf(
      "One poll of %d values, %d polls: writer's thread %.2f ms median, %.2f ms worst; window's "
      "thread %.2f ms median with the store, %.2f ms without; timer up to %.1f ms late with the "
      "store, %.1f ms without\n",
      values, polls, Percentile(writer, 0.5), Percentile(writer, 1.0), Percentile(with, 0.5),
      Percentile(without, 0.5), Percentile(lateWith, 1.0), Percentile(lateWithout, 1.0));
}

void OpeningAMonth(const QString& dir) {
  TScriptedAgent agent;
  FillHost(agent.Mib, 1);
  const QString path = dir + "/month.sqlite";
  const QString host = QStringLiteral("127.0.0.1:%1").arg(agent.Port());
  const int minutes = 30 * 24 * 60;
  const QDateTime end = QDateTime::currentDateTimeUtc();
  {
    THistoryStore store;
    store.Open(path);
    for (int minute = minutes; minute > 0; --minute) {
      const double rate = 1000 + (minute * 7919 % 5000);
      store.Write({host,
                   end.addSecs(-60LL * minute),
                   {{TStoredKind::Interface, "InterFaceIn", 1, "eth1", rate},
                    {TStoredKind::Interface, "InterFaceOut", 1, "eth1", rate / 3}}});
    }
  }
  THistoryWriter history;
  TWindow window(dir + "/month/corvane");
  window.Form.UseHistory(history, path);
  window.Connect(agent.Port());
  window.Form.PageControl1->setCurrentIndex(1);
  QApplication::processEvents();
  auto* chart = window.Form.findChild<TChart*>("InterfaceChart1");
  QImage image(chart->size(), QImage::Format_RGB32);
  const auto pick = [&](const QString& text) {
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(60, 40),
                            chart->mapToGlobal(QPoint(60, 40)));
    QApplication::sendEvent(chart, &click);
    auto* menu = window.Form.findChild<QMenu*>("mnuChartView");
    QAction* picked = nullptr;
    for (QAction* action : menu->actions())
      if (action->text() == text) picked = action;
    QElapsedTimer clock;
    clock.start();
    picked->trigger();
    chart->render(&image);
    const double ms = clock.nsecsElapsed() / 1e6;
    menu->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return ms;
  };
  std::vector<double> drawn;
  for (int run = 0; run < 10; ++run) {
    drawn.push_back(pick("Last 30 days"));
    pick("Graph Length");
  }
  size_t filled = 0;
  pick("Last 30 days");
  for (const TChartColumn& column : chart->Bands.at(0).Columns)
    filled += column.Average == column.Average;
  std::printf(
      "30-day view of one interface polled every minute (%d points per series, %zu of %zu "
      "columns filled): picked to drawn median %.1f ms, worst %.1f ms\n",
      minutes, filled, chart->Bands.at(0).Columns.size(), Percentile(drawn, 0.5),
      Percentile(drawn, 1.0));
}

}  // namespace

int main(int argc, char* argv[]) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("corvane-bench"));
  const int polls = argc > 1 ? std::atoi(argv[1]) : 30;
  const int interfaces = argc > 2 ? std::atoi(argv[2]) : 498;
  QTemporaryDir dir;
  FeedingTheStore(dir.path(), polls, interfaces);
  OpeningAMonth(dir.path());
  return 0;
}
