// A pipe for the descriptor stream tests, closed at the end of the test, and
// a helper that interrupts a thread with a signal whose handler does not
// restart system calls.
#pragma once

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace testing_support {

struct Pipe {
  int r = -1, w = -1;
  Pipe() {
    int fds[2];
    if (pipe(fds) == 0) {
      r = fds[0];
      w = fds[1];
    }
  }
  ~Pipe() {
    closeRead();
    closeWrite();
  }
  void closeRead() {
    if (r >= 0)
      close(r);
    r = -1;
  }
  void closeWrite() {
    if (w >= 0)
      close(w);
    w = -1;
  }
  static void nonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }
};

// Installs a SIGUSR1 handler without SA_RESTART for the life of the object.
class InterruptingSignal {
public:
  InterruptingSignal() {
    struct sigaction sa = {};
    sa.sa_handler = [](int) { count++; };
    sigemptyset(&sa.sa_mask);
    sigaction(SIGUSR1, &sa, &old_);
    count = 0;
  }
  ~InterruptingSignal() { sigaction(SIGUSR1, &old_, nullptr); }
  static inline std::atomic<int> count{0};

private:
  struct sigaction old_;
};

} // namespace testing_support
