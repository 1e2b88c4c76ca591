// A clock for tests: installed as the source of plat::currentTime for the
// life of the object, it stands still until the test moves it.
#pragma once

#include "plat/Clock.h"
#include "plat/Time.h"

#include <cstdint>

namespace testing_support {

class ManualClock : public plat::Clock {
public:
  // Starts at 2020-01-01 00:00 UTC unless told otherwise.
  explicit ManualClock(uint64_t start = plat::unixTimeToTicks(1577836800))
      : now_(start), previous_(plat::Clock::install(this)) {}
  ~ManualClock() override { plat::Clock::install(previous_); }
  ManualClock(const ManualClock&) = delete;
  ManualClock& operator=(const ManualClock&) = delete;

  uint64_t now() override { return now_; }
  void set(uint64_t ticks) { now_ = ticks; }
  // Moves the clock by ms milliseconds (negative: backwards).
  void advanceMs(int64_t ms) { now_ += static_cast<uint64_t>(ms * 10000); }

private:
  uint64_t now_;
  plat::Clock* previous_;
};

} // namespace testing_support
