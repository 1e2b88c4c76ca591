// The server status window on a private Xvfb over a server whose
// parameters and status values the test sets: the texts it shows, the
// button row with the window menu or "Options...", the About dialog, the
// guest login toggle, closing the window and the error box.
// gtest comes before the X headers, whose macros clash with it.
#include <gtest/gtest.h>

#include "serverconfig/DummyStatusIcon.h"
#include "serverconfig/StatusDialog.h"
#include "serverconfig/StatusWindowActions.h"

#include "ft/Extension.h"
#include "plat/TimerManager.h"
#include "tx/TXWRootLayout.h"
#include "tx/TXWindow.h"

#include "TxModalScript.h"
#include "XvfbServer.h"

#include <map>
#include <string>
#include <vector>

using Entry = serverconfig::ConnectionsList::Entry;
using serverconfig::StatusDialog;

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

// A server whose parameters and status values the test sets.
struct FakeServer : serverconfig::StatusDialog::Callback, serverconfig::ConnectionsList::Callback {
  void setParam(const char* name, const char* value) override { params[name] = value; }
  const char* getParam(const char* name) override {
    auto it = params.find(name);
    return it == params.end() ? nullptr : it->second.c_str();
  }
  const char* getStatusParam(const char* name) override {
    auto it = status.find(name);
    return it == status.end() ? nullptr : it->second.c_str();
  }
  void connectToViewer(const char*) override {}
  bool disconnectAll() override { return true; }
  void iconify() override { iconified++; }
  void openChat() override {}
  ft::Extension* getFtExtension() override { return extension; }
  ft::UploadManager* getUploadManager() override { return nullptr; }
  bool disconnect(const Entry&) override { return true; }
  bool setAccess(const Entry&, std::uint16_t) override { return true; }
  void list(std::vector<Entry>& out) override { out = connections; }
  void notify(const std::vector<Entry>&, const std::vector<Entry>&) override {}

  std::map<std::string, std::string> params = {{"rfbPort", "5901"}, {"InTransports", "IPv4"}};
  std::map<std::string, std::string> status = {{"ip_addrs", "127.0.0.1,192.168.0.5"},
                                               {"public_key_signature", "aa-bb"}};
  std::vector<Entry> connections;
  int iconified = 0;
  ft::Extension* extension = nullptr;
};

TEST_F(StatusDialogTest, StatusWindowShowsTheServersState) {
  FakeServer server;
  serverconfig::StatusDialog dialog(dpy, &server, &server, false);
  std::string summary = dialog.summaryText();
  EXPECT_NE(summary.find("working normally"), std::string::npos) << summary;
  EXPECT_EQ(dialog.model().getRfbPort(), 5901u);

  server.params["AllowRfb"] = "0";
  server.connections.push_back(Entry("alice", "10.0.0.1", "1", 0xFFFF));
  dialog.updateConnections(true);
  dialog.updateNetworkStatus(true);
  EXPECT_EQ(dialog.model().getRfbPort(), 0u);
  EXPECT_NE(std::string(dialog.summaryText()).find("Zav Server is disabled"), std::string::npos)
      << dialog.summaryText();
  EXPECT_NE(std::string(dialog.detailsText()).find("1 user connected"), std::string::npos)
      << dialog.detailsText();

  server.params["AllowRfb"] = "1";
  server.params["InTransports"] = "IPv6";
  dialog.updateNetworkStatus(true);
  EXPECT_TRUE(dialog.model().getAddresses().empty());
  EXPECT_NE(std::string(dialog.detailsText()).find("Unable to determine Zav Server address"),
            std::string::npos);
  // The header keeps its wrapped description and its logo through every
  // new layout.
  rfb::Rect description = dialog.header()->getChildRect(dialog.header()->description());
  EXPECT_GE(description.height(), 30);
  EXPECT_GE(dialog.header()->height(), ui::HalbrinLogo::logoHeight + 4);
  EXPECT_EQ(dialog.content()->getChildRect(dialog.header()).width(), 420);

  // Closing without a tray icon iconifies the window.
  dialog.deleteWindow(&dialog);
  EXPECT_EQ(server.iconified, 1);
}

TEST_F(StatusDialogTest, WindowMenuUntilATrayIconIsAvailable) {
  FakeServer server;
  StatusDialog dialog(dpy, &server, &server, false);
  // At the start the window menu is the icon and stands in the row.
  EXPECT_EQ(dialog.iconCallback(), dialog.windowMenu());
  EXPECT_TRUE(inRow(dialog, dialog.windowMenu()->getButton()));
  EXPECT_FALSE(inRow(dialog, dialog.optionsButton()));
  rfb::Rect about = dialog.content()->getChildRect(dialog.aboutButton());
  rfb::Rect menu = dialog.content()->getChildRect(dialog.windowMenu()->getButton());
  rfb::Rect close = dialog.content()->getChildRect(dialog.closeButton());
  EXPECT_EQ(about.tl.x, 6);
  EXPECT_EQ(menu.width(), 110);
  EXPECT_EQ(menu.tl.x, 420 - 110 - 110 - 9);
  EXPECT_EQ(close.tl.x, menu.br.x + 3);
  EXPECT_EQ(about.tl.y, close.tl.y);

  // A tray icon registers: it hears the state at once.
  RecordingIcon tray;
  dialog.iconActions().setIconCallback(&tray);
  dialog.iconActions().setTrayIconEmbedded(true);
  EXPECT_EQ(dialog.iconCallback(), &tray);
  EXPECT_EQ(tray.calls,
            (std::vector<std::string>{"guest off", "untick", "icon 0", "ft", "chat", "tooltip"}));
  EXPECT_TRUE(inRow(dialog, dialog.optionsButton()));
  EXPECT_FALSE(inRow(dialog, dialog.windowMenu()->getButton()));
  EXPECT_EQ(dialog.content()->getChildRect(dialog.optionsButton()), menu);

  // Null brings the window menu back; null again changes nothing.
  tray.calls.clear();
  dialog.setIconCallback(nullptr);
  EXPECT_EQ(dialog.iconCallback(), dialog.windowMenu());
  dialog.setIconCallback(nullptr);
  EXPECT_EQ(dialog.iconCallback(), dialog.windowMenu());
  EXPECT_TRUE(tray.calls.empty());
  dialog.setTrayAvailable(false);
  EXPECT_TRUE(inRow(dialog, dialog.windowMenu()->getButton()));

  // The window menu follows the server's settings.
  server.params["GuestAccess"] = "v";
  server.params["EnableGuestLogin"] = "1";
  dialog.refreshIcon();
  wvw::WMenuItem* guest = dialog.windowMenu()->getItem(3);
  EXPECT_TRUE(guest->isEnabled());
  EXPECT_TRUE(guest->getTick()->isChecked());
}

TEST_F(StatusDialogTest, AboutButtonShowsTheAboutDialog) {
  FakeServer server;
  StatusDialog dialog(dpy, &server, &server, false);
  dialog.map();
  EXPECT_TRUE(dialog.onClick(dialog.aboutButton()));
  settle();
  EXPECT_TRUE(dialog.aboutDialog()->isMapped());
  EXPECT_EQ(dialog.aboutDialog()->transientFor(), &dialog);
  dialog.aboutDialog()->onClick(dialog.aboutDialog()->okButton());
  settle();
  EXPECT_FALSE(dialog.aboutDialog()->isMapped());
  // "Options..." waits for its dialog.
  EXPECT_FALSE(dialog.optionsButton()->isEnabled());
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
  EXPECT_TRUE(dialog.guestLoginBox()->isMapped());
  EXPECT_STREQ(dialog.guestLoginBox()->label()->getText(), "Guest login not supported");
  EXPECT_FALSE(dialog.content()->isEnabled());
  dialog.guestLoginBox()->onClick(dialog.guestLoginBox()->button(0));
  EXPECT_TRUE(dialog.content()->isEnabled());

  // Turning it off never complains; twice is back where it began.
  dialog.toggleGuestLogin();
  EXPECT_EQ(server.params["EnableGuestLogin"], "0");
  settle();
  EXPECT_FALSE(dialog.guestLoginBox()->isMapped());
  server.params["GuestAccess"] = "v";
  dialog.toggleGuestLogin();
  dialog.toggleGuestLogin();
  EXPECT_EQ(server.params["EnableGuestLogin"], "0");
  settle();
  EXPECT_FALSE(dialog.guestLoginBox()->isMapped());
  EXPECT_TRUE(dialog.content()->isEnabled());
}

TEST_F(StatusDialogTest, ClosingAsksTheIconOrWithQuitOnCloseTheWindowMenu) {
  FakeServer server;
  StatusDialog dialog(dpy, &server, &server, false);
  RecordingIcon tray;
  dialog.setIconCallback(&tray);
  dialog.onClick(dialog.closeButton());
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
  TXMsgBox* box = dialog.errorBox();
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

} // namespace
