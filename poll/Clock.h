#pragma once

#include <QDateTime>
#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>

class QTimer;

// The one clock of the engine: monotonic milliseconds for deadlines and durations, the wall time
// for poll times, and everything that is to happen later. Tests replace it with a clock they
// move themselves, so that nothing waits and no timer of the system runs.
class TClock {
 public:
  virtual ~TClock() = default;

  // Milliseconds on a monotonic clock.
  virtual int64_t Milliseconds() const = 0;
  // The wall time, in UTC.
  virtual QDateTime Now() const = 0;

  // Runs f from the event loop as soon as it comes round, unless context is gone by then.
  virtual void Post(QObject* context, std::function<void()> f) = 0;
  // Runs f once from the event loop when ms milliseconds have passed, unless context is gone or
  // the returned id was given to Cancel first.
  virtual uint64_t Schedule(int64_t ms, QObject* context, std::function<void()> f) = 0;
  virtual void Cancel(uint64_t id) = 0;
};

// A single-shot timer on a clock. Starting it again replaces what it was set for; destroying it
// stops it.
class TTimer {
 public:
  TTimer(TClock& clock, QObject* context) : FClock(clock), FContext(context) {}
  ~TTimer() { Stop(); }
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  void Start(int64_t ms, std::function<void()> f);
  void Stop();
  bool Active() const { return FId != 0; }
  // When it fires, on the clock's milliseconds.
  int64_t Due() const { return FDue; }

 private:
  TClock& FClock;
  QObject* FContext;
  uint64_t FId = 0;
  int64_t FDue = 0;
};

// The system's clock: QElapsedTimer, QDateTime and QTimer.
class TSystemClock : public TClock {
 public:
  TSystemClock();
  ~TSystemClock() override;

  int64_t Milliseconds() const override;
  QDateTime Now() const override;
  void Post(QObject* context, std::function<void()> f) override;
  uint64_t Schedule(int64_t ms, QObject* context, std::function<void()> f) override;
  void Cancel(uint64_t id) override;

 private:
  struct TStart;
  std::unique_ptr<TStart> FStart;
  uint64_t FLastId = 0;
  uint64_t FFiring = 0;                           // the timer whose function runs
  std::unordered_map<uint64_t, QTimer*> FTimers;  // owned
};

// The program's system clock.
TClock& SystemClock();
