// Tab sheets: adding, showing, vetoing and removing sheets, the keyboard,
// the scrolled tab row, the titled header and the looks.
#include "wvw/WTabSheets.h"

#include "rfb/KeysymNames.h"
#include "wvw/WCanvas.h"
#include "wvw/WTitledTabSheets.h"

#include "GoldenImage.h"
#include "TestWidgets.h"
#include "WidgetTestHost.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using rfb::Point;
using rfb::Rect;
using testing_support::WidgetTestHost;

namespace keys = rfb::keys;

namespace {

struct Veto : wvw::WTabSheets::Callback {
  bool sheetChanging(int oldIndex, int newIndex) override {
    asked.push_back(std::to_string(oldIndex) + ">" + std::to_string(newIndex));
    return answer;
  }
  bool answer = true;
  std::vector<std::string> asked;
};

// Three sheets "One", "Two", "Three" in a 300 x 200 widget.
struct Tree {
  Tree() {
    root.addChildSized(&sheets, Rect(0, 0, 300, 200));
    root.setSize(300, 200);
    const char* texts[] = {"One", "Two", "Three"};
    for (int i = 0; i < 3; i++)
      sheets.addSheet(texts[i], &contents[i], -1);
    sheets.addCallback(&veto);
    host.attach(&root);
    host.focusIn();
  }
  void ctrlTab(bool shift) {
    host.held.insert(keys::Control_L);
    if (shift)
      host.held.insert(keys::Shift_L);
    host.type(keys::Tab);
    host.held.clear();
  }
  Patch contents[3];
  wvw::WCanvas root;
  wvw::WTabSheets sheets;
  Veto veto;
  WidgetTestHost host;
};

} // namespace

TEST(WTabSheets, TabAndButtonSizes) {
  wvw::WTabSheets sheets;
  Patch content;
  // "Hello" is 40 x 16: the tab prefers 46 x 26 and is sized 52 x 30.
  EXPECT_EQ(sheets.addSheet("Hello", &content, -1), 0);
  int w, h;
  sheets.getTab(0)->getPreferredSize(&w, &h);
  EXPECT_EQ(Point(w, h), Point(46, 26));
  EXPECT_EQ(Point(sheets.getTab(0)->width(), sheets.getTab(0)->height()), Point(52, 30));
  EXPECT_EQ(Point(sheets.getScrollLeft()->width(), sheets.getScrollLeft()->height()),
            Point(22, 26));
  EXPECT_EQ(sheets.getCurrent(), -1); // adding shows nothing
  // The sheet is its content plus a 10-pixel border; the whole adds the row.
  sheets.getPreferredSize(&w, &h);
  EXPECT_EQ(Point(w, h), Point(30, 30 + 26));
}

TEST(WTabSheets, ShowingASheet) {
  Tree t;
  t.sheets.setCurrent(1);
  EXPECT_EQ(t.sheets.getCurrent(), 1);
  wvw::WSheet* sheet = t.sheets.getSheet(1);
  EXPECT_EQ(t.sheets.getChildRect(sheet), Rect(0, 25, 300, 199)); // the height less the row
  EXPECT_EQ(sheet->getChildRect(&t.contents[1]), Rect(10, 10, 290, 164));
  EXPECT_EQ(t.sheets.getContentPosition(), Point(10, 35));
  EXPECT_TRUE(t.sheets.getTab(1)->hasFocus());
  EXPECT_TRUE(t.sheets.getTab(1)->isSelected());
  EXPECT_EQ(t.sheets.getTabRow()->getChildPosition(t.sheets.getTab(1)), Point(36, 0));
  EXPECT_EQ(t.sheets.getTabRow()->getChildPosition(t.sheets.getTab(0)), Point(0, 2));
  // A click on a tab shows its sheet.
  t.host.pointer(5, 10, 1);
  t.host.pointer(5, 10, 0);
  EXPECT_EQ(t.sheets.getCurrent(), 0);
  EXPECT_EQ(sheet->getContainer(), nullptr);
}

TEST(WTabSheets, ControlTabCycles) {
  Tree t;
  t.ctrlTab(false); // from none: the first
  EXPECT_EQ(t.sheets.getCurrent(), 0);
  t.sheets.setCurrent(2);
  t.ctrlTab(false);
  EXPECT_EQ(t.sheets.getCurrent(), 0);
  t.ctrlTab(true);
  EXPECT_EQ(t.sheets.getCurrent(), 2);
  t.ctrlTab(true);
  EXPECT_EQ(t.sheets.getCurrent(), 1);
}

TEST(WTabSheets, VetoKeepsTheOldSheet) {
  Tree t;
  t.sheets.setCurrent(0);
  t.veto.answer = false;
  t.sheets.setCurrent(2);
  EXPECT_EQ(t.veto.asked, (std::vector<std::string>{"-1>0", "0>2"}));
  EXPECT_EQ(t.sheets.getCurrent(), 0);
  EXPECT_EQ(t.sheets.getSheet(0)->getContainer(), &t.sheets);
  EXPECT_TRUE(t.sheets.getTab(0)->isSelected());
  EXPECT_FALSE(t.sheets.getTab(2)->isSelected());
  t.sheets.removeCallback(&t.veto);
  t.sheets.setCurrent(2);
  EXPECT_EQ(t.sheets.getCurrent(), 2);
}

TEST(WTabSheets, RemovingSheets) {
  Tree t;
  t.sheets.setCurrent(2);
  wvw::WSheet* shown = t.sheets.getSheet(2);
  t.sheets.removeSheet(0); // before the current one
  EXPECT_EQ(t.sheets.getCurrent(), 1);
  EXPECT_EQ(t.sheets.getSheet(1), shown);
  EXPECT_EQ(t.sheets.getTabRow()->getChildPosition(t.sheets.getTab(0)), Point(0, 2));
  t.sheets.removeSheet(1); // the current one
  EXPECT_EQ(t.sheets.getCurrent(), -1);
  EXPECT_EQ(t.sheets.getCount(), 1);
  EXPECT_EQ(t.sheets.numChildren(), 1); // the tab row only
  EXPECT_EQ(t.contents[2].getContainer(), nullptr);
}

TEST(WTabSheets, ScrollingTheTabRow) {
  wvw::WCanvas root;
  wvw::WTabSheets sheets;
  root.addChildSized(&sheets, Rect(0, 0, 300, 200));
  root.setSize(300, 200);
  WidgetTestHost host;
  host.attach(&root);
  Patch contents[5];
  // Five tabs of 88 + 12 pixels; the buttons are 22 wide.
  for (Patch& p : contents)
    sheets.addSheet("abcdefghijk", &p, -1);
  EXPECT_TRUE(sheets.areScrollButtonsShown());
  EXPECT_EQ(sheets.getChildPosition(sheets.getScrollLeft()), Point(256, 2));
  EXPECT_EQ(sheets.getChildPosition(sheets.getScrollRight()), Point(278, 2));
  EXPECT_EQ(sheets.getChildRect(sheets.getTabRow()), Rect(0, 0, 256, 26));
  EXPECT_FALSE(sheets.getScrollLeft()->isEnabled());
  std::vector<int> offsets;
  while (sheets.getScrollRight()->isEnabled()) {
    host.pointer(285, 10, 1);
    host.pointer(285, 10, 0);
    offsets.push_back(sheets.getTabOffset());
  }
  // Down to the row's end at the visible end: 256 - 500.
  EXPECT_EQ(offsets, (std::vector<int>{-25, -50, -75, -100, -125, -150, -175, -200, -225, -244}));
  EXPECT_EQ(sheets.getChildRect(sheets.getTabRow()), Rect(-244, 0, 256, 26));
  EXPECT_TRUE(sheets.getScrollLeft()->isEnabled());
  host.pointer(260, 10, 1);
  host.pointer(260, 10, 0);
  EXPECT_EQ(sheets.getTabOffset(), -219);
  // A tab left of the row is brought 10 pixels inside (and the offset held
  // at 0); one right of it to 10 pixels before the end (held at -244).
  sheets.setCurrent(0);
  EXPECT_EQ(sheets.getTabOffset(), 0);
  sheets.setCurrent(4);
  EXPECT_EQ(sheets.getTabOffset(), -244);
  sheets.setCurrent(1); // its left edge at 100 - 244: moved by 154
  EXPECT_EQ(sheets.getTabOffset(), -90);
  // Wide enough again: the buttons go and the row shows from 0.
  root.setChildRect(&sheets, Rect(0, 0, 600, 200));
  EXPECT_FALSE(sheets.areScrollButtonsShown());
  EXPECT_EQ(sheets.getTabOffset(), 0);
}

TEST(WTitledTabSheets, HeaderFollowsTheSheet) {
  wvw::WCanvas root;
  Patch extra;
  extra.setSize(20, 60);
  wvw::WTitledTabSheets titled(&extra, 5);
  root.addChildSized(&titled, Rect(0, 0, 300, 300));
  root.setSize(300, 300);
  WidgetTestHost host;
  host.attach(&root);
  Patch a, b;
  titled.addSheet("A", "First", "The first sheet", &a, -1);
  titled.addSheet("B", "Second", "A description long enough to take two lines or more here", &b,
                  -1);
  titled.getSheets()->setCurrent(1);
  EXPECT_STREQ(titled.getTitle()->getText(), "Second");
  wvw::WCanvas* header = titled.getHeader();
  int H = std::max(60, titled.getTitle()->height() + titled.getDescription()->height());
  EXPECT_EQ(header->height(), H);
  EXPECT_EQ(titled.getChildPosition(titled.getSheets()), Point(5, 5 + H));
  EXPECT_EQ(header->getChildPosition(&extra).x, header->width() - 20);
  EXPECT_EQ(header->getChildPosition(titled.getDescription()),
            Point(5, titled.getTitle()->height()));
  // The header keeps its height from sheet to sheet.
  titled.getSheets()->setCurrent(0);
  EXPECT_STREQ(titled.getTitle()->getText(), "First");
  EXPECT_EQ(header->height(), H);
  EXPECT_EQ(titled.getContentPosition(), Point(5 + 10, 5 + H + 25 + 10));
  titled.removeSheet(0);
  EXPECT_EQ(titled.getSheets()->getCurrent(), -1);
  EXPECT_EQ(titled.getSheets()->getCount(), 1);
}

// A sheet inserted before (or at) the current one moves the current sheet
// along; the header keeps showing that sheet's texts.
TEST(WTitledTabSheets, InsertingBeforeTheCurrentSheetKeepsItsHeader) {
  struct Case {
    int index;
    const char* title;
  } cases[] = {{0, "Second"}, {1, "Second"}, {2, "Second"}, {-1, "Second"}};
  for (const Case& c : cases) {
    wvw::WCanvas root;
    wvw::WTitledTabSheets titled(nullptr, 5);
    root.addChildSized(&titled, Rect(0, 0, 300, 300));
    root.setSize(300, 300);
    WidgetTestHost host;
    host.attach(&root);
    Patch a, b, inserted;
    titled.addSheet("A", "First", "The first sheet", &a, -1);
    titled.addSheet("B", "Second", "The second sheet", &b, -1);
    titled.getSheets()->setCurrent(1);
    titled.addSheet("N", "New", "The new sheet", &inserted, c.index);
    EXPECT_STREQ(titled.getTitle()->getText(), c.title) << c.index;
    EXPECT_STREQ(titled.getDescription()->getText(), "The second sheet") << c.index;
    EXPECT_EQ(titled.getSheets()->getCurrent(), c.index == 0 || c.index == 1 ? 2 : 1) << c.index;
  }
}

TEST(WTabSheets, Looks) {
  wvw::WCanvas root;
  wvw::WTabSheets sheets;
  Patch contents[3] = {Patch(wvw::Widget::White), Patch(wvw::Widget::White),
                       Patch(wvw::Widget::White)};
  root.addChildSized(&sheets, Rect(2, 2, 182, 92));
  root.setSize(184, 94);
  WidgetTestHost host;
  host.attach(&root);
  sheets.addSheet("One", &contents[0], -1);
  sheets.addSheet("Two", &contents[1], -1);
  sheets.addSheet("Three", &contents[2], -1);
  sheets.setCurrent(1);
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, root.width(), root.height());
  pb.fillRect(pb.getRect(), 0xFF00FF);
  host.paint(&pb);
  EXPECT_TRUE(matchesGolden(pb, "tab-sheets"));
}
