#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "Clock.h"

// A clock that stands still until the test moves it: deadlines, retries, follow-up readings and
// poll ticks come when Advance reaches them, and nothing waits. What is posted runs from the
// event loop as with the system clock, and at once in Settle and Advance.
class TFakeClock : public TClock {
 public:
  // The wall time at the start; its milliseconds count on from a million.
  explicit TFakeClock(const QDateTime& start = QDateTime(QDate(2026, 12, 7), QTime(8, 30, 0),
                                                         Qt::UTC));

  int64_t Milliseconds() const override { return FNow; }
  QDateTime Now() const override { return FStart.addMSecs(FNow - kStartMs); }
  void Post(QObject* context, std::function<void()> f) override;
  uint64_t Schedule(int64_t ms, QObject* context, std::function<void()> f) override;
  void Cancel(uint64_t id) override;

  // From now on the wall time counts on from moment.
  void SetNow(const QDateTime& moment) { FStart = moment.addMSecs(kStartMs - FNow); }
  // Runs what is posted, and what that posts, until nothing is left.
  void Settle();
  // Moves the time on by ms, firing each timer at its moment, in order, and settling after each.
  void Advance(int64_t ms);
  // Timers set and not yet fired.
  size_t Pending() const { return FTimers.size(); }

  static constexpr int64_t kStartMs = 1000000;

 private:
  struct TEntry {
    uint64_t Id = 0;
    int64_t Due = 0;
    QPointer<QObject> Context;
    std::function<void()> F;
  };
  QDateTime FStart;
  int64_t FNow = kStartMs;
  uint64_t FLastId = 0;
  std::deque<TEntry> FPosted;
  std::vector<TEntry> FTimers;
  QObject FLoop;  // runs the posted work from the event loop
  bool FDrainQueued = false;
};
