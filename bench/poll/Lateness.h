#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <ctime>

// How late a 10 ms timer fires while the event loop runs: what a user would feel as a window
// that hangs.
class TLateness {
 public:
  TLateness() {
    FTimer.setTimerType(Qt::PreciseTimer);
    FTimer.setInterval(10);
    QObject::connect(&FTimer, &QTimer::timeout, [this] {
      const qint64 now = FClock.nsecsElapsed();
      Worst = std::max(Worst, static_cast<double>(now - FLast) / 1e6 - 10);
      FLast = now;
    });
  }
  void Start() {
    Worst = 0;
    FClock.start();
    FLast = 0;
    FTimer.start();
  }
  void Stop() {
    // A wait that blocked the loop until now counts too.
    Worst = std::max(Worst, static_cast<double>(FClock.nsecsElapsed() - FLast) / 1e6 - 10);
    FTimer.stop();
  }
  double Worst = 0;  // milliseconds

 private:
  QTimer FTimer;
  QElapsedTimer FClock;
  qint64 FLast = 0;
};

// Processor time of the calling thread, in seconds: the engine's share, not an agent's.
inline double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}
