// The program's start-up object for the tests of one process, made once on
// first use; every test of the process that needs one takes it from here, as
// a second one cannot be made. Its per-user configuration file lies in a
// home directory of its own that lasts as long as the process: tests that
// set HOME for themselves do not move it.
#pragma once

#include "plat/unix/AppInit.h"

#include "TempDir.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace testing_support {

inline AppInit* zavconfigAppInit() {
  static TempDir home;
  static AppInit* app = [] {
    std::string config = home.path() + "/.zav/config.d";
    if (system(("mkdir -p '" + config + "'").c_str()) != 0)
      throw std::runtime_error("cannot make " + config);
    const char* old = getenv("HOME");
    std::string saved = old ? old : "";
    setenv("HOME", home.path().c_str(), 1);
    AppInit* made = AppInit::create("zavconfig", false, false, nullptr, nullptr, nullptr);
    if (old)
      setenv("HOME", saved.c_str(), 1);
    else
      unsetenv("HOME");
    return made;
  }();
  return app;
}

} // namespace testing_support
