#include "FakeClock.h"

#include <QMetaObject>
#include <algorithm>

TFakeClock::TFakeClock(const QDateTime& start) : FStart(start) {}

void TFakeClock::Post(QObject* context, std::function<void()> f) {
  FPosted.push_back({0, FNow, context, std::move(f)});
  if (FDrainQueued) return;
  FDrainQueued = true;
  QMetaObject::invokeMethod(
      &FLoop,
      [this] {
        FDrainQueued = false;
        Settle();
      },
      Qt::QueuedConnection);
}

uint64_t TFakeClock::Schedule(int64_t ms, QObject* context, std::function<void()> f) {
  FTimers.push_back({++FLastId, FNow + std::max<int64_t>(ms, 0), context, std::move(f)});
  return FLastId;
}

void TFakeClock::Cancel(uint64_t id) {
  std::erase_if(FTimers, [id](const TEntry& entry) { return entry.Id == id; });
}

void TFakeClock::Settle() {
  while (!FPosted.empty()) {
    TEntry entry = std::move(FPosted.front());
    FPosted.pop_front();
    if (entry.Context) entry.F();
  }
}

void TFakeClock::Advance(int64_t ms) {
  const int64_t until = FNow + ms;
  Settle();
  for (;;) {
    // The earliest due, and of those the first set.
    const auto next =
        std::min_element(FTimers.begin(), FTimers.end(), [](const TEntry& a, const TEntry& b) {
          return a.Due < b.Due || (a.Due == b.Due && a.Id < b.Id);
        });
    if (next == FTimers.end() || next->Due > until) break;
    TEntry entry = std::move(*next);
    FTimers.erase(next);
    FNow = std::max(FNow, entry.Due);
    if (entry.Context) entry.F();
    Settle();
  }
  FNow = until;
  Settle();
}
