// Drop-down choices: items in id order, stepping and selecting by text and
// id, and the keyboard and pointer flows through the menu.
#include "wvw/WChoice.h"

#include "rfb/KeysymNames.h"
#include "wvw/WCanvas.h"

#include "RecordingHandler.h"
#include "TestWidgets.h"
#include "WidgetTestHost.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using rfb::Point;
using rfb::Rect;
using testing_support::RecordingHandler;
using testing_support::WidgetTestHost;
using Events = std::vector<std::string>;

namespace keys = rfb::keys;

namespace {

// A choice at (20, 30) in a 300 x 200 root, beside a patch that takes the
// focus; items 5 a, 2 b, 9 c.
struct Tree {
  Tree() : choice(&root, true, false, 50) {
    root.addChild(&choice);
    root.setChildRect(&choice, Rect(20, 30, 140, 52));
    root.addChildSized(&patch, Rect(200, 150, 210, 160));
    root.setSize(300, 200);
    choice.addItem(5, "a");
    choice.addItem(2, "b");
    choice.addItem(9, "c");
    rec.name(&choice, "choice");
    rec.name(choice.getTextField(), "text");
    rec.only = nullptr;
    rec.quiet = {"move",   "leave",  "press", "release",    "focus",  "key",
                 "attach", "detach", "size",  "visibility", "enabled"};
    host.attach(&root);
    host.focusIn();
  }
  wvw::WCanvas root;
  wvw::WChoice choice;
  Patch patch;
  RecordingHandler rec;
  WidgetTestHost host;
};

std::vector<std::string> menuLabels(wvw::WChoice& c) {
  std::vector<std::string> labels;
  for (wvw::WMenuItem* i : c.getMenu()->getItems())
    labels.push_back(i->getLabel()->getText());
  return labels;
}

} // namespace

TEST(WChoice, ItemsInIdOrderAndStepping) {
  Tree t;
  EXPECT_EQ(menuLabels(t.choice), (std::vector<std::string>{"b", "a", "c"}));
  t.choice.setText("a");
  EXPECT_EQ(t.choice.getSelectedId(), 5);
  EXPECT_EQ(t.choice.stepSelection(true), 9);
  EXPECT_STREQ(t.choice.getText(), "c");
  EXPECT_EQ(t.choice.stepSelection(true), 2); // wraps
  EXPECT_EQ(t.choice.stepSelection(false), 9);
  // A text that names no item: forward gives the first, backward the last.
  t.choice.setText("zz");
  EXPECT_EQ(t.choice.stepSelection(true), 2);
  t.choice.setText("zz");
  EXPECT_EQ(t.choice.stepSelection(false), 9);
  // Replacing an item keeps one per id.
  t.choice.addItem(5, "A");
  EXPECT_EQ(menuLabels(t.choice), (std::vector<std::string>{"b", "A", "c"}));
  t.choice.removeItem(2);
  t.choice.removeItem(77);
  EXPECT_EQ(menuLabels(t.choice), (std::vector<std::string>{"A", "c"}));
}

TEST(WChoice, SelectingByIdAndText) {
  Tree t;
  t.choice.setInputHandler(&t.rec);
  t.choice.addItem(7, "b"); // the same label as id 2
  t.choice.setSelectedId(7);
  EXPECT_EQ(t.choice.getSelectedId(), 2); // the smaller id
  EXPECT_EQ(t.rec.events, (Events{"change text", "change choice"}));
  t.rec.events.clear();
  t.choice.setText("b"); // unchanged: no notice
  EXPECT_EQ(t.rec.events, Events{});
  t.choice.setSelectedId(1234);
  EXPECT_STREQ(t.choice.getText(), "");
  EXPECT_EQ(t.choice.getSelectedId(), -1);
  t.choice.setSelectedText("c", 5);
  EXPECT_STREQ(t.choice.getText(), "c");
  t.choice.setSelectedText("nothing", 5);
  EXPECT_STREQ(t.choice.getText(), "a");
  t.choice.setCompletion(true);
  EXPECT_EQ(t.choice.getTextField()->getCompletions(),
            (std::vector<std::string>{"b", "b", "a", "c"}));
  t.choice.setCompletion(false);
  EXPECT_TRUE(t.choice.getTextField()->getCompletions().empty());
}

TEST(WChoice, GeometryAndPreferredSize) {
  Tree t;
  wvw::WTextAutocomplete* text = t.choice.getTextField();
  EXPECT_EQ(t.choice.getChildRect(text), Rect(0, 0, 120 - 19, text->height()));
  EXPECT_EQ(t.choice.getChildRect(t.choice.getButton()), Rect(101, 0, 120, text->height()));
  int w, h;
  t.choice.getPreferredSize(&w, &h);
  EXPECT_EQ(w, 12 + 8 + 19); // "a" with margin 2 is 12 wide
  EXPECT_EQ(h, text->height());
  // The menu is at least as wide as the choice less 7.
  t.choice.getButton()->takeFocus();
  t.host.type(keys::Return);
  EXPECT_EQ(t.choice.getMenu()->width(), 113 + 6);
}

TEST(WChoice, KeyboardFlowEndToEnd) {
  Tree t;
  t.choice.setInputHandler(&t.rec);
  t.choice.getButton()->takeFocus();
  ASSERT_TRUE(t.choice.getButton()->hasFocus());
  t.host.type(keys::Return);
  wvw::WLayoutMenu* menu = t.choice.getMenu();
  ASSERT_TRUE(menu->isVisible());
  EXPECT_EQ(t.root.getPopup(), menu);
  EXPECT_EQ(t.root.getChildPosition(menu), Point(20, 30));
  EXPECT_TRUE(menu->getItems()[0]->hasFocus());
  t.host.type(keys::Down);
  EXPECT_TRUE(menu->getItems()[1]->hasFocus());
  t.host.type(keys::Return);
  // Chosen, closed, the focus back on the choice, the menu not reopened.
  EXPECT_STREQ(t.choice.getText(), "a");
  EXPECT_EQ(t.choice.getSelectedId(), 5);
  EXPECT_FALSE(menu->isVisible());
  EXPECT_EQ(t.root.getPopup(), nullptr);
  EXPECT_TRUE(t.choice.getButton()->hasFocus());
  EXPECT_FALSE(t.choice.getButton()->isPressed());
  Events named;
  for (const std::string& e : t.rec.events)
    if (e.find('?') == std::string::npos)
      named.push_back(e);
  EXPECT_EQ(named, (Events{"change text", "change choice", "click text"}));
  // The whole text is selected.
  int caret, anchor;
  t.choice.getTextField()->getSelection(&caret, &anchor);
  EXPECT_EQ(caret, 1);
  EXPECT_EQ(anchor, 0);

  // Up and Tab move through the menu too; Escape closes it unchosen.
  t.host.type(' ');
  ASSERT_TRUE(menu->isVisible());
  t.host.type(keys::Tab);
  t.host.type(keys::Tab);
  EXPECT_TRUE(menu->getItems()[2]->hasFocus());
  t.host.type(keys::Up);
  EXPECT_TRUE(menu->getItems()[1]->hasFocus());
  t.host.type('x'); // swallowed
  EXPECT_TRUE(menu->isVisible());
  t.host.type(keys::Escape);
  EXPECT_FALSE(menu->isVisible());
  EXPECT_TRUE(t.choice.getButton()->hasFocus());
  EXPECT_STREQ(t.choice.getText(), "a");
}

TEST(WChoice, ReturnFromTheButtonChoosesWhileTheMenuIsUp) {
  // A Return that reaches the button while the menu is up chooses the
  // focused item; its release only clears the pressed look and does not
  // open the menu again.
  Tree t;
  wvw::WChoiceButton* button = t.choice.getButton();
  button->takeFocus();
  t.host.type(keys::Return);
  wvw::WLayoutMenu* menu = t.choice.getMenu();
  ASSERT_TRUE(menu->isVisible());
  t.host.type(keys::Down);
  t.host.held.insert(keys::Return);
  button->onKey(keys::Return, true, button);
  EXPECT_FALSE(menu->isVisible());
  EXPECT_STREQ(t.choice.getText(), "a");
  EXPECT_TRUE(button->hasFocus());
  EXPECT_TRUE(button->isPressed());
  t.host.release(keys::Return);
  EXPECT_FALSE(menu->isVisible());
  EXPECT_FALSE(button->isPressed());
  // The next Return opens it as usual.
  t.host.type(keys::Return);
  EXPECT_TRUE(menu->isVisible());
}

TEST(WChoice, UpAndDownInTheFieldStep) {
  Tree t;
  t.choice.getTextField()->takeFocus();
  t.host.type(keys::Down);
  EXPECT_STREQ(t.choice.getText(), "b");
  t.host.type(keys::Down);
  EXPECT_STREQ(t.choice.getText(), "a");
  t.host.type(keys::Up);
  t.host.type(keys::Up);
  EXPECT_STREQ(t.choice.getText(), "c");
  EXPECT_TRUE(t.choice.getTextField()->hasFocus());
}

TEST(WChoice, PointerChoosesAndEmptyChoiceStaysShut) {
  Tree t;
  t.host.pointer(20 + 110, 35, 1);
  t.host.pointer(20 + 110, 35, 0);
  wvw::WLayoutMenu* menu = t.choice.getMenu();
  ASSERT_TRUE(menu->isVisible());
  Point at = t.root.getChildPosition(menu).translate(menu->getChildPosition(menu->getItems()[2]));
  t.host.pointer(at.x + 3, at.y + 3, 0);
  t.host.pointer(at.x + 3, at.y + 3, 1);
  t.host.pointer(at.x + 3, at.y + 3, 0);
  EXPECT_STREQ(t.choice.getText(), "c");
  EXPECT_FALSE(menu->isVisible());

  wvw::WChoice empty(&t.root, false, false, 10);
  t.root.addChild(&empty);
  t.root.setChildRect(&empty, Rect(20, 100, 140, 122));
  t.host.pointer(20 + 110, 105, 1);
  t.host.pointer(20 + 110, 105, 0);
  EXPECT_FALSE(empty.getMenu()->isVisible());
  EXPECT_EQ(t.root.getPopup(), nullptr);
}

TEST(WChoice, DisablingReachesFieldAndButton) {
  Tree t;
  t.choice.setEnabled(false);
  EXPECT_FALSE(t.choice.getTextField()->isEnabled());
  EXPECT_FALSE(t.choice.getButton()->isEnabled());
  EXPECT_FALSE(t.choice.isEnabled());
}

TEST(WChoice, DestroyedWhileItsMenuIsUp) {
  wvw::WCanvas root;
  root.setSize(300, 200);
  Patch patch;
  root.addChildSized(&patch, Rect(200, 150, 210, 160));
  WidgetTestHost host;
  host.attach(&root);
  host.focusIn();
  auto choice = std::make_unique<wvw::WChoice>(&root, false, false, 20);
  root.addChild(choice.get());
  root.setChildRect(choice.get(), Rect(20, 30, 140, 52));
  choice->addItem(1, "one");
  choice->getButton()->takeFocus();
  host.type(keys::Return);
  ASSERT_EQ(root.getPopup(), choice->getMenu());
  choice.reset();
  EXPECT_EQ(root.getPopup(), nullptr);
  EXPECT_EQ(root.numChildren(), 1);
  host.type(keys::Down);
  host.pointer(100, 40, 1);
  host.pointer(100, 40, 0);
}
