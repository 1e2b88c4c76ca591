#include "ft/proxy/SocketServer.h"

#include "CaptureLogger.h"
#include "RecordingExtension.h"
#include "ft/unix/UnixFileTransferManager.h"
#include "net/SelectSocketManager.h"
#include "net/SocketListener.h"
#include "net/io/FdIo.h"
#include "net/io/FdSelectManager.h"
#include "plat/TimerManager.h"
#include "rdr/FramedOutStream.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

using ft_test::Bytes;
using testing_support::ScopedCapture;

namespace {

std::vector<std::uint8_t> framed(const Bytes& body) {
  std::vector<std::uint8_t> out;
  out.push_back(static_cast<std::uint8_t>(0x80 | (body.b.size() >> 8)));
  out.push_back(static_cast<std::uint8_t>(body.b.size()));
  out.insert(out.end(), body.b.begin(), body.b.end());
  return out;
}

// The loopback stream's socket server on one end of a socket pair, served by
// a real select loop; the test is the peer on the other end.
class SocketServerTest : public ::testing::Test {
protected:
  SocketServerTest() : manager(&ext), server(&ext) {
    int fds[2];
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    peer = fds[1];
    io::FdIo* io = new io::FdIo(fds[0], true, false, 65536, rdr::FramedOutStream::bulkBufferSize);
    sock = net::wrapIo(io);
    sockets.addSocket(sock, &server, false);
  }
  ~SocketServerTest() override { close(peer); }

  void passes(int n = 5) {
    for (int i = 0; i < n; i++)
      sockets.getSelectManager()->doSelect(0, nullptr, nullptr, nullptr, 20);
  }
  void send(const std::vector<std::uint8_t>& bytes) {
    ASSERT_EQ(write(peer, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Everything the program sent so far; "" and closed at its end.
  std::string received(bool* closed = nullptr) {
    std::string out;
    char buf[65536];
    for (;;) {
      ssize_t n = recv(peer, buf, sizeof(buf), MSG_DONTWAIT);
      if (n == 0 && closed)
        *closed = true;
      if (n <= 0)
        return out;
      out.append(buf, static_cast<size_t>(n));
    }
  }

  plat::TimerManager timers;
  ft::proxy::Extension ext;
  ft::UnixFileTransferManager manager;
  ft::proxy::SocketServer server;
  net::SelectSocketManager sockets;
  net::Socket* sock = nullptr;
  int peer = -1;
};

const std::string shareRequest7 = std::string("\x80\x10\0\0\0\x02\0\0\0\x07\0\0\0\0\0\0\0\0", 18);

TEST_F(SocketServerTest, AMessageInPiecesIsHandledOnceWhenItIsComplete) {
  ScopedCapture log("ftExtension", 100);
  std::vector<std::uint8_t> msg = framed(Bytes().u32(1).u32(7).u8(0).u32(0));
  send(std::vector<std::uint8_t>(msg.begin(), msg.begin() + 1));
  passes();
  send(std::vector<std::uint8_t>(msg.begin() + 1, msg.begin() + 8));
  passes();
  EXPECT_FALSE(log.logger.contains("Received advertisement"));
  send(std::vector<std::uint8_t>(msg.begin() + 8, msg.end()));
  passes();
  EXPECT_EQ(received(), shareRequest7);
  int adverts = 0;
  for (const auto& line : log.logger.lines)
    adverts += line.text.find("Received advertisement") != std::string::npos;
  EXPECT_EQ(adverts, 1);
}

TEST_F(SocketServerTest, TwoMessagesInOneReadAreBothHandled) {
  ScopedCapture log("ftExtension", 100);
  std::vector<std::uint8_t> both = framed(Bytes().u32(1).u32(7).u8(0).u32(0));
  std::vector<std::uint8_t> second = framed(Bytes().u32(1).u32(8).u8(0).u32(0));
  both.insert(both.end(), second.begin(), second.end());
  send(both);
  sockets.getSelectManager()->doSelect(0, nullptr, nullptr, nullptr, 1000);
  EXPECT_TRUE(log.logger.contains("Received advertisement for share 7"));
  EXPECT_TRUE(log.logger.contains("Received advertisement for share 8"));
}

TEST_F(SocketServerTest, AMalformedMessageClosesTheStream) {
  ScopedCapture log("FTSocketServer", 100);
  send(framed(Bytes().u32(99).u32(1)));
  passes();
  EXPECT_TRUE(log.logger.contains("readMsg: "));
  bool closed = false;
  received(&closed);
  EXPECT_TRUE(closed);
  EXPECT_EQ(server.connectionOf(sock), nullptr);
}

// Whatever a handler throws ends the stream, never the program.
TEST_F(SocketServerTest, AStandardExceptionInAHandlerClosesTheStream) {
  struct Throwing : ft::Extension::ShareCallback {
    void shareAdvertised(std::uint32_t, std::uint32_t) override {
      throw std::runtime_error("thrown by a handler");
    }
    void shareActivated(ft::ShareProxy*) override {}
    void shareDeactivated(ft::ShareProxy*) override {}
  } throwing;
  ext.addShareCallback(&throwing);
  ScopedCapture log("FTSocketServer", 0);
  send(framed(Bytes().u32(1).u32(7).u8(0).u32(0)));
  passes();
  EXPECT_TRUE(log.logger.contains("readMsg: thrown by a handler"));
  bool closed = false;
  received(&closed);
  EXPECT_TRUE(closed);
  EXPECT_EQ(server.connectionOf(sock), nullptr);
  ext.removeShareCallback(&throwing);
}

} // namespace
