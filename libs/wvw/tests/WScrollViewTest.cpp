// Scroll bars and the scroll view: when the bars appear and how they are
// laid out, ranges, clipping, arrows with auto-repeat, paging and the wheel.
#include "wvw/WScrollView.h"

#include "rfb/KeysymNames.h"
#include "wvw/WCanvas.h"

#include "GoldenImage.h"
#include "ManualClock.h"
#include "PixelProbe.h"
#include "TestWidgets.h"
#include "WidgetTestHost.h"

#include "plat/TimerManager.h"

#include <gtest/gtest.h>

#include <vector>

using rfb::Point;
using rfb::Rect;
using testing_support::ManualClock;
using testing_support::WidgetTestHost;

namespace keys = rfb::keys;

namespace {

// A view at (0, 0) of the given size in a root, holding a patch.
struct Tree {
  Tree(int w, int h, int cw, int ch) {
    content.setSize(cw, ch);
    root.addChildSized(&view, Rect(0, 0, w, h));
    root.setSize(w + 10, h + 10);
    host.attach(&root);
    view.setChild(&content);
  }
  ManualClock clock;
  plat::TimerManager timers;
  wvw::WCanvas root;
  wvw::WScrollView view;
  Patch content;
  WidgetTestHost host;
};

} // namespace

TEST(WScrollView, WhenTheBarsAppear) {
  struct Case {
    int w, h, cw, ch;
    bool hbar, vbar;
    Rect hRect, vRect;
    int hMax, vMax;
  } cases[] = {
      {200, 200, 300, 200, true, true, Rect(0, 184, 184, 200), Rect(184, 0, 200, 184), 116, 16},
      {200, 200, 150, 150, false, false, Rect(), Rect(), 0, 0},
      {200, 200, 200, 200, false, false, Rect(), Rect(), 0, 0},
      {200, 200, 180, 300, false, true, Rect(), Rect(184, 0, 200, 200), 0, 100},
      {200, 200, 190, 300, true, true, Rect(0, 184, 184, 200), Rect(184, 0, 200, 184), 6, 116},
      {200, 200, 190, 190, false, false, Rect(), Rect(), 0, 0},
      {200, 200, 300, 190, true, true, Rect(0, 184, 184, 200), Rect(184, 0, 200, 184), 116, 6},
      {200, 200, 300, 180, true, false, Rect(0, 184, 200, 200), Rect(), 100, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.cw << "x" << c.ch);
    Tree t(c.w, c.h, c.cw, c.ch);
    EXPECT_EQ(t.view.getHBar()->isVisible(), c.hbar);
    EXPECT_EQ(t.view.getVBar()->isVisible(), c.vbar);
    if (c.hbar) {
      EXPECT_EQ(t.view.getChildRect(t.view.getHBar()), c.hRect);
      EXPECT_EQ(t.view.getHBar()->getSlider()->getMaximum(), c.hMax);
    }
    if (c.vbar) {
      EXPECT_EQ(t.view.getChildRect(t.view.getVBar()), c.vRect);
      EXPECT_EQ(t.view.getVBar()->getSlider()->getMaximum(), c.vMax);
    }
    Point size = t.view.getViewSize();
    EXPECT_EQ(size, Point(c.w - (c.vbar ? 16 : 0), c.h - (c.hbar ? 16 : 0)));
  }
}

TEST(WScrollView, ScrollingMovesTheClipAndClamps) {
  Tree t(200, 200, 300, 200);
  t.view.setScrollPosition(Point(50, 10));
  EXPECT_EQ(t.view.getVisibleRect(), Rect(50, 10, 234, 194));
  EXPECT_EQ(t.view.getChildRect(t.view.getClip()), Rect(-50, -10, 184, 184));
  t.view.scrollBy(Point(1000, 1000));
  EXPECT_EQ(t.view.getVisibleRect().tl, Point(116, 16));
  // The content shrinks: the positions are clamped and the view follows.
  t.content.setSize(250, 190);
  EXPECT_EQ(t.view.getVisibleRect().tl, Point(66, 6));
  EXPECT_EQ(t.view.getChildRect(t.view.getClip()).tl, Point(-66, -6));
  // Small enough to fit: no bars, back at (0, 0).
  t.content.setSize(150, 150);
  EXPECT_FALSE(t.view.getHBar()->isVisible());
  EXPECT_EQ(t.view.getVisibleRect(), Rect(0, 0, 200, 200));
  EXPECT_EQ(t.view.getHBar()->getSlider()->getPosition(), Point(0, 0));
  EXPECT_EQ(t.view.getChildRect(t.view.getClip()), Rect(0, 0, 200, 200));
}

TEST(WScrollView, RemovingTheContentResets) {
  Tree t(200, 200, 300, 300);
  t.view.setScrollPosition(Point(20, 30));
  t.view.setChild(nullptr);
  EXPECT_EQ(t.content.getContainer(), nullptr);
  EXPECT_FALSE(t.view.getHBar()->isVisible());
  EXPECT_FALSE(t.view.getVBar()->isVisible());
  EXPECT_EQ(t.view.getVisibleRect().tl, Point(0, 0));
}

TEST(WScrollView, WheelScrollsAQuarterOfTheView) {
  Tree t(200, 400, 300, 2000);
  // Wheel down (button 4) over the content: 400 / 4.
  t.host.pointer(50, 50, 16);
  t.host.pointer(50, 50, 0);
  EXPECT_EQ(t.view.getVisibleRect().tl, Point(0, 100));
  t.host.pointer(50, 50, 8);
  t.host.pointer(50, 50, 0);
  t.host.pointer(50, 50, 8);
  t.host.pointer(50, 50, 0);
  EXPECT_EQ(t.view.getVisibleRect().tl, Point(0, 0));
  // With Control and both bars: right by a quarter of the width.
  t.host.held.insert(keys::Control_L);
  t.host.pointer(50, 50, 16);
  t.host.pointer(50, 50, 0);
  EXPECT_EQ(t.view.getVisibleRect().tl, Point(50, 0));
  // A wheel notch over a bar does not scroll the view by a quarter.
  t.host.held.clear();
  t.host.pointer(20, 395, 16);
  t.host.pointer(20, 395, 0);
  EXPECT_EQ(t.view.getVisibleRect().tl, Point(50, 0));
}

TEST(WScrollBar, HeldArrowRepeatsAndStopsAtTheEnd) {
  Tree t(100, 100, 80, 110); // a vertical bar only, range 0..10
  wvw::WVScrollBar* bar = t.view.getVBar();
  ASSERT_EQ(bar->getSlider()->getMaximum(), 10);
  // The down arrow is the bottom square of the bar at (84, 0)-(100, 100).
  t.host.pointer(92, 92, 1);
  std::vector<int> steps;
  for (int ms = 1; ms <= 3000; ms++) {
    t.clock.advanceMs(1);
    int before = bar->getValue();
    t.timers.processTimers();
    if (bar->getValue() != before)
      steps.push_back(ms);
  }
  ASSERT_GE(steps.size(), 3u);
  EXPECT_EQ(steps[0], 300);
  EXPECT_EQ(steps[1], 540);
  EXPECT_EQ(steps[2], 732);
  EXPECT_EQ(bar->getValue(), 10);
  EXPECT_EQ(t.view.getVisibleRect().tl, Point(0, 10));
  t.host.pointer(92, 92, 0);
  EXPECT_EQ(bar->getValue(), 10);
  // The up arrow at 0 leaves 0.
  bar->setValue(0);
  t.host.pointer(92, 8, 1);
  t.host.pointer(92, 8, 0);
  EXPECT_EQ(bar->getValue(), 0);
}

TEST(WScrollBar, PressOnTheTrackPages) {
  wvw::WCanvas root;
  wvw::WHScrollBar bar;
  root.addChildSized(&bar, Rect(0, 0, 232, 16)); // slider 16..216, 200 long
  root.setSize(232, 16);
  WidgetTestHost host;
  host.attach(&root);
  bar.setRange(0, 1000);
  bar.setPageSize(200);
  // The thumb: (200/2 + 200 * 200) / 1200 = 33 pixels at 0.
  host.pointer(150, 8, 1);
  host.pointer(150, 8, 0);
  EXPECT_EQ(bar.getValue(), 201); // one unit, then a page of 200
  host.pointer(20, 8, 1);
  host.pointer(20, 8, 0);
  EXPECT_EQ(bar.getValue(), 0);
  bar.setValue(990);
  host.pointer(20, 8, 1);
  host.pointer(20, 8, 0);
  EXPECT_EQ(bar.getValue(), 789);
  bar.setValue(990);
  host.pointer(30, 8, 1);
  host.pointer(30, 8, 0);
  EXPECT_EQ(bar.getValue(), 789);
  bar.setValue(900);
  host.pointer(200, 8, 1);
  host.pointer(200, 8, 0);
  EXPECT_EQ(bar.getValue(), 1000);
}

TEST(WScrollView, Looks) {
  wvw::WCanvas root;
  wvw::WScrollView view;
  Patch content(wvw::Widget::Red);
  content.setSize(300, 200);
  root.addChildSized(&view, Rect(2, 2, 122, 92));
  root.setSize(124, 94);
  WidgetTestHost host;
  host.attach(&root);
  view.setChild(&content);
  view.setScrollPosition(Point(60, 40));
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, root.width(), root.height());
  pb.fillRect(pb.getRect(), 0xFF00FF);
  host.paint(&pb);
  EXPECT_TRUE(matchesGolden(pb, "scroll-view"));
  // The content is cut clear of the bars.
  EXPECT_EQ(boxOf(pb, wvw::Widget::Red), Rect(2, 2, 106, 76));
}
