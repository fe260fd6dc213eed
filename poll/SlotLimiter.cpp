#include "SlotLimiter.h"

#include <algorithm>
#include <utility>

TSlotLimiter::TSlotLimiter(TClock& clock, int limit) : FClock(clock), FLimit(std::max(limit, 1)) {}

void TSlotLimiter::Acquire(TPoller& poller, std::function<void()> granted) {
  // A poller asks again only after it gave its slot back; should it not have, it keeps one.
  Release(poller);
  if (static_cast<int>(FHeld.size()) < FLimit && FWaiting.empty()) {
    FHeld.push_back({&poller, ++FLastGrant});
    granted();
    return;
  }
  FWaiting.push_back({&poller, std::move(granted)});
}

void TSlotLimiter::Release(TPoller& poller) {
  std::erase_if(FWaiting, [&poller](const TWaiter& waiter) { return waiter.Poller == &poller; });
  const auto held = std::find_if(FHeld.begin(), FHeld.end(), [&poller](const THolder& holder) {
    return holder.Poller == &poller;
  });
  if (held == FHeld.end()) return;
  FHeld.erase(held);
  GrantNext();
}

void TSlotLimiter::GrantNext() {
  while (static_cast<int>(FHeld.size()) < FLimit && !FWaiting.empty()) {
    TWaiter next = std::move(FWaiting.front());
    FWaiting.pop_front();
    const THolder holder{next.Poller, ++FLastGrant};
    FHeld.push_back(holder);
    // From the event loop: the slot frees inside the poller that gave it back. A poller that
    // gives it back before then does not start.
    FClock.Post(this, [this, holder, granted = std::move(next.Granted)] {
      const bool still = std::any_of(FHeld.begin(), FHeld.end(), [&holder](const THolder& h) {
        return h.Poller == holder.Poller && h.Grant == holder.Grant;
      });
      if (still) granted();
    });
  }
}
