// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "ui/InfoWindow.h"
#include "ui/TooltipLayout.h"

#include "tx/TXWParent.h"
#include "tx/TXWRootLayout.h"

#include "TxTestDisplay.h"
#include "TxTestWidgets.h"

using testing_support::TxTestDisplay;

namespace {

// A 100 x 60 tooltip layout with one patch, in a host window at (x, y).
class TooltipTest : public ::testing::Test {
protected:
  TooltipTest() {
    layout.addChildSized(&patch, rfb::Rect(10, 10, 90, 50));
    layout.setSize(100, 60);
  }
  ~TooltipTest() override {
    layout.setTooltip(&patch, nullptr);
    layout.hideTooltip();
    layout.removeChild(&patch);
  }
  void showAt(int x0, int y0) {
    host.setContentSize(100, 60);
    host.setPosition(x0, y0);
    host.map();
    ASSERT_TRUE(x.pumpUntil([&] { return host.getImage() != nullptr; }));
    x.pumpFor(30);
  }
  void hover(int rx, int ry) {
    x.run({"xdotool", "mousemove", std::to_string(rx), std::to_string(ry)});
    x.pumpFor(50);
  }
  TXWRootLayout* root() { return TXWRootLayout::get(x.dpy); }

  TxTestDisplay x{"1280x1024x24"};
  ui::TooltipLayout layout;
  Patch patch;
  TXWParent host{x.dpy, &layout};
};

} // namespace

TEST_F(TooltipTest, ShowsBelowRightOfThePointerAndKeepsCaretsLiteral) {
  layout.setTooltip(&patch, "Press ^b for help");
  showAt(100, 100);
  hover(130, 130);
  ui::Tooltip* tip = layout.tooltip();
  ASSERT_TRUE(x.pumpUntil([&] { return root()->windowOf(tip) != nullptr; }));
  rfb::Rect r = root()->getChildRect(tip);
  EXPECT_EQ(r.tl, rfb::Point(130 + 2, 130 + 16));
  std::string shown;
  for (const auto& run : tip->label()->getRuns())
    shown += run.text;
  EXPECT_EQ(shown, "Press ^b for help");
  // Moving within the widget neither moves nor re-shows it.
  TXWindow* window = root()->windowOf(tip);
  hover(140, 135);
  EXPECT_EQ(root()->windowOf(tip), window);
  EXPECT_EQ(root()->getChildRect(tip).tl, r.tl);
  // Leaving hides it; a null text removes the entry.
  hover(400, 400);
  ASSERT_TRUE(x.pumpUntil([&] { return root()->windowOf(tip) == nullptr; }));
  layout.setTooltip(&patch, nullptr);
  EXPECT_EQ(layout.getTooltip(&patch), nullptr);
  hover(130, 130);
  EXPECT_EQ(root()->windowOf(tip), nullptr);
}

TEST_F(TooltipTest, NearTheRightAndBottomEdgesItFlipsToTheLeftAndAbove) {
  layout.setTooltip(&patch, "A tooltip text that is long enough to need some room");
  showAt(1280 - 100, 1024 - 60);
  hover(1280 - 20, 1024 - 20);
  ui::Tooltip* tip = layout.tooltip();
  ASSERT_TRUE(x.pumpUntil([&] { return root()->windowOf(tip) != nullptr; }));
  rfb::Rect r = root()->getChildRect(tip);
  // The patch stands at (1190, 974) on the screen.
  EXPECT_EQ(r.tl.x, 1190 - tip->width() - 2);
  EXPECT_EQ(r.tl.y, 974 - tip->height() - 2);
}

TEST_F(TooltipTest, OneTextPerValueFallsBackToTheSingleText) {
  const char* texts[] = {"zero", "one", "two", nullptr};
  layout.setTooltip(&patch, "single");
  layout.setTooltips(&patch, texts);
  int value = 1;
  layout.setValueSource([&](wvw::Widget*) { return value; });
  showAt(100, 100);
  EXPECT_TRUE(layout.showTooltip(rfb::Point(5, 5), &patch));
  EXPECT_EQ(layout.tooltip()->getText(), "one");
  value = 3;
  EXPECT_TRUE(layout.showTooltip(rfb::Point(5, 5), &patch));
  EXPECT_EQ(layout.tooltip()->getText(), "single");
  EXPECT_FALSE(layout.showTooltip(rfb::Point(5, 5), &layout));
  EXPECT_FALSE(layout.tooltip()->isShown());
}

TEST_F(TooltipTest, InformationWindowOpensLeftOfAndAboveThePointer) {
  showAt(600, 500);
  ui::InfoWindow info(&layout, nullptr, 300);
  info.setTitle("Listening");
  info.setText("Connections are accepted on port 5900.");
  EXPECT_GT(info.height(), info.title()->height() + 6);
  EXPECT_LE(info.width(), 300);
  info.setLastPointer(rfb::Point(50, 30));
  info.popUp();
  ASSERT_TRUE(x.pumpUntil([&] { return root()->windowOf(&info) != nullptr; }));
  EXPECT_EQ(root()->getPopup(), &info);
  EXPECT_EQ(root()->getChildRect(&info).tl, rfb::Point(600 + 50 + 16 - 300, 500 + 30 - 16));
  info.hide();
  EXPECT_EQ(root()->windowOf(&info), nullptr);
}
