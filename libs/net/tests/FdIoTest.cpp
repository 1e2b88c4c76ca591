#include "net/io/FdIo.h"

#include "CaptureLogger.h"
#include "NetLoop.h"

#include <gtest/gtest.h>

#include <fcntl.h>

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

} // namespace
