// A printing operation that the printing system refused or could not do; the
// message is printf-formatted.
#pragma once

#include "plat/Exception.h"

#include <cstdarg>

namespace cups {

class PrintFailed : public plat::Exception {
public:
  explicit PrintFailed(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    va_list ap;
    va_start(ap, format);
    setMessageV(format, ap);
    va_end(ap);
  }
};

} // namespace cups
