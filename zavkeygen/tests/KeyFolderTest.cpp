#include "zavkeygen/KeyFolder.h"

#include "TempDir.h"
#include "ThrownMessage.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

using Reach = crypto::KeyFolder::Reach;

ino_t inodeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st.st_ino;
}

ino_t inodeOf(int fd) {
  struct stat st;
  EXPECT_EQ(fstat(fd, &st), 0);
  return st.st_ino;
}

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// The checked walk as root uses it; the checks themselves hold for any user,
// since the test's own folders belong to whoever runs it.
class KeyFolderTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* d : {"a", "b", "b/c"})
      ASSERT_EQ(mkdir((dir / d).c_str(), 0700), 0) << d;
  }
  TempDir dir;
};

TEST_F(KeyFolderTest, LinksDotsAndRelativePathsLeadToTheRightFolder) {
  ASSERT_EQ(symlink("b/c", (dir / "toC").c_str()), 0);
  ASSERT_EQ(symlink((dir / "b").c_str(), (dir / "a/toB").c_str()), 0);
  struct Case {
    std::string path;
    std::string folder, name;
  } cases[] = {
      {dir / "a/../b/key", dir / "b", "key"},    {dir / "toC/key", dir / "b/c", "key"},
      {dir / "a/toB/c/key", dir / "b/c", "key"}, {dir / "a/toB/../a//./key", dir / "a", "key"},
      {dir / "toC/../../b/", dir / "b", ""},
  };
  for (const Case& c : cases) {
    crypto::KeyFolder folder(c.path.c_str(), Reach::Checked);
    EXPECT_TRUE(folder.exists()) << c.path;
    EXPECT_EQ(inodeOf(folder.fd()), inodeOf(c.folder)) << c.path;
    EXPECT_EQ(folder.name(), c.name) << c.path;
  }

  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  crypto::KeyFolder relative("toC/key", Reach::Checked);
  crypto::KeyFolder bare("key", Reach::Checked);
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_EQ(inodeOf(relative.fd()), inodeOf(dir / "b/c"));
  EXPECT_EQ(inodeOf(bare.fd()), inodeOf(dir.path()));
}

TEST_F(KeyFolderTest, MissingFoldersAreMadeOnlyWhenAsked) {
  std::string path = dir / "b/new/deeper/key";
  crypto::KeyFolder looked(path.c_str(), Reach::Checked);
  EXPECT_FALSE(looked.exists());
  EXPECT_FALSE(exists(dir / "b/new"));

  mode_t saved = umask(0);
  crypto::KeyFolder made(path.c_str(), Reach::CheckedMaking);
  umask(saved);
  EXPECT_TRUE(made.exists());
  EXPECT_EQ(inodeOf(made.fd()), inodeOf(dir / "b/new/deeper"));
  struct stat st;
  for (const char* d : {"b/new", "b/new/deeper"}) {
    ASSERT_EQ(stat((dir / d).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u) << d;
  }
}

TEST_F(KeyFolderTest, RefusedPaths) {
  std::ofstream(dir / "plain") << "p";
  ASSERT_EQ(symlink("loop2", (dir / "loop1").c_str()), 0);
  ASSERT_EQ(symlink("loop1", (dir / "loop2").c_str()), 0);
  ASSERT_EQ(mkdir((dir / "open").c_str(), 0700), 0);
  ASSERT_EQ(chmod((dir / "open").c_str(), 0770), 0);
  ASSERT_EQ(mkdir((dir / "sticky").c_str(), 0700), 0);
  ASSERT_EQ(chmod((dir / "sticky").c_str(), 01777), 0);
  struct Case {
    std::string path;
    Reach reach;
    std::string error; // empty: passes
  } cases[] = {
      {dir / "plain/key", Reach::Checked, dir / "plain is not a folder"},
      {dir / "plain/key", Reach::CheckedMaking,
       "the folder " + dir / "plain cannot be made: File exists"},
      {dir / "loop1/key", Reach::Checked,
       "the path to the key file goes through too many links, at " + dir / "loop1"},
      {dir / "open/key", Reach::Checked,
       "the folder " + dir / "open can be changed by users other than its owner"},
      {dir / "open/sub/key", Reach::CheckedMaking,
       "the folder " + dir / "open can be changed by users other than its owner"},
      {dir / "sticky/key", Reach::Checked, ""},
  };
  for (const Case& c : cases) {
    std::string message = thrownMessage([&] { crypto::KeyFolder folder(c.path.c_str(), c.reach); });
    EXPECT_EQ(message, c.error.empty() ? "<no exception>" : c.error) << c.path;
  }
  EXPECT_FALSE(exists(dir / "open/sub"));
}

} // namespace
