// The status window's link handler on a private Xvfb: which links the status
// texts offer, explanations in the information window next to the window's
// content, "Options..." closing the explanation, the connected users and
// the connection test dialog.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "serverconfig/ServerStatusHLCallback.h"
#include "serverconfig/tests/FakeStatusCallback.h"

#include "TxTestDisplay.h"
#include "net/SelectSocketManager.h"
#include "tx/TXWParent.h"
#include "wvw/WCanvas.h"

#include <string>
#include <vector>

using testing_support::TxTestDisplay;

namespace {

struct RecordingWindow : serverconfig::ServerStatusHLCallback::Window {
  void showOptions() override { calls.push_back("options"); }
  void showConnections() override { calls.push_back("connections"); }
  std::vector<std::string> calls;
};

using NoStatus = testing_support::FakeStatusCallback;

class ServerStatusHLCallbackTest : public ::testing::Test {
protected:
  ServerStatusHLCallbackTest() {
    model.setRfbPort(5900);
    model.setAddresses({plat::String("10.0.0.2")});
    model.setUserCount(2);
    statusWindow.setContentSize(500, 300);
    XMoveWindow(x.dpy, statusWindow.win(), 600, 400);
  }

  TxTestDisplay x{"1280x1024x24"};
  net::SelectSocketManager mgr;
  NoStatus status;
  RecordingWindow window;
  // The status window's content, next to which explanations open.
  wvw::WCanvas statusContent;
  TXWParent statusWindow{x.dpy, &statusContent};
  serverconfig::ServerStatusHLCallback callback{&window, x.dpy,   &statusContent,
                                                &model,  &status, &mgr};
  zav::ServerStatus model{&callback};
};

} // namespace

TEST_F(ServerStatusHLCallbackTest, TextsOfferItsLinksButNoCopy) {
  EXPECT_EQ(callback.getCapabilities(), 113u);
  model.setRfbListenerError(98);
  std::string problem(model.listenerProblemText("Zav Viewer", 98, 5900).c_str());
  EXPECT_NE(problem.find("in use by another program"), std::string::npos) << problem;
  EXPECT_NE(problem.find("Options..."), std::string::npos);
  model.setRfbListenerError(0);
  std::string all = std::string(model.summaryMarkup().c_str()) + model.detailsMarkup().c_str();
  EXPECT_EQ(all.find("copy"), std::string::npos) << all;
  callback.copyText("10.0.0.2");
  callback.openUrl("http://10.0.0.2:5800");
  EXPECT_TRUE(callback.portOwner(5900).isNull());
  EXPECT_TRUE(window.calls.empty());
}

TEST_F(ServerStatusHLCallbackTest, ExplanationsOpenNextToTheWindowOneAtATime) {
  statusWindow.map();
  ASSERT_TRUE(x.pumpUntil([&] { return statusWindow.getImage() != nullptr; }));
  int px = 0, py = 0;
  statusWindow.positionOnRoot(&px, &py);
  x.run({"xdotool", "mousemove", std::to_string(px + 400), std::to_string(py + 200)});
  x.pumpFor(30);

  callback.showPopup("What is this?", "Some ^bexplained^n text.");
  ui::InfoWindow& info = callback.explanation();
  ASSERT_TRUE(info.isShown());
  EXPECT_STREQ(info.title()->getText(), "What is this?");
  EXPECT_EQ(info.getText(), "Some ^bexplained^n text.");
  EXPECT_LE(info.width(), 340) << "wrapped at the explanation width";
  // To the left of and above the pointer, in screen coordinates.
  rfb::Point at = statusContent.mapPointTo(rfb::Point(0, 0), &info);
  EXPECT_EQ(at, rfb::Point(-(400 + 16 - 340), -(200 - 16)));

  callback.showPopup("Show all", "Other text.");
  EXPECT_TRUE(info.isShown());
  EXPECT_STREQ(info.title()->getText(), "Show all");
  EXPECT_EQ(info.getText(), "Other text.");

  // "Options..." inside an explanation closes it and opens the options.
  model.linkClicked(12);
  EXPECT_FALSE(info.isShown());
  EXPECT_EQ(window.calls, std::vector<std::string>{"options"});
}

TEST_F(ServerStatusHLCallbackTest, UsersAndTestLinksOpenTheirDialogs) {
  model.linkClicked(13); // the connected users
  EXPECT_EQ(window.calls, std::vector<std::string>{"connections"});
  serverconfig::ConnTestDialog& test = callback.connTestDialog();
  EXPECT_FALSE(test.isMapped());
  model.linkClicked(7); // "test"
  ASSERT_TRUE(x.pumpUntil([&] { return test.getImage() != nullptr; }));
  EXPECT_TRUE(test.isMapped());
  EXPECT_FALSE(test.session().isRunning()) << "the user starts the test";
}
