// List boxes: rows fetched on demand, the key table, the wheel, clicks and
// row looks, and lists that change underneath or have no room.
#include "wvw/WListBox.h"

#include "rfb/KeysymNames.h"
#include "rfb/ManagedPixelBuffer.h"
#include "rfb/PixelLayout.h"
#include "wvw/WCanvas.h"

#include "GoldenImage.h"
#include "PixelProbe.h"
#include "RecordingHandler.h"
#include "WidgetTestHost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using rfb::Point;
using rfb::Rect;
using testing_support::RecordingHandler;
using testing_support::WidgetTestHost;
using Events = std::vector<std::string>;

namespace keys = rfb::keys;

namespace {

struct Rows : wvw::WListBox::ItemGetter {
  explicit Rows(int n) {
    for (int i = 0; i < n; i++)
      texts.push_back("row " + std::to_string(i));
  }
  const char* getItemText(wvw::WListBox*, int index) override {
    asked.push_back(index);
    EXPECT_GE(index, 0);
    EXPECT_LT(index, int(texts.size()));
    return index < int(texts.size()) ? texts[size_t(index)].c_str() : "";
  }
  int getItemCount(wvw::WListBox*) override { return int(texts.size()); }
  std::vector<std::string> texts;
  std::vector<int> asked;
};

// A list box with room for 10 rows of the 8x16 font: (166 - 6) / 16.
struct Tree {
  explicit Tree(int n) : rows(n) {
    root.addChildSized(&list, Rect(10, 10, 210, 176));
    root.setSize(220, 186);
    rec.name(&list, "list");
    rec.only = &list;
    rec.quiet = {"move", "leave", "press", "release", "focus", "key", "attach", "size"};
    list.setInputHandler(&rec);
    host.attach(&root);
    host.focusIn();
    list.setItemGetter(&rows);
    list.getFocusFrame()->takeFocus();
  }
  std::string rowText(int i) { return list.getRow(i)->getLabel()->getText(); }
  Rows rows;
  wvw::WCanvas root;
  wvw::WListBox list;
  RecordingHandler rec;
  WidgetTestHost host;
};

} // namespace

// A row's text keeps clear of the frame at its left: the pixels just inside
// the frame are the row's background, the text starts a few pixels in.
TEST(WListBox, RowTextKeepsOffTheFrame) {
  Tree t(3);
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::rgb565, 220, 186);
  t.host.paint(&pb);
  Rect row = t.list.getFocusFrame()->getChildRect(t.list.getRow(1));
  // The list at (10, 10), its frame at (0, 0) in it.
  int left = 10 + row.tl.x, top = 10 + row.tl.y;
  uint32_t background = pb.getPixel(rfb::Point(left, top));
  int firstText = -1;
  for (int x = left; x < left + 20 && firstText < 0; x++)
    for (int y = top; y < top + row.height(); y++)
      if (pb.getPixel(rfb::Point(x, y)) != background) {
        firstText = x - left;
        break;
      }
  EXPECT_GE(firstText, 3) << "text at the frame";
}

TEST(WListBox, RowsFitTheHeight) {
  Tree t(100);
  EXPECT_EQ(t.list.getVisibleRows(), 10);
  EXPECT_EQ(t.list.getScrollBar()->getSlider()->getMaximum(), 90);
  EXPECT_EQ(t.rowText(0), "row 0");
  EXPECT_EQ(t.rowText(9), "row 9");
  EXPECT_EQ(t.list.getFocusFrame()->getChildRect(t.list.getRow(1)), Rect(3, 19, 181, 35));
  EXPECT_EQ(t.list.getChildRect(t.list.getScrollBar()), Rect(184, 0, 200, 166));
  t.list.setTopRow(50);
  EXPECT_EQ(t.rowText(0), "row 50");
  t.list.setSize(200, 86); // five rows
  EXPECT_EQ(t.list.getVisibleRows(), 5);
  EXPECT_EQ(t.list.getScrollBar()->getSlider()->getMaximum(), 95);
}

TEST(WListBox, ShortListLeavesRowsEmpty) {
  Tree t(3);
  EXPECT_EQ(t.rowText(2), "row 2");
  EXPECT_EQ(t.rowText(3), "");
  EXPECT_EQ(t.rowText(9), "");
  EXPECT_EQ(t.list.getScrollBar()->getSlider()->getMaximum(), 0);
}

TEST(WListBox, NoRoomMeansNoRows) {
  for (int h : {0, 1, 5, 6, 21}) {
    SCOPED_TRACE(h);
    Tree t(100);
    t.list.setSize(200, h);
    EXPECT_EQ(t.list.getVisibleRows(), 0);
    t.host.type(keys::Down); // still selects, with nothing to scroll into
    EXPECT_EQ(t.list.getSelected(), 0);
  }
}

TEST(WListBox, KeyTable) {
  struct Step {
    uint32_t key;
    int selected, top;
  };
  struct Case {
    const char* name;
    int count;
    std::vector<Step> steps;
  } cases[] = {
      {"down from none", 100, {{keys::Down, 0, 0}, {keys::Down, 1, 0}}},
      {"up from none", 100, {{keys::Up, 0, 0}, {keys::Up, 0, 0}}},
      {"end then home", 100, {{keys::End, 99, 90}, {keys::Home, 0, 0}}},
      {"page down twice",
       100,
       {{keys::Down, 0, 0},
        {keys::Down, 1, 0},
        {keys::Page_Down, 9, 0},
        {keys::Page_Down, 19, 10}}},
      {"page up twice",
       100,
       {{keys::End, 99, 90}, {keys::Up, 98, 90}, {keys::Page_Up, 90, 90}, {keys::Page_Up, 80, 80}}},
      {"down past the view",
       100,
       {{keys::End, 99, 90},
        {keys::Home, 0, 0},
        {keys::Page_Down, 9, 0},
        {keys::Down, 10, 1},
        {keys::Up, 9, 1}}},
      {"empty", 0, {{keys::Down, -1, 0}, {keys::End, -1, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Tree t(c.count);
    for (const Step& s : c.steps) {
      t.host.type(s.key);
      EXPECT_EQ(t.list.getSelected(), s.selected);
      EXPECT_EQ(t.list.getTopRow(), s.top);
    }
  }
}

TEST(WListBox, KeysWithNoStepGoOn) {
  Tree t(100);
  t.host.type(keys::Down);
  t.host.type(keys::Home); // on row 0: passed on, nothing moves
  EXPECT_EQ(t.list.getSelected(), 0);
  t.host.type(keys::Tab); // the frame moves the focus on
  EXPECT_FALSE(t.list.getFocusFrame()->hasFocus());
}

TEST(WListBox, SelectionNotices) {
  Tree t(20);
  t.host.type(keys::Down);
  t.host.type(keys::Up); // already 0: no change
  t.list.setSelected(20);
  t.list.setSelected(-5);
  EXPECT_EQ(t.rec.events, (Events{"change list", "change list"}));
  EXPECT_EQ(t.list.getSelected(), -1);
}

TEST(WListBox, WheelScrollsThreeRowsUpToTheEnd) {
  Tree t(15);
  Point over(50, 50);
  std::vector<int> tops;
  for (int i = 0; i < 3; i++) {
    t.host.pointer(over.x, over.y, 16);
    t.host.pointer(over.x, over.y, 0);
    tops.push_back(t.list.getTopRow());
  }
  EXPECT_EQ(tops, (std::vector<int>{3, 5, 5})); // count - visible = 5
  EXPECT_EQ(t.rowText(0), "row 5");
  t.host.pointer(over.x, over.y, 8);
  t.host.pointer(over.x, over.y, 0);
  EXPECT_EQ(t.list.getTopRow(), 2);
  EXPECT_EQ(t.rec.events, Events{}); // no click, no selection
  Tree few(4);
  few.host.pointer(50, 50, 16);
  few.host.pointer(50, 50, 0);
  EXPECT_EQ(few.list.getTopRow(), 0);
}

TEST(WListBox, ClickSelectsAndReportsAfterAnOrangePress) {
  Tree t(20);
  // Row 2 lies at y 10 + 3 + 32 in the root.
  t.host.pointer(40, 50, 1);
  wvw::WLabel* label = t.list.getRow(2)->getLabel();
  EXPECT_EQ(label->getStyle()->background, wvw::Widget::Orange);
  EXPECT_EQ(t.list.getSelected(), -1);
  t.host.pointer(40, 50, 0);
  EXPECT_EQ(t.list.getSelected(), 2);
  EXPECT_EQ(label->getStyle()->background, wvw::Widget::Blue);
  EXPECT_EQ(label->getStyle()->textColour, wvw::Widget::White);
  EXPECT_EQ(t.rec.events, (Events{"change list", "click list"}));
  EXPECT_TRUE(t.list.getFocusFrame()->hasFocus());
  // Disabled: clicks are ignored.
  t.rec.events.clear();
  t.list.setEnabled(false);
  t.host.pointer(40, 66, 1);
  t.host.pointer(40, 66, 0);
  EXPECT_EQ(t.list.getSelected(), 2);
  EXPECT_FALSE(t.list.getRow(3)->getLabel()->isEnabled());
}

TEST(WListBox, RowsThatWentAwayAreNotAskedFor) {
  Tree t(30);
  t.list.setTopRow(20);
  t.rows.texts.resize(25); // the list shrank underneath
  t.rows.asked.clear();
  t.list.setTopRow(19);
  EXPECT_EQ(t.rowText(5), "row 24");
  EXPECT_EQ(t.rowText(6), "");
  for (int i : t.rows.asked)
    EXPECT_LT(i, 25);
  t.list.refreshItem(27);
  t.list.setItemGetter(&t.rows); // the new count: 25
  EXPECT_EQ(t.list.getScrollBar()->getSlider()->getMaximum(), 15);
}

TEST(WListBox, Looks) {
  Rows rows(6);
  wvw::WCanvas root;
  wvw::WListBox list;
  root.addChildSized(&list, Rect(2, 2, 122, 72)); // four rows
  root.setSize(124, 74);
  WidgetTestHost host;
  host.attach(&root);
  host.focusIn();
  list.setItemGetter(&rows);
  list.setSelected(1);
  list.getFocusFrame()->takeFocus();
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, root.width(), root.height());
  pb.fillRect(pb.getRect(), 0xFF00FF);
  host.paint(&pb);
  EXPECT_TRUE(matchesGolden(pb, "list-box"));
}
