// A GSS-API library path that root refuses to load: not absolute, or the file
// or a directory above it could be changed by someone other than root.
#pragma once

#include "plat/Exception.h"

#include <cstdarg>

namespace gssapi {

class SecurityExceptionFmt : public plat::Exception {
public:
  explicit SecurityExceptionFmt(const char* format, ...) __attribute__((format(printf, 2, 3)))
  : plat::Exception("") {
    va_list ap;
    va_start(ap, format);
    setMessageV(format, ap);
    va_end(ap);
  }
};

} // namespace gssapi
