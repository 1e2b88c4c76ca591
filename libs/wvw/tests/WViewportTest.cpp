// Viewports: when the bars appear, their ranges and pages, the child's
// rectangle and the scroll notices.
#include "wvw/WViewport.h"

#include "wvw/WCanvas.h"

#include "TestWidgets.h"
#include "WidgetTestHost.h"

#include <gtest/gtest.h>

#include <vector>

using rfb::Point;
using rfb::Rect;
using testing_support::WidgetTestHost;

namespace {

struct Child : Patch, wvw::WViewportChild {
  void onScroll(const Point& p) override { scrolls.push_back(p); }
  std::vector<Point> scrolls;
};

struct Tree {
  Tree(int w, int h, int cw, int ch) {
    root.addChildSized(&view, Rect(0, 0, w, h));
    root.setSize(w, h);
    host.attach(&root);
    view.setViewportChild(&child);
    view.setChild(&child);
    view.setContentSize(Point(cw, ch));
  }
  wvw::WCanvas root;
  wvw::WViewport view;
  Child child;
  WidgetTestHost host;
};

} // namespace

TEST(WViewport, WhenTheBarsAppear) {
  struct Case {
    int cw, ch;
    bool h, v;
    Point viewSize;
    int hMax, vMax;
  } cases[] = {
      {100, 100, false, false, Point(100, 100), 0, 0},
      {100, 101, true, true, Point(84, 84), 16, 17},
      {50, 101, false, true, Point(84, 100), 0, 1},
      {101, 50, true, false, Point(100, 84), 1, 0},
      {0, 0, false, false, Point(100, 100), 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.cw << "x" << c.ch);
    Tree t(100, 100, c.cw, c.ch);
    EXPECT_EQ(t.view.isHBarShown(), c.h);
    EXPECT_EQ(t.view.isVBarShown(), c.v);
    EXPECT_EQ(t.view.getHScrollBar()->isVisible(), c.h);
    EXPECT_EQ(t.view.getVScrollBar()->isVisible(), c.v);
    EXPECT_EQ(t.view.getViewSize(), c.viewSize);
    EXPECT_EQ(t.view.getChildRect(&t.child), Rect(0, 0, c.viewSize.x, c.viewSize.y));
    EXPECT_EQ(t.view.getHScrollBar()->getSlider()->getMaximum(), c.hMax);
    EXPECT_EQ(t.view.getVScrollBar()->getSlider()->getMaximum(), c.vMax);
  }
}

TEST(WViewport, BarPlacesAndPagesAreTheContentSize) {
  Tree t(100, 100, 300, 200);
  EXPECT_EQ(t.view.getChildRect(t.view.getVScrollBar()), Rect(84, 0, 100, 100));
  EXPECT_EQ(t.view.getChildRect(t.view.getHScrollBar()), Rect(0, 84, 84, 100));
  EXPECT_EQ(t.view.getVScrollBar()->getSlider()->getPage().y, 200);
  EXPECT_EQ(t.view.getHScrollBar()->getSlider()->getPage().x, 300);
}

TEST(WViewport, ScrollingTellsTheChild) {
  Tree t(100, 100, 300, 200);
  t.view.setScrollPosition(Point(30, 40));
  ASSERT_FALSE(t.child.scrolls.empty());
  EXPECT_EQ(t.child.scrolls.back(), Point(30, 40));
  t.child.scrolls.clear();
  t.view.getVScrollBar()->setValue(1000); // clamped to 200 - 84
  EXPECT_EQ(t.child.scrolls, std::vector<Point>{Point(30, 116)});
  // Shown no more: the bar's range shrinks and the position with it.
  t.view.setContentSize(Point(50, 50));
  EXPECT_FALSE(t.view.isVBarShown());
  EXPECT_EQ(t.child.scrolls.back(), Point(0, 0));
  t.view.setChild(nullptr);
  EXPECT_EQ(t.child.getContainer(), nullptr);
}
