#include "Clock.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QTimer>
#include <algorithm>

void TTimer::Start(int64_t ms, std::function<void()> f) {
  Stop();
  FDue = FClock.Milliseconds() + ms;
  FId = FClock.Schedule(ms, FContext, [this, f = std::move(f)] {
    FId = 0;
    f();
  });
}

void TTimer::Stop() {
  if (FId != 0) FClock.Cancel(FId);
  FId = 0;
}

struct TSystemClock::TStart {
  QElapsedTimer Elapsed;
};

TSystemClock::TSystemClock() : FStart(std::make_unique<TStart>()) {
  FStart->Elapsed.start();
}

TSystemClock::~TSystemClock() {
  for (auto& [id, timer] : FTimers) delete timer;
}

int64_t TSystemClock::Milliseconds() const {
  return FStart->Elapsed.elapsed();
}

QDateTime TSystemClock::Now() const {
  return QDateTime::currentDateTimeUtc();
}

void TSystemClock::Post(QObject* context, std::function<void()> f) {
  QMetaObject::invokeMethod(context, std::move(f), Qt::QueuedConnection);
}

uint64_t TSystemClock::Schedule(int64_t ms, QObject* context, std::function<void()> f) {
  const uint64_t id = ++FLastId;
  auto* timer = new QTimer;
  timer->setSingleShot(true);
  // Deadlines of a few milliseconds matter to the replies' order; a coarse timer would be late.
  timer->setTimerType(Qt::PreciseTimer);
  QObject::connect(timer, &QTimer::timeout, context, [this, id, f = std::move(f)] {
    FFiring = id;
    f();
    FFiring = 0;
  });
  // Connected after f, so that the timer goes once f has run, also when context is gone.
  QObject::connect(timer, &QTimer::timeout, timer, [this, id, timer] {
    FTimers.erase(id);
    timer->deleteLater();
  });
  FTimers.emplace(id, timer);
  timer->start(static_cast<int>(std::clamp<int64_t>(ms, 0, INT32_MAX)));
  return id;
}

void TSystemClock::Cancel(uint64_t id) {
  const auto found = FTimers.find(id);
  if (found == FTimers.end()) return;
  // The timer whose signal is being delivered goes once that is over.
  if (id == FFiring) {
    found->second->stop();
    found->second->deleteLater();
  } else {
    delete found->second;
  }
  FTimers.erase(found);
}

TClock& SystemClock() {
  static TSystemClock clock;
  return clock;
}
