// zavkeygen run by root for a key file in another user's folders, as an
// administrator runs "zavkeygen -f" for a user: links and folders that the
// user (or a third one) planted must not redirect root's writes, a replaced
// key file stays the user's, and temporary files of killed runs go. Needs
// root and real users (TestUsers).
#include "../ProgramRun.h"
#include "TempDir.h"
#include "TestUsers.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// Every ".zavkey" temporary file under dir, at any depth.
std::vector<std::string> temporaries(const std::string& dir) {
  std::vector<std::string> found;
  DIR* d = opendir(dir.c_str());
  if (!d)
    return found;
  while (struct dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..")
      continue;
    std::string path = dir + "/" + name;
    if (name.compare(0, 7, ".zavkey") == 0)
      found.push_back(path);
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      for (const std::string& inner : temporaries(path))
        found.push_back(inner);
  }
  closedir(d);
  return found;
}

class RootKeyPathTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (geteuid() != 0)
      GTEST_SKIP() << "needs root to run zavkeygen as root for another user";
    alice = users.addUser("zavkeya", "");
    bob = users.addUser("zavkeyb", "");
    const struct passwd* pw = getpwnam(alice.c_str());
    ASSERT_NE(pw, nullptr);
    aliceUid = pw->pw_uid;
    aliceGid = pw->pw_gid;
    pw = getpwnam(bob.c_str());
    ASSERT_NE(pw, nullptr);
    bobUid = pw->pw_uid;

    ASSERT_EQ(chmod(scratch.path().c_str(), 0755), 0);
    rootHome = scratch / "root";
    secret = scratch / "secret";
    home = scratch / "home";
    ASSERT_EQ(mkdir(rootHome.c_str(), 0700), 0);
    // A folder only root may enter, holding a file only root may read.
    ASSERT_EQ(mkdir(secret.c_str(), 0700), 0);
    writeFile(secret + "/file", "root only\n", 0600);
    makeFolder(home, aliceUid, 0755);
    makeFolder(home + "/.zav", aliceUid, 0700);
  }

  void makeFolder(const std::string& path, uid_t owner, mode_t mode) {
    ASSERT_EQ(mkdir(path.c_str(), 0700), 0) << path;
    ASSERT_EQ(chown(path.c_str(), owner, owner == aliceUid ? aliceGid : owner), 0) << path;
    ASSERT_EQ(chmod(path.c_str(), mode), 0) << path;
  }

  void makeLink(const std::string& target, const std::string& path, uid_t owner) {
    ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0) << path;
    ASSERT_EQ(lchown(path.c_str(), owner, owner), 0) << path;
  }

  static void writeFile(const std::string& path, const std::string& text, mode_t mode) {
    std::ofstream(path) << text;
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
  }

  // zavkeygen run by root with a 1024-bit key for speed; root's own HOME is
  // elsewhere, so only the chosen key file concerns the user.
  ProgramResult run(const std::string& keyFile, bool force) {
    std::vector<std::string> args = {"-q", "RSA_Modulus_Bits=1024", "RsaPrivateKeyFile=" + keyFile};
    if (force)
      args.push_back("-f");
    return runProgram(ZAVKEYGEN_PATH, args, {"HOME=" + rootHome}, scratch.path());
  }

  TestUsers users;
  TempDir scratch;
  std::string alice, bob;
  uid_t aliceUid = 0, bobUid = 0;
  gid_t aliceGid = 0;
  std::string rootHome, secret, home;
};

// Whatever the user planted on the way, root writes nothing outside the
// user's own folders, creates nothing, and says what is wrong.
TEST_F(RootKeyPathTest, PlantedLinksAndFoldersAreRefused) {
  const std::string prefix = "failed: Cannot store the private key in ";
  const std::string linkReason =
      ": it is a symbolic link, which zavkeygen run as root does not follow; it was left "
      "untouched\n";
  // Each case's folder in the user's home, owned by the user unless said.
  makeFolder(home + "/linked", aliceUid, 0700);
  makeLink(secret + "/file", home + "/linked/private.key", aliceUid);
  makeFolder(home + "/dangling", aliceUid, 0700);
  makeLink(secret + "/made/private.key", home + "/dangling/private.key", aliceUid);
  makeLink(secret + "/made", home + "/redirect", aliceUid);
  makeLink(secret + "/made", scratch / "rootlink", aliceUid);
  makeFolder(home + "/shared", aliceUid, 0777);
  makeFolder(home + "/bobs", bobUid, 0755);
  makeFolder(home + "/bobs/inner", aliceUid, 0700);

  struct Case {
    const char* what;
    std::string keyFile;
    bool force;
    std::string err;
    std::string mustNotExist;
  } cases[] = {
      {"key file a link to a root-only file", home + "/linked/private.key", true,
       prefix + home + "/linked/private.key" + linkReason, ""},
      {"the same without -f", home + "/linked/private.key", false,
       "failed: Error getting private key from " + home +
           "/linked/private.key: it is a symbolic link, which zavkeygen run as root does not "
           "follow\n",
       ""},
      {"key file a dangling link", home + "/dangling/private.key", true,
       prefix + home + "/dangling/private.key" + linkReason, secret + "/made"},
      // The folders on the way are checked in order: the user's home comes
      // before the user's link in it, and belongs neither to root nor to
      // root, the owner of the folder the link leads to.
      {"folder a link of the user's into root's folder", home + "/redirect/private.key", false,
       prefix + home + "/redirect/private.key: the folder " + home + " belongs to user " + alice +
           ", who could redirect the key file\n",
       secret + "/made"},
      {"the user's link in root's folder", scratch / "rootlink/private.key", true,
       prefix + scratch / "rootlink/private.key: the link " + scratch / "rootlink" +
           " belongs to user " + alice + ", who could redirect the key file\n",
       secret + "/made"},
      {"folder writable by others", home + "/shared/new/private.key", true,
       prefix + home + "/shared/new/private.key: the folder " + home +
           "/shared can be changed by users other than its owner\n",
       home + "/shared/new"},
      // Once root has made a folder, the owner of the user's folder above it
      // is taken for the key folder's owner; the user's link must not then
      // lead on into root's folders.
      {"back out of a made folder to the user's link", home + "/new/../redirect/private.key", true,
       prefix + home + "/new/../redirect/private.key: the path goes back out of the folder " +
           home + "/new, which zavkeygen made\n",
       secret + "/made"},
      {"folder of a third user on the way", home + "/bobs/inner/private.key", true,
       prefix + home + "/bobs/inner/private.key: the folder " + home + "/bobs belongs to user " +
           bob + ", who could redirect the key file\n",
       home + "/bobs/inner/private.key"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramResult r = run(c.keyFile, c.force);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(slurp(secret + "/file"), "root only\n");
    if (!c.mustNotExist.empty()) {
      EXPECT_FALSE(exists(c.mustNotExist)) << c.mustNotExist;
    }
  }
  struct stat st;
  ASSERT_EQ(stat((secret + "/file").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(temporaries(scratch.path()), std::vector<std::string>{});
}

// Root run with the user's HOME: the per-user folder that every run makes
// private is not changed through the user's link to a folder of root's, and
// the default key file there is neither read nor written.
TEST_F(RootKeyPathTest, PerUserFolderLinkIsNotFollowed) {
  std::string system = scratch / "system", userHome = scratch / "home2";
  ASSERT_EQ(mkdir(system.c_str(), 0755), 0);
  makeFolder(userHome, aliceUid, 0755);
  makeLink(system, userHome + "/.zav", aliceUid);
  ProgramResult r = runProgram(ZAVKEYGEN_PATH, {"-q", "RSA_Modulus_Bits=1024"},
                               {"HOME=" + userHome}, scratch.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "failed: Error getting private key from " + userHome +
                       "/.zav/private.key: the folder " + userHome + " belongs to user " + alice +
                       ", who could redirect the key file\n");
  struct stat st;
  ASSERT_EQ(stat(system.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u) << "root's folder was made private";
  EXPECT_FALSE(exists(system + "/private.key"));
}

// Replacing the user's own key file leaves it the user's, so the user's
// server can still read it; links that root or the user owns, in folders
// nobody else may change, are followed; a sticky folder such as /tmp is no
// obstacle.
TEST_F(RootKeyPathTest, ReplacedKeyFileKeepsItsOwner) {
  std::string keyFile = home + "/.zav/private.key";
  ProgramResult r = run(keyFile, false);
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(chown(keyFile.c_str(), aliceUid, aliceGid), 0);
  std::string first = slurp(keyFile);

  // The same folder through the user's own link to it.
  makeLink(".zav", home + "/own", aliceUid);
  for (const std::string& chosen : {keyFile, home + "/own/private.key"}) {
    SCOPED_TRACE(chosen);
    r = run(chosen, true);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    struct stat st;
    ASSERT_EQ(lstat(keyFile.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_uid, aliceUid);
    EXPECT_EQ(st.st_gid, aliceGid);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    std::string now = slurp(keyFile);
    EXPECT_EQ(now.size(), 1416u);
    EXPECT_NE(now, first);
    first = now;
  }
  // Root's new key file in a sticky folder of root's.
  std::string sticky = scratch / "sticky";
  ASSERT_EQ(mkdir(sticky.c_str(), 0700), 0);
  ASSERT_EQ(chmod(sticky.c_str(), 01777), 0);
  r = run(sticky + "/private.key", false);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(sticky + "/private.key").size(), 1416u);
}

// A temporary file that a killed run left beside the key file is removed by
// the next run; one that a run still going holds (locked) stays.
TEST_F(RootKeyPathTest, TemporaryFileOfAKilledRunIsRemoved) {
  std::string keyFile = home + "/.zav/private.key";
  std::string stale = home + "/.zav/.zavkeyStale1", inUse = home + "/.zav/.zavkeyInUse2";
  writeFile(stale, "0000040", 0600);
  writeFile(inUse, "0000", 0600);
  ASSERT_EQ(chown(stale.c_str(), aliceUid, aliceGid), 0);
  int held = open(inUse.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  // Not the program's own names: left alone.
  writeFile(home + "/.zavkeyStale3", "x", 0600);
  writeFile(home + "/.zav/.zavkeyToo_long", "x", 0600);

  ProgramResult r = run(keyFile, true);
  close(held);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(keyFile).size(), 1416u);
  EXPECT_FALSE(exists(stale));
  EXPECT_TRUE(exists(inUse));
  EXPECT_TRUE(exists(home + "/.zavkeyStale3"));
  EXPECT_TRUE(exists(home + "/.zav/.zavkeyToo_long"));
}

// In a sticky folder such as /tmp, a file of another user's with a
// temporary file's name is theirs, not a leftover: root leaves it; its own
// leftover there goes.
TEST_F(RootKeyPathTest, OtherUsersFileInAStickyFolderStays) {
  std::string sticky = scratch / "sticky";
  ASSERT_EQ(mkdir(sticky.c_str(), 0700), 0);
  ASSERT_EQ(chmod(sticky.c_str(), 01777), 0);
  std::string theirs = sticky + "/.zavkeyAlice1", own = sticky + "/.zavkeyRoot01";
  writeFile(theirs, "alice's\n", 0600);
  ASSERT_EQ(chown(theirs.c_str(), aliceUid, aliceGid), 0);
  writeFile(own, "0000", 0600);

  ProgramResult r = run(sticky + "/private.key", false);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(sticky + "/private.key").size(), 1416u);
  EXPECT_EQ(slurp(theirs), "alice's\n");
  EXPECT_FALSE(exists(own));
}

// Where the key's folder takes no new file (here made immutable; on a home
// folder that root may not write to, the same), the key file is written in
// place. A key file with other names is not: the user could have linked any
// file of the same disk there, root's own included, and root would overwrite
// it. A key file of its own is still written in place.
TEST_F(RootKeyPathTest, HardLinkedKeyFileIsNotWrittenInPlace) {
  struct Case {
    const char* name;
    bool linked;
  };
  for (const Case& c : {Case{"linked", true}, Case{"own", false}}) {
    SCOPED_TRACE(c.name);
    std::string folder = home + "/" + c.name, keyFile = folder + "/private.key";
    makeFolder(folder, aliceUid, 0700);
    if (c.linked) {
      ASSERT_EQ(link((secret + "/file").c_str(), keyFile.c_str()), 0);
    } else {
      writeFile(keyFile, "old key\n", 0644);
      ASSERT_EQ(chown(keyFile.c_str(), aliceUid, aliceGid), 0);
    }
    int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(dir, 0);
    int flags = 0;
    if (ioctl(dir, FS_IOC_GETFLAGS, &flags) != 0) {
      close(dir);
      GTEST_SKIP() << "the file system keeps no immutable flag";
    }
    int immutable = flags | FS_IMMUTABLE_FL;
    ASSERT_EQ(ioctl(dir, FS_IOC_SETFLAGS, &immutable), 0);
    ProgramResult r = run(keyFile, true);
    ASSERT_EQ(ioctl(dir, FS_IOC_SETFLAGS, &flags), 0);
    close(dir);

    struct stat st;
    ASSERT_EQ(stat(keyFile.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    if (c.linked) {
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, "failed: Error generating private key: Cannot store the private key in " +
                           keyFile +
                           ": its folder takes no new file, and root does not write a file "
                           "with hard links in place; it was left untouched\n");
      EXPECT_EQ(slurp(secret + "/file"), "root only\n");
    } else {
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(slurp(keyFile).size(), 1416u);
      EXPECT_EQ(st.st_uid, aliceUid);
    }
  }
}

} // namespace
