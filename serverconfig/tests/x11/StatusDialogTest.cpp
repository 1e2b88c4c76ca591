// The status window and its icons: the fallback "Commands" menu button it
// starts with, the swap to "Options..." while a tray icon is embedded, its
// commands, and the real tray icon co-process in a tray (trayer) on a
// private Xvfb driving the window.
// gtest comes first: the status window's header brings in Xlib, whose macros
// (None, Bool) would break gtest's own headers.
#include <gtest/gtest.h>

#include "serverconfig/DummyStatusIcon.h"
#include "serverconfig/StatusDialog.h"
#include "serverconfig/StatusIcon.h"
#include "serverconfig/StatusIconWindow.h"

#include "plat/ConfigParameter.h"
#include "plat/ParameterSet.h"
#include "tx/TXWRootLayout.h"
#include "tx/TXWindow.h"

#include "FakeStatusServer.h"
#include "ThrownMessage.h"
#include "TrayHost.h"
#include "XvfbServer.h"

#include <poll.h>
#include <signal.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace {

using serverconfig::StatusDialog;
using serverconfig::StatusIcon;
using testing_support::FakeStatusServer;
using testing_support::TrayHost;

// The dialogs the status window does not hold yet, counted.
struct CountingDialog : StatusDialog {
  CountingDialog(Display* dpy, FakeStatusServer* server)
      : StatusDialog(dpy, server, server, false) {}
  void showFileTransfer() override { fileTransfers++; }
  void openAddClientDialog() override { addClients++; }
  void showOptions() override { options++; }
  int fileTransfers = 0, addClients = 0, options = 0;
};

// The calls of the window on its icon, in order.
struct RecordingIcon : StatusDialog::IconCallback {
  std::vector<std::string> calls;
  void setTooltip(const char*) override { calls.push_back("tooltip"); }
  void enableGuestLogin(bool e) override { calls.push_back(e ? "guest on" : "guest off"); }
  void tickGuestLogin(bool t) override { calls.push_back(t ? "tick" : "untick"); }
  void setIcon(unsigned state) override { calls.push_back("icon " + std::to_string(state)); }
  void checkVisibility() override { calls.push_back("check"); }
  void enableFileTransfer(bool e) override { calls.push_back(e ? "ft on" : "ft off"); }
  void enableChat(bool e) override { calls.push_back(e ? "chat on" : "chat off"); }
};

class StatusDialogTest : public ::testing::Test {
protected:
  StatusDialogTest() : xvfb("800x600x24") {
    dpy = XOpenDisplay(xvfb.display().c_str());
    TXWindow::init(dpy, "Zavconfig");
    server.params["ShareFiles"] = "1";
    server.params["EnableChat"] = "1";
    server.params["GuestAccess"] = "v";
  }
  ~StatusDialogTest() override {
    TXWRootLayout::release(dpy);
    TXWindow::shutdown(dpy);
    XCloseDisplay(dpy);
  }

  // Serves the window's X events and the icon's messages until the
  // condition holds or the time is up.
  bool pumpUntil(StatusIcon& icon, const std::function<bool()>& done, int ms = 15000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
      TXWindow::handleXEvents(dpy);
      XFlush(dpy);
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                      end - std::chrono::steady_clock::now())
                      .count();
      if (left <= 0)
        return false;
      pollfd p[2] = {{icon.getFd(), POLLIN, 0}, {ConnectionNumber(dpy), POLLIN, 0}};
      if (poll(p, 2, static_cast<int>(std::min<long>(left, 100))) > 0 && p[0].revents)
        icon.handleRequest();
    }
    return true;
  }

  testing_support::XvfbServer xvfb;
  Display* dpy = nullptr;
  FakeStatusServer server;
};

TEST_F(StatusDialogTest, StartsOnItsCommandsMenuAndOffersOptionsWhileATrayIconIsEmbedded) {
  CountingDialog dialog(dpy, &server);
  serverconfig::DummyStatusIcon* fallback = dialog.fallbackIcon();
  ASSERT_NE(fallback, nullptr);
  EXPECT_EQ(dialog.iconCallback(), fallback);
  EXPECT_FALSE(dialog.trayIconEmbedded());
  wvw::Widget* commands = fallback->getButton();
  EXPECT_NE(commands->getContainer(), nullptr);
  EXPECT_EQ(std::string(fallback->getButton()->getLabel()->getText()), "Commands");
  // The window's refresh told the fallback the server's state.
  EXPECT_TRUE(fallback->getItem(3)->isEnabled()); // Guest Login: "GuestAccess" v
  EXPECT_FALSE(fallback->getItem(3)->getTick()->isChecked());
  EXPECT_TRUE(fallback->getItem(4)->isEnabled()); // Chat...
  EXPECT_TRUE(fallback->getItem(5)->isEnabled()); // File Transfer...

  // A tray icon registers itself: it hears the whole icon state and the
  // tooltip, the fallback nothing more.
  RecordingIcon tray;
  dialog.setIconCallback(&tray);
  EXPECT_EQ(tray.calls, (std::vector<std::string>{"guest on", "untick", "icon 0", "ft on",
                                                  "chat on", "tooltip"}));
  dialog.setTrayIconEmbedded(true);
  EXPECT_TRUE(dialog.trayIconEmbedded());
  EXPECT_EQ(commands->getContainer(), nullptr);
  // "Options..." stands where "Commands" stood.
  server.params["EnableChat"] = "0";
  dialog.refreshIcon();
  EXPECT_EQ(tray.calls.back(), "chat off");
  EXPECT_TRUE(fallback->getItem(4)->isEnabled()) << "the fallback keeps its last state";

  // A flag 0 only swaps the buttons back; the window keeps reporting to the
  // tray icon.
  dialog.setTrayIconEmbedded(false);
  EXPECT_NE(commands->getContainer(), nullptr);
  EXPECT_EQ(dialog.iconCallback(), &tray);

  // Closing asks the current icon; with "QuitOnCloseStatusDialog" the
  // fallback, which iconifies at once.
  tray.calls.clear();
  dialog.deleteWindow(&dialog);
  EXPECT_EQ(tray.calls, std::vector<std::string>{"check"});
  EXPECT_EQ(server.iconified, 0);
  plat::ConfigParameter* quit = plat::ParameterSet::global().find("QuitOnCloseStatusDialog");
  ASSERT_NE(quit, nullptr);
  quit->setParam("1", 10);
  dialog.deleteWindow(&dialog);
  quit->unsetParam(10);
  EXPECT_EQ(tray.calls, std::vector<std::string>{"check"});
  EXPECT_EQ(server.iconified, 1);

  // Null puts the fallback back, and a second null changes nothing.
  dialog.setIconCallback(nullptr);
  EXPECT_EQ(dialog.iconCallback(), fallback);
  EXPECT_FALSE(fallback->getItem(4)->isEnabled());
  tray.calls.clear();
  dialog.setIconCallback(nullptr);
  EXPECT_TRUE(tray.calls.empty());
  dialog.deleteWindow(&dialog);
  EXPECT_EQ(server.iconified, 2);
}

TEST_F(StatusDialogTest, CommandsMenuItemsActOnTheWindowAndTheServer) {
  CountingDialog dialog(dpy, &server);
  serverconfig::DummyStatusIcon* fallback = dialog.fallbackIcon();
  // Options..., Connect, Disconnect, Guest Login, Chat..., File Transfer...
  for (int i = 0; i < 6; i++)
    EXPECT_TRUE(fallback->onClick(fallback->getItem(i)));
  EXPECT_EQ(dialog.options, 1);
  EXPECT_EQ(dialog.addClients, 1);
  EXPECT_EQ(server.disconnects, 1);
  EXPECT_EQ(server.chats, 1);
  EXPECT_EQ(dialog.fileTransfers, 1);
  // Guest login toggled once; the tick follows from the refresh.
  EXPECT_EQ(server.paramsSet, std::vector<std::string>{"EnableGuestLogin=1"});
  EXPECT_TRUE(fallback->getItem(3)->getTick()->isChecked());
  fallback->onClick(fallback->getItem(3));
  EXPECT_EQ(server.params["EnableGuestLogin"], "0");
  EXPECT_FALSE(fallback->getItem(3)->getTick()->isChecked());
}

// The real co-process in a real tray drives the window: the embed swaps the
// buttons, each tray menu item runs its command once, and the toggle of
// "Guest Login" reaches the server once with no echo from the tick that
// follows.
TEST_F(StatusDialogTest, TrayIconDrivesTheWindow) {
  TrayHost tray(xvfb.display());
  CountingDialog dialog(dpy, &server);
  serverconfig::StatusIconWindow* window = dialog.iconWindow();
  ASSERT_NE(window, nullptr);
  StatusIcon icon(*window, xvfb.display().c_str());
  ASSERT_TRUE(pumpUntil(icon, [&] { return dialog.trayIconEmbedded(); }));
  EXPECT_EQ(dialog.iconCallback(), &icon);
  EXPECT_EQ(dialog.fallbackIcon()->getButton()->getContainer(), nullptr);

  std::string win = tray.iconWindow();
  ASSERT_FALSE(win.empty());
  struct Item {
    const char* label;
    int downs; // from the top; the separator after "Status..." is skipped
    std::function<bool()> done;
  };
  const Item items[] = {
      {"Connect to Listening Zav Viewer", 2, [&] { return dialog.addClients == 1; }},
      {"Disconnect Zav Viewers", 3, [&] { return server.disconnects == 1; }},
      {"Guest Login", 4, [&] { return server.paramsSet.size() == 1; }},
      {"Chat...", 5, [&] { return server.chats == 1; }},
      {"File Transfer...", 6, [&] { return dialog.fileTransfers == 1; }},
      {"Status...", 1, [&] { return dialog.isMapped(); }},
  };
  for (const Item& item : items) {
    SCOPED_TRACE(item.label);
    ASSERT_TRUE(tray.chooseMenuItem(win, item.downs));
    EXPECT_TRUE(pumpUntil(icon, item.done));
  }
  // The refresh after the toggle ticked the tray's item: nothing came back.
  pumpUntil(
      icon, [] { return false; }, 700);
  EXPECT_EQ(server.paramsSet, std::vector<std::string>{"EnableGuestLogin=1"});
  EXPECT_EQ(server.disconnects, 1);
  EXPECT_EQ(server.chats, 1);
}

// A tray icon whose co-process dies leaves the window on its fallback with
// the "Commands" menu button back in the row, not on "Options..." alone.
TEST_F(StatusDialogTest, BrokenTrayIconPutsTheCommandsMenuBack) {
  TrayHost tray(xvfb.display());
  CountingDialog dialog(dpy, &server);
  StatusIcon icon(*dialog.iconWindow(), xvfb.display().c_str());
  ASSERT_TRUE(pumpUntil(icon, [&] { return dialog.trayIconEmbedded(); }));
  kill(icon.childPid(), SIGKILL);
  EXPECT_EQ(testing_support::thrownMessage([&] { pumpUntil(icon, [] { return false; }); }),
            "End of stream");
  EXPECT_EQ(dialog.iconCallback(), dialog.fallbackIcon());
  EXPECT_FALSE(dialog.trayIconEmbedded());
  EXPECT_NE(dialog.fallbackIcon()->getButton()->getContainer(), nullptr);
  // Writes to the dead child change nothing.
  dialog.refreshIcon();
  dialog.updateTooltip();
  EXPECT_EQ(dialog.iconCallback(), dialog.fallbackIcon());
}

} // namespace
