// gtest comes first: the status window's header brings in Xlib, whose macros
// (None, Bool) would break gtest's own headers.
#include <gtest/gtest.h>

#include "serverconfig/ConnTestSession.h"
#include "serverconfig/tests/FakeStatusCallback.h"

#include "CaptureLogger.h"
#include "LoopbackTestService.h"
#include "net/SelectSocketManager.h"
#include "net/io/FdSelectManager.h"
#include "plat/ProductInfo.h"
#include "plat/TimerManager.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <optional>

using testing_support::LoopbackTestService;
using testing_support::ScopedCapture;

namespace {

struct Loop {
  plat::TimerManager timers;
  net::SelectSocketManager mgr;
  bool runUntil(const std::function<bool()>& pred, int maxPasses = 1000) {
    for (int i = 0; i < maxPasses && !pred(); i++) {
      timers.processTimers();
      mgr.getSelectManager()->doSelect(0, nullptr, nullptr, nullptr, 10);
    }
    return pred();
  }
};

using FakeStatus = testing_support::FakeStatusCallback;

const char* const connecting = "Connecting to halbrin.example. Please wait.";
const char* const configured =
    "Zav Server and your network are correctly configured to accept connections over the "
    "Internet.";
const char* const however =
    "\n\nHowever, please note that Zav Server appears to be behind a NAT router with IP address "
    "203.0.113.7. If you are connecting from outside your LAN, then you will need to use this IP "
    "address.";
const char* const nat =
    "Zav Server appears to be behind a NAT router with IP address 203.0.113.7. You will need to "
    "configure this router to forward port 5901 to this computer before you can connect to Zav "
    "Server over the Internet.";
const char* const firewall = "If you are running any firewall software on this computer, check "
                             "that you have enabled Zav Server and/or port 5901 as an exception.";

struct VerdictCase {
  const char* name;
  std::optional<std::string> ipAddrs;
  const char* verdict;
  std::optional<std::string> totalAfter; // "total_connections" is "3" at the start
  std::string sentences;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const VerdictCase& c, std::ostream* os) {
  *os << c.name;
}

struct Fixture {
  Loop loop;
  LoopbackTestService service;
  FakeStatus status;
  serverconfig::ConnTestSession session{&status, &loop.mgr, "127.0.0.1", service.port()};
  int changes = 0;
  Fixture() {
    session.onChange = [this] { changes++; };
    status.params["rfbPort"] = "5901";
    status.status["total_connections"] = "3";
  }
  // Starts, answers with the two lines once the request is in, runs to the end.
  void run(const std::string& answer, const std::function<void()>& during = {}) {
    session.startTest();
    ASSERT_TRUE(session.isRunning());
    EXPECT_EQ(session.details(), connecting);
    ASSERT_TRUE(service.accept());
    EXPECT_NE(service.readRequest().find("port=5901\r\n"), std::string::npos);
    if (during)
      during();
    service.send(answer);
    ASSERT_TRUE(loop.runUntil([&] { return !session.isRunning(); }));
  }
};

class ConnTestSessionVerdict : public testing::TestWithParam<VerdictCase> {};

TEST_P(ConnTestSessionVerdict, ExplainsTheOutcome) {
  const VerdictCase& c = GetParam();
  Fixture f;
  if (c.ipAddrs)
    f.status.status["ip_addrs"] = *c.ipAddrs;
  f.run(std::string("203.0.113.7\r\n") + c.verdict + "\r\n", [&] {
    if (c.totalAfter)
      f.status.status["total_connections"] = *c.totalAfter;
    else
      f.status.status.erase("total_connections");
  });
  EXPECT_EQ(f.session.details(), std::string(connecting) + "\n\n" + c.sentences);
}

INSTANTIATE_TEST_SUITE_P(
    Verdicts, ConnTestSessionVerdict,
    testing::Values(
        VerdictCase{"ReachableDirect", "10.0.0.2,203.0.113.7", "1", "4", configured},
        VerdictCase{"ReachableBehindNat", "10.0.0.2", "1", "4", std::string(configured) + however},
        VerdictCase{"CountUnchangedBehindNat", "10.0.0.2", "1", "3", nat},
        VerdictCase{"CountUnchangedDirect", "203.0.113.7", "1", "3", firewall},
        VerdictCase{"NotReachableDirect", "203.0.113.7,10.0.0.2", "0", "4", firewall},
        VerdictCase{"NotReachableBehindNat", "10.0.0.2", "", "4", nat},
        VerdictCase{"CountMissingCountsAsSuccess", "203.0.113.7", "1", std::nullopt, configured},
        VerdictCase{"NoAddressListIsNatted", std::nullopt, "1", "4",
                    std::string(configured) + however},
        VerdictCase{"AddressMustMatchExactly", "203.0.113.70,3.0.113.7", "0", "4", nat}),
    [](const testing::TestParamInfo<VerdictCase>& info) { return std::string(info.param.name); });

TEST(ConnTestSession, LogsTheOutcomeLineByLine) {
  ScopedCapture capture("ConnTestDialog", 100);
  Fixture f;
  f.status.status["ip_addrs"] = "10.0.0.2,192.168.1.4";
  f.run("203.0.113.7\n1\n", [&] { f.status.status["total_connections"] = "4"; });
  std::vector<std::string> notices = capture.logger.textsAt(10);
  EXPECT_EQ(notices, (std::vector<std::string>{
                         "Internal IP addresses: 10.0.0.2,192.168.1.4 (2)",
                         "External IP address:   203.0.113.7 (natted)", "nettest result:        1",
                         "local result:          1", "error:                 no error"}));
}

// The address the service reports is text from outside: conversions in it
// are shown as they are, and the port goes where the sentence names it.
TEST(ConnTestSession, ConversionsInTheReportedAddressStayText) {
  struct Case {
    const char* name;
    const char* verdict;
    const char* totalAfter;
    std::string sentences;
  };
  const std::string addr = "10.%i.%s.%%";
  const Case cases[] = {
      {"BehindNat", "0", "3",
       "Zav Server appears to be behind a NAT router with IP address " + addr +
           ". You will need to configure this router to forward port 5901 to this computer "
           "before you can connect to Zav Server over the Internet."},
      {"ReachableBehindNat", "1", "4",
       std::string(configured) +
           "\n\nHowever, please note that Zav Server appears to be behind a NAT router with IP "
           "address " +
           addr +
           ". If you are connecting from outside your LAN, then you will need to use "
           "this IP address."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    f.status.status["ip_addrs"] = "10.0.0.2";
    f.run(addr + "\r\n" + c.verdict + "\r\n",
          [&] { f.status.status["total_connections"] = c.totalAfter; });
    EXPECT_EQ(f.session.details(), std::string(connecting) + "\n\n" + c.sentences);
  }
}

// A service that goes away before answering: the error text and an absent
// external address written out as "(null)", also for an absent address list.
TEST(ConnTestSession, BrokenAnswerIsReportedAndLogged) {
  ScopedCapture capture("ConnTestDialog", 100);
  Fixture f;
  f.session.startTest();
  ASSERT_TRUE(f.service.accept());
  f.service.readRequest();
  f.service.closeClient();
  ASSERT_TRUE(f.loop.runUntil([&] { return !f.session.isRunning(); }));
  EXPECT_EQ(f.session.details(),
            std::string(connecting) +
                "\n\nCould not read response from halbrin.example. The system returned the error "
                "message \"End of stream\". Zav Server may or may not be contactable over the "
                "Internet.");
  EXPECT_TRUE(capture.logger.contains("Internal IP addresses: (null) (none)"));
  EXPECT_TRUE(capture.logger.contains("External IP address:   (null) (natted)"));
  EXPECT_TRUE(capture.logger.contains("local result:          0"));
  EXPECT_TRUE(capture.logger.contains("error:                 End of stream"));
}

// A test that cannot start leaves the session idle with the reason shown,
// instead of waiting for a result that cannot come.
TEST(ConnTestSession, FailedStartIsNotRunning) {
  Loop loop;
  int port;
  {
    LoopbackTestService gone;
    port = gone.port();
  }
  FakeStatus status;
  status.params["rfbPort"] = "5901";
  serverconfig::ConnTestSession session(&status, &loop.mgr, "127.0.0.1", port);
  session.startTest();
  EXPECT_FALSE(session.isRunning());
  EXPECT_EQ(
      session.details().rfind("Could not connect to halbrin.example. The error message \"", 0), 0u)
      << session.details();
  EXPECT_NE(session.details().find("\". was returned. Zav Server may or may not be contactable "
                                   "over the Internet."),
            std::string::npos);

  status.params["rfbPort"] = "0";
  session.startTest();
  EXPECT_FALSE(session.isRunning());
}

TEST(ConnTestSession, MissingPortAssumes5900) {
  ScopedCapture capture("ConnTestDialog", 100);
  Fixture f;
  f.status.params.erase("rfbPort");
  f.session.startTest();
  EXPECT_EQ(f.session.getPort(), 5900);
  EXPECT_TRUE(capture.logger.contains("Couldn't get port number. Assuming 5900"));
  ASSERT_TRUE(f.service.accept());
  EXPECT_NE(f.service.readRequest().find("port=5900\r\n"), std::string::npos);
}

TEST(ConnTestSession, StopCancelsAndStartBeginsAgain) {
  Fixture f;
  f.session.startTest();
  ASSERT_TRUE(f.service.accept());
  f.service.readRequest();
  f.session.cancel();
  EXPECT_FALSE(f.session.isRunning());
  EXPECT_EQ(f.session.details(), "Connection test cancelled.");
  f.service.send("203.0.113.7\r\n1\r\n");
  f.loop.runUntil([] { return false; }, 5);
  EXPECT_EQ(f.session.details(), "Connection test cancelled.");

  f.service.closeClient();
  f.session.startTest();
  EXPECT_TRUE(f.session.isRunning());
  ASSERT_TRUE(f.service.accept());
  f.service.readRequest();
  f.service.send("203.0.113.7\r\n0\r\n");
  ASSERT_TRUE(f.loop.runUntil([&] { return !f.session.isRunning(); }));
  EXPECT_EQ(f.session.details(), std::string(connecting) + "\n\n" + nat);
  EXPECT_GE(f.changes, 4);
}

} // namespace

namespace {

// The product names one maker: the connection test's header, the banner's
// notices and the About box agree; and the banner points to the
// acknowledgements page of this version, where the key generator does too.
TEST(ConnTestSessionText, NamesTheMakerOfTheProductsNotices) {
  using plat::ProductInfo;
  std::string header = serverconfig::ConnTestSession::headerText(false);
  EXPECT_NE(header.find(std::string("connection to ") + ProductInfo::maker + " "),
            std::string::npos)
      << header;
  for (const char* notice : {ProductInfo::ownershipNotice, ProductInfo::trademarkNotice})
    EXPECT_NE(std::string(notice).find(ProductInfo::maker), std::string::npos) << notice;
  char acknowledgements[128];
  snprintf(acknowledgements, sizeof(acknowledgements), ProductInfo::acknowledgementsFormat,
           ProductInfo::version);
  std::string thirdParty = ProductInfo::thirdPartyNotice;
  EXPECT_EQ(thirdParty.substr(thirdParty.size() - strlen(acknowledgements)), acknowledgements);
}

} // namespace
