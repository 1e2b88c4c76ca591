#include "zav/conntest/ConnectionTest.h"

#include "LoopbackTestService.h"
#include "NssWrapper.h"
#include "TempDir.h"
#include "net/SelectSocketManager.h"
#include "net/io/FdSelectManager.h"
#include "plat/Exception.h"
#include "plat/TimerManager.h"
#include "plat/unix/EndSignal.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <optional>
#include <sys/time.h>
#include <vector>

using testing_support::LoopbackTestService;

namespace {

struct Loop {
  plat::TimerManager timers;
  net::SelectSocketManager mgr;
  void pass(int timeoutMs = 10) {
    timers.processTimers();
    mgr.getSelectManager()->doSelect(0, nullptr, nullptr, nullptr, timeoutMs);
  }
  bool runUntil(const std::function<bool()>& pred, int maxPasses = 1000) {
    for (int i = 0; i < maxPasses && !pred(); i++)
      pass();
    return pred();
  }
};

struct Outcome : zav::ConnectionTest::Callback {
  void testComplete(zav::ConnectionTest* t, const char* error) override {
    calls++;
    test = t;
    if (error)
      this->error = std::string(error);
    address = t->externalAddress.isNull() ? std::nullopt
                                          : std::optional<std::string>(t->externalAddress.get());
    reachable = t->reachable;
  }
  int calls = 0;
  zav::ConnectionTest* test = nullptr;
  std::optional<std::string> error;
  std::optional<std::string> address;
  bool reachable = false;
};

struct ReplyCase {
  const char* name;
  std::vector<std::string> pieces; // sent one after the other, the loop run between
  bool closeAfter;
  std::optional<std::string> address;
  bool reachable;
  bool error;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const ReplyCase& c, std::ostream* os) {
  *os << c.name;
}

std::string longFirstLine() {
  return std::string(1024, 'a') + "1bcdef\n";
}

class ConnectionTestReply : public testing::TestWithParam<ReplyCase> {};

TEST_P(ConnectionTestReply, ReadsTheTwoAnswerLines) {
  const ReplyCase& c = GetParam();
  Loop loop;
  LoopbackTestService service;
  zav::ConnectionTest test(&loop.mgr, "127.0.0.1", service.port());
  Outcome outcome;
  test.start(5901, &outcome);
  ASSERT_TRUE(service.accept());
  EXPECT_EQ(service.readRequest(), "GET /cgi-bin/nettest.cgi?format=simple&port=5901\r\n"
                                   "Host: 127.0.0.1\r\n"
                                   "User-Agent: Zav Server 4\r\n"
                                   "\r\n");
  for (size_t i = 0; i < c.pieces.size(); i++) {
    EXPECT_EQ(outcome.calls, 0) << "before piece " << i;
    service.send(c.pieces[i]);
    for (int k = 0; k < 5; k++)
      loop.pass();
  }
  if (c.closeAfter)
    service.closeClient();
  ASSERT_TRUE(loop.runUntil([&] { return outcome.calls > 0; }));
  loop.pass();
  EXPECT_EQ(outcome.calls, 1);
  EXPECT_EQ(outcome.test, &test);
  EXPECT_EQ(outcome.error.has_value(), c.error) << outcome.error.value_or("");
  EXPECT_EQ(outcome.address, c.address);
  EXPECT_EQ(outcome.reachable, c.reachable);
  EXPECT_EQ(test.isFinished(), !c.error);
  EXPECT_FALSE(test.isRunning());
  if (!c.closeAfter) {
    EXPECT_TRUE(service.clientClosed()) << "the test closes its connection after the verdict";
  }
}

const std::string addr = "203.0.113.7";

INSTANTIATE_TEST_SUITE_P(
    Replies, ConnectionTestReply,
    testing::Values(
        ReplyCase{"CrLf", {addr + "\r\n1\r\n"}, false, addr, true, false},
        ReplyCase{"LfOnly", {addr + "\n1\n"}, false, addr, true, false},
        ReplyCase{"VerdictZero", {addr + "\r\n0\r\n"}, false, addr, false, false},
        ReplyCase{"EmptyVerdict", {addr + "\r\n\r\n"}, false, addr, false, false},
        ReplyCase{"VerdictWithMore", {addr + "\n1 open\nlater line\n"}, false, addr, true, false},
        ReplyCase{
            "SplitInsideLines", {"203.0.", "113.7\r", "\n1", "\r\n"}, false, addr, true, false},
        ReplyCase{"VerdictEndsAtClose", {addr + "\n1"}, true, addr, true, false},
        ReplyCase{"CloseAfterFirstLine", {addr + "\r\n"}, true, addr, false, true},
        ReplyCase{"CloseBeforeAnything", {}, true, std::nullopt, false, true},
        ReplyCase{"EmptyFirstLine", {"\n1\n"}, false, std::string(), true, false},
        ReplyCase{
            "LineOf1030Characters", {longFirstLine()}, false, std::string(1024, 'a'), true, false}),
    [](const testing::TestParamInfo<ReplyCase>& info) { return std::string(info.param.name); });

TEST(ConnectionTest, EarlyCloseReportsTheEndOfStream) {
  Loop loop;
  LoopbackTestService service;
  zav::ConnectionTest test(&loop.mgr, "127.0.0.1", service.port());
  Outcome outcome;
  test.start(5900, &outcome);
  ASSERT_TRUE(service.accept());
  service.readRequest();
  service.closeClient();
  ASSERT_TRUE(loop.runUntil([&] { return outcome.calls > 0; }));
  EXPECT_EQ(outcome.error.value_or(""), "End of stream");
}

TEST(ConnectionTest, StopAndRestartSilenceTheOldTest) {
  Loop loop;
  LoopbackTestService service;
  zav::ConnectionTest test(&loop.mgr, "127.0.0.1", service.port());
  Outcome first, second;
  test.start(5900, &first);
  ASSERT_TRUE(service.accept());
  service.readRequest();
  test.start(5902, &second);
  loop.pass();
  EXPECT_TRUE(service.clientClosed()) << "the old connection is closed first";
  ASSERT_TRUE(service.accept());
  EXPECT_NE(service.readRequest().find("port=5902\r\n"), std::string::npos);
  service.send("198.51.100.1\r\n1\r\n");
  ASSERT_TRUE(loop.runUntil([&] { return second.calls > 0; }));
  EXPECT_EQ(first.calls, 0);
  EXPECT_EQ(second.address.value_or(""), "198.51.100.1");

  Outcome third;
  test.start(5903, &third);
  ASSERT_TRUE(service.accept());
  service.readRequest();
  test.stop();
  EXPECT_FALSE(test.isRunning());
  loop.pass();
  EXPECT_TRUE(service.clientClosed());
  for (int k = 0; k < 10; k++)
    loop.pass();
  EXPECT_EQ(third.calls, 0);
}

TEST(ConnectionTest, RefusedConnectionIsThrown) {
  Loop loop;
  int port;
  {
    LoopbackTestService gone;
    port = gone.port();
  }
  zav::ConnectionTest test(&loop.mgr, "127.0.0.1", port);
  Outcome outcome;
  try {
    test.start(5900, &outcome);
    FAIL() << "start did not throw";
  } catch (plat::Exception& e) {
    EXPECT_NE(std::string(e.str()).find("connect"), std::string::npos) << e.str();
  }
  EXPECT_FALSE(test.isRunning());
  EXPECT_EQ(outcome.calls, 0);
}

namespace {
// A port on 127.0.0.1 that refuses connections: bound, never listening, so
// that no other program can take it meanwhile.
struct RefusingPort {
  RefusingPort() {
    fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    struct sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<struct sockaddr*>(&sa), sizeof sa);
    socklen_t len = sizeof sa;
    getsockname(fd, reinterpret_cast<struct sockaddr*>(&sa), &len);
    port = ntohs(sa.sin_port);
  }
  ~RefusingPort() { close(fd); }
  int fd;
  int port;
};

// The test's host name, resolved by the test's own hosts file.
const char* const twoAddressHost = "conntest.example";
} // namespace

// The service's name resolves to two addresses, 127.0.0.1 (tried first),
// which refuses, and 127.0.0.2: the second is tried within the same time
// limit; when it refuses too, the refusal is thrown.
TEST(ConnectionTest, EveryResolvedAddressIsTried) {
  if (!testing_support::underNssWrapper()) {
    testing_support::TempDir dir;
    std::ofstream(dir / "hosts") << "127.0.0.1 " << twoAddressHost << "\n127.0.0.2 "
                                 << twoAddressHost << "\n";
    std::string hosts = dir / "hosts";
    return testing_support::runUnderNssWrapper("root:x:0:0:root:/root:/bin/sh\n", "root:x:0:\n",
                                               {{"NSS_WRAPPER_HOSTS", hosts.c_str()}});
  }
  for (bool secondListens : {true, false}) {
    SCOPED_TRACE(secondListens ? "the second listens" : "both refuse");
    Loop loop;
    RefusingPort refusing;
    std::optional<LoopbackTestService> service;
    if (secondListens)
      service.emplace(4, "127.0.0.2", refusing.port);
    zav::ConnectionTest test(&loop.mgr, twoAddressHost, refusing.port);
    Outcome outcome;
    if (!service) {
      try {
        test.start(5900, &outcome);
        ADD_FAILURE() << "start did not throw";
      } catch (plat::Exception& e) {
        EXPECT_NE(std::string(e.str()).find("connect"), std::string::npos) << e.str();
      }
      EXPECT_FALSE(test.isRunning());
      continue;
    }
    test.start(5900, &outcome);
    ASSERT_TRUE(service->accept());
    EXPECT_NE(service->readRequest().find("port=5900\r\n"), std::string::npos);
    service->send("203.0.113.7\r\n1\r\n");
    ASSERT_TRUE(loop.runUntil([&] { return outcome.calls > 0; }));
    EXPECT_FALSE(outcome.error.has_value()) << *outcome.error;
    EXPECT_TRUE(outcome.reachable);
  }
}

// A service whose accept queue is full answers no connection attempt: the
// connect gives up after its time-out instead of holding the thread.
TEST(ConnectionTest, ConnectGivesUpAfterItsTimeOut) {
  Loop loop;
  testing_support::SilentTestService service;
  zav::ConnectionTest test(&loop.mgr, "127.0.0.1", service.port());
  test.setConnectTimeout(300);
  Outcome outcome;
  try {
    test.start(5900, &outcome);
    ADD_FAILURE() << "start did not time out";
  } catch (plat::Exception& e) {
    EXPECT_STREQ(e.str(), "Timed out connecting to 127.0.0.1");
  }
}

// A request to end the program, made before the connect or while it waits
// for a service that answers nothing, leaves the wait at once, long before
// its time-out.
TEST(ConnectionTest, AnEndRequestLeavesTheConnectAtOnce) {
  for (bool during : {false, true}) {
    SCOPED_TRACE(during ? "during the wait" : "before the connect");
    Loop loop;
    testing_support::SilentTestService service;
    os::EndSignal::Scope endSignal;
    struct sigaction action = {}, old = {};
    action.sa_handler = [](int) { os::EndSignal::raise(); };
    sigaction(SIGALRM, &action, &old);
    if (during) {
      itimerval once = {{0, 0}, {0, 100000}};
      setitimer(ITIMER_REAL, &once, nullptr);
    } else {
      os::EndSignal::raise();
    }
    zav::ConnectionTest test(&loop.mgr, "127.0.0.1", service.port());
    test.setConnectTimeout(5000);
    Outcome outcome;
    EXPECT_THROW(test.start(5900, &outcome), os::EndSignal::Ended);
    sigaction(SIGALRM, &old, nullptr);
    EXPECT_EQ(outcome.calls, 0);
  }
}

} // namespace

namespace {

// The test may go before the socket manager that served its connection.
TEST(ConnectionTest, DestroyedBeforeItsManager) {
  Loop loop;
  LoopbackTestService service;
  Outcome outcome;
  {
    zav::ConnectionTest test(&loop.mgr, "127.0.0.1", service.port());
    test.start(5900, &outcome);
    ASSERT_TRUE(service.accept());
    service.readRequest();
  }
  service.send("203.0.113.7\r\n1\r\n");
  for (int k = 0; k < 5; k++)
    loop.pass();
  EXPECT_TRUE(service.clientClosed());
  EXPECT_EQ(outcome.calls, 0);
}

} // namespace
