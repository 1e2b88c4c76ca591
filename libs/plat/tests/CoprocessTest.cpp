#include "plat/unix/Coprocess.h"

#include "plat/Exception.h"
#include "rdr/Exception.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::string readString(rdr::InStream* in) {
  std::unique_ptr<char[]> s(in->readString(1 << 20));
  return s.get();
}

// Echoes strings back in upper case until it reads "return" or "throw".
class Echo : public os::Coprocess {
protected:
  void run() override {
    for (;;) {
      std::string s = readString(getInStream());
      if (s == "return")
        return;
      if (s == "throw")
        throw plat::Exception("asked to throw");
      for (char& c : s)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
      getOutStream()->writeString(s.c_str());
      getOutStream()->flush();
    }
  }
};

int waitExit(int pid) {
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The parent sees the end of the stream once the child is gone.
bool atEndOfStream(rdr::InStream* in) {
  try {
    in->readU8();
  } catch (const rdr::EndOfStream&) {
    return true;
  }
  return false;
}

TEST(Coprocess, EchoesOverItsTwoPipesAndEndsWhenTheBodyEnds) {
  for (const char* ending : {"return", "throw"}) {
    Echo echo;
    EXPECT_EQ(echo.getInStream(), nullptr);
    int pid = echo.start();
    ASSERT_GT(pid, 0);
    EXPECT_FALSE(echo.isChild());
    for (const char* word : {"hello", "co-process", ""}) {
      echo.getOutStream()->writeString(word);
      echo.getOutStream()->flush();
      std::string up = word;
      for (char& c : up)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
      EXPECT_EQ(readString(echo.getInStream()), up);
    }
    echo.getOutStream()->writeString(ending);
    echo.getOutStream()->flush();
    EXPECT_TRUE(atEndOfStream(echo.getInStream())) << ending;
    EXPECT_EQ(waitExit(pid), 1) << ending;
    // Nothing of ours is left to reap.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
  }
}

// When the child has ended, writing to it is a write error in the parent, not
// the parent's death by SIGPIPE; the parent sees the end of stream too.
TEST(Coprocess, WritingToAnEndedChildIsAWriteError) {
  fflush(nullptr);
  pid_t helper = fork();
  ASSERT_GE(helper, 0);
  if (helper == 0) {
    signal(SIGPIPE, SIG_DFL);
    Echo echo;
    int pid = echo.start();
    echo.getOutStream()->writeString("return");
    echo.getOutStream()->flush();
    int status;
    if (waitpid(pid, &status, 0) != pid)
      _exit(3);
    if (!atEndOfStream(echo.getInStream()))
      _exit(4);
    try {
      echo.getOutStream()->writeString("anyone there?");
      echo.getOutStream()->flush();
    } catch (const plat::SystemException& e) {
      _exit(e.getErrno() == EPIPE ? 0 : 5);
    }
    _exit(6);
  }
  int status = 0;
  ASSERT_EQ(waitpid(helper, &status, 0), helper);
  ASSERT_FALSE(WIFSIGNALED(status)) << "killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Sums what it reads, answers the sum, then sends its own block.
class Bulk : public os::Coprocess {
public:
  static constexpr int size = 200000; // far beyond one stream buffer

protected:
  void run() override {
    unsigned sum = 0;
    std::vector<unsigned char> buf(size);
    getInStream()->readBytes(buf.data(), size);
    for (unsigned char b : buf)
      sum += b;
    getOutStream()->writeU32(sum);
    for (int i = 0; i < size; i++)
      buf[i] = static_cast<unsigned char>(i * 7);
    getOutStream()->writeBytes(buf.data(), size);
    getOutStream()->flush();
    _exit(0);
  }
};

TEST(Coprocess, CarriesMoreThanABufferEachWay) {
  Bulk bulk;
  int pid = bulk.start();
  std::vector<unsigned char> data(Bulk::size);
  unsigned sum = 0;
  for (int i = 0; i < Bulk::size; i++) {
    data[i] = static_cast<unsigned char>(i * 13 + 1);
    sum += data[i];
  }
  bulk.getOutStream()->writeBytes(data.data(), Bulk::size);
  bulk.getOutStream()->flush();
  EXPECT_EQ(bulk.getInStream()->readU32(), sum);
  std::vector<unsigned char> back(Bulk::size);
  bulk.getInStream()->readBytes(back.data(), Bulk::size);
  bool same = true;
  for (int i = 0; i < Bulk::size; i++)
    same = same && back[i] == static_cast<unsigned char>(i * 7);
  EXPECT_TRUE(same);
  EXPECT_EQ(waitExit(pid), 0);
}

bool closeOnExec(int fd) {
  return (fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0;
}

// Tells the parent whether its own ends are close-on-exec.
class FdCheck : public os::Coprocess {
protected:
  void run() override {
    getOutStream()->writeU8(closeOnExec(getInStream()->getFd()) ? 1 : 0);
    getOutStream()->writeU8(closeOnExec(getOutStream()->getFd()) ? 1 : 0);
    getOutStream()->flush();
    _exit(0);
  }
};

TEST(Coprocess, PipeEndsAreNotInheritedByExecutedPrograms) {
  FdCheck check;
  int pid = check.start();
  EXPECT_TRUE(closeOnExec(check.getInStream()->getFd()));
  EXPECT_TRUE(closeOnExec(check.getOutStream()->getFd()));
  EXPECT_EQ(check.getInStream()->readU8(), 1);
  EXPECT_EQ(check.getInStream()->readU8(), 1);
  EXPECT_EQ(waitExit(pid), 0);

  // And really not: a program executed by the parent does not have them.
  std::string cmd = "test ! -e /proc/self/fd/" + std::to_string(check.getInStream()->getFd());
  EXPECT_EQ(system(cmd.c_str()), 0);
}

class Quiet : public os::Coprocess {
protected:
  void run() override {}
};

void atExit() {
  printf("at exit;");
}

// Output the parent had buffered before the fork appears once: it is written
// out before the fork, and the child ends without running the parent's exit
// handlers.
TEST(Coprocess, ParentOutputAndExitHandlersRunOnce) {
  char tmpl[] = "/tmp/coprocess.XXXXXX";
  int fd = mkstemp(tmpl);
  ASSERT_GE(fd, 0);
  fflush(nullptr);
  pid_t helper = fork();
  ASSERT_GE(helper, 0);
  if (helper == 0) {
    dup2(fd, 1);
    atexit(atExit);
    printf("buffered before the fork;");
    {
      Quiet q;
      int pid = q.start();
      int status;
      waitpid(pid, &status, 0);
    }
    exit(0); // flushes this process's stdio
  }
  EXPECT_EQ(waitExit(helper), 0);
  std::string text;
  char buf[256];
  ssize_t n;
  lseek(fd, 0, SEEK_SET);
  while ((n = read(fd, buf, sizeof(buf))) > 0)
    text.append(buf, static_cast<size_t>(n));
  close(fd);
  unlink(tmpl);
  EXPECT_EQ(text, "buffered before the fork;at exit;");
}

} // namespace
