// gtest comes first: the status window's header brings in Xlib, whose macros
// (None, Bool) would break gtest's own headers.
#include <gtest/gtest.h>

#include "serverconfig/DummyStatusIcon.h"

#include "wvw/WCanvas.h"


#include <string>
#include <vector>

namespace {

struct RecordingWindow : serverconfig::StatusIcon::Window {
  std::vector<std::string> calls;
  void setIconCallback(serverconfig::StatusDialog::IconCallback*) override {
    calls.push_back("icon");
  }
  void setTrayIconEmbedded(bool) override { calls.push_back("embedded"); }
  void iconify() override { calls.push_back("iconify"); }
  void showStatus() override { calls.push_back("show"); }
  void hideStatus() override { calls.push_back("hide"); }
  void showFileTransfer() override { calls.push_back("file transfer"); }
  void openAddClientDialog() override { calls.push_back("connect"); }
  void disconnectAll() override { calls.push_back("disconnect"); }
  void setGuestLogin() override { calls.push_back("guest login"); }
  void showChat() override { calls.push_back("chat"); }
  void showOptions() override { calls.push_back("options"); }
};

TEST(DummyStatusIcon, ItemsRunTheirCommands) {
  RecordingWindow window;
  wvw::WCanvas root;
  serverconfig::DummyStatusIcon icon(window, &root);
  const char* expected[] = {"options",     "connect", "disconnect",
                            "guest login", "chat",    "file transfer"};
  const char* labels[] = {"Options...",
                          "Connect to Listening Zav Viewer",
                          "Disconnect Zav Viewers",
                          "Guest Login",
                          "Chat...",
                          "File Transfer..."};
  for (int i = 0; i < 6; i++) {
    window.calls.clear();
    EXPECT_TRUE(icon.onClick(icon.getItem(i)));
    EXPECT_EQ(window.calls, std::vector<std::string>{expected[i]});
    EXPECT_EQ(icon.getItem(i)->getLabel()->getText(), std::string(labels[i]));
  }
  window.calls.clear();
  EXPECT_FALSE(icon.onClick(&root));
  EXPECT_TRUE(window.calls.empty());
  EXPECT_TRUE(icon.getItem(3)->isCheckable());
  // Clicking "Guest Login" does not tick it: the window's refresh does.
  EXPECT_FALSE(icon.getItem(3)->getTick()->isChecked());
}

TEST(DummyStatusIcon, StatusWindowCallsSetItemStates) {
  RecordingWindow window;
  wvw::WCanvas root;
  serverconfig::DummyStatusIcon icon(window, &root);
  icon.enableGuestLogin(false);
  icon.enableChat(false);
  icon.enableFileTransfer(false);
  EXPECT_FALSE(icon.getItem(3)->isEnabled());
  EXPECT_FALSE(icon.getItem(4)->isEnabled());
  EXPECT_FALSE(icon.getItem(5)->isEnabled());
  EXPECT_TRUE(icon.getItem(0)->isEnabled());
  icon.tickGuestLogin(true);
  EXPECT_TRUE(icon.getItem(3)->getTick()->isChecked());
  icon.setTooltip("x");
  icon.setIcon(3);
  EXPECT_TRUE(window.calls.empty());
  // Closing the window with the fallback icon iconifies it at once.
  icon.checkVisibility();
  EXPECT_EQ(window.calls, std::vector<std::string>{"iconify"});
  EXPECT_EQ(icon.getButton()->getLabel()->getText(), std::string("Commands"));
}

} // namespace
