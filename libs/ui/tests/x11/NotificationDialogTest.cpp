// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "ui/NotificationDialog.h"

#include "ui/HalbrinLogo.h"
#include "wvw/FontProp.h"
#include "wvw/Style.h"
#include "wvw/WLabelMarkedUp.h"

#include "ManualClock.h"
#include "TxModalScript.h"
#include "TxTestDisplay.h"
#include "TxTestWidgets.h"

#include <sys/stat.h>

using testing_support::ManualClock;
using testing_support::overrideRedirect;
using testing_support::TxTestDisplay;

namespace {

class NotificationTest : public ::testing::Test {
protected:
  NotificationTest() { popup.layout()->setSize(300, 100); }
  ~NotificationTest() override { popup.layout()->removeChild(&patch); }
  // Moves the clock on in 20 ms steps, serving events and timers.
  void advance(int ms) {
    for (int t = 0; t < ms; t += 20) {
      clock.advanceMs(20);
      x.pumpOnce(1);
    }
  }
  bool viewable() {
    XWindowAttributes attr;
    XGetWindowAttributes(x.dpy, popup.win(), &attr);
    return attr.map_state == IsViewable;
  }
  unsigned long pixel(int px, int py) {
    XImage* image = XGetImage(x.dpy, popup.win(), px, py, 1, 1, AllPlanes, ZPixmap);
    unsigned long p = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return p & 0xFFFFFF;
  }

  ManualClock clock;
  TxTestDisplay x{"1280x1024x24"};
  ui::NotificationDialog popup{x.dpy};
  Patch patch{rfb::Colour(255, 0, 0)};
};

} // namespace

TEST_F(NotificationTest, StandsInTheBottomRightCornerAndHidesOnItsTimer) {
  popup.popUp(5000);
  ASSERT_TRUE(x.pumpUntil([&] { return viewable() && popup.getImage(); }));
  int px = 0, py = 0;
  popup.positionOnRoot(&px, &py);
  EXPECT_EQ(rfb::Point(px, py), rfb::Point(980, 924));
  EXPECT_EQ(popup.width(), 300);
  EXPECT_EQ(popup.height(), 100);
  EXPECT_TRUE(overrideRedirect(x.dpy, popup.win()));
  advance(3000);
  EXPECT_TRUE(viewable());
  popup.popUp(5000); // restarts the count
  advance(4000);
  EXPECT_TRUE(viewable());
  advance(1500);
  EXPECT_FALSE(viewable());
  EXPECT_FALSE(popup.isHideTimerRunning());
}

TEST_F(NotificationTest, WithoutTimeOutItStaysUp) {
  popup.popUp(0);
  ASSERT_TRUE(x.pumpUntil([&] { return viewable() && popup.getImage(); }));
  EXPECT_FALSE(popup.isHideTimerRunning());
  advance(2000);
  EXPECT_TRUE(viewable());
}

TEST_F(NotificationTest, BlackBorderOverWhiteAndChildrenAtTheEdgeCoverIt) {
  popup.layout()->addChildSized(&patch, rfb::Rect(250, 0, 300, 30));
  popup.popUp(0);
  ASSERT_TRUE(x.pumpUntil([&] { return viewable() && popup.getImage(); }));
  advance(100);
  EXPECT_EQ(pixel(0, 50), 0x000000ul);
  EXPECT_EQ(pixel(150, 0), 0x000000ul);
  EXPECT_EQ(pixel(150, 99), 0x000000ul);
  EXPECT_EQ(pixel(299, 50), 0x000000ul);
  EXPECT_EQ(pixel(1, 50), 0xFFFFFFul);
  EXPECT_EQ(pixel(150, 98), 0xFFFFFFul);
  EXPECT_EQ(pixel(299, 0), 0xFF0000ul); // the patch covers the corner
}

// A notice as the connection notices make it: the logo at the left and a
// marked-up text in the proportional fonts beside it, inside the border.
// The picture of it is left in the build tree to be looked at.
TEST_F(NotificationTest, ShowsANoticeOfLogoAndText) {
  const int b = ui::NotificationDialog::borderWidth;
  const int w = ui::HalbrinLogo::logoWidth, h = ui::HalbrinLogo::logoHeight;
  const int textWidth = 180;
  wvw::Style textStyle(*wvw::Widget::getDefaultStyle());
  textStyle.background = wvw::Widget::White;
  textStyle.font = &wvw::FontProp::helv15_u;
  ui::HalbrinLogo logo;
  wvw::WLabelMarkedUp text(nullptr, "User ^balice^n has connected.");
  text.setStyle(&textStyle);
  popup.layout()->addChildAt(&logo, rfb::Point(b, b));
  popup.layout()->addChildSized(&text, rfb::Rect(w + b, b, w + b + textWidth, h));
  popup.layout()->setSize(w + 2 * b + textWidth, h + 2 * b);
  std::vector<std::string> runs;
  for (const wvw::WLabelMarkedUp::Run& r : text.getRuns())
    runs.push_back(std::string(r.font == &wvw::FontProp::helvB15_u  ? "bold "
                               : r.font == &wvw::FontProp::helv15_u ? ""
                                                                    : "other ") +
                   r.text);
  EXPECT_EQ(runs, std::vector<std::string>({"User ", "bold alice", " has connected."}));
  popup.popUp(0);
  ASSERT_TRUE(x.pumpUntil([&] { return viewable() && popup.getImage(); }));
  advance(100);
  // Black text over white in the label; the border all round.
  XImage* shown = XGetImage(x.dpy, popup.win(), w + b, b, unsigned(textWidth), unsigned(h - b),
                            AllPlanes, ZPixmap);
  ASSERT_NE(shown, nullptr);
  int dark = 0, white = 0;
  for (int py = 0; py < h - b; py++)
    for (int px = 0; px < textWidth; px++) {
      unsigned long p = XGetPixel(shown, px, py) & 0xFFFFFF;
      dark += p == 0;
      white += p == 0xFFFFFF;
    }
  XDestroyImage(shown);
  EXPECT_GT(dark, 100);
  EXPECT_GT(white, textWidth * (h - b) / 2);
  EXPECT_EQ(pixel(0, h / 2), 0x000000ul);
  EXPECT_EQ(pixel(w + 2 * b + textWidth - 1, h / 2), 0x000000ul);
  EXPECT_EQ(pixel(w + textWidth / 2, h + 2 * b - 1), 0x000000ul);
  std::string path = testing_support::screenshot(x, popup.win(), "notification");
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  popup.layout()->removeChild(&text);
  popup.layout()->removeChild(&logo);
}
