#include "net/io/FdIo.h"

#include "CaptureLogger.h"
#include "NetLoop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <future>

namespace {

TEST(FdIo, MakesItsDescriptorNonBlockingAndCloseOnExec) {
  testing_support::SocketPair sp;
  int fd = sp.take(0);
  io::FdIo* io = new io::FdIo(fd, true);
  EXPECT_TRUE(fcntl(fd, F_GETFL) & O_NONBLOCK);
  EXPECT_TRUE(fcntl(fd, F_GETFD) & FD_CLOEXEC);
  EXPECT_STREQ(io->getName(), std::to_string(fd).c_str());
  EXPECT_EQ(io->getPeerName(), nullptr);
  EXPECT_EQ(io->connectError(), 0);
  io->shutdown(false, false);
  EXPECT_EQ(fcntl(fd, F_GETFD), -1) << "an unserved channel goes at once";
}

TEST(FdIo, UnservedShutdownWritesOutAndIgnoresFailures) {
  testing_support::SocketPair ok, broken;
  io::FdIo* io = new io::FdIo(ok.take(0), true);
  io->getOutStream()->writeBytes("bye", 3);
  io->shutdown(true, true);
  EXPECT_EQ(testing_support::readNow(ok.fds[1]), "bye");
  close(broken.fds[1]);
  broken.fds[1] = -1;
  io = new io::FdIo(broken.take(0), true);
  io->getOutStream()->writeBytes("lost", 4);
  io->shutdown(true, true); // EPIPE is ignored
}

TEST(FdIo, ExceptionFromClosedIsLogged) {
  class ThrowingClose : public io::IoHandler {
    void readable(io::Io*) override {}
    void closed(io::Io*) override { throw plat::Exception("closed failed on purpose"); }
  } handler;
  testing_support::ScopedCapture capture("FdManager", 0);
  testing_support::Loop loop;
  testing_support::SocketPair sp;
  io::FdIo* io = new io::FdIo(sp.take(0), true);
  io->setHandler(&handler, true);
  io->shutdown(false, true);
  loop.pass();
  EXPECT_FALSE(loop.mgr.isServed(io));
  EXPECT_TRUE(capture.logger.contains("closed failed on purpose"));
}

// Closing an unserved channel at once must not wait for a peer that reads
// nothing: what does not go without waiting is dropped.
TEST(FdIo, UnservedShutdownWithoutFlushDoesNotWaitForThePeer) {
  testing_support::SocketPair sp;
  io::FdIo* io = new io::FdIo(sp.take(0), true);
  const std::string megabyte(1 << 20, 'm');
  io->getOutStream()->writeBytes(megabyte.data(), static_cast<int>(megabyte.size()));
  ASSERT_GT(io->getOutStream()->unsentBytes(), 0) << "the peer's buffer holds less";
  auto done = std::async(std::launch::async, [io] { io->shutdown(false, false); });
  if (done.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    close(sp.take(1)); // let the stuck write-out fail so the test can end
    done.wait();
    FAIL() << "shutdown without flush waited for the peer";
  }
  std::string got = testing_support::readNow(sp.fds[1]);
  EXPECT_LT(got.size(), megabyte.size());
  char c;
  EXPECT_EQ(recv(sp.fds[1], &c, 1, MSG_DONTWAIT), 0) << "the channel is closed";
}

} // namespace
