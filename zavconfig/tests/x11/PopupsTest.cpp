// The connection prompt, in process on a private Xvfb: its texts, the
// countdown on a clock the test moves, and the answers of its links.
// gtest comes before the X headers, whose macros clash with it.
#include <gtest/gtest.h>

#include "zavconfig/QueryConnectDialog.h"

#include "plat/TimerManager.h"
#include "tx/TXWRootLayout.h"
#include "tx/TXWindow.h"
#include "ui/HalbrinLogo.h"
#include "wvw/FontProp.h"
#include "wvw/Style.h"
#include "zav/Access.h"

#include "ManualClock.h"
#include "XvfbServer.h"

#include <string>
#include <vector>

using zavconfig::QueryConnectDialog;

namespace {

class Popups : public ::testing::Test {
protected:
  Popups() : xvfb_("800x600x24") {
    dpy = XOpenDisplay(xvfb_.display().c_str());
    TXWindow::init(dpy, "Zavconfig");
  }
  ~Popups() override {
    TXWRootLayout::release(dpy);
    TXWindow::shutdown(dpy);
    XCloseDisplay(dpy);
  }
  // Moves the clock and runs the timers that are due.
  void advance(int ms) {
    clock.advanceMs(ms);
    timers.processTimers();
  }

  testing_support::XvfbServer xvfb_;
  testing_support::ManualClock clock;
  plat::TimerManager timers;
  Display* dpy = nullptr;
};

struct Answers : zavconfig::QueryResultCallback {
  void queryResult(zav::Access::Rights rights) override { results.push_back(rights.value()); }
  void queryTimedOut() override { timedOut++; }
  std::vector<int> results;
  int timedOut = 0;
};

TEST_F(Popups, QueryTextsEscapeAndBoundTheUserName) {
  struct Case {
    const char* user;
    int seconds;
    uint16_t timeoutRights;
    std::string message;
  };
  std::string longName(100, 'n');
  // A two-byte character across the cut is not split.
  std::string splitName = std::string(63, 'a') + "\xc3\xa9" + "zzz";
  const std::string tail = " is requesting remote access to your computer.\n\nIf you do nothing "
                           "within the next ^b";
  const Case cases[] = {
      {"eve", 10, zav::Access::NoAccess,
       "User ^beve^n" + tail +
           "10^n seconds then the request "
           "will be ^brejected^n."},
      {"a^b^n", 0, zav::Access::NoAccess,
       "User ^ba^^b^^n^n" + tail +
           "0^n seconds then the "
           "request will be ^brejected^n."},
      {"eve", 3, zav::Access::View,
       "User ^beve^n" + tail +
           "3^n seconds then the request will be "
           "^baccepted^n."},
      {nullptr, 1, zav::Access::NoAccess,
       "User ^b^n" + tail +
           "1^n seconds then the request will "
           "be ^brejected^n."},
      {longName.c_str(), 1, zav::Access::NoAccess,
       "User ^b" + std::string(64, 'n') + "...^n" + tail +
           "1^n seconds then the request will be ^brejected^n."},
      {splitName.c_str(), 1, zav::Access::NoAccess,
       "User ^b" + std::string(63, 'a') + "...^n" + tail +
           "1^n seconds then the request will be ^brejected^n."},
      // A name cannot start lines of its own that read as part of the
      // prompt: control characters show as '?'.
      {"eve\n\nfrom trusted-host\r\t\x1b\x7f", 1, zav::Access::NoAccess,
       "User ^beve??from trusted-host????^n" + tail +
           "1^n seconds then the request will be ^brejected^n."},
  };
  for (const Case& c : cases)
    EXPECT_EQ(QueryConnectDialog::makeMessage(c.user, c.seconds, c.timeoutRights).c_str(),
              c.message);
  const std::string bullet = "^b\xe2\x80\xa2^n ";
  EXPECT_EQ(std::string(QueryConnectDialog::makeChoices(zav::Access::Full).c_str()),
            bullet + "^1{Accept^}\n\n" + bullet + "^2{View-only^}\n\n" + bullet + "^3{Reject^}");
  // Offering view only leaves that choice out; the link numbers stay.
  EXPECT_EQ(std::string(QueryConnectDialog::makeChoices(zav::Access::View).c_str()),
            bullet + "^1{Accept^}\n\n" + bullet + "^3{Reject^}");
}

TEST_F(Popups, QueryCountsDownAndTimesOutOneSecondAfterZero) {
  Answers answers;
  QueryConnectDialog prompt(dpy, "eve", zav::Access::Full, zav::Access::NoAccess, 2, &answers);
  prompt.popUp(-1);
  EXPECT_TRUE(prompt.isMapped());
  for (int left : {1, 0}) {
    advance(1000);
    EXPECT_EQ(prompt.secondsLeft(), left);
    EXPECT_NE(std::string(prompt.messageText()).find("^b" + std::to_string(left) + "^n seconds"),
              std::string::npos);
    EXPECT_EQ(answers.timedOut, 0);
  }
  advance(1000);
  EXPECT_EQ(answers.timedOut, 1);
  EXPECT_FALSE(prompt.isMapped());
  advance(5000); // the timer lapsed
  EXPECT_EQ(answers.timedOut, 1);
  EXPECT_TRUE(answers.results.empty());
}

TEST_F(Popups, QueryLinksAnswerAndEndThePrompt) {
  const std::pair<int, std::vector<int>> cases[] = {{1, {0xFFFF}}, {2, {1}}, {3, {0}}, {7, {}}};
  for (const auto& c : cases) {
    Answers answers;
    QueryConnectDialog prompt(dpy, "eve", zav::Access::Full, zav::Access::NoAccess, 5, &answers);
    prompt.popUp(-1);
    prompt.linkClicked(c.first);
    EXPECT_EQ(answers.results, c.second) << c.first;
    EXPECT_FALSE(prompt.isMapped());
    advance(10000);
    EXPECT_EQ(answers.timedOut, 0) << "the countdown stopped";
  }
}

// The logo at the border, the message and the choices beside it, and the
// popup as high as its text needs with a little white below it (never less
// than 72 pixels), in the fonts zavconfig draws with.
TEST_F(Popups, QueryPromptLaysOutLogoMessageAndChoices) {
  wvw::Style* style = wvw::Widget::getDefaultStyle();
  struct FontBack {
    wvw::Style* style;
    wvw::Font* font;
    ~FontBack() { style->font = font; }
  } back{style, style->font};
  style->font = &wvw::FontProp::helv15_u;
  Answers answers;
  QueryConnectDialog prompt(dpy, "eve", zav::Access::Full, zav::Access::NoAccess, 30, &answers);
  const int b = ui::NotificationDialog::borderWidth, w = ui::HalbrinLogo::logoWidth;
  wvw::WLayout* layout = prompt.layout();
  ASSERT_EQ(layout->numChildren(), 3);
  EXPECT_EQ(layout->getChildPosition(layout->childAt(0)), rfb::Point(b, b));
  rfb::Rect message = layout->getChildRect(layout->childAt(1));
  rfb::Rect choices = layout->getChildRect(prompt.choicesLabel());
  EXPECT_EQ(message, rfb::Rect(w + b, b, w + b + 250, message.br.y));
  EXPECT_EQ(choices, rfb::Rect(w + b + 250, b, w + b + 330, message.br.y));
  EXPECT_GE(message.height(), 72);
  int prefW, prefH;
  layout->childAt(1)->getPreferredSize(&prefW, &prefH);
  EXPECT_GE(message.height(), prefH + 3)
      << "a line of the message is cut off, or its descenders touch the border";
  EXPECT_EQ(layout->width(), w + 2 * b + 330);
  EXPECT_EQ(layout->height(), message.height() + 2 * b);
}

TEST_F(Popups, TheDefaultTimeOutAnswersNoRights) {
  struct Plain : zavconfig::QueryResultCallback {
    void queryResult(zav::Access::Rights rights) override { got = rights.value(); }
    int got = -1;
  } plain;
  plain.queryTimedOut();
  EXPECT_EQ(plain.got, 0);
}

} // namespace
