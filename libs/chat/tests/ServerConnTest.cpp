#include "chat/ServerConn.h"

#include "CaptureLogger.h"
#include "RecordingRender.h"
#include "chat/ChatHistory.h"
#include "chat/ChatOptions.h"
#include "chat/ChatWindow.h"
#include "net/FdSocket.h"
#include "net/SelectSocketManager.h"
#include "net/io/FdIo.h"
#include "net/io/FdSelectManager.h"
#include "plat/Exception.h"
#include "plat/TimerManager.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The window: coming up reports it visible, as the real window does.
class ShowingWindow : public chat::ChatWindow {
public:
  void show() override {
    shows++;
    if (throwOnShow)
      throw std::runtime_error("thrown by the window");
    if (state)
      state->notifyChatVisible(true);
  }
  void connectionClosed() override { closes++; }
  chat::ChatState* state = nullptr;
  int shows = 0;
  int closes = 0;
  bool throwOnShow = false;
};

// The tool's end of a socket pair served by a select socket manager, and the
// server's end as a plain descriptor the test writes and reads.
class ServerConnTest : public ::testing::Test {
protected:
  void SetUp() override {
    options.chatLogFile.setParam("", 50);
    window.state = &conn;
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
  }
  void TearDown() override {
    if (fds[1] >= 0)
      close(fds[1]);
  }
  void connect() {
    mgr.addSocket(new net::FdSocket(new io::FdIo(fds[0], true)), &conn, false);
    fds[0] = -1;
  }
  void peerSend(const std::string& bytes) {
    ASSERT_EQ(write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // What the tool has sent so far.
  std::string peerReceived() {
    std::string got;
    char buf[256];
    ssize_t n;
    while ((n = recv(fds[1], buf, sizeof(buf), MSG_DONTWAIT)) > 0)
      got.append(buf, static_cast<size_t>(n));
    return got;
  }
  // True when the tool closed its end (given a few passes to do so).
  bool peerSeesEnd() {
    char c;
    for (int i = 0; i < 50; i++) {
      ssize_t n = recv(fds[1], &c, 1, MSG_DONTWAIT);
      if (n == 0)
        return true;
      if (n > 0 || errno != EAGAIN)
        return false;
      pass(5);
    }
    return false;
  }
  void pass(int timeoutMs = 20) {
    mgr.getSelectManager()->doSelect(0, nullptr, nullptr, nullptr, timeoutMs);
  }
  void runUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 200 && !done(); i++)
      pass();
  }
  std::vector<std::string> messages() const {
    std::vector<std::string> m;
    for (const std::string& c : view.calls)
      if (c.rfind("message ", 0) == 0 || c.rfind("recolour ", 0) == 0)
        m.push_back(c);
    return m;
  }

  static std::string shortString(const std::string& s) {
    return std::string(1, static_cast<char>(s.size())) + s;
  }
  static std::string longString(const std::string& s) {
    uint32_t n = static_cast<uint32_t>(s.size());
    std::string len = {static_cast<char>(n >> 24), static_cast<char>(n >> 16),
                       static_cast<char>(n >> 8), static_cast<char>(n)};
    return len + s;
  }
  static std::string chatLine(const std::string& sender, const std::string& endpoint,
                              const std::string& text) {
    return "\x03" + shortString(sender) + shortString(endpoint) + longString(text);
  }

  ChatOptions options;
  chat_test::RecordingRender view;
  chat::ChatHistory history{&view, &options};
  ShowingWindow window;
  chat::ServerConn conn{&history, &window};
  plat::TimerManager timers;
  net::SelectSocketManager mgr;
  int fds[2] = {-1, -1};
};

TEST_F(ServerConnTest, StateChangedWithoutConnectionIsSentWhenItComes) {
  try {
    conn.notifyChatFocus(true);
    FAIL();
  } catch (plat::Exception& e) {
    EXPECT_STREQ(e.str(), chat::ServerConn::noConnectionText);
  }
  EXPECT_THROW(conn.notifyChatVisible(false), plat::Exception);
  connect();
  EXPECT_EQ(peerReceived(), std::string("\x00\x01\x01\x00", 4)) << "focus first, then visible";
  conn.notifyChatVisible(true);
  conn.notifyChatFocus(false);
  EXPECT_EQ(peerReceived(), std::string("\x01\x01\x00\x00", 4));
}

TEST_F(ServerConnTest, NotifyBringsTheWindowUpAndItAnswersVisible) {
  connect();
  peerReceived();
  peerSend("\x02");
  runUntil([&] { return window.shows == 1; });
  EXPECT_EQ(window.shows, 1);
  EXPECT_EQ(peerReceived(), std::string("\x01\x01", 2));
}

TEST_F(ServerConnTest, AMessageSplitOverReadsIsHandledOnceWhenComplete) {
  connect();
  std::string msg = chatLine("DOM\\ann", "10.0.0.1::5900", "hello there") +
                    chatLine("bob@host", "10.0.0.2", "second");
  for (size_t i = 0; i < msg.size(); i++) {
    peerSend(msg.substr(i, 1));
    pass(0);
    pass(0);
    size_t expected = i + 1 < chatLine("DOM\\ann", "10.0.0.1::5900", "hello there").size() ? 0
                      : i + 1 < msg.size()                                                 ? 1
                                                                                           : 2;
    ASSERT_EQ(history.records().size(), expected) << "after byte " << i;
  }
  EXPECT_EQ(messages(),
            (std::vector<std::string>{"message ann: hello there", "message bob: second"}));
  EXPECT_EQ(*history.records()[0].endpoint, "10.0.0.1::5900");
}

TEST_F(ServerConnTest, TextLengthLimit) {
  struct Case {
    size_t length;
    bool accepted;
  } cases[] = {{0, true}, {1024, true}, {1025, false}, {70000, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    TearDown();
    SetUp();
    size_t before = history.records().size();
    connect();
    peerReceived();
    // Only the length field of an overlong text is sent: the tool must not
    // wait for (or allocate) the rest.
    if (c.accepted)
      peerSend(chatLine("ann", "ep", std::string(c.length, 't')));
    else
      peerSend("\x03" + shortString("ann") + shortString("ep") +
               longString(std::string(c.length, 't')).substr(0, 4));
    runUntil([&] { return history.records().size() > before || window.closes > 0; });
    if (c.accepted) {
      ASSERT_EQ(history.records().size(), before + 1);
      EXPECT_EQ(history.records().back().text.size(), c.length);
      EXPECT_FALSE(peerSeesEnd());
    } else {
      EXPECT_EQ(history.records().size(), before);
      EXPECT_TRUE(peerSeesEnd());
      EXPECT_EQ(window.closes, 1);
      window.closes = 0;
    }
    if (c.accepted) {
      // Drop the connection before the next case.
      close(fds[1]);
      fds[1] = -1;
      runUntil([&] { return window.closes > 0; });
      EXPECT_EQ(window.closes, 1) << "end of stream closes silently";
      window.closes = 0;
    }
  }
}

TEST_F(ServerConnTest, JoinAndLeave) {
  connect();
  peerSend("\x04\x02" + shortString("ann") + shortString("ep") + "\x04\x01" + shortString("") +
           shortString("") + chatLine("ann", "ep", "hi") + std::string("\x04\x00", 2) +
           shortString("ann") + shortString("ep"));
  runUntil([&] { return messages().size() == 4; });
  EXPECT_EQ(messages(),
            (std::vector<std::string>{"recolour ann-ep 160,0,0", "recolour - 0,160,0",
                                      "message ann: hi", "recolour ann-ep 200,200,200"}));
}

TEST_F(ServerConnTest, EmptySenderAndEndpointAreEmptyTexts) {
  connect();
  peerSend(chatLine("", "", "anonymous"));
  runUntil([&] { return history.records().size() == 1; });
  ASSERT_EQ(history.records().size(), 1u);
  ASSERT_TRUE(history.records()[0].endpoint.has_value());
  EXPECT_EQ(*history.records()[0].endpoint, "");
  EXPECT_EQ(view.lines.back().label, "Zav Viewer");
}

TEST_F(ServerConnTest, UnknownTypeClosesWithOneLineAndNothingAfterIsRead) {
  connect();
  peerReceived();
  testing::internal::CaptureStderr();
  peerSend("\x05" + chatLine("ann", "ep", "never read"));
  runUntil([&] { return window.closes > 0; });
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "Invalid message type 5\n");
  EXPECT_TRUE(history.records().empty());
  EXPECT_TRUE(peerSeesEnd());
  EXPECT_THROW(conn.notifyChatFocus(true), plat::Exception);
}

// Whatever a handler throws (out of memory, say) ends the stream, logged,
// never the program.
TEST_F(ServerConnTest, AStandardExceptionInAHandlerClosesTheStream) {
  testing_support::ScopedCapture log("ServerConn", 0);
  ASSERT_TRUE(log.found());
  connect();
  peerReceived();
  window.throwOnShow = true;
  peerSend("\x02" + chatLine("ann", "ep", "never read"));
  runUntil([&] { return window.closes > 0; });
  EXPECT_EQ(window.shows, 1);
  EXPECT_EQ(log.logger.textsAt(0),
            std::vector<std::string>({"socketReadable: thrown by the window"}));
  EXPECT_TRUE(history.records().empty());
  EXPECT_TRUE(peerSeesEnd());
}

TEST_F(ServerConnTest, AnotherConnectionGetsTheState) {
  connect();
  conn.notifyChatVisible(true);
  close(fds[1]);
  fds[1] = -1;
  runUntil([&] { return window.closes > 0; });
  ASSERT_EQ(window.closes, 1);
  EXPECT_THROW(conn.notifyChatFocus(true), plat::Exception);
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
  connect();
  EXPECT_EQ(peerReceived(), std::string("\x00\x01\x01\x01", 4));
}

} // namespace

namespace {

TEST_F(ServerConnTest, AConnectionThatCannotTakeTheStateIsNotKept) {
  close(fds[1]);
  fds[1] = -1;
  net::FdSocket sock(new io::FdIo(fds[0], true));
  fds[0] = -1;
  EXPECT_THROW(conn.addSocket(&sock, false), plat::Exception);
  try {
    conn.notifyChatFocus(true);
    FAIL();
  } catch (plat::Exception& e) {
    EXPECT_STREQ(e.str(), chat::ServerConn::noConnectionText);
  }
}

} // namespace

namespace {

// A socket that is not the current connection going away (an older one the
// manager cleans up late) leaves the current connection in place.
TEST_F(ServerConnTest, AnOldSocketGoingLeavesTheCurrentConnection) {
  int older[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, older), 0);
  net::FdSocket old(new io::FdIo(older[0], true));
  conn.addSocket(&old, false);
  connect();
  peerReceived();
  conn.removeSocket(&old);
  EXPECT_EQ(window.closes, 0);
  conn.notifyChatFocus(true);
  EXPECT_EQ(peerReceived(), std::string("\x00\x01", 2));
  close(older[1]);
}

} // namespace
