// The connect and disconnect notices on a private Xvfb: the folding of
// notices on a clock the test moves, the texts, the popup's layout and its
// hide timer.
// gtest comes before the X headers, whose macros clash with it.
#include <gtest/gtest.h>

#include "serverconfig/NotifyConnectDlg.h"

#include "plat/TimerManager.h"
#include "tx/TXWRootLayout.h"
#include "tx/TXWindow.h"

#include "ManualClock.h"
#include "XvfbServer.h"

#include <string>

using Entry = serverconfig::ConnectionsList::Entry;

namespace {

class NotifyConnectDlgTest : public ::testing::Test {
protected:
  NotifyConnectDlgTest() : xvfb_("800x600x24") {
    dpy = XOpenDisplay(xvfb_.display().c_str());
    TXWindow::init(dpy, "Zavconfig");
  }
  ~NotifyConnectDlgTest() override {
    TXWRootLayout::release(dpy);
    TXWindow::shutdown(dpy);
    XCloseDisplay(dpy);
  }
  void advance(int ms) {
    clock.advanceMs(ms);
    timers.processTimers();
  }

  testing_support::XvfbServer xvfb_;
  testing_support::ManualClock clock;
  plat::TimerManager timers;
  Display* dpy = nullptr;
};

TEST_F(NotifyConnectDlgTest, ConnectNoticesFoldWithinOneSecond) {
  serverconfig::NotifyConnectDlg notices(dpy);

  Entry alice("alice", "10.0.0.1", "1", 0xFFFF), bob("bob", "10.0.0.2", "2", 1),
      carol("carol", "10.0.0.3", "3", 1), nobody("", "10.0.0.4", "4", 1), caret("a^b", "h", "5", 1),
      lines("mallory\n\rtrusted", "h", "6", 1);
  struct Step {
    const Entry* entry;
    bool connected;
    int afterMs;
    int seconds;
    std::string text;
  };
  const Step steps[] = {
      {&alice, true, 0, 10, "User ^balice^n has connected."},
      {&bob, true, 900, 10, "2 users have connected."},
      {&carol, true, 900, 10, "3 users have connected."},
      {&carol, true, 100, 0, "3 users have connected."}, // 0 seconds: nothing at all
      {&bob, false, 100, 10, "User ^bbob^n has disconnected."},
      {&alice, true, 100, 10, "User ^balice^n has connected."},
      {&bob, true, 1500, 10, "User ^bbob^n has connected."},
      {&nobody, true, 1500, 10, "User ^b(anonymous)^n has connected."},
      {&caret, false, 1500, 10, "User ^ba^^b^n has disconnected."},
      // Control characters show as '?': a name stays on its line.
      {&lines, true, 1500, 10, "User ^bmallory??trusted^n has connected."},
  };
  for (const Step& s : steps) {
    clock.advanceMs(s.afterMs);
    notices.notify(*s.entry, s.connected, s.seconds);
    EXPECT_EQ(notices.text(), s.text);
  }
  EXPECT_TRUE(notices.isMapped());
  advance(10000);
  EXPECT_FALSE(notices.isMapped()) << "hidden after its seconds";
}

// Times the server sends are cut to what the hide timer holds: a negative
// one shows the notice for a second, not for good; a huge one does not
// overflow the milliseconds.
TEST_F(NotifyConnectDlgTest, HideTimesAreCutToWhatTheTimerHolds) {
  Entry alice("alice", "10.0.0.1", "1", 1);
  const struct {
    int seconds;
    int64_t shownMs; // still up this long after the notice
  } cases[] = {{-1, 999},
               {-2147483647 - 1, 999},
               {1, 999},
               {3000000, 2147483000 - 1},
               {2147483647, 2147483000 - 1}};
  for (const auto& c : cases) {
    serverconfig::NotifyConnectDlg notices(dpy);
    notices.notify(alice, true, c.seconds);
    advance(0);
    EXPECT_TRUE(notices.isMapped()) << c.seconds;
    clock.advanceMs(c.shownMs);
    timers.processTimers();
    EXPECT_TRUE(notices.isMapped()) << c.seconds;
    advance(1);
    EXPECT_FALSE(notices.isMapped()) << c.seconds;
  }
}

// The logo at the border, the text beside it, the popup flush in the
// screen's bottom-right corner.
TEST_F(NotifyConnectDlgTest, LogoAndTextInTheCorner) {
  serverconfig::NotifyConnectDlg notices(dpy);
  const int b = ui::NotificationDialog::borderWidth, w = ui::HalbrinLogo::logoWidth,
            h = ui::HalbrinLogo::logoHeight;
  EXPECT_EQ(notices.layout()->width(), w + 2 * b + serverconfig::NotifyConnectDlg::labelWidth);
  EXPECT_EQ(notices.layout()->height(), h + 2 * b);
  EXPECT_EQ(notices.layout()->getChildPosition(notices.layout()->childAt(0)), rfb::Point(b, b));
  notices.notify(Entry("alice", "10.0.0.1", "1", 0xFFFF), true, 4);
  XSync(dpy, False);
  XWindowAttributes attr;
  XGetWindowAttributes(dpy, notices.win(), &attr);
  int x, y;
  Window child;
  XTranslateCoordinates(dpy, notices.win(), DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
  EXPECT_EQ(x + attr.width, 800);
  EXPECT_EQ(y + attr.height, 600);
}

} // namespace
