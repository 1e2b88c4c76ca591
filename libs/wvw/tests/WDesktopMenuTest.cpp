// A menu shown as a window of the widget desktop: it opens with the focus,
// its items act through the desktop's window handler, and it goes away on
// Escape, on a click no handler takes and when the focus moves elsewhere.
#include "wvw/WDesktopMenu.h"

#include "rfb/KeysymNames.h"
#include "wvw/WDesktop.h"
#include "wvw/WLabelButton.h"

#include "FakeDesktopServer.h"
#include "RecordingHandler.h"
#include "TestWidgets.h"

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

class DesktopMenu : public ::testing::Test {
protected:
  DesktopMenu() {
    desk.setPixelLayout(rfb::PixelLayout::xrgb32LittleEndian);
    desk.setSize(100, 80);
    window.setSize(100, 80);
    menu.addChildAt(&open, Point(3, 3));
    menu.addChildAt(&quit, Point(3, 19));
    open.setSize(40, 16);
    quit.setSize(40, 16);
    menu.setSize(46, 38);
    handler.name(&open, "Open");
    handler.name(&quit, "Quit");
    handler.name(&menu, "Menu");
    handler.name(&window, "Window");
    // Only the clicks matter here.
    handler.quiet = {"move",   "press",  "release", "leave", "key",        "focus",
                     "change", "attach", "detach",  "size",  "visibility", "enabled"};
    desk.setWindowHandler(&handler);
    desk.addWindow(&window, Point(0, 0));
    desk.attachServer(&server);
    server.tryUpdate();
  }

  // The menu opens at (20, 20), as a desktop shows a context menu.
  void openMenu() { desk.addWindow(&menu, Point(20, 20)); }
  bool menuShown() {
    std::vector<wvw::Widget*> ws = desk.getWindows();
    return std::find(ws.begin(), ws.end(), &menu) != ws.end();
  }
  void click(int x, int y) {
    desk.pointerEvent(Point(x, y), 1, false);
    desk.pointerEvent(Point(x, y), 0, false);
  }
  void key(uint32_t keysym) {
    desk.keyEvent(keysym, true);
    desk.keyEvent(keysym, false);
  }
  uint32_t seen(int x, int y) { return server.screen.getPixel(Point(x, y)) & 0xFFFFFF; }

  FakeDesktopServer server;
  RecordingHandler handler;
  Patch window{Colour(255, 0, 0)};
  wvw::WLabelButton open{"Open"};
  wvw::WLabelButton quit{"Quit"};
  wvw::WDesktop desk;
  wvw::WDesktopMenu menu{&desk};
};

} // namespace

TEST_F(DesktopMenu, OpensOnTopWithTheFocusOnItsFirstItem) {
  EXPECT_EQ(seen(30, 30), 0xFF0000u);
  openMenu();
  EXPECT_EQ(desk.getWindows().back(), &menu);
  EXPECT_EQ(desk.getFocusWindow(), &menu);
  EXPECT_TRUE(open.hasFocus());
  EXPECT_NE(seen(30, 30), 0xFF0000u) << "the viewers see the menu";
  EXPECT_EQ(seen(19, 19), 0xFF0000u);
}

TEST_F(DesktopMenu, AClickOnAnItemActsAndClosesTheMenu) {
  openMenu();
  click(20 + 3 + 20, 20 + 19 + 8); // on Quit
  EXPECT_EQ(handler.events, (Events{"click Quit"}));
  EXPECT_FALSE(menuShown());
  EXPECT_EQ(menu.getParent(), nullptr);
  EXPECT_EQ(desk.getFocusWindow(), &window);
  EXPECT_EQ(seen(30, 30), 0xFF0000u) << "the window shows again where the menu was";
}

TEST_F(DesktopMenu, AClickAHandlerTakesLeavesTheMenuToTheHandler) {
  handler.handled = {"click"};
  openMenu();
  click(20 + 3 + 20, 20 + 3 + 8); // on Open
  EXPECT_EQ(handler.events, (Events{"click Open"}));
  EXPECT_TRUE(menuShown());
  EXPECT_EQ(desk.getFocusWindow(), &menu);
  desk.removeWindow(&menu); // as the handler does when it has acted
  EXPECT_FALSE(menuShown());
}

TEST_F(DesktopMenu, KeysChooseAndActivateItems) {
  openMenu();
  key(keys::Tab);
  EXPECT_TRUE(quit.hasFocus());
  key(keys::Return);
  EXPECT_EQ(handler.events, (Events{"click Quit"}));
  EXPECT_FALSE(menuShown());
}

TEST_F(DesktopMenu, EscapeClosesTheMenu) {
  openMenu();
  key(keys::Escape);
  EXPECT_FALSE(menuShown());
  EXPECT_TRUE(handler.events.empty());
  EXPECT_EQ(desk.getFocusWindow(), &window);
  EXPECT_EQ(seen(30, 30), 0xFF0000u);
}

TEST_F(DesktopMenu, AClickElsewhereClosesTheMenu) {
  struct Case {
    const char* what;
    bool windowUnder;
  } cases[] = {{"on another window", true}, {"on the bare desktop", false}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    if (!k.windowUnder)
      desk.moveWindow(&window, Point(0, 0)), window.setSize(10, 10);
    openMenu();
    click(90, 70);
    EXPECT_FALSE(menuShown());
    EXPECT_TRUE(handler.events.empty());
    EXPECT_EQ(desk.getFocusWindow(), &window);
  }
}

TEST_F(DesktopMenu, OpeningAnotherWindowClosesTheMenu) {
  Patch other(Colour(0, 0, 255));
  other.setSize(5, 5);
  openMenu();
  desk.addWindow(&other, Point(90, 0));
  EXPECT_FALSE(menuShown());
  EXPECT_EQ(desk.getFocusWindow(), &other);
  desk.removeWindow(&other);
}

TEST_F(DesktopMenu, AMenuDestroyedWhileShownLeavesTheDesktop) {
  auto shortLived = std::make_unique<wvw::WDesktopMenu>(&desk);
  Patch item(Colour(0, 255, 0));
  item.setSize(10, 10);
  shortLived->addChildAt(&item, Point(3, 3));
  shortLived->setSize(16, 16);
  desk.addWindow(shortLived.get(), Point(5, 5));
  EXPECT_EQ(desk.getFocusWindow(), shortLived.get());
  shortLived.reset();
  EXPECT_EQ(desk.getWindows(), (std::vector<wvw::Widget*>{&window}));
  EXPECT_EQ(desk.getFocusWindow(), &window);
  EXPECT_EQ(seen(10, 10), 0xFF0000u);
}
