// The source of the current time that plat::currentTime reads. The system
// clock serves by default; a test installs its own clock to move time at will
// (timers, countdowns, age limits) without waiting. The installer owns the
// clock and must uninstall it before destroying it.
#pragma once

#include <cstdint>

namespace plat {

class Clock {
public:
  virtual ~Clock() = default;
  // The time in 100-ns ticks since 1601-01-01 00:00 UTC.
  virtual uint64_t now() = 0;

  // Makes clock the source of plat::currentTime; nullptr restores the system
  // clock. Returns the clock installed before.
  static Clock* install(Clock* clock);
  // The installed clock; nullptr while the system clock serves.
  static Clock* installed();
};

} // namespace plat
