// One stand-in server and one display open on it for a whole test process:
// the client of the server's extension keeps the codes of the first display
// it sees, so every test of a process that calls it must use that display.
// Made on first use and kept until the process ends. Include gtest before
// this header: the X headers' macros clash with its names.
#pragma once

#include "XzavDouble.h"

#include <X11/Xlib.h>

#include <memory>
#include <stdexcept>

namespace testing_support {

struct XzavSharedDisplay {
  std::unique_ptr<XzavDouble> server;
  Display* dpy = nullptr;

  static XzavSharedDisplay& get() {
    static XzavSharedDisplay shared;
    if (!shared.server) {
      shared.server.reset(new XzavDouble());
      shared.dpy = XOpenDisplay(shared.server->display().c_str());
      if (!shared.dpy)
        throw std::runtime_error("cannot open " + shared.server->display());
    }
    return shared;
  }
};

} // namespace testing_support
