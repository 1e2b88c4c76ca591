// Sliders: thumb size and place, clamping, ranges, pressing beside the thumb
// and dragging it.
#include "wvw/WSlider.h"

#include "wvw/WCanvas.h"
#include "wvw/WHSlider.h"
#include "wvw/WVSlider.h"

#include "GoldenImage.h"
#include "WidgetTestHost.h"

#include <gtest/gtest.h>

using rfb::Point;
using rfb::Rect;
using testing_support::WidgetTestHost;

TEST(WSlider, ThumbSizeIsThePagesShare) {
  struct Case {
    int length, min, max, page, thumb;
  } cases[] = {
      {100, 0, 400, 100, 20}, {100, 0, 1000, 1, 8}, {100, 0, 0, 1, 100},
      {100, 0, 100, 100, 50}, {5, 0, 1000, 1, 5},   {100, 10, 5, 1, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.thumb);
    wvw::WHSlider s;
    s.setSize(c.length, 16);
    s.setRange(c.min, c.max);
    s.setPageSize(c.page);
    EXPECT_EQ(s.getThumbSize(), Point(c.thumb, 16));
  }
}

TEST(WSlider, PositionClampsAndPlacesTheThumb) {
  wvw::WHSlider s;
  s.setSize(100, 16);
  s.setRange(0, 400);
  s.setPageSize(100);
  s.setValue(200);
  EXPECT_EQ(s.thumbRect(), Rect(40, 0, 60, 16));
  s.setValue(1000);
  EXPECT_EQ(s.getValue(), 400);
  EXPECT_EQ(s.thumbRect(), Rect(80, 0, 100, 16));
  s.setPosition(Point(-5, 7)); // the other axis has no room
  EXPECT_EQ(s.getPosition(), Point(0, 0));
  s.setSize(200, 16); // the thumb follows the size
  EXPECT_EQ(s.getThumbSize().x, 40);
}

TEST(WSlider, SetRangeKeepsThePosition) {
  wvw::WVSlider s;
  s.setSize(16, 100);
  s.setRange(0, 100);
  s.setValue(30);
  s.setRange(5, 50);
  EXPECT_EQ(s.getPosition().y, 30);
  EXPECT_EQ(s.getValue(), 35);
  s.setRange(0, 10);
  EXPECT_EQ(s.getValue(), 10);
}

namespace {
struct Tree {
  Tree() {
    root.addChildSized(&s, Rect(0, 0, 100, 16));
    root.setSize(100, 40);
    s.setRange(0, 400);
    s.setPageSize(100);
    s.setValue(200); // thumb 40-60
    host.attach(&root);
  }
  wvw::WCanvas root;
  wvw::WHSlider s;
  WidgetTestHost host;
};
} // namespace

TEST(WSlider, PressBesideTheThumbStepsOnce) {
  Tree t;
  t.host.pointer(10, 8, 1);
  t.host.pointer(10, 8, 0);
  EXPECT_EQ(t.s.getValue(), 199);
  t.host.pointer(90, 8, 1);
  t.host.pointer(90, 8, 0);
  EXPECT_EQ(t.s.getValue(), 200);
  t.host.pointer(60, 8, 1); // the right edge is beyond the thumb
  t.host.pointer(60, 8, 0);
  EXPECT_EQ(t.s.getValue(), 201);
  EXPECT_FALSE(t.s.isDragging());
}

TEST(WSlider, DraggingTheThumb) {
  Tree t;
  t.host.pointer(45, 8, 1);
  EXPECT_TRUE(t.s.isDragging());
  t.host.pointer(65, 8, 1); // 20 pixels of 80 are 100 units
  EXPECT_EQ(t.s.getValue(), 300);
  t.host.pointer(500, 30, 1);
  EXPECT_EQ(t.s.getValue(), 400);
  t.host.pointer(-500, 8, 1);
  EXPECT_EQ(t.s.getValue(), 0);
  t.host.pointer(25, 8, 0); // moved to 20 (100 units), then released
  EXPECT_FALSE(t.s.isDragging());
  EXPECT_EQ(t.s.getValue(), 100);
  t.host.pointer(70, 8, 0); // no longer dragging
  EXPECT_EQ(t.s.getValue(), 100);
}

TEST(WSlider, NoRoomOnAnAxisKeepsPositionZero) {
  wvw::WCanvas root;
  wvw::WHSlider s;
  root.addChildSized(&s, Rect(0, 0, 100, 16));
  root.setSize(100, 16);
  WidgetTestHost host;
  host.attach(&root);
  s.setRange(0, 0);
  host.pointer(50, 8, 1);
  host.pointer(90, 8, 1);
  host.pointer(90, 8, 0);
  EXPECT_EQ(s.getPosition(), Point(0, 0));
}

TEST(WSlider, Looks) {
  wvw::WCanvas root;
  wvw::WHSlider h;
  wvw::WVSlider v;
  root.addChildSized(&h, Rect(2, 2, 102, 18));
  root.addChildSized(&v, Rect(106, 2, 122, 102));
  root.setSize(124, 104);
  h.setRange(0, 400);
  h.setPageSize(100);
  h.setValue(100);
  v.setRange(0, 10);
  v.setPageSize(10);
  v.setValue(10);
  WidgetTestHost host;
  host.attach(&root);
  host.pointer(110, 90, 1); // dragging v: its bevel is sunken
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, root.width(), root.height());
  pb.fillRect(pb.getRect(), 0xFF00FF);
  host.paint(&pb);
  EXPECT_TRUE(v.isDragging());
  EXPECT_TRUE(matchesGolden(pb, "sliders"));
}
