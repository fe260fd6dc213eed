#pragma once

#include <QObject>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "Clock.h"
#include "Poller.h"

// Grants at most Limit pollers a slot at once, so that many hosts never poll all at the same
// moment; the others wait their turn in the order they asked, and one that stops waiting leaves
// the queue. A slot that frees goes to the next in line from the event loop.
class TSlotLimiter final : public QObject, public TPollSlots {
 public:
  static constexpr int kDefaultLimit = 32;

  explicit TSlotLimiter(TClock& clock, int limit = kDefaultLimit);

  void Acquire(TPoller& poller, std::function<void()> granted) override;
  void Release(TPoller& poller) override;

  int Limit() const { return FLimit; }
  // Pollers granted a slot, and those waiting for one.
  int Held() const { return static_cast<int>(FHeld.size()); }
  int Waiting() const { return static_cast<int>(FWaiting.size()); }

 private:
  struct TWaiter {
    TPoller* Poller;
    std::function<void()> Granted;
  };
  struct THolder {
    TPoller* Poller;
    uint64_t Grant;  // tells a later grant of the same poller from this one
  };
  void GrantNext();

  TClock& FClock;
  int FLimit;
  uint64_t FLastGrant = 0;
  std::vector<THolder> FHeld;
  std::deque<TWaiter> FWaiting;
};
