// Drives a modal loop from inside for the X11 toolkit's tests: a list of
// steps run from a 10 ms timer of the timer manager current when start() is
// called (the modal loop's own), each step repeated until it answers true.
// Steps start X clients (xdotool) without waiting, wait for them, send
// window-manager messages; the test reads the results after show() returns.
// Also: the first test of the process creates the program's start-up object,
// whose title message boxes and the About dialog show, and a window
// manager can be started on the test display.
#pragma once

#include "ChildProcess.h"
#include "TxTestDisplay.h"

#include "plat/Timer.h"
#include "plat/unix/AppInit.h"

#include <X11/Xatom.h>
#include <sys/wait.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

class TxModalScript : public plat::Timer::Callback {
public:
  using Step = std::function<bool()>;
  explicit TxModalScript(std::vector<Step> steps) : steps_(std::move(steps)), timer_(this) {}
  ~TxModalScript() override {
    for (pid_t pid : pids_)
      child::stop(pid);
  }
  void start() {
    next_ = 0;
    timer_.start(10);
  }
  bool finished() const { return next_ >= steps_.size(); }
  bool timerCallback(plat::Timer*) override {
    while (next_ < steps_.size() && steps_[next_]())
      next_++;
    return next_ < steps_.size();
  }

  // A step that starts the client; the next waitClient() waits for it.
  Step spawn(const std::vector<std::string>& argv) {
    return [this, argv] {
      int out = -1;
      pids_.push_back(child::spawn(argv, &out, 9));
      close(out);
      return true;
    };
  }
  Step waitClient() {
    return [this] {
      int status = 0;
      if (pids_.empty() || waitpid(pids_.back(), &status, WNOHANG) != pids_.back())
        return false;
      pids_.pop_back();
      return true;
    };
  }
  // Waits a number of timer rounds (10 ms each).
  Step pause(int rounds) {
    auto left = std::make_shared<int>(rounds);
    return [left] { return --*left <= 0; };
  }

private:
  std::vector<Step> steps_;
  size_t next_ = 0;
  plat::Timer timer_;
  std::vector<pid_t> pids_;
};

// What a window manager sends when the user closes the window.
inline void sendDeleteWindow(Display* dpy, Window w) {
  XEvent ev = {};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = w;
  ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = long(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy, w, False, NoEventMask, &ev);
  XFlush(dpy);
}

// The program's start-up object, made once for the whole test process.
inline AppInit* testAppInit() {
  static AppInit* app =
      AppInit::create("zavconfig", false, false, nullptr, nullptr, "Zav Server\xc2\xae");
  return app;
}

// Starts openbox on the display and waits until it manages windows: a
// probe window mapped after that is framed (its parent is no longer the
// root window). Its check property comes up before it handles map requests.
inline bool startWindowManager(TxTestDisplay& x) {
  x.start({"openbox", "--sm-disable"});
  Window root = DefaultRootWindow(x.dpy);
  Window probe = XCreateSimpleWindow(x.dpy, root, 0, 0, 10, 10, 0, 0, 0);
  XMapWindow(x.dpy, probe);
  bool framed = x.pumpUntil(
      [&] {
        Window r = 0, parent = 0, *children = nullptr;
        unsigned int n = 0;
        XQueryTree(x.dpy, probe, &r, &parent, &children, &n);
        if (children)
          XFree(children);
        return parent != root;
      },
      10000);
  XDestroyWindow(x.dpy, probe);
  XSync(x.dpy, False);
  return framed;
}

// The window's override-redirect attribute as the server holds it.
inline bool overrideRedirect(Display* dpy, Window w) {
  XWindowAttributes attr;
  XGetWindowAttributes(dpy, w, &attr);
  return attr.override_redirect;
}

// A picture of a window, written by xwd and convert into the build tree's
// screenshots folder; the path written.
inline std::string screenshot(TxTestDisplay& x, Window w, const std::string& name) {
  std::string dir = std::string(ZAV_BINARY_DIR) + "/screenshots";
  std::string path = dir + "/" + name + ".png";
  x.run({"sh", "-c",
         "mkdir -p '" + dir + "' && xwd -silent -id " + std::to_string(w) + " | convert xwd:- '" +
             path + "'"});
  return path;
}

// The area of the screen that a window covers, its border included, as the
// X server holds it (a window may be larger than the widget it shows).
inline rfb::Rect windowAreaOnRoot(Display* dpy, Window w) {
  XWindowAttributes attr;
  if (!XGetWindowAttributes(dpy, w, &attr))
    return rfb::Rect();
  int x = 0, y = 0;
  Window child;
  XTranslateCoordinates(dpy, w, attr.root, 0, 0, &x, &y, &child);
  int b = attr.border_width;
  return rfb::Rect::at(rfb::Point(x - b, y - b), attr.width + 2 * b, attr.height + 2 * b);
}

// A picture of an area of the screen (a window with the popups it shows),
// written like screenshot; the path written.
inline std::string screenshotOfArea(TxTestDisplay& x, const rfb::Rect& r, const std::string& name) {
  std::string dir = std::string(ZAV_BINARY_DIR) + "/screenshots";
  std::string path = dir + "/" + name + ".png";
  std::string crop = std::to_string(r.width()) + "x" + std::to_string(r.height()) + "+" +
                     std::to_string(r.tl.x) + "+" + std::to_string(r.tl.y);
  x.run({"sh", "-c",
         "mkdir -p '" + dir + "' && xwd -silent -root | convert xwd:- -crop " + crop +
             " +repage '" + path + "'"});
  return path;
}

} // namespace testing_support
