#include "plat/Timer.h"

#include "plat/Time.h"
#include "plat/TimerManager.h"

namespace plat {

Timer::Timer(Callback* callback) : callback_(callback) {
  link_.timer = this;
}

Timer::~Timer() {
  stop();
}

void Timer::start(int ms) {
  stop();
  period_ = ms;
  TimerManager* manager = TimerManager::current();
  uint64_t now;
  manager->checkClock(now);
  due_ = addMs(now, ms);
  manager->insertTimer(this);
  if (manager->isFirst(this))
    manager->notifyCallbacks();
}

void Timer::stop() {
  if (!isStarted())
    return;
  TimerManager* manager = TimerManager::currentOrNull();
  bool wasFirst = manager && manager->isFirst(this);
  TimerManager::unlink(this);
  if (wasFirst)
    manager->notifyCallbacks();
}

} // namespace plat
