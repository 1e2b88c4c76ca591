// A timer with a period in milliseconds, run by the current plat::TimerManager
// from the main loop. The timer's owner keeps it and its callback alive while
// it runs; destroying a running timer stops it.
#pragma once

#include <cstdint>

namespace plat {

class TimerManager;

class Timer {
public:
  // What a timer tells when it falls due.
  class Callback {
  public:
    virtual ~Callback() = default;
    // The timer fired; true asks for it to be re-armed by its period.
    virtual bool timerCallback(Timer* timer) = 0;
  };

  explicit Timer(Callback* callback);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  // (Re)arms the timer at now + ms in the current manager; throws
  // plat::Exception "no TimerManager" when there is none.
  void start(int ms);
  // Takes a running timer out; no effect on a stopped one.
  void stop();
  bool isStarted() const { return link_.prev != nullptr; }
  // The period given to the last start.
  int getTimeoutMs() const { return period_; }
  // The due time in ticks (meaningful while running).
  uint64_t getDueTime() const { return due_; }

private:
  friend class TimerManager;

  // The links of the manager's circular list; both null while stopped.
  struct Link {
    Link* prev = nullptr;
    Link* next = nullptr;
    Timer* timer = nullptr; // null for the manager's sentinel
  };

  uint64_t due_ = 0;
  int period_ = 0;
  Callback* callback_;
  Link link_;
  // The processTimers pass in which the timer last fired.
  uint64_t firedInPass_ = 0;
};

} // namespace plat
