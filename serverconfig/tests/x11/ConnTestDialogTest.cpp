// The connection test dialog on a private Xvfb against a loopback stand-in
// of the test service: Start, the animation, the verdict texts and log
// lines, Stop, Close, the layout as the window is resized, and Ctrl-C, whose
// text real X clients (xclip) read from PRIMARY and CLIPBOARD.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "serverconfig/ConnTestDialog.h"

#include "serverconfig/tests/FakeStatusCallback.h"

#include "CaptureLogger.h"
#include "DialogDriver.h"
#include "LoopbackTestService.h"
#include "ManualClock.h"
#include "TxTestDisplay.h"
#include "net/SelectSocketManager.h"
#include "net/io/FdSelectManager.h"
#include "plat/unix/EndSignal.h"

#include <csignal>
#include <sys/time.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

using testing_support::DialogDriver;
using testing_support::LoopbackTestService;
using testing_support::ScopedCapture;
using testing_support::TxTestDisplay;

namespace {

// The server on port 5901 with no connections, reachable at 10.0.0.2.
struct FakeStatus : testing_support::FakeStatusCallback {
  FakeStatus() {
    params = {{"rfbPort", "5901"}};
    status = {{"total_connections", "0"}, {"ip_addrs", "10.0.0.2"}};
  }
};

const char* const connecting = "Connecting to halbrin.example. Please wait.";

class ConnTestDialogTest : public ::testing::Test {
protected:
  // Moves the clock and runs the timers that are due (the animation, the
  // repaints).
  void tick(int ms) {
    clock.advanceMs(ms);
    x.timers.processTimers();
  }
  // Serves X events and the test's socket until pred holds.
  bool runUntil(const std::function<bool()>& pred) {
    return x.pumpUntil([&] {
      mgr.getSelectManager()->doSelect(0, nullptr, nullptr, nullptr, 0);
      return pred();
    });
  }
  void showDialog() {
    dialog.show();
    ASSERT_TRUE(drive.waitShown());
  }
  // Clicks Start and answers the request with reply, after the change the
  // server sees meanwhile.
  void runTest(
      const std::string& reply, const std::function<void()>& during = [] {}) {
    drive.click(dialog.startButton());
    ASSERT_TRUE(dialog.session().isRunning());
    ASSERT_TRUE(service.accept());
    service.readRequest();
    during();
    service.send(reply);
    ASSERT_TRUE(runUntil([&] { return !dialog.session().isRunning(); }));
  }
  std::string details() { return dialog.details()->getText(); }
  std::string closeText() { return dialog.closeButton()->getLabel()->getText(); }
  void screenshot(const std::string& name) {
    tick(20);
    x.pumpFor(30);
    testing_support::screenshot(x, dialog.win(), name);
  }

  testing_support::ManualClock clock;
  TxTestDisplay x{"1280x1024x24"};
  net::SelectSocketManager mgr;
  LoopbackTestService service;
  FakeStatus status;
  serverconfig::ConnTestDialog dialog{x.dpy, &status, &mgr, "127.0.0.1", service.port()};
  DialogDriver drive{x, dialog};
};

} // namespace

TEST_F(ConnTestDialogTest, RunsAndAnimatesUntilTheResult) {
  EXPECT_EQ(x.title(dialog.win()), "Connection Test");
  EXPECT_FALSE(dialog.isModal());
  EXPECT_EQ(dialog.width(), 400);
  EXPECT_EQ(dialog.height(), 200);
  XSizeHints hints = {};
  long supplied = 0;
  XGetWMNormalHints(x.dpy, dialog.win(), &hints, &supplied);
  EXPECT_FALSE(hints.flags & PMaxSize) << "resizable";

  showDialog();
  EXPECT_FALSE(dialog.progressBar()->isVisible());
  EXPECT_EQ(closeText(), "Close");
  EXPECT_EQ(std::string(dialog.header()->getText()).rfind("This will check whether", 0), 0u);
  screenshot("connection_test_idle");

  drive.click(dialog.startButton());
  ASSERT_TRUE(dialog.session().isRunning());
  EXPECT_STREQ(dialog.header()->getText(), "\n\nTest in progress. Please wait...");
  EXPECT_FALSE(dialog.startButton()->isVisible());
  EXPECT_TRUE(dialog.progressBar()->isVisible());
  EXPECT_EQ(closeText(), "Stop");
  EXPECT_EQ(details(), connecting);
  for (int i = 0; i < 3; i++)
    tick(100);
  EXPECT_EQ(dialog.progressBar()->getBar()->getValue(), 3u);
  screenshot("connection_test_running");
  for (int i = 0; i < 17; i++)
    tick(100);
  EXPECT_EQ(dialog.progressBar()->getBar()->getValue(), 0u) << "from 20 back to 0";

  ASSERT_TRUE(service.accept());
  EXPECT_EQ(service.readRequest(), "GET /cgi-bin/nettest.cgi?format=simple&port=5901\r\n"
                                   "Host: 127.0.0.1\r\n"
                                   "User-Agent: Zav Server 4\r\n"
                                   "\r\n");
  status.status["total_connections"] = "1";
  service.send("10.0.0.2\r\n1\r\n");
  ASSERT_TRUE(runUntil([&] { return !dialog.session().isRunning(); }));
  EXPECT_EQ(details(), std::string(connecting) +
                           "\n\nZav Server and your network are correctly configured to accept "
                           "connections over the Internet.");
  EXPECT_TRUE(dialog.startButton()->isVisible());
  EXPECT_FALSE(dialog.progressBar()->isVisible());
  EXPECT_EQ(closeText(), "Close");
  tick(300);
  EXPECT_EQ(dialog.progressBar()->getBar()->getValue(), 0u) << "the animation stopped";
  screenshot("connection_test");

  drive.click(dialog.closeButton());
  EXPECT_TRUE(x.pumpUntil([&] { return !dialog.isMapped(); }));

  // Shown again: the details start empty.
  showDialog();
  EXPECT_EQ(details(), "");
}

// Following the status text's test link while the window is up shows it
// again as it is: a running test keeps its "Connecting to" line, and the
// verdict follows it; the verdict is kept on the next showing too. Only a
// window coming up from closed starts empty. With the window manager's
// frame or internal decorations (which map the window afresh) alike.
TEST_F(ConnTestDialogTest, ShowingTheOpenWindowAgainKeepsItsDetails) {
  const std::string verdict =
      std::string(connecting) +
      "\n\nIf you are running any firewall software on this computer, check that you have "
      "enabled Zav Server and/or port 5901 as an exception.";
  for (bool decorated : {false, true}) {
    SCOPED_TRACE(decorated ? "internal decorations" : "window manager's frame");
    dialog.showWithDecorations(decorated);
    ASSERT_TRUE(drive.waitShown());
    EXPECT_EQ(details(), "");
    drive.click(dialog.startButton());
    ASSERT_TRUE(service.accept());
    service.readRequest();

    dialog.show();
    x.pumpFor(30);
    EXPECT_TRUE(dialog.isMapped());
    EXPECT_TRUE(dialog.session().isRunning());
    EXPECT_EQ(details(), connecting);

    service.send("10.0.0.2\r\n0\r\n");
    ASSERT_TRUE(runUntil([&] { return !dialog.session().isRunning(); }));
    EXPECT_EQ(details(), verdict);
    dialog.show();
    x.pumpFor(30);
    EXPECT_EQ(details(), verdict);

    drive.click(dialog.closeButton());
    ASSERT_TRUE(x.pumpUntil([&] { return !dialog.isMapped(); }));
    service.closeClient();
  }
}

// The verdicts as the dialog words and logs them, through its own Start.
TEST_F(ConnTestDialogTest, VerdictTextsAndLogLines) {
  ScopedCapture capture("ConnTestDialog", 100);
  showDialog();
  status.status["ip_addrs"] = "10.0.0.2,192.168.1.4";
  runTest("203.0.113.7\n0\n");
  EXPECT_EQ(details(),
            std::string(connecting) +
                "\n\nZav Server appears to be behind a NAT router with IP address 203.0.113.7. "
                "You will need to configure this router to forward port 5901 to this computer "
                "before you can connect to Zav Server over the Internet.");
  std::vector<std::string> notices = capture.logger.textsAt(10);
  EXPECT_EQ(notices, (std::vector<std::string>{
                         "Internal IP addresses: 10.0.0.2,192.168.1.4 (2)",
                         "External IP address:   203.0.113.7 (natted)", "nettest result:        0",
                         "local result:          0", "error:                 no error"}));

  // The next run replaces the details; a direct address that answers but
  // was not seen by the server points at the firewall.
  service.closeClient();
  status.status["ip_addrs"] = "203.0.113.7";
  status.params["rfbPort"] = "5902";
  runTest("203.0.113.7\r\n1\r\n");
  EXPECT_EQ(details(), std::string(connecting) +
                           "\n\nIf you are running any firewall software on this computer, check "
                           "that you have enabled Zav Server and/or port 5902 as an exception.");

  // A service that closes before its verdict.
  service.closeClient();
  drive.click(dialog.startButton());
  ASSERT_TRUE(service.accept());
  service.readRequest();
  service.send("203.0.113.7\r\n");
  service.closeClient();
  ASSERT_TRUE(runUntil([&] { return !dialog.session().isRunning(); }));
  EXPECT_EQ(details().rfind(std::string(connecting) +
                                "\n\nCould not read response from halbrin.example. The system "
                                "returned the error message \"",
                            0),
            0u)
      << details();
  EXPECT_TRUE(capture.logger.contains("External IP address:   203.0.113.7 (direct)"));
}

TEST_F(ConnTestDialogTest, StopCancelsTheTestAndStartBeginsAgain) {
  showDialog();
  drive.click(dialog.startButton());
  ASSERT_TRUE(service.accept());
  service.readRequest();
  drive.click(dialog.closeButton());
  EXPECT_FALSE(dialog.session().isRunning());
  EXPECT_EQ(details(), "Connection test cancelled.");
  EXPECT_EQ(closeText(), "Close");
  EXPECT_TRUE(dialog.startButton()->isVisible());
  EXPECT_TRUE(dialog.isMapped()) << "Stop does not close the window";
  EXPECT_TRUE(service.clientClosed()) << "the test's connection is closed";
  service.send("10.0.0.2\r\n1\r\n");
  x.pumpFor(50);
  EXPECT_EQ(details(), "Connection test cancelled.") << "a late answer is not heard";

  runTest("10.0.0.2\r\n1\r\n", [&] { status.status["total_connections"] = "1"; });
  EXPECT_NE(details().find("correctly configured"), std::string::npos) << details();
}

// A test that could not start is shown as failed, not as running.
TEST_F(ConnTestDialogTest, FailedStartShowsTheFailure) {
  int port;
  {
    LoopbackTestService gone;
    port = gone.port();
  }
  serverconfig::ConnTestDialog refused(x.dpy, &status, &mgr, "127.0.0.1", port);
  refused.show();
  refused.startTest();
  EXPECT_FALSE(refused.session().isRunning());
  EXPECT_FALSE(refused.progressBar()->isVisible());
  EXPECT_TRUE(refused.startButton()->isVisible());
  EXPECT_STREQ(refused.closeButton()->getLabel()->getText(), "Close");
  EXPECT_EQ(
      std::string(refused.details()->getText()).rfind("Could not connect to halbrin.example", 0),
      0u);
}

// A signal that asks the program to end while Start waits for a service
// that answers nothing leaves the click's handler at once with the end
// request, which the program's loop turns into its end.
TEST_F(ConnTestDialogTest, AnEndRequestDuringTheConnectLeavesStartAtOnce) {
  testing_support::SilentTestService silent;
  serverconfig::ConnTestDialog waiting(x.dpy, &status, &mgr, "127.0.0.1", silent.port());
  DialogDriver driver(x, waiting);
  waiting.show();
  ASSERT_TRUE(driver.waitShown());
  os::EndSignal::Scope endSignal;
  struct sigaction action = {}, old = {};
  action.sa_handler = [](int) { os::EndSignal::raise(); };
  sigaction(SIGALRM, &action, &old);
  itimerval once = {{0, 0}, {0, 300000}};
  setitimer(ITIMER_REAL, &once, nullptr);
  EXPECT_THROW(driver.click(waiting.startButton()), os::EndSignal::Ended);
  sigaction(SIGALRM, &old, nullptr);
  EXPECT_FALSE(waiting.session().isRunning());
}

TEST_F(ConnTestDialogTest, LayoutFollowsTheWindowSize) {
  showDialog();
  dialog.resize(500, 300);
  ASSERT_TRUE(x.pumpUntil([&] { return dialog.content()->width() == 500; }));
  wvw::WCanvas* c = dialog.content();
  rfb::Point close = c->getChildPosition(dialog.closeButton());
  rfb::Point start = c->getChildPosition(dialog.startButton());
  EXPECT_EQ(close.x, 500 - 3 - 76);
  EXPECT_EQ(start.x, 500 - 6 - 152);
  int headerHeight = dialog.header()->height();
  int scrollHeight = 300 - headerHeight - 26 - 18;
  EXPECT_EQ(c->getChildRect(dialog.scrollView()), rfb::Rect(3, 3, 497, 3 + scrollHeight));
  EXPECT_EQ(c->getChildPosition(dialog.icon()), rfb::Point(3, 9 + scrollHeight));
  EXPECT_EQ(c->getChildPosition(dialog.header()), rfb::Point(48 + 9, 9 + scrollHeight));
  EXPECT_EQ(close.y, 9 + scrollHeight + 6 + headerHeight);
  EXPECT_EQ(dialog.details()->width(), 500 - 6);
}

// Ctrl-C copies the details: cut buffer 0 holds them and PRIMARY and
// CLIPBOARD serve them to other programs, until another program takes over.
TEST_F(ConnTestDialogTest, CtrlCServesTheResultsAsPrimaryAndClipboard) {
  showDialog();
  runTest("10.0.0.2\r\n1\r\n", [&] { status.status["total_connections"] = "1"; });
  std::string expected = details();
  drive.keys({"ctrl+c"});
  ASSERT_EQ(dialog.copiedText(), expected);
  EXPECT_EQ(x.run({"xclip", "-o", "-selection", "clipboard"}), expected);
  EXPECT_EQ(x.run({"xclip", "-o", "-selection", "primary"}), expected);
  EXPECT_EQ(x.run({"xclip", "-o", "-selection", "clipboard", "-t", "UTF8_STRING"}), expected);
  int n = 0;
  char* cut = XFetchBytes(x.dpy, &n);
  ASSERT_NE(cut, nullptr);
  EXPECT_EQ(std::string(cut, size_t(n)), expected);
  XFree(cut);

  // The copy stays what it was when the details change afterwards.
  drive.click(dialog.closeButton());
  showDialog();
  EXPECT_EQ(x.run({"xclip", "-o", "-selection", "clipboard"}), expected);

  // Another program takes the clipboard over: its text is served, not ours.
  x.start({"sh", "-c", "printf other | xclip -i -selection clipboard -quiet"});
  ASSERT_TRUE(x.waitForOwner(xaCLIPBOARD, dialog.win()));
  EXPECT_FALSE(dialog.ownsSelection(xaCLIPBOARD));
  EXPECT_TRUE(dialog.ownsSelection(XA_PRIMARY));
  EXPECT_EQ(x.run({"xclip", "-o", "-selection", "clipboard"}), "other");
  EXPECT_EQ(x.run({"xclip", "-o", "-selection", "primary"}), expected);
}

TEST_F(ConnTestDialogTest, TheResultsCarryATooltipAboutCtrlC) {
  showDialog();
  rfb::Rect r = dialog.content()->getChildRect(dialog.scrollView());
  rfb::Point at = drive.onRoot(rfb::Point(r.tl.x + 20, r.tl.y + 20));
  x.run({"xdotool", "mousemove", std::to_string(at.x), std::to_string(at.y)});
  ASSERT_TRUE(x.pumpUntil([&] { return dialog.tooltip()->isShown(); }));
  EXPECT_EQ(dialog.tooltip()->getText(),
            "Press Ctrl-C to copy results of the connection test to the clipboard.");
}

// Before any test the details are empty, and Ctrl-C copies just that, with
// no widget of the window holding the focus.
TEST_F(ConnTestDialogTest, CtrlCWithoutResultsCopiesTheEmptyDetails) {
  showDialog();
  drive.keys({"ctrl+c"});
  EXPECT_TRUE(dialog.ownsSelection(xaCLIPBOARD));
  EXPECT_TRUE(dialog.ownsSelection(XA_PRIMARY));
  EXPECT_EQ(dialog.copiedText(), "");
  int status = -1;
  EXPECT_EQ(x.run({"xclip", "-o", "-selection", "clipboard"}, "/dev/null", &status), "");
  EXPECT_EQ(status, 0) << "the conversion was answered";
}
