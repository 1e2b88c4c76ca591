#include "plat/unix/PrimaryIp4.h"

#include "plat/Exception.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using testing_support::TempDir;

namespace {

std::string writeScript(const TempDir& dir, const char* name, const std::string& body,
                        mode_t mode = 0755) {
  std::string path = dir.file(name);
  std::ofstream(path) << "#!/bin/sh\n" << body;
  chmod(path.c_str(), mode);
  return path;
}

TEST(PrimaryIp4, AnswersTheFirstLineTheScriptWrites) {
  TempDir dir;
  struct Case {
    const char* body;
    std::string expected;
  } cases[] = {
      {"echo 192.0.2.7\n", "192.0.2.7"},
      {"printf 10.0.0.1\n", "10.0.0.1"},
      {"echo 198.51.100.1; echo 203.0.113.9\n", "198.51.100.1"},
      {"printf '\\n'\n", ""},
      {"head -c 2000 /dev/zero | tr '\\0' 7; echo\n", std::string(1023, '7')},
      // Much more output after the first line must not make it fail.
      {"echo 192.0.2.1; head -c 300000 /dev/zero | tr '\\0' x\n", "192.0.2.1"},
  };
  int i = 0;
  for (const Case& c : cases) {
    std::string script = writeScript(dir, ("s" + std::to_string(i++)).c_str(), c.body);
    EXPECT_EQ(std::string(os::getPrimaryIp4(script.c_str()).c_str()), c.expected) << c.body;
  }
}

TEST(PrimaryIp4, FailuresCarryTheirMessages) {
  TempDir dir;
  std::string silent = writeScript(dir, "silent", "exit 0\n");
  std::string failing = writeScript(dir, "failing", "echo no route to host; exit 3\n");
  std::string quiet = writeScript(dir, "quiet failure", "exit 4\n");
  struct Case {
    std::string path;
    std::string message;
  } cases[] = {
      {silent, silent + " did not write anything"},
      {failing, failing + ": no route to host"},
      {quiet, quiet + " did not write anything"},
      {dir.file("missing"), "stat(" + dir.file("missing") + "): No such file or directory (2)"},
  };
  for (const Case& c : cases) {
    try {
      os::getPrimaryIp4(c.path.c_str());
      ADD_FAILURE() << "no exception for " << c.path;
    } catch (const plat::Exception& e) {
      EXPECT_EQ(std::string(e.str()), c.message);
    }
  }
}

TEST(PrimaryIp4, ScriptWithoutOthersExecuteIsNeverRun) {
  TempDir dir;
  std::string marker = dir.file("ran");
  for (mode_t mode : {0744, 0754, 0700}) {
    std::string script = writeScript(dir, "script", "touch '" + marker + "'; echo 1.2.3.4\n", mode);
    try {
      os::getPrimaryIp4(script.c_str());
      ADD_FAILURE() << "ran a script of mode " << mode;
    } catch (const plat::Exception& e) {
      EXPECT_EQ(std::string(e.str()), script + ": not executable");
    }
    EXPECT_NE(access(marker.c_str(), F_OK), 0);
  }
  std::string script = writeScript(dir, "script", "touch '" + marker + "'; echo 1.2.3.4\n", 0701);
  EXPECT_STREQ(os::getPrimaryIp4(script.c_str()).c_str(), "1.2.3.4");
  EXPECT_EQ(access(marker.c_str(), F_OK), 0);
}

} // namespace
