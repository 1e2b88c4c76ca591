// Looks up a desktop toolkit function that only the tests call, in the
// library the run-time binding loaded; null when the library is not loaded
// or lacks it.
#pragma once

#include <dlfcn.h>

namespace testing_support {

template <typename F> F gtkTestFn(const char* name) {
  void* lib = dlopen("libgtk-x11-2.0.so.0", RTLD_LAZY | RTLD_NOLOAD);
  void* fn = lib ? dlsym(lib, name) : nullptr;
  if (lib)
    dlclose(lib);
  return reinterpret_cast<F>(fn);
}

} // namespace testing_support
