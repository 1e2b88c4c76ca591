// The last message to a peer from a destructor or a teardown path: with
// SIGPIPE ignored, a write to a peer that has gone throws, and an exception
// must not leave a destructor. A failure is logged on the caller's log
// writer as "<what> failed: <reason>"; the caller's local ending goes on.
#pragma once

#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <exception>

namespace ft {

template <typename Send> void farewell(plat::LogWriter& log, const char* what, Send send) {
  try {
    send();
  } catch (plat::Exception& e) {
    log.error("%s failed: %s", what, e.str());
  } catch (std::exception& e) {
    log.error("%s failed: %s", what, e.what());
  }
}

} // namespace ft
