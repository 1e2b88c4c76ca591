#include "ui/DirBrowser.h"

#include "plat/Exception.h"
#include "plat/TimerManager.h"
#include "ui/WFileList.h"

#include "FileContents.h"
#include "TempDir.h"
#include "ThrownMessage.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using testing_support::TempDir;
using testing_support::writeFile;

// Every entry of a listing as "name" or "name/", sorted; a failing entry as
// "!<message>".
std::vector<std::string> listAll(ui::DirBrowser& b) {
  std::vector<std::string> out;
  b.startListing();
  for (;;) {
    std::string name;
    bool dir = false;
    try {
      if (!b.nextItem(&name, &dir))
        break;
      out.push_back(dir ? name + "/" : name);
    } catch (plat::Exception& e) {
      out.push_back(std::string("!") + e.str());
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::string realPath(const std::string& p) {
  char buf[PATH_MAX];
  return realpath(p.c_str(), buf) ? buf : "";
}

// Permission bits do not stop root: runs the check as an ordinary user
// (nobody) in a child when the test runs as root. The tree must be
// reachable for that user.
bool asOrdinaryUser(const std::function<bool()>& check) {
  if (geteuid() != 0)
    return check();
  pid_t child = fork();
  if (child < 0)
    return false;
  if (child == 0)
    _exit(setgid(65534) == 0 && setuid(65534) == 0 && check() ? 0 : 1);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct DirBrowserFixture : ::testing::Test {
  DirBrowserFixture() {
    chmod(dir.path().c_str(), 0755);
    root = realPath(dir.path());
    writeFile(dir / ".hidden", "h");
    writeFile(dir / "plain", "p");
    mkdir((dir / "sub").c_str(), 0755);
    browser.setPath(root.c_str());
  }

  TempDir dir;
  std::string root;
  ui::DirBrowser browser;
};

TEST_F(DirBrowserFixture, FlagsChooseFilesAndHiddenEntries) {
  struct Case {
    uint32_t flags;
    std::vector<std::string> listed;
  } cases[] = {
      {1, {"../", "plain", "sub/"}},
      {5, {"../", ".hidden", "plain", "sub/"}},
      {0, {"../", "sub/"}},
      {4, {"../", "sub/"}},
  };
  EXPECT_EQ(1u, browser.getFlags());
  for (const Case& c : cases) {
    browser.setFlags(c.flags);
    EXPECT_EQ(c.listed, listAll(browser)) << "flags " << c.flags;
  }
}

TEST_F(DirBrowserFixture, ListingEndsAndCanStartAgain) {
  std::string name;
  bool isDir = false;
  ui::DirBrowser fresh;
  EXPECT_EQ(nullptr, fresh.getPath());
  EXPECT_FALSE(fresh.nextItem(&name, &isDir)) << "no listing started";
  // Starting again before the end lets the first listing go.
  browser.startListing();
  ASSERT_TRUE(browser.nextItem(&name, &isDir));
  EXPECT_EQ((std::vector<std::string>{"../", "plain", "sub/"}), listAll(browser));
  EXPECT_FALSE(browser.nextItem(&name, &isDir));
}

TEST_F(DirBrowserFixture, SetPathStoresTheResolvedPathOrTheUnresolvableOneAsGiven) {
  symlink((root + "/sub").c_str(), (dir / "link").c_str());
  struct Case {
    std::string given, stored;
  } cases[] = {
      {root + "/sub/../sub/", root + "/sub"},
      {root + "/link", root + "/sub"},
      {root + "/./plain", root + "/plain"},
      {root + "/missing/x/..", root + "/missing/x/.."},
      {"", ""},
  };
  for (const Case& c : cases) {
    browser.setPath(c.given.c_str());
    ASSERT_NE(nullptr, browser.getPath());
    EXPECT_EQ(c.stored, browser.getPath()) << c.given;
  }
}

TEST_F(DirBrowserFixture, TheBaseKeepsThePathAndAcceptsAnything) {
  struct Plain : ui::TreeBrowser {
    void startListing() override {}
    bool nextItem(std::string*, bool*) override { return false; }
  } plain;
  EXPECT_EQ(nullptr, plain.getPath());
  plain.setPath("a/../b");
  EXPECT_STREQ("a/../b", plain.getPath());
  EXPECT_TRUE(plain.canChoose({"", "/nonexistent/x"}));
}

TEST_F(DirBrowserFixture, ListingARemovedDirectoryYieldsNothing) {
  browser.setPath((root + "/sub").c_str());
  rmdir((root + "/sub").c_str());
  EXPECT_TRUE(listAll(browser).empty());
}

TEST_F(DirBrowserFixture, ANonDirectoryCannotBeListed) {
  browser.setPath((root + "/plain").c_str());
  EXPECT_EQ("opendir: Not a directory (20)",
            testing_support::thrownMessage([&] { browser.startListing(); }));
}

TEST_F(DirBrowserFixture, EntriesThatVanishAfterReadingThrowWithTheirPath) {
  for (int i = 0; i < 5; i++)
    writeFile(dir / ("f" + std::to_string(i)), "x");
  symlink((root + "/nowhere").c_str(), (dir / "dangling").c_str());
  std::vector<std::string> failures, listed;
  auto step = [&] {
    std::string name;
    bool isDir = false;
    try {
      if (!browser.nextItem(&name, &isDir))
        return false;
      listed.push_back(name);
    } catch (plat::Exception& e) {
      failures.push_back(e.str());
    }
    return true;
  };
  browser.startListing();
  // The first read fills the stream's buffer with every entry of this small
  // directory; the files removed now are still in it.
  ASSERT_TRUE(step());
  for (int i = 0; i < 5; i++)
    unlink((dir / ("f" + std::to_string(i))).c_str());
  while (step())
    ;
  auto has = [](const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
  };
  EXPECT_TRUE(has(listed, "sub"));
  EXPECT_TRUE(has(listed, "plain"));
  EXPECT_TRUE(has(listed, ".."));
  EXPECT_TRUE(has(failures, "stat(" + root + "/dangling): No such file or directory (2)"));
  for (int i = 0; i < 5; i++) {
    std::string f = "f" + std::to_string(i);
    EXPECT_TRUE(has(listed, f) ||
                has(failures, "stat(" + root + "/" + f + "): No such file or directory (2)"))
        << f;
  }
  EXPECT_EQ(9u, listed.size() + failures.size());
}

TEST_F(DirBrowserFixture, TheFileListShowsWhatCanBeExaminedOfAVanishingTree) {
  symlink((root + "/nowhere").c_str(), (dir / "dangling").c_str());
  plat::TimerManager timers;
  WFileList list(nullptr);
  list.refresh(&browser);
  std::vector<std::string> names;
  for (const WFileList::Item& i : list.items())
    names.push_back(WFileList::displayName(i));
  EXPECT_EQ((std::vector<std::string>{"../", "plain", "sub/"}), names);
}

TEST_F(DirBrowserFixture, UnreadableDirectoriesFailClearlyForAnOrdinaryUser) {
  std::string locked = root + "/locked", blind = root + "/blind";
  mkdir(locked.c_str(), 0755);
  writeFile(locked + "/inside", "x");
  chmod(locked.c_str(), 0);
  // Readable but not searchable: names can be read, entries not examined.
  mkdir(blind.c_str(), 0755);
  writeFile(blind + "/inside", "x");
  chmod(blind.c_str(), 0444);
  std::string problems;
  bool ok = asOrdinaryUser([&] {
    bool good = true;
    // A locked directory is still listed as one.
    good &=
        listAll(browser) == std::vector<std::string>{"../", "blind/", "locked/", "plain", "sub/"};
    ui::DirBrowser b;
    b.setPath(locked.c_str());
    good &= testing_support::thrownMessage([&] { b.startListing(); }) ==
            "opendir: Permission denied (13)";
    b.setPath(blind.c_str());
    good &= listAll(b) ==
            std::vector<std::string>{"!stat(" + blind + "/..): Permission denied (13)",
                                     "!stat(" + blind + "/inside): Permission denied (13)"};
    plat::TimerManager timers;
    WFileList list(nullptr);
    list.refresh(&b);
    good &= list.numItems() == 0;
    return good;
  });
  chmod(locked.c_str(), 0755);
  chmod(blind.c_str(), 0755);
  EXPECT_TRUE(ok);
}

TEST_F(DirBrowserFixture, ChoosingWithoutTheWritableFlagAcceptsAnyPath) {
  browser.setFlags(ui::DirBrowser::ListFiles);
  EXPECT_TRUE(browser.canChoose({"", "/nonexistent/a/b", (root + "/plain").c_str()}));
}

TEST_F(DirBrowserFixture, WritablePathsMayNotExistYetButTheirNearestAncestorMustBeWritable) {
  std::string ro = root + "/ro";
  mkdir(ro.c_str(), 0555);
  browser.setFlags(ui::DirBrowser::ListFiles | ui::DirBrowser::MustBeWritable);
  struct Case {
    std::string path;
    bool writable;
  } cases[] = {
      {root + "/plain", true},
      {root + "/sub", true},
      {root + "/new/deeper", true},
      {root + "/new/deeper/", true},
      {ro, false},
      {ro + "/new", false},
      {ro + "/new/deeper", false},
      {root + "/plain/under-a-file", false},
      {"", false},
      {"relative-name", false},
  };
  if (geteuid() == 0) {
    // The tree (but ro) becomes the ordinary user's.
    for (const std::string& p : {root, root + "/plain", root + "/sub"})
      EXPECT_EQ(0, chown(p.c_str(), 65534, 65534));
  }
  bool ok = asOrdinaryUser([&] {
    bool good = true;
    for (const Case& c : cases) {
      if (browser.canChoose({c.path.c_str()}) != c.writable) {
        fprintf(stderr, "canChoose(%s) is not %d\n", c.path.c_str(), c.writable);
        good = false;
      }
    }
    // Every path must be writable.
    good &= browser.canChoose({(root + "/sub").c_str(), (root + "/new").c_str()});
    good &= !browser.canChoose({(root + "/sub").c_str(), (ro + "/x").c_str()});
    return good;
  });
  chmod(ro.c_str(), 0755);
  EXPECT_TRUE(ok);
}

TEST_F(DirBrowserFixture, AFolderChooserRefusesAnExistingFile) {
  browser.setFlags(ui::DirBrowser::MustBeWritable);
  EXPECT_FALSE(browser.canChoose({(root + "/plain").c_str()}));
  EXPECT_TRUE(browser.canChoose({(root + "/sub").c_str()}));
  EXPECT_TRUE(browser.canChoose({(root + "/new/deeper").c_str()}));
  browser.setFlags(0);
  EXPECT_FALSE(browser.canChoose({(root + "/plain").c_str()}));
  EXPECT_TRUE(browser.canChoose({(root + "/missing").c_str()}));
}

} // namespace
