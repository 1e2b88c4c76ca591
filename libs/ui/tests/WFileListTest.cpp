#include "ui/WFileList.h"

#include "plat/Exception.h"
#include "plat/TimerManager.h"
#include "rfb/KeysymNames.h"
#include "rfb/ManagedPixelBuffer.h"
#include "rfb/PixelLayout.h"
#include "wvw/Font.h"
#include "wvw/Style.h"

#include "CaptureLogger.h"
#include "ManualClock.h"
#include "WidgetTestHost.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace keys = rfb::keys;

namespace {

using testing_support::ManualClock;
using testing_support::WidgetTestHost;

// Entries given by the test; a name starting with "!" throws for that entry.
class ListGetter : public WFileList::ItemGetter {
public:
  explicit ListGetter(std::vector<std::pair<std::string, bool>> entries)
      : entries_(std::move(entries)) {}
  void startListing() override {
    started++;
    next_ = 0;
  }
  bool nextItem(std::string* name, bool* isDirectory) override {
    if (next_ >= entries_.size())
      return false;
    const auto& e = entries_[next_++];
    if (e.first[0] == '!')
      throw plat::ExceptionFmt("stat(%s): No such file or directory (2)", e.first.c_str() + 1);
    *name = e.first;
    *isDirectory = e.second;
    return true;
  }
  int started = 0;

private:
  std::vector<std::pair<std::string, bool>> entries_;
  size_t next_ = 0;
};

struct Recorder : WFileList::Callback {
  void itemActivated(WFileList*, WFileList::Item* item) override {
    calls.push_back("activated " + item->name);
  }
  void selectionChanged(WFileList*, WFileList::Item* item) override {
    calls.push_back("selected " + (item ? item->name : std::string("-")));
  }
  std::vector<std::string> calls;
};

std::vector<std::pair<std::string, bool>> files(const std::vector<std::string>& names) {
  std::vector<std::pair<std::string, bool>> out;
  for (const std::string& n : names)
    out.emplace_back(n, false);
  return out;
}

struct FileListFixture : ::testing::Test {
  FileListFixture() : list(&recorder) {
    list.setSize(300, 200);
    host.attach(&list);
  }
  int fh() { return int(list.getStyle()->font->height); }
  void load(const std::vector<std::string>& names) {
    ListGetter getter(files(names));
    list.refresh(&getter);
  }
  std::vector<std::string> names() {
    std::vector<std::string> out;
    for (const WFileList::Item& i : list.items())
      out.push_back(i.name);
    return out;
  }
  std::vector<std::string> selected() {
    std::vector<std::string> out;
    for (const WFileList::Item& i : list.items())
      if (i.selected)
        out.push_back(i.name);
    return out;
  }
  void click(const std::string& name) {
    for (const WFileList::Item& i : list.items()) {
      if (i.name == name) {
        clickAt(i.rect.tl.x + 2, i.rect.tl.y + 2);
        return;
      }
    }
    FAIL() << "no item " << name;
  }
  void clickAt(int x, int y) {
    host.pointer(x, y, 0);
    host.pointer(x, y, 1);
    host.pointer(x, y, 0);
  }
  void wait(int ms) {
    clock.advanceMs(ms);
    timers.processTimers();
  }
  void type(const std::string& text) {
    for (char c : text)
      host.type(uint32_t(c));
  }

  ManualClock clock;
  plat::TimerManager timers;
  Recorder recorder;
  WFileList list;
  WidgetTestHost host;
};

TEST_F(FileListFixture, SortsDotDotFirstThenByBytesWithoutGroupingDirectories) {
  ListGetter getter({{"b", false},
                     {"zdir", true},
                     {"..", true},
                     {"B", false},
                     {"a", true},
                     {"_x", false},
                     {"Zed", false}});
  list.refresh(&getter);
  EXPECT_EQ(1, getter.started);
  EXPECT_EQ((std::vector<std::string>{"..", "B", "Zed", "_x", "a", "b", "zdir"}), names());
  EXPECT_EQ("a/", WFileList::displayName(*list.item(4)));
  EXPECT_EQ("b", WFileList::displayName(*list.item(5)));
}

TEST_F(FileListFixture, ItemsFormOneColumnWhenTheListIsTallEnough) {
  list.setMinWidth(300);
  list.setHeight(4 + 3 * (fh() + 4), false);
  load({"c", "a", "bbbbbbbb"});
  wvw::Font* font = list.getStyle()->font;
  int widest = font->textWidth("bbbbbbbb");
  for (int i = 0; i < 3; i++) {
    SCOPED_TRACE(i);
    EXPECT_EQ(rfb::Rect(4, 4 + i * (fh() + 4), 4 + widest, 4 + i * (fh() + 4) + fh()),
              list.item(i)->rect);
  }
  // Never narrower than the minimum width, whatever the items need.
  EXPECT_EQ(300, list.width());
  list.setMinWidth(10);
  EXPECT_EQ(4 + widest + 4, list.width());
}

TEST_F(FileListFixture, ALowerListWrapsIntoMoreColumnsAndGrowsWider) {
  list.setMinWidth(10);
  list.setHeight(4 + 2 * (fh() + 4), false);
  load({"aa", "bbbb", "c", "dddddd", "e"});
  wvw::Font* font = list.getStyle()->font;
  int col1 = font->textWidth("bbbb"), col2 = font->textWidth("dddddd"), col3 = font->textWidth("e");
  EXPECT_EQ(rfb::Point(4, 4), list.item(0)->rect.tl);
  EXPECT_EQ(rfb::Point(4, 8 + fh()), list.item(1)->rect.tl);
  EXPECT_EQ(rfb::Rect(8 + col1, 4, 8 + col1 + col2, 4 + fh()), list.item(2)->rect);
  EXPECT_EQ(rfb::Point(8 + col1, 8 + fh()), list.item(3)->rect.tl);
  EXPECT_EQ(rfb::Point(12 + col1 + col2, 4), list.item(4)->rect.tl);
  EXPECT_EQ(col1, list.item(0)->rect.width());
  EXPECT_EQ(16 + col1 + col2 + col3, list.width());
  // A list too low for even one row still shows one item a column.
  list.setHeight(1, false);
  for (int i = 0; i < 5; i++) {
    EXPECT_EQ(4, list.item(i)->rect.tl.y);
    if (i > 0) {
      EXPECT_EQ(list.item(i - 1)->rect.br.x + 4, list.item(i)->rect.tl.x);
    }
  }
}

TEST_F(FileListFixture, SnappedHeightHoldsWholeRowsOnly) {
  int row = fh() + 4;
  list.setHeight(4 + 3 * row + row - 1, true);
  EXPECT_EQ(4 + 3 * row, list.height());
  list.setHeight(4 + 3 * row, true);
  EXPECT_EQ(4 + 3 * row, list.height());
  list.setHeight(57, false);
  EXPECT_EQ(57, list.height());
}

TEST_F(FileListFixture, AClickSelectsOneItemAndReportsIt) {
  load({"a", "b", "c"});
  click("b");
  EXPECT_EQ((std::vector<std::string>{"b"}), selected());
  click("c");
  EXPECT_EQ((std::vector<std::string>{"c"}), selected());
  // The space below the items selects nothing.
  clickAt(2, 190);
  EXPECT_TRUE(selected().empty());
  EXPECT_EQ((std::vector<std::string>{"selected b", "selected c", "selected -"}), recorder.calls);
  EXPECT_EQ(nullptr, list.itemAt(rfb::Point(2, 190)));
}

TEST_F(FileListFixture, ShiftAndControlExtendTheSelectionOnlyInMultipleMode) {
  load({"a", "b", "c", "d", "e"});
  click("b");
  host.held.insert(keys::Control_L);
  click("d");
  EXPECT_EQ((std::vector<std::string>{"d"}), selected()) << "single mode";
  host.held.clear();

  list.setMultipleSelection(true);
  click("b");
  host.held.insert(keys::Shift_L);
  wait(600);
  click("d");
  EXPECT_EQ((std::vector<std::string>{"b", "c", "d"}), selected());
  // The anchor stays at b: a Shift-click above it selects upwards.
  wait(600);
  click("a");
  EXPECT_EQ((std::vector<std::string>{"a", "b"}), selected());
  host.held.clear();
  host.held.insert(keys::Control_L);
  wait(600);
  click("e");
  wait(600);
  click("a");
  EXPECT_EQ((std::vector<std::string>{"b", "e"}), selected());
  EXPECT_EQ("b;e", list.selectedNames());
  // Control-click made e the anchor: Shift now extends from it.
  host.held.clear();
  host.held.insert(keys::Shift_L);
  wait(600);
  click("c");
  EXPECT_EQ((std::vector<std::string>{"c", "d", "e"}), selected());
}

TEST_F(FileListFixture, TwoClicksWithinHalfASecondActivateOnce) {
  load({"a", "b"});
  click("a");
  wait(400);
  click("a");
  EXPECT_EQ((std::vector<std::string>{"selected a", "activated a"}), recorder.calls);
  EXPECT_FALSE(list.doubleClickPending());
  // A third click starts afresh.
  click("a");
  EXPECT_TRUE(list.doubleClickPending());
  wait(501);
  EXPECT_FALSE(list.doubleClickPending());
  click("a");
  EXPECT_EQ((std::vector<std::string>{"selected a", "activated a", "selected a", "selected a"}),
            recorder.calls);
}

TEST_F(FileListFixture, ADoubleClickWithShiftOrControlDoesNotActivate) {
  list.setMultipleSelection(true);
  load({"a", "b"});
  for (uint32_t modifier : {keys::Shift_L, keys::Control_L}) {
    SCOPED_TRACE(modifier);
    recorder.calls.clear();
    host.held.clear();
    click("a");
    host.held.insert(modifier);
    click("a");
    for (const std::string& call : recorder.calls)
      EXPECT_EQ(std::string::npos, call.find("activated"));
    wait(600);
  }
}

TEST_F(FileListFixture, ADoubleClickOnASecondItemSelectsItInstead) {
  load({"a", "b"});
  click("a");
  click("b");
  EXPECT_EQ((std::vector<std::string>{"selected a", "selected b"}), recorder.calls);
  EXPECT_EQ((std::vector<std::string>{"b"}), selected());
}

TEST_F(FileListFixture, TypeAheadFindsByPrefixUntilASecondPasses) {
  load({"abc", "abd", "b", "bab"});
  type("ab");
  EXPECT_EQ((std::vector<std::string>{"abc"}), selected());
  EXPECT_EQ("ab", list.typeAheadText());
  type("d");
  EXPECT_EQ((std::vector<std::string>{"abd"}), selected());
  wait(999);
  type("a");
  EXPECT_TRUE(selected().empty()) << "\"abda\" matches nothing";
  EXPECT_EQ("", list.typeAheadText()) << "no match ends type-ahead";
  type("ab");
  EXPECT_EQ((std::vector<std::string>{"abc"}), selected());
  wait(1001);
  EXPECT_EQ("", list.typeAheadText());
  type("b");
  EXPECT_EQ((std::vector<std::string>{"b"}), selected());
  // A key outside the printable range ends type-ahead too.
  host.type(keys::Escape);
  type("a");
  EXPECT_EQ((std::vector<std::string>{"abc"}), selected());
}

TEST_F(FileListFixture, UpAndDownStepTheSelectionAndDoNothingWithout) {
  load({"a", "b", "c"});
  host.type(keys::Down);
  host.type(keys::Up);
  EXPECT_TRUE(selected().empty());
  EXPECT_TRUE(recorder.calls.empty());
  click("a");
  host.type(keys::Up);
  EXPECT_EQ((std::vector<std::string>{"a"}), selected());
  host.type(keys::Down);
  host.type(keys::Down);
  host.type(keys::Down);
  EXPECT_EQ((std::vector<std::string>{"c"}), selected());
  host.type(keys::Up);
  EXPECT_EQ((std::vector<std::string>{"b"}), selected());
  EXPECT_EQ((std::vector<std::string>{"selected a", "selected b", "selected c", "selected b"}),
            recorder.calls);
}

TEST_F(FileListFixture, HomeEndLeftAndRightMoveAcrossColumns) {
  list.setHeight(4 + 2 * (fh() + 4), false);
  load({"a", "b", "c", "d", "e"});
  host.type(keys::End);
  EXPECT_EQ((std::vector<std::string>{"e"}), selected());
  host.type(keys::Left);
  EXPECT_EQ((std::vector<std::string>{"c"}), selected());
  host.type(keys::Left);
  EXPECT_EQ((std::vector<std::string>{"a"}), selected());
  recorder.calls.clear();
  host.type(keys::Left);
  EXPECT_EQ((std::vector<std::string>{"a"}), selected()) << "nothing left of the first column";
  EXPECT_TRUE(recorder.calls.empty());
  host.type(keys::Down);
  host.type(keys::Right);
  EXPECT_EQ((std::vector<std::string>{"d"}), selected());
  host.type(keys::Right);
  EXPECT_EQ((std::vector<std::string>{"d"}), selected()) << "no item right of d";
  host.type(keys::Home);
  EXPECT_EQ((std::vector<std::string>{"a"}), selected());
}

TEST_F(FileListFixture, ReturnActivatesTheFirstSelectedItem) {
  list.setMultipleSelection(true);
  load({"a", "b", "c"});
  host.type(keys::Return);
  EXPECT_TRUE(recorder.calls.empty());
  click("b");
  host.held.insert(keys::Control_L);
  wait(600);
  click("c");
  host.held.clear();
  recorder.calls.clear();
  host.type(keys::Return);
  EXPECT_EQ((std::vector<std::string>{"activated b"}), recorder.calls);
}

TEST_F(FileListFixture, SelectByNameExactOrByPrefix) {
  load({"abc", "ab", "b"});
  EXPECT_EQ(nullptr, list.selectByName("a", false));
  ASSERT_NE(nullptr, list.selectByName("a", true));
  EXPECT_EQ((std::vector<std::string>{"ab"}), selected());
  EXPECT_EQ("abc", list.selectByName("abc", false)->name);
  EXPECT_EQ((std::vector<std::string>{"abc"}), selected());
  list.clearSelection();
  EXPECT_TRUE(selected().empty());
  EXPECT_EQ("selected -", recorder.calls.back());
}

TEST_F(FileListFixture, AListingThatFailsForOneEntryShowsTheOthers) {
  testing_support::ScopedCapture capture("WFileList", 10);
  ASSERT_TRUE(capture.found());
  ListGetter getter({{"a", false}, {"!/d/gone", false}, {"c", false}});
  list.refresh(&getter);
  EXPECT_EQ((std::vector<std::string>{"a", "c"}), names());
  ASSERT_EQ(1u, capture.logger.lines.size());
  EXPECT_EQ(10, capture.logger.lines[0].level);
  EXPECT_EQ("stat(/d/gone): No such file or directory (2)", capture.logger.lines[0].text);
}

TEST_F(FileListFixture, RefreshWithoutAGetterEmptiesTheList) {
  load({"a", "b"});
  click("a");
  int w = list.width();
  list.refresh(nullptr);
  EXPECT_EQ(0, list.numItems());
  EXPECT_EQ(nullptr, list.firstSelected());
  EXPECT_EQ(w, list.width());
}

TEST_F(FileListFixture, DrawsSelectedItemsOnTheSelectionColour) {
  load({"a", "b"});
  click("b");
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, list.width(), list.height());
  host.paint(&pb);
  wvw::Style* s = list.getStyle();
  rfb::Rect b = list.item(1)->rect;
  EXPECT_EQ(wvw::colourToPixel(s->selectedBackground, &pb), pb.getPixel(b.br.translate({-1, -1})));
  EXPECT_EQ(wvw::colourToPixel(s->fieldBackground, &pb),
            pb.getPixel(list.item(0)->rect.br.translate({-1, -1})));
  EXPECT_EQ(wvw::colourToPixel(s->fieldBackground, &pb), pb.getPixel(rfb::Point(150, 150)));
}

} // namespace
