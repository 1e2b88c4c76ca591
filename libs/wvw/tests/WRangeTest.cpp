// Ranges: stepping with wrap, setting and clamping, keys, auto-repeat on the
// injected clock, and typed numbers in the text form.
#include "wvw/WRange.h"

#include "rfb/KeysymNames.h"
#include "wvw/WCanvas.h"
#include "wvw/WRangeText.h"

#include "GoldenImage.h"
#include "ManualClock.h"
#include "RecordingHandler.h"
#include "WidgetTestHost.h"

#include "plat/TimerManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using rfb::Rect;
using testing_support::ManualClock;
using testing_support::RecordingHandler;
using testing_support::WidgetTestHost;
using Events = std::vector<std::string>;

namespace keys = rfb::keys;

namespace {

template <class R> struct Tree {
  explicit Tree(int lo, int hi, bool wrap) : range(lo, hi, wrap) {
    root.addChildSized(&range, Rect(10, 10, 110, 30));
    root.setSize(200, 50);
    rec.name(&range, "range");
    rec.only = &range;
    rec.quiet = {"move", "leave", "press", "release", "focus", "key", "attach", "size", "click"};
    range.setInputHandler(&rec);
    host.attach(&root);
    host.focusIn();
  }
  ManualClock clock;
  plat::TimerManager timers;
  wvw::WCanvas root;
  R range;
  RecordingHandler rec;
  WidgetTestHost host;
};

} // namespace

TEST(WRange, SteppingAtTheEnds) {
  Tree<wvw::WRange> plain(1, 5, false);
  plain.range.setValue(5);
  plain.rec.events.clear();
  plain.range.increment();
  EXPECT_EQ(plain.range.getValue(), 5);
  EXPECT_EQ(plain.rec.events, Events{"change range"}); // reported all the same
  Tree<wvw::WRange> wrap(1, 5, true);
  wrap.range.setValue(5);
  wrap.range.increment();
  EXPECT_EQ(wrap.range.getValue(), 1);
  wrap.range.decrement();
  EXPECT_EQ(wrap.range.getValue(), 5);
}

TEST(WRange, SetValueAndRange) {
  Tree<wvw::WRange> t(0, 30, false);
  t.range.setValue(3);
  t.rec.events.clear();
  t.range.setValue(31); // ignored
  t.range.setValue(-1);
  t.range.setValue(3); // unchanged
  EXPECT_EQ(t.rec.events, Events{});
  t.range.setRange(10, 20);
  EXPECT_EQ(t.range.getValue(), 10);
  t.range.setRange(0, 30);
  t.range.setValue(25);
  t.range.setRange(10, 20);
  EXPECT_EQ(t.range.getValue(), 20);
}

TEST(WRange, KeysStepOnRelease) {
  Tree<wvw::WRange> t(0, 10, false);
  t.range.takeFocus();
  t.host.press(keys::Right);
  EXPECT_EQ(t.range.getValue(), 0);
  t.host.release(keys::Right);
  EXPECT_EQ(t.range.getValue(), 1);
  t.host.type(keys::Left);
  EXPECT_EQ(t.range.getValue(), 0);
}

TEST(WRange, HeldButtonRepeatsFasterDownTo100ms) {
  Tree<wvw::WRange> t(0, 100, false);
  // ">" is the square at the right end: (90, 10)-(110, 30).
  t.host.pointer(100, 20, 1);
  EXPECT_TRUE(t.range.getIncButton()->isPressed());
  EXPECT_EQ(t.range.getRepeatTimer()->getTimeoutMs(), 300);
  std::vector<int> steps;
  int elapsed = 0;
  for (int ms = 1; ms <= 1210; ms++) {
    t.clock.advanceMs(1);
    elapsed++;
    int before = t.range.getValue();
    t.timers.processTimers();
    if (t.range.getValue() != before) {
      steps.push_back(elapsed);
      elapsed = 0;
    }
  }
  EXPECT_EQ(steps, (std::vector<int>{300, 240, 192, 153, 122, 100, 100}));
  EXPECT_EQ(t.range.getValue(), 7);
  // The release clicks once more; the timer then fires once and stops.
  t.host.pointer(100, 20, 0);
  EXPECT_EQ(t.range.getValue(), 8);
  t.clock.advanceMs(300);
  t.timers.processTimers();
  EXPECT_EQ(t.range.getValue(), 8);
  EXPECT_FALSE(t.range.getRepeatTimer()->isStarted());
}

TEST(WRange, HeldDownButtonStopsAtTheMinimum) {
  Tree<wvw::WRange> t(0, 100, false);
  t.range.setValue(2);
  t.host.pointer(15, 20, 1);
  for (int i = 0; i < 20; i++) {
    t.clock.advanceMs(300);
    t.timers.processTimers();
  }
  EXPECT_EQ(t.range.getValue(), 0);
  t.host.pointer(15, 20, 0);
  EXPECT_EQ(t.range.getValue(), 0);
}

TEST(WRangeText, TypedNumbersAreClamped) {
  Tree<wvw::WRangeText> t(1, 90, false);
  wvw::WText* field = t.range.getTextField();
  EXPECT_STREQ(field->getText(), "1");
  struct Case {
    const char* typed;
    int value;
    const char* shown;
    bool notified;
  } cases[] = {
      {"120", 90, "90", true},        {"0", 1, "1", true},
      {"45", 45, "45", true},         {"", 45, "", false},
      {"4294967301", 90, "90", true}, {"-4294967295", 1, "1", true},
      {"x", 1, "1", false},           {"99999999999999999999999", 90, "90", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    t.rec.events.clear();
    field->setText(c.typed);
    EXPECT_EQ(t.range.getValue(), c.value);
    EXPECT_STREQ(field->getText(), c.shown);
    EXPECT_EQ(t.rec.events, c.notified ? Events{"change range"} : Events{});
  }
  t.range.setValue(500); // ignored, but the field shows the value
  EXPECT_STREQ(field->getText(), "90");
  t.range.decrement();
  EXPECT_STREQ(field->getText(), "89");
}

TEST(WRange, Looks) {
  wvw::WCanvas root;
  wvw::WRange range(0, 10, false);
  wvw::WRangeText text(0, 10, false);
  wvw::WRange off(0, 10, false);
  root.addChildSized(&range, Rect(4, 4, 104, 26));
  root.addChildSized(&text, Rect(4, 30, 104, 52));
  root.addChildSized(&off, Rect(4, 56, 104, 78));
  root.setSize(108, 82);
  range.setValue(7);
  text.setValue(42 % 11);
  off.setValue(3);
  off.setEnabled(false);
  WidgetTestHost host;
  host.attach(&root);
  rfb::ManagedPixelBuffer pb(rfb::PixelLayout::xrgb32LittleEndian, root.width(), root.height());
  pb.fillRect(pb.getRect(), 0xFF00FF);
  host.paint(&pb);
  EXPECT_TRUE(matchesGolden(pb, "ranges"));
}
