// The name/value list in a window on a private Xvfb: resting the pointer on
// a parameter's name shows its description, real pointer motion by xdotool.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "ui/WAdvancedListBox.h"

#include "plat/ParameterSet.h"
#include "plat/StringParameter.h"
#include "tx/TXWParent.h"
#include "tx/TXWRootLayout.h"

#include "TxTestDisplay.h"

#include <string>

using testing_support::TxTestDisplay;

namespace {

// A 300 x 200 list in a host window at (100, 100).
class ListTooltipTest : public ::testing::Test {
protected:
  ListTooltipTest() {
    list.setSize(300, 200);
    host.setContentSize(300, 200);
    host.setPosition(100, 100);
    host.map();
  }
  // The screen point dx pixels into a row's cell.
  rfb::Point over(int row, bool name, int dx) {
    ui::WLabelItem* cell = name ? &list.row(row)->name : &list.row(row)->value;
    rfb::Rect r = list.getChildRect(cell);
    return rfb::Point(100 + r.tl.x + dx, 100 + r.tl.y + 5);
  }
  void hover(const rfb::Point& p) {
    x.run({"xdotool", "mousemove", std::to_string(p.x), std::to_string(p.y)});
    x.pumpFor(50);
  }
  bool shown() { return TXWRootLayout::get(x.dpy)->windowOf(list.tooltip()) != nullptr; }

  TxTestDisplay x{"1280x1024x24"};
  plat::ParameterSet set{"Test"};
  plat::StringParameter alpha{"Alpha", "The first letter; ^b is no mark-up.", "a", false, &set};
  plat::StringParameter beta{"Beta", "", "b", false, &set};
  plat::StringParameter gamma{"Gamma", "The third letter.", "c", false, &set};
  ui::WAdvancedListBox list{&set};
  TXWParent host{x.dpy, &list};
};

} // namespace

TEST_F(ListTooltipTest, ANamesTooltipIsItsParametersDescription) {
  ASSERT_TRUE(x.pumpUntil([&] { return host.getImage() != nullptr; }));
  x.pumpFor(30);
  ASSERT_EQ(list.numRows(), 3);
  struct Step {
    int row;
    bool name;
    const char* text; // null: no tooltip
  } steps[] = {
      {0, true, "The first letter; ^b is no mark-up."},
      {2, true, "The third letter."},
      {2, false, nullptr}, // the value has none
      {0, true, "The first letter; ^b is no mark-up."},
      {1, true, nullptr}, // no description
  };
  int dx = 10;
  for (const Step& s : steps) {
    SCOPED_TRACE(std::to_string(s.row) + (s.name ? " name" : " value"));
    rfb::Point at = over(s.row, s.name, dx++);
    hover(at);
    if (!s.text) {
      EXPECT_TRUE(x.pumpUntil([&] { return !shown(); }));
      continue;
    }
    ASSERT_TRUE(x.pumpUntil([&] { return shown(); }));
    // Plain text: each caret doubled so that none is read as mark-up.
    std::string expected;
    for (const char* t = s.text; *t; t++)
      expected += *t == '^' ? "^^" : std::string(1, *t);
    EXPECT_EQ(list.tooltip()->getText(), expected);
    EXPECT_EQ(TXWRootLayout::get(x.dpy)->getChildRect(list.tooltip()).tl,
              at.translate(rfb::Point(2, 16)));
  }
}
