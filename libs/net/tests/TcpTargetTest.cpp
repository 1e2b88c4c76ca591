#include "net/io/TcpTarget.h"

#include "CaptureLogger.h"
#include "NetLoop.h"
#include "net/io/GetAddrInfoException.h"
#include "net/io/IoConnected.h"
#include "net/io/IoConnector.h"
#include "net/io/TcpIo.h"
#include "net/io/TcpListener.h"

#include <gtest/gtest.h>

#include <netdb.h>

#include <memory>

using testing_support::Loop;
using testing_support::ScopedCapture;

namespace {

class Outcome : public io::IoConnected {
public:
  ~Outcome() override { delete io; }
  void connected(io::IoConnector*, io::Io* io_) override {
    calls++;
    io = io_;
  }
  void connectFailed(io::IoConnector* connector) override {
    calls++;
    failed = true;
    try {
      connector->throwError();
    } catch (plat::SystemException& e) {
      err = e.getErrno();
      message = e.str();
    }
  }
  void connectCancelled() override {
    calls++;
    cancelled = true;
  }

  int calls = 0;
  io::Io* io = nullptr;
  bool failed = false, cancelled = false;
  int err = 0;
  std::string message;
};

// A port on which nobody listens.
int closedPort() {
  io::TcpListener l(0, AF_INET, true);
  return l.getLocalAddress().port;
}

TEST(TcpTarget, ListenerOnPortZeroReportsItsPort) {
  io::TcpListener l(0, AF_INET, true);
  const io::AddressRecord& rec = l.getLocalAddress();
  EXPECT_GT(rec.port, 0);
  EXPECT_STREQ(rec.address.c_str(), "127.0.0.1");
  EXPECT_EQ(rec.family, AF_INET);
  EXPECT_EQ(rec.endpoint.c_str(), "127.0.0.1::" + std::to_string(rec.port));
}

TEST(TcpTarget, AsynchronousConnectSucceeds) {
  Outcome outcome;
  Loop loop;
  io::TcpListener l(0, AF_INET, true);
  io::TcpTarget target("127.0.0.1", l.getLocalAddress().port);
  target.connect(&outcome, 0);
  ASSERT_TRUE(loop.runUntil([&] { return outcome.calls > 0; }));
  EXPECT_EQ(outcome.calls, 1);
  ASSERT_NE(outcome.io, nullptr);
  io::TcpIo* tcp = outcome.io->asTcpIo();
  ASSERT_NE(tcp, nullptr);
  EXPECT_EQ(tcp->peerAddress().port, l.getLocalAddress().port);
  EXPECT_STREQ(tcp->getPeerName(),
               ("127.0.0.1::" + std::to_string(l.getLocalAddress().port)).c_str());
  std::unique_ptr<io::FdIo> accepted(l.accept());
  ASSERT_NE(accepted, nullptr);
}

TEST(TcpTarget, RefusedPortReportsConnectionRefused) {
  Outcome outcome;
  Loop loop;
  io::TcpTarget target("127.0.0.1", closedPort());
  target.connect(&outcome, 0);
  ASSERT_TRUE(loop.runUntil([&] { return outcome.calls > 0; }));
  loop.pass();
  EXPECT_EQ(outcome.calls, 1);
  EXPECT_TRUE(outcome.failed);
  EXPECT_EQ(outcome.err, ECONNREFUSED);
  EXPECT_EQ(outcome.message.rfind("connect", 0), 0u) << outcome.message;
}

TEST(TcpTarget, CancelWithCallbackKeptReportsCancelled) {
  Outcome outcome;
  Loop loop;
  io::TcpListener l(0, AF_INET, true);
  io::TcpTarget target("127.0.0.1", l.getLocalAddress().port);
  io::IoConnector* c = target.connect(&outcome, 0);
  c->cancel(true);
  ASSERT_TRUE(loop.runUntil([&] { return outcome.calls > 0; }));
  loop.pass();
  EXPECT_EQ(outcome.calls, 1);
  EXPECT_TRUE(outcome.cancelled);
}

TEST(TcpTarget, BlockingConnect) {
  ScopedCapture capture("TcpTarget", 100);
  io::TcpListener l(0, AF_INET, true);
  io::TcpTarget target("127.0.0.1", l.getLocalAddress().port);
  std::unique_ptr<io::Io> io(target.connectBlocking());
  ASSERT_NE(io->asTcpIo(), nullptr);
  EXPECT_TRUE(capture.logger.contains("connected to 127.0.0.1:"));
  io::TcpTarget refused("127.0.0.1", closedPort());
  try {
    std::unique_ptr<io::Io> never(refused.connectBlocking());
    FAIL();
  } catch (plat::SystemException& e) {
    EXPECT_EQ(e.getErrno(), ECONNREFUSED);
  }
}

TEST(TcpTarget, NumericHostsFailToResolveWithTheResolversText) {
  io::TcpTarget target("1.2.3.4.5", 1);
  try {
    std::unique_ptr<io::Io> never(target.connectBlocking());
    FAIL();
  } catch (io::GetAddrInfoException& e) {
    EXPECT_EQ(std::string(e.str()).rfind("getaddrinfo: '", 0), 0u) << e.str();
  } catch (plat::Exception& e) {
    // Some resolvers try the text as a name; no answer is just as good.
    SUCCEED() << e.str();
  }
}

TEST(TcpTarget, IPv6Loopback) {
  if (!testing_support::haveIPv6Loopback())
    GTEST_SKIP() << "no IPv6 loopback address (::1) on this machine";
  Outcome outcome;
  Loop loop;
  io::TcpListener l(0, AF_INET6, true);
  EXPECT_STREQ(l.getLocalAddress().address.c_str(), "[::1]");
  io::TcpTarget target("[::1]", l.getLocalAddress().port);
  target.connect(&outcome, 0);
  ASSERT_TRUE(loop.runUntil([&] { return outcome.calls > 0; }));
  ASSERT_NE(outcome.io, nullptr);
  EXPECT_STREQ(outcome.io->asTcpIo()->peerAddress().address.c_str(), "[::1]");
}

// "localhost" may stand for both loopback addresses: IPv4 is tried first.
TEST(TcpTarget, IPv4AddressesAreTriedFirst) {
  struct addrinfo* found = nullptr;
  if (getaddrinfo("localhost", nullptr, nullptr, &found) != 0)
    GTEST_SKIP() << "the name localhost does not resolve on this machine";
  freeaddrinfo(found);
  ScopedCapture capture("TcpConnect", 100);
  io::TcpTarget target("localhost", closedPort());
  try {
    std::unique_ptr<io::Io> never(target.connectBlocking());
  } catch (plat::Exception&) {
  }
  std::vector<std::string> tries;
  for (auto& line : capture.logger.lines)
    if (line.text.find("trying") != std::string::npos)
      tries.push_back(line.text);
  ASSERT_FALSE(tries.empty());
  EXPECT_EQ(tries[0], "  trying IPv4");
  for (size_t i = 1; i < tries.size(); i++)
    EXPECT_TRUE(tries[i - 1] == "  trying IPv4" || tries[i] == "  trying IPv6");
}

} // namespace
