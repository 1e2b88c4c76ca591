// gtest comes first: the status window's header brings in Xlib, whose macros
// (None, Bool) would break gtest's own headers.
#include <gtest/gtest.h>

#include "serverconfig/ServerStatusHLCallback.h"

#include "net/SelectSocketManager.h"
#include "plat/TimerManager.h"


#include <string>
#include <vector>

namespace {

struct RecordingWindow : serverconfig::ServerStatusHLCallback::Window {
  void showExplanation(const char* title, const char*) override {
    calls.push_back(std::string("explain ") + title);
  }
  void hideExplanation() override { calls.push_back("hide"); }
  void showOptions() override { calls.push_back("options"); }
  void showConnections() override { calls.push_back("connections"); }
  void showConnTest(serverconfig::ConnTestDialog* d) override {
    calls.push_back("test");
    shownTest = d;
  }
  std::vector<std::string> calls;
  serverconfig::ConnTestDialog* shownTest = nullptr;
};

struct NoStatus : serverconfig::StatusDialog::Callback {
  void setParam(const char*, const char*) override {}
  const char* getParam(const char*) override { return nullptr; }
  const char* getStatusParam(const char*) override { return nullptr; }
  void connectToViewer(const char*) override {}
  bool disconnectAll() override { return true; }
  void iconify() override {}
  void openChat() override {}
  ft::Extension* getFtExtension() override { return nullptr; }
  ft::UploadManager* getUploadManager() override { return nullptr; }
};

struct Fixture {
  plat::TimerManager timers;
  net::SelectSocketManager mgr;
  NoStatus status;
  RecordingWindow window;
  serverconfig::ServerStatusHLCallback callback{&window, &status, &mgr};
  zav::ServerStatus model{&callback};
  Fixture() {
    model.setRfbPort(5900);
    model.setAddresses({plat::String("10.0.0.2")});
    model.setUserCount(2);
  }
};

TEST(ServerStatusHLCallback, TextsOfferItsLinksButNoCopy) {
  Fixture f;
  EXPECT_EQ(f.callback.getCapabilities(), 113u);
  f.model.setRfbListenerError(98);
  std::string problem(f.model.listenerProblemText("Zav Viewer", 98, 5900).c_str());
  EXPECT_NE(problem.find("in use by another program"), std::string::npos) << problem;
  EXPECT_NE(problem.find("Options..."), std::string::npos);
  f.model.setRfbListenerError(0);
  std::string all = std::string(f.model.summaryMarkup().c_str()) + f.model.detailsMarkup().c_str();
  EXPECT_EQ(all.find(">copy<"), std::string::npos) << all;
  EXPECT_EQ(all.find("copy"), std::string::npos) << all;
}

TEST(ServerStatusHLCallback, LinksReachTheWindowAndItsDialogs) {
  Fixture f;
  f.callback.showPopup("What is this?", "text");
  f.model.linkClicked(12); // "Options..." inside an explanation
  f.model.linkClicked(13); // the connected users
  f.model.linkClicked(7);  // "test"
  EXPECT_EQ(f.window.calls, (std::vector<std::string>{"explain What is this?", "hide", "options",
                                                      "connections", "test"}));
  EXPECT_EQ(f.window.shownTest, &f.callback.connTestDialog());
  f.callback.copyText("10.0.0.2");
  f.callback.openUrl("http://10.0.0.2:5800");
  EXPECT_TRUE(f.callback.portOwner(5900).isNull());
  EXPECT_EQ(f.window.calls.size(), 5u);
}

} // namespace
