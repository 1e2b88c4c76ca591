// The connections dialog and the connect-to-viewer dialog over the callback
// that reaches the stand-in server in front of a real Xvfb: what the user
// does in them ends up as the extension requests in the stand-in's log.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "zavconfig/StatusDialogCallback.h"

#include "plat/TimerManager.h"
#include "serverconfig/AddNewClientDialog.h"
#include "serverconfig/ConnectionsDialog.h"
#include "zav/Access.h"
#include "zavconfig/zavext.h"

#include "WidgetTestHost.h"
#include "XzavSharedDisplay.h"

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

class ServerDialogsTest : public ::testing::Test {
protected:
  void SetUp() override {
    testing_support::XzavSharedDisplay& shared = testing_support::XzavSharedDisplay::get();
    server = shared.server.get();
    dpy = shared.dpy;
    server->reset();
    int eventBase, errorBase;
    ASSERT_TRUE(zavext::queryExtension(dpy, &eventBase, &errorBase));
    requests();
  }
  std::vector<std::string> requests() {
    XSync(dpy, False);
    std::vector<std::string> log = server->log();
    std::vector<std::string> fresh(log.begin() + std::min(seen, log.size()), log.end());
    seen = log.size();
    return fresh;
  }
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

  XzavDouble* server = nullptr;
  Display* dpy = nullptr;
  size_t seen = 0;
};

TEST_F(ServerDialogsTest, ConnectionsDialogListsDisconnectsAndChangesAccess) {
  setConnections({connection("alice", "10.0.0.1", 65535), connection("bob", "10.0.0.2", 1023),
                  connection("carol", "10.0.0.3", 1)});
  StatusDialogCallback callback(dpy, nullptr);
  Windows windows;
  callback.setWindows(&windows);
  plat::TimerManager timers; // the layout waits on a timer
  serverconfig::ConnectionsDialog dialog(&callback);
  testing_support::WidgetTestHost host;
  host.attach(dialog.content());
  dialog.initDialog();
  requests();
  ASSERT_EQ(dialog.listBox()->getCount(), 3);
  EXPECT_STREQ(dialog.getItemText(dialog.listBox(), 2), "10.0.0.3");
  EXPECT_STREQ(dialog.userLabel()->getText(), "User: alice");
  EXPECT_STREQ(dialog.accessLabel()->getText(), "Access: Full");

  dialog.listBox()->setSelected(2);
  EXPECT_STREQ(dialog.accessLabel()->getText(), "Access: View only");
  EXPECT_TRUE(dialog.connections().setAccess(1, zav::Access::View));
  dialog.onClick(dialog.disconnectButton());
  EXPECT_EQ(requests(), (std::vector<std::string>{"setAccess \"bob\" \"10.0.0.2\" \"1\"",
                                                  "disconnect \"carol\" \"10.0.0.3\""}));

  // The server's next status change: carol is gone, bob has the new rights.
  dialog.refresh();
  EXPECT_EQ(dialog.listBox()->getCount(), 2);
  EXPECT_EQ(dialog.getSelected(), 1);
  EXPECT_STREQ(dialog.userLabel()->getText(), "User: bob");
  EXPECT_STREQ(dialog.accessLabel()->getText(), "Access: View only");
}

TEST_F(ServerDialogsTest, ConnectToViewerSendsTheTypedAddress) {
  StatusDialogCallback callback(dpy, nullptr);
  requests();
  serverconfig::AddNewClientDialog dialog;
  // What the status window does with the result.
  dialog.onFinished = [&](bool ok) {
    if (ok)
      callback.connectToViewer(dialog.addressField()->getText());
  };
  testing_support::WidgetTestHost host;
  host.attach(dialog.content());
  host.focusIn();
  for (char c : std::string("viewer.example:5500"))
    host.type(static_cast<unsigned char>(c));
  host.type(0xFF0D);
  EXPECT_TRUE(dialog.getResult());

  dialog.reopen();
  dialog.onClick(dialog.cancelButton());
  EXPECT_FALSE(dialog.getResult());

  dialog.reopen();
  dialog.onClick(dialog.okButton());
  EXPECT_EQ(requests(), (std::vector<std::string>{"connect \"viewer.example:5500\"",
                                                  "connect \"viewer.example:5500\""}));
}

} // namespace
