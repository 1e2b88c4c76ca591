// The privileged launcher's build of the descriptor classes: failures that
// the other build ignores or logs pass on to the caller.
#include "net/io/FdAddressChanged.h"
#include "net/io/FdIo.h"
#include "net/io/FdListener.h"
#include "net/io/FdManager.h"
#include "net/io/IoAcceptor.h"
#include "net/io/IoHandler.h"
#include "plat/TimerManager.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

class ThrowingClose : public io::IoHandler {
public:
  void readable(io::Io*) override {}
  void closed(io::Io*) override { throw plat::Exception("closed failed on purpose"); }
};

class InterestLog : public io::FdManager::Observer {
public:
  void ioInterest(io::FdIo*, bool r, bool w) override { ios.emplace_back(r, w); }
  void listenerInterest(io::FdListener*, bool registered, bool addressChange) override {
    listeners.emplace_back(registered, addressChange);
  }
  std::vector<std::pair<bool, bool>> ios, listeners;
};

TEST(FdManagerLauncher, FailedWriteOutOfAnUnservedChannelPassesOn) {
  int sv[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
  close(sv[1]);
  io::FdIo* io = new io::FdIo(sv[0], true);
  io->getOutStream()->writeU32(1);
  EXPECT_THROW(io->shutdown(true, true), plat::SystemException);
  EXPECT_EQ(fcntl(sv[0], F_GETFD), -1) << "the channel is deleted all the same";
}

TEST(FdManagerLauncher, ExceptionFromClosedPassesOnAndTheChannelGoes) {
  plat::TimerManager timers;
  InterestLog observer;
  io::FdManager mgr(&observer);
  int sv[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
  ThrowingClose handler;
  io::FdIo* io = new io::FdIo(sv[0], true);
  io->setHandler(&handler, true);
  ASSERT_EQ(observer.ios.size(), 1u);
  EXPECT_EQ(observer.ios[0], std::make_pair(true, true));
  io->shutdown(false, true);
  EXPECT_THROW(mgr.processPending(), plat::Exception);
  EXPECT_FALSE(mgr.isServed(io));
  EXPECT_EQ(fcntl(sv[0], F_GETFD), -1);
  EXPECT_EQ(observer.ios.back(), std::make_pair(false, false));
  close(sv[1]);
}

TEST(FdManagerLauncher, ObserverHearsAddressChangeInterest) {
  class Idle : public io::FdListener {
  public:
    explicit Idle(int fd) : io::FdListener(fd) {}
    io::FdIo* accept() override { return nullptr; }
  };
  class Acceptor : public io::IoAcceptor {
    void accepted(io::Io* io, bool) override { delete io; }
  } acceptor;
  class Changed : public io::FdAddressChanged {
    void addressChanged(io::FdListener*) override {}
  } changed;
  plat::TimerManager timers;
  InterestLog observer;
  io::FdManager mgr(&observer);
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  {
    Idle listener(fd);
    listener.setAcceptor(&acceptor);
    EXPECT_TRUE(listener.setAddressChanged(&changed));
    mgr.processPending();
  }
  EXPECT_EQ(observer.listeners,
            (std::vector<std::pair<bool, bool>>{{true, false}, {true, true}, {false, false}}));
  close(fd);
}

} // namespace
