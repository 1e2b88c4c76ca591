#include "ft/ui/DesktopOpener.h"

#include "ft/ui/CommandList.h"

#include "CaptureLogger.h"
#include "OpenerStubs.h"
#include "ScopedEnv.h"
#include "TempDir.h"

#include "plat/TimerManager.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using ft::CommandList;
using ft::DesktopOpener;
using ft_test::OpenerStubs;
using testing_support::ScopedCapture;
using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace {

struct Failures : DesktopOpener::Callback {
  void openFailed(const char* path) override { paths.push_back(path); }
  std::vector<std::string> paths;
};

class DesktopOpenerTest : public ::testing::Test {
protected:
  DesktopOpenerTest() : stubs(dir.path()), path("PATH", dir.path().c_str()) {}

  // Serves the timers as the main loop would until no opener runs.
  bool settle(DesktopOpener& opener) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (opener.pending() && std::chrono::steady_clock::now() < end) {
      timers.processTimers();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return opener.pending() == 0;
  }
  std::string ownSession() { return std::to_string(getsid(0)); }

  TempDir dir;
  OpenerStubs stubs;
  ScopedEnv path;
  plat::TimerManager timers;
  Failures failures;
};

TEST(CommandList, LooksForAnExecutableFileOnEachDirectoryOfThePath) {
  TempDir a, b;
  OpenerStubs inA(a.path()), inB(b.path());
  inA.add("tool", false); // present but not executable
  inB.add("tool");
  struct Case {
    std::string path;
    bool unavailable;
  } cases[] = {
      {a.path(), true},
      {a.path() + ":" + b.path(), false},
      {"/nonexistent:" + b.path() + ":/also/missing", false},
      {"", true},
      {"/nonexistent", true},
  };
  for (const Case& c : cases) {
    ScopedEnv env("PATH", c.path.c_str());
    ScopedCapture log("DownloadsUI", 100);
    EXPECT_EQ(CommandList::commandIsUnavailable("tool"), c.unavailable) << c.path;
    EXPECT_EQ(log.logger.contains("Launch helper script 'tool' not found on PATH."), c.unavailable)
        << c.path;
  }
  // Without a search path every command counts as available.
  ScopedEnv unset("PATH", nullptr);
  EXPECT_FALSE(CommandList::commandIsUnavailable("no-such-tool-anywhere"));
}

TEST(CommandList, IsFilteredOnceAndNeverRefilled) {
  TempDir dir;
  OpenerStubs stubs(dir.path());
  stubs.add("gnome-open");
  ScopedEnv env("PATH", dir.path().c_str());
  CommandList list{"xdg-open", "gnome-open"};
  EXPECT_EQ(list.names(), std::vector<std::string>{"gnome-open"});
  // Adding or removing a program later changes nothing.
  stubs.add("xdg-open");
  stubs.remove("gnome-open");
  EXPECT_EQ(list.names(), std::vector<std::string>{"gnome-open"});
}

TEST(CommandList, TheOpenersAreLookedUpOnFirstUse) {
  // The only test that touches the process-wide list.
  TempDir dir;
  OpenerStubs stubs(dir.path());
  stubs.add("xdg-open");
  ScopedEnv env("PATH", dir.path().c_str());
  const CommandList& openers = CommandList::openers();
  EXPECT_EQ(openers.names(), std::vector<std::string>{"xdg-open"});
  stubs.add("gnome-open");
  EXPECT_EQ(&CommandList::openers(), &openers);
  EXPECT_EQ(openers.names(), std::vector<std::string>{"xdg-open"});
}

TEST_F(DesktopOpenerTest, TheFirstOpenerThatSucceedsEndsTheAttempt) {
  stubs.add("xdg-open");
  stubs.add("gnome-open");
  CommandList list{"xdg-open", "gnome-open"};
  DesktopOpener opener(&failures, &list);
  opener.open("/home/u/Downloads/report 1.txt");
  ASSERT_TRUE(settle(opener));
  std::string log = stubs.logText();
  EXPECT_EQ(log.rfind("xdg-open ", 0), 0u) << log;
  EXPECT_NE(log.find(" /home/u/Downloads/report 1.txt\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("gnome-open"), std::string::npos) << log;
  EXPECT_TRUE(failures.paths.empty());
  // The opener ran detached from this program's session.
  std::string sid = log.substr(9, log.find(' ', 9) - 9);
  EXPECT_NE(sid, ownSession());
}

TEST_F(DesktopOpenerTest, AFailingOpenerIsFollowedByTheNext) {
  stubs.add("xdg-open");
  stubs.add("gnome-open");
  stubs.setStatus("xdg-open", 4);
  CommandList list{"xdg-open", "gnome-open"};
  DesktopOpener opener(&failures, &list);
  ScopedCapture log("DownloadsUI", 100);
  opener.open("/tmp/dl/");
  ASSERT_TRUE(settle(opener));
  std::string text = stubs.logText();
  EXPECT_NE(text.find("xdg-open"), std::string::npos) << text;
  EXPECT_NE(text.find("gnome-open"), std::string::npos) << text;
  EXPECT_LT(text.find("xdg-open"), text.find("gnome-open"));
  EXPECT_TRUE(failures.paths.empty());
  EXPECT_TRUE(log.logger.contains("Launch helper script 'xdg-open' failed"));
}

TEST_F(DesktopOpenerTest, WhenNoneSucceedsTheCallbackIsToldOnce) {
  stubs.add("xdg-open");
  stubs.add("gnome-open");
  stubs.setStatus("xdg-open", 1);
  stubs.setStatus("gnome-open", 2);
  CommandList list{"xdg-open", "gnome-open"};
  DesktopOpener opener(&failures, &list);
  opener.open("/tmp/dl/a.txt");
  ASSERT_TRUE(settle(opener));
  EXPECT_EQ(failures.paths, std::vector<std::string>{"/tmp/dl/a.txt"});
  EXPECT_EQ(timers.msUntilNext(), -1);
}

TEST_F(DesktopOpenerTest, WithoutOpenersTheCallbackIsToldAtOnceOnEveryOpen) {
  ScopedCapture log("DownloadsUI", 100);
  CommandList list{"xdg-open", "gnome-open"};
  EXPECT_TRUE(list.empty());
  DesktopOpener opener(&failures, &list);
  for (int i = 0; i < 2; i++) {
    opener.open("/tmp/dl/b");
    EXPECT_EQ(opener.pending(), 0u);
    EXPECT_EQ(failures.paths.size(), size_t(i + 1));
  }
  int notices = 0;
  for (const auto& line : log.logger.lines)
    if (line.text == "Could not find launch helper script.") {
      EXPECT_EQ(line.level, 10);
      notices++;
    }
  EXPECT_EQ(notices, 2);
}

TEST_F(DesktopOpenerTest, AnOpenerRemovedAfterTheLookUpFailsToStartAndTheNextIsTried) {
  stubs.add("xdg-open");
  stubs.add("gnome-open");
  CommandList list{"xdg-open", "gnome-open"};
  stubs.remove("xdg-open");
  DesktopOpener opener(&failures, &list);
  opener.open("/tmp/dl/c");
  ASSERT_TRUE(settle(opener));
  EXPECT_EQ(stubs.logText().rfind("gnome-open ", 0), 0u);
  EXPECT_TRUE(failures.paths.empty());
}

TEST_F(DesktopOpenerTest, TheLoopRunsOnWhileAnOpenerWaitsForItsApplication) {
  stubs.add("xdg-open");
  stubs.hold("xdg-open", true);
  CommandList list{"xdg-open"};
  DesktopOpener opener(&failures, &list);
  auto before = std::chrono::steady_clock::now();
  opener.open("/tmp/dl/movie.mkv");
  opener.open("/tmp/dl/other.mkv");
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
  EXPECT_EQ(opener.pending(), 2u);
  // Both are started and still running.
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (stubs.logText().find("other.mkv") == std::string::npos &&
         std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  timers.processTimers();
  EXPECT_EQ(opener.pending(), 2u);
  EXPECT_EQ(timers.msUntilNext() >= 0, true);
  stubs.hold("xdg-open", false);
  ASSERT_TRUE(settle(opener));
  EXPECT_TRUE(failures.paths.empty());
}

TEST_F(DesktopOpenerTest, AnOpenerStillRunningWhenTheOpenerGoesIsLeftToFinish) {
  stubs.add("xdg-open");
  stubs.hold("xdg-open", true);
  CommandList list{"xdg-open"};
  {
    DesktopOpener opener(&failures, &list);
    opener.open("/tmp/dl/d");
  }
  EXPECT_EQ(timers.msUntilNext(), -1);
  stubs.hold("xdg-open", false);
  EXPECT_TRUE(failures.paths.empty());
}

} // namespace
