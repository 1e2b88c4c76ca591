// gtest comes first: the status window's header brings in Xlib, whose macros
// (None, Bool) would break gtest's own headers.
#include <gtest/gtest.h>

#include "serverconfig/StatusIcon.h"

#include "plat/Exception.h"

#include "CaptureLogger.h"
#include "PrivateMounts.h"
#include "ThrownMessage.h"
#include "TrayHost.h"
#include "XvfbServer.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <poll.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

// After gtest, whose names the X11 macros would clash with.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using serverconfig::StatusIcon;
using testing_support::ScopedCapture;
using testing_support::thrownMessage;
using testing_support::XvfbServer;

// The status window's side, recorded.
struct RecordingWindow : StatusIcon::Window {
  std::vector<std::string> calls;
  serverconfig::StatusDialog::IconCallback* icon = nullptr;
  int fallbacks = 0;
  bool failDisconnect = false;
  void setIconCallback(serverconfig::StatusDialog::IconCallback* i) override {
    icon = i;
    if (!i)
      fallbacks++;
    calls.push_back(i ? "tray" : "fallback");
  }
  void setTrayIconEmbedded(bool e) override { calls.push_back(e ? "embedded" : "not embedded"); }
  void iconify() override { calls.push_back("iconify"); }
  void showStatus() override { calls.push_back("show"); }
  void hideStatus() override { calls.push_back("hide"); }
  void showFileTransfer() override { calls.push_back("file transfer"); }
  void openAddClientDialog() override { calls.push_back("connect"); }
  void disconnectAll() override {
    calls.push_back("disconnect");
    if (failDisconnect)
      throw plat::Exception("disconnecting failed");
  }
  void setGuestLogin() override { calls.push_back("guest login"); }
  void showChat() override { calls.push_back("chat"); }
  void showOptions() override { calls.push_back("options"); }
  int count(const std::string& call) const {
    int n = 0;
    for (const std::string& c : calls)
      n += c == call;
    return n;
  }
};

class StatusIconTest : public ::testing::Test {
protected:
  void SetUp() override {
    // The child must open the display it is given, not $DISPLAY.
    setenv("DISPLAY", ":9999", 1);
  }
  void startTray() { tray.reset(new testing_support::TrayHost(xvfb.display())); }

  // Handles the child's messages until the condition holds or the time is up.
  bool pumpUntil(StatusIcon& icon, const std::function<bool()>& done, int ms = 15000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                      end - std::chrono::steady_clock::now())
                      .count();
      if (left <= 0)
        return false;
      pollfd p{icon.getFd(), POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) > 0)
        icon.handleRequest();
    }
    return true;
  }

  // Pixels of the screen near the given colour.
  int countColour(unsigned long rgb) {
    Display* d = XOpenDisplay(xvfb.display().c_str());
    Window root = DefaultRootWindow(d);
    XWindowAttributes a;
    XGetWindowAttributes(d, root, &a);
    XImage* image = XGetImage(d, root, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    int n = 0;
    for (int y = 0; y < a.height; y++)
      for (int x = 0; x < a.width; x++) {
        unsigned long p = XGetPixel(image, x, y);
        auto near = [](unsigned long a, unsigned long b) {
          return (a > b ? a - b : b - a) <= 0x10;
        };
        n += near((p >> 16) & 0xff, (rgb >> 16) & 0xff) &&
             near((p >> 8) & 0xff, (rgb >> 8) & 0xff) && near(p & 0xff, rgb & 0xff);
      }
    XDestroyImage(image);
    XCloseDisplay(d);
    return n;
  }

  XvfbServer xvfb{"800x600x24"};
  std::unique_ptr<testing_support::TrayHost> tray;
  RecordingWindow window;
};

TEST_F(StatusIconTest, EmbedsInTheTrayAndFollowsTheIconState) {
  startTray();
  StatusIcon icon(window, xvfb.display().c_str());
  ASSERT_TRUE(pumpUntil(icon, [&] { return window.count("embedded") == 1; }));
  EXPECT_EQ(window.icon, &icon);
  EXPECT_EQ(window.calls, (std::vector<std::string>{"tray", "embedded"}));

  // State 7 shows the error picture: the logo's frames in red.
  const unsigned long errorRed = 0xbe1414;
  EXPECT_EQ(countColour(errorRed), 0);
  icon.setIcon(7);
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  // The tray scales the picture down: the frames' pixels are fewer.
  while (countColour(errorRed) < 15 && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_GE(countColour(errorRed), 15);

  // Closing the window with an embedded icon hides it.
  icon.checkVisibility();
  ASSERT_TRUE(pumpUntil(icon, [&] { return window.count("hide") == 1; }));

  // State 4 hides the icon: it is no longer embedded and visible.
  icon.setIcon(4);
  ASSERT_TRUE(pumpUntil(icon, [&] { return window.count("not embedded") == 1; }));
  icon.checkVisibility();
  ASSERT_TRUE(pumpUntil(icon, [&] { return window.count("iconify") == 1; }));
}

TEST_F(StatusIconTest, GuestLoginToggleSendsOneMessageAndNoEcho) {
  startTray();
  StatusIcon icon(window, xvfb.display().c_str());
  ASSERT_TRUE(pumpUntil(icon, [&] { return window.count("embedded") == 1; }));
  icon.enableGuestLogin(true);
  // The icon's window in the tray: a right click pops the menu up; the
  // items are Status..., Connect, Disconnect, Guest Login, Chat...,
  // File Transfer... (the separator is skipped by the keys).
  std::string win = tray->iconWindow();
  ASSERT_FALSE(win.empty());
  ASSERT_TRUE(tray->chooseMenuItem(win, 4));
  ASSERT_TRUE(pumpUntil(icon, [&] { return window.count("guest login") == 1; }));
  // The status window's refresh ticks the item: no second toggle comes back.
  icon.tickGuestLogin(true);
  pumpUntil(
      icon, [] { return false; }, 700);
  EXPECT_EQ(window.count("guest login"), 1);

  // "Status..." is the first item.
  ASSERT_TRUE(tray->chooseMenuItem(win, 1));
  ASSERT_TRUE(pumpUntil(icon, [&] { return window.count("show") == 1; }));
}

TEST_F(StatusIconTest, WithoutATrayNothingEmbedsAndClosingIconifies) {
  StatusIcon icon(window, xvfb.display().c_str());
  EXPECT_FALSE(pumpUntil(
      icon, [&] { return !window.calls.empty(); }, 1500));
  icon.checkVisibility();
  ASSERT_TRUE(pumpUntil(icon, [&] { return window.count("iconify") == 1; }));
  EXPECT_EQ(window.icon, nullptr);
}

TEST_F(StatusIconTest, ChildKeepsOnlyItsPipes) {
  int file = open("/dev/zero", O_RDONLY); // inherited by fork, not close-on-exec
  ASSERT_GE(file, 0);
  startTray();
  StatusIcon icon(window, xvfb.display().c_str());
  ASSERT_TRUE(pumpUntil(icon, [&] { return window.count("embedded") == 1; }));
  std::string link = "/proc/" + std::to_string(icon.childPid()) + "/fd/" + std::to_string(file);
  char target[256] = {};
  ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
  EXPECT_TRUE(n < 0 || std::string(target, n) != "/dev/zero") << target;
  close(file);
}

TEST_F(StatusIconTest, UnopenableDisplayIsReportedAndTheChildExitsZero) {
  StatusIcon icon(window, ":9998");
  std::string message = thrownMessage([&] {
    pumpUntil(
        icon, [] { return false; }, 10000);
  });
  EXPECT_EQ(message, "Unable to open display \":9998\"");
  EXPECT_EQ(window.calls, (std::vector<std::string>{"fallback", "not embedded"}));
  int status = icon.childStatus();
  if (status == -1)
    waitpid(icon.childPid(), &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(StatusIconTest, GtkMissingIsReportedAndTheChildExitsZero) {
  if (!testing_support::privateMountsUnsupported().empty())
    GTEST_SKIP() << testing_support::privateMountsUnsupported();
  // GTK vanishes for this test process and its child: the library file is
  // covered by an empty one in a private mount namespace.
  ASSERT_EQ(unshare(CLONE_NEWNS), 0);
  ASSERT_EQ(mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
  // Where the loader finds the library (this process never loads it).
  std::string path;
  FILE* f = popen("ldconfig -p | sed -n 's/.*libgtk-x11-2.0.so.0 (.*=> //p' | head -1", "r");
  char line[512] = {};
  if (f && fgets(line, sizeof line, f))
    path = line;
  if (f)
    pclose(f);
  while (!path.empty() && path.back() == '\n')
    path.pop_back();
  ASSERT_FALSE(path.empty());
  ASSERT_EQ(mount("/dev/null", path.c_str(), nullptr, MS_BIND, nullptr), 0) << path;
  // The tests after this one find GTK again.
  struct Uncover {
    std::string path;
    ~Uncover() { umount2(path.c_str(), MNT_DETACH); }
  } uncover{path};

  StatusIcon icon(window, xvfb.display().c_str());
  std::string message = thrownMessage([&] {
    pumpUntil(
        icon, [] { return false; }, 10000);
  });
  EXPECT_EQ(message, "failed to load gtk_init_check");
  EXPECT_EQ(window.calls, (std::vector<std::string>{"fallback", "not embedded"}));
  int status = icon.childStatus();
  if (status == -1)
    waitpid(icon.childPid(), &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(StatusIconTest, TwoMessagesInOneReadAndTextsCutTo255) {
  StatusIcon icon(window, xvfb.display().c_str());
  // The test takes the child's place on both pipes.
  int toParent[2], fromParent[2];
  ASSERT_EQ(pipe(toParent), 0);
  ASSERT_EQ(pipe(fromParent), 0);
  ASSERT_GE(dup2(toParent[0], icon.getFd()), 0);
  fcntl(icon.getFd(), F_SETFL, O_NONBLOCK);
  ASSERT_GE(dup2(fromParent[1], icon.getOutStream()->getFd()), 0);
  kill(icon.childPid(), SIGKILL);
  waitpid(icon.childPid(), nullptr, 0);

  const unsigned char two[] = {0, 0, 0, 14, 0, 0, 0, 10};
  ASSERT_EQ(write(toParent[1], two, sizeof two), static_cast<ssize_t>(sizeof two));
  icon.handleRequest();
  EXPECT_EQ(window.calls, (std::vector<std::string>{"chat", "connect"}));

  icon.setTooltip(std::string(300, 't').c_str());
  unsigned char wire[400];
  ssize_t n = read(fromParent[0], wire, sizeof wire);
  ASSERT_EQ(n, 4 + 1 + 255);
  EXPECT_EQ(wire[3], 6);
  EXPECT_EQ(wire[4], 255);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(wire) + 5, 255), std::string(255, 't'));
  for (int fd : {toParent[0], toParent[1], fromParent[0], fromParent[1]})
    close(fd);
}

TEST_F(StatusIconTest, BrokenPipeFallsBackOnceAndTheReaderReportsTheEnd) {
  ScopedCapture log("StatusIcon", 100);
  StatusIcon icon(window, ":9997");
  kill(icon.childPid(), SIGKILL);
  waitpid(icon.childPid(), nullptr, 0);
  // The child's end is gone: writing fails, the window falls back once, and
  // the writes log nothing (the main loop logs the reader's failure once).
  for (int i = 0; i < 3; i++) {
    icon.setTooltip("status");
    icon.enableChat(true);
  }
  EXPECT_EQ(window.fallbacks, 1);
  EXPECT_TRUE(log.logger.lines.empty());
  // The reader reports the end, and its caller stops watching.
  EXPECT_EQ(thrownMessage([&] { icon.handleRequest(); }), "End of stream");
  EXPECT_EQ(window.fallbacks, 2);
}

// An action of the status window that fails ends the icon as the failure
// is thrown, before its caller sees it: the child is ended and collected,
// its icon leaves the tray, and the window takes over with its own menu.
TEST_F(StatusIconTest, AFailedActionEndsTheChildAndItsTrayIcon) {
  startTray();
  window.failDisconnect = true;
  StatusIcon icon(window, xvfb.display().c_str());
  ASSERT_TRUE(pumpUntil(icon, [&] { return window.count("embedded") == 1; }));
  std::string win = tray->iconWindow();
  ASSERT_FALSE(win.empty());
  ASSERT_TRUE(tray->chooseMenuItem(win, 3));
  EXPECT_EQ(thrownMessage([&] { pumpUntil(icon, [] { return false; }); }), "disconnecting failed");
  EXPECT_NE(icon.childStatus(), -1) << "collected";
  EXPECT_EQ(access(("/proc/" + std::to_string(icon.childPid())).c_str(), F_OK), -1);
  EXPECT_EQ(window.fallbacks, 1);
  EXPECT_EQ(window.calls.back(), "not embedded");
  EXPECT_TRUE(tray->iconWindow(2).empty()) << "the icon left the tray";
  // The window's later reports reach nobody and fail nothing.
  icon.setTooltip("status");
  icon.enableChat(true);
  EXPECT_EQ(window.fallbacks, 1);
}

} // namespace
