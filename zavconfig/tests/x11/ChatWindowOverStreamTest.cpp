// The chat window, its history and the chat connection together against the
// stand-in server in front of a real Xvfb, as window mode builds them: the
// stand-in plays the viewers' side of the chat stream, its messages must
// show in the window, and the window's focus and visible state must reach
// it as two-byte messages. A picture of the window goes into the build tree.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "rfb/KeysymNames.h"
#include "zavconfig/XServerConnectionChat.h"
#include "zavconfig/zavext.h"

#include "TempDir.h"
#include "XzavChatPeer.h"
#include "XzavSharedDisplay.h"
#include "chat/ChatHistory.h"
#include "chat/ChatOptions.h"
#include "chat/ChatWindowImpl.h"
#include "chat/ColourAllocator.h"
#include "net/SelectSocketManager.h"
#include "net/io/FdSelectManager.h"
#include "plat/TimerManager.h"
#include "tx/TXWRootLayout.h"
#include "tx/TXWindow.h"

#include <sys/select.h>
#include <sys/stat.h>

#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>

using testing_support::TempDir;
using testing_support::XzavChatPeer;
using testing_support::XzavDouble;
using testing_support::XzavSharedDisplay;

namespace {

// The shared display with the extension known and the toolkit set up for
// one test, as every test of the process does for itself; the toolkit is
// shut down once the test's windows are gone.
struct Toolkit {
  Toolkit() : dpy(XzavSharedDisplay::get().dpy) {
    int ev = 0, err = 0;
    if (!zavext::queryExtension(dpy, &ev, &err))
      throw std::runtime_error("no extension on the stand-in");
    TXWindow::init(dpy, "Zavconfig");
  }
  ~Toolkit() {
    TXWRootLayout::release(dpy);
    TXWindow::shutdown(dpy);
  }
  Display* dpy;
};

// Words up to exactly n bytes.
std::string words(size_t n) {
  std::string text;
  for (int i = 0; text.size() < n; i++)
    text += "word" + std::to_string(i) + " ";
  text.resize(n);
  return text;
}

class ChatWindowOverStreamTest : public ::testing::Test {
protected:
  ChatWindowOverStreamTest() {
    server.reset();
    // The history goes to the test's folder, never the user's.
    options.chatLogFile.setParam(dir.file("zavchat.xml").c_str(), 50);
    window.setHistory(&history);
    window.setChatState(connection.getState());
  }
  ~ChatWindowOverStreamTest() override {
    // The stream goes before the objects that serve it.
    sockets.reset();
  }

  // Serves X events, timers and the stream until pred holds.
  bool runUntil(const std::function<bool()>& pred, int seconds = 10) {
    for (int i = 0; i < seconds * 100; i++) {
      if (pred())
        return true;
      pump();
    }
    return pred();
  }
  void pump() {
    TXWindow::handleXEvents(dpy);
    timers.processTimers();
    XFlush(dpy);
    int fd = ConnectionNumber(dpy);
    fd_set readFds;
    FD_ZERO(&readFds);
    FD_SET(fd, &readFds);
    sockets->getSelectManager()->doSelect(fd + 1, &readFds, nullptr, nullptr,
                                          XPending(dpy) ? 0 : 10);
  }
  void connect() {
    connection.connect(dpy, sockets.get(), 5000);
    ASSERT_TRUE(runUntil([&] { return peer.received() == "[[0, 0], [1, 0]]"; })) << peer.status();
  }
  void focus(Window w) {
    std::string cmd = "xdotool windowfocus --sync " + std::to_string(w) + " >/dev/null 2>&1 &";
    setenv("DISPLAY", server.display().c_str(), 1);
    ASSERT_EQ(system(cmd.c_str()), 0);
  }
  size_t lines() {
    size_t n = 0;
    for (const auto& e : window.transcript()->entries())
      n += e.kind == chat::ChatRenderImpl::Entry::Message;
    return n;
  }
  const chat::ChatRenderImpl::Entry& lastLine() { return window.transcript()->entries().back(); }

  Toolkit toolkit; // first: it outlives the windows
  Display* dpy = toolkit.dpy;
  XzavDouble& server = *XzavSharedDisplay::get().server;
  XzavChatPeer peer{server};
  plat::TimerManager timers;
  TempDir dir;
  ChatOptions options;
  chat::ChatWindowImpl window{dpy, &options, dir.file("config.d/chat").c_str()};
  chat::ChatHistory history{window.render(), &options};
  zavconfig::XServerConnectionChat connection{&history, &window};
  std::unique_ptr<net::SelectSocketManager> sockets{new net::SelectSocketManager};
};

TEST_F(ChatWindowOverStreamTest, JoinsLinesAndTheNotifyShowInTheWindow) {
  options.chatLogFile.setParam(dir.file("zavchat.xml").c_str(), 50);
  connect();
  peer.send("[" + XzavChatPeer::joinLeave(true, "DOMAIN\\\\ann", "10.0.0.1") + ", " +
            XzavChatPeer::line("DOMAIN\\\\ann", "10.0.0.1", "hello from the viewer") + ", " +
            XzavChatPeer::joinLeave(true, "bob@viewer", "10.0.0.2") + ", " +
            XzavChatPeer::line("bob@viewer", "10.0.0.2", "bob was here") + ", " +
            XzavChatPeer::joinLeave(false, "bob@viewer", "10.0.0.2") + ", " +
            XzavChatPeer::line("", "10.0.0.3", "someone without a name") + ", {\"type\": 2}]");
  ASSERT_TRUE(runUntil([&] { return window.isMapped() && window.getImage() && lines() == 3; }))
      << peer.status();
  // Coming up answered the stand-in: shown.
  ASSERT_TRUE(runUntil([&] { return peer.received() == "[[0, 0], [1, 0], [1, 1]]"; }))
      << peer.status();

  const auto& entries = window.transcript()->entries();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].kind, chat::ChatRenderImpl::Entry::Header);
  EXPECT_EQ(entries[1].label, "ann");
  EXPECT_EQ(entries[1].text, "hello from the viewer");
  EXPECT_EQ(window.transcript()->colourOf(entries[1]), chat::Colour({160, 0, 0}));
  EXPECT_EQ(entries[2].label, "bob");
  EXPECT_EQ(window.transcript()->colourOf(entries[2]), chat::ColourAllocator::disconnected)
      << "bob has left";
  EXPECT_EQ(entries[3].label, "Zav Viewer");

  // A line typed here joins the transcript and never the stream.
  window.inputField()->setText("and a reply");
  window.onKey(rfb::keys::Return, false, window.inputField());
  EXPECT_EQ(lastLine().text, "and a reply");
  EXPECT_EQ(window.transcript()->colourOf(lastLine()), chat::ColourAllocator::localuser);
  for (int i = 0; i < 20; i++)
    pump();
  EXPECT_EQ(peer.received(), "[[0, 0], [1, 0], [1, 1]]");

  std::string shots = std::string(ZAV_BINARY_DIR) + "/screenshots";
  mkdir(shots.c_str(), 0755);
  std::string cmd = "xwd -display " + server.display() + " -silent -id " +
                    std::to_string(window.win()) + " | convert xwd:- " + shots + "/chat-window.png";
  EXPECT_EQ(system(cmd.c_str()), 0);
}

TEST_F(ChatWindowOverStreamTest, AMessageSplitAcrossReadsIsShownOnce) {
  connect();
  // "joe" says "hi!": type, sender, endpoint, then the text's length and
  // bytes, sent in three pieces.
  for (const char* piece : {"03036a6f65", "0000000003", "686921"}) {
    peer.send(std::string("[{\"raw\": \"") + piece + "\"}]");
    for (int i = 0; i < 20; i++)
      pump();
  }
  ASSERT_TRUE(runUntil([&] { return lines() == 1; }));
  for (int i = 0; i < 20; i++)
    pump();
  EXPECT_EQ(lines(), 1u);
  EXPECT_EQ(history.records().size(), 1u);
  EXPECT_EQ(lastLine().label, "joe");
  EXPECT_EQ(lastLine().text, "hi!");
  EXPECT_FALSE(peer.closedByProgram());
}

TEST_F(ChatWindowOverStreamTest, A1024ByteLineIsShownAndA1025ByteOneClosesTheStream) {
  connect();
  std::string longest = words(1024);
  peer.send("[" + XzavChatPeer::line("ann", "10.0.0.1", longest) + "]");
  ASSERT_TRUE(runUntil([&] { return lines() == 1; }));
  EXPECT_EQ(lastLine().text, longest);
  EXPECT_GT(lastLine().runs.size(), 3u) << "wrapped over several lines";

  testing::internal::CaptureStderr();
  peer.send("[" + XzavChatPeer::line("ann", "10.0.0.1", words(1025)) + ", " +
            XzavChatPeer::line("ann", "10.0.0.1", "after") + "]");
  ASSERT_TRUE(runUntil([&] { return peer.closedByProgram(); })) << peer.status();
  for (int i = 0; i < 20; i++)
    pump();
  // Closed without a word; nothing of it or after it was shown.
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(lines(), 1u);
  EXPECT_EQ(history.records().size(), 1u);
}

// The X server may report focus changes more than once (as the pointer
// moves focus between root and window); what counts is that each change is
// there as a two-byte message and that the last one tells the state.
TEST_F(ChatWindowOverStreamTest, FocusAndVisibilityReachTheServerAsTwoByteMessages) {
  connect();
  auto endsWith = [&](const std::string& last) {
    return runUntil([&] {
      std::string got = peer.received();
      return got.size() >= last.size() &&
             got.compare(got.size() - last.size(), last.size(), last) == 0;
    });
  };
  window.show();
  ASSERT_TRUE(runUntil([&] { return window.isMapped() && window.getImage(); }));
  EXPECT_EQ(peer.received(), "[[0, 0], [1, 0], [1, 1]]");
  focus(window.win());
  ASSERT_TRUE(runUntil([&] { return window.isFocused(); }));
  EXPECT_TRUE(endsWith("[0, 1]]")) << peer.received();
  Window other = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 600, 600, 40, 40, 0, 0, 0);
  XMapWindow(dpy, other);
  XSync(dpy, False);
  focus(other);
  ASSERT_TRUE(runUntil([&] { return !window.isFocused(); }));
  EXPECT_TRUE(endsWith("[0, 0]]")) << peer.received();
  // The window manager's close.
  XEvent ev = {};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = window.win();
  ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = long(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
  XSendEvent(dpy, window.win(), False, NoEventMask, &ev);
  ASSERT_TRUE(runUntil([&] { return !window.isMapped(); }));
  EXPECT_TRUE(endsWith("[1, 0]]")) << peer.received();
  XDestroyWindow(dpy, other);
  // Every message was a whole two-byte one: type 0 or 1, value 0 or 1.
  std::string got = peer.received();
  for (size_t at = got.find('['); at != std::string::npos; at = got.find('[', at + 1)) {
    if (got[at + 1] == '[')
      continue;
    EXPECT_TRUE(got.compare(at, 6, "[0, 0]") == 0 || got.compare(at, 6, "[0, 1]") == 0 ||
                got.compare(at, 6, "[1, 0]") == 0 || got.compare(at, 6, "[1, 1]") == 0)
        << got;
  }
}

} // namespace
