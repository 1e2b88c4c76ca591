#include "plat/TimerManager.h"

#include "plat/Exception.h"
#include "plat/Time.h"
#include "plat/Timer.h"

#include "CaptureLogger.h"
#include "ManualClock.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using testing_support::ManualClock;
using testing_support::ScopedCapture;

namespace {

// A timer callback that records each firing and answers what the test asks.
struct Recorder : plat::Timer::Callback {
  Recorder(std::vector<std::string>* log, const char* name) : log(log), name(name) {}
  bool timerCallback(plat::Timer*) override {
    log->push_back(name);
    if (action)
      return action();
    return again;
  }
  std::vector<std::string>* log;
  std::string name;
  bool again = true;
  std::function<bool()> action;
};

struct ChangeRecorder : plat::TimerManager::Callbacks {
  void timersChanged(plat::TimerManager*, int ms) override { calls.push_back(ms); }
  std::vector<int> calls;
};

class TimerManagerTest : public ::testing::Test {
protected:
  ManualClock clock;
  ChangeRecorder changes;
  plat::TimerManager manager{&changes};
  std::vector<std::string> fired;
};

TEST_F(TimerManagerTest, ProcessTimersAnswersMinusOneWaitOrZeroAfterRunning) {
  EXPECT_EQ(manager.processTimers(), -1);
  EXPECT_EQ(manager.msUntilNext(), -1);
  Recorder r(&fired, "a");
  plat::Timer t(&r);
  t.start(500);
  EXPECT_EQ(manager.processTimers(), 500);
  clock.advanceMs(200);
  EXPECT_EQ(manager.processTimers(), 300);
  EXPECT_TRUE(fired.empty());
  clock.advanceMs(300);
  EXPECT_EQ(manager.processTimers(), 0);
  EXPECT_EQ(fired.size(), 1u);
  EXPECT_EQ(manager.msUntilNext(), 500);
}

TEST_F(TimerManagerTest, EqualDueTimesFireInStartOrder) {
  Recorder a(&fired, "a"), b(&fired, "b"), c(&fired, "c"), d(&fired, "d");
  plat::Timer ta(&a), tb(&b), tc(&c), td(&d);
  tc.start(100);
  ta.start(50);
  tb.start(100);
  td.start(100);
  clock.advanceMs(100);
  EXPECT_EQ(manager.processTimers(), 0);
  EXPECT_EQ(fired, (std::vector<std::string>{"a", "c", "b", "d"}));
}

TEST_F(TimerManagerTest, RepeatingTimerIsReArmedFromItsDueTime) {
  Recorder r(&fired, "a");
  plat::Timer t(&r);
  t.start(1000);
  uint64_t firstDue = t.getDueTime();
  clock.advanceMs(1300); // late by 300 ms, but less than a period
  EXPECT_EQ(manager.processTimers(), 0);
  EXPECT_EQ(t.getDueTime(), plat::addMs(firstDue, 1000));
  EXPECT_EQ(manager.msUntilNext(), 700);
}

TEST_F(TimerManagerTest, LateTimerIsReArmedAtNowPlusPeriodNotCaughtUp) {
  Recorder r(&fired, "a");
  r.action = [&] {
    clock.advanceMs(3500); // the callback blocks for 3.5 s
    return true;
  };
  plat::Timer t(&r);
  t.start(1000);
  clock.advanceMs(1000);
  EXPECT_EQ(manager.processTimers(), 0);
  EXPECT_EQ(fired.size(), 1u);
  EXPECT_EQ(t.getDueTime(), plat::addMs(clock.now(), 1000));
  r.action = nullptr;
  EXPECT_EQ(manager.processTimers(), 1000);
  EXPECT_EQ(fired.size(), 1u);
}

TEST_F(TimerManagerTest, CallbackAnsweringFalseLeavesTheTimerStopped) {
  Recorder r(&fired, "a");
  r.again = false;
  plat::Timer t(&r);
  t.start(10);
  clock.advanceMs(10);
  EXPECT_EQ(manager.processTimers(), 0);
  EXPECT_FALSE(t.isStarted());
  EXPECT_EQ(manager.processTimers(), -1);
  EXPECT_EQ(changes.calls.back(), -1);
}

TEST_F(TimerManagerTest, CallbackRestartingItsOwnTimerKeepsTheNewPeriod) {
  Recorder r(&fired, "a");
  plat::Timer t(&r);
  r.action = [&] {
    t.start(250);
    return true;
  };
  t.start(1000);
  clock.advanceMs(1000);
  EXPECT_EQ(manager.processTimers(), 0);
  EXPECT_TRUE(t.isStarted());
  EXPECT_EQ(t.getTimeoutMs(), 250);
  EXPECT_EQ(t.getDueTime(), plat::addMs(clock.now(), 250));
  EXPECT_EQ(manager.msUntilNext(), 250);
}

TEST_F(TimerManagerTest, ZeroPeriodTimerFiresOncePerCall) {
  Recorder r(&fired, "zero");
  plat::Timer t(&r);
  t.start(0);
  EXPECT_EQ(manager.processTimers(), 0);
  EXPECT_EQ(manager.processTimers(), 0);
  EXPECT_EQ(fired.size(), 2u);
  EXPECT_EQ(manager.msUntilNext(), 0);
}

TEST_F(TimerManagerTest, ClockMovingBackwardsRestartsTimers) {
  ScopedCapture log("TimerManager", 30);
  Recorder a(&fired, "a"), b(&fired, "b");
  plat::Timer ta(&a), tb(&b);
  ta.start(1000);
  tb.start(5000);
  clock.advanceMs(-3600 * 1000);
  EXPECT_EQ(manager.msUntilNext(), 1000);
  EXPECT_TRUE(log.logger.contains("Time has moved backwards - restarting timers"));
  EXPECT_EQ(tb.getDueTime(), plat::addMs(clock.now(), 5000));
  EXPECT_TRUE(fired.empty());
}

TEST_F(TimerManagerTest, SmallBackwardStepWithinPeriodPlus100IsTolerated) {
  ScopedCapture log("TimerManager", 30);
  Recorder a(&fired, "a");
  plat::Timer ta(&a);
  ta.start(1000);
  uint64_t due = ta.getDueTime();
  clock.advanceMs(-100);
  EXPECT_EQ(manager.msUntilNext(), 1100);
  EXPECT_EQ(ta.getDueTime(), due);
  clock.advanceMs(-1);
  EXPECT_EQ(manager.msUntilNext(), 1000);
  EXPECT_TRUE(log.logger.contains("moved backwards"));
}

TEST_F(TimerManagerTest, ForwardJumpBeyond240SecondsRestartsInsteadOfFiring) {
  ScopedCapture log("TimerManager", 30);
  Recorder a(&fired, "a"), b(&fired, "b");
  plat::Timer ta(&a), tb(&b);
  ta.start(1000);
  tb.start(2000);
  // -240001 ms rounds toward zero to -240000, still tolerated; one more
  // millisecond is a jump.
  clock.advanceMs(1000 + 240002);
  EXPECT_EQ(manager.processTimers(), 1000);
  EXPECT_TRUE(fired.empty());
  EXPECT_TRUE(log.logger.contains("Time has jumped forwards - restarting timers"));
  // Both re-armed from the new time, in the order of their periods.
  EXPECT_TRUE(manager.isFirst(&ta));
  EXPECT_EQ(tb.getDueTime(), plat::addMs(clock.now(), 2000));
}

TEST_F(TimerManagerTest, ForwardStepUpTo240SecondsFiresOnce) {
  Recorder a(&fired, "a");
  plat::Timer ta(&a);
  ta.start(1000);
  clock.advanceMs(1000 + 240000);
  EXPECT_EQ(manager.processTimers(), 0);
  EXPECT_EQ(fired.size(), 1u);
  EXPECT_EQ(ta.getDueTime(), plat::addMs(clock.now(), 1000));
}

TEST_F(TimerManagerTest, CallbacksHearWhenTheEarliestTimerChanges) {
  Recorder a(&fired, "a"), b(&fired, "b");
  plat::Timer ta(&a), tb(&b);
  ta.start(300);
  EXPECT_EQ(changes.calls, (std::vector<int>{300}));
  tb.start(500); // not the earliest: nothing told
  EXPECT_EQ(changes.calls.size(), 1u);
  tb.stop(); // not the earliest either
  EXPECT_EQ(changes.calls.size(), 1u);
  tb.start(100);
  EXPECT_EQ(changes.calls.back(), 100);
  tb.stop();
  EXPECT_EQ(changes.calls.back(), 300);
  ta.stop();
  EXPECT_EQ(changes.calls.back(), -1);
  ta.stop(); // stopping a stopped timer is harmless and silent
  EXPECT_EQ(changes.calls.size(), 4u);
}

TEST_F(TimerManagerTest, DestroyingARunningTimerTakesItOut) {
  Recorder a(&fired, "a");
  {
    plat::Timer ta(&a);
    ta.start(10);
  }
  clock.advanceMs(20);
  EXPECT_EQ(manager.processTimers(), -1);
  EXPECT_TRUE(fired.empty());
}

TEST_F(TimerManagerTest, CallbackMayDeleteItsOwnTimer) {
  Recorder r(&fired, "a");
  auto t = std::make_unique<plat::Timer>(&r);
  r.action = [&] {
    t.reset();
    return false;
  };
  t->start(5);
  clock.advanceMs(5);
  EXPECT_EQ(manager.processTimers(), 0);
  EXPECT_EQ(t, nullptr);
}

TEST(TimerManagerStack, StartWithoutManagerThrows) {
  std::vector<std::string> fired;
  Recorder r(&fired, "a");
  plat::Timer t(&r);
  try {
    t.start(10);
    FAIL() << "no exception";
  } catch (const plat::Exception& e) {
    EXPECT_STREQ(e.str(), "no TimerManager");
  }
  EXPECT_THROW(plat::TimerManager::current(), plat::Exception);
}

TEST(TimerManagerStack, ManagersNestAndOutOfOrderDestructionIsTolerated) {
  ScopedCapture log("TimerManager", 0);
  auto outer = std::make_unique<plat::TimerManager>();
  {
    plat::TimerManager inner;
    EXPECT_EQ(plat::TimerManager::current(), &inner);
  }
  EXPECT_EQ(plat::TimerManager::current(), outer.get());

  auto a = std::make_unique<plat::TimerManager>();
  auto b = std::make_unique<plat::TimerManager>();
  a.reset(); // out of sequence
  EXPECT_TRUE(log.logger.contains("out-of-sequence dtor"));
  EXPECT_EQ(plat::TimerManager::current(), b.get());
  b.reset(); // must not make the destroyed manager current again
  EXPECT_EQ(plat::TimerManager::current(), outer.get());
  outer.reset();
  EXPECT_THROW(plat::TimerManager::current(), plat::Exception);
}

TEST(TimerManagerStack, DestroyingAManagerStopsItsTimers) {
  ManualClock clock;
  std::vector<std::string> fired;
  Recorder r(&fired, "a");
  plat::Timer t(&r);
  {
    plat::TimerManager m;
    t.start(10);
    EXPECT_TRUE(t.isStarted());
  }
  EXPECT_FALSE(t.isStarted());
}

} // namespace
