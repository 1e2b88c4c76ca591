// The one time base of the programs: unsigned 64-bit counts of 100-ns ticks
// since 1601-01-01 00:00 UTC, with conversions and millisecond arithmetic.
#pragma once

#include <sys/time.h>

#include <cstdint>

namespace plat {

// The time now, from the installed plat::Clock or else from gettimeofday.
uint64_t currentTime();
// seconds x 10000000 + microseconds x 10 + 116444736000000000.
uint64_t ticksFromTimeval(int64_t seconds, int64_t microseconds);
// seconds x 10000000 + 116444736000000000.
uint64_t unixTimeToTicks(int64_t seconds);
// (a - b + 9999) / 10000, truncating toward zero and clamped to the signed
// 32-bit range: a positive difference is rounded up to whole milliseconds.
int msDiff(uint64_t a, uint64_t b);
// time + ms x 10000.
uint64_t addMs(uint64_t time, int ms);
// Waits ms milliseconds in select() on no descriptors; a negative ms
// returns at once.
void sleepMs(int ms);
// The time-out argument of select() for ms milliseconds, filled into tv;
// nullptr (no limit) for a negative ms.
struct timeval* selectTimeout(int ms, struct timeval* tv);
// The same for a wait until a timer that is due in ms milliseconds: one
// millisecond more for a positive ms, so that the timer is due by the time
// select() returns (counted in 64 bits: INT_MAX has its millisecond too).
struct timeval* timerSelectTimeout(int ms, struct timeval* tv);

} // namespace plat
