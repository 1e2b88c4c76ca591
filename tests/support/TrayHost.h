// A system tray (trayer) on a test's X display, in which a GTK status icon
// embeds, and the xdotool steps that find the icon's window, open its menu
// and choose an item. The tray is a child of the test, stopped by the
// destructor. Include it after gtest, whose names Xlib's macros would break.
#pragma once

#include "ChildProcess.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

class TrayHost {
public:
  explicit TrayHost(const std::string& display) : display_(display) {
    int out = -1;
    pid_ = child::spawn({"env", "DISPLAY=" + display, "trayer", "--expand", "false"}, &out, 3,
                        "/dev/null");
    close(out);
  }
  ~TrayHost() { child::stop(pid_); }
  TrayHost(const TrayHost&) = delete;
  TrayHost& operator=(const TrayHost&) = delete;

  // xdotool with the arguments on the display; its output.
  std::string xdotool(const std::string& args) const {
    std::string cmd = "DISPLAY=" + display_ + " timeout 10 xdotool " + args + " 2>/dev/null";
    FILE* f = popen(cmd.c_str(), "r");
    std::string out;
    char buf[256];
    while (f && fgets(buf, sizeof buf, f))
      out += buf;
    if (f)
      pclose(f);
    return out;
  }

  // The visible windows of an X class (the status icon's child names its
  // windows "serverconfig").
  std::vector<std::string> windows(const std::string& className = "serverconfig") const {
    std::istringstream lines(xdotool("search --onlyvisible --class " + className));
    std::vector<std::string> found;
    for (std::string line; std::getline(lines, line);)
      if (!line.empty())
        found.push_back(line);
    return found;
  }

  // Waits for the icon's window in the tray; "" when none came.
  std::string iconWindow(int seconds = 15) const {
    std::string found;
    waitFor(
        [&] {
          std::vector<std::string> w = windows();
          found = w.empty() ? "" : w.front();
          return !found.empty();
        },
        seconds);
    return found;
  }

  // Right-clicks the icon, waits for its menu and chooses the item that
  // `downs` presses of Down reach (separators and greyed items are
  // skipped). False when no menu opened.
  bool chooseMenuItem(const std::string& icon, int downs) const {
    // A menu chosen from just before may still be on its way down.
    waitFor([&] { return windows().size() <= 1 && !keyboardGrabbed(); }, 5);
    xdotool("mousemove --window " + icon + " 4 4 click 3");
    // The keys reach the menu once it holds the keyboard.
    if (!waitFor([&] { return keyboardGrabbed(); }, 5))
      return false;
    std::string keys;
    for (int i = 0; i < downs; i++)
      keys += " Down";
    xdotool("key" + keys + " Return");
    return true;
  }

  // Whether another client (an open menu) holds the keyboard.
  bool keyboardGrabbed() const {
    Display* d = XOpenDisplay(display_.c_str());
    if (!d)
      return false;
    int result =
        XGrabKeyboard(d, DefaultRootWindow(d), False, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (result == GrabSuccess)
      XUngrabKeyboard(d, CurrentTime);
    XCloseDisplay(d);
    return result == AlreadyGrabbed;
  }

  static bool waitFor(const std::function<bool()>& done, int seconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end)
        return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
  }

private:
  std::string display_;
  pid_t pid_ = -1;
};

} // namespace testing_support
