#include "x0zavserver/unix/LibraryPathCheck.h"

#include "GssStandIn.h"
#include "ThrownMessage.h"
#include "x0zavserver/unix/SecurityExceptionFmt.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testing_support::thrownMessage;

// The checks apply only when the real user is root; they need root to hand
// files to other owners as well.
class LibraryPathCheckTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (getuid() != 0)
      GTEST_SKIP() << "the checks apply only to root";
  }
  std::string dir(const std::string& name, mode_t mode, uid_t owner = 0) {
    std::string p = standIn.dir.file(name);
    EXPECT_EQ(mkdir(p.c_str(), 0755), 0) << p;
    EXPECT_EQ(chmod(p.c_str(), mode), 0);
    EXPECT_EQ(chown(p.c_str(), owner, 0), 0);
    return p;
  }
  std::string lib(const std::string& name, mode_t mode, uid_t owner = 0) {
    std::string p = standIn.dir.file(name);
    std::string cmd = "cp '" + standIn.library + "' '" + p + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(chmod(p.c_str(), mode), 0);
    EXPECT_EQ(chown(p.c_str(), owner, 0), 0);
    return p;
  }
  std::string resolved(const std::string& name) { return standIn.resolvedDir + "/" + name; }

  testing_support::GssStandIn standIn;
};

TEST_F(LibraryPathCheckTest, OwnerModeAndDirectories) {
  const std::string weak = ": permissions are not restrictive enough";
  dir("open", 0777);
  dir("sticky", 01777);
  dir("groupw", 0775);
  dir("theirs", 0755, 1);
  dir("good", 0755);
  struct Case {
    std::string path, expected;
  } cases[] = {
      {lib("good/a.so", 0755), resolved("good/a.so")},
      {lib("good/ro.so", 0500), resolved("good/ro.so")},
      {lib("good/gw.so", 0775), resolved("good/gw.so") + weak},
      {lib("good/ow.so", 0757), resolved("good/ow.so") + weak},
      {lib("good/other.so", 0755, 1), resolved("good/other.so") + weak},
      {lib("open/a.so", 0755), resolved("open") + weak},
      {lib("groupw/a.so", 0755), resolved("groupw") + weak},
      {lib("theirs/a.so", 0755), resolved("theirs") + weak},
      // Others may add entries to a sticky directory but not replace root's.
      {lib("sticky/a.so", 0755), resolved("sticky/a.so")},
      {standIn.dir.file("good"), resolved("good") + ": not a regular file"},
      {"good/a.so", "good/a.so: not an absolute path"},
      {"", ": not an absolute path"},
      {standIn.dir.file("good/missing.so"), "realpath: No such file or directory (2)"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(thrownMessage(
                  [&] { throw plat::Exception(gssapi::checkLibraryPath(c.path.c_str()).c_str()); }),
              c.expected)
        << c.path;
}

TEST_F(LibraryPathCheckTest, LinksAreResolvedAndTheTargetChecked) {
  dir("good", 0755);
  dir("open", 0777);
  lib("good/a.so", 0755);
  lib("open/b.so", 0755);
  // A link in a directory anyone may change is harmless: what is checked
  // and loaded is what it points to now.
  ASSERT_EQ(symlink(resolved("good/a.so").c_str(), standIn.dir.file("open/link.so").c_str()), 0);
  ASSERT_EQ(symlink(resolved("open/b.so").c_str(), standIn.dir.file("good/bad.so").c_str()), 0);
  EXPECT_STREQ(gssapi::checkLibraryPath(standIn.dir.file("open/link.so").c_str()).c_str(),
               resolved("good/a.so").c_str());
  EXPECT_EQ(
      thrownMessage([&] { gssapi::checkLibraryPath(standIn.dir.file("good/bad.so").c_str()); }),
      resolved("open") + ": permissions are not restrictive enough");
}

TEST_F(LibraryPathCheckTest, FifoIsRefusedWithoutWaiting) {
  std::string fifo = standIn.dir.file("lib/fifo.so");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  EXPECT_EQ(thrownMessage([&] { gssapi::checkLibraryPath(fifo.c_str()); }),
            resolved("lib/fifo.so") + ": not a regular file");
}

} // namespace
