// The server status window on a private Xvfb over a server whose
// parameters and status values the test sets: the texts it shows, the
// button row with the window menu or "Options...", the About dialog, the
// guest login toggle, closing the window, the error box, the commands of its
// menu and the real tray icon co-process in a tray (trayer) driving it.
// gtest comes before the X headers, whose macros clash with it.
#include <gtest/gtest.h>

#include "serverconfig/ConnectionsDialog.h"
#include "serverconfig/DummyStatusIcon.h"
#include "serverconfig/ServerStatusHLCallback.h"
#include "serverconfig/StatusDialog.h"
#include "serverconfig/StatusIcon.h"
#include "serverconfig/StatusWindowActions.h"

#include "ft/Extension.h"
#include "net/SelectSocketManager.h"
#include "plat/ConfigParameter.h"
#include "plat/ParameterSet.h"
#include "plat/TimerManager.h"
#include "tx/TXWRootLayout.h"
#include "tx/TXWindow.h"

#include "CaptureLogger.h"
#include "FakeStatusServer.h"
#include "FileContents.h"
#include "StatusDialogProbe.h"
#include "TempDir.h"
#include "ThrownMessage.h"
#include "TrayHost.h"
#include "TxModalScript.h"
#include "XvfbServer.h"

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

using Entry = serverconfig::ConnectionsList::Entry;
using serverconfig::StatusDialog;
using serverconfig::StatusIcon;
using testing_support::TrayHost;
using FakeServer = testing_support::FakeStatusServer;

namespace {

class StatusDialogTest : public ::testing::Test {
protected:
  StatusDialogTest() : xvfb_("800x600x24") {
    testing_support::testAppInit();
    dpy = XOpenDisplay(xvfb_.display().c_str());
    TXWindow::init(dpy, "Zavconfig");
  }
  ~StatusDialogTest() override {
    StatusDialog::quitOnClose.unsetParam(0);
    TXWRootLayout::release(dpy);
    TXWindow::shutdown(dpy);
    XCloseDisplay(dpy);
  }
  // Lets the X server's answers (map notices) reach the windows.
  void settle() {
    XSync(dpy, False);
    TXWindow::handleXEvents(dpy);
  }
  static bool inRow(StatusDialog& dialog, wvw::Widget* w) {
    return w->getContainer() == dialog.content();
  }

  testing_support::XvfbServer xvfb_;
  plat::TimerManager timers;
  Display* dpy = nullptr;
};

// What the status window tells an icon.
struct RecordingIcon : StatusDialog::IconCallback {
  void setTooltip(const char*) override { calls.push_back("tooltip"); }
  void enableGuestLogin(bool e) override { calls.push_back(e ? "guest on" : "guest off"); }
  void tickGuestLogin(bool t) override { calls.push_back(t ? "tick" : "untick"); }
  void setIcon(unsigned state) override { calls.push_back("icon " + std::to_string(state)); }
  void checkVisibility() override { calls.push_back("check"); }
  void enableFileTransfer(bool) override { calls.push_back("ft"); }
  void enableChat(bool) override { calls.push_back("chat"); }
  std::vector<std::string> calls;
};

TEST_F(StatusDialogTest, StatusWindowShowsTheServersState) {
  FakeServer server;
  serverconfig::StatusDialog dialog(dpy, &server, &server, false);
  dialog.map();
  std::string summary = probe(dialog).summaryText();
  EXPECT_NE(summary.find("working normally"), std::string::npos) << summary;
  EXPECT_EQ(probe(dialog).model().getRfbPort(), 5901u);

  server.params["AllowRfb"] = "0";
  server.connections.push_back(Entry("alice", "10.0.0.1", "1", 0xFFFF));
  dialog.updateConnections(true);
  dialog.updateNetworkStatus(true);
  EXPECT_EQ(probe(dialog).model().getRfbPort(), 0u);
  EXPECT_NE(std::string(probe(dialog).summaryText()).find("Zav Server is disabled"),
            std::string::npos)
      << probe(dialog).summaryText();
  EXPECT_NE(std::string(probe(dialog).detailsText()).find("1 user connected"), std::string::npos)
      << probe(dialog).detailsText();

  server.params["AllowRfb"] = "1";
  server.params["InTransports"] = "IPv6";
  dialog.updateNetworkStatus(true);
  EXPECT_TRUE(probe(dialog).model().getAddresses().empty());
  EXPECT_NE(std::string(probe(dialog).detailsText()).find("Unable to determine Zav Server address"),
            std::string::npos);
  // The header keeps its wrapped description and its logo through every
  // new layout.
  rfb::Rect description =
      probe(dialog).header()->getChildRect(probe(dialog).header()->description());
  EXPECT_GE(description.height(), 30);
  EXPECT_GE(probe(dialog).header()->height(), ui::HalbrinLogo::logoHeight + 4);
  EXPECT_EQ(dialog.content()->getChildRect(probe(dialog).header()).width(), 420);

  // Closing without a tray icon iconifies the window.
  dialog.deleteWindow(&dialog);
  EXPECT_EQ(server.iconified, 1);
}

// The texts are read when the window's layout is attached, not when it is
// made; a change of the host's addresses shows the new list, with the
// primary address first and the loopback and duplicate entries left out
// (or, without a primary, every entry in order).
TEST_F(StatusDialogTest, TextsFollowAttachingAndAddressChanges) {
  testing_support::TempDir dir;
  std::string script = dir.file("primary");
  testing_support::writeFile(script, "#!/bin/sh\necho 192.168.0.5\n");
  chmod(script.c_str(), 0755);
  FakeServer server;
  StatusDialog dialog(dpy, &server, &server, false);
  dialog.setPrimaryAddressScript(script.c_str());
  EXPECT_TRUE(!probe(dialog).summaryText() || !*probe(dialog).summaryText())
      << probe(dialog).summaryText();
  server.params["AllowRfb"] = "0";
  dialog.map();
  EXPECT_NE(std::string(probe(dialog).summaryText()).find("Zav Server is disabled"),
            std::string::npos)
      << probe(dialog).summaryText();

  server.params["AllowRfb"] = "1";
  server.status["ip_addrs"] = "127.0.0.1,10.0.0.7,192.168.0.5,127.0.1.1";
  testing_support::writeFile(script, "#!/bin/sh\necho 10.0.0.7\n");
  net::AddressChangeCallback& changes = dialog;
  changes.addressChanged(nullptr);
  auto addresses = [&] {
    std::vector<std::string> out;
    for (const plat::String& a : probe(dialog).model().getAddresses())
      out.push_back(a.c_str());
    return out;
  };
  EXPECT_EQ(addresses(), (std::vector<std::string>{"10.0.0.7", "192.168.0.5"}));
  EXPECT_NE(std::string(probe(dialog).detailsText()).find("10.0.0.7"), std::string::npos)
      << probe(dialog).detailsText();
  EXPECT_NE(std::string(probe(dialog).summaryText()).find("working normally"), std::string::npos)
      << probe(dialog).summaryText();

  testing_support::writeFile(script, "#!/bin/sh\necho no address\nexit 3\n");
  testing_support::ScopedCapture log("StatusDialog", 10);
  changes.addressChanged(nullptr);
  EXPECT_EQ(addresses(),
            (std::vector<std::string>{"127.0.0.1", "10.0.0.7", "192.168.0.5", "127.0.1.1"}));
  EXPECT_TRUE(log.logger.contains(script + ": no address")) << script;
}

TEST_F(StatusDialogTest, WindowMenuUntilATrayIconIsAvailable) {
  FakeServer server;
  StatusDialog dialog(dpy, &server, &server, false);
  // At the start the window menu is the icon and stands in the row.
  EXPECT_EQ(probe(dialog).iconCallback(), probe(dialog).windowMenu());
  EXPECT_TRUE(inRow(dialog, probe(dialog).windowMenu()->getButton()));
  EXPECT_FALSE(inRow(dialog, probe(dialog).optionsButton()));
  rfb::Rect about = dialog.content()->getChildRect(probe(dialog).aboutButton());
  rfb::Rect menu = dialog.content()->getChildRect(probe(dialog).windowMenu()->getButton());
  rfb::Rect close = dialog.content()->getChildRect(probe(dialog).closeButton());
  EXPECT_EQ(about.tl.x, 6);
  EXPECT_EQ(menu.width(), 110);
  EXPECT_EQ(menu.tl.x, 420 - 110 - 110 - 9);
  EXPECT_EQ(close.tl.x, menu.br.x + 3);
  EXPECT_EQ(about.tl.y, close.tl.y);

  // A tray icon registers: it hears the state at once.
  RecordingIcon tray;
  dialog.iconActions().setIconCallback(&tray);
  dialog.iconActions().setTrayIconEmbedded(true);
  EXPECT_EQ(probe(dialog).iconCallback(), &tray);
  EXPECT_EQ(tray.calls,
            (std::vector<std::string>{"guest off", "untick", "icon 0", "ft", "chat", "tooltip"}));
  EXPECT_TRUE(inRow(dialog, probe(dialog).optionsButton()));
  EXPECT_FALSE(inRow(dialog, probe(dialog).windowMenu()->getButton()));
  EXPECT_EQ(dialog.content()->getChildRect(probe(dialog).optionsButton()), menu);

  // Null brings the window menu back; null again changes nothing.
  tray.calls.clear();
  dialog.setIconCallback(nullptr);
  EXPECT_EQ(probe(dialog).iconCallback(), probe(dialog).windowMenu());
  dialog.setIconCallback(nullptr);
  EXPECT_EQ(probe(dialog).iconCallback(), probe(dialog).windowMenu());
  EXPECT_TRUE(tray.calls.empty());
  dialog.setTrayAvailable(false);
  EXPECT_TRUE(inRow(dialog, probe(dialog).windowMenu()->getButton()));

  // The window menu follows the server's settings.
  server.params["GuestAccess"] = "v";
  server.params["EnableGuestLogin"] = "1";
  dialog.refreshIcon();
  wvw::WMenuItem* guest = probe(dialog).windowMenu()->getItem(3);
  EXPECT_TRUE(guest->isEnabled());
  EXPECT_TRUE(guest->getTick()->isChecked());
}

TEST_F(StatusDialogTest, AboutButtonShowsTheAboutDialog) {
  FakeServer server;
  StatusDialog dialog(dpy, &server, &server, false);
  dialog.map();
  EXPECT_TRUE(dialog.onClick(probe(dialog).aboutButton()));
  settle();
  EXPECT_TRUE(probe(dialog).aboutDialog()->isMapped());
  EXPECT_EQ(probe(dialog).aboutDialog()->transientFor(), &dialog);
  probe(dialog).aboutDialog()->onClick(probe(dialog).aboutDialog()->okButton());
  settle();
  EXPECT_FALSE(probe(dialog).aboutDialog()->isMapped());
  // "Options..." waits for its dialog.
  EXPECT_FALSE(probe(dialog).optionsButton()->isEnabled());
}

TEST_F(StatusDialogTest, GuestLoginTogglesAndSaysWhenItIsNotSupported) {
  FakeServer server;
  StatusDialog dialog(dpy, &server, &server, false);
  RecordingIcon tray;
  dialog.setIconCallback(&tray);

  // No guest rights on the server: turning it on says so, and the window
  // takes no input until the box is closed.
  dialog.iconActions().setGuestLogin();
  EXPECT_EQ(server.params["EnableGuestLogin"], "1");
  EXPECT_EQ(tray.calls.back(), "chat") << "the icon was refreshed";
  settle();
  EXPECT_TRUE(probe(dialog).guestLoginBox()->isMapped());
  EXPECT_STREQ(probe(dialog).guestLoginBox()->label()->getText(), "Guest login not supported");
  EXPECT_FALSE(dialog.content()->isEnabled());
  probe(dialog).guestLoginBox()->onClick(probe(dialog).guestLoginBox()->button(0));
  EXPECT_TRUE(dialog.content()->isEnabled());

  // Turning it off never complains; twice is back where it began.
  dialog.toggleGuestLogin();
  EXPECT_EQ(server.params["EnableGuestLogin"], "0");
  settle();
  EXPECT_FALSE(probe(dialog).guestLoginBox()->isMapped());
  server.params["GuestAccess"] = "v";
  dialog.toggleGuestLogin();
  dialog.toggleGuestLogin();
  EXPECT_EQ(server.params["EnableGuestLogin"], "0");
  settle();
  EXPECT_FALSE(probe(dialog).guestLoginBox()->isMapped());
  EXPECT_TRUE(dialog.content()->isEnabled());
}

TEST_F(StatusDialogTest, ClosingAsksTheIconOrWithQuitOnCloseTheWindowMenu) {
  FakeServer server;
  StatusDialog dialog(dpy, &server, &server, false);
  RecordingIcon tray;
  dialog.setIconCallback(&tray);
  dialog.onClick(probe(dialog).closeButton());
  EXPECT_EQ(tray.calls.back(), "check");
  EXPECT_EQ(server.iconified, 0);

  StatusDialog::quitOnClose.setValue(true, 0);
  tray.calls.clear();
  dialog.deleteWindow(&dialog);
  EXPECT_TRUE(tray.calls.empty());
  EXPECT_EQ(server.iconified, 1) << "the window menu iconifies through the callback";
}

TEST_F(StatusDialogTest, ErrorBoxShowsTheTextAndHoldsInput) {
  FakeServer server;
  StatusDialog dialog(dpy, &server, &server, false);
  dialog.map();
  dialog.showError("Failed to connect to viewer.example");
  settle();
  TXMsgBox* box = probe(dialog).errorBox();
  EXPECT_TRUE(box->isMapped());
  EXPECT_STREQ(box->label()->getText(), "Failed to connect to viewer.example");
  ASSERT_NE(box->icon(), nullptr);
  ASSERT_EQ(box->numButtons(), 1);
  EXPECT_STREQ(box->button(0)->getLabel()->getText(), "OK");
  EXPECT_FALSE(dialog.content()->isEnabled());
  box->onClick(box->button(0));
  settle();
  EXPECT_FALSE(box->isMapped());
  EXPECT_TRUE(dialog.content()->isEnabled());
}

// The connections dialog's model is the window's: its records give the
// user count, a status change refreshes it, and the users link opens it.
// Without a file-transfer stream "File Transfer..." is an error box; without
// options the "Options..." button stays disabled and the item is an error
// box.
TEST_F(StatusDialogTest, ConnectionsDialogLinksAndMissingDialogs) {
  FakeServer server;
  server.connections.push_back(Entry("alice", "10.0.0.1", "1", 0xFFFF));
  net::SelectSocketManager sockets;
  StatusDialog dialog(dpy, &server, &server, false);
  ASSERT_NE(probe(dialog).connectionsDialog(), nullptr);
  EXPECT_EQ(&probe(dialog).connections(), &probe(dialog).connectionsDialog()->connections());
  EXPECT_EQ(probe(dialog).connections().count(), 1u);
  server.connections.push_back(Entry("bob", "10.0.0.2", "2", 1));
  dialog.updateConnections(true);
  serverconfig::ConnectionsDialog* connections = probe(dialog).connectionsDialog();
  EXPECT_EQ(connections->getItemCount(connections->listBox()), 2);
  EXPECT_NE(std::string(probe(dialog).detailsText()).find("2 users connected"), std::string::npos)
      << probe(dialog).detailsText();

  dialog.map();
  EXPECT_EQ(probe(dialog).links(), nullptr);
  dialog.enableLinks(&sockets);
  ASSERT_NE(probe(dialog).links(), nullptr);
  EXPECT_NE(probe(dialog).links()->getCapabilities(), 0u);
  // The summary with its link may wrap: the details stay below it.
  rfb::Rect summary = dialog.content()->getChildRect(probe(dialog).summaryLabel());
  rfb::Rect details = dialog.content()->getChildRect(probe(dialog).detailsPanel());
  EXPECT_GE(details.tl.y, summary.br.y);
  EXPECT_NE(std::string(probe(dialog).summaryText()).find("what is this?"), std::string::npos)
      << probe(dialog).summaryText();
  probe(dialog).links()->showUsers(0);
  settle();
  EXPECT_TRUE(connections->isMapped());

  EXPECT_EQ(probe(dialog).fileTransferDialog(), nullptr);
  dialog.showFileTransfer();
  settle();
  EXPECT_TRUE(probe(dialog).errorBox()->isMapped());
  EXPECT_NE(std::string(probe(dialog).errorBox()->label()->getText()).find("File transfer"),
            std::string::npos);
  probe(dialog).errorBox()->onClick(probe(dialog).errorBox()->button(0));

  // "Options..." without options says why, as "File Transfer..." does:
  // before the server's parameters came, and when they lack what the pages
  // need.
  EXPECT_EQ(probe(dialog).optionsDialog(), nullptr);
  EXPECT_FALSE(probe(dialog).optionsButton()->isEnabled());
  dialog.showOptions();
  settle();
  ASSERT_TRUE(probe(dialog).errorBox()->isMapped());
  EXPECT_STREQ(probe(dialog).errorBox()->label()->getText(),
               "The options are not available: the server's parameters were not read.");
  EXPECT_FALSE(dialog.content()->isEnabled());
  probe(dialog).errorBox()->onClick(probe(dialog).errorBox()->button(0));
  settle();
  EXPECT_TRUE(dialog.content()->isEnabled());

  plat::ParameterSet lacking("Xzav");
  dialog.setOptions(&lacking, nullptr);
  EXPECT_EQ(probe(dialog).optionsDialog(), nullptr);
  dialog.showOptions();
  settle();
  ASSERT_TRUE(probe(dialog).errorBox()->isMapped());
  std::string text = probe(dialog).errorBox()->label()->getText();
  const std::string lead = "The options are not available: ";
  EXPECT_EQ(text.rfind(lead, 0), 0u) << text;
  EXPECT_GT(text.size(), lead.size() + 10) << "no reason given: " << text;
  probe(dialog).errorBox()->onClick(probe(dialog).errorBox()->button(0));
}

// A file-transfer extension that takes every message.
struct PlainExtension : ft::Extension {
  bool acceptMessage(ft::ConnectionId) override { return true; }
  bool useCompression(ft::ConnectionId) override { return false; }
  const char* getName() const override { return "FileTransfer"; }
};

// The icon's commands follow the viewers' file transfer as it comes and
// goes; the window leaves the extension when it goes.
TEST_F(StatusDialogTest, FileTransferPeersRefreshTheIcon) {
  FakeServer server;
  PlainExtension extension;
  server.extension = &extension;
  // Not a real connection: only the notices to the peer callbacks matter.
  rfb::MsgHandler* viewer = ft::Extension::connectionOf(1);
  {
    StatusDialog dialog(dpy, &server, &server, false);
    RecordingIcon tray;
    dialog.setIconCallback(&tray);
    tray.calls.clear();
    extension.extensionDisabled(viewer, extension.getName());
    EXPECT_EQ(tray.calls,
              (std::vector<std::string>{"guest off", "untick", "icon 0", "ft", "chat"}));
    dialog.setIconCallback(nullptr);
  }
  extension.extensionDisabled(viewer, extension.getName());
}

// The dialogs the status window does not hold yet, counted.
struct CountingDialog : StatusDialog {
  CountingDialog(Display* dpy, FakeServer* server) : StatusDialog(dpy, server, server, false) {}
  void showFileTransfer() override { fileTransfers++; }
  void openAddClientDialog() override { addClients++; }
  void showOptions() override { options++; }
  int fileTransfers = 0, addClients = 0, options = 0;
};

// The calls of the window on its icon, in order, with the states.
struct RecordingStateIcon : StatusDialog::IconCallback {
  std::vector<std::string> calls;
  void setTooltip(const char*) override { calls.push_back("tooltip"); }
  void enableGuestLogin(bool e) override { calls.push_back(e ? "guest on" : "guest off"); }
  void tickGuestLogin(bool t) override { calls.push_back(t ? "tick" : "untick"); }
  void setIcon(unsigned state) override { calls.push_back("icon " + std::to_string(state)); }
  void checkVisibility() override { calls.push_back("check"); }
  void enableFileTransfer(bool e) override { calls.push_back(e ? "ft on" : "ft off"); }
  void enableChat(bool e) override { calls.push_back(e ? "chat on" : "chat off"); }
};

// The icon tests' server: file transfer, chat and guest rights on; with
// the pump that serves the window's X events and the tray icon's messages.
class StatusDialogIconTest : public StatusDialogTest {
protected:
  StatusDialogIconTest() {
    server.params["ShareFiles"] = "1";
    server.params["EnableChat"] = "1";
    server.params["GuestAccess"] = "v";
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

  FakeServer server;
};

TEST_F(StatusDialogIconTest, StartsOnItsCommandsMenuAndOffersOptionsWhileATrayIconIsEmbedded) {
  CountingDialog dialog(dpy, &server);
  serverconfig::DummyStatusIcon* fallback = probe(dialog).windowMenu();
  ASSERT_NE(fallback, nullptr);
  EXPECT_EQ(probe(dialog).iconCallback(), fallback);
  EXPECT_FALSE(probe(dialog).trayAvailable());
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
  RecordingStateIcon tray;
  dialog.setIconCallback(&tray);
  EXPECT_EQ(tray.calls, (std::vector<std::string>{"guest on", "untick", "icon 0", "ft on",
                                                  "chat on", "tooltip"}));
  dialog.setTrayAvailable(true);
  EXPECT_TRUE(probe(dialog).trayAvailable());
  EXPECT_EQ(commands->getContainer(), nullptr);
  // "Options..." stands where "Commands" stood.
  server.params["EnableChat"] = "0";
  dialog.refreshIcon();
  EXPECT_EQ(tray.calls.back(), "chat off");
  EXPECT_TRUE(fallback->getItem(4)->isEnabled()) << "the fallback keeps its last state";

  // A flag 0 only swaps the buttons back; the window keeps reporting to the
  // tray icon.
  dialog.setTrayAvailable(false);
  EXPECT_NE(commands->getContainer(), nullptr);
  EXPECT_EQ(probe(dialog).iconCallback(), &tray);

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
  EXPECT_EQ(probe(dialog).iconCallback(), fallback);
  EXPECT_FALSE(fallback->getItem(4)->isEnabled());
  tray.calls.clear();
  dialog.setIconCallback(nullptr);
  EXPECT_TRUE(tray.calls.empty());
  dialog.deleteWindow(&dialog);
  EXPECT_EQ(server.iconified, 2);
}

TEST_F(StatusDialogIconTest, CommandsMenuItemsActOnTheWindowAndTheServer) {
  CountingDialog dialog(dpy, &server);
  serverconfig::DummyStatusIcon* fallback = probe(dialog).windowMenu();
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
TEST_F(StatusDialogIconTest, TrayIconDrivesTheWindow) {
  TrayHost tray(xvfb_.display());
  CountingDialog dialog(dpy, &server);
  StatusIcon icon(dialog.iconActions(), xvfb_.display().c_str());
  ASSERT_TRUE(pumpUntil(icon, [&] { return probe(dialog).trayAvailable(); }));
  EXPECT_EQ(probe(dialog).iconCallback(), &icon);
  EXPECT_EQ(probe(dialog).windowMenu()->getButton()->getContainer(), nullptr);

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
TEST_F(StatusDialogIconTest, BrokenTrayIconPutsTheCommandsMenuBack) {
  TrayHost tray(xvfb_.display());
  CountingDialog dialog(dpy, &server);
  StatusIcon icon(dialog.iconActions(), xvfb_.display().c_str());
  ASSERT_TRUE(pumpUntil(icon, [&] { return probe(dialog).trayAvailable(); }));
  kill(icon.childPid(), SIGKILL);
  EXPECT_EQ(testing_support::thrownMessage([&] { pumpUntil(icon, [] { return false; }); }),
            "End of stream");
  EXPECT_EQ(probe(dialog).iconCallback(), probe(dialog).windowMenu());
  EXPECT_FALSE(probe(dialog).trayAvailable());
  EXPECT_NE(probe(dialog).windowMenu()->getButton()->getContainer(), nullptr);
  // Writes to the dead child change nothing.
  dialog.refreshIcon();
  dialog.updateTooltip();
  EXPECT_EQ(probe(dialog).iconCallback(), probe(dialog).windowMenu());
}

} // namespace
