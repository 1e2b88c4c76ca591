// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "tx/TXWRootLayout.h"

#include "tx/TXWParent.h"
#include "tx/TXWPopup.h"

#include "wvw/WChoice.h"

#include "TxTestDisplay.h"
#include "TxTestWidgets.h"

#include "plat/Exception.h"

#include <memory>
#include <string>

using testing_support::TxTestDisplay;

namespace {

bool windowExists(Display* dpy, Window w) {
  Window root, parent, *children = nullptr;
  unsigned int n = 0;
  XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &n);
  bool found = false;
  for (unsigned int i = 0; i < n; i++)
    found = found || children[i] == w;
  if (children)
    XFree(children);
  return found;
}

// A host window showing the board at (100, 50) on the screen.
class RootLayoutTest : public ::testing::Test {
protected:
  void SetUp() override {
    host.setContentSize(160, 90);
    XMoveWindow(x.dpy, host.win(), 100, 50);
    host.map();
    ASSERT_TRUE(x.pumpUntil([&] { return host.getImage() != nullptr; }));
    x.pumpFor(30);
  }
  void TearDown() override { layout()->closePopup(); }
  TXWRootLayout* layout() { return TXWRootLayout::get(x.dpy); }

  TxTestDisplay x;
  Board board;
  Patch menu{rfb::Colour(0, 0, 255)};
  Patch other{rfb::Colour(255, 255, 0)};
  TXWParent host{x.dpy, &board};
};

} // namespace

TEST_F(RootLayoutTest, PopupAppearsAtItsWidgetsScreenPosition) {
  EXPECT_EQ(layout()->windowOf(&board), &host);
  rfb::Point offset;
  ASSERT_EQ(board.right.findRoot(&offset), layout());
  EXPECT_EQ(offset, rfb::Point(190, 60)); // window origin plus the patch's place
  menu.setSize(40, 20);
  layout()->setPopup(&menu, offset.translate(rfb::Point(0, board.right.height())));
  TXWindow* popup = layout()->windowOf(&menu);
  ASSERT_NE(popup, nullptr);
  EXPECT_TRUE(popup->isGrabbing());
  int px = 0, py = 0;
  popup->positionOnRoot(&px, &py);
  EXPECT_EQ(rfb::Point(px, py), rfb::Point(190, 90));
  EXPECT_EQ(layout()->getChildRect(&menu), rfb::Rect(190, 90, 230, 110));
  // It is painted.
  x.pumpFor(50);
  XImage* shown = XGetImage(x.dpy, DefaultRootWindow(x.dpy), 200, 95, 1, 1, AllPlanes, ZPixmap);
  EXPECT_EQ(XGetPixel(shown, 0, 0), 0x0000FFul);
  XDestroyImage(shown);
}

TEST_F(RootLayoutTest, ClickOutsideRemovesThePopupAndReachesNoWidget) {
  menu.setSize(40, 20);
  layout()->setPopup(&menu, rfb::Point(300, 300));
  Window popupWin = layout()->windowOf(&menu)->win();
  x.pumpFor(30);
  // Over the board's left patch, outside the popup.
  x.run({"xdotool", "mousemove", "130", "80", "click", "1"});
  ASSERT_TRUE(x.pumpUntil([&] { return layout()->windowOf(&menu) == nullptr; }));
  x.pumpFor(50);
  EXPECT_FALSE(windowExists(x.dpy, popupWin));
  EXPECT_EQ(board.left.clicks, 0);
  EXPECT_EQ(menu.clicks, 0);
  // The board gets the next click.
  x.run({"xdotool", "click", "1"});
  EXPECT_TRUE(x.pumpUntil([&] { return board.left.clicks > 0; }));
}

TEST_F(RootLayoutTest, ClickInsideReachesThePopupsWidget) {
  menu.setSize(40, 20);
  layout()->setPopup(&menu, rfb::Point(300, 300));
  x.pumpFor(30);
  x.run({"xdotool", "mousemove", "310", "305", "click", "1"});
  EXPECT_TRUE(x.pumpUntil([&] { return menu.clicks > 0; }));
  EXPECT_NE(layout()->windowOf(&menu), nullptr);
}

TEST_F(RootLayoutTest, SecondPopupClosesTheFirst) {
  menu.setSize(40, 20);
  other.setSize(30, 30);
  layout()->setPopup(&menu, rfb::Point(300, 300));
  Window first = layout()->windowOf(&menu)->win();
  layout()->setPopup(&other, rfb::Point(400, 300));
  EXPECT_EQ(layout()->windowOf(&menu), nullptr);
  ASSERT_NE(layout()->windowOf(&other), nullptr);
  EXPECT_TRUE(layout()->windowOf(&other)->isGrabbing());
  XSync(x.dpy, False);
  EXPECT_FALSE(windowExists(x.dpy, first));
  layout()->setPopup(nullptr, rfb::Point());
  EXPECT_EQ(layout()->windowOf(&other), nullptr);
}

TEST_F(RootLayoutTest, RemovingAHostsRootUnmapsButKeepsTheWindow) {
  layout()->removeChild(&board);
  EXPECT_FALSE(host.isMapped());
  EXPECT_EQ(layout()->windowOf(&board), nullptr);
  EXPECT_EQ(board.getParent(), nullptr);
  XSync(x.dpy, False);
  EXPECT_TRUE(windowExists(x.dpy, host.win()));
  // Positions of widgets without a window are refused.
  EXPECT_THROW(layout()->getChildPosition(&board), plat::Exception);
  host.map();
  EXPECT_EQ(layout()->windowOf(&board), &host);
}

TEST_F(RootLayoutTest, ChildrenAddedAndMovedGetWindowsThere) {
  other.setSize(30, 30);
  layout()->addChildAt(&other, rfb::Point(20, 40));
  ASSERT_NE(layout()->windowOf(&other), nullptr);
  EXPECT_FALSE(layout()->windowOf(&other)->isGrabbing());
  layout()->moveChild(&other, rfb::Point(60, 70));
  XSync(x.dpy, False);
  EXPECT_EQ(layout()->getChildPosition(&other), rfb::Point(60, 70));
  int w = 0, h = 0;
  layout()->getPreferredSize(&w, &h);
  EXPECT_EQ(w, DisplayWidth(x.dpy, 0));
  layout()->removeChild(&other);
  EXPECT_EQ(layout()->windowOf(&other), nullptr);
}

namespace {
// A popup content that closes its own popup window when clicked: the window
// is deleted in the middle of handling the click.
class SelfClosing : public Patch {
public:
  explicit SelfClosing(TXWRootLayout* layout) : layout_(layout) {}
  void pointerEvent(const rfb::Point&, int buttonMask) override {
    if (buttonMask)
      layout_->removeChild(this);
  }

private:
  TXWRootLayout* layout_;
};
} // namespace

TEST_F(RootLayoutTest, PopupDeletedFromItsOwnEventHandlingIsNotTouchedAfterwards) {
  SelfClosing closer(layout());
  closer.setSize(40, 20);
  layout()->setPopup(&closer, rfb::Point(300, 300));
  x.pumpFor(30);
  x.run({"xdotool", "mousemove", "310", "305", "click", "1"});
  EXPECT_TRUE(x.pumpUntil([&] { return layout()->windowOf(&closer) == nullptr; }));

  // Unmapped from outside: the popup deletes itself on UnmapNotify.
  other.setSize(30, 30);
  layout()->addChildAt(&other, rfb::Point(20, 40));
  TXWindow* popup = layout()->windowOf(&other);
  ASSERT_NE(popup, nullptr);
  x.pumpFor(30);
  XUnmapWindow(x.dpy, popup->win());
  EXPECT_TRUE(x.pumpUntil([&] { return layout()->windowOf(&other) == nullptr; }));
  x.pumpFor(30);
}

namespace {
// Whether some client holds the pointer grab: another connection's grab
// attempt is refused while one does.
bool pointerGrabbed(const std::string& display) {
  Display* other = XOpenDisplay(display.c_str());
  if (!other)
    return false;
  int status = XGrabPointer(other, DefaultRootWindow(other), False, ButtonPressMask, GrabModeAsync,
                            GrabModeAsync, None, None, CurrentTime);
  XUngrabPointer(other, CurrentTime);
  XCloseDisplay(other);
  return status == AlreadyGrabbed;
}

// A patch whose input is only counted while it is attached: a widget fed
// input by a window it no longer belongs to shows as a stray event.
class AttachedPatch : public Patch {
public:
  void pointerEvent(const rfb::Point& pos, int buttonMask) override {
    if (!getParent())
      stray++;
    Patch::pointerEvent(pos, buttonMask);
  }
  int stray = 0;
};
} // namespace

// However the widget goes (destroyed while shown, as a drop-down deleted
// with its menu open), the root layout forgets it: the popup window goes
// with its grab, and the next events reach nothing freed.
TEST_F(RootLayoutTest, WidgetDestroyedWithItsPopupOpenTakesThePopupAlong) {
  struct Case {
    const char* name;
    bool asPopup; // the grabbing popup child, or an ordinary child
  };
  for (const Case& c : {Case{"popup child", true}, Case{"ordinary child", false}}) {
    SCOPED_TRACE(c.name);
    auto shown = std::make_unique<Patch>();
    shown->setSize(40, 20);
    if (c.asPopup)
      layout()->setPopup(shown.get(), rfb::Point(300, 300));
    else
      layout()->addChildAt(shown.get(), rfb::Point(300, 300));
    Window popupWin = layout()->windowOf(shown.get())->win();
    x.pumpFor(30);
    EXPECT_EQ(pointerGrabbed(x.name()), c.asPopup);
    shown.reset();
    EXPECT_EQ(layout()->getPopup(), nullptr);
    XSync(x.dpy, False);
    EXPECT_FALSE(windowExists(x.dpy, popupWin));
    EXPECT_FALSE(pointerGrabbed(x.name()));
    // A click where the popup was is served without it.
    x.run({"xdotool", "mousemove", "310", "305", "click", "1"});
    x.pumpFor(30);
  }
  // A new widget at the same place in memory is a stranger to the layout.
  Patch fresh;
  EXPECT_EQ(layout()->windowOf(&fresh), nullptr);
}

TEST_F(RootLayoutTest, ChoiceDeletedWithItsMenuOpenClosesTheMenu) {
  auto choice = std::make_unique<wvw::WChoice>(&board, false, false, 64);
  choice->addItem(1, "one");
  choice->addItem(2, "two");
  board.addChildSized(choice.get(), rfb::Rect(10, 10, 150, 30));
  x.pumpFor(30);
  // The arrow button at the right of the field opens the drop-down.
  rfb::Point arrow = choice->getButton()->mapPointTo(rfb::Point(2, 2), &board);
  x.run({"xdotool", "mousemove", std::to_string(100 + arrow.x), std::to_string(50 + arrow.y),
         "click", "1"});
  ASSERT_TRUE(x.pumpUntil([&] { return layout()->windowOf(choice->getMenu()) != nullptr; }));
  Window menuWin = layout()->windowOf(choice->getMenu())->win();
  EXPECT_TRUE(pointerGrabbed(x.name()));
  choice.reset();
  XSync(x.dpy, False);
  EXPECT_FALSE(windowExists(x.dpy, menuWin));
  EXPECT_FALSE(pointerGrabbed(x.name()));
  EXPECT_EQ(layout()->getPopup(), nullptr);
  x.run({"xdotool", "mousemove", "120", "70", "click", "1"});
  EXPECT_TRUE(x.pumpUntil([&] { return board.left.clicks > 0; }));
}

// Another client unmaps the popup: the window is deleted and its widget is
// detached from it, so it can be shown again and fed input safely.
TEST_F(RootLayoutTest, PopupUnmappedByAnotherClientDetachesItsWidget) {
  AttachedPatch shown;
  shown.setSize(40, 20);
  layout()->setPopup(&shown, rfb::Point(300, 300));
  Window popupWin = layout()->windowOf(&shown)->win();
  x.pumpFor(30);
  ASSERT_EQ(shown.getParent(),
            static_cast<wvw::WParent*>(static_cast<TXWParent*>(layout()->windowOf(&shown))));
  x.run({"xdotool", "windowunmap", std::to_string(popupWin)});
  ASSERT_TRUE(x.pumpUntil([&] { return layout()->windowOf(&shown) == nullptr; }));
  XSync(x.dpy, False);
  EXPECT_FALSE(windowExists(x.dpy, popupWin));
  EXPECT_EQ(shown.getParent(), nullptr);
  EXPECT_FALSE(pointerGrabbed(x.name()));
  // The widget damaged after the fact reaches no window.
  shown.invalidate();
  x.pumpFor(30);
  // Shown again, it works as before.
  layout()->setPopup(&shown, rfb::Point(300, 300));
  x.pumpFor(30);
  x.run({"xdotool", "mousemove", "310", "305", "click", "1"});
  EXPECT_TRUE(x.pumpUntil([&] { return shown.clicks > 0; }));
  EXPECT_EQ(shown.stray, 0);
}
