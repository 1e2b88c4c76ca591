// Push buttons, bevel buttons and arrows: pressing and clicking by pointer
// and keyboard, damage, geometry and looks.
#include "wvw/WButton.h"

#include "rfb/FullFramePixelBuffer.h"
#include "rfb/KeysymNames.h"

#include "wvw/Style.h"
#include "wvw/WArrow.h"
#include "wvw/WArrowButton.h"
#include "wvw/WBevelButton.h"
#include "wvw/WIconButton.h"
#include "wvw/WLabelButton.h"

#include "GoldenImage.h"
#include "PixelProbe.h"
#include "RecordingHandler.h"
#include "RegionCheck.h"
#include "TestWidgets.h"
#include "WidgetTestHost.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using rfb::Point;
using rfb::Rect;
using testing_support::RecordingHandler;
using testing_support::WidgetTestHost;
using wvw::Widget;
using Events = std::vector<std::string>;

namespace keys = rfb::keys;

namespace {

class Back : public wvw::WLayout {
public:
  void draw(rfb::WritablePixelBuffer* pb) override {
    pb->fillRect(Rect(0, 0, width(), height()), wvw::colourToPixel(getStyle()->background, pb));
    WLayout::draw(pb);
  }
};

// Two label buttons side by side in a 200 x 100 root, and a patch that
// takes the focus: button a at (10, 10)-(60, 40), b at (100, 10)-(150, 40).
struct Tree {
  Tree() : a("A"), b("B") {
    root.addChildSized(&a, Rect(10, 10, 60, 40));
    root.addChildSized(&b, Rect(100, 10, 150, 40));
    root.addChildSized(&other, Rect(10, 60, 30, 80));
    root.setSize(200, 100);
    rec.name(&a, "a");
    rec.name(&b, "b");
    rec.quiet = {"move", "leave", "press", "release", "focus", "key", "attach", "size", "enabled"};
    a.setInputHandler(&rec);
    b.setInputHandler(&rec);
    host.attach(&root);
  }
  wvw::WLabelButton a, b;
  Patch other;
  Back root;
  RecordingHandler rec;
  WidgetTestHost host;
};

} // namespace

TEST(WButton, PointerTable) {
  struct Step {
    int x, y, mask;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    Events events;
    bool pressedAtEnd;
  } cases[] = {
      {"click",
       {{20, 20, 0}, {20, 20, 1}, {20, 20, 0}},
       {"change a", "change a", "click a"},
       false},
      {"press in one call with the move",
       {{20, 20, 1}, {20, 20, 0}},
       {"change a", "change a", "click a"},
       false},
      {"buttons 1 and 2 click too",
       {{20, 20, 2}, {20, 20, 0}, {20, 20, 4}, {20, 20, 0}},
       {"change a", "change a", "click a", "change a", "change a", "click a"},
       false},
      {"button 3 and the wheel neither press nor click",
       {{20, 20, 8}, {20, 20, 0}, {20, 20, 16}, {20, 20, 0}},
       {},
       false},
      {"drag out and release outside",
       {{20, 20, 1}, {90, 90, 1}, {90, 90, 0}},
       {"change a", "change a"},
       false},
      {"drag out, back in, release inside",
       {{20, 20, 1}, {90, 90, 1}, {25, 25, 1}, {25, 25, 0}},
       {"change a", "change a", "change a", "change a", "click a"},
       false},
      {"drag out and held", {{20, 20, 1}, {90, 90, 1}}, {"change a", "change a"}, false},
      {"press on a, release on b",
       {{20, 20, 1}, {110, 20, 1}, {110, 20, 0}},
       {"change a", "change a"},
       false},
      {"release that jumps from a onto b",
       {{20, 20, 1}, {110, 20, 0}},
       {"change a", "change a"},
       false},
      {"a drag from the background onto a button",
       {{180, 90, 0}, {180, 90, 1}, {20, 20, 1}, {20, 20, 0}},
       {},
       false},
      {"a drag from another widget onto a button",
       {{15, 65, 1}, {20, 20, 1}, {20, 20, 0}},
       {},
       false},
      {"held inside", {{20, 20, 1}}, {"change a"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Tree t;
    for (const Step& s : c.steps)
      t.host.pointer(s.x, s.y, s.mask);
    EXPECT_EQ(t.rec.events, c.events);
    EXPECT_EQ(t.a.isPressed(), c.pressedAtEnd);
    EXPECT_FALSE(t.b.isPressed());
  }
}

TEST(WButton, ButtonZeroTakesTheFocus) {
  Tree t;
  t.host.focusIn();
  ASSERT_FALSE(t.b.hasFocus());
  t.host.pointer(110, 20, 1);
  EXPECT_TRUE(t.b.hasFocus());
  t.host.pointer(110, 20, 0);
  t.host.pointer(20, 20, 2);
  EXPECT_FALSE(t.a.hasFocus());
}

TEST(WButton, KeyTable) {
  struct Step {
    uint32_t key;
    bool down;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    Events events;
  } cases[] = {
      {"space", {{keys::space, true}, {keys::space, false}}, {"change a", "change a", "click a"}},
      {"Return",
       {{keys::Return, true}, {keys::Return, false}},
       {"change a", "change a", "click a"}},
      {"auto-repeat presses change nothing",
       {{keys::space, true}, {keys::space, true}, {keys::space, true}, {keys::space, false}},
       {"change a", "change a", "click a"}},
      {"a release without a press", {{keys::space, false}}, {}},
      {"another key", {{'x', true}, {'x', false}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Tree t;
    t.host.focusIn();
    ASSERT_TRUE(t.a.hasFocus());
    for (const Step& s : c.steps) {
      if (s.down)
        t.host.press(s.key);
      else
        t.host.release(s.key);
    }
    EXPECT_EQ(t.rec.events, c.events);
    EXPECT_FALSE(t.a.isPressed());
  }
}

TEST(WButton, TabStillMovesTheFocus) {
  Tree t;
  t.host.focusIn();
  t.host.type(keys::Tab);
  EXPECT_TRUE(t.b.hasFocus());
}

// A press in progress ends without a click when the button is disabled or,
// for a key press, when the focus goes elsewhere.
TEST(WButton, MidPressDisableAndFocusLoss) {
  {
    Tree t;
    t.host.pointer(20, 20, 1);
    ASSERT_TRUE(t.a.isPressed());
    t.a.setEnabled(false);
    EXPECT_FALSE(t.a.isPressed());
    t.host.pointer(20, 20, 0);
    EXPECT_EQ(t.rec.events, (Events{"change a", "change a"}));
  }
  {
    Tree t;
    t.host.focusIn();
    t.host.press(keys::space);
    ASSERT_TRUE(t.a.isPressed());
    t.b.takeFocus();
    EXPECT_FALSE(t.a.isPressed());
    t.host.release(keys::space);
    EXPECT_EQ(t.rec.events, (Events{"change a", "change a"}));
  }
  {
    Tree t;
    t.host.focusIn();
    t.host.press(keys::space);
    t.a.setEnabled(false);
    t.host.release(keys::space);
    EXPECT_EQ(t.rec.events, (Events{"change a", "change a"}));
  }
}

TEST(WButton, ClickHandlerMayDeleteTheButton) {
  struct Deleter : wvw::WInputHandler {
    bool onClick(Widget* s) override {
      delete s;
      deleted = true;
      return true;
    }
    bool deleted = false;
  } deleter;
  for (bool byKey : {false, true}) {
    SCOPED_TRACE(byKey);
    Back root;
    auto* button = new wvw::WLabelButton("X");
    root.addChildSized(button, Rect(0, 0, 40, 20));
    root.setSize(50, 30);
    button->setInputHandler(&deleter);
    WidgetTestHost host;
    host.attach(&root);
    host.focusIn();
    deleter.deleted = false;
    if (byKey) {
      host.type(keys::space);
    } else {
      host.pointer(5, 5, 1);
      host.pointer(5, 5, 0);
    }
    EXPECT_TRUE(deleter.deleted);
    EXPECT_EQ(root.numChildren(), 0);
    host.pointer(6, 6, 0);
  }
}

TEST(WButton, ContentTakesTheEnabledStateAndNoPointerInput) {
  RecordingHandler rec;
  Patch content;
  wvw::WBevelButton button;
  rec.name(&content, "content");
  content.setInputHandler(&rec);
  button.setContent(&content);
  button.setSize(30, 20);
  WidgetTestHost host;
  host.attach(&button);
  EXPECT_EQ(button.getChildRect(&content), Rect(3, 3, 27, 17));
  host.pointer(10, 10, 1);
  host.pointer(10, 10, 0);
  for (const std::string& e : rec.events)
    EXPECT_EQ(e.rfind("move", 0), std::string::npos) << e;
  button.setEnabled(false);
  EXPECT_FALSE(content.isEnabled());
  button.setContent(nullptr);
  EXPECT_EQ(button.numChildren(), 0);
  button.setSize(40, 40); // without content: nothing to place
  int w, h;
  button.getPreferredSize(&w, &h);
  EXPECT_EQ(w, 6);
  EXPECT_EQ(h, 6);
}

TEST(WBevelButton, GeometryAndDamage) {
  wvw::WLabelButton button("OK");
  button.setSize(40, 20);
  EXPECT_EQ(button.getChildRect(button.getLabel()), Rect(3, 3, 37, 17));
  int w, h;
  button.getPreferredSize(&w, &h);
  EXPECT_EQ(w, 16 + 6);
  EXPECT_EQ(h, 16 + 6);

  WidgetTestHost host;
  host.attach(&button);
  host.invalidations.clear();
  button.setPressed(true);
  ASSERT_EQ(host.invalidations.size(), 1u);
  rfb::RectSet ring(Rect(1, 1, 39, 19));
  ring.setSubtract(ring, rfb::RectSet(Rect(3, 3, 37, 17)));
  EXPECT_TRUE(host.invalidations[0].equals(ring));
  EXPECT_FALSE(button.setPressed(true));

  host.invalidations.clear();
  host.focusIn();
  ASSERT_FALSE(host.invalidations.empty());
  rfb::RectSet outer(Rect(0, 0, 40, 20));
  outer.setSubtract(outer, rfb::RectSet(Rect(1, 1, 39, 19)));
  EXPECT_TRUE(host.invalidations[0].equals(outer));
}

// The icon sits 3 pixels in, like any bevel button's content, centred
// there; it follows the button's enabled state, and the button clicks as
// the others do.
TEST(WIconButton, IconInsideTheBevelFollowsTheButton) {
  static const uint8_t arrowUp[] = {0x20, 0x70, 0xF8}; // 5 x 3
  wvw::WIconButton button(arrowUp, 5, 3);
  int w, h;
  button.getPreferredSize(&w, &h);
  EXPECT_EQ(w, 5 + 6);
  EXPECT_EQ(h, 3 + 6);
  button.setSize(15, 11);
  EXPECT_EQ(button.getChildRect(button.getIcon()), Rect(3, 3, 12, 8));

  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, 15, 11);
  pb.fillRect(pb.getRect(), 0xFF00FF);
  button.draw(&pb);
  // the 9 x 5 content area centres the bitmap at (5, 4)
  EXPECT_EQ(countColour(pb, Widget::Black, Rect(3, 3, 12, 8)), 1 + 3 + 5);
  EXPECT_EQ(boxOf(pb, Widget::Black).intersect(Rect(3, 3, 12, 8)), Rect(5, 4, 10, 7));

  RecordingHandler rec;
  rec.name(&button, "icon");
  rec.quiet = {"move", "leave", "press", "release", "focus", "key", "attach", "size", "enabled"};
  button.setInputHandler(&rec);
  WidgetTestHost host;
  host.attach(&button);
  host.pointer(7, 5, 1);
  host.pointer(7, 5, 0);
  EXPECT_EQ(rec.events, (Events{"change icon", "change icon", "click icon"}));

  button.setEnabled(false);
  EXPECT_FALSE(button.getIcon()->isEnabled());
  button.setEnabled(true);
  EXPECT_TRUE(button.getIcon()->isEnabled());
  button.setInputHandler(nullptr);
}

TEST(WArrow, Geometry) {
  // the rows or columns of the triangle, each [from, to) along the line
  struct Line {
    int at, from, to;
  };
  struct Case {
    int direction, w, h;
    std::vector<Line> lines;
  } cases[] = {
      {wvw::WArrow::Down, 10, 10, {{3, 2, 8}, {4, 3, 7}, {5, 4, 6}}},
      {wvw::WArrow::Up, 10, 10, {{6, 2, 8}, {5, 3, 7}, {4, 4, 6}}},
      {wvw::WArrow::Right, 10, 10, {{3, 2, 8}, {4, 3, 7}, {5, 4, 6}}},
      {wvw::WArrow::Left, 10, 10, {{6, 2, 8}, {5, 3, 7}, {4, 4, 6}}},
      // a wide widget centres the square: (5, 0)-(15, 10), shrunk to (7, 2)
      {wvw::WArrow::Down, 20, 10, {{3, 7, 13}, {4, 8, 12}, {5, 9, 11}}},
      // an odd side: d = 5, three lines, q = 1
      {wvw::WArrow::Down, 9, 9, {{3, 2, 7}, {4, 3, 6}, {5, 4, 5}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.direction);
    wvw::WArrow arrow(c.direction);
    arrow.setSize(c.w, c.h);
    rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, c.w, c.h);
    pb.fillRect(pb.getRect(), 0xFF00FF);
    arrow.draw(&pb);
    bool vertical = c.direction == wvw::WArrow::Left || c.direction == wvw::WArrow::Right;
    int expected = 0;
    for (const Line& l : c.lines) {
      for (int i = l.from; i < l.to; i++) {
        int x = vertical ? l.at : i, y = vertical ? i : l.at;
        EXPECT_TRUE(isColour(pb, x, y, Widget::Black)) << x << "," << y;
      }
      expected += l.to - l.from;
    }
    EXPECT_EQ(countColour(pb, Widget::Black), expected);
    // outside the shrunk square nothing is painted
    EXPECT_EQ(pb.getPixel(Point(0, 0)), 0xFF00FFu);
  }
  wvw::WArrow tiny(wvw::WArrow::Down);
  tiny.setSize(3, 3); // nothing left inside the margin
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, 3, 3);
  pb.fillRect(pb.getRect(), 0xFF00FF);
  tiny.draw(&pb);
  EXPECT_EQ(countColour(pb, Widget::Black), 0);
}

TEST(WButton, GoldenImage) {
  Back root;
  wvw::WLabelButton normal("Normal"), focused("Focused"), pressed("Pressed"), disabled("Disabled");
  wvw::WArrowButton left(wvw::WArrow::Left), right(wvw::WArrow::Right), up(wvw::WArrow::Up),
      down(wvw::WArrow::Down), off(wvw::WArrow::Down), pressedArrow(wvw::WArrow::Left);
  int x = 4;
  for (wvw::WLabelButton* b : {&normal, &focused, &pressed, &disabled}) {
    root.addChildSized(b, Rect(x, 4, x + 80, 28));
    x += 84;
  }
  x = 4;
  for (wvw::WArrowButton* b : {&left, &right, &up, &down, &off, &pressedArrow}) {
    root.addChildSized(b, Rect(x, 32, x + 16, 48));
    x += 20;
  }
  root.setSize(340, 52);
  disabled.setEnabled(false);
  off.setEnabled(false);
  WidgetTestHost host;
  host.attach(&root);
  host.focusIn();
  focused.takeFocus();
  pressed.setPressed(true);
  pressedArrow.setPressed(true);
  // A tree holds one focus: the focused arrow button is a tree of its own,
  // painted in the next place of the row.
  Back arrowRoot;
  wvw::WArrowButton focusedArrow(wvw::WArrow::Right);
  arrowRoot.addChildSized(&focusedArrow, Rect(0, 0, 16, 16));
  arrowRoot.setSize(16, 16);
  WidgetTestHost arrowHost;
  arrowHost.attach(&arrowRoot);
  arrowHost.focusIn();
  focusedArrow.takeFocus();
  ASSERT_TRUE(focusedArrow.hasFocus());
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, root.width(), root.height());
  pb.fillRect(pb.getRect(), 0xFF00FF);
  host.paint(&pb);
  rfb::FullFramePixelBuffer slot(pb, Rect(x, 32, x + 16, 48));
  arrowHost.paint(&slot);
  EXPECT_TRUE(matchesGolden(pb, "buttons"));
}

// Each change reports enough damage: repainting only the damage gives the
// pixels of a full repaint.
TEST(WButton, DamageRepaintsWhatChanged) {
  Tree t;
  rfb::ManagedPixelBuffer shown(rfb::PixelLayout::xrgb32LittleEndian, 200, 100);
  t.host.paint(&shown);
  t.host.damage.clear();
  std::vector<std::function<void()>> steps = {
      [&] { t.host.focusIn(); },          [&] { t.host.pointer(20, 20, 1); },
      [&] { t.host.pointer(90, 90, 1); }, [&] { t.host.pointer(25, 25, 1); },
      [&] { t.host.pointer(25, 25, 0); }, [&] { t.host.type(keys::Tab); },
      [&] { t.host.press(keys::space); }, [&] { t.host.release(keys::space); },
      [&] { t.b.setEnabled(false); },     [&] { t.a.getLabel()->setText("Longer"); },
  };
  for (size_t i = 0; i < steps.size(); i++) {
    SCOPED_TRACE(i);
    steps[i]();
    t.host.paintDamage(&shown);
    rfb::ManagedPixelBuffer full(rfb::PixelLayout::xrgb32LittleEndian, 200, 100);
    t.host.paint(&full);
    std::vector<uint8_t> a(200 * 100 * 4), b(a.size());
    shown.getImage(a.data(), shown.getRect());
    full.getImage(b.data(), full.getRect());
    EXPECT_TRUE(a == b);
  }
}

// A button removed in the middle of a drag leaves the drag with the layout:
// the button under the pointer at the release did not receive the press.
TEST(WButton, ReleaseAfterThePressedButtonWasRemoved) {
  Tree t;
  t.host.pointer(20, 20, 1);
  ASSERT_TRUE(t.a.isPressed());
  t.root.removeChild(&t.a);
  t.host.pointer(110, 20, 1);
  t.host.pointer(110, 20, 0);
  EXPECT_FALSE(t.b.isPressed());
  for (const std::string& e : t.rec.events)
    EXPECT_NE(e, "click b");
  // the next press on b is b's own
  t.host.pointer(110, 20, 1);
  t.host.pointer(110, 20, 0);
  EXPECT_EQ(t.rec.events.back(), "click b");
}
