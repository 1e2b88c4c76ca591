// The main window in process on the stand-in server in front of a real
// Xvfb: a failure that escapes another window's event handler is shown in
// the error box and the extension's events after it are still served.
// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "zavconfig/ZavConfigWindow.h"

#include "plat/Exception.h"
#include "plat/ParameterSet.h"
#include "plat/TimerManager.h"
#include "plat/XmlConfig.h"
#include "tx/TXWRootLayout.h"
#include "tx/TXWindow.h"
#include "zavconfig/Main.h"
#include "zavconfig/zavext.h"

#include "StatusDialogProbe.h"
#include "XzavSharedDisplay.h"
#include "ZavconfigAppInit.h"

#include <chrono>
#include <functional>
#include <string>

using testing_support::XzavDouble;

namespace {

// Throws from its handler on every client message.
class BrokenHandler : public TXEventHandler {
public:
  void handleEvent(TXWindow*, XEvent* ev) override {
    if (ev->type == ClientMessage)
      throw plat::Exception("broken handler");
  }
};

class ZavConfigWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    testing_support::zavconfigAppInit();
    testing_support::XzavSharedDisplay& shared = testing_support::XzavSharedDisplay::get();
    server = shared.server.get();
    dpy = shared.dpy;
    server->reset();
    ASSERT_TRUE(
        zavext::queryExtension(dpy, &zavconfig::zavExtEventBase, &zavconfig::zavExtErrorBase));
    TXWindow::init(dpy, "Zavconfig");
    char* xml = zavext::getParamsXml(dpy);
    ASSERT_NE(xml, nullptr);
    plat::loadXmlConfigText(&serverParams, xml);
    XFree(xml);
  }
  void TearDown() override {
    TXWRootLayout::release(dpy);
    TXWindow::shutdown(dpy);
  }
  // Serves the display and the timers as the main loop does until done.
  bool serveUntil(const std::function<bool()>& done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < end) {
      XSync(dpy, False);
      TXWindow::handleXEvents(dpy);
      timers.processTimers();
      if (done())
        return true;
    }
    return done();
  }

  XzavDouble* server = nullptr;
  Display* dpy = nullptr;
  plat::TimerManager timers;
  plat::ParameterSet serverParams{"Xzav"};
};

TEST_F(ZavConfigWindowTest, AFailingHandlerIsShownAndTheQueryEventAfterItServed) {
  zavconfig::StatusDialogCallback callback(dpy, nullptr);
  zavconfig::ZavConfigWindow window(dpy, false, &serverParams, &callback);
  TXWindow broken(dpy, 10, 10);
  BrokenHandler handler;
  broken.setEventHandler(&handler);

  XEvent ev = {};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = broken.win();
  ev.xclient.format = 32;
  XSendEvent(dpy, broken.win(), False, NoEventMask, &ev);
  XSync(dpy, False);
  server->control("{\"cmd\": \"set\", \"query\": {\"user\": \"eve\", \"timeout\": 30, \"id\": 7}}");
  server->control("{\"cmd\": \"event\", \"event\": \"query\", \"b\": 0}");

  ASSERT_TRUE(serveUntil([&] { return window.queryPrompt() && window.queryPrompt()->isMapped(); }));
  EXPECT_TRUE(probe(window).errorBox()->isMapped());
  EXPECT_STREQ(probe(window).errorBox()->label()->getText(), "broken handler");

  // The prompt still answers the server.
  window.queryPrompt()->linkClicked(1);
  XSync(dpy, False);
  std::string state = server->control("{\"cmd\": \"state\"}");
  EXPECT_NE(state.find("{\"id\": 7, \"rights\": 65535}"), std::string::npos) << state;
  broken.setEventHandler(nullptr);
}

} // namespace
