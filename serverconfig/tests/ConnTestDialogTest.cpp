// gtest comes first: the status window's header brings in Xlib, whose macros
// (None, Bool) would break gtest's own headers.
#include <gtest/gtest.h>

#include "serverconfig/ConnTestDialog.h"

#include "LoopbackTestService.h"
#include "ManualClock.h"
#include "WidgetTestHost.h"
#include "net/SelectSocketManager.h"
#include "net/io/FdSelectManager.h"
#include "plat/TimerManager.h"


#include <functional>
#include <map>
#include <string>

using testing_support::LoopbackTestService;

namespace {

struct FakeStatus : serverconfig::StatusDialog::Callback {
  std::map<std::string, std::string> params{{"rfbPort", "5901"}};
  std::map<std::string, std::string> status{{"total_connections", "0"}, {"ip_addrs", "10.0.0.2"}};
  const char* find(const std::map<std::string, std::string>& m, const char* name) {
    auto i = m.find(name);
    return i == m.end() ? nullptr : i->second.c_str();
  }
  void setParam(const char*, const char*) override {}
  const char* getParam(const char* name) override { return find(params, name); }
  const char* getStatusParam(const char* name) override { return find(status, name); }
  void connectToViewer(const char*) override {}
  bool disconnectAll() override { return true; }
  void iconify() override {}
  void openChat() override {}
  ft::Extension* getFtExtension() override { return nullptr; }
  ft::UploadManager* getUploadManager() override { return nullptr; }
};

struct Fixture {
  testing_support::ManualClock clock;
  plat::TimerManager timers;
  net::SelectSocketManager mgr;
  LoopbackTestService service;
  FakeStatus status;
  serverconfig::ConnTestDialog dialog{&status, &mgr, "127.0.0.1", service.port()};
  testing_support::WidgetTestHost host;
  int closed = 0;
  Fixture() {
    dialog.onClose = [this] { closed++; };
    host.attach(dialog.content());
  }
  void tick(int ms) {
    clock.advanceMs(ms);
    timers.processTimers();
  }
  bool runUntil(const std::function<bool()>& pred) {
    for (int i = 0; i < 300 && !pred(); i++)
      mgr.getSelectManager()->doSelect(0, nullptr, nullptr, nullptr, 10);
    return pred();
  }
  void click(wvw::Widget* w) {
    rfb::Point p = dialog.content()->getChildPosition(w);
    host.pointer(p.x + 5, p.y + 5, 1);
    host.pointer(p.x + 5, p.y + 5, 0);
  }
  std::string closeText() { return dialog.closeButton()->getLabel()->getText(); }
};

TEST(ConnTestDialog, RunsAndAnimatesUntilTheResult) {
  Fixture f;
  EXPECT_FALSE(f.dialog.progressBar()->isVisible());
  EXPECT_EQ(f.closeText(), "Close");
  f.click(f.dialog.startButton());
  ASSERT_TRUE(f.dialog.session().isRunning());
  EXPECT_STREQ(f.dialog.header()->getText(), "\n\nTest in progress. Please wait...");
  EXPECT_FALSE(f.dialog.startButton()->isVisible());
  EXPECT_TRUE(f.dialog.progressBar()->isVisible());
  EXPECT_EQ(f.closeText(), "Stop");
  EXPECT_STREQ(f.dialog.details()->getText(), "Connecting to halbrin.example. Please wait.");
  for (int i = 0; i < 3; i++)
    f.tick(100);
  EXPECT_EQ(f.dialog.progressBar()->getBar()->getValue(), 3u);
  for (int i = 0; i < 17; i++)
    f.tick(100);
  EXPECT_EQ(f.dialog.progressBar()->getBar()->getValue(), 0u) << "from 20 back to 0";

  ASSERT_TRUE(f.service.accept());
  f.service.readRequest();
  f.status.status["total_connections"] = "1";
  f.service.send("10.0.0.2\r\n1\r\n");
  ASSERT_TRUE(f.runUntil([&] { return !f.dialog.session().isRunning(); }));
  EXPECT_STREQ(f.dialog.details()->getText(),
               "Connecting to halbrin.example. Please wait.\n\nZav Server and your network are "
               "correctly configured to accept connections over the Internet.");
  EXPECT_TRUE(f.dialog.startButton()->isVisible());
  EXPECT_FALSE(f.dialog.progressBar()->isVisible());
  EXPECT_EQ(f.closeText(), "Close");
  f.tick(300);
  EXPECT_EQ(f.dialog.progressBar()->getBar()->getValue(), 0u) << "the animation stopped";

  f.dialog.onCopy(f.dialog.details());
  EXPECT_EQ(f.host.clipboard, f.dialog.details()->getText()) << "the copied text is served";

  f.click(f.dialog.closeButton());
  EXPECT_EQ(f.closed, 1);
}

TEST(ConnTestDialog, StopCancelsTheTest) {
  Fixture f;
  f.dialog.startTest();
  ASSERT_TRUE(f.service.accept());
  f.click(f.dialog.closeButton());
  EXPECT_FALSE(f.dialog.session().isRunning());
  EXPECT_STREQ(f.dialog.details()->getText(), "Connection test cancelled.");
  EXPECT_EQ(f.closeText(), "Close");
  EXPECT_EQ(f.closed, 0);
}

// A test that could not start is shown as failed, not as running.
TEST(ConnTestDialog, FailedStartShowsTheFailure) {
  testing_support::ManualClock clock;
  plat::TimerManager timers;
  net::SelectSocketManager mgr;
  int port;
  {
    LoopbackTestService gone;
    port = gone.port();
  }
  FakeStatus status;
  serverconfig::ConnTestDialog dialog(&status, &mgr, "127.0.0.1", port);
  dialog.startTest();
  EXPECT_FALSE(dialog.session().isRunning());
  EXPECT_FALSE(dialog.progressBar()->isVisible());
  EXPECT_STREQ(dialog.closeButton()->getLabel()->getText(), "Close");
  EXPECT_EQ(
      std::string(dialog.details()->getText()).rfind("Could not connect to halbrin.example", 0),
      0u);
}

TEST(ConnTestDialog, LayoutFollowsTheWindowSize) {
  Fixture f;
  f.dialog.content()->setSize(500, 300);
  wvw::WCanvas* c = f.dialog.content();
  rfb::Point close = c->getChildPosition(f.dialog.closeButton());
  rfb::Point start = c->getChildPosition(f.dialog.startButton());
  EXPECT_EQ(close.x, 500 - 3 - 76);
  EXPECT_EQ(start.x, 500 - 6 - 152);
  int headerHeight = f.dialog.header()->height();
  EXPECT_EQ(close.y, 3 * 3 + (300 - headerHeight - 26 - 18) + 6 + headerHeight);
  EXPECT_EQ(f.dialog.details()->width(), 500 - 6);
}

} // namespace
