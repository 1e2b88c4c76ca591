// zavkeygen -f on a file system that is full: the new key cannot be written,
// so the program must say so in words and leave the previous key file as it
// was. Runs
// in a private mount namespace with a small tmpfs, so it needs root.
#include "../ProgramRun.h"
#include "PrivateMounts.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

TEST(FullDisk, ForcedGenerationFailsAndKeepsTheOldKey) {
  if (!privateMountsUnsupported().empty())
    GTEST_SKIP() << privateMountsUnsupported();

  TempDir scratch;
  std::string mountPoint = scratch / "home";
  ASSERT_EQ(mkdir(mountPoint.c_str(), 0755), 0);
  std::string script = scratch / "run.sh";
  {
    std::ofstream s(script);
    s << "set -e\n"
         "mount -t tmpfs -o size=64k,mode=0755 tmpfs \"$HOME\"\n"
         "\"$ZAVKEYGEN\" -q\n"
         "cp \"$HOME/.zav/private.key\" \"$OUT/before\"\n"
         // Fill every block that is left.
         "dd if=/dev/zero of=\"$HOME/filler\" bs=1024 count=1024 2>/dev/null || true\n"
         "set +e\n"
         "\"$ZAVKEYGEN\" -f >\"$OUT/stdout\" 2>\"$OUT/stderr\"\n"
         "echo $? >\"$OUT/status\"\n"
         "cp \"$HOME/.zav/private.key\" \"$OUT/after\"\n"
         "ls -A \"$HOME/.zav\" >\"$OUT/listing\"\n";
  }
  std::string cmd = "HOME='" + mountPoint + "' OUT='" + scratch.path() + "' ZAVKEYGEN='" +
                    ZAVKEYGEN_PATH + "' unshare --mount --propagation private sh '" + script + "'";
  ASSERT_EQ(system(cmd.c_str()), 0);

  EXPECT_EQ(slurp(scratch / "status"), "1\n");
  std::string err = slurp(scratch / "stderr");
  // In words, without the system call's error text.
  EXPECT_EQ(err, "failed: Error generating private key: the key file " + mountPoint +
                     "/.zav/private.key could not be written because the disk is full\n");
  std::string before = slurp(scratch / "before");
  EXPECT_EQ(before.size(), 2824u);
  EXPECT_EQ(slurp(scratch / "after"), before);
  EXPECT_EQ(slurp(scratch / "listing"), "private.key\n") << "a temporary file was left";
  // The mount went with the namespace.
  EXPECT_EQ(slurp(mountPoint + "/filler"), "");
}

} // namespace
