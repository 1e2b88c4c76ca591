#include "x0zavserver/unix/FailureBlacklist.h"

#include "x0zavserver/AuthFailureException.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class FailureBlacklistTest : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zavbl.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    base = tmpl;
    dir = base + "/auth";
    file = dir + "/1234";
  }
  void TearDown() override { std::system(("rm -rf '" + base + "'").c_str()); }

  long size() const {
    struct stat st;
    return stat(file.c_str(), &st) == 0 ? long(st.st_size) : -1;
  }
  void age(int seconds) { ageMs(seconds * 1000); }
  // Negative: the file's time lies ahead, as after the clock was stepped
  // back.
  void ageMs(long ms) {
    struct timeval now;
    gettimeofday(&now, nullptr);
    long long us = now.tv_sec * 1000000LL + now.tv_usec - ms * 1000;
    struct timeval t[2];
    t[0].tv_sec = us / 1000000;
    t[0].tv_usec = us % 1000000;
    t[1] = t[0];
    ASSERT_EQ(utimes(file.c_str(), t), 0);
  }

  std::string base, dir, file;
};

TEST_F(FailureBlacklistTest, CountsBlocksAndRestarts) {
  zav::FailureBlacklist b(dir.c_str(), 1234);
  for (int i = 0; i < 10; i++)
    b.recordAttempt();
  EXPECT_EQ(size(), 10);
  EXPECT_THROW(b.recordAttempt(), rfb::AuthFailureException);
  EXPECT_EQ(size(), 10); // a refused attempt is not counted and does not extend the block
  age(59);
  EXPECT_THROW(b.recordAttempt(), rfb::AuthFailureException);
  age(60);
  b.recordAttempt();
  EXPECT_EQ(size(), 1);
}

TEST_F(FailureBlacklistTest, ClockSteppedBackEndsTheBlock) {
  zav::FailureBlacklist b(dir.c_str(), 1234);
  struct {
    long ageMs;
    bool blocks;
  } cases[] = {
      {-3600 * 1000L, false}, // the clock went back an hour after the failures
      {-2000, false},
      {59500, true}, // half a second short of the minute: whole seconds would round it up
      {60500, false},
  };
  b.recordAttempt(); // makes the directory and the file
  for (const auto& c : cases) {
    std::ofstream(file, std::ios::trunc) << std::string(10, ' ');
    ageMs(c.ageMs);
    if (c.blocks) {
      EXPECT_THROW(b.recordAttempt(), rfb::AuthFailureException) << c.ageMs;
      EXPECT_EQ(size(), 10) << c.ageMs;
    } else {
      EXPECT_NO_THROW(b.recordAttempt()) << c.ageMs;
      EXPECT_EQ(size(), 1) << c.ageMs << " ms: counting starts afresh";
    }
  }
}

TEST_F(FailureBlacklistTest, NineOldFailuresDoNotBlock) {
  zav::FailureBlacklist b(dir.c_str(), 1234);
  for (int i = 0; i < 9; i++)
    b.recordAttempt();
  b.recordAttempt(); // the tenth attempt is still let through
  EXPECT_EQ(size(), 10);
}

TEST_F(FailureBlacklistTest, SuccessTakesBackOne) {
  zav::FailureBlacklist b(dir.c_str(), 1234);
  b.recordSuccess();
  EXPECT_EQ(size(), 0);
  b.recordSuccess();
  EXPECT_EQ(size(), 0);
  for (int i = 0; i < 4; i++)
    b.recordAttempt();
  b.recordSuccess();
  EXPECT_EQ(size(), 3);
}

TEST_F(FailureBlacklistTest, PrivateDirectoryAndFile) {
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  zav::FailureBlacklist b(dir.c_str(), 1234);
  b.recordAttempt();
  struct stat st;
  ASSERT_EQ(stat(dir.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(st.st_uid, geteuid());
}

TEST_F(FailureBlacklistTest, PlantedObjectsAreRefused) {
  struct Case {
    const char* what;
    std::string setup;
  } cases[] = {
      {"symlink as the file", "mkdir -m 700 " + dir + " && ln -s " + base + "/target " + file},
      {"symlink as the directory", "mkdir -m 700 " + base + "/other && ln -s other " + dir},
      {"file as the directory", "touch " + dir},
      {"directory as the file", "mkdir -m 700 " + dir + " " + file},
      {"fifo as the file", "mkdir -m 700 " + dir + " && mkfifo " + file},
  };
  for (const Case& c : cases) {
    std::system(("rm -rf " + dir + " " + base + "/other " + base + "/target").c_str());
    ASSERT_EQ(std::system(c.setup.c_str()), 0) << c.what;
    zav::FailureBlacklist b(dir.c_str(), 1234);
    try {
      b.recordAttempt();
      ADD_FAILURE() << "accepted " << c.what;
    } catch (rfb::AuthFailureException&) {
      ADD_FAILURE() << "wrong kind for " << c.what;
    } catch (plat::Exception& e) {
      SUCCEED() << e.str();
    }
    EXPECT_NE(access((base + "/target").c_str(), F_OK), 0) << c.what;
  }
}

TEST_F(FailureBlacklistTest, RefusalIsReportedWithoutHoldingTheLock) {
  // Standard error belongs to the user: a pipe nobody reads must not keep
  // the file locked and so stall every other launcher of the user.
  zav::FailureBlacklist b(dir.c_str(), 1234);
  for (int i = 0; i < 10; i++)
    b.recordAttempt();
  int err[2];
  ASSERT_EQ(pipe(err), 0);
  ASSERT_EQ(fcntl(err[1], F_SETFL, O_NONBLOCK), 0);
  while (write(err[1], "xxxxxxxxxxxxxxxx", 16) > 0) {
  }
  ASSERT_EQ(errno, EAGAIN);
  ASSERT_EQ(fcntl(err[1], F_SETFL, 0), 0);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(err[1], 2);
    try {
      b.recordAttempt();
    } catch (...) {
    }
    _exit(0);
  }
  // Wait until the refusal blocks in its write to standard error.
  std::string syscall;
  for (int i = 0; i < 5000 && syscall.compare(0, 6, "1 0x2 ") != 0; i++) {
    usleep(1000);
    std::ifstream f("/proc/" + std::to_string(pid) + "/syscall");
    std::getline(f, syscall);
  }
  ASSERT_EQ(syscall.compare(0, 6, "1 0x2 "), 0) << syscall;
  int fd = open(file.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  EXPECT_EQ(fcntl(fd, F_SETLK, &lock), 0) << strerror(errno);
  close(fd);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  close(err[0]);
  close(err[1]);
  EXPECT_EQ(size(), 10);
}

} // namespace
