#include "plat/Time.h"

#include "ManualClock.h"

#include <gtest/gtest.h>

#include <climits>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(Time, MsDiffRoundsPositiveDifferencesUpAndClamps) {
  const uint64_t base = plat::unixTimeToTicks(1600000000);
  struct Case {
    int64_t ticks;
    int ms;
  } cases[] = {
      {0, 0},
      {1, 1},
      {9999, 1},
      {10000, 1},
      {10001, 2},
      {-1, 0},
      {-10000, 0}, // truncation toward zero
      {-10001, 0},
      {-19999, -1},
      {-20000, -1},
      {2147483647LL * 10000, INT_MAX},
      {2147483648LL * 10000, INT_MAX},
      {-2147483649LL * 10000, INT_MIN},
      {INT64_MAX, INT_MAX},
  };
  for (const Case& c : cases)
    EXPECT_EQ(plat::msDiff(base + static_cast<uint64_t>(c.ticks), base), c.ms) << c.ticks;
}

TEST(Time, SelectTimeoutSplitsMillisecondsAndNegativeMeansNoLimit) {
  struct timeval tv;
  EXPECT_EQ(plat::selectTimeout(-1, &tv), nullptr);
  ASSERT_EQ(plat::selectTimeout(0, &tv), &tv);
  EXPECT_EQ(tv.tv_sec, 0);
  EXPECT_EQ(tv.tv_usec, 0);
  plat::selectTimeout(2345, &tv);
  EXPECT_EQ(tv.tv_sec, 2);
  EXPECT_EQ(tv.tv_usec, 345000);
  plat::selectTimeout(INT_MAX, &tv);
  EXPECT_EQ(tv.tv_sec, 2147483);
  EXPECT_EQ(tv.tv_usec, 647000);
}

// A wait for a timer lasts one millisecond more than the timer's time, up
// to the largest time a timer holds.
TEST(Time, TimerSelectTimeoutAddsAMillisecondEvenToTheLargestTime) {
  struct Case {
    int ms;
    long sec, usec;
  } cases[] = {{0, 0, 0}, {1, 0, 2000}, {999, 1, 0}, {2345, 2, 346000}, {INT_MAX, 2147483, 648000}};
  struct timeval tv;
  EXPECT_EQ(plat::timerSelectTimeout(-1, &tv), nullptr);
  for (const Case& c : cases) {
    ASSERT_EQ(plat::timerSelectTimeout(c.ms, &tv), &tv) << c.ms;
    EXPECT_EQ(tv.tv_sec, c.sec) << c.ms;
    EXPECT_EQ(tv.tv_usec, c.usec) << c.ms;
  }
}

TEST(Time, ConversionsCountFrom1601) {
  EXPECT_EQ(plat::unixTimeToTicks(0), 116444736000000000ULL);
  EXPECT_EQ(plat::unixTimeToTicks(1), 116444736010000000ULL);
  EXPECT_EQ(plat::ticksFromTimeval(0, 0), 116444736000000000ULL);
  EXPECT_EQ(plat::ticksFromTimeval(2, 5), 116444736000000000ULL + 20000000ULL + 50ULL);
  EXPECT_EQ(plat::addMs(1000, 3), 31000u);
  EXPECT_EQ(plat::addMs(100000, -5), 50000u);
}

TEST(Time, CurrentTimeFollowsTheSystemClockUnlessAClockIsInstalled) {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  uint64_t before = plat::ticksFromTimeval(tv.tv_sec, tv.tv_usec);
  uint64_t now = plat::currentTime();
  EXPECT_GE(now, before);
  EXPECT_LT(now - before, 600000000ULL); // within a minute
  {
    testing_support::ManualClock clock(12345);
    EXPECT_EQ(plat::currentTime(), 12345u);
    clock.advanceMs(2);
    EXPECT_EQ(plat::currentTime(), 32345u);
  }
  EXPECT_GE(plat::currentTime(), before);
}

} // namespace

// A negative time does not wait: select() would take it as no limit at all.
// Each call runs in a child that an alarm ends should it block.
TEST(Time, SleepMsReturnsAtOnceForNoTimeOrANegativeOne) {
  for (int ms : {0, -1, INT_MIN}) {
    SCOPED_TRACE(ms);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      alarm(10);
      plat::sleepMs(ms);
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  }
}
