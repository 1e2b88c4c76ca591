#include "plat/unix/LaunchProcess.h"

#include "plat/Exception.h"

#include "FileContents.h"
#include "OpenDescriptors.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using os::LaunchProcess;

namespace {

using testing_support::readFile;
using testing_support::TempDir;

// Reads the descriptor to its end and closes it.
std::string readAll(int fd) {
  std::string s;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof(buf))) > 0 || (n < 0 && errno == EINTR))
    if (n > 0)
      s.append(buf, static_cast<size_t>(n));
  close(fd);
  return s;
}

void writeAll(int fd, const std::string& s) {
  ASSERT_EQ(write(fd, s.data(), s.size()), static_cast<ssize_t>(s.size()));
}

plat::StringVector sh(const char* script) {
  return {"/bin/sh", "-c", script};
}

int exitStatus(LaunchProcess& l) {
  int status = l.wait();
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Polls a condition that another process makes true, for at most 10 s.
bool eventually(const std::function<bool()>& condition) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// The children of this process, as "pid state" pairs.
std::vector<std::pair<int, char>> children() {
  std::vector<std::pair<int, char>> out;
  DIR* d = opendir("/proc");
  while (dirent* e = readdir(d)) {
    int pid = atoi(e->d_name);
    if (pid <= 0)
      continue;
    std::string stat = readFile(std::string("/proc/") + e->d_name + "/stat");
    size_t paren = stat.rfind(')');
    if (paren == std::string::npos)
      continue;
    char state = 0;
    int ppid = 0;
    if (sscanf(stat.c_str() + paren + 1, " %c %d", &state, &ppid) == 2 && ppid == getpid())
      out.emplace_back(pid, state);
  }
  closedir(d);
  return out;
}

int count(const std::vector<std::pair<int, char>>& procs, bool zombies) {
  int n = 0;
  for (const auto& p : procs)
    n += (p.second == 'Z') == zombies;
  return n;
}

using testing_support::openDescriptors;

// Runs the body in a child process and gives the status it exits with (-1
// when it did not exit). The body may end the process itself.
int inChildProcess(const std::function<int()>& body) {
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    try {
      _exit(body());
    } catch (...) {
      _exit(92);
    }
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid)
    return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the body in a child process that cannot fork (its user may have no
// further process) and gives the body's exit status.
int inProcessThatCannotFork(const std::function<int()>& body) {
  return inChildProcess([&] {
    // Root may always fork: become an ordinary user first.
    if (getuid() == 0 && setuid(65534) != 0)
      return 90;
    struct rlimit none = {0, 0};
    if (setrlimit(RLIMIT_NPROC, &none) != 0)
      return 91;
    return body();
  });
}

// Sends this process's standard output, and standard error too, to the file.
void outputTo(const std::string& path, bool errorToo) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(fd, 1);
  if (errorToo)
    dup2(fd, 2);
  close(fd);
}

// ---------------------------------------------------------------------------

TEST(LaunchProcess, DefaultsToDevNullInputAndParentOutput) {
  TempDir dir;
  std::string out = dir.file("out.txt");
  // The launch runs in a helper process whose standard output is a file, so
  // that what the launched program inherits can be seen.
  EXPECT_EQ(inChildProcess([&] {
              outputTo(out, true);
              LaunchProcess l(sh("readlink /proc/self/fd/0; cat; echo err >&2"), false);
              l.start();
              int status = l.wait();
              return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
            }),
            0);
  EXPECT_EQ(readFile(out), "/dev/null\nerr\n");
}

TEST(LaunchProcess, StdioSocketTalksBothWays) {
  LaunchProcess l(sh("read line; echo \"got $line\""), false);
  int fd = l.redirectStdioSocket();
  EXPECT_GT(l.start(), 0);
  writeAll(fd, "ping\n");
  shutdown(fd, SHUT_WR);
  EXPECT_EQ(readAll(fd), "got ping\n");
  EXPECT_EQ(exitStatus(l), 0);
}

TEST(LaunchProcess, PipesAndSocketPairOnChosenDescriptors) {
  LaunchProcess l(sh("tr a-z A-Z; echo side >&5"), false);
  int in = l.redirectPipe(true, 0);
  int out = l.redirectPipe(false, 1);
  int side = l.redirectSocketPair(5);
  l.start();
  writeAll(in, "hello\n");
  close(in);
  EXPECT_EQ(readAll(out), "HELLO\n");
  EXPECT_EQ(readAll(side), "side\n");
  EXPECT_EQ(exitStatus(l), 0);
}

TEST(LaunchProcess, OutputToFileTruncatesOrAppendsWithMode0600) {
  TempDir dir;
  std::string path = dir.file("log.txt");
  struct Case {
    const char* script;
    bool append;
    const char* content;
  } cases[] = {
      {"echo one; echo two >&2", false, "one\ntwo\n"},
      {"echo three", true, "one\ntwo\nthree\n"},
      {"echo four", false, "four\n"},
  };
  for (const Case& c : cases) {
    LaunchProcess l(sh(c.script), false);
    l.redirectOutputToFile(path.c_str(), c.append);
    l.start();
    EXPECT_EQ(exitStatus(l), 0);
    EXPECT_EQ(readFile(path), c.content) << c.script;
  }
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  LaunchProcess in(sh("cat"), false);
  in.redirectFile(true, 0, path.c_str(), false);
  int out = in.redirectPipe(false, 1);
  in.start();
  EXPECT_EQ(readAll(out), "four\n");
  EXPECT_EQ(exitStatus(in), 0);
}

TEST(LaunchProcess, RedirectingTwiceKeepsTheSecond) {
  LaunchProcess l(sh("echo x"), false);
  int first = l.redirectPipe(false, 1);
  int second = l.redirectPipe(false, 1);
  l.start();
  EXPECT_EQ(readAll(second), "x\n");
  // The replaced write end was closed, so the first pipe is at its end.
  EXPECT_EQ(readAll(first), "");
  EXPECT_EQ(exitStatus(l), 0);
}

// Child descriptor 20 gets pipe q; child descriptor 21 gets the parent's
// descriptor 20. Handing out 20 first must not overwrite what 21 is to get.
TEST(LaunchProcess, RedirectionNeverClobbersAParentDescriptorNumberedLikeAChildOne) {
  int p[2], q[2];
  ASSERT_EQ(pipe(p), 0);
  ASSERT_EQ(pipe(q), 0);
  ASSERT_EQ(dup2(p[1], 20), 20);
  close(p[1]);
  // bash, as dash takes only one-digit descriptors.
  LaunchProcess l({"/bin/bash", "-c", "echo to21 >&21; echo to20 >&20"}, false);
  l.redirect(20, q[1]);
  l.redirect(21, 20);
  l.start();
  EXPECT_EQ(readAll(q[0]), "to20\n");
  EXPECT_EQ(readAll(p[0]), "to21\n");
  EXPECT_EQ(exitStatus(l), 0);
  EXPECT_EQ(fcntl(20, F_GETFD), -1); // the launcher closed what it was given
}

TEST(LaunchProcess, DetachedRunsOnAfterTheLauncherInANewSession) {
  int out;
  {
    LaunchProcess l(sh("echo $$ $(cut -d' ' -f6 /proc/$$/stat) $PPID"), true);
    out = l.redirectPipe(false, 1);
    EXPECT_EQ(l.start(), -1);
    EXPECT_EQ(l.getPid(), -1);
    try {
      l.wait();
      FAIL() << "wait on a detached launch";
    } catch (const plat::Exception& e) {
      EXPECT_STREQ(e.str(), "LaunchProcess: process detached or not started");
    }
  }
  int pid = 0, sid = 0, ppid = 0;
  std::string line = readAll(out);
  ASSERT_EQ(sscanf(line.c_str(), "%d %d %d", &pid, &sid, &ppid), 3) << line;
  EXPECT_EQ(pid, sid); // session leader
  EXPECT_NE(ppid, getpid());
  // The intermediate child was waited for: no child of ours is left.
  EXPECT_EQ(children().size(), 0u);
}

// Output the caller had buffered before a detaching fork appears once: the
// detached process may go on and end through exit() as the caller does.
TEST(LaunchProcess, DetachForkWritesBufferedOutputOnce) {
  TempDir dir;
  std::string out = dir.file("out.txt");
  EXPECT_EQ(inChildProcess([&] {
              outputTo(out, false);
              printf("before;");
              if (LaunchProcess::detachFork())
                printf("detached;");
              exit(0);
              return 0;
            }),
            0);
  ASSERT_TRUE(eventually([&] { return readFile(out).find("detached;") != std::string::npos; }));
  std::string text = readFile(out);
  EXPECT_EQ(text.find("before;"), text.rfind("before;")) << text;
  EXPECT_EQ(text.size(), strlen("before;detached;")) << text;
}

// The program starts with SIGPIPE at its default even when this process
// ignores it (as a process with channels or a co-process does), so that the
// writer in one of its pipelines ends by the signal when the reader goes.
TEST(LaunchProcess, ProgramStartsWithSigPipeAtItsDefault) {
  struct sigaction old;
  ASSERT_EQ(sigaction(SIGPIPE, nullptr, &old), 0);
  signal(SIGPIPE, SIG_IGN);
  LaunchProcess l({"/bin/bash", "-c", "yes | head -n 1 >/dev/null; echo ${PIPESTATUS[0]}"}, false);
  int out = l.redirectPipe(false, 1);
  l.start();
  std::string status = readAll(out);
  sigaction(SIGPIPE, &old, nullptr);
  EXPECT_EQ(status, "141\n"); // 128 + SIGPIPE
  EXPECT_EQ(exitStatus(l), 0);
}

TEST(LaunchProcess, FailedExecEndsTheChildWithStatus1) {
  LaunchProcess l({"/nonexistent/program", "arg"}, false);
  l.start();
  EXPECT_EQ(exitStatus(l), 1);
}

TEST(LaunchProcess, PreExecRunsInTheChildBeforeTheProgram) {
  struct SetEnv : LaunchProcess::Callback {
    void preExec(LaunchProcess*) override { setenv("LAUNCH_TEST_VALUE", "from-child", 1); }
  } callback;
  LaunchProcess l(sh("echo $LAUNCH_TEST_VALUE"), false);
  l.setPreExec(&callback);
  int out = l.redirectPipe(false, 1);
  l.start();
  EXPECT_EQ(readAll(out), "from-child\n");
  EXPECT_EQ(exitStatus(l), 0);
  EXPECT_EQ(getenv("LAUNCH_TEST_VALUE"), nullptr);
}

TEST(LaunchProcess, PollAnswersWithoutBlockingUntilTheChildEnds) {
  LaunchProcess l(sh("read line; exit 3"), false);
  int in = l.redirectPipe(true, 0);
  l.start();
  int status = -1;
  EXPECT_FALSE(l.poll(&status));
  EXPECT_EQ(status, -1);
  close(in);
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!l.poll(&status) && std::chrono::steady_clock::now() < end)
    usleep(1000);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
  // Once reaped it stays ended, with nothing left to wait for.
  EXPECT_TRUE(l.poll(&status));

  LaunchProcess notStarted(sh("true"), false);
  EXPECT_THROW(notStarted.poll(&status), plat::Exception);
}

TEST(LaunchProcess, Failures) {
  LaunchProcess notStarted(sh("true"), false);
  EXPECT_THROW(notStarted.wait(), plat::Exception);

  LaunchProcess l(sh("true"), false);
  try {
    l.redirectFile(true, 0, "/nonexistent/file", false);
    FAIL() << "opened a missing file";
  } catch (const plat::SystemException& e) {
    EXPECT_EQ(std::string(e.str()).rfind("Can't open /nonexistent/file for reading: ", 0), 0u)
        << e.str();
    EXPECT_EQ(e.getErrno(), ENOENT);
  }
  EXPECT_THROW(l.redirectFile(false, 1, "/nonexistent/dir/file", false), plat::SystemException);
}

TEST(LaunchProcessDeathTest, Dup2FromAnUnredirectedDescriptorAborts) {
  EXPECT_DEATH(
      {
        LaunchProcess l(sh("true"), false);
        l.redirectDup2(7, 8);
      },
      "Assertion 'i != childDup_.end\\(\\)' failed at LaunchProcess.cpp:[0-9]+: "
      "redirectDup2: fd 7 not redirected");
}

// Whatever happens to a launch, the descriptors it opened for the child are
// closed: the launcher is gone without starting, or the fork fails. Only the
// parent's ends it returned stay open, for their caller.
TEST(LaunchProcess, ChildDescriptorsAreClosedOnEveryPath) {
  TempDir dir;
  std::string path = dir.file("out.txt");
  std::set<int> before = openDescriptors();
  int kept;
  {
    LaunchProcess l(sh("true"), false);
    l.redirectFile(false, 1, path.c_str(), false);
    kept = l.redirectPipe(true, 0);
    l.redirectDup2(1, 2);
    l.redirectSocketPair(3);
  }
  std::set<int> after = openDescriptors();
  after.erase(kept);
  EXPECT_EQ(after.size(), before.size() + 1); // the socket pair's parent end
  for (int fd : after)
    if (!before.count(fd))
      close(fd);
  close(kept);
  EXPECT_EQ(openDescriptors(), before);

  // 0: all closed; 1: a descriptor left open; 2: no failure; 3: another one.
  struct Case {
    const char* what;
    std::function<int()> body;
  } cases[] = {
      {"start",
       [&] {
         std::set<int> fds = openDescriptors();
         LaunchProcess l(sh("true"), false);
         int parentEnd = l.redirectPipe(false, 1);
         l.redirectFile(false, 2, "/dev/null", true);
         try {
           l.start();
           return 2;
         } catch (const plat::SystemException& e) {
           if (strncmp(e.str(), "fork", 4) != 0)
             return 3;
         }
         close(parentEnd);
         return openDescriptors() == fds ? 0 : 1;
       }},
      {"launchWithInputPipe",
       [&] {
         std::set<int> fds = openDescriptors();
         try {
           os::launchWithInputPipe("/bin/cat", nullptr);
           return 2;
         } catch (const plat::SystemException&) {
         }
         return openDescriptors() == fds ? 0 : 1;
       }},
  };
  for (const Case& c : cases)
    EXPECT_EQ(inProcessThatCannotFork(c.body), 0) << c.what;
}

TEST(LaunchProcess, LaunchWithoutWaitingLeavesNoZombies) {
  const int launches = 10;
  for (int i = 0; i < launches; i++)
    os::launch("/bin/true", nullptr);
  // Once they have all ended, the next launch reaps them: at most that
  // newest one may be left for later.
  ASSERT_TRUE(eventually([] { return count(children(), false) == 0; }));
  os::launch("/bin/true", nullptr);
  EXPECT_LE(count(children(), true), 1);
  ASSERT_TRUE(eventually([] { return count(children(), false) == 0; }));
  { LaunchProcess reaper; }
  EXPECT_EQ(children().size(), 0u);
}

TEST(LaunchProcess, LaunchWithInputPipeFeedsTheDetachedProgram) {
  TempDir dir;
  std::string path = dir.file("in.txt");
  std::string script = "cat > '" + path + "'.tmp && mv '" + path + "'.tmp '" + path + "'";
  int fd = os::launchWithInputPipe("/bin/sh", "-c", script.c_str(), nullptr);
  ASSERT_GE(fd, 0);
  writeAll(fd, "fed\n");
  close(fd);
  EXPECT_TRUE(eventually([&] { return readFile(path) == "fed\n"; }));
}

} // namespace
