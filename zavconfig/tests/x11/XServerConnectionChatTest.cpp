// The loopback chat stream against the stand-in server in front of a real
// Xvfb: the stand-in connects back with the cookie (in several ways, and
// wrongly) and plays the viewers' side of chat, sending chat messages that
// must reach the history and the window, and recording the window's state
// messages that the program sends back.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "zavconfig/XServerConnectionChat.h"
#include "zavconfig/zavext.h"

#include "CaptureLogger.h"
#include "XzavChatPeer.h"
#include "XzavSharedDisplay.h"
#include "chat/ChatHistory.h"
#include "chat/ChatOptions.h"
#include "chat/ChatRender.h"
#include "chat/ChatWindow.h"
#include "net/SelectSocketManager.h"
#include "net/io/FdSelectManager.h"
#include "plat/Exception.h"
#include "plat/TimerManager.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using testing_support::ScopedCapture;
using testing_support::XzavDouble;
using testing_support::XzavSharedDisplay;

namespace {

Display* sharedDisplay() {
  XzavSharedDisplay& s = XzavSharedDisplay::get();
  int ev = 0, err = 0;
  if (!zavext::queryExtension(s.dpy, &ev, &err))
    throw std::runtime_error("no extension on the stand-in");
  return s.dpy;
}

// The transcript view: the participants recoloured (joined or left) and the
// lines shown.
class RecordingRender : public chat::ChatRender {
public:
  void recolour(const char* key, const chat::Colour&) override { recoloured.push_back(key); }
  void appendHeader(const char*, const chat::Colour&) override {}
  void appendMessage(const char* key, const char*, const char* text, const chat::Colour&) override {
    lines.push_back(std::string(key) + ": " + text);
  }
  void beginUpdate() override {}
  void endUpdate() override {}
  std::vector<std::string> recoloured;
  std::vector<std::string> lines;
};

// The window: coming up reports it visible, as the real window does.
class ShowingWindow : public chat::ChatWindow {
public:
  void show() override {
    shows++;
    if (state)
      state->notifyChatVisible(true);
  }
  void connectionClosed() override { closes++; }
  chat::ChatState* state = nullptr;
  int shows = 0;
  int closes = 0;
};

class XServerConnectionChatTest : public ::testing::Test {
protected:
  XServerConnectionChatTest()
      : dpy(sharedDisplay()), server(*XzavSharedDisplay::get().server), history(&view, &options) {
    server.reset();
    options.chatLogFile.setParam("", 50);
    window.state = connection->getState();
  }
  ~XServerConnectionChatTest() override {
    // The stream goes before the objects that serve it.
    sockets.reset();
    connection.reset();
  }

  // A new connection and socket manager in place of the old ones.
  void fresh() {
    sockets.reset();
    connection.reset(new zavconfig::XServerConnectionChat(&history, &window));
    window.state = connection->getState();
    sockets.reset(new net::SelectSocketManager);
  }
  void set(const std::string& settings) { peer.set(settings); }
  void send(const std::string& messages) { peer.send(messages); }
  std::string status() { return peer.status(); }
  // The two-byte messages the stand-in has received, as JSON ("[[0, 0], ...]").
  std::string received() { return peer.received(); }
  bool closedByPeer() { return peer.closedByProgram(); }
  void connect(int timeoutMs = 5000) { connection->connect(dpy, sockets.get(), timeoutMs); }
  // Serves the stream until pred holds or the time is up.
  bool runUntil(const std::function<bool()>& pred, int seconds = 10) {
    for (int i = 0; i < seconds * 100; i++) {
      if (pred())
        return true;
      timers.processTimers();
      sockets->getSelectManager()->doSelect(0, nullptr, nullptr, nullptr, 10);
    }
    return pred();
  }

  Display* dpy;
  XzavDouble& server;
  testing_support::XzavChatPeer peer{server};
  // The select manager's timers run on the thread's timer manager.
  plat::TimerManager timers;
  RecordingRender view;
  ChatOptions options;
  chat::ChatHistory history;
  ShowingWindow window;
  std::unique_ptr<zavconfig::XServerConnectionChat> connection{
      new zavconfig::XServerConnectionChat(&history, &window)};
  std::unique_ptr<net::SelectSocketManager> sockets{new net::SelectSocketManager};
};

const char* const greeting =
    R"([{"type": 4, "joined": true, "name": "ann", "endpoint": "10.0.0.1"},)"
    R"( {"type": 3, "sender": "ann", "endpoint": "10.0.0.1", "text": "hello there"},)"
    R"( {"type": 2}])";

TEST_F(XServerConnectionChatTest, TheStreamComesUpWithTheCookieAndCarriesChat) {
  for (const char* mode : {"big", "split", "with_message", "wrong_first"}) {
    SCOPED_TRACE(mode);
    server.reset();
    fresh();
    view.recoloured.clear();
    window.shows = 0;
    size_t before = history.records().size();
    set(std::string("{\"cookie\": \"") + mode + "\", \"send\": " + greeting + "}");
    ScopedCapture log("ServerConnection", 100);
    connect();
    EXPECT_EQ(connection->getCookie(), 0u);
    EXPECT_EQ(log.logger.contains("X Server authentication failed"),
              std::string(mode) == "wrong_first");
    ASSERT_TRUE(runUntil([&] { return window.shows == 1; })) << status();
    ASSERT_EQ(history.records().size(), before + 1);
    const chat::ChatHistory::Record& r = history.records().back();
    EXPECT_EQ(r.user, "ann");
    EXPECT_EQ(r.endpoint.value_or("-"), "10.0.0.1");
    EXPECT_EQ(r.text, "hello there");
    EXPECT_EQ(view.recoloured, std::vector<std::string>{"ann-10.0.0.1"});
    // The state on connecting (focus, then visible), then visible once the
    // window came up.
    ASSERT_TRUE(runUntil([&] { return received() == "[[0, 0], [1, 0], [1, 1]]"; })) << status();
  }
}

TEST_F(XServerConnectionChatTest, StateChangesReachTheServerAndLaterMessagesTheWindow) {
  connect();
  ASSERT_TRUE(runUntil([&] { return received() == "[[0, 0], [1, 0]]"; })) << status();
  connection->getState()->notifyChatVisible(true);
  connection->getState()->notifyChatFocus(true);
  connection->getState()->notifyChatFocus(false);
  ASSERT_TRUE(runUntil([&] { return received() == "[[0, 0], [1, 0], [1, 1], [0, 1], [0, 0]]"; }))
      << status();

  send(R"([{"type": 4, "joined": true, "name": "bob", "endpoint": "10.0.0.2"},)"
       R"( {"type": 3, "sender": "bob", "endpoint": "10.0.0.2", "text": "one"},)"
       R"( {"type": 3, "sender": "bob", "endpoint": "10.0.0.2", "text": ""},)"
       R"( {"type": 4, "joined": false, "name": "bob", "endpoint": "10.0.0.2"}])");
  ASSERT_TRUE(runUntil([&] { return view.recoloured.size() == 2; }));
  EXPECT_EQ(view.recoloured, (std::vector<std::string>{"bob-10.0.0.2", "bob-10.0.0.2"}));
  ASSERT_GE(history.records().size(), 2u);
  EXPECT_EQ(history.records()[history.records().size() - 2].text, "one");
  EXPECT_EQ(history.records().back().text, "");
  EXPECT_EQ(window.shows, 0);
}

TEST_F(XServerConnectionChatTest, AMessageInPiecesWaitsForItsRest) {
  connect();
  // A chat line whose text length says 3 bytes, sent as 2 and then 1.
  send(R"([{"raw": "03036a6f6500000000036869"}])");
  runUntil([] { return false; }, 1);
  EXPECT_TRUE(history.records().empty());
  send(R"([{"raw": "21"}])");
  ASSERT_TRUE(runUntil([&] { return !history.records().empty(); }));
  EXPECT_EQ(history.records().back().user, "joe");
  EXPECT_EQ(history.records().back().text, "hi!");
}

TEST_F(XServerConnectionChatTest, AnUnknownMessageOrAnOverlongLineClosesTheStream) {
  for (const char* raw : {"09", "0300000000040100"}) {
    SCOPED_TRACE(raw);
    server.reset();
    fresh();
    window.closes = 0;
    connect();
    send(std::string("[{\"raw\": \"") + raw + "\"}]");
    ASSERT_TRUE(runUntil([&] { return closedByPeer() && window.closes == 1; })) << status();
    // With no stream, a state change fails cleanly and is kept for the next.
    EXPECT_THROW(connection->getState()->notifyChatFocus(true), plat::Exception);
  }
}

TEST_F(XServerConnectionChatTest, AWrongCookieOrARefusalFailsCleanly) {
  for (const char* mode : {"little", "none"}) {
    SCOPED_TRACE(mode);
    server.reset();
    set(std::string("{\"cookie\": \"") + mode + "\"}");
    ScopedCapture log("ServerConnection", 100);
    try {
      connect(700);
      ADD_FAILURE() << "connected";
    } catch (plat::Exception& e) {
      EXPECT_STREQ(e.str(), "The X Server did not open the chat connection");
    }
    EXPECT_EQ(log.logger.contains("X Server authentication failed"), std::string(mode) == "little");
    EXPECT_EQ(window.closes, 0);
  }
  server.reset();
  server.control(R"({"cmd": "fault", "op": "requestChatStream", "kind": "fail"})");
  try {
    connect(700);
    ADD_FAILURE() << "connected";
  } catch (plat::Exception& e) {
    EXPECT_STREQ(e.str(), "Can't establish chat connection to X Server");
  }
}

} // namespace
