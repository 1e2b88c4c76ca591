// The chat window on a private Xvfb: its layout, lines typed with xdotool,
// coming up and closing with and without a chat connection (a recording
// stand-in for the connection's state side), focus changes and the urgency
// hint, and the options dialog opened from its menu.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "chat/ChatWindowImpl.h"

#include "CaptureLogger.h"
#include "FileContents.h"
#include "TempDir.h"
#include "TxModalScript.h"
#include "TxTestDisplay.h"
#include "chat/ChatHistory.h"
#include "chat/ChatOptions.h"
#include "chat/ChatState.h"
#include "chat/ColourAllocator.h"
#include "chat/ServerConn.h"
#include "plat/Exception.h"
#include "rfb/KeysymNames.h"
#include "wvw/WMenuGroup.h"
#include "wvw/WMenuItem.h"

#include <pwd.h>
#include <unistd.h>

#include <string>
#include <vector>

using testing_support::readFile;
using testing_support::ScopedCapture;
using testing_support::TempDir;
using testing_support::TxTestDisplay;

namespace {

// The chat connection's state side: records what the window reports, or
// fails as it does without a connection.
class RecordingState : public chat::ChatState {
public:
  void notifyChatVisible(bool v) override { record("visible", v); }
  void notifyChatFocus(bool f) override { record("focus", f); }
  void record(const char* what, bool value) {
    calls.push_back(std::string(what) + (value ? " 1" : " 0"));
    if (!connected)
      throw plat::Exception(chat::ServerConn::noConnectionText);
  }
  bool connected = true;
  std::vector<std::string> calls;
};

bool urgent(Display* dpy, Window w) {
  XWMHints* hints = XGetWMHints(dpy, w);
  bool on = hints && (hints->flags & XUrgencyHint);
  if (hints)
    XFree(hints);
  return on;
}

class ChatWindowTest : public ::testing::Test {
protected:
  ChatWindowTest() {
    testing_support::testAppInit();
    options.chatLogFile.setParam(dir.file("zavchat.xml").c_str(), 50);
    window.setHistory(&history);
    window.setChatState(&state);
  }
  bool shown(TXDialog& d) {
    return x.pumpUntil([&] { return d.isMapped() && d.getImage() != nullptr; });
  }
  // Moves the pointer over a point of the window's content and clicks.
  void click(TXDialog& d, const rfb::Point& p) {
    int px = 0, py = 0;
    XSync(x.dpy, False);
    d.positionOnRoot(&px, &py);
    x.run(
        {"xdotool", "mousemove", std::to_string(px + p.x), std::to_string(py + p.y), "click", "1"});
  }
  std::string win(TXWindow& w) { return std::to_string(w.win()); }

  TxTestDisplay x{"1280x1024x24"};
  TempDir dir;
  ChatOptions options;
  chat::ChatWindowImpl window{x.dpy, &options, dir.file("config.d/chat").c_str()};
  chat::ChatHistory history{window.render(), &options};
  RecordingState state;
};

TEST_F(ChatWindowTest, LaysOutMenuTranscriptAndEntryAndKeepsThemAtTheSmallestSize) {
  EXPECT_EQ(window.content()->width(), 400);
  EXPECT_EQ(window.content()->height(), 500);
  EXPECT_FALSE(window.isMapped());
  EXPECT_EQ(x.title(window.win()), "Chat - Zav Server");
  struct passwd* pw = getpwuid(getuid());
  EXPECT_EQ(window.localLabel(), std::string(pw ? pw->pw_name : "") + " (Local)");
  EXPECT_EQ(window.inputField()->getMaxLength(), 1024u);

  for (rfb::Point size : {rfb::Point(400, 500), rfb::Point(180, 120)}) {
    SCOPED_TRACE(size.x);
    window.setContentSize(size.x, size.y);
    int w, hm, ht;
    window.menuBar()->getPreferredSize(&w, &hm);
    window.inputField()->getPreferredSize(&w, &ht);
    wvw::WCanvas* c = window.content();
    EXPECT_EQ(c->getChildRect(window.menuBar()), rfb::Rect::at(rfb::Point(3, 3), size.x - 6, hm));
    EXPECT_EQ(c->getChildRect(window.inputField()),
              rfb::Rect::at(rfb::Point(3, size.y - 3 - ht), size.x - 6, ht));
    EXPECT_EQ(c->getChildRect(window.viewport()),
              rfb::Rect::at(rfb::Point(3, 3 + hm), size.x - 6, size.y - 9 - ht - hm));
  }
}

TEST_F(ChatWindowTest, ShowTellsThePeerAndATypedLineStaysLocal) {
  window.show();
  ASSERT_TRUE(shown(window));
  EXPECT_EQ(state.calls, std::vector<std::string>{"visible 1"});
  state.calls.clear();

  x.run({"xdotool", "windowfocus", "--sync", win(window)});
  x.run({"xdotool", "type", "hello there"});
  x.run({"xdotool", "key", "Return"});
  ASSERT_TRUE(x.pumpUntil([&] { return !history.records().empty(); }));
  const chat::ChatHistory::Record& r = history.records().back();
  EXPECT_EQ(r.user, window.localLabel());
  EXPECT_FALSE(r.endpoint.has_value());
  EXPECT_EQ(r.text, "hello there");
  EXPECT_STREQ(window.inputField()->getText(), "");
  // The header and the line, in the local user's black.
  const auto& entries = window.transcript()->entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].label, window.localLabel());
  EXPECT_EQ(window.transcript()->colourOf(entries[1]), chat::ColourAllocator::localuser);
  // Only the focus went to the peer, never the line.
  for (const std::string& call : state.calls)
    EXPECT_EQ(call.rfind("focus", 0), 0u) << call;

  // Return elsewhere (the empty field is not focused any more) adds nothing.
  window.transcript()->takeFocus();
  window.onKey(rfb::keys::Return, false, window.transcript());
  EXPECT_EQ(history.records().size(), 1u);
  // Return in the field with nothing typed adds an empty line.
  window.onKey(rfb::keys::Return, false, window.inputField());
  ASSERT_EQ(history.records().size(), 2u);
  EXPECT_EQ(history.records().back().text, "");
}

TEST_F(ChatWindowTest, WithoutAConnectionShowFailsAndTheWindowStaysDown) {
  state.connected = false;
  EXPECT_THROW(window.show(), plat::Exception);
  x.pumpFor(50);
  EXPECT_FALSE(window.isMapped());
  // Once up, a failed show takes it down again.
  state.connected = true;
  window.show();
  ASSERT_TRUE(shown(window));
  state.connected = false;
  EXPECT_THROW(window.show(), plat::Exception);
  EXPECT_FALSE(window.isMapped());
}

TEST_F(ChatWindowTest, ClosingTellsThePeerSavesAndShowsTheKeptLinesAfresh) {
  history.userJoined("ann", "10.0.0.1");
  history.addMessage("ann", "10.0.0.1", "from ann");
  history.addMessage("bob", "10.0.0.2", "from bob");
  window.show();
  ASSERT_TRUE(shown(window));
  state.calls.clear();
  testing_support::sendDeleteWindow(x.dpy, window.win());
  ASSERT_TRUE(x.pumpUntil([&] { return !window.isMapped(); }));
  EXPECT_EQ(state.calls, std::vector<std::string>{"visible 0"});
  std::string saved = readFile(dir.file("zavchat.xml"));
  EXPECT_NE(saved.find("from ann"), std::string::npos) << saved;
  EXPECT_NE(saved.find("from bob"), std::string::npos) << saved;
  // One header and the two lines again; ann is still connected and keeps
  // her colour, bob never joined and is grey.
  const auto& entries = window.transcript()->entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].kind, chat::ChatRenderImpl::Entry::Header);
  EXPECT_NE(window.transcript()->colourOf(entries[1]), chat::ColourAllocator::disconnected);
  EXPECT_EQ(window.transcript()->colourOf(entries[2]), chat::ColourAllocator::disconnected);
  EXPECT_EQ(window.errorBox(), nullptr);
}

TEST_F(ChatWindowTest, ClosingWithoutAConnectionShowsTheErrorAndGoesOn) {
  window.show();
  ASSERT_TRUE(shown(window));
  history.addMessage("ann", "10.0.0.1", "kept");
  state.connected = false;
  ScopedCapture log("ChatWindowImpl", 100);
  // The close arrives as a window-manager message, through the event pump:
  // nothing may escape it.
  testing_support::sendDeleteWindow(x.dpy, window.win());
  ASSERT_NO_THROW(x.pumpUntil([&] { return window.errorBox() && window.errorBox()->isMapped(); }));
  ASSERT_NE(window.errorBox(), nullptr);
  EXPECT_STREQ(window.errorBox()->label()->getText(), chat::ServerConn::noConnectionText);
  EXPECT_NE(window.errorBox()->icon(), nullptr);
  EXPECT_EQ(window.errorBox()->numButtons(), 1);
  EXPECT_TRUE(log.logger.contains(chat::ServerConn::noConnectionText));
  EXPECT_FALSE(window.isMapped());
  // The close went on: the history was saved.
  EXPECT_NE(readFile(dir.file("zavchat.xml")).find("kept"), std::string::npos);
  x.pumpFor(50);
  testing_support::screenshot(x, window.errorBox()->win(), "chat-close-error");

  // The box ends; the window comes up again when the peer is back.
  window.errorBox()->onClick(window.errorBox()->button(0));
  EXPECT_FALSE(window.errorBox()->isMapped());
  state.connected = true;
  window.show();
  EXPECT_TRUE(shown(window));
}

TEST_F(ChatWindowTest, FocusChangesReachThePeerAndClearTheUrgencyHint) {
  window.show();
  ASSERT_TRUE(shown(window));
  x.run({"xdotool", "windowfocus", "--sync", win(window)});
  ASSERT_TRUE(x.pumpUntil([&] { return window.isFocused(); }));
  // A line while focused raises no hint.
  history.addMessage("ann", "10.0.0.1", "seen");
  XSync(x.dpy, False);
  EXPECT_FALSE(urgent(x.dpy, window.win()));

  // Focus elsewhere: a line raises the hint, focus back clears it.
  Window other = XCreateSimpleWindow(x.dpy, DefaultRootWindow(x.dpy), 500, 500, 50, 50, 0, 0, 0);
  XMapWindow(x.dpy, other);
  XSync(x.dpy, False);
  x.run({"xdotool", "windowfocus", "--sync", std::to_string(other)});
  ASSERT_TRUE(x.pumpUntil([&] { return !window.isFocused(); }));
  history.addMessage("ann", "10.0.0.1", "unseen");
  XSync(x.dpy, False);
  EXPECT_TRUE(urgent(x.dpy, window.win()));
  x.run({"xdotool", "windowfocus", "--sync", win(window)});
  ASSERT_TRUE(x.pumpUntil([&] { return window.isFocused(); }));
  XSync(x.dpy, False);
  EXPECT_FALSE(urgent(x.dpy, window.win()));
  ASSERT_GE(state.calls.size(), 4u);
  std::vector<std::string> last(state.calls.end() - 3, state.calls.end());
  EXPECT_EQ(last, (std::vector<std::string>{"focus 1", "focus 0", "focus 1"}));

  // Without a connection only a debug line is left.
  state.connected = false;
  ScopedCapture log("ChatWindowImpl", 100);
  x.run({"xdotool", "windowfocus", "--sync", std::to_string(other)});
  ASSERT_TRUE(x.pumpUntil([&] { return !window.isFocused(); }));
  EXPECT_TRUE(log.logger.contains(std::string("notifyChatFocus exception: ") +
                                  chat::ServerConn::noConnectionText));
  EXPECT_EQ(window.errorBox(), nullptr);
  XDestroyWindow(x.dpy, other);
}

TEST_F(ChatWindowTest, TheOptionsItemOpensTheDialogAndTheWindowWaitsForIt) {
  window.show();
  ASSERT_TRUE(shown(window));
  // Open the menu and choose the item with the pointer.
  rfb::Rect bar = window.content()->getChildRect(window.menuBar());
  rfb::Rect tools = window.menuBar()->getChildRect(window.toolsMenu());
  click(window, rfb::Point(bar.tl.x + tools.tl.x + 10, bar.tl.y + tools.tl.y + 8));
  ASSERT_TRUE(x.pumpUntil([&] { return window.toolsMenu()->isOpen(); }));
  wvw::Widget* item = window.optionsItem();
  rfb::Point at = item->mapPointTo(rfb::Point(10, 5), window.content());
  click(window, at);
  ASSERT_TRUE(shown(*window.optionsDialog()));
  EXPECT_FALSE(window.toolsMenu()->isOpen());
  // The chat window takes no typing meanwhile.
  x.run({"xdotool", "windowfocus", "--sync", win(window)});
  x.run({"xdotool", "type", "abc"});
  x.pumpFor(50);
  EXPECT_STREQ(window.inputField()->getText(), "");
  testing_support::sendDeleteWindow(x.dpy, window.optionsDialog()->win());
  ASSERT_TRUE(x.pumpUntil([&] { return !window.optionsDialog()->isMapped(); }));
  rfb::Rect field = window.content()->getChildRect(window.inputField());
  click(window, rfb::Point(field.tl.x + 20, field.tl.y + 5));
  x.run({"xdotool", "type", "abc"});
  EXPECT_TRUE(x.pumpUntil([&] { return std::string(window.inputField()->getText()) == "abc"; }));
}

} // namespace
