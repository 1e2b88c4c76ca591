// The stand-in server shared by the process, readied for one test: its state
// reset, its extension answering on the shared display, and the requests it
// decoded since the last look. The stand-in and the display stay shared.
// Include gtest before this header: the X headers' macros clash with it.
#pragma once

#include "zavconfig/zavext.h"

#include "XzavSharedDisplay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace testing_support {

class XzavTestServer {
public:
  // Resets the stand-in and asks for its extension on the shared display.
  ::testing::AssertionResult start() {
    XzavSharedDisplay& shared = XzavSharedDisplay::get();
    server = shared.server.get();
    dpy = shared.dpy;
    server->reset();
    int eventBase, errorBase;
    if (!zavext::queryExtension(dpy, &eventBase, &errorBase))
      return ::testing::AssertionFailure() << "the stand-in's extension does not answer";
    return ::testing::AssertionSuccess();
  }

  // The requests decoded since the last call (after a round trip, so that
  // requests without a reply are in too).
  std::vector<std::string> requests() {
    XSync(dpy, False);
    std::vector<std::string> log = server->log();
    std::vector<std::string> fresh(log.begin() + std::min(seen_, log.size()), log.end());
    seen_ = log.size();
    return fresh;
  }

  // The process's stand-in and display with the extension asked for once,
  // for tests that keep them as they are; throws when it does not answer.
  static XzavSharedDisplay& withExtension() {
    XzavSharedDisplay& shared = XzavSharedDisplay::get();
    static const bool found = [&] {
      int eventBase, errorBase;
      return zavext::queryExtension(shared.dpy, &eventBase, &errorBase);
    }();
    if (!found)
      throw std::runtime_error("no extension on the stand-in");
    return shared;
  }

  XzavDouble* server = nullptr;
  Display* dpy = nullptr;

private:
  size_t seen_ = 0;
};

} // namespace testing_support
