// Canvases, frames, panels, check marks and progress bars.
#include "wvw/WFrame.h"

#include "wvw/Style.h"
#include "wvw/WBevelledProgressBar.h"
#include "wvw/WCanvas.h"
#include "wvw/WCheck.h"
#include "wvw/WLabel.h"
#include "wvw/WPanel.h"
#include "wvw/WProgressBar.h"

#include "GoldenImage.h"
#include "PixelProbe.h"
#include "RecordingHandler.h"
#include "TestWidgets.h"
#include "WidgetTestHost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using rfb::Point;
using rfb::Rect;
using testing_support::RecordingHandler;
using testing_support::WidgetTestHost;
using wvw::Widget;
using Events = std::vector<std::string>;

TEST(WFrame, PreferredSizeAndFit) {
  Patch child;
  wvw::WFrame frame(false);
  frame.addChildSized(&child, Rect(0, 0, 20, 10));
  int w, h;
  frame.getPreferredSize(&w, &h);
  EXPECT_EQ(w, 24);
  EXPECT_EQ(h, 14);
  frame.fit();
  EXPECT_EQ(frame.getChildRect(&child), Rect(3, 3, 23, 13));
  EXPECT_EQ(frame.width(), 26);
  EXPECT_EQ(frame.height(), 16);
}

TEST(WFrame, BevelAroundTheBackground) {
  for (bool sunken : {false, true}) {
    SCOPED_TRACE(sunken);
    wvw::WFrame frame(sunken);
    frame.setSize(20, 10);
    rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, 20, 10);
    frame.draw(&pb);
    rfb::Colour light = sunken ? Widget::BevelLow : Widget::BevelHigh;
    rfb::Colour dark = sunken ? Widget::BevelHigh : Widget::BevelLow;
    EXPECT_TRUE(isColour(pb, 0, 0, light));
    EXPECT_TRUE(isColour(pb, 19, 9, dark));
    EXPECT_TRUE(isColour(pb, 1, 1, light));
    EXPECT_TRUE(isColour(pb, 10, 5, Widget::BevelBg));
  }
}

TEST(WCanvas, PaintsTheBackgroundUnderItsChildren) {
  Patch child(Widget::Red);
  wvw::WCanvas canvas;
  canvas.addChildSized(&child, Rect(5, 5, 10, 10));
  canvas.setSize(20, 20);
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, 20, 20);
  pb.fillRect(pb.getRect(), 0xFF00FF);
  canvas.draw(&pb);
  EXPECT_EQ(countColour(pb, Widget::BevelBg), 400 - 25);
  EXPECT_EQ(countColour(pb, Widget::Red), 25);
}

TEST(WPanel, LayoutAndEnabledState) {
  wvw::WPanel panel("Title");
  wvw::WLabel* title = panel.getTitle();
  // 5 characters plus the label's margins, one line of the 8 x 16 font
  EXPECT_EQ(title->width(), 48);
  EXPECT_EQ(title->height(), 16);
  Patch inside;
  panel.getContent()->addChildSized(&inside, Rect(0, 0, 60, 30));
  int w, h;
  panel.getPreferredSize(&w, &h);
  EXPECT_EQ(w, 60 + 12);
  EXPECT_EQ(h, 16 + 30 + 12);
  panel.setSize(w, h);
  EXPECT_EQ(panel.getChildRect(title), Rect(10, 0, 58, 16));
  // the content lies within the border on both sides
  EXPECT_EQ(panel.getChildRect(panel.getContent()), Rect(6, 22, 66, 52));
  panel.setEnabled(false);
  EXPECT_FALSE(title->isEnabled());
  EXPECT_FALSE(panel.isEnabled());
}

TEST(WPanel, EtchedBorderLeavesTheTitleGap) {
  wvw::WPanel panel("T");
  panel.setSize(60, 40);
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, 60, 40);
  pb.fillRect(pb.getRect(), 0xFF00FF);
  panel.draw(&pb);
  int t = 8; // half the title's height
  EXPECT_TRUE(isColour(pb, 0, t, Widget::BevelLow));
  EXPECT_TRUE(isColour(pb, 1, t + 1, Widget::BevelHigh));
  EXPECT_TRUE(isColour(pb, 5, 38, Widget::BevelLow));
  EXPECT_TRUE(isColour(pb, 5, 39, Widget::BevelHigh));
  EXPECT_TRUE(isColour(pb, 58, 20, Widget::BevelLow));
  EXPECT_TRUE(isColour(pb, 59, 20, Widget::BevelHigh));
  // the title's background covers the top edge
  EXPECT_TRUE(isColour(pb, 12, t, Widget::BevelBg));
  // no background of its own
  EXPECT_EQ(pb.getPixel(Point(30, 20)), 0xFF00FFu);
}

TEST(WCheck, StatesAndNotifications) {
  RecordingHandler rec;
  wvw::WCheck check(false, false);
  rec.name(&check, "check");
  rec.quiet = {"attach", "size"};
  check.setInputHandler(&rec);
  check.setSize(10, 10);
  WidgetTestHost host;
  host.attach(&check);
  check.setChecked(false); // no change
  check.setChecked(true);
  check.setRadio(false); // no change
  check.setRadio(true);
  check.setIndeterminate();
  EXPECT_TRUE(check.isChecked());
  check.setIndeterminate(); // no change
  host.invalidations.clear();
  check.setChecked(true); // checked already, but clears the indeterminate state
  EXPECT_FALSE(check.isIndeterminate());
  EXPECT_EQ(host.invalidations.size(), 1u);
  EXPECT_EQ(rec.events, (Events{"change check", "change check", "change check", "change check"}));
}

TEST(WCheck, MarkTable) {
  struct Case {
    const char* name;
    bool radio, indeterminate, enabled;
    rfb::Colour field, mark;
    int markPixels;
  } cases[] = {
      {"tick", false, false, true, Widget::White, Widget::Black, 21},
      {"dot", true, false, true, Widget::White, Widget::Black, 12},
      {"indeterminate", false, true, true, Widget::BevelBg, Widget::Black, 21},
      {"disabled", false, false, false, Widget::BevelBg, Widget::TextDisabled, 21},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    wvw::WCheck check(true, c.radio);
    if (c.indeterminate)
      check.setIndeterminate();
    check.setEnabled(c.enabled);
    check.setSize(12, 12);
    rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, 12, 12);
    check.draw(&pb);
    EXPECT_EQ(countColour(pb, c.mark), c.markPixels);
    EXPECT_EQ(countColour(pb, c.field), 144 - c.markPixels);
    // the mark sits at (2, 2): the tick's first row has its bit at x = 8
    if (!c.radio) {
      EXPECT_TRUE(isColour(pb, 2 + 6, 2, c.mark));
    }
  }
}

TEST(WProgressBar, SplitTable) {
  struct Case {
    const char* name;
    int width;
    uint32_t value, total;
    int done;
  } cases[] = {
      {"a quarter", 100, 25, 100, 25},
      {"nothing", 100, 0, 100, 0},
      {"all", 100, 100, 100, 100},
      {"a total of 0", 100, 10, 0, 0},
      {"value beyond the total", 100, 300, 100, 100},
      {"large product", 1000, 4000000000u, 4294967294u, 931},
      {"zero width", 0, 5, 10, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    wvw::WProgressBar bar(c.total);
    bar.setProgress(c.value);
    bar.setSize(c.width, 4);
    EXPECT_EQ(bar.doneWidth(), c.done);
    if (c.width) {
      rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, c.width, 4);
      bar.draw(&pb);
      EXPECT_EQ(countColour(pb, Widget::Black), 4 * c.done);
      EXPECT_EQ(countColour(pb, Widget::BevelBg), 4 * (c.width - c.done));
    }
  }
}

TEST(WProgressBar, SetProgressKeepsTheTotalOnRequest) {
  RecordingHandler rec;
  wvw::WProgressBar bar(100);
  rec.name(&bar, "bar");
  bar.setInputHandler(&rec);
  bar.setProgress(10, 0xFFFFFFFF);
  EXPECT_EQ(bar.getTotal(), 100u);
  EXPECT_EQ(bar.getValue(), 10u);
  bar.setProgress(10, 20);
  EXPECT_EQ(bar.getTotal(), 20u);
  EXPECT_EQ(rec.events, (Events{"change bar", "change bar"}));
}

TEST(WBevelledProgressBar, BarInsideTheBevel) {
  wvw::WBevelledProgressBar bb(10);
  int w, h;
  bb.getPreferredSize(&w, &h);
  EXPECT_EQ(w, 6);
  EXPECT_EQ(h, 6);
  bb.setSize(50, 12);
  EXPECT_EQ(bb.getChildRect(bb.getBar()), Rect(3, 3, 47, 9));
  bb.setSize(4, 4); // too small for the bar
  EXPECT_EQ(bb.getChildRect(bb.getBar()), Rect(3, 3, 3, 3));
}

TEST(WFrame, GoldenImage) {
  wvw::WCanvas root;
  wvw::WFrame raised(false), sunken(true);
  wvw::WPanel panel("Panel"), panelOff("Disabled");
  wvw::WLabel inPanel("Inside"), inPanelOff("Inside");
  wvw::WCheck tick(true, false), dot(true, true), unchecked(false, false), odd(true, false),
      tickOff(true, false), dotOff(true, true);
  odd.setIndeterminate();
  tickOff.setEnabled(false);
  dotOff.setEnabled(false);
  wvw::WProgressBar plain(100), plainOff(100);
  wvw::WBevelledProgressBar bevelled(100), bevelledOff(100);
  plain.setProgress(30);
  plainOff.setProgress(30);
  plainOff.setEnabled(false);
  bevelled.getBar()->setProgress(60);
  bevelledOff.getBar()->setProgress(60);
  bevelledOff.setEnabled(false);
  bevelledOff.getBar()->setEnabled(false);

  root.addChildSized(&raised, Rect(4, 4, 44, 24));
  root.addChildSized(&sunken, Rect(48, 4, 88, 24));
  int x = 92;
  for (wvw::WCheck* c : {&tick, &dot, &unchecked, &odd, &tickOff, &dotOff}) {
    root.addChildSized(c, Rect(x, 9, x + 10, 19));
    x += 14;
  }
  int w, h;
  inPanel.getPreferredSize(&w, &h);
  panel.getContent()->addChildSized(&inPanel, Rect(0, 0, w, h));
  panelOff.getContent()->addChildSized(&inPanelOff, Rect(0, 0, w, h));
  panel.getPreferredSize(&w, &h);
  root.addChildSized(&panel, Rect(4, 28, 4 + w + 20, 28 + h));
  panelOff.getPreferredSize(&w, &h);
  root.addChildSized(&panelOff, Rect(100, 28, 100 + w, 28 + h));
  panelOff.setEnabled(false);
  root.addChildSized(&plain, Rect(4, 28 + h + 4, 104, 28 + h + 10));
  root.addChildSized(&plainOff, Rect(108, 28 + h + 4, 208, 28 + h + 10));
  root.addChildSized(&bevelled, Rect(4, 28 + h + 14, 104, 28 + h + 26));
  root.addChildSized(&bevelledOff, Rect(108, 28 + h + 14, 208, 28 + h + 26));
  root.setSize(212, 28 + h + 30);

  WidgetTestHost host;
  host.attach(&root);
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, root.width(), root.height());
  pb.fillRect(pb.getRect(), 0xFF00FF);
  host.paint(&pb);
  EXPECT_TRUE(matchesGolden(pb, "frames"));
}
