#include "plat/unix/EndSignal.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

namespace {

void endHandler(int) {
  os::EndSignal::raise();
}

bool readable(int fd) {
  pollfd p = {fd, POLLIN, 0};
  return poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

} // namespace

TEST(EndSignal, WithoutAPipeNobodyHears) {
  EXPECT_EQ(os::EndSignal::fd(), -1);
  EXPECT_FALSE(os::EndSignal::raise());
  EXPECT_FALSE(os::EndSignal::raised());
  EXPECT_NO_THROW(os::EndSignal::check());
}

// A real signal whose handler makes the request: every later wait sees it,
// as the byte stays in the pipe; the pipe goes with its scope.
TEST(EndSignal, ASignalIsSeenByEveryWaitAfterIt) {
  struct sigaction action = {}, previous = {};
  action.sa_handler = endHandler;
  sigaction(SIGUSR1, &action, &previous);
  int fd;
  {
    os::EndSignal::Scope scope;
    fd = os::EndSignal::fd();
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(os::EndSignal::raised());
    EXPECT_FALSE(readable(fd));
    EXPECT_NO_THROW(os::EndSignal::check());

    kill(getpid(), SIGUSR1);
    for (int i = 0; i < 3; i++) {
      EXPECT_TRUE(readable(fd));
      EXPECT_TRUE(os::EndSignal::raised());
      EXPECT_THROW(os::EndSignal::check(), os::EndSignal::Ended);
    }
  }
  sigaction(SIGUSR1, &previous, nullptr);
  EXPECT_EQ(os::EndSignal::fd(), -1);
  EXPECT_FALSE(os::EndSignal::raised());
  EXPECT_EQ(fcntl(fd, F_GETFD), -1) << "closed";
}
