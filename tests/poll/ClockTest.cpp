#include <gtest/gtest.h>

#include <QObject>
#include <QTest>
#include <memory>

#include "Clock.h"

// The system clock's timers, as the program runs them: each fires once from the event loop,
// unless stopped or its context is gone, and a timer may set itself again from its own function.
namespace {

TEST(SystemClock, TimersFireOnceUnlessStoppedOrTheirContextIsGone) {
  TClock& clock = SystemClock();
  QObject context;
  int posted = 0, fired = 0, stopped = 0, orphaned = 0, again = 0;
  clock.Post(&context, [&] { ++posted; });
  EXPECT_EQ(posted, 0);  // not before the event loop comes round

  TTimer once(clock, &context);
  once.Start(1, [&] { ++fired; });
  TTimer cancelled(clock, &context);
  cancelled.Start(1, [&] { ++stopped; });
  cancelled.Stop();
  auto gone = std::make_unique<QObject>();
  clock.Schedule(1, gone.get(), [&] { ++orphaned; });
  gone.reset();
  TTimer repeating(clock, &context);
  std::function<void()> tick = [&] {
    if (++again < 3) repeating.Start(1, tick);
  };
  repeating.Start(1, tick);

  EXPECT_TRUE(QTest::qWaitFor([&] { return again == 3 && fired == 1; }, 5000));
  QTest::qWait(20);
  EXPECT_EQ(posted, 1);
  EXPECT_EQ(fired, 1);
  EXPECT_FALSE(once.Active());
  EXPECT_EQ(stopped, 0);
  EXPECT_EQ(orphaned, 0);
  EXPECT_EQ(again, 3);
  EXPECT_LE(clock.Now().secsTo(QDateTime::currentDateTimeUtc()), 1);
}

}  // namespace
