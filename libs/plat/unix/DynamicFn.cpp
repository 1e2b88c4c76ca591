#include "plat/DynamicFn.h"

#include "plat/DString.h"
#include "plat/LogWriter.h"
#include "plat/String.h"

#include <cstring>
#include <dlfcn.h>

namespace plat {

static LogWriter vlog("DynamicFn");

DynamicFn::DynamicFn(const char* librarySpec, const char* symbolSpec, bool literal) {
  if (!librarySpec || !symbolSpec)
    return;
  const char* p = librarySpec;
  while (*p) {
    if (literal) {
      size_t n = strcspn(p, ",");
      String file(p, static_cast<int>(n));
      p += n;
      if (*p)
        p++;
      if (n > 0 && tryLibrary(file.c_str(), symbolSpec))
        return;
      continue;
    }
    // The name runs to a '[' or a ','; versions run from the '[' to the
    // next ']', and the following entry begins after the next ','.
    size_t n = strcspn(p, "[,");
    String name(p, static_cast<int>(n));
    p += n;
    String versions;
    bool versioned = *p == '[';
    if (versioned) {
      p++;
      size_t v = strcspn(p, "]");
      versions = String(p, static_cast<int>(v));
      p += v;
      p += strcspn(p, ",");
    }
    if (*p == ',')
      p++;
    if (n == 0)
      continue;
    if (strchr(name.c_str(), '/')) {
      if (tryLibrary(name.c_str(), symbolSpec))
        return;
    } else if (!versioned) {
      DString file;
      file.appendFormat("lib%s.so", name.c_str());
      if (tryLibrary(file.c_str(), symbolSpec))
        return;
    } else {
      const char* v = versions.c_str();
      while (*v) {
        size_t len = strcspn(v, ",");
        if (len > 0) {
          DString file;
          file.appendFormat("lib%s.so.%.*s", name.c_str(), static_cast<int>(len), v);
          if (tryLibrary(file.c_str(), symbolSpec))
            return;
        }
        v += len;
        if (*v)
          v++;
      }
    }
  }
}

DynamicFn::~DynamicFn() {
  if (handle_)
    dlclose(handle_);
}

bool DynamicFn::tryLibrary(const char* file, const char* symbolSpec) {
  void* handle = dlopen(file, RTLD_LAZY | RTLD_GLOBAL);
  if (!handle) {
    vlog.write(120, " [DynFnOpen(%s) failed]", file);
    return false;
  }
  const char* s = symbolSpec;
  while (*s) {
    size_t len = strcspn(s, ",");
    String symbol(s, static_cast<int>(len));
    s += len;
    if (*s)
      s++;
    if (len == 0)
      continue;
    void* fn = dlsym(handle, symbol.c_str());
    if (fn) {
      // A library held before is let go; when it is the same one, that
      // drops the extra reference this dlopen took.
      if (handle_)
        dlclose(handle_);
      handle_ = handle;
      function_ = fn;
      vlog.debug("found '%s' in '%s'", symbol.c_str(), file);
      return true;
    }
    vlog.write(120, "  [DynFnFind(%s) failed]", symbol.c_str());
  }
  dlclose(handle);
  return false;
}

} // namespace plat
