// The widget desktop served to remote viewers, driven through a stand-in
// server: damage, rendering, pointer and key routing, focus, clipboard.
#include "wvw/WDesktop.h"

#include "CaptureLogger.h"
#include "FakeDesktopServer.h"
#include "RecordingHandler.h"
#include "RegionCheck.h"
#include "TestWidgets.h"
#include "ThrownMessage.h"

#include "rfb/ArrowCursor.h"
#include "rfb/KeysymNames.h"

#include "plat/ConfigParameter.h"
#include "plat/Exception.h"
#include "plat/ParameterSet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using rfb::Colour;
using rfb::Point;
using rfb::Rect;
using rfb::RectSet;
using testing_support::FakeDesktopServer;
using testing_support::RecordingHandler;
using Events = std::vector<std::string>;

namespace keys = rfb::keys;

namespace {

RectSet regionOf(std::initializer_list<Rect> rects) {
  RectSet s;
  for (const Rect& r : rects)
    s.setUnion(s, RectSet(r));
  return s;
}

RectSet minus(const Rect& a, const Rect& b) {
  RectSet s(a);
  s.setSubtract(s, RectSet(b));
  return s;
}

// Sets "WMaxCutText" for one test.
class ScopedMaxCutText {
public:
  explicit ScopedMaxCutText(const char* value)
      : param_(plat::ParameterSet::global().get("WMaxCutText")) {
    accepted = param_->setParam(value, 50);
  }
  ~ScopedMaxCutText() { param_->unsetParam(50); }
  bool accepted;

private:
  plat::ConfigParameter* param_;
};

class Desktop : public ::testing::Test {
protected:
  Desktop() {
    desk.setPixelLayout(rfb::PixelLayout::xrgb32LittleEndian);
    desk.setSize(100, 80);
    desk.setBackgroundColour(Colour(0, 128, 0));
    a.setSize(40, 30);
    b.setSize(40, 30);
    c.setSize(10, 10);
    rec.name(&a, "A");
    rec.name(&b, "B");
    rec.name(&c, "C");
    a.setInputHandler(&rec);
    b.setInputHandler(&rec);
    c.setInputHandler(&rec);
    rec.quiet = {"attach", "detach", "size", "focus", "visibility"};
  }

  // What the viewers see at a point, as 0xRRGGBB.
  uint32_t seen(int x, int y) { return server.screen.getPixel(Point(x, y)) & 0xFFFFFF; }
  // a at (10, 10) under b at (30, 20); b has the focus.
  void twoWindows() {
    desk.addWindow(&a, Point(10, 10));
    desk.addWindow(&b, Point(30, 20));
  }
  void pointer(int x, int y, int mask) { desk.pointerEvent(Point(x, y), mask, false); }

  // Declared in this order so that the desktop goes first: it lets go of the
  // windows and the server.
  FakeDesktopServer server;
  RecordingHandler rec;
  Patch a{Colour(255, 0, 0)};
  Patch b{Colour(0, 0, 255)};
  Patch c{Colour(255, 255, 0)};
  wvw::WDesktop desk;
};

} // namespace

TEST_F(Desktop, StartsAsOneColourMappedPixel) {
  wvw::WDesktop d;
  EXPECT_EQ(d.getFramebufferSize(), Point(1, 1));
  EXPECT_TRUE(d.getPF().equal(rfb::PixelLayout::pal8));
  ASSERT_NE(d.getColourMap(), nullptr);
  EXPECT_EQ(d.getColourMap()->size(), 216);
  EXPECT_NE(dynamic_cast<rfb::ArrowCursor*>(d.getCursor()), nullptr);
  EXPECT_EQ(d.getClipboardText(), nullptr);
}

TEST_F(Desktop, RendersThroughItsColourCubeByDefault) {
  wvw::WDesktop d;
  d.setSize(20, 10);
  c.setSize(5, 5);
  d.addWindow(&c, Point(2, 2));
  d.attachServer(&server);
  server.tryUpdate();
  rfb::ColourMap* cube = d.getColourMap();
  EXPECT_EQ(server.screen.getPixel(Point(0, 0)), uint32_t(cube->lookupRGB(wvw::Widget::BevelBg)));
  EXPECT_EQ(server.screen.getPixel(Point(3, 3)), uint32_t(cube->lookupRGB(Colour(255, 255, 0))));
  d.removeWindow(&c);
}

TEST_F(Desktop, SetSizeBelowOneGivesOneByOne) {
  testing_support::ScopedCapture log("WDesktop", 100);
  desk.attachServer(&server);
  int before = server.buffersSet;
  desk.setSize(0, -5);
  EXPECT_EQ(desk.getFramebufferSize(), Point(1, 1));
  EXPECT_TRUE(log.logger.contains("setSize(1x1)"));
  EXPECT_EQ(server.buffersSet, before + 1) << "the server is handed the resized buffer";
  desk.setSize(1, 1);
  EXPECT_EQ(server.buffersSet, before + 1) << "an unchanged size is not handed over again";
}

TEST_F(Desktop, AttachingAServerParentsTheWindowsAndDetachingLetsThemGo) {
  twoWindows();
  EXPECT_EQ(a.getParent(), nullptr) << "no server, no parent";
  desk.attachServer(&server);
  EXPECT_EQ(server.pixelBuffer(), &desk);
  EXPECT_EQ(server.cursor, desk.getCursor());
  EXPECT_EQ(a.getParent(), static_cast<wvw::WParent*>(&desk));
  EXPECT_EQ(b.getParent(), static_cast<wvw::WParent*>(&desk));
  EXPECT_TRUE(b.hasFocus());
  EXPECT_FALSE(a.hasFocus());
  desk.detachServer();
  EXPECT_EQ(server.pixelBuffer(), nullptr);
  EXPECT_EQ(a.getParent(), nullptr);
  EXPECT_EQ(b.getParent(), nullptr);
  desk.attachServer(&server);
  EXPECT_EQ(a.getParent(), static_cast<wvw::WParent*>(&desk));
}

TEST_F(Desktop, DestroyingTheDesktopLetsGoOfWindowsAndServer) {
  auto d = std::make_unique<wvw::WDesktop>();
  d->addWindow(&a, Point(0, 0));
  d->attachServer(&server);
  EXPECT_NE(a.getParent(), nullptr);
  d.reset();
  EXPECT_EQ(a.getParent(), nullptr);
  EXPECT_EQ(server.pixelBuffer(), nullptr);
}

TEST_F(Desktop, DamageUnderAWindowAboveIsHidden) {
  twoWindows();
  desk.attachServer(&server);
  server.clearChanges();
  a.invalidate();
  EXPECT_TRUE(server.changed.equals(minus(Rect(10, 10, 50, 40), Rect(30, 20, 70, 50))))
      << boxesOf(server.changed);
  server.clearChanges();
  b.invalidate();
  EXPECT_TRUE(server.changed.equals(RectSet(Rect(30, 20, 70, 50)))) << boxesOf(server.changed);

  // Wholly under the window above: nothing reaches the server.
  server.clearChanges();
  int flushes = server.flushes;
  a.invalidateRegion(RectSet(Rect(25, 15, 35, 25)));
  EXPECT_TRUE(server.changes.empty());
  EXPECT_EQ(server.flushes, flushes);

  // A hidden window above hides nothing.
  b.setVisible(false);
  server.clearChanges();
  a.invalidate();
  EXPECT_TRUE(server.changed.equals(RectSet(Rect(10, 10, 50, 40)))) << boxesOf(server.changed);
}

TEST_F(Desktop, ViewersSeeTheLowerWindowChangeOnlyWhereItIsUncovered) {
  twoWindows();
  desk.attachServer(&server);
  server.tryUpdate();
  EXPECT_EQ(seen(5, 5), 0x008000u);   // background
  EXPECT_EQ(seen(15, 15), 0xFF0000u); // a alone
  EXPECT_EQ(seen(35, 25), 0x0000FFu); // b over a
  EXPECT_EQ(seen(65, 45), 0x0000FFu); // b alone

  a.colour = Colour(255, 255, 255);
  a.invalidate();
  EXPECT_EQ(seen(15, 15), 0xFFFFFFu);
  EXPECT_EQ(seen(35, 25), 0x0000FFu);
}

TEST_F(Desktop, DamageFromAWidgetThatIsNoWindowIsRefused) {
  desk.addWindow(&a, Point(0, 0));
  desk.attachServer(&server);
  EXPECT_EQ(
      testing_support::thrownMessage([&] { desk.invalidateChild(&c, RectSet(Rect(0, 0, 5, 5))); }),
      "no such Widget");
}

TEST_F(Desktop, RendersTheBackgroundImageBehindTheWindows) {
  rfb::ManagedPixelBuffer image(rfb::PixelLayout::xrgb32LittleEndian, 20, 10);
  image.fillRect(image.getRect(), 0x777777);
  desk.setBackgroundImage(&image, Point(50, 5));
  desk.addWindow(&c, Point(55, 8));
  desk.attachServer(&server);
  server.tryUpdate();
  EXPECT_EQ(seen(49, 5), 0x008000u);
  EXPECT_EQ(seen(50, 5), 0x777777u);
  EXPECT_EQ(seen(69, 14), 0x777777u);
  EXPECT_EQ(seen(70, 14), 0x008000u);
  EXPECT_EQ(seen(56, 9), 0xFFFF00u) << "the window is drawn over the image";

  // A rectangle inside the image is not filled first: the image covers it.
  int stride = 0;
  const uint8_t* p = desk.getData(Rect(51, 6, 53, 8), &stride);
  EXPECT_EQ(stride, 2);
  uint32_t v;
  memcpy(&v, p, 4);
  EXPECT_EQ(v & 0xFFFFFF, 0x777777u);

  desk.setBackgroundImage(nullptr, Point(0, 0));
  server.tryUpdate();
  EXPECT_EQ(seen(50, 5), 0x008000u);
}

TEST_F(Desktop, TakesTheBackgroundImagesLayout) {
  rfb::ManagedPixelBuffer image(rfb::PixelLayout::rgb565, 4, 4);
  desk.attachServer(&server);
  int before = server.buffersSet;
  desk.setBackgroundImage(&image, Point(0, 0));
  EXPECT_TRUE(desk.getPF().equal(rfb::PixelLayout::rgb565));
  EXPECT_EQ(server.buffersSet, before + 1);
}

TEST_F(Desktop, WindowClipLimitsDrawingAndDamage) {
  twoWindows();
  desk.attachServer(&server);
  server.clearChanges();
  RectSet clip(Rect(0, 0, 20, 80));
  desk.setWindowClip(&clip);
  EXPECT_TRUE(server.changed.equals(RectSet(Rect(20, 0, 100, 80)))) << boxesOf(server.changed);
  server.tryUpdate();
  EXPECT_EQ(seen(15, 15), 0xFF0000u);
  EXPECT_EQ(seen(25, 15), 0x008000u) << "outside the clip the background shows";

  server.clearChanges();
  a.invalidate();
  EXPECT_TRUE(server.changed.equals(RectSet(Rect(10, 10, 20, 40)))) << boxesOf(server.changed);

  server.clearChanges();
  desk.setWindowClip(nullptr);
  EXPECT_TRUE(server.changed.equals(RectSet(Rect(20, 0, 100, 80)))) << boxesOf(server.changed);
  server.tryUpdate();
  EXPECT_EQ(seen(25, 15), 0xFF0000u);
}

TEST_F(Desktop, WindowClipSourceIsAskedOnEveryRead) {
  struct Source : wvw::WDesktop::ClipSource {
    RectSet getWindowClip() override {
      calls++;
      return clip;
    }
    RectSet clip{Rect(0, 0, 30, 80)};
    int calls = 0;
  } source;
  twoWindows();
  desk.setWindowClipSource(&source);
  EXPECT_EQ(source.calls, 1) << "applied at once";
  desk.attachServer(&server);
  server.tryUpdate();
  EXPECT_EQ(seen(25, 15), 0xFF0000u);
  EXPECT_EQ(seen(35, 15), 0x008000u);
  source.clip = RectSet(Rect(0, 0, 40, 80));
  int calls = source.calls;
  int stride = 0;
  desk.getData(Rect(35, 15, 36, 16), &stride);
  EXPECT_EQ(source.calls, calls + 1);
  server.screen.fillRect(server.screen.getRect(), 0);
  server.addChanged(RectSet(desk.getRect()));
  server.tryUpdate();
  EXPECT_EQ(seen(35, 15), 0xFF0000u);
}

TEST_F(Desktop, PressOnALowerWindowFocusesAndRaisesItAndReachesIt) {
  twoWindows();
  desk.attachServer(&server);
  pointer(15, 15, 0);
  EXPECT_TRUE(rec.events.empty()) << "pointer input reaches only the focused window";
  pointer(15, 15, 1);
  EXPECT_EQ(desk.getFocusWindow(), &a);
  EXPECT_EQ(desk.getWindows().back(), &a);
  pointer(15, 15, 0);
  EXPECT_EQ(rec.events, (Events{"move 5,5 A", "press 0 A", "release 0 A"}));
  EXPECT_EQ(server.pointerNotices, (Events{"15,15 0", "15,15 1", "15,15 0"}));
  // Raised: a now hides b where they overlap.
  server.tryUpdate();
  EXPECT_EQ(seen(35, 25), 0xFF0000u);
}

TEST_F(Desktop, ModalWindowKeepsTheFocus) {
  twoWindows();
  desk.attachServer(&server);
  desk.setWindowModal(&b, true);
  pointer(15, 15, 1);
  pointer(15, 15, 0);
  EXPECT_EQ(desk.getFocusWindow(), &b);
  EXPECT_TRUE(rec.events.empty());
  // A window opened from the modal one is modal too and takes the focus.
  desk.addWindow(&c, Point(80, 0));
  EXPECT_EQ(desk.getFocusWindow(), &c);
  desk.setFocus(&b);
  EXPECT_EQ(desk.getFocusWindow(), &c);
  desk.setWindowModal(&c, false);
  desk.setFocus(&b);
  EXPECT_EQ(desk.getFocusWindow(), &b);
}

TEST_F(Desktop, TheFocusedWindowKeepsTheDragAndLeavingIsTold) {
  twoWindows();
  desk.attachServer(&server);
  pointer(60, 40, 1); // in b
  pointer(95, 75, 1); // outside every window, button held
  pointer(95, 75, 0); // released outside: the window is left, which ends its press
  pointer(60, 40, 0);
  pointer(5, 5, 0);
  EXPECT_EQ(rec.events, (Events{"move 30,20 B", "press 0 B", "move 65,55 B", "leave B",
                                "move 30,20 B", "leave B"}));
  rec.events.clear();
  pointer(60, 40, 1);
  pointer(61, 40, 0); // released inside: the window gets the release
  EXPECT_EQ(rec.events, (Events{"press 0 B", "move 31,20 B", "release 0 B"}));
}

// The drag of a window that leaves the desktop ends with it: no later event
// reaches it, not even the leave.
TEST_F(Desktop, RemovingTheWindowThatHasTheDragEndsIt) {
  twoWindows();
  desk.attachServer(&server);
  pointer(60, 40, 1); // in b
  desk.removeWindow(&b);
  rec.events.clear();
  pointer(62, 42, 0);
  pointer(15, 15, 1);
  for (const std::string& e : rec.events)
    EXPECT_EQ(e.find(" B"), std::string::npos) << e;
  EXPECT_EQ(desk.getFocusWindow(), &a);
}

// A window that removes and deletes itself when it loses the focus, as a
// menu does: the press that takes the focus away must not tell it that the
// pointer left.
TEST_F(Desktop, AWindowThatGoesAwayOnLosingTheFocusIsNotToldItWasLeft) {
  struct Menu : Patch {
    explicit Menu(wvw::WDesktop* d) : desk(d) {}
    bool onFocusChange(bool reverse, wvw::Widget* source) override {
      if (source == this && !desk->isFocused(this)) {
        desk->removeWindow(this);
        delete this;
        return true;
      }
      return Patch::onFocusChange(reverse, source);
    }
    wvw::WDesktop* desk;
  };
  twoWindows();
  desk.attachServer(&server);
  Menu* menu = new Menu(&desk);
  menu->setSize(10, 10);
  desk.addWindow(menu, Point(80, 0));
  ASSERT_EQ(desk.getFocusWindow(), menu);
  pointer(85, 5, 0);  // over the menu
  pointer(15, 15, 1); // a press in a takes the focus: the menu goes
  pointer(15, 15, 0);
  EXPECT_EQ(desk.getFocusWindow(), &a);
  EXPECT_EQ(desk.getWindows().size(), 2u);
  EXPECT_EQ(rec.events, (Events{"move 5,5 A", "press 0 A", "release 0 A"}));
}

TEST_F(Desktop, RelativePointerEventsAreRefused) {
  twoWindows();
  desk.attachServer(&server);
  testing::internal::CaptureStderr();
  desk.pointerEvent(Point(60, 40), 1, true);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "WDesktop: ignoring relative pointer event\n");
  EXPECT_TRUE(server.pointerNotices.empty());
  EXPECT_TRUE(rec.events.empty());
}

TEST_F(Desktop, KeysGoToTheFocusedWindowAndAreHeld) {
  twoWindows();
  desk.attachServer(&server);
  desk.keyEvent(keys::Shift_L, true);
  EXPECT_TRUE(desk.isKeyHeld(keys::Shift_L));
  EXPECT_TRUE(b.isShiftDown());
  desk.keyEvent('x', true);
  desk.keyEvent('x', false);
  desk.keyEvent(keys::Shift_L, false);
  EXPECT_FALSE(desk.isKeyHeld(keys::Shift_L));
  EXPECT_EQ(rec.events,
            (Events{"key ffe1 down B", "key 78 down B", "key 78 up B", "key ffe1 up B"}));
  desk.setFocusWindow(nullptr);
  desk.keyEvent('y', true);
  EXPECT_EQ(rec.events.size(), 4u);
}

TEST_F(Desktop, ClipboardTextFromAViewerIsCappedAtWMaxCutText) {
  std::string big(5000, 'q');
  struct Case {
    const char* what;
    const char* setting; // null: the default
    int length;
    size_t want;
  } cases[] = {
      {"default cap", nullptr, 5000, 1024}, {"exactly the default cap", nullptr, 1024, 1024},
      {"short", nullptr, 10, 10},           {"negative length", nullptr, -3, 0},
      {"smaller cap", "3", 5000, 3},        {"no clipboard at all", "0", 5000, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    std::unique_ptr<ScopedMaxCutText> setting;
    if (k.setting) {
      setting.reset(new ScopedMaxCutText(k.setting));
      ASSERT_TRUE(setting->accepted);
    }
    // The text is not NUL-terminated: only length bytes may be read.
    std::vector<char> text(big.begin(), big.begin() + std::max(0, k.length));
    desk.clientCutText(text.data(), k.length);
    ASSERT_NE(desk.getClipboardText(), nullptr);
    EXPECT_EQ(std::string(desk.getClipboardText()), std::string(k.want, 'q'));
  }
}

// A negative maximum would make the kept length negative.
TEST_F(Desktop, WMaxCutTextRefusesNegativeValues) {
  ScopedMaxCutText negative("-1");
  EXPECT_FALSE(negative.accepted);
  desk.clientCutText(std::string(2000, 'z').c_str(), 2000);
  EXPECT_EQ(strlen(desk.getClipboardText()), 1024u);
}

TEST_F(Desktop, ClipboardTextIsLoggedAtDebugLevel) {
  testing_support::ScopedCapture log("WDesktop", 100);
  desk.clientCutText("hello", 5);
  EXPECT_TRUE(log.logger.contains("clientCutText \"hello\""));
}

TEST_F(Desktop, ClipboardTextFromAWidgetGoesToTheServer) {
  desk.setClipboardText("kept");
  EXPECT_STREQ(desk.getClipboardText(), "kept");
  desk.attachServer(&server);
  desk.setClipboardText("sent");
  EXPECT_STREQ(desk.getClipboardText(), "sent");
  EXPECT_EQ(server.cutTexts, (Events{"sent"}));
}

TEST_F(Desktop, RemovingTheFocusedWindowFocusesTheNewTopmost) {
  twoWindows();
  desk.addWindow(&c, Point(80, 60));
  desk.attachServer(&server);
  EXPECT_EQ(desk.getFocusWindow(), &c);
  server.clearChanges();
  EXPECT_TRUE(desk.removeWindow(&c));
  EXPECT_EQ(desk.getFocusWindow(), &b);
  EXPECT_TRUE(b.hasFocus());
  EXPECT_EQ(c.getParent(), nullptr);
  EXPECT_TRUE(server.changed.equals(regionOf({Rect(80, 60, 90, 70), Rect(30, 20, 70, 50)})))
      << boxesOf(server.changed);
  EXPECT_FALSE(desk.removeWindow(&c));
  desk.removeWindow(&a);
  EXPECT_EQ(desk.getFocusWindow(), &b);
  desk.removeWindow(&b);
  EXPECT_EQ(desk.getFocusWindow(), nullptr);
  EXPECT_TRUE(desk.getWindows().empty());
}

TEST_F(Desktop, SetOnlyWindowReplacesEveryWindow) {
  twoWindows();
  desk.attachServer(&server);
  desk.setOnlyWindow(&c, Point(1, 2));
  EXPECT_EQ(desk.getWindows(), (std::vector<wvw::Widget*>{&c}));
  EXPECT_EQ(desk.getWindowPosition(&c), Point(1, 2));
  EXPECT_EQ(a.getParent(), nullptr);
  desk.setOnlyWindow(nullptr, Point(0, 0));
  EXPECT_TRUE(desk.getWindows().empty());
}

TEST_F(Desktop, MovingAWindowDamagesBothPlaces) {
  twoWindows();
  desk.attachServer(&server);
  server.clearChanges();
  EXPECT_TRUE(desk.moveWindow(&b, Point(30, 20)));
  EXPECT_TRUE(server.changes.empty()) << "same place, no damage";
  EXPECT_TRUE(desk.moveWindow(&b, Point(50, 40)));
  EXPECT_EQ(desk.getWindowPosition(&b), Point(50, 40));
  EXPECT_TRUE(server.changed.equals(regionOf({Rect(30, 20, 70, 50), Rect(50, 40, 90, 70)})));
  EXPECT_FALSE(desk.moveWindow(&c, Point(1, 1)));
  EXPECT_EQ(desk.getWindowPosition(&c), Point(0, 0));
  server.tryUpdate();
  EXPECT_EQ(seen(35, 25), 0xFF0000u);
  EXPECT_EQ(seen(85, 65), 0x0000FFu);
}

TEST_F(Desktop, BackgroundColourDamagesOnlyTheUncoveredDesktop) {
  twoWindows();
  desk.attachServer(&server);
  server.clearChanges();
  desk.setBackgroundColour(Colour(1, 2, 3));
  RectSet want(Rect(0, 0, 100, 80));
  want.setSubtract(want, regionOf({Rect(10, 10, 50, 40), Rect(30, 20, 70, 50)}));
  EXPECT_TRUE(server.changed.equals(want)) << boxesOf(server.changed);
  EXPECT_EQ(seen(0, 0), 0x010203u);
}

TEST_F(Desktop, HiddenWindowsAreNotDrawnAndTakeNoPointer) {
  twoWindows();
  desk.attachServer(&server);
  b.setVisible(false);
  server.tryUpdate();
  EXPECT_EQ(seen(35, 25), 0xFF0000u);
  EXPECT_EQ(seen(65, 45), 0x008000u);
  pointer(35, 25, 1);
  EXPECT_EQ(desk.getFocusWindow(), &a);
}

TEST_F(Desktop, TheFocusMovesOnOnlyWhenTheFocusedWindowRefusesIt) {
  twoWindows();
  desk.attachServer(&server);
  EXPECT_FALSE(desk.focusNext());
  b.setFocusable(false);
  EXPECT_TRUE(desk.focusPrevious());
  EXPECT_EQ(desk.getFocusWindow(), nullptr);
  EXPECT_FALSE(desk.focusNext());
}

TEST_F(Desktop, BellAndCursorGoToTheServer) {
  desk.addWindow(&a, Point(0, 0));
  desk.bell(); // no server: nothing
  desk.attachServer(&server);
  a.bell();
  EXPECT_EQ(server.bells, 1);
  rfb::ArrowCursor other(rfb::PixelLayout::xrgb32LittleEndian, nullptr);
  desk.setCursor(&other);
  EXPECT_EQ(server.cursor, &other);
  desk.setCursor(nullptr);
  EXPECT_NE(server.cursor, nullptr);
  EXPECT_NE(server.cursor, &other);
}

TEST_F(Desktop, WindowNotificationsGoToTheWindowHandler) {
  RecordingHandler handler;
  handler.name(&a, "A");
  handler.handled = {"click"};
  desk.addWindow(&a, Point(0, 0));
  desk.attachServer(&server);
  EXPECT_FALSE(desk.onClick(&a)) << "no window handler yet";
  desk.setWindowHandler(&handler);
  EXPECT_TRUE(desk.onClick(&a));
  EXPECT_FALSE(desk.onChange(&a));
  EXPECT_EQ(handler.events, (Events{"click A", "change A"}));
}

TEST_F(Desktop, CentresWindows) {
  EXPECT_EQ(desk.centreOnDesktop(&a), Point(30, 25));
  EXPECT_EQ(desk.centrePosition(&c, Rect(0, 0, 30, 31)), Point(10, 10));
}
