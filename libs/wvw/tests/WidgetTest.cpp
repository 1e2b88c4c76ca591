#include "wvw/Widget.h"

#include "rfb/KeysymNames.h"
#include "rfb/Keysyms.h"
#include "wvw/Font8x16.h"
#include "wvw/Style.h"
#include "wvw/WLayout.h"

#include "rfb/ColourMap.h"
#include "rfb/ManagedPixelBuffer.h"

#include "RecordingHandler.h"
#include "RegionCheck.h"
#include "TestWidgets.h"
#include "WidgetTestHost.h"

#include "plat/Exception.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using rfb::Point;
using rfb::Rect;
using rfb::RectSet;
using testing_support::RecordingHandler;
using testing_support::WidgetTestHost;
using Events = std::vector<std::string>;

namespace {
// A patch attached to a host with a recording handler of its own.
struct Fixture {
  Fixture() {
    rec.name(&w, "W");
    w.setSize(20, 10);
    w.setInputHandler(&rec);
    host.attach(&w);
    rec.events.clear();
    host.invalidations.clear();
  }
  Patch w;
  RecordingHandler rec;
  WidgetTestHost host;
};
} // namespace

TEST(Widget, PointerEventsTable) {
  struct Step {
    int x, y, mask;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    Events events;
  } cases[] = {
      {"same position and mask: nothing", {{0, 0, 0}}, {}},
      {"move", {{3, 4, 0}}, {"move 3,4 W"}},
      {"press 0 and 2 at once", {{0, 0, 0b101}}, {"press 0 W", "press 2 W"}},
      {"release both and press 1 in one event",
       {{0, 0, 0b101}, {0, 0, 0b010}},
       {"press 0 W", "press 2 W", "release 0 W", "press 1 W", "release 2 W"}},
      {"move then press", {{5, 5, 1}}, {"move 5,5 W", "press 0 W"}},
      {"button 7", {{0, 0, 0x80}, {0, 0, 0}}, {"press 7 W", "release 7 W"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    f.rec.quiet = {"focus"};
    for (const Step& s : c.steps)
      f.host.pointer(s.x, s.y, s.mask);
    EXPECT_EQ(f.rec.events, c.events);
  }
}

TEST(Widget, PointerLeaveForgetsButtons) {
  Fixture f;
  f.rec.quiet = {"focus"};
  f.host.pointer(2, 2, 1);
  f.host.leave();
  f.host.pointer(2, 2, 1); // pressed again: not the same state as before
  EXPECT_EQ(f.rec.events, (Events{"move 2,2 W", "press 0 W", "leave W", "press 0 W"}));
}

TEST(Widget, ButtonZeroTakesTheFocusBeforeHandlersSeeIt) {
  for (int button : {0, 1, 2}) {
    Fixture f;
    bool focusFirst = false;
    struct Spy : RecordingHandler {
      WidgetTestHost* host;
      bool* focusFirst;
      bool onButtonPress(int b, wvw::Widget* s) override {
        *focusFirst = !host->focusRequests.empty();
        return RecordingHandler::onButtonPress(b, s);
      }
    } spy;
    spy.host = &f.host;
    spy.focusFirst = &focusFirst;
    f.w.setInputHandler(&spy);
    f.host.pointer(0, 0, 1 << button);
    EXPECT_EQ(focusFirst, button == 0) << button;
    EXPECT_EQ(f.host.focusRequests.size(), button == 0 ? 1u : 0u);
    f.w.setInputHandler(&f.rec); // spy goes before f
  }
  // a widget that refuses the focus does not ask for it
  Fixture g;
  g.w.setFocusable(false);
  g.host.pointer(0, 0, 1);
  EXPECT_TRUE(g.host.focusRequests.empty());
}

TEST(Widget, DefaultKeysTable) {
  struct Case {
    const char* name;
    std::vector<uint32_t> held;
    uint32_t key;
    bool handled;
    int next, previous, bells;
    Events events;
    std::vector<std::string> handledKinds;
  } cases[] = {
      {"Tab", {}, rfb::keys::Tab, true, 1, 0, 0, {"key ff09 down W"}, {}},
      {"Shift+Tab", {rfb::keys::Shift_L}, rfb::keys::Tab, true, 0, 1, 0, {"key ff09 down W"}, {}},
      {"right Shift+Tab",
       {rfb::keys::Shift_R},
       rfb::keys::Tab,
       true,
       0,
       1,
       0,
       {"key ff09 down W"},
       {}},
      {"Down", {}, rfb::keys::Down, true, 1, 0, 0, {"key ff54 down W"}, {}},
      {"Up", {}, rfb::keys::Up, true, 0, 1, 0, {"key ff52 down W"}, {}},
      {"Ctrl+V pastes",
       {rfb::keys::Control_L},
       'v',
       true,
       0,
       0,
       0,
       {"key 76 down W", "paste W"},
       {"paste"}},
      {"Ctrl+Shift+V pastes",
       {rfb::keys::Control_L, rfb::keys::Shift_L},
       'V',
       true,
       0,
       0,
       0,
       {"key 56 down W", "paste W"},
       {"paste"}},
      {"V without Control", {}, 'V', false, 0, 0, 0, {"key 56 down W"}, {}},
      {"Ctrl+C unhandled rings",
       {rfb::keys::Control_R},
       'c',
       true,
       0,
       0,
       1,
       {"key 63 down W", "copy W"},
       {}},
      {"Ctrl+V unhandled rings",
       {rfb::keys::Control_L},
       'V',
       true,
       0,
       0,
       1,
       {"key 56 down W", "paste W"},
       {}},
      {"handled key goes no further",
       {},
       rfb::keys::Tab,
       true,
       0,
       0,
       0,
       {"key ff09 down W"},
       {"key"}},
      {"keypad Tab is Tab", {}, rfb::keys::KP_Tab, true, 1, 0, 0, {"key ff09 down W"}, {}},
      {"other key", {}, 'x', false, 0, 0, 0, {"key 78 down W"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    for (const std::string& k : c.handledKinds)
      f.rec.handled.insert(k);
    f.host.held.insert(c.held.begin(), c.held.end());
    f.w.keyEvent(c.key, true);
    // the answer of onKey itself, asked again after the fact
    RecordingHandler quiet;
    EXPECT_EQ(f.host.focusNextCalls, c.next);
    EXPECT_EQ(f.host.focusPreviousCalls, c.previous);
    EXPECT_EQ(f.host.bells, c.bells);
    EXPECT_EQ(f.rec.events, c.events);
    f.rec.events.clear();
    f.host.focusNextCalls = f.host.focusPreviousCalls = f.host.bells = 0;
    EXPECT_EQ(f.w.onKey(rfb::canonicalKeysym(c.key), true, &f.w), c.handled);
  }
}

TEST(Widget, ReleasesAndForeignSourcesGetNoDefaultKeys) {
  Fixture f;
  EXPECT_FALSE(f.w.onKey(rfb::keys::Tab, false, &f.w));
  Patch other;
  EXPECT_FALSE(f.w.onKey(rfb::keys::Tab, true, &other));
  EXPECT_EQ(f.host.focusNextCalls, 0);
}

TEST(Widget, HandlerThenParentHandler) {
  Patch w;
  RecordingHandler own, parent;
  own.name(&w, "W");
  parent.name(&w, "W");
  WidgetTestHost host;
  w.setInputHandler(&own);
  host.attach(&w, &parent);
  own.events.clear();
  parent.events.clear();
  EXPECT_FALSE(w.onClick(&w));
  EXPECT_EQ(own.events, Events{"click W"});
  EXPECT_EQ(parent.events, Events{"click W"});
  own.handled = {"click"};
  EXPECT_TRUE(w.onClick(&w));
  EXPECT_EQ(parent.events.size(), 1u); // not asked again
  parent.handled = {"change"};
  EXPECT_TRUE(w.onChange(&w));
}

TEST(Widget, AttachInvalidatesThenNotifies) {
  Patch w;
  w.setSize(4, 3);
  RecordingHandler rec;
  rec.name(&w, "W");
  w.setInputHandler(&rec);
  WidgetTestHost host;
  host.attach(&w);
  ASSERT_EQ(host.invalidations.size(), 1u);
  EXPECT_EQ(boxesOf(host.invalidations[0]), "0,0,4,3");
  EXPECT_EQ(rec.events, Events{"attach W"});
  host.detach();
  EXPECT_EQ(rec.events, (Events{"attach W", "detach W"}));
  EXPECT_EQ(w.getParent(), nullptr);
  w.invalidate(); // detached: goes nowhere
  EXPECT_EQ(host.invalidations.size(), 1u);
}

TEST(Widget, SetSizeDamagesTheUnion) {
  Patch w;
  RecordingHandler rec;
  rec.name(&w, "W");
  w.setInputHandler(&rec);
  WidgetTestHost host;
  host.attach(&w);
  host.invalidations.clear();
  rec.events.clear();
  w.setSize(10, 5);
  ASSERT_EQ(host.invalidations.size(), 1u);
  EXPECT_EQ(boxesOf(host.invalidations[0]), "0,0,10,5");
  EXPECT_EQ(rec.events, Events{"size W"});
  w.setSize(10, 5);
  EXPECT_EQ(rec.events.size(), 1u);
  w.setSize(4, 8);
  EXPECT_EQ(boxesOf(host.invalidations[1]), "0,0,10,8");
  w.setSize(0, 0);
  EXPECT_EQ(boxesOf(host.invalidations[2]), "0,0,4,8");
}

TEST(Widget, HugeWidgetInvalidatesUpToTheSixteenBitLimit) {
  Fixture f;
  f.w.setSize(40000, 10);
  f.host.invalidations.clear();
  f.w.invalidate();
  EXPECT_EQ(boxesOf(f.host.invalidations[0]), "0,0,32767,10");
}

TEST(Widget, HidingTheFocusedWidgetMovesTheFocusFirst) {
  Fixture f;
  struct Spy : RecordingHandler {
    WidgetTestHost* host;
    int nextCallsSeen = -1;
    bool onVisibilityChange(wvw::Widget* s) override {
      nextCallsSeen = host->focusNextCalls;
      return RecordingHandler::onVisibilityChange(s);
    }
  } spy;
  spy.host = &f.host;
  f.w.setInputHandler(&spy);
  f.w.setVisible(false);
  EXPECT_EQ(spy.nextCallsSeen, 1);
  // the area it leaves was reported while it still counted as visible
  ASSERT_EQ(f.host.invalidations.size(), 1u);
  EXPECT_EQ(boxesOf(f.host.invalidations[0]), "0,0,20,10");
  f.w.setVisible(false); // unchanged: nothing
  EXPECT_EQ(spy.nextCallsSeen, 1);
  f.w.setVisible(true);
  EXPECT_EQ(f.host.invalidations.size(), 2u);
  f.w.bell();
  EXPECT_EQ(f.host.bells, 1);
  f.w.setVisible(false);
  f.w.bell(); // hidden widgets do not ring
  EXPECT_EQ(f.host.bells, 1);
  f.w.setInputHandler(&f.rec); // spy goes before f
}

TEST(Widget, DisablingTheFocusedWidgetMovesTheFocus) {
  Fixture f;
  f.w.setEnabled(false);
  EXPECT_EQ(f.host.focusNextCalls, 1);
  EXPECT_EQ(f.rec.events, Events{"enabled W"});
  EXPECT_FALSE(f.w.acceptsFocus());
  f.host.focused = false;
  f.w.setEnabled(true);
  f.w.setEnabled(false);
  EXPECT_EQ(f.host.focusNextCalls, 1); // not focused: no move
}

TEST(Widget, StyleLookup) {
  Patch w;
  EXPECT_EQ(w.getStyle(), wvw::Widget::getDefaultStyle());
  EXPECT_EQ(wvw::Widget::getDefaultStyle(), wvw::Widget::getDefaultStyle());
  wvw::Style* d = wvw::Widget::getDefaultStyle();
  EXPECT_EQ(d->font, &wvw::Font8x16::instance);
  EXPECT_EQ(d->background, rfb::Colour(200, 200, 200));
  EXPECT_EQ(d->selectedBackground, rfb::Colour(0, 0, 200));
  EXPECT_EQ(d->bevelWidth, 2);
  WidgetTestHost host;
  host.attach(&w);
  EXPECT_EQ(w.getStyle(), d); // the host offers none
  wvw::Style hostStyle = *d;
  host.style = &hostStyle;
  EXPECT_EQ(w.getStyle(), &hostStyle);
  wvw::Style own = *d;
  host.invalidations.clear();
  w.setStyle(&own);
  EXPECT_EQ(w.getStyle(), &own);
  EXPECT_EQ(host.invalidations.size(), 1u); // styleChanged repaints
}

TEST(Widget, ColourToPixelTable) {
  struct MapOfThree : rfb::ColourMap {
    void lookup(int i, rfb::Colour* c) override {
      static const rfb::Colour cs[] = {{0, 0, 0}, {255, 255, 255}, {200, 0, 0}};
      *c = cs[i];
    }
    int size() override { return 3; }
  } map;
  struct Case {
    rfb::PixelLayout pf;
    rfb::Colour c;
    uint32_t pixel;
  } cases[] = {
      {rfb::PixelLayout::xrgb32LittleEndian, {0x12, 0x34, 0x56}, 0x123456},
      {rfb::PixelLayout::xbgr32LittleEndian, {0x12, 0x34, 0x56}, 0x563412},
      {rfb::PixelLayout::rgb565, {255, 128, 0}, 0xF800 | (32 << 5)},
      {rfb::PixelLayout(), {255, 255, 255}, 0xFF}, // bgr233
      {rfb::PixelLayout::rgba32BigEndian, {0x12, 0x34, 0x56}, 0x00563412},
      {rfb::PixelLayout(16, 16, true, true, 31, 63, 31, 11, 5, 0), {255, 0, 0}, 0x00F8},
      {rfb::PixelLayout::pal8, {190, 10, 10}, 2},
      // a channel shifted out of the 32-bit value contributes nothing
      {rfb::PixelLayout(32, 24, false, true, 255, 255, 255, 40, 8, 0), {0x12, 0x34, 0x56}, 0x3456},
      {rfb::PixelLayout(32, 24, false, true, 255, 255, 255, 16, 255, 32),
       {0x12, 0x34, 0x56},
       0x120000},
  };
  for (const Case& c : cases) {
    rfb::ManagedPixelBuffer pb(c.pf, 1, 1, &map);
    EXPECT_EQ(wvw::colourToPixel(c.c, &pb), c.pixel) << int(c.pf.bpp);
  }
  EXPECT_EQ(wvw::growRect(Rect(5, 5, 10, 10), 2), Rect(3, 3, 12, 12));
  EXPECT_EQ(wvw::growRect(Rect(5, 5, 10, 10), -1), Rect(6, 6, 9, 9));
}

TEST(Widget, MapPointBetweenWidgets) {
  wvw::WLayout root, inner;
  Patch a, b, lone;
  root.addChildAt(&inner, Point(10, 20));
  inner.addChildAt(&a, Point(3, 4));
  root.addChildAt(&b, Point(100, 0));
  Point off;
  EXPECT_EQ(a.findRoot(&off), &root);
  EXPECT_EQ(off, Point(13, 24));
  EXPECT_EQ(a.mapPointTo(Point(1, 1), &b), Point(14 - 100, 25));
  EXPECT_EQ(b.mapPointTo(Point(0, 0), &a), Point(87, -24));
  EXPECT_EQ(lone.findRoot(nullptr), nullptr);
  try {
    a.mapPointTo(Point(0, 0), &lone);
    FAIL();
  } catch (const plat::Exception& e) {
    EXPECT_STREQ(e.str(), "no common ancestor");
  }
}
