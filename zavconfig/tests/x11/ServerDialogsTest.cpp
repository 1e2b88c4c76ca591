// The connections dialog and the connect-to-viewer dialog as windows on the
// stand-in server in front of a real Xvfb, over the callback that reaches
// the stand-in: what the user does in them with real clicks and keys ends up
// as the extension requests in the stand-in's log.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "zavconfig/StatusDialogCallback.h"

#include "plat/TimerManager.h"
#include "serverconfig/AddNewClientDialog.h"
#include "serverconfig/ConnectionsDialog.h"
#include "serverconfig/ViewerConnector.h"
#include "tx/TXWParent.h"
#include "tx/TXWRootLayout.h"
#include "tx/TXWindow.h"
#include "wvw/FontProp.h"
#include "wvw/Style.h"
#include "wvw/WCanvas.h"
#include "wvw/Widget.h"
#include "zav/Access.h"
#include "zavconfig/zavext.h"

#include "ChildProcess.h"
#include "TxEventPump.h"
#include "XzavTestServer.h"

#include <poll.h>
#include <sys/wait.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

using testing_support::XzavDouble;
using zavconfig::StatusDialogCallback;

namespace {

class Windows : public StatusDialogCallback::Windows {
public:
  void iconify() override {}
  void notifyConnect(const serverconfig::ConnectionsList::Entry&, bool, int) override {}
  void showMessage(const char*) override {}
};

// The pump serves the stand-in's display; its timers run the repaints and
// the connections dialog's layout.
class ServerDialogsTest : public ::testing::Test, protected testing_support::TxEventPump {
protected:
  void SetUp() override {
    // The dialogs draw in the font zavconfig gives its widgets.
    savedFont = wvw::Widget::getDefaultStyle()->font;
    wvw::Widget::getDefaultStyle()->font = &wvw::FontProp::helv15_u;
    ASSERT_TRUE(xzav.start());
    server = xzav.server;
    dpy = xzav.dpy;
    TXWindow::init(dpy, "Zavconfig");
    requests();
  }
  void TearDown() override {
    TXWRootLayout::release(dpy);
    TXWindow::shutdown(dpy);
    wvw::Widget::getDefaultStyle()->font = savedFont;
  }
  std::vector<std::string> requests() { return xzav.requests(); }
  void setConnections(const std::vector<std::string>& list) {
    std::string json = "{\"cmd\": \"set\", \"connections\": [";
    for (size_t i = 0; i < list.size(); i++)
      json += (i ? ", " : "") + list[i];
    server->control(json + "]}");
  }
  static std::string connection(const char* user, const char* address, int rights) {
    return std::string("{\"user\": \"") + user + "\", \"address\": \"" + address +
           "\", \"suffix\": null, \"rights\": " + std::to_string(rights) + "}";
  }

  // Runs an X client on the stand-in's display to its end while serving
  // this process's events.
  void run(const std::vector<std::string>& argv) {
    XFlush(dpy);
    int out = -1;
    std::vector<std::string> withDisplay = {"env", "DISPLAY=" + server->display()};
    withDisplay.insert(withDisplay.end(), argv.begin(), argv.end());
    pid_t pid = testing_support::child::spawn(withDisplay, &out, 9);
    close(out);
    int st = 0;
    for (int i = 0; i < 4000 && waitpid(pid, &st, WNOHANG) != pid; i++)
      pumpOnce(5);
    pumpFor(30);
  }
  void show(TXDialog& dialog) {
    dialog.show();
    ASSERT_TRUE(pumpUntil([&] { return dialog.getImage() != nullptr; }));
    pumpFor(30);
  }
  rfb::Point onRoot(TXDialog& dialog, wvw::Widget* w) {
    int px = 0, py = 0;
    XSync(dpy, False);
    dialog.positionOnRoot(&px, &py);
    rfb::Point tl = w->mapPointTo(rfb::Point(0, 0), dialog.content());
    return rfb::Point(px + tl.x + w->width() / 2, py + tl.y + w->height() / 2);
  }
  void click(TXDialog& dialog, wvw::Widget* w) {
    rfb::Point at = onRoot(dialog, w);
    run({"xdotool", "mousemove", std::to_string(at.x), std::to_string(at.y), "click", "1"});
  }
  void screenshot(TXDialog& dialog, const std::string& name) {
    pumpFor(50);
    std::string dir = std::string(ZAV_BINARY_DIR) + "/screenshots";
    run({"sh", "-c",
         "mkdir -p '" + dir + "' && xwd -silent -id " + std::to_string(dialog.win()) +
             " | convert xwd:- '" + dir + "/" + name + ".png'"});
  }

  XzavDouble* server = nullptr;
  testing_support::XzavTestServer xzav;
  wvw::Font* savedFont = nullptr;
};

} // namespace

TEST_F(ServerDialogsTest, ConnectionsDialogListsDisconnectsAndChangesAccess) {
  setConnections({connection("alice", "10.0.0.1", 65535), connection("bob", "10.0.0.2", 1023),
                  connection("carol", "10.0.0.3", 1)});
  StatusDialogCallback callback(dpy, nullptr);
  Windows windows;
  callback.setWindows(&windows);
  serverconfig::ConnectionsDialog dialog(dpy, &callback);
  show(dialog);
  requests();
  ASSERT_EQ(dialog.listBox()->getCount(), 3);
  EXPECT_STREQ(dialog.getItemText(dialog.listBox(), 2), "10.0.0.3");
  EXPECT_STREQ(dialog.userLabel()->getText(), "User: alice");
  EXPECT_STREQ(dialog.accessLabel()->getText(), "Access: Full");

  click(dialog, dialog.listBox()->getRow(2));
  EXPECT_EQ(dialog.getSelected(), 2);
  EXPECT_STREQ(dialog.userLabel()->getText(), "User: carol");
  EXPECT_STREQ(dialog.accessLabel()->getText(), "Access: View only");
  screenshot(dialog, "active_connections_xzav");
  EXPECT_TRUE(dialog.connections().setAccess(1, zav::Access::View));
  click(dialog, dialog.disconnectButton());
  EXPECT_EQ(requests(), (std::vector<std::string>{"setAccess \"bob\" \"10.0.0.2\" \"1\"",
                                                  "disconnect \"carol\" \"10.0.0.3\""}));

  // The server's next status change: carol is gone, bob has the new rights.
  setConnections({connection("alice", "10.0.0.1", 65535), connection("bob", "10.0.0.2", 1)});
  dialog.refresh();
  EXPECT_EQ(dialog.listBox()->getCount(), 2);
  EXPECT_EQ(dialog.getSelected(), 1);
  EXPECT_EQ(dialog.listBox()->getSelected(), 1);
  EXPECT_STREQ(dialog.userLabel()->getText(), "User: bob");
  EXPECT_STREQ(dialog.accessLabel()->getText(), "Access: View only");

  // All gone: nothing selected, nothing to disconnect.
  setConnections({});
  dialog.refresh();
  EXPECT_EQ(dialog.getSelected(), -1);
  EXPECT_STREQ(dialog.userLabel()->getText(), "User: ");
  EXPECT_FALSE(dialog.disconnectButton()->isEnabled());
  requests(); // the refreshes' own
  click(dialog, dialog.disconnectButton());
  EXPECT_EQ(requests(), std::vector<std::string>{}) << "nothing to disconnect";
}

TEST_F(ServerDialogsTest, ConnectToViewerSendsTheTypedAddressOnOkAndReturnOnly) {
  StatusDialogCallback callback(dpy, nullptr);
  requests();
  // The status window that opens the dialog.
  wvw::WCanvas statusContent;
  TXWParent statusWindow(dpy, &statusContent);
  serverconfig::ViewerConnector connector(dpy, &statusWindow, &callback);
  connector.openAddClientDialog();
  serverconfig::AddNewClientDialog& dialog = *connector.dialog();
  ASSERT_TRUE(pumpUntil([&] { return dialog.getImage() != nullptr; }));
  click(dialog, dialog.addressField());
  run({"xdotool", "type", "--delay", "5", "viewer.example:5500"});
  run({"xdotool", "key", "Return"});
  ASSERT_TRUE(pumpUntil([&] { return !dialog.isMapped(); }));
  EXPECT_TRUE(dialog.getResult());
  EXPECT_EQ(requests(), std::vector<std::string>{"connect \"viewer.example:5500\""});

  connector.openAddClientDialog();
  ASSERT_TRUE(pumpUntil([&] { return dialog.getImage() != nullptr; }));
  click(dialog, dialog.cancelButton());
  ASSERT_TRUE(pumpUntil([&] { return !dialog.isMapped(); }));
  EXPECT_FALSE(dialog.getResult());
  EXPECT_EQ(requests(), std::vector<std::string>{}) << "Cancel sends nothing";

  connector.openAddClientDialog();
  ASSERT_TRUE(pumpUntil([&] { return dialog.getImage() != nullptr; }));
  click(dialog, dialog.addressField());
  run({"xdotool", "key", "End", "BackSpace", "BackSpace", "BackSpace", "BackSpace", "BackSpace"});
  run({"xdotool", "type", "--delay", "5", ":5901"});
  screenshot(dialog, "connect_to_viewer_xzav");
  click(dialog, dialog.okButton());
  ASSERT_TRUE(pumpUntil([&] { return !dialog.isMapped(); }));
  EXPECT_TRUE(dialog.getResult());
  EXPECT_EQ(requests(), std::vector<std::string>{"connect \"viewer.example:5901\""});
  EXPECT_EQ(connector.messageBox(), nullptr) << "the server accepted";
}
