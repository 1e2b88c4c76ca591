#include "ui/WAdvancedListBox.h"

#include "plat/BinaryParameter.h"
#include "plat/BoolParameter.h"
#include "plat/EnumParameter.h"
#include "plat/IntParameter.h"
#include "plat/StringParameter.h"
#include "plat/Utf8.h"
#include "rfb/KeysymNames.h"

#include "wvw/Font.h"

#include "WidgetTestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using testing_support::WidgetTestHost;

const char* const modes[] = {"Off", "On", nullptr};
const unsigned char key[] = {1, 2, 3};

struct ListFixture : ::testing::Test {
  ListFixture()
      : linked("Linked"), set("Test", &linked),
        delta("delta", "in the linked set", "d", false, &linked),
        zeta("zeta", "a text", "z", false, &set),
        alpha("Alpha", "a number", 5, 0, 100, false, &set), beta("beta", "on", true, false, &set),
        gamma("Gamma", "off", false, false, &set),
        hidden("_hidden", "not listed", "h", false, &set),
        binary("Key", "not listed", 3, key, false, &set),
        mode("Mode", "a choice", "Off", modes, false, &set), list(&set) {
    list.setSize(300, 400);
    host.attach(&list);
  }
  std::vector<std::string> names() {
    std::vector<std::string> out;
    for (int i = 0; i < list.numRows(); i++)
      out.push_back(list.row(i)->param->getName());
    return out;
  }
  std::string shown(const char* name) {
    for (int i = 0; i < list.numRows(); i++)
      if (std::string(list.row(i)->param->getName()) == name)
        return list.row(i)->value.getText();
    return "<no row>";
  }
  // Clicks the value (or name) cell of the row with that name.
  void clickValue(const char* name, bool nameCell = false) {
    for (int i = 0; i < list.numRows(); i++)
      if (std::string(list.row(i)->param->getName()) == name) {
        rfb::Rect r = list.getChildRect(nameCell ? &list.row(i)->name : &list.row(i)->value);
        int x = r.tl.x + 5, y = r.tl.y + 3;
        host.pointer(x, y, 0);
        host.pointer(x, y, 1);
        host.pointer(x, y, 0);
        return;
      }
    FAIL() << "no row " << name;
  }

  plat::ParameterSet linked;
  plat::ParameterSet set;
  plat::StringParameter delta;
  plat::StringParameter zeta;
  plat::IntParameter alpha;
  plat::BoolParameter beta;
  plat::BoolParameter gamma;
  plat::StringParameter hidden;
  plat::BinaryParameter binary;
  plat::EnumParameter mode;
  ui::WAdvancedListBox list;
  WidgetTestHost host;
};

TEST_F(ListFixture, ListsVisibleParametersOfBothSetsSortedIgnoringCase) {
  EXPECT_EQ((std::vector<std::string>{"Alpha", "beta", "delta", "Gamma", "Mode", "zeta"}), names());
}

TEST_F(ListFixture, ShowsBooleansAsTrueOrFalse) {
  EXPECT_EQ("True", shown("beta"));
  EXPECT_EQ("False", shown("Gamma"));
  EXPECT_EQ("5", shown("Alpha"));
  EXPECT_EQ("Off", shown("Mode"));
}

TEST_F(ListFixture, AttachingRefreshesTheValues) {
  gamma.setParam("1", 10);
  alpha.setParam("7", 10);
  host.detach();
  host.attach(&list);
  EXPECT_EQ("True", shown("Gamma"));
  EXPECT_EQ("7", shown("Alpha"));
}

TEST_F(ListFixture, AnEditShowsTheParametersOwnTextAtPriority50) {
  clickValue("Alpha");
  ASSERT_TRUE(list.getTextEditor()->isVisible());
  EXPECT_EQ(list.getEditedRow()->param, &alpha);
  EXPECT_STREQ("5", list.getTextEditor()->getText());
  for (char c : std::string("0x10"))
    host.type(uint32_t(c));
  EXPECT_EQ(16, alpha.getValue());
  EXPECT_EQ(50, alpha.getPriority());
  EXPECT_EQ("16", shown("Alpha"));
  // Clicking the edited row again (its name: the editor covers the value)
  // closes the editor.
  clickValue("Alpha", true);
  EXPECT_FALSE(list.getTextEditor()->isVisible());
  EXPECT_EQ(nullptr, list.getEditedRow());
}

TEST_F(ListFixture, ABooleanIsChosenFromTrueAndFalse) {
  clickValue("beta");
  ui::WChoiceItem* choice = list.getChoiceEditor();
  ASSERT_TRUE(choice->isVisible());
  EXPECT_STREQ("True", choice->getText());
  choice->onClick(choice->getItem(1));
  EXPECT_FALSE(beta.getValue());
  EXPECT_EQ(50, beta.getPriority());
  EXPECT_EQ("False", shown("beta"));
}

TEST_F(ListFixture, EscapeClosesTheEditorWithoutApplying) {
  clickValue("Mode");
  ASSERT_TRUE(list.getChoiceEditor()->isVisible());
  EXPECT_STREQ("Off", list.getChoiceEditor()->getText());
  host.type(rfb::keys::Escape);
  EXPECT_FALSE(list.getChoiceEditor()->isVisible());
  EXPECT_EQ("Off", shown("Mode"));
}

TEST_F(ListFixture, WithAllRowsFittingTypeAheadIsConsumedWithoutEffect) {
  EXPECT_FALSE(list.getScrollBar()->isVisible());
  EXPECT_TRUE(list.onKey('z', true, &list));
  EXPECT_EQ(0, list.getScrollBar()->getValue());
}

TEST_F(ListFixture, TheWheelScrollsOneRowPerNotch) {
  int rh = list.getRowHeight();
  list.setSize(300, rh * 4);
  ASSERT_TRUE(list.getScrollBar()->isVisible());
  rfb::Rect r = list.getChildRect(&list.row(0)->name);
  host.pointer(r.tl.x + 3, r.tl.y + 3, 0);
  host.pointer(r.tl.x + 3, r.tl.y + 3, 1 << 4);
  host.pointer(r.tl.x + 3, r.tl.y + 3, 0);
  EXPECT_EQ(rh, list.getScrollBar()->getValue());
  host.pointer(r.tl.x + 3, r.tl.y + 3, 1 << 3);
  host.pointer(r.tl.x + 3, r.tl.y + 3, 0);
  EXPECT_EQ(0, list.getScrollBar()->getValue());
}

TEST(LabelItem, AValueWiderThanItsCellIsShortened) {
  ui::WLabelItem item("a rather long value that cannot fit", false);
  item.setSize(60, 20);
  EXPECT_TRUE(item.isShortened());
  std::string s = item.getShownText();
  ASSERT_GE(s.size(), 3u);
  EXPECT_EQ("...", s.substr(s.size() - 3));
  EXPECT_EQ(0u, std::string("a rather long value").find(s.substr(0, s.size() - 3)));
  item.setSize(1000, 20);
  EXPECT_FALSE(item.isShortened());
  EXPECT_STREQ("a rather long value that cannot fit", item.getShownText());
}

// Shortening counts whole characters: at every width the shown text is
// valid UTF-8, a prefix of the text followed by "...".
TEST(LabelItem, ShorteningNeverCutsACharacter) {
  const std::string text = "\xc3\xa9t\xc3\xa9 \xc3\xa0 Z\xc3\xbcrich"; // été à Zürich
  ui::WLabelItem item(text.c_str(), false);
  item.setSize(1000, 20);
  ASSERT_FALSE(item.isShortened());
  int fullWidth = item.getFullLabel()->getStyle()->font->textWidth(text.c_str()) + 8;
  for (int w = 0; w <= fullWidth; w++) {
    item.setSize(w, 20);
    std::string shown = item.getShownText();
    EXPECT_TRUE(plat::checkUtf8(&shown[0])) << w << ": " << shown;
    if (!item.isShortened())
      continue;
    ASSERT_GE(shown.size(), 3u) << w;
    EXPECT_EQ("...", shown.substr(shown.size() - 3)) << w;
    EXPECT_EQ(0u, text.find(shown.substr(0, shown.size() - 3))) << w;
  }
}

} // namespace

namespace {

TEST_F(ListFixture, KeysMoveTheSliderByRowsAndPages) {
  int rh = list.getRowHeight();
  list.setSize(300, list.getHeader()->height() + rh * 3);
  ui::WDiscreteScrollBar* bar = list.getScrollBar();
  ASSERT_TRUE(bar->isVisible());
  struct Step {
    uint32_t key;
    int value;
  } steps[] = {
      {rfb::keys::Down, rh},   {rfb::keys::End, bar->getSlider()->getMaximum()}, // clamped
      {rfb::keys::Home, 0},    {rfb::keys::Page_Down, 3 * rh},                   // three rows fit
      {rfb::keys::Up, 2 * rh}, {rfb::keys::Page_Up, 0}, // below 1 goes to 0
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.key);
    list.onKey(s.key, true, &list);
    EXPECT_EQ(std::min(s.value, bar->getSlider()->getMaximum()), bar->getValue());
  }
}

TEST_F(ListFixture, TypeAheadScrollsToTheFirstRowWithThatInitial) {
  int rh = list.getRowHeight();
  list.setSize(300, list.getHeader()->height() + rh * 2);
  EXPECT_TRUE(list.onKey('g', true, &list));
  EXPECT_EQ(3 * rh, list.getScrollBar()->getValue()); // Gamma is the fourth row
  EXPECT_TRUE(list.onKey('D', true, &list));
  EXPECT_EQ(2 * rh, list.getScrollBar()->getValue());
}

} // namespace
