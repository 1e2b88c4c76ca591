// The full path of a program file, found from its name as a shell would: a
// name holding a "/" is taken as it is, any other is looked up along $PATH.
// The program records its own argv[0] this way at start-up as the default,
// which a ModuleFileName built without a name then stands for.
#pragma once

#include "plat/String.h"

namespace plat {

class ModuleFileName {
public:
  // The resolved path of name; with name null, a copy of the default set by
  // setDefaultArgv0 (throws plat::Exception "No program name specified and
  // no default set" when there is none).
  explicit ModuleFileName(const char* name = nullptr);

  // The path; null when the search found nothing.
  const char* get() const { return path_.get(); }

  // Resolves name and keeps it as the process-wide default.
  static void setDefaultArgv0(const char* name);
  static const char* getDefaultArgv0() { return defaultArgv0.get(); }

  // The search itself: a new[] text owned by the caller, or null when no
  // $PATH element holds an executable regular file of that name (or $PATH is
  // unset, or name is null).
  static char* resolve(const char* name);

private:
  String path_;
  static String defaultArgv0;
};

} // namespace plat
