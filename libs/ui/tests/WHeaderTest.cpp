#include "ui/WHeader.h"

#include "RecordingHandler.h"
#include "WidgetTestHost.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using testing_support::RecordingHandler;
using testing_support::WidgetTestHost;

struct HeaderFixture : ::testing::Test {
  HeaderFixture() : header("Name", "Value") {
    header.setSize(300, 20);
    handler.name(&header, "H");
    header.setInputHandler(&handler);
    host.attach(&header);
  }
  int leftWidth() {
    int w, h;
    wvw::WLabel probe("Name", 0);
    probe.getPreferredSize(&w, &h);
    return w;
  }
  int rightWidth() {
    int w, h;
    wvw::WLabel probe("Value", 0);
    probe.getPreferredSize(&w, &h);
    return w;
  }
  // Presses on the separator's middle and drags the pointer to x.
  void drag(int x) {
    int mid = header.getDividerRect().tl.x + 8;
    host.pointer(mid, 10, 0);
    host.pointer(mid, 10, 1);
    host.pointer(x, 10, 1);
    host.pointer(x, 10, 0);
  }
  int changes() {
    return int(std::count(handler.events.begin(), handler.events.end(), "change H"));
  }

  ui::WHeader header;
  RecordingHandler handler;
  WidgetTestHost host;
};

TEST_F(HeaderFixture, StartsWithTheDividerAfterTheLeftTitle) {
  EXPECT_EQ(leftWidth(), header.getDividerPosition().x);
  EXPECT_EQ(0, header.getDividerPosition().y);
  rfb::Rect r = header.getDividerRect();
  EXPECT_EQ(16, r.width());
  EXPECT_EQ(18, r.height());
  int w, h;
  header.getPreferredSize(&w, &h);
  EXPECT_EQ(16 + leftWidth() + rightWidth(), w);
  EXPECT_FALSE(header.acceptsFocus());
}

TEST_F(HeaderFixture, DraggingFarRightStopsWhereTheRightTitleStillFits) {
  drag(1000);
  EXPECT_EQ(300 - 16 - rightWidth(), header.getDividerPosition().x);
  EXPECT_EQ(1, changes());
  EXPECT_FALSE(header.isDragging());
}

TEST_F(HeaderFixture, DraggingFarLeftStopsHalfASeparatorRightOfTheLeftTitle) {
  header.setDividerPosition(150);
  header.setSize(300, 21);
  drag(-500);
  EXPECT_EQ(leftWidth() + 8, header.getDividerPosition().x);
  EXPECT_EQ(1, changes());
}

TEST_F(HeaderFixture, TheLowerBoundWinsWhenTheBoundsCross) {
  header.setSize(leftWidth() + 10, 20);
  drag(1000);
  EXPECT_EQ(leftWidth() + 8, header.getDividerPosition().x);
}

TEST_F(HeaderFixture, MovingWithoutADragChangesNothing) {
  int before = header.getDividerPosition().x;
  int mid = header.getDividerRect().tl.x + 8;
  host.pointer(mid, 10, 0);
  host.pointer(mid + 40, 10, 0);
  EXPECT_EQ(before, header.getDividerPosition().x);
  EXPECT_EQ(0, changes());
}

TEST_F(HeaderFixture, LeavingTheSeparatorEndsTheDrag) {
  int mid = header.getDividerRect().tl.x + 8;
  host.pointer(mid, 10, 0);
  host.pointer(mid, 10, 1);
  EXPECT_TRUE(header.isDragging());
  host.leave();
  EXPECT_FALSE(header.isDragging());
}

} // namespace
