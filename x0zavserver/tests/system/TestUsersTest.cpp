#include "TestUsers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <pwd.h>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

using testing_support::TestUsers;

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A test that crashes before its users are removed must not leave them in
// the host's user database: they are made in the test's own copy of it.
TEST(TestUsers, UsersExistOnlyForTheTestProcess) {
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to create users";
  TestUsers users;
  std::string name = users.addUser("zavtu", "Secret-1");
  ASSERT_NE(getpwnam(name.c_str()), nullptr) << name;
  if (!TestUsers::isolated())
    GTEST_SKIP() << "no private mount namespace here: "
                 << testing_support::privateMountsUnsupported();
  // The parent process (ctest) still sees the host's database.
  std::string host = slurp("/proc/" + std::to_string(getppid()) + "/root/etc/passwd");
  ASSERT_NE(host.find("root:"), std::string::npos);
  EXPECT_EQ(host.find(name + ":"), std::string::npos);
  std::string hostShadow = slurp("/proc/" + std::to_string(getppid()) + "/root/etc/shadow");
  EXPECT_EQ(hostShadow.find(name + ":"), std::string::npos);
}

} // namespace
