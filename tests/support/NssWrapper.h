// Runs the current test once more in a child process of the test program,
// with nss_wrapper preloaded over user and group files that the test writes,
// so code that asks the user database meets odd entries (no home, huge
// fields, a different home for the real user) without touching the system.
//
//   TEST(Suite, Name) {
//     if (!testing_support::underNssWrapper())
//       return testing_support::runUnderNssWrapper(passwdLines, groupLines);
//     ... checks against the wrapped database ...
//   }
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace testing_support {

inline bool underNssWrapper() {
  return getenv("ZAV_UNDER_NSS_WRAPPER") != nullptr;
}

// env: further variables for the child; a null value unsets one.
inline void runUnderNssWrapper(const std::string& passwd, const std::string& group,
                               const std::vector<std::pair<std::string, const char*>>& env = {}) {
  const char* base = getenv("TMPDIR");
  std::string dir = std::string(base && *base ? base : "/tmp") + "/zavnss.XXXXXX";
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  std::string passwdFile = dir + "/passwd", groupFile = dir + "/group";
  std::ofstream(passwdFile) << passwd;
  std::ofstream(groupFile) << group;

  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string filter =
      std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
  std::string asan = getenv("ASAN_OPTIONS") ? getenv("ASAN_OPTIONS") : "";
  asan += (asan.empty() ? "" : ":") + std::string("verify_asan_link_order=0");

  int out[2];
  ASSERT_EQ(pipe(out), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(out[1], 1);
    dup2(out[1], 2);
    close(out[0]);
    close(out[1]);
    setenv("ZAV_UNDER_NSS_WRAPPER", "1", 1);
    setenv("LD_PRELOAD", "libnss_wrapper.so", 1);
    setenv("NSS_WRAPPER_PASSWD", passwdFile.c_str(), 1);
    setenv("NSS_WRAPPER_GROUP", groupFile.c_str(), 1);
    setenv("ASAN_OPTIONS", asan.c_str(), 1);
    for (const auto& [name, value] : env) {
      if (value)
        setenv(name.c_str(), value, 1);
      else
        unsetenv(name.c_str());
    }
    execl("/proc/self/exe", "test", filter.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string output;
  char buf[4096];
  ssize_t n;
  while ((n = read(out[0], buf, sizeof buf)) > 0)
    output.append(buf, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "under nss_wrapper:\n" << output;
  EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
  std::string cleanup = "rm -rf '" + dir + "'";
  EXPECT_EQ(system(cleanup.c_str()), 0);
}

} // namespace testing_support
