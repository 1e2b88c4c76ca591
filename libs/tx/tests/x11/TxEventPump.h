// Serves a display's X events and a timer manager's timers the way the main
// loop does, for tests that wait on windows: once, until a condition holds,
// or for a while. The display is the test's; the pump does not close it.
#pragma once

#include "tx/TXWindow.h"

#include "plat/TimerManager.h"

#include <poll.h>

#include <chrono>
#include <functional>

namespace testing_support {

struct TxEventPump {
  // Serves X events and timers once, waiting at most ms for something.
  void pumpOnce(int ms) {
    XFlush(dpy);
    TXWindow::handleXEvents(dpy);
    int next = timers.processTimers();
    if (next >= 0 && next < ms)
      ms = next;
    if (XPending(dpy) == 0) {
      pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
      poll(&p, 1, ms);
    }
    TXWindow::handleXEvents(dpy);
  }
  // Serves events and timers until cond holds (true) or timeoutMs passed.
  bool pumpUntil(const std::function<bool()>& cond, int timeoutMs = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!cond()) {
      if (std::chrono::steady_clock::now() > end)
        return false;
      pumpOnce(10);
    }
    return true;
  }
  // Serves events and timers for ms.
  void pumpFor(int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end)
      pumpOnce(5);
  }

  Display* dpy = nullptr;
  plat::TimerManager timers;
};

} // namespace testing_support
