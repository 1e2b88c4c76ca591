#include "plat/Time.h"

#include "plat/Clock.h"

#include <climits>
#include <sys/select.h>
#include <sys/time.h>

namespace plat {

namespace {

// Ticks between 1601-01-01 and 1970-01-01.
constexpr uint64_t unixEpochTicks = 116444736000000000ULL;

Clock* installedClock = nullptr;

} // namespace

Clock* Clock::install(Clock* clock) {
  Clock* old = installedClock;
  installedClock = clock;
  return old;
}

Clock* Clock::installed() {
  return installedClock;
}

uint64_t currentTime() {
  if (installedClock)
    return installedClock->now();
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  return ticksFromTimeval(tv.tv_sec, tv.tv_usec);
}

uint64_t ticksFromTimeval(int64_t seconds, int64_t microseconds) {
  return static_cast<uint64_t>(seconds) * 10000000ULL +
         static_cast<uint64_t>(microseconds) * 10ULL + unixEpochTicks;
}

uint64_t unixTimeToTicks(int64_t seconds) {
  return static_cast<uint64_t>(seconds) * 10000000ULL + unixEpochTicks;
}

int msDiff(uint64_t a, uint64_t b) {
  // The difference of two tick counts fits in 64 signed bits for any time
  // this side of the year 30000; the wrap-around subtraction gives it.
  int64_t ticks = static_cast<int64_t>(a - b);
  int64_t ms;
  if (ticks > INT64_MAX - 9999)
    ms = INT64_MAX / 10000;
  else
    ms = (ticks + 9999) / 10000;
  if (ms > INT_MAX)
    return INT_MAX;
  if (ms < INT_MIN)
    return INT_MIN;
  return static_cast<int>(ms);
}

uint64_t addMs(uint64_t time, int ms) {
  return time + static_cast<uint64_t>(static_cast<int64_t>(ms) * 10000);
}

void sleepMs(int ms) {
  // A negative time is no time: to select() it would mean no limit.
  struct timeval tv;
  select(0, nullptr, nullptr, nullptr, selectTimeout(ms < 0 ? 0 : ms, &tv));
}

namespace {

struct timeval* fillTimeval(int64_t ms, struct timeval* tv) {
  if (ms < 0)
    return nullptr;
  tv->tv_sec = static_cast<time_t>(ms / 1000);
  tv->tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
  return tv;
}

} // namespace

struct timeval* selectTimeout(int ms, struct timeval* tv) {
  return fillTimeval(ms, tv);
}

struct timeval* timerSelectTimeout(int ms, struct timeval* tv) {
  return fillTimeval(ms > 0 ? int64_t(ms) + 1 : ms, tv);
}

} // namespace plat
