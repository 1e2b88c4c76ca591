#include "plat/File.h"

#include "plat/DirName.h"
#include "plat/EnvExpandedString.h"
#include "plat/Exception.h"
#include "plat/FileDescriptor.h"
#include "plat/FileOps.h"
#include "plat/ParentDirectory.h"
#include "plat/ReplacementFile.h"

#include "FileContents.h"
#include "TempDir.h"
#include "ThrownMessage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

using testing_support::fileMode;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::tempFilesBeside;
using testing_support::writeFile;

using testing_support::thrownMessage;

namespace {

TEST(FileOps, ExistenceRemovalAndRename) {
  TempDir dir;
  std::string f = dir / "f";
  EXPECT_FALSE(plat::fileExists(f.c_str()));
  EXPECT_FALSE(plat::fileTryRemove(f.c_str()));
  EXPECT_EQ(thrownMessage([&] { plat::fileRemove(f.c_str()); }),
            "fileRemove(" + f + "): No such file or directory (2)");
  writeFile(f, "x");
  EXPECT_TRUE(plat::fileExists(f.c_str()));
  EXPECT_FALSE(plat::isDirectory(f.c_str()));
  EXPECT_TRUE(plat::isDirectory(dir.path().c_str()));
  EXPECT_TRUE(plat::fileTryRename(f.c_str(), (dir / "g").c_str()));
  EXPECT_FALSE(plat::fileTryRename(f.c_str(), (dir / "g").c_str()));
  plat::fileRemove((dir / "g").c_str());
  // A path through a regular file is an error other than "missing".
  writeFile(f, "x");
  EXPECT_EQ(thrownMessage([&] { plat::fileExists((f + "/sub").c_str()); }),
            "fileExists(" + f + "/sub): Not a directory (20)");
}

TEST(FileOps, MkDirAndRmDir) {
  TempDir dir;
  std::string d = dir / "d";
  EXPECT_TRUE(plat::mkDir(d.c_str(), true, false));
  EXPECT_EQ(fileMode(d), 0700);
  EXPECT_FALSE(plat::mkDir(d.c_str(), true, false));
  chmod(d.c_str(), 0755);
  EXPECT_FALSE(plat::mkDir(d.c_str(), false, true)); // not private: left alone
  EXPECT_EQ(fileMode(d), 0755);
  EXPECT_FALSE(plat::mkDir(d.c_str(), true, true));
  EXPECT_EQ(fileMode(d), 0700);
  std::string f = dir / "file";
  writeFile(f, "");
  EXPECT_EQ(thrownMessage([&] { plat::mkDir(f.c_str(), true, false); }),
            "mkDir(" + f + "): File exists (17)");
  plat::rmDir(d.c_str());
  EXPECT_FALSE(plat::isDirectory(d.c_str()));
  EXPECT_EQ(thrownMessage([&] { plat::rmDir(d.c_str()); }),
            "rmDir(" + d + "): No such file or directory (2)");
}

TEST(FileOps, MkDirWithParentsCreatesPrivateDirectories) {
  TempDir dir;
  mode_t old = umask(0);
  std::string c = dir / "a/b/c";
  EXPECT_TRUE(plat::mkDirWithParents(c.c_str(), true, false));
  EXPECT_EQ(fileMode(dir / "a"), 0700);
  EXPECT_EQ(fileMode(dir / "a/b"), 0700);
  EXPECT_EQ(fileMode(c), 0700);
  // Not private: the umask decides (0 here, so 0777).
  EXPECT_TRUE(plat::mkDirWithParents((dir / "p/q").c_str(), false, false));
  EXPECT_EQ(fileMode(dir / "p"), 0777);
  // An existing parent is never made private; the leaf is when asked.
  EXPECT_TRUE(plat::mkDirWithParents((dir / "p/r/s").c_str(), true, true));
  EXPECT_EQ(fileMode(dir / "p"), 0777);
  EXPECT_EQ(fileMode(dir / "p/r"), 0700);
  EXPECT_FALSE(plat::mkDirWithParents((dir / "p/q").c_str(), true, true));
  EXPECT_EQ(fileMode(dir / "p/q"), 0700);
  umask(old);
  writeFile(dir / "file", "");
  EXPECT_EQ(thrownMessage([&] { plat::mkDirWithParents((dir / "file/x/y").c_str(), true, false); }),
            "mkDir(" + dir.path() + "/file/x/y): Not a directory (20)");
}

TEST(FileOps, MakePrivateKeepsOwnerAndSpecialBits) {
  TempDir dir;
  std::string f = dir / "f";
  writeFile(f, "");
  chmod(f.c_str(), 02755);
  plat::fileMakePrivate(f.c_str());
  EXPECT_EQ(fileMode(f), 02700);
  EXPECT_EQ(thrownMessage([&] { plat::fileMakePrivate((dir / "none").c_str()); }),
            "fileMakePrivate/stat(" + dir.path() + "/none): No such file or directory (2)");
}

TEST(FileOps, LockHeldByAnotherProcessIsReported) {
  TempDir dir;
  std::string path = dir / "lock";
  writeFile(path, "data");
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    close(release[1]);
    FILE* f = fopen(path.c_str(), "r+");
    bool ok = f && plat::fileLock(f, false);
    char c = ok ? 'y' : 'n';
    if (write(ready[1], &c, 1) != 1)
      _exit(2);
    // Hold the lock until the parent closes its end.
    ssize_t n = read(release[0], &c, 1);
    _exit(n == 0 && ok ? 0 : 1);
  }
  close(ready[1]);
  close(release[0]);
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  EXPECT_EQ(c, 'y');
  plat::File f(path.c_str(), plat::File::modeUpdate, true);
  EXPECT_FALSE(plat::fileLock(f.get(), false));
  close(release[1]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  close(ready[0]);
  // Released with the child's exit: now it is ours, waiting or not.
  EXPECT_TRUE(plat::fileLock(f.get(), false));
  EXPECT_TRUE(plat::fileLock(f.get(), true));
  plat::fileUnlock(f.get());
  plat::File readOnly(path.c_str(), plat::File::modeRead, true);
  EXPECT_EQ(thrownMessage([&] { plat::fileLock(readOnly.get(), false); }),
            "fileLock: Bad file descriptor (9)");
}

TEST(FileOps, SizeAndTruncate) {
  TempDir dir;
  std::string path = dir / "f";
  writeFile(path, "0123456789");
  plat::File f(path.c_str(), plat::File::modeUpdate, true);
  fseek(f.get(), 3, SEEK_SET);
  EXPECT_EQ(plat::fileSize(f.get()), 10);
  EXPECT_EQ(ftell(f.get()), 3);
  plat::fileTruncate(f.get(), 4);
  EXPECT_EQ(plat::fileSize(f.get()), 4);
  plat::File r(path.c_str(), plat::File::modeRead, true);
  EXPECT_EQ(thrownMessage([&] { plat::fileTruncate(r.get(), 0); }),
            "fileTruncate(ftruncate): Invalid argument (22)");
}

TEST(File, OpenModes) {
  TempDir dir;
  std::string path = dir / "f";
  EXPECT_EQ(thrownMessage([&] { plat::File f(path.c_str(), plat::File::modeRead, false); }),
            "fileOpen(" + path + "): No such file or directory (2)");
  EXPECT_EQ(thrownMessage([&] { plat::File f(path.c_str(), plat::File::modeUpdate, false); }),
            "fileOpen(" + path + "): No such file or directory (2)");
  {
    plat::File f(path.c_str(), plat::File::modeUpdateOrCreate, true);
    f.writeText("abc");
  }
  EXPECT_EQ(readFile(path), "abc");
  {
    plat::File f(path.c_str(), plat::File::modeUpdateOrCreate, true); // keeps the content
    fseek(f.get(), 0, SEEK_END);
    f.writeText("d");
  }
  EXPECT_EQ(readFile(path), "abcd");
  {
    plat::File f(path.c_str(), plat::File::modeAppend, false);
    f.writeText("e");
  }
  EXPECT_EQ(readFile(path), "abcde");
  { plat::File f(path.c_str(), plat::File::modeWrite, false); }
  EXPECT_EQ(readFile(path), "");
}

bool closeOnExec(int fd) {
  int flags = fcntl(fd, F_GETFD);
  return flags >= 0 && (flags & FD_CLOEXEC) != 0;
}

TEST(File, DescriptorsAreNotInheritedByChildPrograms) {
  // Files stay open while the program launches others (the log file for
  // good); a child program must not inherit them.
  TempDir dir;
  std::string path = dir / "f";
  writeFile(path, "x");
  for (int mode = plat::File::modeRead; mode <= plat::File::modeReadWrite; mode++) {
    for (bool binary : {false, true}) {
      plat::File f(path.c_str(), mode, binary);
      EXPECT_TRUE(closeOnExec(fileno(f.get()))) << "mode " << mode << " binary " << binary;
    }
  }
  plat::fileRemove(path.c_str());
  {
    plat::File created(path.c_str(), plat::File::modeUpdateOrCreate, false);
    EXPECT_TRUE(closeOnExec(fileno(created.get()))) << "created for update";
  }
  FILE* raw = plat::fileOpen(path.c_str(), "r");
  EXPECT_TRUE(closeOnExec(fileno(raw))) << "fileOpen";
  fclose(raw);
  plat::FileDescriptor key((dir / "key").c_str());
  EXPECT_TRUE(closeOnExec(key.get())) << "FileDescriptor";
}

TEST(File, UpdateOrCreateNeverTruncatesAFileCreatedMeanwhile) {
  // Another process may create and fill the file while it is being opened
  // (open-or-create, then lock, is how shared files are taken): opening for
  // update must never truncate what that process wrote. The race is rare;
  // rounds are repeated until it shows or the budget is spent.
  TempDir dir;
  std::string path = dir / "shared";
  int rounds = 0;
  int truncated = 0;
  for (; rounds < 2000 && truncated == 0; rounds++) {
    unlink(path.c_str());
    std::atomic<bool> go{false};
    std::thread other([&] {
      while (!go) {
      }
      int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
      if (fd >= 0) {
        EXPECT_EQ(::write(fd, "data", 4), 4);
        ::close(fd);
      }
    });
    go = true;
    { plat::File f(path.c_str(), plat::File::modeUpdateOrCreate, true); }
    other.join();
    if (readFile(path) != "data")
      truncated++;
  }
  EXPECT_EQ(truncated, 0) << "after " << rounds << " rounds";
}

TEST(File, DashIsStandardStreamNeverClosed) {
  {
    plat::File out("-", plat::File::modeWrite, false);
    EXPECT_EQ(out.get(), stdout);
    EXPECT_FALSE(out.isOwned());
    out.reset();
  }
  {
    plat::File in("-", plat::File::modeRead, true);
    EXPECT_EQ(in.get(), stdin);
  }
  plat::File app("-", plat::File::modeAppend, false);
  EXPECT_EQ(app.get(), stdout);
  EXPECT_NE(fcntl(fileno(stdout), F_GETFD), -1);
  EXPECT_NE(fcntl(fileno(stdin), F_GETFD), -1);
  for (int mode : {3, 4, 5, 6})
    EXPECT_EQ(thrownMessage([&] { plat::File f("-", mode, false); }),
              "Invalid mode for filename \"-\"");
}

TEST(File, ReadLine) {
  TempDir dir;
  std::string path = dir / "lines";
  std::string longLine(1000, 'x');
  writeFile(path, "first\n\n" + longLine + "\nlast without newline");
  plat::File f(path.c_str(), plat::File::modeRead, true);
  plat::DString line;
  std::vector<std::string> lines;
  while (f.readLine(line))
    lines.push_back(line.c_str());
  EXPECT_EQ(lines, (std::vector<std::string>{"first", "", longLine, "last without newline"}));
  EXPECT_FALSE(f.readLine(line));

  // Reading a directory fails with a read error.
  plat::File d(dir.path().c_str(), plat::File::modeRead, false);
  EXPECT_EQ(thrownMessage([&] { d.readLine(line); }),
            "Error reading from file: Is a directory (21)");
}

// A line holding a NUL byte cannot be returned whole: it is an error, and the
// lines after it are read as usual.
TEST(File, ReadLineWithANulByte) {
  TempDir dir;
  std::string path = dir / "lines";
  writeFile(path, std::string("before\nhalf\0rest\nafter\n\0", 24));
  plat::File f(path.c_str(), plat::File::modeRead, true);
  plat::DString line;
  ASSERT_TRUE(f.readLine(line));
  EXPECT_STREQ(line.c_str(), "before");
  EXPECT_EQ(thrownMessage([&] { f.readLine(line); }), "NUL character in line");
  ASSERT_TRUE(f.readLine(line));
  EXPECT_STREQ(line.c_str(), "after");
  EXPECT_EQ(thrownMessage([&] { f.readLine(line); }), "NUL character in line")
      << "a last line without newline";
  EXPECT_FALSE(f.readLine(line));
}

TEST(ReplacementFile, CommitReplacesAndKeepsPermissions) {
  TempDir dir;
  std::string target = dir / "config";
  mode_t old = umask(077);
  writeFile(target, "old");
  chmod(target.c_str(), 0644);
  {
    plat::ReplacementFile r(target.c_str(), true);
    EXPECT_EQ(std::string(r.getTempName()).rfind(target + ".tmp-", 0), 0u) << r.getTempName();
    r.writeText("new");
    EXPECT_EQ(readFile(target), "old");
    r.commit();
  }
  EXPECT_EQ(readFile(target), "new");
  EXPECT_EQ(fileMode(target), 0644); // the umask does not narrow it
  umask(022);
  chmod(target.c_str(), 0600);
  {
    plat::ReplacementFile r(target.c_str(), false);
    r.writeText("private");
    r.commit();
  }
  EXPECT_EQ(fileMode(target), 0600); // a private file stays private
  EXPECT_TRUE(tempFilesBeside(target).empty());
  std::string fresh = dir / "fresh";
  {
    plat::ReplacementFile r(fresh.c_str(), false);
    r.commit();
  }
  EXPECT_EQ(fileMode(fresh), 0644);
  umask(old);
}

TEST(ReplacementFile, SavesOfOneTargetAtTheSameTimeEachInstallAWholeFile) {
  // Two saves of one file overlap (two instances of a program saving the
  // same settings): each writes its own temporary file, so neither installs
  // or removes the other's unfinished content, and whichever commits last
  // leaves its whole file.
  TempDir dir;
  std::string target = dir / "config";
  writeFile(target, "original");
  struct Case {
    const char* label;
    bool firstCommits; // otherwise the first is abandoned
  } cases[] = {{"first commits", true}, {"first abandoned", false}};
  for (const Case& c : cases) {
    auto first = std::make_unique<plat::ReplacementFile>(target.c_str(), true);
    first->writeText("first");
    plat::ReplacementFile second(target.c_str(), true);
    EXPECT_STRNE(first->getTempName(), second.getTempName()) << c.label;
    second.writeText("second, ");
    if (c.firstCommits) {
      first->commit();
      EXPECT_EQ(readFile(target), "first") << c.label;
    }
    first.reset();
    EXPECT_TRUE(plat::fileExists(second.getTempName())) << c.label;
    second.writeText("complete");
    second.commit();
    EXPECT_EQ(readFile(target), "second, complete") << c.label;
    EXPECT_TRUE(tempFilesBeside(target).empty()) << c.label;
    writeFile(target, "original");
  }
}

TEST(ReplacementFile, ManySavesAtOnceNeverInstallAnUnfinishedFile) {
  // Processes saving the same file over and over: the file read at any time
  // is always one writer's whole content.
  TempDir dir;
  std::string target = dir / "config";
  const std::string whole(20000, 'x');
  writeFile(target, whole);
  std::vector<pid_t> children;
  for (int i = 0; i < 3; i++) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      try {
        for (int n = 0; n < 100; n++) {
          plat::ReplacementFile r(target.c_str(), true);
          for (size_t at = 0; at < whole.size(); at += 1000) {
            r.write(whole.data() + at, 1000);
            fflush(r.get());
          }
          r.commit();
        }
      } catch (const plat::Exception&) {
        _exit(3);
      }
      _exit(0);
    }
    children.push_back(child);
  }
  // Read while they write, until all have ended.
  for (size_t running = children.size(); running > 0;) {
    EXPECT_EQ(readFile(target).size(), whole.size());
    for (pid_t& child : children) {
      int status = 0;
      if (child > 0 && waitpid(child, &status, WNOHANG) == child) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        child = -1;
        running--;
      }
    }
  }
  EXPECT_EQ(readFile(target), whole);
  EXPECT_TRUE(tempFilesBeside(target).empty());
}

TEST(ReplacementFile, AnotherProgramsFileBesideTheTargetIsLeftAlone) {
  // "<target>.tmp" may be another program's temporary file: it is neither
  // removed nor written.
  TempDir dir;
  std::string target = dir / "config";
  writeFile(target + ".tmp", "theirs");
  {
    plat::ReplacementFile r(target.c_str(), true);
    r.writeText("ours");
    r.commit();
  }
  {
    plat::ReplacementFile r(target.c_str(), true);
    r.writeText("abandoned");
  }
  EXPECT_EQ(readFile(target), "ours");
  EXPECT_EQ(readFile(target + ".tmp"), "theirs");
}

TEST(ReplacementFile, TempFilesLeftByKilledSavesAreRemovedOnceStale) {
  // A save killed before its rename leaves "<target>.tmp-XXXXXXXX". The next
  // save that succeeds removes such files once they are an hour old; a
  // younger one may belong to a save still running, and anything that is not
  // exactly such a file of ours is not ours to remove.
  TempDir dir;
  std::string target = dir / "config";
  std::string victim = dir / "victim";
  writeFile(victim, "precious");
  const time_t twoHoursAgo = time(nullptr) - 2 * 60 * 60;
  struct Case {
    const char* label;
    std::string name;
    bool old;
    bool isLink;
    bool hardLinked;
    bool removed;
  } cases[] = {
      {"stale temp", target + ".tmp-Ab3xY9q0", true, false, false, true},
      {"another stale temp", target + ".tmp-zzzzzzzz", true, false, false, true},
      {"temp of a save still running", target + ".tmp-Fresh123", false, false, false, false},
      {"letters outside the alphabet", target + ".tmp-Ab3x.9q0", true, false, false, false},
      {"one letter too many", target + ".tmp-Ab3xY9q0x", true, false, false, false},
      {"another target's temp", dir / "configs.tmp-Ab3xY9q0", true, false, false, false},
      {"a link of that name", target + ".tmp-LinkLink", true, true, false, false},
      {"a file with another name too", target + ".tmp-HardLink", true, false, true, false},
  };
  const struct timeval twoHoursOld[2] = {{twoHoursAgo, 0}, {twoHoursAgo, 0}};
  for (const Case& c : cases) {
    if (c.isLink) {
      ASSERT_EQ(symlink(victim.c_str(), c.name.c_str()), 0) << c.label;
      ASSERT_EQ(lutimes(c.name.c_str(), twoHoursOld), 0) << c.label;
      continue;
    }
    writeFile(c.name, "left over");
    if (c.hardLinked) {
      ASSERT_EQ(link(c.name.c_str(), (dir / "other-name").c_str()), 0) << c.label;
    }
    if (c.old) {
      ASSERT_EQ(utimes(c.name.c_str(), twoHoursOld), 0) << c.label;
    }
  }
  {
    // An abandoned save tidies nothing.
    plat::ReplacementFile r(target.c_str(), true);
    r.writeText("abandoned");
  }
  for (const Case& c : cases) {
    struct stat st;
    EXPECT_EQ(lstat(c.name.c_str(), &st), 0) << c.label;
  }
  {
    plat::ReplacementFile r(target.c_str(), true);
    r.writeText("new");
    r.commit();
  }
  EXPECT_EQ(readFile(target), "new");
  for (const Case& c : cases) {
    struct stat st;
    EXPECT_EQ(lstat(c.name.c_str(), &st) != 0, c.removed) << c.label;
  }
  EXPECT_EQ(readFile(victim), "precious");
}

TEST(ReplacementFile, AbandonedLeavesTargetAndRemovesTemp) {
  TempDir dir;
  std::string target = dir / "config";
  writeFile(target, "old");
  {
    plat::ReplacementFile r(target.c_str(), true);
    r.writeText("half");
  }
  EXPECT_EQ(readFile(target), "old");
  EXPECT_TRUE(tempFilesBeside(target).empty());
}

TEST(ReplacementFile, StaleTempOrLinkIsNotFollowed) {
  TempDir dir;
  std::string target = dir / "config";
  std::string victim = dir / "victim";
  writeFile(victim, "precious");
  ASSERT_EQ(symlink(victim.c_str(), (target + ".tmp").c_str()), 0);
  {
    plat::ReplacementFile r(target.c_str(), true);
    r.writeText("new");
    r.commit();
  }
  EXPECT_EQ(readFile(victim), "precious");
  EXPECT_EQ(readFile(target), "new");
}

TEST(ReplacementFile, FailedRenameRemovesTemp) {
  TempDir dir;
  std::string target = dir / "busy";
  ASSERT_TRUE(plat::mkDir(target.c_str(), true, false));
  writeFile(target + "/inside", "x"); // a non-empty directory cannot be replaced
  plat::ReplacementFile r(target.c_str(), true);
  r.writeText("data");
  const std::string temp = r.getTempName();
  EXPECT_EQ(thrownMessage([&] { r.commit(); }),
            "fileRename(" + temp + "," + target + "): Is a directory (21)");
  EXPECT_TRUE(tempFilesBeside(target).empty());
  EXPECT_EQ(readFile(target + "/inside"), "x");
}

TEST(ReplacementFile, FailedWriteOrFlushRemovesTempAndKeepsTarget) {
  // A file size limit makes the writes fail with EFBIG; it is set in a child
  // so that nothing else of the test run is limited.
  TempDir dir;
  std::string target = dir / "config";
  writeFile(target, "original");
  struct Case {
    size_t bytes; // below stdio's buffer the failure shows only at commit
  } cases[] = {{100}, {100000}};
  for (const Case& c : cases) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      signal(SIGXFSZ, SIG_IGN);
      struct rlimit limit = {10, 10};
      setrlimit(RLIMIT_FSIZE, &limit);
      try {
        plat::ReplacementFile r(target.c_str(), true);
        std::string big(c.bytes, 'x');
        r.write(big.data(), big.size());
        r.commit();
      } catch (const plat::SystemException& e) {
        bool expected =
            e.getErrno() == EFBIG && (strncmp(e.str(), "fileFlush(", 10) == 0 ||
                                      strncmp(e.str(), "Error writing to file", 21) == 0);
        _exit(expected ? 0 : 3);
      }
      _exit(4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.bytes << " " << status;
    EXPECT_EQ(readFile(target), "original");
    EXPECT_TRUE(tempFilesBeside(target).empty()) << c.bytes;
  }
}

// Saving a file whose path is a symbolic link replaces the file the link
// leads to (through a chain of links, relative or absolute, even a dangling
// one); the links stay as they were.
TEST(ReplacementFile, LinkedTargetIsReplacedAndTheLinkStays) {
  TempDir dir;
  ASSERT_TRUE(plat::mkDir((dir / "real").c_str(), false, false));
  std::string real = dir / "real/config";
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> links; // link, text
    std::string saved;                                      // the path given
    bool targetExists;
  } cases[] = {
      {"absolute link", {{dir / "link", real}}, dir / "link", true},
      {"relative link", {{dir / "link", "real/config"}}, dir / "link", true},
      {"chain of links", {{dir / "a", "b"}, {dir / "b", real}}, dir / "a", true},
      {"dangling link", {{dir / "link", "real/config"}}, dir / "link", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.targetExists) {
      writeFile(real, "old");
      chmod(real.c_str(), 0600);
    }
    for (const auto& l : c.links)
      ASSERT_EQ(symlink(l.second.c_str(), l.first.c_str()), 0);
    {
      plat::ReplacementFile r(c.saved.c_str(), true);
      EXPECT_EQ(std::string(r.getTargetName()), real);
      r.writeText("new");
      r.commit();
    }
    EXPECT_EQ(readFile(real), "new");
    EXPECT_EQ(readFile(c.saved), "new");
    if (c.targetExists) {
      EXPECT_EQ(fileMode(real), 0600);
    }
    for (const auto& l : c.links) {
      char text[PATH_MAX] = "";
      EXPECT_EQ(readlink(l.first.c_str(), text, sizeof text - 1), ssize_t(l.second.size()))
          << l.first << " is no longer a link";
      EXPECT_EQ(std::string(text), l.second);
      unlink(l.first.c_str());
    }
    EXPECT_TRUE(tempFilesBeside(real).empty());
    unlink(real.c_str());
  }
}

TEST(ReplacementFile, LinkLoopIsReported) {
  TempDir dir;
  std::string a = dir / "a", b = dir / "b";
  ASSERT_EQ(symlink("b", a.c_str()), 0);
  ASSERT_EQ(symlink("a", b.c_str()), 0);
  EXPECT_EQ(thrownMessage([&] { plat::ReplacementFile r(a.c_str(), true); }),
            "fileOpen(" + a + "): Too many levels of symbolic links (40)");
}

// A file rewritten where it lies takes the new bytes whatever the old
// length; a write that fails leaves the old content, however far it got.
TEST(FileRewriteInPlace, NewContentOrTheOld) {
  TempDir dir;
  std::string path = dir / "file";
  struct Case {
    const char* old;
    std::string written;
    rlim_t sizeLimit; // 0: none
    const char* result;
  } cases[] = {
      {"0123456789", "short", 0, "short"},
      {"short", "0123456789", 0, "0123456789"},
      {"", "new", 0, "new"},
      {"0123456789", "", 0, ""},
      {"0123456789", "abcdefghijklmnopqrst", 15, "0123456789"},
      {"0123456789", "abcdefghijklmnopqrst", 5, "0123456789"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written + " over " + c.old);
    writeFile(path, c.old);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      signal(SIGXFSZ, SIG_IGN);
      if (c.sizeLimit) {
        struct rlimit limit = {c.sizeLimit, c.sizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
      }
      int fd = open(path.c_str(), O_RDWR);
      try {
        plat::fileRewriteInPlace(fd, c.written.data(), c.written.size(), path.c_str());
      } catch (const plat::SystemException& e) {
        _exit(e.getErrno() == EFBIG && e.str() == "fileRewrite(" + path + "): File too large (27)"
                  ? 1
                  : 3);
      }
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.sizeLimit ? 1 : 0);
    EXPECT_EQ(readFile(path), c.result);
  }
}

TEST(FileDescriptor, CreatesExclusivePrivateFile) {
  TempDir dir;
  std::string path = dir / "key";
  mode_t old = umask(0);
  {
    plat::FileDescriptor fd(path.c_str());
    EXPECT_EQ(fd.write("abc", 3), 3u);
    fd.close();
    EXPECT_EQ(fd.get(), -1);
    fd.close();
  }
  umask(old);
  EXPECT_EQ(readFile(path), "abc");
  EXPECT_EQ(fileMode(path), 0600);
  EXPECT_EQ(thrownMessage([&] { plat::FileDescriptor again(path.c_str()); }),
            "open: File exists (17)");
  plat::FileDescriptor other((dir / "other").c_str());
  other.close();
  EXPECT_EQ(thrownMessage([&] { other.write("x", 1); }), "write: Bad file descriptor (9)");
}

TEST(Paths, DirName) {
  struct Case {
    const char* path;
    const char* dir;
  } cases[] = {
      {"a/b", "a"},  {"a/b/", "a"},      {"/home", "/"}, {"/", "/"},
      {"file", "."}, {"/x/y/z", "/x/y"}, {"", "."},
  };
  for (const Case& c : cases)
    EXPECT_STREQ(plat::DirName(c.path).c_str(), c.dir) << c.path;
}

TEST(Paths, ParentDirectory) {
  struct Case {
    const char* path;
    const char* parent; // or the exception message
    bool isRoot;
  } cases[] = {
      {"/home/user/file", "/home/user/", false},
      {"/home", "/", true},
      {"/home/", "/", true},
      {"a/b/", "a/", false},
      {"a/b", "a/", false},
      {"file", "NotAPath: file", false},
      {"file/", "NotAPath: file/", false},
      {"/", "PathIsRoot: /", false},
  };
  for (const Case& c : cases) {
    try {
      plat::ParentDirectory p(c.path);
      EXPECT_STREQ(p.c_str(), c.parent) << c.path;
      EXPECT_EQ(p.isRoot(), c.isRoot) << c.path;
    } catch (const plat::Exception& e) {
      EXPECT_STREQ(e.str(), c.parent) << c.path;
    }
  }
  EXPECT_NE(thrownMessage([] { plat::ParentDirectory p(nullptr); }).find("'path != 0' failed"),
            std::string::npos);
}

TEST(EnvExpandedString, Forms) {
  setenv("ZAV_TEST_HOME", "/home/d$llar", 1);
  unsetenv("ZAV_TEST_UNSET");
  plat::EnvExpandedString::Variables vars = {{"MAPPED", "m"}, {"ZAV_TEST_HOME", "fromMap"}};
  struct Case {
    const char* text;
    bool withMap;
    const char* expanded; // or the exception message
  } cases[] = {
      {"$ZAV_TEST_HOME/x", false, "/home/d$llar/x"},
      {"${ZAV_TEST_HOME}x", false, "/home/d$llarx"},
      {"$ZAV_TEST_HOME}x", false, "/home/d$llarx"},
      {"$ZAV_TEST_HOME/x", true, "fromMap/x"},
      {"$MAPPED.log", true, "m.log"},
      {"cost $5", false, "cost $5"},
      {"end$", false, "end$"},
      {"a${}b", false, "a$b"},
      {"$ ", false, "$ "},
      {"${ZAV_TEST_HOME", false, "/home/d$llar"},
      {"no variables", false, "no variables"},
      {"", false, ""},
      {"$ZAV_TEST_UNSET/x", false, "unknown environment variable: ZAV_TEST_UNSET"},
      {"${ZAV TEST}", false, "unknown environment variable: ZAV TEST"},
      {"$MAPPED", false, "unknown environment variable: MAPPED"},
  };
  for (const Case& c : cases) {
    try {
      plat::EnvExpandedString s(c.text, c.withMap ? &vars : nullptr);
      EXPECT_STREQ(s.c_str(), c.expanded) << c.text;
    } catch (const plat::Exception& e) {
      EXPECT_STREQ(e.str(), c.expanded) << c.text;
    }
  }
  unsetenv("ZAV_TEST_HOME");
}

} // namespace
