// For tests of failure messages: runs a callable and answers the message of
// the plat::Exception it throws, or "<no exception>".
#pragma once

#include "plat/Exception.h"

#include <string>

namespace testing_support {

template <typename F> std::string thrownMessage(F f) {
  try {
    f();
  } catch (const plat::Exception& e) {
    return e.str();
  }
  return "<no exception>";
}

} // namespace testing_support
