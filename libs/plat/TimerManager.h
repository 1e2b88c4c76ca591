// Keeps the running timers of the process in due order and runs the due ones
// for the main loop. Managers nest like a stack: the newest one is current and
// new timers go into it. A manager does not own its timers; destroying it
// stops them.
#pragma once

#include "plat/Timer.h"

#include <cstdint>

namespace plat {

class TimerManager {
public:
  // Told when the earliest due time changes.
  class Callbacks {
  public:
    // ms until the earliest timer (at least 0), or -1 when none runs.
    virtual void timersChanged(TimerManager* manager, int ms) = 0;
    virtual ~Callbacks() = default;
  };

  // Becomes the current manager. callbacks (not owned) may be null.
  explicit TimerManager(Callbacks* callbacks = nullptr);
  virtual ~TimerManager();
  TimerManager(const TimerManager&) = delete;
  TimerManager& operator=(const TimerManager&) = delete;

  // The current manager; throws plat::Exception "no TimerManager" when none.
  static TimerManager* current();

  // Runs every due timer in due order. Answers -1 when no timer runs, the ms
  // until the earliest when none is due yet, and 0 after running timers, so
  // that the caller's loop comes round once more before it sleeps.
  int processTimers();
  // -1 when no timer runs, else the ms until the earliest (at least 0).
  int msUntilNext();
  bool isFirst(const Timer* timer) const;

private:
  friend class Timer;

  static TimerManager* currentOrNull();
  Timer* earliest() const;
  bool empty() const { return head_.prev == &head_; }
  void insertTimer(Timer* timer);
  static void unlink(Timer* timer);
  // Re-arms every timer at now + its period when the clock moved backwards
  // or jumped forwards; answers true then. now receives the time read.
  bool checkClock(uint64_t& now);
  void restartTimers(uint64_t now);
  void notifyCallbacks();

  // Sentinel of the circular list: prev leads to the earliest timer, next to
  // the latest.
  Timer::Link head_;
  TimerManager* previous_;
  Callbacks* callbacks_;
  uint64_t pass_ = 0;
};

} // namespace plat
