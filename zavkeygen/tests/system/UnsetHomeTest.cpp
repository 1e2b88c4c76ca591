// zavkeygen started without HOME: the home directory comes from the user
// database. The real user's home is replaced by a scratch directory in a
// private mount namespace, so nothing outside the test is touched; needs
// root for that.
#include "../ProgramRun.h"
#include "PrivateMounts.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

TEST(UnsetHome, KeyGoesToTheHomeOfTheUserDatabase) {
  if (!privateMountsUnsupported().empty())
    GTEST_SKIP() << privateMountsUnsupported();
  struct passwd* pw = getpwuid(getuid());
  ASSERT_NE(pw, nullptr);
  std::string realHome = pw->pw_dir;
  struct stat st;
  if (stat(realHome.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    GTEST_SKIP() << "the user's home directory " << realHome << " does not exist";

  TempDir scratch;
  std::string fakeHome = scratch / "home";
  ASSERT_EQ(mkdir(fakeHome.c_str(), 0755), 0);
  std::string script = scratch / "run.sh";
  {
    std::ofstream s(script);
    s << "set -e\n"
         "mount --bind \"$FAKE\" \"$REAL\"\n"
         "env -u HOME \"$ZAVKEYGEN\" -q RSA_Modulus_Bits=1024 >\"$OUT/stdout\" 2>\"$OUT/stderr\"\n"
         "echo $? >\"$OUT/status\"\n";
  }
  std::string cmd = "FAKE='" + fakeHome + "' REAL='" + realHome + "' OUT='" + scratch.path() +
                    "' ZAVKEYGEN='" + ZAVKEYGEN_PATH +
                    "' unshare --mount --propagation private sh '" + script + "'";
  ASSERT_EQ(system(cmd.c_str()), 0) << slurp(scratch / "stderr");
  EXPECT_EQ(slurp(scratch / "status"), "0\n");
  EXPECT_EQ(slurp(scratch / "stderr"), "");
  EXPECT_EQ(slurp(fakeHome + "/.zav/private.key").size(), 1416u);
}

} // namespace
