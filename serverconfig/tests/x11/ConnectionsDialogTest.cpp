// The active connections dialog on a private Xvfb over a stand-in of the
// server's connection list: the rows and the selected record's details,
// Disconnect, the selection kept within the list when connections go, and
// the layout as the window is opened and resized.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "serverconfig/ConnectionsDialog.h"

#include "DialogDriver.h"
#include "TxTestDisplay.h"

#include <algorithm>
#include <string>
#include <vector>

using Entry = serverconfig::ConnectionsList::Entry;
using testing_support::DialogDriver;
using testing_support::TxTestDisplay;

namespace {

struct FakeServer : serverconfig::ConnectionsList::Callback {
  std::vector<Entry> entries;
  std::vector<std::string> disconnected;
  bool disconnect(const Entry& e) override {
    disconnected.push_back(e.address.c_str());
    return true;
  }
  bool setAccess(const Entry&, std::uint16_t) override { return true; }
  void list(std::vector<Entry>& out) override { out = entries; }
  void notify(const std::vector<Entry>&, const std::vector<Entry>&) override {}
};

class ConnectionsDialogTest : public ::testing::Test {
protected:
  ConnectionsDialogTest() {
    server.entries = {Entry("alice", "10.0.0.1", nullptr, 0xFFFF),
                      Entry("bob", "10.0.0.2", nullptr, 0x03FF),
                      Entry("carol", "10.0.0.3", nullptr, 0x1234)};
  }
  std::string user() { return dialog.userLabel()->getText(); }
  std::string access() { return dialog.accessLabel()->getText(); }
  rfb::Rect rectOf(wvw::Widget* w) { return dialog.content()->getChildRect(w); }
  // The layout follows a size change 10 ms later.
  void settle() { x.pumpFor(40); }
  void clickRow(int row) { drive.click(dialog.listBox()->getRow(row)); }

  TxTestDisplay x{"1280x1024x24"};
  FakeServer server;
  serverconfig::ConnectionsDialog dialog{x.dpy, &server};
  DialogDriver drive{x, dialog};
};

} // namespace

TEST_F(ConnectionsDialogTest, ListsConnectionsAndDisconnectsTheSelectedOne) {
  EXPECT_EQ(x.title(dialog.win()), "Active connections");
  EXPECT_FALSE(dialog.isModal());

  dialog.show();
  ASSERT_TRUE(drive.waitShown());
  EXPECT_EQ(dialog.listBox()->getCount(), 3);
  EXPECT_EQ(dialog.getSelected(), 0);
  EXPECT_EQ(user(), "User: alice");
  EXPECT_EQ(access(), "Access: Full");
  EXPECT_TRUE(dialog.disconnectButton()->isEnabled());
  EXPECT_STREQ(dialog.getItemText(dialog.listBox(), 1), "10.0.0.2");
  settle();

  clickRow(2);
  EXPECT_EQ(dialog.getSelected(), 2);
  EXPECT_EQ(user(), "User: carol");
  EXPECT_EQ(access(), "Access: Custom");
  drive.screenshot("active_connections");
  drive.click(dialog.disconnectButton());
  EXPECT_EQ(server.disconnected, std::vector<std::string>{"10.0.0.3"});
  EXPECT_EQ(dialog.listBox()->getCount(), 3) << "the list follows the server's next change";

  testing_support::sendDeleteWindow(x.dpy, dialog.win());
  EXPECT_TRUE(x.pumpUntil([&] { return !dialog.isMapped(); }));
  EXPECT_FALSE(dialog.getResult());
}

TEST_F(ConnectionsDialogTest, SelectionClampsWhenConnectionsGo) {
  dialog.show();
  ASSERT_TRUE(drive.waitShown());
  dialog.listBox()->setSelected(2);
  server.entries.pop_back();
  dialog.refresh();
  EXPECT_EQ(dialog.getSelected(), 1);
  EXPECT_EQ(dialog.listBox()->getSelected(), 1);
  EXPECT_EQ(user(), "User: bob");
  EXPECT_EQ(access(), "Access: Default");
  server.entries.clear();
  dialog.refresh();
  EXPECT_EQ(dialog.getSelected(), -1);
  EXPECT_EQ(user(), "User: ");
  EXPECT_EQ(access(), "Access: ");
  EXPECT_FALSE(dialog.disconnectButton()->isEnabled());
  drive.click(dialog.disconnectButton());
  EXPECT_TRUE(server.disconnected.empty());

  // Each opening selects the first connection again.
  server.entries = {Entry("dave", "10.0.0.4", nullptr, 0x0101),
                    Entry("erin", "10.0.0.5", nullptr, 0xFFFF)};
  dialog.refresh();
  dialog.listBox()->setSelected(1);
  dialog.show();
  EXPECT_EQ(dialog.getSelected(), 0);
  EXPECT_EQ(user(), "User: dave");
}

TEST_F(ConnectionsDialogTest, AViewersNameStaysOnTheUserLine) {
  // The name is the viewer's own: line breaks in it would start lines that
  // read as further details.
  server.entries = {Entry("eve\nAccess: Full\r\t\x7f", "10.0.0.9", nullptr, 0x0001)};
  dialog.refresh();
  dialog.show();
  ASSERT_TRUE(drive.waitShown());
  EXPECT_EQ(user(), "User: eve?Access: Full???");
  EXPECT_EQ(access(), "Access: View only");
}

TEST_F(ConnectionsDialogTest, LayoutKeepsDetailsAtTheBottom) {
  dialog.show();
  ASSERT_TRUE(drive.waitShown());
  settle();
  int bw = dialog.disconnectButton()->width();
  // 200 x 170, wider only when the button would be cut off.
  const int opening = std::max(3 * 3 + 110 + bw, 200);
  EXPECT_EQ(dialog.width(), opening);
  EXPECT_EQ(dialog.height(), 170);
  rfb::Rect access = rectOf(dialog.accessLabel());
  rfb::Rect button = rectOf(dialog.disconnectButton());
  rfb::Rect userRect = rectOf(dialog.userLabel());
  rfb::Rect list = rectOf(dialog.listBox());
  EXPECT_EQ(access.tl.y, 170 - access.height() - 9);
  int w = std::max(3 * 3 + 110 + bw, 200);
  EXPECT_EQ(button.tl.x, w - 3 - bw);
  EXPECT_LE(button.br.x, dialog.width()) << "the button opens whole";
  EXPECT_EQ(access.br.x, w - 3) << "the access line below the button takes the whole width";
  EXPECT_EQ(button.br.y, access.tl.y - 3);
  EXPECT_EQ(userRect.tl.y, button.tl.y + std::max(0, (button.height() - userRect.height()) / 2));
  EXPECT_EQ(list.tl, rfb::Point(3, 3));
  EXPECT_LE(list.br.y, button.tl.y);

  // The window grows: the list with it, the details stay at the bottom.
  dialog.resize(400, 300);
  ASSERT_TRUE(x.pumpUntil([&] { return rectOf(dialog.listBox()).width() == 400 - 6; }));
  rfb::Rect bigList = rectOf(dialog.listBox());
  EXPECT_GT(bigList.height(), list.height());
  EXPECT_EQ(rectOf(dialog.disconnectButton()).tl.x, 400 - 3 - bw);
  EXPECT_EQ(rectOf(dialog.accessLabel()).tl.y, 300 - access.height() - 9);

  dialog.resize(50, 50);
  ASSERT_TRUE(x.pumpUntil([&] { return dialog.content()->width() == 50; }));
  settle();
  EXPECT_EQ(rectOf(dialog.disconnectButton()).tl.x, 3 * 3 + 110 + bw - 3 - bw)
      << "never narrower than the button and 110 pixels";

  // Opening again gives back the first size.
  dialog.show();
  EXPECT_EQ(dialog.width(), opening);
  EXPECT_EQ(dialog.height(), 170);
}
