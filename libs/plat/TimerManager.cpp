#include "plat/TimerManager.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/Time.h"

#include <cstdint>

namespace plat {

static LogWriter vlog("TimerManager");

namespace {

TimerManager* currentManager = nullptr;

} // namespace

TimerManager::TimerManager(Callbacks* callbacks)
    : previous_(currentManager), callbacks_(callbacks) {
  head_.prev = head_.next = &head_;
  currentManager = this;
}

TimerManager::~TimerManager() {
  while (!empty())
    unlink(earliest());
  if (currentManager == this) {
    currentManager = previous_;
    return;
  }
  vlog.error("out-of-sequence dtor");
  // Take this manager out of the stack so that the one above it does not
  // hand back a destroyed manager as current when it goes.
  for (TimerManager* m = currentManager; m; m = m->previous_) {
    if (m->previous_ == this) {
      m->previous_ = previous_;
      break;
    }
  }
}

TimerManager* TimerManager::currentOrNull() {
  return currentManager;
}

TimerManager* TimerManager::current() {
  if (!currentManager)
    throw Exception("no TimerManager");
  return currentManager;
}

Timer* TimerManager::earliest() const {
  return empty() ? nullptr : head_.prev->timer;
}

bool TimerManager::isFirst(const Timer* timer) const {
  return !empty() && head_.prev->timer == timer;
}

void TimerManager::insertTimer(Timer* timer) {
  // From the latest towards the earliest: the new timer goes in after every
  // timer due at the same time, so equal due times fire in start order.
  Timer::Link* later = &head_;
  Timer::Link* l = head_.next;
  while (l != &head_ && l->timer->due_ > timer->due_) {
    later = l;
    l = l->next;
  }
  timer->link_.prev = later;
  timer->link_.next = l;
  later->next = &timer->link_;
  l->prev = &timer->link_;
}

void TimerManager::unlink(Timer* timer) {
  Timer::Link& link = timer->link_;
  link.prev->next = link.next;
  link.next->prev = link.prev;
  link.prev = link.next = nullptr;
}

bool TimerManager::checkClock(uint64_t& now) {
  now = currentTime();
  if (empty())
    return false;
  Timer* first = earliest();
  int64_t d = msDiff(first->due_, now);
  if (d > static_cast<int64_t>(first->period_) + 100) {
    vlog.status("Time has moved backwards - restarting timers");
    restartTimers(now);
    return true;
  }
  if (d < -240000) {
    vlog.status("Time has jumped forwards - restarting timers");
    restartTimers(now);
    return true;
  }
  return false;
}

void TimerManager::restartTimers(uint64_t now) {
  Timer::Link* l = head_.prev;
  head_.prev = head_.next = &head_;
  while (l != &head_) {
    Timer::Link* nextEarliest = l->prev;
    Timer* timer = l->timer;
    timer->due_ = addMs(now, timer->period_);
    insertTimer(timer);
    l = nextEarliest;
  }
}

int TimerManager::msUntilNext() {
  if (empty())
    return -1;
  uint64_t now;
  checkClock(now);
  int ms = msDiff(earliest()->due_, now);
  return ms < 0 ? 0 : ms;
}

int TimerManager::processTimers() {
  if (empty())
    return -1;
  uint64_t now;
  checkClock(now);
  if (earliest()->due_ > now)
    return msUntilNext();

  // Each timer fires at most once per call, so a timer re-armed with period
  // 0 cannot keep this loop from returning.
  uint64_t pass = ++pass_;
  while (!empty()) {
    Timer* timer = earliest();
    if (timer->due_ > now || timer->firedInPass_ == pass)
      break;
    unlink(timer);
    timer->firedInPass_ = pass;
    if (!timer->callback_->timerCallback(timer))
      continue;
    if (timer->isStarted())
      continue; // the callback restarted it itself
    uint64_t newNow;
    if (checkClock(newNow)) {
      timer->due_ = addMs(newNow, timer->period_);
    } else {
      timer->due_ = addMs(timer->due_, timer->period_);
      if (timer->due_ <= newNow)
        timer->due_ = addMs(newNow, timer->period_);
    }
    insertTimer(timer);
  }
  notifyCallbacks();
  return 0;
}

void TimerManager::notifyCallbacks() {
  if (!callbacks_)
    return;
  int ms = -1;
  if (!empty()) {
    ms = msDiff(earliest()->due_, currentTime());
    if (ms < 0)
      ms = 0;
  }
  callbacks_->timersChanged(this, ms);
}

} // namespace plat
