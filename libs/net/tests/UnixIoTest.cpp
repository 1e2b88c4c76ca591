#include "net/io/UnixIo.h"

#include "rdr/Exception.h"

#include <gtest/gtest.h>

#include "OpenDescriptors.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

int openFds() {
  return int(testing_support::openDescriptors().size());
}

// Sends data with the given descriptors in one control message.
void sendWithFds(int sock, const std::string& data, const std::vector<int>& fds) {
  struct iovec iov = {const_cast<char*>(data.data()), data.size()};
  std::vector<char> control(CMSG_SPACE(sizeof(int) * fds.size()));
  struct msghdr msg = {};
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  if (!fds.empty()) {
    msg.msg_control = control.data();
    msg.msg_controllen = control.size();
    struct cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = SOL_SOCKET;
    c->cmsg_type = SCM_RIGHTS;
    c->cmsg_len = CMSG_LEN(sizeof(int) * fds.size());
    memcpy(CMSG_DATA(c), fds.data(), sizeof(int) * fds.size());
  }
  ASSERT_EQ(sendmsg(sock, &msg, 0), static_cast<ssize_t>(data.size()));
}

// Receives up to 64 bytes and at most four descriptors.
std::string receiveWithFds(int sock, std::vector<int>& fds) {
  char buf[64];
  struct iovec iov = {buf, sizeof buf};
  char control[CMSG_SPACE(sizeof(int) * 4)];
  struct msghdr msg = {};
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  msg.msg_control = control;
  msg.msg_controllen = sizeof control;
  ssize_t n = recvmsg(sock, &msg, 0);
  for (struct cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
    size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
    for (size_t i = 0; i < count; i++) {
      int fd;
      memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
      fds.push_back(fd);
    }
  }
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

bool sameFile(int a, int b) {
  struct stat sa, sb;
  return fstat(a, &sa) == 0 && fstat(b, &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

class UnixIoTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    probe = open("/dev/null", O_RDONLY);
    ASSERT_GE(probe, 0);
  }
  void TearDown() override {
    if (pair[1] >= 0)
      close(pair[1]);
    close(probe);
  }
  int pair[2] = {-1, -1};
  int probe = -1;
};

TEST_F(UnixIoTest, ReceivesOneDescriptorPerMessage) {
  io::UnixIo channel(pair[0]);
  EXPECT_TRUE(channel.canPassFds());
  EXPECT_EQ(channel.asUnixIo(), &channel);
  EXPECT_NE(fcntl(pair[0], F_GETFD) & FD_CLOEXEC, 0);
  EXPECT_NE(fcntl(pair[0], F_GETFL) & O_NONBLOCK, 0);

  sendWithFds(pair[1], "a", {probe});
  sendWithFds(pair[1], "b", {probe});
  io::UnixInStream* in = channel.getUnixInStream();
  EXPECT_EQ(in->readU8(), 'a');
  int first = in->takeFd();
  EXPECT_EQ(in->readU8(), 'b');
  int second = in->takeFd();
  EXPECT_EQ(in->takeFd(), -1);
  ASSERT_GE(first, 0);
  ASSERT_GE(second, 0);
  EXPECT_TRUE(sameFile(first, probe));
  EXPECT_TRUE(sameFile(second, probe));
  EXPECT_NE(fcntl(first, F_GETFD) & FD_CLOEXEC, 0);
  close(first);
  close(second);
}

TEST_F(UnixIoTest, DescriptorsNotTakenAreClosed) {
  int before = openFds();
  {
    io::UnixIo channel(pair[0]);
    // Two descriptors in one message: refused, and closed at once.
    sendWithFds(pair[1], "x", {probe, probe});
    // One descriptor never taken: closed with the stream.
    sendWithFds(pair[1], "y", {probe});
    io::UnixInStream* in = channel.getUnixInStream();
    EXPECT_EQ(in->readU8(), 'x');
    EXPECT_EQ(in->readU8(), 'y');
  }
  pair[0] = -1;
  EXPECT_EQ(openFds(), before - 1); // the channel's own socket is gone too
}

TEST_F(UnixIoTest, PassesQueuedDescriptorsOnePerWrite) {
  io::UnixIo channel(pair[0]);
  io::UnixOutStream* out = channel.getUnixOutStream();
  int dup1 = dup(probe), dup2 = dup(probe);
  out->passFd(dup1, true);
  out->passFd(dup2, false);
  out->writeU8('1');
  out->flush();
  out->writeU8('2');
  out->flush();
  out->writeU8('3');
  out->flush();
  EXPECT_EQ(fcntl(dup1, F_GETFD), -1); // closed after sending, as asked
  EXPECT_NE(fcntl(dup2, F_GETFD), -1); // still the caller's
  std::vector<int> received;
  std::string data;
  while (data.size() < 3)
    data += receiveWithFds(pair[1], received);
  EXPECT_EQ(data, "123");
  ASSERT_EQ(received.size(), 2u);
  EXPECT_TRUE(sameFile(received[0], probe));
  EXPECT_TRUE(sameFile(received[1], probe));
  close(dup2);
  for (int fd : received)
    close(fd);
}

TEST_F(UnixIoTest, UnsentDescriptorsMarkedForClosingAreClosed) {
  int dup1 = dup(probe), dup2 = dup(probe);
  {
    io::UnixIo channel(pair[0]);
    channel.getUnixOutStream()->passFd(dup1, true);
    channel.getUnixOutStream()->passFd(dup2, false);
  }
  pair[0] = -1;
  EXPECT_EQ(fcntl(dup1, F_GETFD), -1);
  EXPECT_NE(fcntl(dup2, F_GETFD), -1);
  close(dup2);
}

TEST(UnixIoPath, ConnectsAndRefuses) {
  char tmpl[] = "/tmp/zavunixio.XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  std::string dir = tmpl;
  std::string path = dir + "/s";
  int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  struct sockaddr_un addr = {};
  addr.sun_family = AF_UNIX;
  strcpy(addr.sun_path, path.c_str());
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(listener, 1), 0);
  {
    io::UnixIo channel(path.c_str());
    int peer = accept(listener, nullptr, nullptr);
    ASSERT_GE(peer, 0);
    channel.getOutStream()->writeU8(7);
    channel.getOutStream()->flush();
    char c = 0;
    EXPECT_EQ(read(peer, &c, 1), 1);
    EXPECT_EQ(c, 7);
    close(peer);
  }
  close(listener);

  struct Case {
    std::string path;
    const char* message;
  } cases[] = {
      {dir + "/missing", "connect: No such file or directory (2)"},
      {"/" + std::string(106, 'p'), "connect: No such file or directory (2)"}, // 107: fits
      {"/" + std::string(107, 'p'), "connect: File name too long (36)"}, // 108: no room for NUL
      {"/" + std::string(300, 'p'), "connect: File name too long (36)"},
  };
  for (const Case& c : cases) {
    int before = openFds();
    try {
      io::UnixIo channel(c.path.c_str());
      ADD_FAILURE() << "connected to " << c.path;
    } catch (plat::SystemException& e) {
      EXPECT_STREQ(e.str(), c.message) << c.path.size();
    }
    EXPECT_EQ(openFds(), before);
  }
  std::system(("rm -rf " + dir).c_str());
}

} // namespace
