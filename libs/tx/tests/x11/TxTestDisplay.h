// The world of an X11 toolkit test: a private Xvfb (screen and arguments
// chosen by the test), a display connection set up with TXWindow::init, a
// timer manager, and the means to run real X clients (xclip, xsel, xdotool,
// xprop) while this process serves its X events and timers, as the main loop
// would (through the event pump it is). Widgets are drawn in the 15-pixel
// proportional font, as zavconfig draws them, so that the pictures the tests
// leave show what users see. Declare it before the windows of the test: it
// closes the display.
#pragma once

#include "tx/TXWRootLayout.h"
#include "tx/TXWindow.h"

#include "ChildProcess.h"
#include "TxEventPump.h"
#include "XvfbServer.h"

#include "plat/TimerManager.h"
#include "wvw/FontProp.h"
#include "wvw/Style.h"
#include "wvw/Widget.h"

#include <X11/Xatom.h>
#include <poll.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace testing_support {

class TxTestDisplay : public TxEventPump {
public:
  explicit TxTestDisplay(const std::string& screen = "640x480x24",
                         const std::vector<std::string>& xvfbArgs = {})
      : xvfb_(screen, xvfbArgs), savedFont_(wvw::Widget::getDefaultStyle()->font) {
    wvw::Widget::getDefaultStyle()->font = &wvw::FontProp::helv15_u;
    setenv("DISPLAY", xvfb_.display().c_str(), 1);
    dpy = XOpenDisplay(xvfb_.display().c_str());
    if (!dpy)
      throw std::runtime_error("cannot open " + xvfb_.display());
    TXWindow::init(dpy, "Zavconfig");
  }
  ~TxTestDisplay() {
    for (pid_t pid : clients_)
      child::stop(pid);
    TXWRootLayout::release(dpy);
    TXWindow::shutdown(dpy);
    XCloseDisplay(dpy);
    wvw::Widget::getDefaultStyle()->font = savedFont_;
  }
  TxTestDisplay(const TxTestDisplay&) = delete;
  TxTestDisplay& operator=(const TxTestDisplay&) = delete;

  const std::string& name() const { return xvfb_.display(); }

  // Runs an X client to its end while serving events; its standard output.
  std::string run(const std::vector<std::string>& argv, const std::string& inPath = "/dev/null",
                  int* status = nullptr) {
    XFlush(dpy);
    int out = -1;
    pid_t pid = child::spawn(argv, &out, 1, "", inPath);
    std::string text;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool open = true;
    while (open && std::chrono::steady_clock::now() < end) {
      XFlush(dpy);
      pollfd p[2] = {{out, POLLIN, 0}, {ConnectionNumber(dpy), POLLIN, 0}};
      poll(p, 2, 10);
      if (p[0].revents) {
        char buf[4096];
        ssize_t n = read(out, buf, sizeof(buf));
        if (n <= 0)
          open = false;
        else
          text.append(buf, size_t(n));
      }
      TXWindow::handleXEvents(dpy);
      timers.processTimers();
    }
    close(out);
    int st = 0;
    // The client may still be waiting for us after closing its output.
    for (int i = 0; i < 2000 && waitpid(pid, &st, WNOHANG) != pid; i++)
      pumpOnce(5);
    if (status)
      *status = st;
    return text;
  }

  // Starts a client that keeps running (a selection owner); stopped at the
  // end of the test at the latest.
  pid_t start(const std::vector<std::string>& argv, const std::string& inPath = "/dev/null") {
    // Its output goes to the test's own (a closed pipe would kill it).
    int out = -1;
    pid_t pid = child::spawn(argv, &out, 9, "", inPath);
    close(out);
    clients_.push_back(pid);
    return pid;
  }
  void stop(pid_t pid) {
    child::stop(pid);
    for (pid_t& p : clients_)
      if (p == pid)
        p = -1;
  }

  // Waits until a window other than ours owns the selection.
  bool waitForOwner(Atom selection, Window notThis = None) {
    return pumpUntil([&] {
      Window owner = XGetSelectionOwner(dpy, selection);
      return owner != None && owner != notThis;
    });
  }

  // The window's title (its name property), empty when it has none.
  std::string title(Window w) {
    char* name = nullptr;
    XFetchName(dpy, w, &name);
    std::string text = name ? name : "";
    if (name)
      XFree(name);
    return text;
  }

  // A real server time, from a zero-length append to a property of w (which
  // must select PropertyChange input).
  Time serverTime(Window w) {
    Atom a = XInternAtom(dpy, "ZAV_TEST_TIME", False);
    XChangeProperty(dpy, w, a, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XSync(dpy, False);
    XEvent ev;
    for (int i = 0; i < 1000; i++) {
      if (XCheckTypedWindowEvent(dpy, w, PropertyNotify, &ev) && ev.xproperty.atom == a)
        return ev.xproperty.time;
      pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
      poll(&p, 1, 5);
    }
    throw std::runtime_error("no PropertyNotify");
  }

private:
  XvfbServer xvfb_;
  wvw::Font* savedFont_;
  std::vector<pid_t> clients_;
};

} // namespace testing_support
