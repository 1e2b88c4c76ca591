// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "tx/TXWParent.h"
#include "tx/TXWRootLayout.h"

#include "TxTestDisplay.h"
#include "TxTestWidgets.h"

#include "rfb/ManagedPixelBuffer.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <memory>

using testing_support::TxTestDisplay;

namespace {

// Counts the repaint passes of the timer.
class CountingHost : public TXWParent {
public:
  using TXWParent::TXWParent;
  bool timerCallback(plat::Timer* timer) override {
    passes++;
    return TXWParent::timerCallback(timer);
  }
  int passes = 0;
};

// A host window of the given size, mapped and painted.
void showHost(TxTestDisplay& x, TXWParent& host, int width, int height) {
  host.setContentSize(width, height);
  host.map();
  ASSERT_TRUE(x.pumpUntil([&] { return host.getImage() != nullptr; }));
  x.pumpFor(50);
}

void sendKey(Display* dpy, Window w, int type, unsigned keycode, unsigned state) {
  XEvent ev = {};
  ev.xkey.type = type;
  ev.xkey.display = dpy;
  ev.xkey.window = w;
  ev.xkey.root = DefaultRootWindow(dpy);
  ev.xkey.keycode = keycode;
  ev.xkey.state = state;
  ev.xkey.same_screen = True;
  XSendEvent(dpy, w, False, 0, &ev);
}

void sendFocusOut(Display* dpy, Window w) {
  XEvent ev = {};
  ev.xfocus.type = FocusOut;
  ev.xfocus.display = dpy;
  ev.xfocus.window = w;
  ev.xfocus.mode = NotifyNormal;
  ev.xfocus.detail = NotifyNonlinear;
  XSendEvent(dpy, w, False, 0, &ev);
}

void sendPointer(Display* dpy, Window w, int type, int x, int y, unsigned state,
                 unsigned button = 0) {
  XEvent ev = {};
  ev.type = type;
  // Motion and button events share their leading fields.
  ev.xbutton.display = dpy;
  ev.xbutton.window = w;
  ev.xbutton.root = DefaultRootWindow(dpy);
  ev.xbutton.x = x;
  ev.xbutton.y = y;
  ev.xbutton.state = state;
  ev.xbutton.same_screen = True;
  if (type == MotionNotify)
    ev.xmotion.is_hint = NotifyNormal;
  else
    ev.xbutton.button = button;
  XSendEvent(dpy, w, False, 0, &ev);
}

struct ScreenDepth {
  const char* screen;
  int depth;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const ScreenDepth& c, std::ostream* os) {
  *os << c.screen;
}

class TXWParentDepths : public ::testing::TestWithParam<ScreenDepth> {};

} // namespace

TEST_P(TXWParentDepths, PaintedTreeReadsBackPixelExact) {
  TxTestDisplay x(GetParam().screen);
  Board board;
  {
    TXWParent host(x.dpy, &board);
    showHost(x, host, 160, 90);
    ASSERT_EQ(DefaultDepth(x.dpy, 0), GetParam().depth);
    TXImage* image = host.getImage();
    rfb::ManagedPixelBuffer expected(image->getPF(), 160, 90, image->getColourMap());
    board.draw(&expected);
    XImage* shown = XGetImage(x.dpy, host.win(), 0, 0, 160, 90, AllPlanes, ZPixmap);
    ASSERT_NE(shown, nullptr);
    int wrong = 0;
    for (int y = 0; y < 90; y++)
      for (int px = 0; px < 160; px++) {
        unsigned long want = expected.getPixel(rfb::Point(px, y));
        if (rfb::ColourCube* cube = image->getNativeCube())
          want = cube->pixelOf(int(want));
        if (XGetPixel(shown, px, y) != want && wrong++ < 5)
          ADD_FAILURE() << px << "," << y << ": " << XGetPixel(shown, px, y) << " not " << want;
      }
    EXPECT_EQ(wrong, 0);
    XDestroyImage(shown);
  }
}

INSTANTIATE_TEST_SUITE_P(Screens, TXWParentDepths,
                         ::testing::Values(ScreenDepth{"320x200x24", 24},
                                           ScreenDepth{"320x200x16", 16},
                                           ScreenDepth{"320x200x8", 8}),
                         [](const ::testing::TestParamInfo<ScreenDepth>& info) {
                           return "Depth" + std::to_string(info.param.depth);
                         });

TEST(TXWParent, ClicksGiveTheButtonMasksOfTheButtonsHeld) {
  TxTestDisplay x;
  Recorder root;
  TXWParent host(x.dpy, &root);
  showHost(x, host, 100, 100);
  x.run({"xdotool", "mousemove", "20", "30", "mousedown", "3", "mousedown", "1", "mouseup", "1",
         "mouseup", "3"});
  ASSERT_TRUE(x.pumpUntil([&] { return root.masks.size() >= 5; }));
  EXPECT_EQ(root.masks, std::vector<int>({0, 4, 5, 4, 0}));
  EXPECT_EQ(root.lastPos, rfb::Point(20, 30));
}

// Motions queued one after another are merged into the last, but never
// across a button event: the press arrives between the motions around it,
// at its own position, and the motion after it is not moved ahead of it.
TEST(TXWParent, MotionsMergeOnlyUpToAButtonEvent) {
  TxTestDisplay x;
  Recorder root;
  TXWParent host(x.dpy, &root);
  showHost(x, host, 100, 100);
  root.pointer.clear();
  // All five are in the queue before the host sees the first.
  sendPointer(x.dpy, host.win(), MotionNotify, 10, 10, 0);
  sendPointer(x.dpy, host.win(), MotionNotify, 12, 14, 0);
  sendPointer(x.dpy, host.win(), ButtonPress, 15, 16, 0, 1);
  sendPointer(x.dpy, host.win(), MotionNotify, 40, 41, Button1Mask);
  sendPointer(x.dpy, host.win(), MotionNotify, 50, 51, Button1Mask);
  XSync(x.dpy, False);
  ASSERT_GE(XEventsQueued(x.dpy, QueuedAlready), 5);
  // Fewer events arrive when motions were merged across the press.
  x.pumpUntil([&] { return root.pointer.size() >= 3; }, 1000);
  x.pumpFor(50);
  std::vector<std::string> seen;
  for (const auto& e : root.pointer)
    seen.push_back(std::to_string(e.first.x) + "," + std::to_string(e.first.y) + " mask " +
                   std::to_string(e.second));
  EXPECT_EQ(seen, std::vector<std::string>({"12,14 mask 0", "15,16 mask 1", "50,51 mask 1"}));
}

TEST(TXWParent, ShiftTabArrivesAsTabWithShiftHeld) {
  TxTestDisplay x;
  Recorder root;
  TXWParent host(x.dpy, &root);
  showHost(x, host, 100, 100);
  // A real Shift+Tab: Shift is down already, so no extra Shift_L.
  x.run({"xdotool", "mousemove", "10", "10", "keydown", "shift", "keydown", "Tab", "keyup", "Tab",
         "keyup", "shift"});
  ASSERT_TRUE(x.pumpUntil([&] { return root.keys.size() >= 4; }));
  EXPECT_EQ(root.keys, std::vector<std::string>({"+Shift_L", "+Tab", "-Tab", "-Shift_L"}));

  // A key that gives ISO_Left_Tab without Shift is wrapped in Shift_L.
  int minCode, maxCode;
  XDisplayKeycodes(x.dpy, &minCode, &maxCode);
  KeySym leftTab = XK_ISO_Left_Tab;
  XChangeKeyboardMapping(x.dpy, maxCode, 1, &leftTab, 1);
  XSync(x.dpy, False);
  x.pumpFor(50);
  root.keys.clear();
  sendKey(x.dpy, host.win(), KeyPress, unsigned(maxCode), 0);
  sendKey(x.dpy, host.win(), KeyRelease, unsigned(maxCode), 0);
  ASSERT_TRUE(x.pumpUntil([&] { return root.keys.size() >= 4; }));
  EXPECT_EQ(root.keys, std::vector<std::string>({"+Shift_L", "+Tab", "-Shift_L", "-Tab"}));
}

TEST(TXWParent, FocusOutReleasesHeldKeysAndTheLateReleaseIsDropped) {
  TxTestDisplay x;
  Recorder root;
  TXWParent host(x.dpy, &root);
  showHost(x, host, 50, 50);
  unsigned a = XKeysymToKeycode(x.dpy, XK_a);
  sendKey(x.dpy, host.win(), KeyPress, a, 0);
  XSync(x.dpy, False);
  ASSERT_TRUE(x.pumpUntil([&] { return root.keys.size() == 1; }));
  EXPECT_TRUE(host.isKeyHeld(XK_a));
  sendFocusOut(x.dpy, host.win());
  sendKey(x.dpy, host.win(), KeyRelease, a, 0);
  x.pumpFor(100);
  EXPECT_EQ(root.keys, std::vector<std::string>({"+a", "-a"}));
  EXPECT_FALSE(host.isKeyHeld(XK_a));
}

TEST(TXWParent, TwoDamagesWithinTenMillisecondsGiveOneRepaint) {
  TxTestDisplay x;
  Board board;
  CountingHost host(x.dpy, &board);
  showHost(x, host, 160, 90);
  host.passes = 0;
  board.left.colour = rfb::Colour(0, 0, 0);
  board.left.invalidate();
  board.right.colour = rfb::Colour(255, 255, 255);
  board.right.invalidate();
  x.pumpFor(100);
  EXPECT_EQ(host.passes, 1);
  XImage* shown = XGetImage(x.dpy, host.win(), 0, 0, 160, 90, AllPlanes, ZPixmap);
  EXPECT_EQ(XGetPixel(shown, 15, 15), TXWindow::black);
  EXPECT_EQ(XGetPixel(shown, 100, 15), TXWindow::white);
  XDestroyImage(shown);
}

TEST(TXWParent, DamageBeforeMappingIsDroppedAndExposePaints) {
  TxTestDisplay x;
  Board board;
  CountingHost host(x.dpy, &board);
  host.setContentSize(160, 90);
  board.left.invalidate();
  EXPECT_EQ(host.getImage(), nullptr);
  host.map();
  ASSERT_TRUE(x.pumpUntil([&] { return host.getImage() != nullptr; }));
  x.pumpFor(50);
  EXPECT_EQ(host.passes, 0);
  EXPECT_GT(board.left.draws, 0);
}

TEST(TXWParent, InputDisabledIgnoresClicksAndKeysButRepaints) {
  TxTestDisplay x;
  Recorder root;
  TXWParent host(x.dpy, &root);
  showHost(x, host, 60, 60);
  host.setInputDisabled(true);
  int draws = root.draws;
  x.run({"xdotool", "mousemove", "5", "5", "click", "1", "key", "a"});
  XClearArea(x.dpy, host.win(), 0, 0, 10, 10, True); // an Expose
  x.pumpFor(100);
  EXPECT_TRUE(root.masks.empty());
  EXPECT_TRUE(root.keys.empty());
  EXPECT_GT(root.draws, draws);
}

TEST(TXWParent, ResizingTheWindowResizesTreeAndImage) {
  TxTestDisplay x;
  Board board;
  TXWParent host(x.dpy, &board);
  showHost(x, host, 160, 90);
  XResizeWindow(x.dpy, host.win(), 200, 120);
  ASSERT_TRUE(x.pumpUntil([&] { return host.width() == 200; }));
  EXPECT_EQ(board.width(), 200);
  EXPECT_EQ(board.height(), 120);
  EXPECT_EQ(host.getImage()->width(), 200);
}

// A new root takes the old one's place everywhere: the old one is detached
// and leaves the root layout, the new one is attached as map() would, and
// the old one's later end does not touch the window.
TEST(TXWParent, SetChildHandsTheShownWindowToTheNewRoot) {
  TxTestDisplay x;
  auto old = std::make_unique<Recorder>();
  Recorder next;
  TXWParent host(x.dpy, old.get());
  showHost(x, host, 60, 60);
  ASSERT_EQ(old->getParent(), &host);
  host.setChild(&next);
  EXPECT_EQ(old->getParent(), nullptr);
  EXPECT_EQ(TXWRootLayout::get(x.dpy)->windowOf(old.get()), nullptr);
  EXPECT_EQ(next.getParent(), &host);
  EXPECT_EQ(TXWRootLayout::get(x.dpy)->windowOf(&next), &host);
  old.reset();
  EXPECT_EQ(host.getChild(), &next);
  host.setContentSize(60, 60);
  x.pumpFor(30);
  int draws = next.draws;
  next.invalidate();
  EXPECT_TRUE(x.pumpUntil([&] { return next.draws > draws; }));
}

// The widgets a host window showed outlive it: one replaced before the
// window went, and one the window let go of (setChild(nullptr)), may still
// report damage and be destroyed without reaching the window.
TEST(TXWParent, RootsLetGoOfOutliveTheirWindow) {
  TxTestDisplay x;
  for (bool replaced : {true, false}) {
    SCOPED_TRACE(replaced ? "replaced" : "let go of");
    auto old = std::make_unique<Recorder>();
    Recorder next;
    auto host = std::make_unique<TXWParent>(x.dpy, old.get());
    showHost(x, *host, 60, 60);
    host->setChild(replaced ? &next : nullptr);
    host.reset();
    old->invalidate();
    x.pumpFor(30);
    old.reset();
  }
}
