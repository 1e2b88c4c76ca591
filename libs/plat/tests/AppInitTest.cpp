#include "plat/unix/AppInit.h"

#include "plat/Exception.h"
#include "plat/IntParameter.h"
#include "plat/Logger_file.h"
#include "plat/ProductInfo.h"
#include "plat/StringParameter.h"
#include "plat/unix/Passwd.h"

#include "CaptureLogger.h"
#include "NssWrapper.h"
#include "ScopedEnv.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using testing_support::CaptureLogger;
using testing_support::runUnderNssWrapper;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::underNssWrapper;

namespace {

plat::IntParameter chainValue("AppInitTestValue", "Set by the configuration chain tests", 0);

// The singleton lives once per process: each test builds it in a child of
// the test program.
void inChild(const std::function<void()>& body) {
  fflush(nullptr);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    body();
    fflush(nullptr);
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

mode_t modeOf(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0)
    return 0;
  return st.st_mode & 07777;
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path) << text;
}

TEST(AppInit, NamesFilesAndListsTheChainInOrder) {
  TempDir home;
  ScopedEnv env("HOME", home.path().c_str());
  inChild([&] {
    AppInit* app = AppInit::create("zavtool", false, false, nullptr, nullptr, nullptr);
    EXPECT_EQ(AppInit::instance(), app);
    std::string dir = home.path() + "/.zav";
    EXPECT_STREQ(app->getAppName(), "zavtool");
    EXPECT_EQ(std::string(app->getUserDir()), dir);
    EXPECT_EQ(std::string(app->getUserConfigFile()), dir + "/config.d/zavtool");
    EXPECT_EQ(std::string(app->getLogFileName()), dir + "/zavtool.log");
    EXPECT_EQ(app->getVersionInfo(), nullptr);
    struct Entry {
      std::string name;
      int priority;
    } expected[] = {
        {"/etc/zav/config.d/common", 50},  {"/etc/zav/config.d/common.custom", 50},
        {"/etc/zav/config.d/zavtool", 50}, {dir + "/config.d/common", 50},
        {dir + "/config.d/zavtool", 50},   {"/etc/zav/policy.d/common", 0},
        {"/etc/zav/policy.d/zavtool", 0},
    };
    const auto& chain = app->getConfigFiles();
    ASSERT_EQ(chain.size(), 7u);
    for (size_t i = 0; i < chain.size(); i++) {
      EXPECT_EQ(std::string(chain[i].name.c_str()), expected[i].name);
      EXPECT_EQ(chain[i].priority, expected[i].priority);
    }
    app->addConfigFile("/tmp/extra", 7);
    EXPECT_STREQ(app->getConfigFiles().back().name.c_str(), "/tmp/extra");
    EXPECT_EQ(app->getConfigFiles().back().priority, 7);
    // Nothing was created without init.
    EXPECT_EQ(modeOf(dir), 0u);
  });
}

TEST(AppInit, BannerFormsFromTheTitle) {
  TempDir home;
  ScopedEnv env("HOME", home.path().c_str());
  inChild([&] {
    AppInit* app = AppInit::create("zavconfig", false, false, nullptr, nullptr,
                                   "Zav\xc2\xae Configuration Tool");
    const AppInit::VersionInfo* v = app->getVersionInfo();
    ASSERT_NE(v, nullptr);
    std::string text = v->text.c_str();
    std::string firstLine = text.substr(0, text.find('\n'));
    EXPECT_EQ(firstLine.rfind("Zav\xc2\xae Configuration Tool ", 0), 0u);
    EXPECT_EQ(firstLine.back(), ' ');
    EXPECT_NE(text.find(std::string("\n") + buildTime + "\n"), std::string::npos);
    EXPECT_EQ(std::string(buildTime).rfind("Built on ", 0), 0u);
    EXPECT_NE(text.find("\xc2\xa9"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);

    std::string plain = v->plainText.c_str();
    EXPECT_EQ(plain.find("\xc2\xae"), std::string::npos);
    EXPECT_EQ(plain.find("\xc2\xa9"), std::string::npos);
    EXPECT_EQ(plain.rfind("Zav(R) Configuration Tool", 0), 0u);
    EXPECT_NE(plain.find("(C)"), std::string::npos);
    std::istringstream lines(plain);
    for (std::string line; std::getline(lines, line);)
      EXPECT_LE(line.size(), 78u) << line;

    // The product's lines, the same in every program's banner.
    EXPECT_EQ(firstLine, std::string("Zav\xc2\xae Configuration Tool ") +
                             plat::ProductInfo::editionAndVersion + " ");
    for (const char* line : {plat::ProductInfo::ownershipNotice, plat::ProductInfo::trademarkNotice,
                             plat::ProductInfo::warrantyNotice, plat::ProductInfo::thirdPartyNotice,
                             plat::ProductInfo::webNotice})
      EXPECT_NE(text.find(std::string("\n") + line), std::string::npos) << line;

    EXPECT_STREQ(v->titleText.c_str(), "Zav Configuration Tool");
    EXPECT_STREQ(v->title.c_str(), "Zav\xc2\xae Configuration Tool");
    EXPECT_STREQ(v->extra.c_str(), "");
  });
}

TEST(AppInit, LogFileNameIsExpanded) {
  TempDir home;
  ScopedEnv env("HOME", home.path().c_str());
  ScopedEnv var("ZAVTEST_LOGNAME", "mine");
  inChild([&] {
    AppInit* app = AppInit::create("zavtool", false, false, "$HOME/logs/${ZAVTEST_LOGNAME}.log",
                                   nullptr, nullptr);
    EXPECT_EQ(std::string(app->getLogFileName()), home.path() + "/logs/mine.log");
  });
  inChild([&] {
    try {
      AppInit::create("zavtool", false, false, "$ZAVTEST_NO_SUCH/x.log", nullptr, nullptr);
      ADD_FAILURE() << "no exception";
    } catch (const plat::Exception& e) {
      EXPECT_STREQ(e.str(), "unknown environment variable: ZAVTEST_NO_SUCH");
    }
  });
}

TEST(AppInit, InitMakesTheUserDirectoryPrivateAndSetsTheLog) {
  TempDir home;
  ScopedEnv env("HOME", home.path().c_str());
  std::string dir = home.path() + "/.zav";
  inChild([&] {
    AppInit::create("zavtool", true, false, nullptr, nullptr, nullptr);
    EXPECT_EQ(modeOf(dir), 0700u);
    EXPECT_STREQ(plat::logParam.getValue().c_str(), "*:stderr:0");
    EXPECT_EQ(plat::logParam.getPriority(), 100);
  });
  ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
  inChild([&] {
    AppInit::create("zavtool", true, false, nullptr, "AppInit:stdout:30", nullptr);
    EXPECT_EQ(modeOf(dir), 0700u);
    EXPECT_STREQ(plat::logParam.getValue().c_str(), "AppInit:stdout:30");
  });
}

TEST(AppInit, ReadsTheChainSoThatPolicyAndLaterFilesWin) {
  TempDir home, etc;
  ScopedEnv env("HOME", home.path().c_str());
  std::string dir = home.path() + "/.zav";
  ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
  ASSERT_EQ(mkdir((dir + "/config.d").c_str(), 0700), 0);
  struct Case {
    std::string common, own, policy;
    int expected;
  } cases[] = {
      {"", "", "", 0},
      {"AppInitTestValue=1\n", "", "", 1},
      {"AppInitTestValue=1\n", "AppInitTestValue=2\n", "", 2},
      {"AppInitTestValue=1\n", "AppInitTestValue=2\n", "AppInitTestValue=3\n", 3},
      {"", "", "AppInitTestValue=3\n", 3},
  };
  for (const Case& c : cases) {
    for (auto [path, text] :
         {std::pair{dir + "/config.d/common", c.common},
          std::pair{dir + "/config.d/zavtool", c.own}, std::pair{etc.file("policy"), c.policy}}) {
      unlink(path.c_str());
      if (!text.empty())
        writeFile(path, text);
    }
    inChild([&] {
      CaptureLogger capture;
      capture.registerLogger();
      AppInit* app = AppInit::create("zavtool", false, false, nullptr, nullptr, nullptr);
      app->addConfigFile(etc.file("policy").c_str(), 0);
      app->init(true, "AppInit:capture:100");
      EXPECT_EQ(chainValue.getValue(), c.expected) << c.common << c.own << c.policy;
      bool skippedOwn = capture.contains("Skipping config file " + dir + "/config.d/zavtool");
      EXPECT_EQ(skippedOwn, c.own.empty());
      bool skippedPolicy = capture.contains("Skipping config file " + etc.file("policy"));
      EXPECT_EQ(skippedPolicy, c.policy.empty());
      if (access("/etc/zav/config.d/common", F_OK) != 0) {
        EXPECT_TRUE(capture.contains("Skipping config file /etc/zav/config.d/common"));
      }
    });
  }
}

TEST(AppInit, WithoutReadConfigNoFileIsRead) {
  TempDir home;
  ScopedEnv env("HOME", home.path().c_str());
  std::string dir = home.path() + "/.zav";
  ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
  ASSERT_EQ(mkdir((dir + "/config.d").c_str(), 0700), 0);
  writeFile(dir + "/config.d/common", "AppInitTestValue=5\n");
  writeFile(dir + "/config.d/zavtool", "AppInitTestValue=6\n");
  inChild([&] {
    AppInit::create("zavtool", true, false, nullptr, nullptr, nullptr);
    EXPECT_EQ(chainValue.getValue(), 0);
  });
}

TEST(AppInitDeathTest, InstanceBeforeCreateIsFatal) {
  EXPECT_DEATH(AppInit::instance(), "Assertion 'singleton' failed");
}

TEST(AppInit, UnsetHomeComesFromTheUserDatabase) {
  const char* home = getenv("ZAVTEST_HOME");
  if (!underNssWrapper()) {
    TempDir dir;
    std::string passwd = "zavself:x:" + std::to_string(getuid()) + ":" + std::to_string(getgid()) +
                         ":Self:" + dir.path() + "/home:/bin/sh\n";
    return runUnderNssWrapper(
        passwd, "zavself:x:" + std::to_string(getgid()) + ":\n",
        {{"HOME", nullptr}, {"ZAVTEST_HOME", (dir.path() + "/home").c_str()}});
  }
  ASSERT_NE(home, nullptr);
  ASSERT_EQ(getenv("HOME"), nullptr);
  ASSERT_EQ(mkdir(home, 0755), 0);
  AppInit* app = AppInit::create("zavtool", true, false, nullptr, nullptr, nullptr);
  ASSERT_NE(getenv("HOME"), nullptr);
  EXPECT_STREQ(getenv("HOME"), home);
  EXPECT_EQ(std::string(app->getUserDir()), std::string(home) + "/.zav");
  EXPECT_EQ(modeOf(std::string(home) + "/.zav"), 0700u);
}

TEST(AppInit, UnsetHomeAndNoEntryFailsWithAMessage) {
  if (!underNssWrapper())
    return runUnderNssWrapper("someone:x:4999:4999:Else:/nowhere:/bin/sh\n", "someone:x:4999:\n",
                              {{"HOME", nullptr}});
  for (bool throwing : {false, true}) {
    inChild([&] {
      os::Passwd::setMissingEntryThrows(throwing);
      ::testing::internal::CaptureStderr();
      try {
        AppInit::create("zavtool", false, false, nullptr, nullptr, nullptr);
        ADD_FAILURE() << "no exception";
      } catch (const plat::Exception& e) {
        std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(err, std::string("Could not set $HOME: ") + e.str() + "\n");
        // The wrapped database reports a missing user with ENOENT, the
        // system's files with 0; either is the lookup's own error.
        if (throwing)
          EXPECT_EQ(std::string(e.str()).rfind("getpwuid: ", 0), 0u) << e.str();
        else
          EXPECT_NE(std::string(e.str()).find("Assertion 'valid' failed"), std::string::npos);
      }
      EXPECT_EQ(getenv("HOME"), nullptr);
    });
  }
}

} // namespace
