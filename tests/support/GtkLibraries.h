// For test programs that use the desktop toolkit libraries through the
// run-time binding: keeps those libraries mapped until the end (the bindings
// close them at exit, after which the leak checker could no longer name
// them) and tells the leak checker not to report the type tables, caches and
// one-time data that they keep for the life of the process. Include it in
// one file of the test program.
#pragma once

#include <dlfcn.h>

#include <initializer_list>

extern "C" const char* __lsan_default_suppressions() {
  return "leak:libglib-2.0.so\nleak:libgobject-2.0.so\nleak:libgio-2.0.so\n"
         "leak:libgtk-x11-2.0.so\nleak:libgdk-x11-2.0.so\nleak:libgdk_pixbuf-2.0.so\n"
         "leak:libfontconfig.so\nleak:libpango\nleak:libcairo.so\nleak:libX11.so\n";
}

namespace testing_support {

inline const bool gtkLibrariesPinned = [] {
  for (const char* file :
       {"libgtk-x11-2.0.so.0", "libgdk-x11-2.0.so.0", "libgdk_pixbuf-2.0.so.0", "libgio-2.0.so.0"})
    dlopen(file, RTLD_LAZY | RTLD_NODELETE);
  return true;
}();

} // namespace testing_support
