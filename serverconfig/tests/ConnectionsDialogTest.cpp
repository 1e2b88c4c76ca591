#include "serverconfig/ConnectionsDialog.h"

#include "ManualClock.h"
#include "WidgetTestHost.h"
#include "plat/TimerManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using Entry = serverconfig::ConnectionsList::Entry;

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

struct Fixture {
  testing_support::ManualClock clock;
  plat::TimerManager timers;
  FakeServer server;
  serverconfig::ConnectionsDialog dialog{&server};
  testing_support::WidgetTestHost host;
  Fixture() {
    server.entries = {Entry("alice", "10.0.0.1", nullptr, 0xFFFF),
                      Entry("bob", "10.0.0.2", nullptr, 0x0101),
                      Entry("carol", "10.0.0.3", nullptr, 0x1234)};
    host.attach(dialog.content());
  }
  std::string user() { return dialog.userLabel()->getText(); }
  std::string access() { return dialog.accessLabel()->getText(); }
  // The layout waits 10 ms after a size change.
  void settle() {
    clock.advanceMs(10);
    timers.processTimers();
  }
};

TEST(ConnectionsDialog, ListsConnectionsAndShowsTheSelectedOne) {
  Fixture f;
  f.dialog.initDialog();
  EXPECT_EQ(f.dialog.listBox()->getCount(), 3);
  EXPECT_EQ(f.dialog.getSelected(), 0);
  EXPECT_EQ(f.user(), "User: alice");
  EXPECT_EQ(f.access(), "Access: Full");
  EXPECT_TRUE(f.dialog.disconnectButton()->isEnabled());
  EXPECT_STREQ(f.dialog.getItemText(f.dialog.listBox(), 1), "10.0.0.2");

  f.dialog.listBox()->setSelected(2);
  EXPECT_EQ(f.dialog.getSelected(), 2);
  EXPECT_EQ(f.user(), "User: carol");
  EXPECT_EQ(f.access(), "Access: Custom");
  f.dialog.onClick(f.dialog.disconnectButton());
  EXPECT_EQ(f.server.disconnected, std::vector<std::string>{"10.0.0.3"});
  EXPECT_EQ(f.dialog.listBox()->getCount(), 3) << "the list follows the server's next change";
}

TEST(ConnectionsDialog, SelectionClampsWhenConnectionsGo) {
  Fixture f;
  f.dialog.initDialog();
  f.dialog.listBox()->setSelected(2);
  f.server.entries.pop_back();
  f.dialog.refresh();
  EXPECT_EQ(f.dialog.getSelected(), 1);
  EXPECT_EQ(f.user(), "User: bob");
  f.server.entries.clear();
  f.dialog.refresh();
  EXPECT_EQ(f.dialog.getSelected(), -1);
  EXPECT_EQ(f.user(), "User: ");
  EXPECT_EQ(f.access(), "Access: ");
  EXPECT_FALSE(f.dialog.disconnectButton()->isEnabled());
}

TEST(ConnectionsDialog, LayoutKeepsDetailsAtTheBottom) {
  Fixture f;
  f.dialog.initDialog();
  f.settle();
  wvw::WCanvas* c = f.dialog.content();
  int bw = f.dialog.disconnectButton()->width();
  rfb::Rect access = c->getChildRect(f.dialog.accessLabel());
  rfb::Rect button = c->getChildRect(f.dialog.disconnectButton());
  rfb::Rect list = c->getChildRect(f.dialog.listBox());
  EXPECT_EQ(access.tl.y, 170 - access.height() - 9);
  int w = std::max(3 * 3 + 110 + bw, 200);
  EXPECT_EQ(button.tl.x, w - 3 - bw);
  EXPECT_EQ(button.br.y, access.tl.y - 3);
  EXPECT_EQ(list.tl, rfb::Point(3, 3));
  EXPECT_LE(list.br.y, button.tl.y);

  c->setSize(400, 300);
  f.settle();
  rfb::Rect bigList = c->getChildRect(f.dialog.listBox());
  EXPECT_EQ(bigList.width(), 400 - 6);
  EXPECT_GT(bigList.height(), list.height());
  EXPECT_EQ(c->getChildRect(f.dialog.disconnectButton()).tl.x, 400 - 3 - bw);

  c->setSize(50, 50);
  f.settle();
  EXPECT_EQ(c->getChildRect(f.dialog.disconnectButton()).tl.x, 3 * 3 + 110 + bw - 3 - bw)
      << "never narrower than the button and 110 pixels";
}

} // namespace
